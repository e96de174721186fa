#include "saver_fixture.h"

#include "fresh_host.h"
#include "shell/picture_window.h"
#include "tools/bitmap_writer.h"

namespace {

void WriterPixel(const void* context, std::int32_t x, std::int32_t y, std::uint8_t* bgr) {
    const std::uint32_t pixel = TestPixel(x, y, *static_cast<const int*>(context));
    bgr[0] = static_cast<std::uint8_t>(pixel);
    bgr[1] = static_cast<std::uint8_t>(pixel >> 8);
    bgr[2] = static_cast<std::uint8_t>(pixel >> 16);
}

void ResetProcess() {
    ReleaseHeldPicture(&saverState.pictureReady, &saverState.picture);
    saverState = SaverState{};
    ResetHost();
}

}  // namespace

std::uint32_t TestPixel(int x, int y, int salt) {
    return static_cast<std::uint32_t>((x * 37 + 11 + salt) & 0xFF) |
           static_cast<std::uint32_t>((y * 53 + 29 + salt * 7) & 0xFF) << 8 |
           static_cast<std::uint32_t>(((x + y) * 71 + 5 + salt * 13) & 0xFF) << 16;
}

std::vector<unsigned char> BitmapBytes(int width, int height, int salt, int bitCount) {
    return PaintedBitmapFile(width, height, static_cast<std::uint16_t>(bitCount), WriterPixel, &salt);
}

std::vector<std::uint32_t> ScreenImage(int width, int height, int salt) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<std::size_t>(y) * width + x] = TestPixel(x, y, salt);
        }
    }
    return pixels;
}

HINSTANCE TestInstance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000)); }

void SaverTest::SetUp() {
    ResetProcess();
    EnterFolder("mottler-saver");
}

// Whatever the test ran has given back all it took: windows, contexts,
// memory contexts, bitmaps, blocks and registry keys.
void SaverTest::TearDown() {
    ReleaseHeldPicture(&saverState.pictureReady, &saverState.picture);
    EXPECT_TRUE(host::CurrentCounts() == host::LiveCounts{});
    ResetProcess();
    LeaveFolder();
}

void SaverTest::SetScreen(int x, int y, int width, int height, int salt) {
    host::SetVirtualScreen(x, y, width, height);
    host::SetScreenImage(width, height, ScreenImage(width, height, salt));
}

HWND SaverTest::LastWindowOf(const std::string& className) {
    HWND last = nullptr;
    for (HWND window : host::AllWindows()) {
        last = host::CreationOf(window).className == className ? window : last;
    }
    return last;
}

std::uint32_t SaverTest::ShownPixel(HWND window, int x, int y) {
    const COLORREF colour = host::ClientPixel(window, x, y);
    return colour == host::kUnpainted ? colour
                                      : (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

std::uint32_t PicturePixel(const Picture& picture, int x, int y) {
    const std::uint8_t* pixel = picture.bits + PixelOffset(picture, x, y);
    return static_cast<std::uint32_t>(pixel[0]) | static_cast<std::uint32_t>(pixel[1]) << 8 |
           static_cast<std::uint32_t>(pixel[2]) << 16;
}
