// One loaded picture: its header, its pixels in the file's own layout, the
// step's snapshot buffer and the device bitmap made when it was loaded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Bytes beyond the pixel data in each pixel block; zero and never written.
constexpr std::uint32_t kSpareBytes = 1024;

struct Picture {
    BITMAPINFOHEADER* info = nullptr;  // 40-byte copy of the file's header
    std::int32_t width = 0;            // W
    std::int32_t height = 0;           // H, rows stored bottom-up
    std::uint32_t dataSize = 0;        // pixel bytes taken from the file
    HGLOBAL bitsBlock = nullptr;
    std::uint8_t* bits = nullptr;      // dataSize + kSpareBytes, locked
    HGLOBAL snapshotBlock = nullptr;
    std::uint8_t* snapshot = nullptr;  // dataSize + kSpareBytes, locked
    HBITMAP deviceBitmap = nullptr;
};

// Bytes per row: 3 bytes a pixel, rounded up to a multiple of 4. Computed in 64
// bits so that no header value can overflow it.
inline std::uint64_t RowStride(std::int64_t width) {
    return static_cast<std::uint64_t>(3 * width + width % 4);
}

// Byte offset of display pixel (x, y), y counted from the top.
inline std::size_t PixelOffset(const Picture& picture, std::int32_t x, std::int32_t y) {
    return static_cast<std::size_t>((picture.height - 1 - y) * RowStride(picture.width) +
                                    3 * static_cast<std::uint64_t>(x));
}

// Obtains the picture's two zero-filled blocks, pixels and snapshot, of its
// dataSize + kSpareBytes bytes each, and locks them in place; on failure what
// was obtained is left for ReleasePicture.
bool ObtainPixelBlocks(Picture* picture);
// Gives back everything the picture owns and leaves it empty.
void ReleasePicture(Picture* picture);
