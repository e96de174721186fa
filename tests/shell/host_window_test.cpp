// The host's windowing model itself: what the shell relies on from the queue,
// painting and drawing behaves as on Windows.
#include <vector>

#include "shell_fixture.h"

namespace {

std::vector<UINT>& Received() {
    static std::vector<UINT> received;
    return received;
}

bool quitOnDestroy = true;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Received().push_back(message);
    if (message == WM_DESTROY && quitOnDestroy) {
        platform::PostQuitMessage(7);
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        platform::BeginPaint(window, &paint);
        platform::EndPaint(window, &paint);
        return 0;
    }
    return platform::DefWindowProcA(window, message, wParam, lParam);
}

class HostWindowTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        Received().clear();
        quitOnDestroy = true;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hbrBackground = platform::CreateSolidBrush(0x00123456);
        windowClass.lpszClassName = "Probe";
        ASSERT_NE(platform::RegisterClassA(&windowClass), 0);
    }

    static HWND Create(DWORD style, int width = 20, int height = 40) {
        return platform::CreateWindowExA(0, "probe", "probe", style, 10, 20, width, height, nullptr,
                                         nullptr, nullptr, nullptr);
    }
};

TEST_F(HostWindowTest, CreationSendsCreateAndDestructionSendsDestroy) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW);
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(Received().empty());
    EXPECT_EQ(Received()[0], static_cast<UINT>(WM_CREATE));  // before CreateWindowExA returned
    RECT client;
    ASSERT_TRUE(platform::GetClientRect(window, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.right, 20 - host::kFrameWidth);
    EXPECT_EQ(client.bottom, 40 - host::kFrameHeight);
    EXPECT_FALSE(host::NeedsPaint(window));  // not visible

    platform::PostQuitMessage(3);  // posted messages and the quit wait their turn
    EXPECT_EQ(host::CurrentCounts().windows, 1);
    ASSERT_TRUE(platform::DestroyWindow(window));
    EXPECT_EQ(Received().back(), static_cast<UINT>(WM_DESTROY));
    EXPECT_FALSE(platform::DestroyWindow(window));
    EXPECT_EQ(host::CurrentCounts().windows, 0);
    MSG message;
    ASSERT_TRUE(platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);  // the quit flag holds the latest code
    EXPECT_FALSE(platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(HostWindowTest, PaintComesOnlyWhenNothingElseIsQueuedAndUntilValidated) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(host::NeedsPaint(window));
    host::ScheduleInput(host::InputKind::LeftClick, 1, 2);
    MSG message;
    ASSERT_TRUE(platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(message.lParam, MAKELPARAM(1, 2));
    ASSERT_TRUE(platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_LBUTTONUP));
    // Taking WM_PAINT off the queue does not validate the window ...
    ASSERT_TRUE(platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
    ASSERT_TRUE(platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
    // ... painting it does, after erasing with the class brush.
    platform::DispatchMessageA(&message);
    EXPECT_FALSE(host::NeedsPaint(window));
    EXPECT_EQ(host::ClientPixel(window, 0, 0), 0x00123456u);
    EXPECT_FALSE(platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    platform::DestroyWindow(window);
}

TEST_F(HostWindowTest, DrawingHonoursBottomUpRowsAndClipsToTheClientArea) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW, 4 + host::kFrameWidth, 3 + host::kFrameHeight);
    HDC context = platform::GetDC(window);
    ASSERT_NE(context, nullptr);
    // A 3 x 2 picture, bottom-up: the first stored row is the bottom one.
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = 3;
    info.bmiHeader.biHeight = 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const unsigned char bits[2 * 12] = {
        0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0, 0, 0,   // bottom row
        0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0, 0, 0};  // top row
    // Drawn one pixel left of and two below the client's top: the left column
    // and the bottom row fall outside and are clipped.
    EXPECT_EQ(platform::SetDIBitsToDevice(context, -1, 2, 3, 2, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS), 2);
    // Stored blue, green, red; read back as 0x00BBGGRR.
    EXPECT_EQ(host::ClientPixel(window, 0, 2), 0x00141516u);  // top row, second pixel
    EXPECT_EQ(host::ClientPixel(window, 1, 2), 0x00171819u);
    EXPECT_EQ(host::ClientPixel(window, 2, 2), host::kUnpainted);
    EXPECT_EQ(host::ClientPixel(window, 0, 1), host::kUnpainted);
    // Top-down (negative height): the first stored row is the top one.
    info.bmiHeader.biHeight = -2;
    EXPECT_EQ(platform::SetDIBitsToDevice(context, 0, 0, 3, 2, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(host::ClientPixel(window, 0, 0), 0x00010203u);
    EXPECT_EQ(host::ClientPixel(window, 2, 1), 0x00171819u);
    // A context given back draws nothing.
    EXPECT_EQ(platform::ReleaseDC(window, context), 1);
    EXPECT_EQ(platform::SetDIBitsToDevice(context, 0, 0, 3, 2, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
    platform::DestroyWindow(window);
}

TEST_F(HostWindowTest, CloseBoxGoesThroughTheDefaultProcedure) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW);
    host::ScheduleInput(host::InputKind::Close);
    Pump();
    EXPECT_FALSE(host::IsLiveWindow(window));
    const std::vector<UINT> tail(Received().end() - 3, Received().end());
    EXPECT_EQ(tail, (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
}

TEST_F(HostWindowTest, ALoopWithNoInputLeftIsEndedByTheHost) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW);
    quitOnDestroy = false;  // a program that forgets to quit still ends
    MSG message;
    int taken = 0;
    for (;;) {
        if (platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                break;
            }
            platform::DispatchMessageA(&message);
        } else {
            platform::WaitMessage();
        }
        ASSERT_LT(++taken, 100);
    }
    EXPECT_FALSE(host::IsLiveWindow(window));
    EXPECT_EQ(host::CurrentLoopStats().sessionEnds, 2);
}

}  // namespace
