// The web side of the windows: each window is an element of the page (a
// caption bar with a close box over a canvas, the client area), its input
// turned into messages, its pixels on the canvas. Where the browser differs
// from the program's model:
// - Waiting. The page's one thread must return to the browser for anything
//   to show or any input to come. The side yields (page.js, through
//   Asyncify) only when the browser can show a new frame: between two
//   animation frames the program runs its loop, stepping and drawing as many
//   generations as fit, and the last one drawn is what the frame shows.
// - Presenting. Drawing marks the window's pixels as new; they go to the
//   canvas once, at the next yield, not at every generation: to the page's
//   painter (page.js), a worker that holds the canvas, as the rows the
//   program drew from, or as RGBA bytes where the browser has no painter.
// - Input. The page's handlers only queue what happened (page.js); the queue
//   becomes messages here, when the program polls.
// - Places. The screen is the page's viewport in device pixels; a window
//   goes where the program puts it, its canvas one file pixel to one device
//   pixel at any devicePixelRatio.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/web/web_page.h"
#include "platform/winmodel/model.h"

// What the page keeps of a window beyond the model: the canvas's RGBA bytes,
// and how many times it was drawn since they went in.
struct winmodel::SideWindow {
    std::vector<std::uint32_t> canvas;
    int drawn;  // times drawn since the canvas last took the pixels
};

namespace {

using winmodel::Post;

// The part of a frame's interval the program may take, putting its last
// generation into the canvas included, before it yields: the rest is the
// browser's, to show the canvas. It starts high and comes down by a step
// whenever a frame was missed (the browser's part did not fit), then creeps
// back, so that it fits the machine, the display's rate and the picture's
// size without missing frames.
constexpr double kMostShare = 0.97;
constexpr double kLeastShare = 0.5;
constexpr std::uint32_t kOpaque = 0xFF000000U;  // a canvas pixel's alpha byte

struct Frames {
    double start = 0;     // when the program last came back from a yield
    double lastPoll = 0;  // when it last polled, to know how long a pass takes
    double showing = 0;   // how long the last frame took to go into the canvases
    double share = kMostShare;
};

Frames frames;
std::vector<HWND> shownWindows;
bool modalEnded = false;  // the picker or the message box has been answered

int FrameWidth() { return 2 * web_border_width(); }
int FrameHeight() { return web_caption_height() + web_border_width(); }

// Puts every changed window's pixels into its canvas.
void ShowChanged() {
    for (HWND window : shownWindows) {
        winmodel::SideWindow& side = *window->side;
        if (side.drawn == 0 || window->pixels.size() == 0) {
            continue;
        }
        const auto handle = reinterpret_cast<std::uintptr_t>(window);
        // The last generation drawn goes to the page as the rows it was drawn
        // from, when the page's painter turns them into canvas pixels itself;
        // the window's own pixels are written only if the program reads or
        // partly redraws them.
        const unsigned char* rows = nullptr;
        long long rowBytes = 0;
        int put = winmodel::WaitingRows(window, &rows, &rowBytes)
                      ? web_put_rows(handle, rows, window->pixelWidth, window->pixelHeight,
                                     static_cast<int>(rowBytes), side.drawn)
                      : -1;
        if (put < 0) {
            // Otherwise as the canvas's RGBA bytes: the waiting draw straight
            // into them, or the window's pixels, each 4 bytes blue, green, red
            // first, as a frame drawn in other ways (a fill, a paint) has them.
            side.canvas.resize(window->pixels.size());
            if (!winmodel::CopyWaitingDraw(window, side.canvas.data(), kOpaque, true)) {
                winmodel::SettlePixels(window);
                winmodel::RowToWindow(reinterpret_cast<const unsigned char*>(window->pixels.data()), 4,
                                      side.canvas.data(), static_cast<long long>(window->pixels.size()), kOpaque,
                                      true);
            }
            put = web_put_pixels(handle, side.canvas.data(), window->pixelWidth, window->pixelHeight, side.drawn);
        }
        // A frame the canvas could not take yet is offered again at the
        // next yield, with whatever was drawn meanwhile.
        if (put > 0) {
            side.drawn = 0;
        }
    }
}

// The messages a page event stands for.
void Deliver(const web_event& event) {
    if (event.kind == WEB_MODAL_ENDED) {
        modalEnded = true;
        return;
    }
    const auto found = std::find(shownWindows.begin(), shownWindows.end(), reinterpret_cast<HWND>(event.window));
    if (found == shownWindows.end() || !winmodel::IsLive(*found)) {
        return;
    }
    HWND window = *found;
    const LPARAM where = MAKELPARAM(event.x, event.y);
    switch (event.kind) {
        case WEB_CLOSE: Post(window, WM_CLOSE, 0, 0); break;
        case WEB_LEFT_DOWN: Post(window, WM_LBUTTONDOWN, MK_LBUTTON, where); break;
        case WEB_LEFT_UP: Post(window, WM_LBUTTONUP, 0, where); break;
        case WEB_RIGHT_DOWN: Post(window, WM_RBUTTONDOWN, MK_RBUTTON, where); break;
        case WEB_RIGHT_UP: Post(window, WM_RBUTTONUP, 0, where); break;
        case WEB_MOVE: Post(window, WM_MOUSEMOVE, 0, where); break;
        default: break;
    }
}

// Sizes a window's client area, and its canvas with it.
void SetClient(HWND window, int width, int height) {
    if (winmodel::SetClientSize(window, std::max(width, 0), std::max(height, 0), std::max(width, 0),
                                std::max(height, 0))) {
        winmodel::Invalidate(window);
    }
    // A canvas of a new size is blank until the paint the model asks for.
    web_place_window(reinterpret_cast<std::uintptr_t>(window), window->rect.left, window->rect.top,
                     window->clientWidth, window->clientHeight);
}

}  // namespace

