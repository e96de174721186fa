// What mottlescreen reads of the X screen before it draws: the pixels under
// its window, from the screenshot xscreensaver keeps of the screen it
// covered, else from the root window.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

// How an X image holds its pixels; ConvertRows turns its rows into 0x00RRGGBB
// words, `outStride` words apart; false for a layout it cannot read (colour
// maps, channels that are not one run of bits).
struct PixelLayout {
    int bitsPerPixel;
    bool mostSignificantFirst;
    unsigned long redMask, greenMask, blueMask;
    int bytesPerLine;
};
bool ConvertRows(const PixelLayout& layout, const unsigned char* data, int width, int height, std::uint32_t* out,
                 int outStride);

// The screen's `width` x `height` rectangle at (x, y) of the root window, as
// 24-bit rows bottom-up (the engine's layout), black where the screen has no
// pixels; `saver` is the window xscreensaver gave (None: none), whose
// _SCREENSAVER_SCREENSHOT names the screenshot. False when nothing could be
// read.
// Errors the server reports between the two calls are counted, not fatal:
// EndErrorTrap says whether there were none, and puts the handler back.
XErrorHandler BeginErrorTrap(Display* display);
bool EndErrorTrap(Display* display, XErrorHandler previous);

bool ReadScreenArea(Display* display, ::Window saver, int x, int y, int width, int height,
                    std::vector<std::uint8_t>* rows);
