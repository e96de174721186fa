// Bitmap files as bytes: the 14-byte file header, the 40-byte information
// header and the pixel rows, little-endian and bottom row first, as the files
// the program reads lay them out. The one writer of the project's C++ tools
// and tests; it knows nothing of the engine, so that what the engine reads is
// checked against files made independently of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// 72 dots per inch, in dots per metre.
constexpr std::int32_t kBitmapResolution = 2835;

void PutLittle16(std::uint8_t* out, std::uint32_t value);
void PutLittle32(std::uint8_t* out, std::uint32_t value);

// The file header: "BM", bfSize, two reserved words of zero, bfOffBits.
void PutFileHeader(std::uint8_t* out, std::uint32_t fileSize, std::uint32_t offBits);

// The information header's fields as a file sets them; biPlanes is always 1.
struct InfoHeader {
    std::uint32_t size = kInfoHeaderBytes;  // biSize
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;       // biSizeImage
    std::int32_t pixelsPerMetre = 0;   // biXPelsPerMeter and biYPelsPerMeter
    std::uint32_t colourCount = 0;     // biClrUsed
};
// Writes the 40 bytes of the header, whatever its size field says.
void PutInfoHeader(std::uint8_t* out, const InfoHeader& header);

// Bytes of one row of `width` pixels: 3 a pixel, padded to a multiple of 4.
std::uint64_t BitmapRowBytes(std::int64_t width);

// The colour of display pixel (x, y), x from the left and y from the top,
// as blue, green, red into bgr[0..2]; context is what the caller passed on.
using PixelColour = void (*)(const void* context, std::int32_t x, std::int32_t y, std::uint8_t* bgr);

// Writes the pixel data of a width x height picture at `data`: rows bottom
// up, each padded with `fill` bytes. Only the rows that fit whole in `room`
// bytes are written, so a file cut short gets what it holds.
void PutPixelRows(std::uint8_t* data, std::uint64_t room, std::int64_t width, std::int64_t height,
                  std::uint8_t fill, PixelColour colour, const void* context);

// A whole file of a width x height picture coloured by `colour`: headers
// giving `bitCount`, pixel rows laid out at 24 bits with zero padding.
std::vector<std::uint8_t> PaintedBitmapFile(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                                            PixelColour colour, const void* context);

// A whole file from a header as held in memory: the file header, the 40
// bytes of `info` and `dataSize` bytes of pixel data right after them.
std::vector<std::uint8_t> BitmapFileBytes(const void* info, const std::uint8_t* bits, std::uint32_t dataSize);
