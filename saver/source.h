// Where the saver's picture comes from (a picture file, the screen, the
// bundled picture), and fitting it to the window.
#pragma once

#include <cstdint>

#include "picture/picture.h"

// 24-bit pixels, rows bottom-up, each RowStride(width) bytes: the layout of
// the engine's pictures and of a 24-bit DIB section alike.
struct SourceImage {
    const std::uint8_t* bits = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// A source as it was obtained: a loaded picture, or a capture of the screen
// (the memory context, its DIB section and the bitmap the context came with).
struct Source {
    SourceImage image;
    Picture picture;
    HDC memory = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ previous = nullptr;
};

// The order the sources are tried in: `preferred` (a path, or null), then
// the screen, then, if the capture fails or is blank, `fallback` (a path, or
// null), then the bundled picture: the program's RCDATA resource "MOTTLE" of
// `instance`, or, where it has none, the file "mottle.bmp" found as the
// desktop program finds it.
struct SourceOrder {
    const char* preferred = nullptr;
    const char* fallback = nullptr;
    HINSTANCE instance = nullptr;
};
bool ObtainSource(const SourceOrder& order, Source* source);
void ReleaseSource(Source* source);

// The virtual screen, captured: GetDC(nullptr), a memory context, a 24-bit
// bottom-up DIB section of its size, a copy from its origin.
bool CaptureScreen(Source* source);
// Are all pixels one colour (what a secure desktop gives a capture)?
bool IsBlank(const SourceImage& image);
bool LoadSourceFile(const char* path, Source* source);
bool LoadBundledPicture(HINSTANCE instance, Source* source);

// A picture of width x height (at least 1 x 1) showing `image` scaled to fit,
// proportions kept, nearest neighbour, centred, the margins black; an image
// of that size is copied as it is. ReleasePicture gives it back.
bool FitPicture(const SourceImage& image, std::int32_t width, std::int32_t height, Picture* fitted);
