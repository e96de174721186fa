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

// Rows of every width up to 21, drawn from each of the first three columns of
// a wider picture: every pixel lands right whether it goes with three or
// fifteen others or alone at a row's end, and nothing past the drawn
// rectangle is touched.
TEST_F(HostWindowTest, EveryPixelOfARowIsTurnedIntoAWindowPixelWhateverItsPlace) {
    constexpr int kWidest = 24;
    const HWND window = Create(WS_OVERLAPPEDWINDOW, kWidest + host::kFrameWidth, 2 + host::kFrameHeight);
    HDC context = platform::GetDC(window);
    ASSERT_NE(context, nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = kWidest;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    // Exactly one row, so that a load past the row's end is the sanitizer's.
    std::vector<unsigned char> bits(3 * kWidest);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        bits[i] = static_cast<unsigned char>(0x40 + i);
    }
    for (int sourceX = 0; sourceX < 3; ++sourceX) {
        for (int width = 1; width <= kWidest - 3; ++width) {
            platform::DefWindowProcA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
            ASSERT_EQ(platform::SetDIBitsToDevice(context, 1, 0, width, 1, sourceX, 0, 0, 1, bits.data(), &info,
                                                  DIB_RGB_COLORS), 1);
            for (int x = 0; x < kWidest; ++x) {
                const int from = 3 * (sourceX + x - 1);
                const COLORREF expected = x >= 1 && x <= width
                    ? static_cast<COLORREF>(bits[from] << 16 | bits[from + 1] << 8 | bits[from + 2])
                    : 0x00123456u;  // the class background, as erased
                EXPECT_EQ(host::ClientPixel(window, x, 0), expected)
                    << "x " << x << ", width " << width << ", from column " << sourceX;
            }
        }
    }
    platform::ReleaseDC(window, context);
    platform::DestroyWindow(window);
}

TEST_F(HostWindowTest, CloseBoxGoesThroughTheDefaultProcedure) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW);
    host::ScheduleInput(host::InputKind::Close);
    Pump();
    EXPECT_FALSE(winmodel::IsLive(window));
    const std::vector<UINT> tail(Received().end() - 3, Received().end());
    EXPECT_EQ(tail, (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
}

// A procedure that takes WM_PAINT and does not paint.
LRESULT CALLBACK IdleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Received().push_back(message);
    return message == WM_PAINT ? 0 : platform::DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(HostWindowTest, MovingKeepsWhatIsDrawnAndTellsANewClientSize) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW, 2 + host::kFrameWidth, 1 + host::kFrameHeight);
    HDC context = platform::GetDC(window);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 2, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const unsigned char bits[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0};
    ASSERT_EQ(platform::SetDIBitsToDevice(context, 0, 0, 2, 1, 0, 0, 0, 1, bits, &info, DIB_RGB_COLORS), 1);
    platform::ReleaseDC(window, context);
    Received().clear();
    // Moved without a new size: nothing to tell, nothing to paint.
    ASSERT_TRUE(platform::MoveWindow(window, 50, 60, 2 + host::kFrameWidth, 1 + host::kFrameHeight, FALSE));
    EXPECT_TRUE(Received().empty());
    EXPECT_FALSE(host::NeedsPaint(window));
    // Larger: the drawn pixels stay at the top-left, the rest is unpainted.
    ASSERT_TRUE(platform::MoveWindow(window, 50, 60, 3 + host::kFrameWidth, 2 + host::kFrameHeight, TRUE));
    EXPECT_EQ(Received(), (std::vector<UINT>{WM_SIZE}));
    EXPECT_EQ(host::ClientPixel(window, 0, 0), 0x00010203u);
    EXPECT_EQ(host::ClientPixel(window, 1, 0), 0x00040506u);
    EXPECT_EQ(host::ClientPixel(window, 2, 0), host::kUnpainted);
    EXPECT_EQ(host::ClientPixel(window, 0, 1), host::kUnpainted);
    EXPECT_TRUE(host::NeedsPaint(window));
    RECT outer;
    ASSERT_TRUE(platform::GetWindowRect(window, &outer));
    EXPECT_EQ(outer.left, 50);
    EXPECT_EQ(outer.bottom, 60 + 2 + host::kFrameHeight);
    platform::DestroyWindow(window);
    EXPECT_FALSE(platform::MoveWindow(window, 0, 0, 10, 10, TRUE));
}

