// The page's half of the web side (page.js), as the C++ half calls it. A
// window is named by its handle's value; sizes and places are in device
// pixels.
#pragma once

#include <cstdint>

extern "C" {

// What the page's handlers queued, oldest first.
enum web_event_kind {
    WEB_CLOSE = 1,        // the window's close box
    WEB_LEFT_DOWN,        // a press on the canvas: the mouse's main button, a pen or a touch
    WEB_LEFT_UP,
    WEB_RIGHT_DOWN,
    WEB_RIGHT_UP,
    WEB_MOVE,
    WEB_MODAL_ENDED,      // the file picker or the message box was answered
};
struct web_event {
    std::int32_t kind;
    std::uint32_t window;
    std::int32_t x, y;  // in the client area
};
int web_next_event(web_event* event);  // 0 when none is queued

// Returns to the browser until its next animation frame; the program's stack
// is kept meanwhile (Asyncify).
void web_wait_frame();
double web_frame_interval();  // milliseconds between the browser's frames, as seen lately

int web_viewport_width();
int web_viewport_height();
// A window's frame: the caption bar's height above the client area, and the
// border's width on its other three sides.
int web_caption_height();
int web_border_width();

void web_create_window(std::uint32_t window);
void web_show_window(std::uint32_t window);
void web_place_window(std::uint32_t window, int x, int y, int clientWidth, int clientHeight);
void web_set_caption(std::uint32_t window, const char* caption);
void web_destroy_window(std::uint32_t window);
// Puts `width` x `height` RGBA pixels, rows from the top, into the canvas:
// the last of the `drawn` frames drawn since the canvas last took them. 0
// when the canvas cannot take a frame yet (the last ones are still going in).
int web_put_pixels(std::uint32_t window, const void* pixels, int width, int height, int drawn);
// The same from 24-bit rows, blue, green, red, `rowBytes` apart and the
// bottom row first; -1 when the page can put only RGBA pixels.
int web_put_rows(std::uint32_t window, const void* rows, int width, int height, int rowBytes, int drawn);

// The file picker, opened from the click being answered; once it has ended
// (WEB_MODAL_ENDED), the chosen file's path in the program's file system, for
// free(), or null when it was cancelled.
void web_open_picker();
char* web_picker_path();

// The modal message box; its texts are code-page-932 bytes.
void web_show_message(const char* text, const char* caption);

// The program has ended with `status`: the page says so.
void web_program_ended(int status);
}
