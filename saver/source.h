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

// Sides the saver takes (every screen and preview window is smaller), and
// the size of the 24-bit bitmap header it makes.
constexpr std::int32_t kLargestSourceSide = 32767;
constexpr std::uint32_t kSourceInfoSize = 40;

// A source as it was obtained: a loaded picture, or a capture of the screen
// (on Windows the memory context, its DIB section and the bitmap the context
// came with), which `releaseCapture` gives back when set.
struct Source {
    SourceImage image;
    Picture picture;
    HDC memory = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ previous = nullptr;
    void (*releaseCapture)(Source* source) = nullptr;
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
// The screen is read by `capture` (each saver reads it its own way), which
// sets `source->image`; false when it cannot.
bool ObtainSource(const SourceOrder& order, bool (*capture)(Source* source), Source* source);
void ReleaseSource(Source* source);
// Are all pixels one colour (what a secure desktop gives a capture)?
bool IsBlank(const SourceImage& image);
bool LoadSourceFile(const char* path, Source* source);
bool LoadBundledPicture(HINSTANCE instance, Source* source);

// A picture of width x height (at least 1 x 1) showing `image` scaled to fit,
// proportions kept, nearest neighbour, centred, the margins black; an image
// of that size is copied as it is. ReleasePicture gives it back.
bool FitPicture(const SourceImage& image, std::int32_t width, std::int32_t height, Picture* fitted);
