#include "shell_fixture.h"

#include <algorithm>
#include <cstring>

#include "fresh_host.h"
#include "picture/picture.h"
#include "platform/platform.h"
#include "shell/picture_window.h"
#include "tools/bitmap_writer.h"

// "ファイルが１６Ｍ色モードではありません。"
const std::string kErrorTextBytes =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x82\x50\x82\x55\x82\x6C\x90\x46\x83\x82"
    "\x81\x5B\x83\x68\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42";
// "エラー発生"
const std::string kErrorCaptionBytes = "\x83\x47\x83\x89\x81\x5B\x94\xAD\x90\xB6";
// "ファイルを開く"
const std::string kDialogTitleBytes = "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8A\x4A\x82\xAD";

namespace {

// TestColour for the bitmap writer.
void TestPixel(const void*, std::int32_t x, std::int32_t y, std::uint8_t* bgr) {
    const COLORREF colour = TestColour(x, y);
    bgr[0] = static_cast<std::uint8_t>(colour >> 16);
    bgr[1] = static_cast<std::uint8_t>(colour >> 8);
    bgr[2] = static_cast<std::uint8_t>(colour);
}

// Back to a fresh process: no picture, no window, no class, nothing queued.
void ResetProcess() {
    ReleaseHeldPicture(&appState.pictureReady, &appState.currentPicture);
    appState = AppState{};
    ResetHost();
}

}  // namespace

COLORREF TestColour(int x, int y) {
    return static_cast<COLORREF>((x * 37 + 11) & 0xFF) |
           static_cast<COLORREF>((y * 53 + 29) & 0xFF) << 8 |
           static_cast<COLORREF>(((x + y) * 71 + 5) & 0xFF) << 16;
}

std::vector<unsigned char> BitmapFile(int width, int height, int bitCount) {
    return PaintedBitmapFile(width, height, static_cast<std::uint16_t>(bitCount), TestPixel, nullptr);
}

void ShellTest::SetUp() {
    ResetProcess();
    EnterFolder("mottler-shell");
}

void ShellTest::TearDown() {
    ResetProcess();
    // Everything the program took has been given back, the class's brush
    // with the class.
    EXPECT_TRUE(host::CurrentCounts() == host::LiveCounts{});
    LeaveFolder();
}

std::string ShellTest::WriteDefaultPicture(int width, int height) {
    return WriteFile("mottle.bmp", BitmapFile(width, height));
}

int ShellTest::CountCalls(const std::string& entry) {
    const auto& log = host::CallLog();
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

bool ShellTest::Before(const std::string& first, const std::string& second) {
    const auto& log = host::CallLog();
    const auto a = std::find(log.begin(), log.end(), first);
    const auto b = std::find(log.begin(), log.end(), second);
    return a != log.end() && b != log.end() && a < b;
}

void ShellTest::Pump() {
    MSG message;
    while (platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        platform::TranslateMessage(&message);
        platform::DispatchMessageA(&message);
    }
}

COLORREF ShellTest::PicturePixel(int x, int y) {
    const Picture& picture = appState.currentPicture;
    const std::uint8_t* pixel = picture.bits + PixelOffset(picture, x, y);
    return static_cast<COLORREF>(pixel[2]) | static_cast<COLORREF>(pixel[1]) << 8 |
           static_cast<COLORREF>(pixel[0]) << 16;
}

bool ShellTest::ClientShowsPicture() {
    const Picture& picture = appState.currentPicture;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (host::ClientPixel(appState.mainWindow, x, y) != PicturePixel(x, y)) {
                return false;
            }
        }
    }
    return true;
}
