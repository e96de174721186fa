// What mottlescreen does with the screen without a display: X images of
// every pixel layout turned into 0x00RRGGBB words.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "saver/hack_screen.h"

namespace {

// Two rows of two pixels, with padding after each row that must not be read
// into the pixels: red, green / blue, grey.
TEST(HackScreenPixels, TrueColourLayoutsGiveTheSameWords) {
    const std::vector<std::uint32_t> expected{0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
    struct Case {
        PixelLayout layout;
        std::vector<unsigned char> data;
    };
    const Case cases[] = {
        // The usual 24-bit visual, 32 bits a pixel, least significant byte first.
        {{32, false, 0xFF0000, 0xFF00, 0xFF, 12},
         {0, 0, 0xFF, 0xAA, 0, 0xFF, 0, 0xAA, 9, 9, 9, 9, 0xFF, 0, 0, 0xAA, 0x80, 0x80, 0x80, 0xAA, 9, 9, 9, 9}},
        // The same, most significant byte first.
        {{32, true, 0xFF0000, 0xFF00, 0xFF, 8},
         {0xAA, 0xFF, 0, 0, 0xAA, 0, 0xFF, 0, 0xAA, 0, 0, 0xFF, 0xAA, 0x80, 0x80, 0x80}},
        // Packed 24 bits, blue in the lowest byte, rows padded to 8 bytes.
        {{24, false, 0xFF0000, 0xFF00, 0xFF, 8},
         {0, 0, 0xFF, 0, 0xFF, 0, 9, 9, 0xFF, 0, 0, 0x80, 0x80, 0x80, 9, 9}},
        // Red in the lowest byte (BGR visuals).
        {{32, false, 0xFF, 0xFF00, 0xFF0000, 8},
         {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0x80, 0x80, 0x80, 0}},
    };
    for (const Case& each : cases) {
        std::vector<std::uint32_t> out(4, 0xDEADBEEF);
        ASSERT_TRUE(ConvertRows(each.layout, each.data.data(), 2, 2, out.data(), 2));
        EXPECT_EQ(out, expected) << each.layout.bitsPerPixel << " bits, masks " << each.layout.redMask;
    }
}

// 16-bit 5-6-5: full channels become 255, half ones their share of it.
TEST(HackScreenPixels, NarrowChannelsAreScaledToEightBits) {
    const PixelLayout layout{16, false, 0xF800, 0x07E0, 0x001F, 6};
    const std::uint16_t words[] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410};
    std::vector<unsigned char> data;
    for (std::uint16_t word : words) {
        data.push_back(static_cast<unsigned char>(word & 0xFF));
        data.push_back(static_cast<unsigned char>(word >> 8));
    }
    std::vector<std::uint32_t> out(6);
    ASSERT_TRUE(ConvertRows(layout, data.data(), 3, 2, out.data(), 3));
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x848284}));
}

// Rows land `outStride` words apart, and nothing beyond each row is written.
TEST(HackScreenPixels, RowsGoIntoAWiderPicture) {
    const PixelLayout layout{32, false, 0xFF0000, 0xFF00, 0xFF, 4};
    const unsigned char data[] = {1, 2, 3, 0, 4, 5, 6, 0};
    std::vector<std::uint32_t> out(6, 0xFF000000);
    ASSERT_TRUE(ConvertRows(layout, data, 1, 2, out.data() + 1, 3));
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFF000000, 0x030201, 0xFF000000, 0xFF000000, 0x060504, 0xFF000000}));
}

TEST(HackScreenPixels, LayoutsItCannotReadAreRefused) {
    const unsigned char data[16] = {};
    std::uint32_t out[4];
    const PixelLayout good{32, false, 0xFF0000, 0xFF00, 0xFF, 8};
    auto refused = [&](PixelLayout layout, int stride = 2) {
        return !ConvertRows(layout, data, 2, 2, out, stride);
    };
    EXPECT_FALSE(refused(good));
    EXPECT_TRUE(refused({8, false, 0xE0, 0x1C, 0x03, 8}));               // colour-mapped
    EXPECT_TRUE(refused({1, false, 1, 1, 1, 8}));                        // bitmaps
    EXPECT_TRUE(refused({32, false, 0, 0xFF00, 0xFF, 8}));               // no red
    EXPECT_TRUE(refused({32, false, 0xF0F000, 0xFF00, 0xFF, 8}));        // split channel
    EXPECT_TRUE(refused({16, false, 0x1F0000, 0x07E0, 0x001F, 8}));      // mask beyond the pixel
    EXPECT_TRUE(refused({32, false, 0xFF0000, 0xFF00, 0xFF, 7}));        // rows shorter than their pixels
    EXPECT_TRUE(refused(good, 1));                                       // a picture narrower than the rows
}

}  // namespace
