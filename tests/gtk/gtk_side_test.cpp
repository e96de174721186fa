// What the GTK side does on its own, without a display: the device bitmaps
// its display holds, sizes and positions between screen and logical pixels,
// keys turned into virtual keys, and the program's texts shown in UTF-8.
// The shared model's tests (tests/shell/platform_model_test.cpp) run here too.
#include <gtest/gtest.h>

#include <string>

#include "platform/gtk/gtk_internal.h"
#include "test_dibs.h"

namespace {

TEST(GtkSide, DeviceBitmapIsRefusedForHeadersItCannotDraw) {
    const Dib good = MakeDib(4, 4, 24, true);
    auto refused = [&](void (*change)(BITMAPINFOHEADER*)) {
        Dib dib = good;
        change(&dib.header);
        return Bitmap(dib) == nullptr;
    };
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biBitCount = 8; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biCompression = BI_RLE8; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biWidth = 0; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biHeight = 0; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biSize = 12; }));
    EXPECT_TRUE(refused([](BITMAPINFOHEADER* h) { h->biWidth = 40000; }));
    EXPECT_EQ(platform::CreateDIBitmap(nullptr, &good.header, CBM_INIT, good.bits.data(),
                                       reinterpret_cast<const BITMAPINFO*>(&good.header), DIB_RGB_COLORS),
              nullptr);
}

// A picture no wider or taller than an X window and a cairo image can be,
// 32767 pixels, is made; one pixel more is refused.
TEST(GtkSide, DeviceBitmapsAreAsLargeAsTheDisplayShows) {
    for (bool wide : {true, false}) {
        Dib dib = MakeDib(wide ? 32767 : 1, wide ? 1 : 32767, 24, true);
        HBITMAP bitmap = Bitmap(dib);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->pixels[32766] & 0xFFu, wide ? 0xFEu : 0u);  // blue is x, mod 256
        EXPECT_TRUE(platform::DeleteObject(bitmap));
        (wide ? dib.header.biWidth : dib.header.biHeight) += 1;
        EXPECT_EQ(Bitmap(dib), nullptr);
    }
}

TEST(GtkSide, ScreenSizesRoundUpToLogicalPixelsAndPositionsDown) {
    EXPECT_EQ(gtkside::LogicalSize(640, 1), 640);
    EXPECT_EQ(gtkside::LogicalSize(640, 2), 320);
    EXPECT_EQ(gtkside::LogicalSize(641, 2), 321);
    EXPECT_EQ(gtkside::LogicalSize(1, 3), 1);
    EXPECT_EQ(gtkside::LogicalPosition(641, 2), 320);
    EXPECT_EQ(gtkside::LogicalPosition(-1, 2), -1);
    EXPECT_EQ(gtkside::LogicalPosition(-2, 2), -1);
    EXPECT_EQ(gtkside::LogicalPosition(-3, 2), -2);
    EXPECT_EQ(gtkside::LogicalPosition(-320, 1), -320);
}

// A client area asked of an odd size at scale 2 gets a content one screen
// pixel larger; only that content counts as the one asked for.
TEST(GtkSide, ContentIsAsAskedWhenItIsTheAskedSizeInWholeLogicalPixels) {
    EXPECT_TRUE(gtkside::ContentAsAsked(7, 5, 7, 5, 1));
    EXPECT_TRUE(gtkside::ContentAsAsked(7, 5, 8, 6, 2));
    EXPECT_TRUE(gtkside::ContentAsAsked(8, 6, 8, 6, 2));
    EXPECT_FALSE(gtkside::ContentAsAsked(7, 5, 8, 5, 2));
    EXPECT_FALSE(gtkside::ContentAsAsked(7, 5, 10, 6, 2));
    EXPECT_FALSE(gtkside::ContentAsAsked(7, 5, 8, 6, 1));
}

TEST(GtkSide, KeysBecomeTheVirtualKeysOfWindows) {
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_a), WPARAM{'A'});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_A), WPARAM{'A'});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_7), WPARAM{'7'});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_space), WPARAM{' '});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_Escape), WPARAM{0x1B});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_Return), WPARAM{0x0D});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_BackSpace), WPARAM{0x08});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_Tab), WPARAM{0x09});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_Left), WPARAM{0x25});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_Down), WPARAM{0x28});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_F1), WPARAM{0x70});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_F12), WPARAM{0x7B});
    EXPECT_EQ(gtkside::VirtualKey(GDK_KEY_Shift_L), WPARAM{0});
}

// Every system's code page: the texts are Shift_JIS bytes, shown in UTF-8.
TEST(GtkSide, TheProgramsTextsAreShownInUtf8) {
    const auto shown = [](const char* text) {
        gchar* utf8 = gtkside::ProgramText(text);
        const std::string result = utf8;
        g_free(utf8);
        return result;
    };
    EXPECT_EQ(shown("\x83\x47\x83\x89\x81\x5B\x94\xAD\x90\xB6"), "エラー発生");
    EXPECT_EQ(shown("\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8A\x4A\x82\xAD"), "ファイルを開く");
    EXPECT_EQ(shown("Exe Files(*.bmp)"), "Exe Files(*.bmp)");
    EXPECT_EQ(shown(nullptr), "");
    // A byte that is no Shift_JIS still gives valid UTF-8.
    EXPECT_TRUE(g_utf8_validate(shown("a\x80\xFF").c_str(), -1, nullptr));
}

}  // namespace