// A black pixel drawn is told from one nothing drew.
TEST_F(HostWindowTest, DrawnBlackIsNotUnpainted) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW, 2 + host::kFrameWidth, 1 + host::kFrameHeight);
    HDC context = platform::GetDC(window);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const unsigned char bits[4] = {0, 0, 0, 0};
    ASSERT_EQ(platform::SetDIBitsToDevice(context, 0, 0, 1, 1, 0, 0, 0, 1, bits, &info, DIB_RGB_COLORS), 1);
    platform::ReleaseDC(window, context);
    EXPECT_EQ(host::ClientPixel(window, 0, 0), 0x00000000u);
    EXPECT_EQ(host::ClientPixel(window, 1, 0), host::kUnpainted);
    platform::DestroyWindow(window);
}

TEST_F(HostWindowTest, QueuedMouseMovesAreMergedIntoTheLatest) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW);
    host::ScheduleInput(host::InputKind::MouseMove, 1, 1);
    host::ScheduleInput(host::InputKind::MouseMove, 2, 3);
    host::ScheduleInput(host::InputKind::LeftClick, 4, 4);
    host::ScheduleInput(host::InputKind::MouseMove, 5, 6);
    std::vector<MSG> taken;
    MSG message;
    while (platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        taken.push_back(message);
    }
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_EQ(taken[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(taken[0].lParam, MAKELPARAM(2, 3));
    EXPECT_EQ(taken[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(taken[2].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(taken[3].lParam, MAKELPARAM(5, 6));  // a click between keeps both moves
    platform::DestroyWindow(window);
}

TEST_F(HostWindowTest, PeekingForOneWindowOrRangeLeavesTheRestQueued) {
    const HWND first = Create(WS_OVERLAPPEDWINDOW);
    const HWND second = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    host::ScheduleInput(host::InputKind::KeyPress, 'A');  // to the first live window
    MSG message;
    ASSERT_TRUE(platform::PeekMessageA(&message, second, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));  // the second's only message
    EXPECT_EQ(message.hwnd, second);
    ASSERT_TRUE(platform::PeekMessageA(&message, nullptr, WM_KEYUP, WM_KEYUP, PM_NOREMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(message.hwnd, first);
    // Keys give no characters.
    EXPECT_FALSE(platform::TranslateMessage(&message));
    platform::PostQuitMessage(4);
    // The quit comes only when no window is asked for, whatever the range.
    ASSERT_TRUE(platform::PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_FALSE(platform::PeekMessageA(&message, first, WM_USER, WM_USER, PM_REMOVE));
    std::vector<UINT> rest;
    while (platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        rest.push_back(message.message);
        platform::DispatchMessageA(&message);
    }
    EXPECT_EQ(rest, (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_PAINT}));
    platform::DestroyWindow(first);
    platform::DestroyWindow(second);
}

TEST_F(HostWindowTest, BeginPaintTellsWhatIsToBePaintedAndErased) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    PAINTSTRUCT paint;
    ASSERT_NE(platform::BeginPaint(window, &paint), nullptr);
    EXPECT_EQ(paint.rcPaint.right, 20 - host::kFrameWidth);
    EXPECT_EQ(paint.rcPaint.bottom, 40 - host::kFrameHeight);
    EXPECT_FALSE(paint.fErase);  // the default procedure erased
    EXPECT_EQ(host::ClientPixel(window, 0, 0), 0x00123456u);
    EXPECT_TRUE(platform::EndPaint(window, &paint));
    EXPECT_FALSE(platform::EndPaint(window, &paint));  // given back already
    // Nothing invalid: an empty update area, nothing erased.
    ASSERT_NE(platform::BeginPaint(window, &paint), nullptr);
    EXPECT_EQ(paint.rcPaint.right, 0);
    EXPECT_EQ(paint.rcPaint.bottom, 0);
    EXPECT_TRUE(platform::EndPaint(window, &paint));
    EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
    platform::DestroyWindow(window);
}

// A modal loop sends the paints that fall due; a window whose procedure does
// not paint is validated all the same, so that the loop ends.
TEST_F(HostWindowTest, ModalDialogsPaintWhatIsDueAndValidateWhatIsLeft) {
    WNDCLASSA idle{};
    idle.lpfnWndProc = IdleProc;
    idle.lpszClassName = "Idle";
    ASSERT_NE(platform::RegisterClassA(&idle), 0);
    const HWND painted = Create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    const HWND unpainted = platform::CreateWindowExA(0, "idle", "idle", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 20,
                                                     40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(unpainted, nullptr);
    Received().clear();
    EXPECT_EQ(platform::MessageBoxA(painted, "text", "caption", MB_OK), IDOK);
    EXPECT_EQ(Received(), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND, WM_PAINT}));
    EXPECT_FALSE(host::NeedsPaint(painted));
    EXPECT_FALSE(host::NeedsPaint(unpainted));
    EXPECT_EQ(host::ClientPixel(painted, 0, 0), 0x00123456u);
    EXPECT_EQ(host::ClientPixel(unpainted, 0, 0), host::kUnpainted);
    ASSERT_EQ(host::MessageBoxCalls().size(), 1u);
    EXPECT_EQ(host::MessageBoxCalls()[0].text, "text");
    // A box for a window that is gone does not show.
    platform::DestroyWindow(painted);
    EXPECT_EQ(platform::MessageBoxA(painted, "text", "caption", MB_OK), 0);
    EXPECT_EQ(host::MessageBoxCalls().size(), 1u);
    platform::DestroyWindow(unpainted);
}

// A record of a size the dialog does not know, or an owner that is gone: the
// call is seen, but no dialog opens and no answer is taken.
TEST_F(HostWindowTest, OpenDialogsThatCannotOpenTakeNoAnswer) {
    const HWND window = Create(WS_OVERLAPPEDWINDOW);
    char file[32] = "start.bmp";
    OPENFILENAMEA request{};
    request.lStructSize = 80;
    request.hwndOwner = window;
    request.lpstrFile = file;
    request.nMaxFile = sizeof file;
    host::AnswerOpenDialog("/picked/by/test.bmp");
    EXPECT_FALSE(platform::GetOpenFileNameA(&request));
    request.lStructSize = 88;  // the record with the later members
    platform::DestroyWindow(window);
    EXPECT_FALSE(platform::GetOpenFileNameA(&request));
    request.hwndOwner = nullptr;
    EXPECT_TRUE(platform::GetOpenFileNameA(&request));
    ASSERT_EQ(host::OpenDialogCalls().size(), 3u);
    EXPECT_FALSE(host::OpenDialogCalls()[0].answered);
    EXPECT_FALSE(host::OpenDialogCalls()[1].answered);
    EXPECT_TRUE(host::OpenDialogCalls()[2].answered);
    EXPECT_STREQ(file, "/picked/by/test.bmp");
    EXPECT_EQ(host::OpenDialogCalls()[2].fileOnEntry, "start.bmp");
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
    EXPECT_FALSE(winmodel::IsLive(window));
    EXPECT_EQ(host::CurrentLoopStats().sessionEnds, 2);
}

// A side that shows a window's pixels from memory of its own gets them drawn
// there, once it is done reading them; turned to other memory after a
// frame, the window's newer pixels are copied over before a write that does
// not cover them all; and they move over into the memory given for a new
// size.
std::vector<std::uint32_t> sideMemory[2];
int supplied = 0;
int waits = 0;

TEST_F(HostWindowTest, PixelsAreDrawnStraightIntoMemoryASideSupplies) {
    supplied = waits = 0;
    winmodel::pixelMemory.supply = [](HWND, int width, int height) {
        sideMemory[supplied].assign(static_cast<std::size_t>(width) * height, 0xABCDEFu);
        return sideMemory[supplied++].data();
    };
    winmodel::pixelMemory.beforeWriting = [](HWND) { ++waits; };
    const HWND window = Create(WS_OVERLAPPEDWINDOW, 2 + host::kFrameWidth, 1 + host::kFrameHeight);
    ASSERT_EQ(supplied, 1);
    constexpr std::uint32_t kBlank = winmodel::kUnpaintedPixel;
    EXPECT_EQ(sideMemory[0], (std::vector<std::uint32_t>{kBlank, kBlank}));
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const unsigned char bits[4] = {0x01, 0x02, 0x03, 0};
    HDC context = platform::GetDC(window);
    EXPECT_EQ(platform::SetDIBitsToDevice(context, 1, 0, 1, 1, 0, 0, 0, 1, bits, &info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(sideMemory[0], (std::vector<std::uint32_t>{kBlank, 0x00030201u}));
    sideMemory[1].assign(2, 0xABCDEFu);
    winmodel::TurnPixels(window, sideMemory[1].data());
    EXPECT_EQ(platform::SetDIBitsToDevice(context, 0, 0, 1, 1, 0, 0, 0, 1, bits, &info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(sideMemory[1], (std::vector<std::uint32_t>{0x00030201u, 0x00030201u}));
    platform::ReleaseDC(window, context);
    EXPECT_TRUE(platform::MoveWindow(window, 0, 0, 3 + host::kFrameWidth, 2 + host::kFrameHeight, FALSE));
    ASSERT_EQ(supplied, 2);
    EXPECT_EQ(sideMemory[1],
              (std::vector<std::uint32_t>{0x00030201u, 0x00030201u, kBlank, kBlank, kBlank, kBlank}));
    window->pixels.drawnTop = 0xFF000000u;  // a side whose system reads that byte as alpha
    context = platform::GetDC(window);
    EXPECT_EQ(platform::SetDIBitsToDevice(context, 2, 0, 1, 1, 0, 0, 0, 1, bits, &info, DIB_RGB_COLORS), 1);
    platform::ReleaseDC(window, context);
    EXPECT_EQ(sideMemory[1][2], 0xFF030201u);
    platform::DestroyWindow(window);
    winmodel::pixelMemory = winmodel::PixelMemory{};
}

// A side that shows fewer frames than the program draws lets whole-window
// draws from global blocks wait: only what is read or partly redrawn is
// converted, in order, and a waiting draw is written before its block goes
// (the address sanitizer reads freed memory otherwise).
TEST_F(HostWindowTest, DrawsThatWaitAreWrittenBeforeTheyAreReadOrTheirBlockGoes) {
    winmodel::drawingWaits = true;
    const HWND window = Create(WS_OVERLAPPEDWINDOW, 2 + host::kFrameWidth, 1 + host::kFrameHeight);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 2, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const auto rowIn = [](HGLOBAL block, unsigned char first) {
        auto* bytes = static_cast<unsigned char*>(platform::GlobalLock(block));
        for (int i = 0; i < 6; ++i) {
            bytes[i] = static_cast<unsigned char>(first + i);
        }
        return bytes;
    };
    HGLOBAL blocks[2] = {platform::GlobalAlloc(GMEM_MOVEABLE, 8), platform::GlobalAlloc(GMEM_MOVEABLE, 8)};
    HDC context = platform::GetDC(window);
    const auto draw = [&](int x, DWORD width, const void* bits) {
        EXPECT_EQ(platform::SetDIBitsToDevice(context, x, 0, width, 1, 0, 0, 0, 1, bits, &info, DIB_RGB_COLORS), 1);
    };
    draw(0, 2, rowIn(blocks[0], 0x10));
    draw(0, 2, rowIn(blocks[1], 0x20));  // the first is never converted
    EXPECT_EQ(window->pixels[0], winmodel::kUnpaintedPixel);
    std::uint32_t canvas[2] = {};
    ASSERT_TRUE(winmodel::CopyWaitingDraw(window, canvas, 0xFF000000u, true));
    EXPECT_EQ(canvas[0], 0xFF202122u);  // red, green, blue, alpha bytes
    platform::GlobalFree(blocks[1]);
    EXPECT_EQ(host::ClientPixel(window, 1, 0), 0x00232425u);
    const unsigned char stack[8] = {0x30, 0x31, 0x32, 0x33, 0x34, 0x35};
    draw(0, 2, stack);  // not a global block: written at once
    EXPECT_EQ(window->pixels[0], 0x00323130u);
    draw(0, 2, rowIn(blocks[0], 0x40));
    draw(1, 1, stack);  // a partial draw writes the waiting one first
    EXPECT_EQ(host::ClientPixel(window, 0, 0), 0x00404142u);
    EXPECT_EQ(host::ClientPixel(window, 1, 0), 0x00303132u);
    draw(0, 2, rowIn(blocks[0], 0x50));
    platform::ReleaseDC(window, context);
    platform::DestroyWindow(window);
    platform::GlobalFree(blocks[0]);
    EXPECT_EQ(host::ClientPixel(window, 0, 0), 0x00505152u);
    winmodel::drawingWaits = false;
}

// A waiting draw's rows go to the page as they are only when they are the
// window's pixels row for row: a bottom-up 24-bit DIB of the client area's
// size, drawn whole at its corner.
TEST_F(HostWindowTest, WaitingRowsAreOnlyThoseThatAreTheWindowsPixels) {
    winmodel::drawingWaits = true;
    const HWND window = Create(WS_OVERLAPPEDWINDOW, 2 + host::kFrameWidth, 2 + host::kFrameHeight);
    HGLOBAL block = platform::GlobalAlloc(GMEM_MOVEABLE, 64);
    const void* bits = platform::GlobalLock(block);
    HDC context = platform::GetDC(window);
    struct Case {
        LONG dibWidth, dibHeight;
        WORD bitCount;
        int x, sourceX;
        bool rows;
    };
    const Case cases[] = {
        {2, 2, 24, 0, 0, true},   {2, -2, 24, 0, 0, false},  // top-down
        {2, 2, 32, 0, 0, false},  {3, 2, 24, 0, 0, false},   // wider than the window, clipped
        {3, 2, 24, 0, 1, false},  {3, 2, 24, -1, 0, false},  // the window's columns from further in
    };
    for (const Case& c : cases) {
        BITMAPINFO info{};
        info.bmiHeader = BITMAPINFOHEADER{40, c.dibWidth, c.dibHeight, 1, c.bitCount, BI_RGB, 0, 0, 0, 0, 0};
        platform::SetDIBitsToDevice(context, c.x, 0, static_cast<DWORD>(c.dibWidth - c.sourceX), 2, c.sourceX, 0, 0,
                                    2, bits, &info, DIB_RGB_COLORS);
        const unsigned char* rows = nullptr;
        long long rowBytes = 0;
        EXPECT_EQ(winmodel::WaitingRows(window, &rows, &rowBytes), c.rows) << c.dibWidth << " " << c.dibHeight;
        EXPECT_EQ(rows, c.rows ? bits : nullptr);
        EXPECT_EQ(rowBytes, c.rows ? 8 : 0);
    }
    platform::ReleaseDC(window, context);
    platform::DestroyWindow(window);
    platform::GlobalFree(block);
    winmodel::drawingWaits = false;
}

// Every platform call, made by the program or by one part of the model to
// another, reaches the recorder the host programs are linked with: each
// leaves its name in the log, whatever the call then does.
TEST_F(HostWindowTest, EveryCallIsLoggedByName) {
    host::RecordCalls(true);
    platform::OpenFile(nullptr, OF_READ);
    platform::_lread(HFILE_ERROR, nullptr, 0);
    platform::_llseek(HFILE_ERROR, 0, FILE_BEGIN);
    platform::_lclose(HFILE_ERROR);
    HGLOBAL block = platform::GlobalAlloc(GMEM_MOVEABLE, 1);
    platform::GlobalLock(block);
    platform::GlobalUnlock(block);
    platform::GlobalFree(block);
    platform::free(platform::malloc(1));
    platform::CreateDIBitmap(nullptr, nullptr, 0, nullptr, nullptr, DIB_RGB_COLORS);
    platform::DeleteObject(platform::CreateSolidBrush(0));
    platform::SetDIBitsToDevice(nullptr, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, DIB_RGB_COLORS);
    WNDCLASSA none{};
    platform::RegisterClassA(&none);
    const HWND window = Create(WS_POPUP);  // WM_CREATE reaches the procedure, which passes it on
    platform::LoadCursorA(nullptr, IDC_ARROW);
    platform::GetSystemMetrics(SM_CXFULLSCREEN);
    RECT rect;
    platform::GetClientRect(window, &rect);
    platform::GetWindowRect(window, &rect);
    platform::MoveWindow(window, 1, 2, 3, 4, FALSE);  // WM_SIZE, likewise
    platform::SetWindowTextA(window, "x");  // WM_SETTEXT, likewise
    MSG message{};
    platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
    platform::TranslateMessage(&message);
    platform::DispatchMessageA(nullptr);
    PAINTSTRUCT paint;
    platform::EndPaint(window, &paint);
    platform::ValidateRect(window, nullptr);
    platform::BeginPaint(window, &paint);
    platform::EndPaint(window, &paint);
    platform::ReleaseDC(window, platform::GetDC(window));
    platform::DestroyWindow(window);  // WM_DESTROY posts the quit, then is passed on
    platform::WaitMessage();
    platform::GetOpenFileNameA(nullptr);
    platform::MessageBoxA(nullptr, "", "", MB_OK);
    HDC memory = platform::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    platform::SelectObject(memory, platform::CreateDIBSection(memory, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0));
    platform::BitBlt(memory, 5, 6, 7, 8, nullptr, 9, 10, SRCCOPY);
    platform::DeleteDC(memory);
    platform::FindWindowA("probe", nullptr);
    platform::GetDesktopWindow();
    platform::ShowCursor(TRUE);
    platform::Sleep(0);
    platform::GetEnvironmentVariableA("HOME", nullptr, 0);
    platform::SizeofResource(nullptr, platform::FindResourceA(nullptr, "ANY", RT_RCDATA));
    platform::LockResource(platform::LoadResource(nullptr, nullptr));
    HKEY key = nullptr;
    platform::RegCreateKeyExA(nullptr, nullptr, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    platform::RegOpenKeyExA(nullptr, nullptr, 0, 0, &key);
    platform::RegQueryValueExA(nullptr, "", nullptr, nullptr, nullptr, nullptr);
    platform::RegSetValueExA(nullptr, "", 0, 0, nullptr, 0);
    platform::RegCloseKey(nullptr);
    platform::DialogBoxIndirectParamA(nullptr, nullptr, nullptr, nullptr, 0);
    platform::EndDialog(nullptr, 3);
    platform::CheckRadioButton(nullptr, 1, 2, 1);
    platform::IsDlgButtonChecked(nullptr, 4);
    platform::SetDlgItemTextA(nullptr, 5, "");
    platform::PostQuitMessage(0);
    EXPECT_EQ(host::CallLog(),
              (std::vector<std::string>{
                  "OpenFile", "_lread 0", "_llseek 0", "_lclose", "GlobalAlloc 1", "GlobalLock", "GlobalUnlock",
                  "GlobalFree", "malloc 1", "free", "CreateDIBitmap", "CreateSolidBrush", "DeleteObject",
                  "SetDIBitsToDevice", "RegisterClassA", "CreateWindowExA", "Message 0x0001", "DefWindowProcA 0x0001",
                  "LoadCursorA", "GetSystemMetrics 16", "GetClientRect", "GetWindowRect", "MoveWindow 1 2 3 4 0",
                  "Message 0x0005", "DefWindowProcA 0x0005", "SetWindowTextA", "Message 0x000C",
                  "DefWindowProcA 0x000C", "PeekMessageA", "TranslateMessage", "DispatchMessageA", "EndPaint",
                  "ValidateRect", "BeginPaint", "EndPaint", "GetDC", "ReleaseDC", "DestroyWindow", "Message 0x0002",
                  "PostQuitMessage 7", "DefWindowProcA 0x0002", "WaitMessage", "GetOpenFileNameA", "MessageBoxA",
                  "CreateCompatibleDC", "CreateDIBSection", "SelectObject", "BitBlt 5 6 7 8 9 10", "DeleteDC",
                  "FindWindowA", "GetDesktopWindow", "ShowCursor 1", "Sleep 0", "GetEnvironmentVariableA",
                  "FindResourceA", "SizeofResource", "LoadResource", "LockResource", "RegCreateKeyExA",
                  "RegOpenKeyExA", "RegQueryValueExA", "RegSetValueExA", "RegCloseKey", "DialogBoxIndirectParamA",
                  "EndDialog 3", "CheckRadioButton 1 2 1", "IsDlgButtonChecked 4", "SetDlgItemTextA 5",
                  "PostQuitMessage 0"}));
}

}  // namespace
