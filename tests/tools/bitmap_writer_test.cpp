// The bitmap writer the tools and the tests share: every byte of its headers
// and rows where the file format puts it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/bitmap_writer.h"

namespace {

std::vector<std::uint8_t> Sequence(std::size_t length, std::uint8_t first) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(first + i);
    }
    return bytes;
}

// Display pixel (x, y) as blue 10x + y, green 100 + x, red 200 + y.
void Numbered(const void*, std::int32_t x, std::int32_t y, std::uint8_t* bgr) {
    bgr[0] = static_cast<std::uint8_t>(10 * x + y);
    bgr[1] = static_cast<std::uint8_t>(100 + x);
    bgr[2] = static_cast<std::uint8_t>(200 + y);
}

TEST(BitmapWriter, FileOfAHeldPictureIsFileHeaderInfoAndPixels) {
    const std::vector<std::uint8_t> info = Sequence(40, 1);
    const std::vector<std::uint8_t> bits = Sequence(300, 7);
    const std::uint32_t fileSize = 54 + 300;
    std::vector<std::uint8_t> expected = {'B', 'M', static_cast<std::uint8_t>(fileSize), static_cast<std::uint8_t>(fileSize >> 8),
                                          static_cast<std::uint8_t>(fileSize >> 16), static_cast<std::uint8_t>(fileSize >> 24),
                                          0, 0, 0, 0, 54, 0, 0, 0};
    expected.insert(expected.end(), info.begin(), info.end());
    expected.insert(expected.end(), bits.begin(), bits.end());
    EXPECT_EQ(BitmapFileBytes(info.data(), bits.data(), 300), expected);
    // No pixels: the headers alone.
    expected.resize(54);
    expected[2] = 54;
    expected[3] = 0;
    EXPECT_EQ(BitmapFileBytes(info.data(), nullptr, 0), expected);
}

TEST(BitmapWriter, HeadersAreLittleEndianAtTheirOffsets) {
    std::vector<std::uint8_t> out(54, 0xEE);
    PutFileHeader(out.data(), 0x12345678, 0x9ABCDEF0);
    InfoHeader info;
    info.size = 0x01020304;
    info.width = -2;
    info.height = 0x11223344;
    info.bitCount = 0x5566;
    info.compression = 0x778899AA;
    info.imageSize = 0xBBCCDDEE;
    info.pixelsPerMetre = kBitmapResolution;
    info.colourCount = 0x0F0E0D0C;
    PutInfoHeader(out.data() + 14, info);
    const std::vector<std::uint8_t> expected = {
        'B', 'M', 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0xF0, 0xDE, 0xBC, 0x9A,  // file header
        0x04, 0x03, 0x02, 0x01,  0xFE, 0xFF, 0xFF, 0xFF,  0x44, 0x33, 0x22, 0x11,  // size, width, height
        1, 0,  0x66, 0x55,  0xAA, 0x99, 0x88, 0x77,  0xEE, 0xDD, 0xCC, 0xBB,       // planes, bits, compression, image
        0x13, 0x0B, 0, 0,  0x13, 0x0B, 0, 0,  0x0C, 0x0D, 0x0E, 0x0F,  0, 0, 0, 0};  // resolution, colours, important
    EXPECT_EQ(out, expected);
    // A default header: 40 bytes, one plane, 24 bits, the rest zero.
    PutInfoHeader(out.data() + 14, InfoHeader{});
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 14, out.end()),
              (std::vector<std::uint8_t>{40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                         0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BitmapWriter, RowsArePaddedToFourBytes) {
    EXPECT_EQ(BitmapRowBytes(0), 0u);
    EXPECT_EQ(BitmapRowBytes(1), 4u);
    EXPECT_EQ(BitmapRowBytes(2), 8u);
    EXPECT_EQ(BitmapRowBytes(3), 12u);
    EXPECT_EQ(BitmapRowBytes(4), 12u);
    EXPECT_EQ(BitmapRowBytes(5), 16u);
}

TEST(BitmapWriter, RowsGoBottomUpInBlueGreenRedThenFill) {
    std::vector<std::uint8_t> data(16, 0);
    PutPixelRows(data.data(), data.size(), 2, 2, 0xA5, Numbered, nullptr);
    const std::vector<std::uint8_t> expected = {
        1, 100, 201,  11, 101, 201,  0xA5, 0xA5,   // y = 1, the bottom row, first
        0, 100, 200,  10, 101, 200,  0xA5, 0xA5};  // y = 0, the top row, last
    EXPECT_EQ(data, expected);
}

TEST(BitmapWriter, OnlyRowsThatFitWholeAreWritten) {
    std::vector<std::uint8_t> data(20, 0x33);
    PutPixelRows(data.data(), 15, 2, 2, 0, Numbered, nullptr);
    const std::vector<std::uint8_t> expected = {1, 100, 201, 11, 101, 201, 0, 0,
                                                0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33,
                                                0x33, 0x33, 0x33, 0x33};
    EXPECT_EQ(data, expected);
    // Rows of no pixels write nothing.
    PutPixelRows(data.data(), data.size(), 0, 3, 0, Numbered, nullptr);
    EXPECT_EQ(data, expected);
}

}  // namespace