namespace winmodel::backend {

// A top-level window; the page has no child windows.
bool CreateSystemWindow(HWND window, const CREATESTRUCTA& asked) {
    if ((asked.style & WS_CHILD) != 0) {
        return false;
    }
    window->side = new SideWindow{{}, 0};
    window->rect = RECT{asked.x, asked.y, asked.x + asked.cx, asked.y + asked.cy};
    web_create_window(reinterpret_cast<std::uintptr_t>(window));
    shownWindows.push_back(window);
    SetSystemCaption(window, asked.lpszName);
    SetClient(window, asked.cx - FrameWidth(), asked.cy - FrameHeight());
    return true;
}

void ShowSystemWindow(HWND window) { web_show_window(reinterpret_cast<std::uintptr_t>(window)); }

// The outer rectangle asked for holds the caption bar and the client area.
void PlaceSystemWindow(HWND window, int x, int y, int width, int height) {
    window->rect = RECT{x, y, x + std::max(width, FrameWidth()), y + std::max(height, FrameHeight())};
    SetClient(window, width - FrameWidth(), height - FrameHeight());
}

// Captions are paths, UTF-8 in the page's file system.
void SetSystemCaption(HWND window, const char* caption) {
    web_set_caption(reinterpret_cast<std::uintptr_t>(window), caption != nullptr ? caption : "");
}

void DestroySystemWindow(HWND window) {
    shownWindows.erase(std::remove(shownWindows.begin(), shownWindows.end(), window), shownWindows.end());
    web_destroy_window(reinterpret_cast<std::uintptr_t>(window));
    delete window->side;
    window->side = nullptr;
}

void Present(HWND window, int, int, int, int) {
    if (window->side != nullptr) {
        ++window->side->drawn;
    }
}

// Polling yields to the browser when the next pass, and putting what was
// drawn into the canvases, would run into the time of the next frame; waiting
// yields at once. Either way what was drawn goes to the canvases first, and
// the page's input comes in afterwards.
void PumpEvents(bool wait) {
    const double now = emscripten_get_now();
    const double pass = now - frames.lastPoll;
    const double interval = web_frame_interval();
    if (wait || now + pass + frames.showing - frames.start >= frames.share * interval) {
        ShowChanged();
        frames.showing = emscripten_get_now() - now;
        web_wait_frame();
        const double resumed = emscripten_get_now();
        if (!wait) {
            const bool missed = resumed - frames.start > 1.5 * interval;
            frames.share = missed ? std::max(kLeastShare, frames.share - 0.1)
                                  : std::min(kMostShare, frames.share + 0.005);
        }
        frames.start = resumed;
    }
    frames.lastPoll = emscripten_get_now();
    web_event event;
    while (web_next_event(&event) != 0) {
        Deliver(event);
    }
}

// The full-screen client area is the page's viewport, in device pixels.
int ScreenMetric(int index) {
    return index == SM_CXFULLSCREEN ? web_viewport_width() : index == SM_CYFULLSCREEN ? web_viewport_height() : 0;
}

// A canvas has sides below 32768 pixels.
const long long kLargestBitmapSide = 32767;

// The browser's file picker: the chosen file is written into the program's
// file system, and its path there is the dialog's answer.
bool RunOpenDialog(const OPENFILENAMEA&, std::string* path) {
    modalEnded = false;
    web_open_picker();
    RunModal(&modalEnded);
    char* chosen = web_picker_path();
    if (chosen == nullptr) {
        return false;
    }
    path->assign(chosen);
    std::free(chosen);
    return true;
}

// The page's own modal box, over everything else, until its OK is pressed.
void RunMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    modalEnded = false;
    web_show_message(text != nullptr ? text : "", caption != nullptr ? caption : "");
    RunModal(&modalEnded);
}

}  // namespace winmodel::backend
