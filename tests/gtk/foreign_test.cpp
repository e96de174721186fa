// What the GTK side does for the screensaver without a display: the command
// line WinMain is given, window ids from the environment, and X images of
// every pixel layout turned into the model's 0x00RRGGBB words.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gtk/gtk_internal.h"
#include "saver/arguments.h"

namespace {

std::string Joined(std::vector<const char*> arguments) {
    return gtkside::CommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(GtkCommandLine, PlainArgumentsAreJoinedByOneSpace) {
    EXPECT_EQ(Joined({}), "");
    EXPECT_EQ(Joined({"--root"}), "--root");
    EXPECT_EQ(Joined({"--window-id", "0x600008", "--delay", "20000"}), "--window-id 0x600008 --delay 20000");
    // Backslashes with no quote after them stay as they are.
    EXPECT_EQ(Joined({"a\\b\\", "\\\\x"}), "a\\b\\ \\\\x");
}

TEST(GtkCommandLine, EmptyOrSpacedOrQuotedArgumentsAreQuoted) {
    EXPECT_EQ(Joined({""}), "\"\"");
    EXPECT_EQ(Joined({"--picture", "/home/me/My Pictures/a.bmp"}), "--picture \"/home/me/My Pictures/a.bmp\"");
    EXPECT_EQ(Joined({"tab\there"}), "\"tab\there\"");
    EXPECT_EQ(Joined({"say \"hi\""}), "\"say \\\"hi\\\"\"");
    EXPECT_EQ(Joined({"\""}), "\"\\\"\"");
    // Backslashes right before a quote, the closing one included, doubled.
    EXPECT_EQ(Joined({"a\\\"b"}), "\"a\\\\\\\"b\"");
    EXPECT_EQ(Joined({"dir with space\\"}), "\"dir with space\\\\\"");
    EXPECT_EQ(Joined({"x y\\z"}), "\"x y\\z\"");
    EXPECT_EQ(Joined({"", ""}), "\"\" \"\"");
}

// The saver's splitter gives back exactly the arguments joined, whatever
// they hold: spaces, tabs, quotes, backslashes before and after quotes.
TEST(GtkCommandLine, TheSaversSplitterGivesBackTheArguments) {
    const std::vector<std::vector<const char*>> cases{
        {},
        {"--root"},
        {"--picture", "/home/me/My Pictures/a b.bmp", "--delay", "0"},
        {"", "x", ""},
        {"say \"hi\"", "\"", "\"\""},
        {"a\\\"b", "dir with space\\", "trail\\\\", "c:\\x\\y", "\\\\server\\share"},
        {"tab\there", " lead", "trail ", "  "},
        {"--window-id", "0x600008", "-picture", "\\\"", "\\ \\\\\""},
    };
    for (const auto& arguments : cases) {
        const std::string line = Joined(arguments);
        const std::vector<std::string> split = SplitCommandLine(line.c_str());
        EXPECT_EQ(split, std::vector<std::string>(arguments.begin(), arguments.end())) << line;
    }
}

TEST(GtkWindowIds, DecimalAndHexIdsOfXResources) {
    unsigned long id = 7;
    EXPECT_TRUE(gtkside::ParseWindowId("6291464", &id));
    EXPECT_EQ(id, 6291464UL);
    EXPECT_TRUE(gtkside::ParseWindowId("0x600008", &id));
    EXPECT_EQ(id, 0x600008UL);
    EXPECT_TRUE(gtkside::ParseWindowId("0X1fffFFFF", &id));
    EXPECT_EQ(id, 0x1FFFFFFFUL);
    for (const char* bad : {"", "0", "0x", "0x0", "0x20000000", "536870912", "99999999999999999999999", "12a",
                            "-5", " 5", "5 ", "0x-1", "ab"}) {
        id = 7;
        EXPECT_FALSE(gtkside::ParseWindowId(bad, &id)) << bad;
    }
    EXPECT_FALSE(gtkside::ParseWindowId(nullptr, &id));
}

// Two rows of two pixels, with padding after each row that must not be read
// into the pixels: red, green / blue, grey.
TEST(GtkScreenPixels, TrueColourLayoutsGiveTheSameWords) {
    const std::vector<std::uint32_t> expected{0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
    struct Case {
        gtkside::PixelLayout layout;
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
        ASSERT_TRUE(gtkside::ConvertRows(each.layout, each.data.data(), 2, 2, out.data(), 2));
        EXPECT_EQ(out, expected) << each.layout.bitsPerPixel << " bits, masks " << each.layout.redMask;
    }
}

// 16-bit 5-6-5: full channels become 255, half ones their share of it.
TEST(GtkScreenPixels, NarrowChannelsAreScaledToEightBits) {
    const gtkside::PixelLayout layout{16, false, 0xF800, 0x07E0, 0x001F, 6};
    const std::uint16_t words[] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410};
    std::vector<unsigned char> data;
    for (std::uint16_t word : words) {
        data.push_back(static_cast<unsigned char>(word & 0xFF));
        data.push_back(static_cast<unsigned char>(word >> 8));
    }
    std::vector<std::uint32_t> out(6);
    ASSERT_TRUE(gtkside::ConvertRows(layout, data.data(), 3, 2, out.data(), 3));
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x848284}));
}

// Rows land `outStride` words apart, and nothing beyond each row is written.
TEST(GtkScreenPixels, RowsGoIntoAWiderPicture) {
    const gtkside::PixelLayout layout{32, false, 0xFF0000, 0xFF00, 0xFF, 4};
    const unsigned char data[] = {1, 2, 3, 0, 4, 5, 6, 0};
    std::vector<std::uint32_t> out(6, 0xFF000000);
    ASSERT_TRUE(gtkside::ConvertRows(layout, data, 1, 2, out.data() + 1, 3));
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFF000000, 0x030201, 0xFF000000, 0xFF000000, 0x060504, 0xFF000000}));
}

TEST(GtkScreenPixels, LayoutsItCannotReadAreRefused) {
    const unsigned char data[16] = {};
    std::uint32_t out[4];
    const gtkside::PixelLayout good{32, false, 0xFF0000, 0xFF00, 0xFF, 8};
    auto refused = [&](gtkside::PixelLayout layout, int stride = 2) {
        return !gtkside::ConvertRows(layout, data, 2, 2, out, stride);
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
