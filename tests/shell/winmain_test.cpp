// Start-up, the message loop and the idle pass.
#include <cstring>
#include <ctime>

#include "picture/bitmap_loader.h"
#include "picture/diffusion.h"
#include "picture/random_source.h"
#include "shell/winmain.h"
#include "shell/window_proc.h"
#include "shell_fixture.h"

namespace {

HINSTANCE TestInstance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000)); }

int RunProgram() { return WinMain(TestInstance(), nullptr, nullptr, 1); }

RECT WindowRect() {
    RECT rect{};
    EXPECT_TRUE(platform::GetWindowRect(appState.mainWindow, &rect));
    return rect;
}

using StartUpTest = ShellTest;

TEST_F(StartUpTest, RegistersTheClassAndCreatesTheWindowInOrder) {
    WriteDefaultPicture(7, 5);
    host::RecordCalls(true);
    appState.instance = TestInstance();
    const std::uint32_t before = static_cast<std::uint32_t>(std::time(nullptr));
    ASSERT_TRUE(InitApplication());
    const std::uint32_t after = static_cast<std::uint32_t>(std::time(nullptr));

    // The class: byte-aligned, the window procedure, the arrow, white.
    WNDCLASSA star;
    ASSERT_TRUE(winmodel::FindClass("Star", &star));
    EXPECT_EQ(star.style, 0x2000u);
    EXPECT_EQ(star.lpfnWndProc, &WndProc);
    EXPECT_EQ(star.cbClsExtra, 0);
    EXPECT_EQ(star.cbWndExtra, 0);
    EXPECT_EQ(star.hInstance, TestInstance());
    EXPECT_EQ(star.hIcon, nullptr);
    EXPECT_EQ(star.hCursor, platform::LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_NE(star.hCursor, nullptr);
    COLORREF background = 0;
    ASSERT_TRUE(winmodel::BrushColour(star.hbrBackground, &background));
    EXPECT_EQ(background, 0x00FFFFFFu);
    EXPECT_EQ(star.lpszMenuName, nullptr);

    // The window, as created.
    const host::WindowCreation created = host::CreationOf(appState.mainWindow);
    EXPECT_EQ(created.extendedStyle, 0u);
    EXPECT_EQ(created.className, "Star");
    EXPECT_EQ(created.caption, "MOTTLER");
    EXPECT_EQ(created.style, 0x10CF0000u);
    EXPECT_EQ(created.width, 640);
    EXPECT_EQ(created.height, 480);
    EXPECT_EQ(created.parent, nullptr);
    EXPECT_EQ(created.menu, nullptr);
    EXPECT_EQ(created.instance, TestInstance());
    EXPECT_EQ(created.creationData, nullptr);

    // The order: class, metrics, window (WM_CREATE while it is made), the
    // frame measured before the first load resizes the window.
    EXPECT_TRUE(Before("RegisterClassA", "GetSystemMetrics 16"));
    EXPECT_TRUE(Before("GetSystemMetrics 16", "GetSystemMetrics 17"));
    EXPECT_TRUE(Before("GetSystemMetrics 17", "CreateWindowExA"));
    EXPECT_TRUE(Before("CreateWindowExA", "Message 0x0001"));
    EXPECT_TRUE(Before("Message 0x0001", "GetClientRect"));
    EXPECT_TRUE(Before("GetClientRect", "OpenFile"));
    EXPECT_EQ(appState.frameExtraX, host::kFrameWidth);
    EXPECT_EQ(appState.frameExtraY, host::kFrameHeight);

    // The random source was seeded with the calendar time.
    bool seeded = false;
    for (std::uint32_t seconds = before; seconds <= after && !seeded; ++seconds) {
        const std::uint64_t state = ReadRandomState();
        SeedRandom(seconds);
        seeded = ReadRandomState() == state;
        WriteRandomState(state);
    }
    EXPECT_TRUE(seeded);
}

TEST_F(StartUpTest, CentresTheWindowOnTheFullScreenClientArea) {
    struct Case {
        int cx, cy, x, y;
    };
    // Halves are truncated toward zero; a screen narrower than 640 puts the
    // window partly off the left.
    const Case cases[] = {{1024, 737, 192, 128}, {1920, 1050, 640, 285}, {641, 481, 0, 0},
                          {639, 479, -1, -1},     {600, 400, -20, -40},  {1, 1, -320, -240}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.cx) + " x " + std::to_string(c.cy));
        if (appState.mainWindow != nullptr) {
            platform::DestroyWindow(appState.mainWindow);
        }
        appState = AppState{};
        host::ResetWindowing();
        host::SetSystemMetric(SM_CXFULLSCREEN, c.cx);
        host::SetSystemMetric(SM_CYFULLSCREEN, c.cy);
        ASSERT_TRUE(InitApplication());  // no mottle.bmp: the window keeps its size
        const host::WindowCreation created = host::CreationOf(appState.mainWindow);
        EXPECT_EQ(created.x, c.x);
        EXPECT_EQ(created.y, c.y);
        const RECT rect = WindowRect();
        EXPECT_EQ(rect.left, c.x);
        EXPECT_EQ(rect.top, c.y);
        EXPECT_EQ(rect.right - rect.left, 640);
        EXPECT_EQ(rect.bottom - rect.top, 480);
    }
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(StartUpTest, DefaultPictureIsShownInAFittedWindow) {
    WriteDefaultPicture(7, 5);
    ASSERT_TRUE(InitApplication());
    ASSERT_EQ(appState.pictureReady, 1);
    EXPECT_STREQ(appState.currentFile, "mottle.bmp");
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), "mottle.bmp");
    const RECT rect = WindowRect();
    EXPECT_EQ(rect.left, 192);
    EXPECT_EQ(rect.top, 128);
    EXPECT_EQ(rect.right - rect.left, 7 + appState.frameExtraX);
    EXPECT_EQ(rect.bottom - rect.top, 5 + appState.frameExtraY);
    EXPECT_TRUE(ClientShowsPicture());
    EXPECT_TRUE(host::MessageBoxCalls().empty());
    EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(StartUpTest, MissingDefaultPictureShowsTheMessageOnceAndKeepsTheWindow) {
    ASSERT_TRUE(InitApplication());
    EXPECT_EQ(appState.pictureReady, 0);
    ASSERT_EQ(host::MessageBoxCalls().size(), 1u);
    EXPECT_EQ(host::MessageBoxCalls()[0].owner, appState.mainWindow);
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), "MOTTLER");
    const RECT rect = WindowRect();
    EXPECT_EQ(rect.right - rect.left, 640);
    EXPECT_EQ(rect.bottom - rect.top, 480);
    // The white background shows once the window is painted.
    Pump();
    EXPECT_EQ(host::ClientPixel(appState.mainWindow, 0, 0), 0x00FFFFFFu);
    EXPECT_EQ(host::ClientPixel(appState.mainWindow, 631, 448), 0x00FFFFFFu);
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(StartUpTest, PreviousInstanceEndsAtOnce) {
    EXPECT_EQ(WinMain(TestInstance(), TestInstance(), nullptr, 1), 0);
    EXPECT_EQ(appState.instance, TestInstance());
    WNDCLASSA star;
    EXPECT_FALSE(winmodel::FindClass("Star", &star));
    EXPECT_TRUE(host::AllWindows().empty());
}

TEST_F(StartUpTest, FailedRegistrationOrCreationEndsTheProgram) {
    WriteDefaultPicture(7, 5);
    host::FailAfter(host::Fault::RegisterClass, 0);
    EXPECT_EQ(RunProgram(), 1);
    EXPECT_TRUE(host::AllWindows().empty());
    EXPECT_EQ(host::CurrentCounts().brushes, 0);  // the brush no class took
    EXPECT_EQ(host::CurrentLoopStats().peeks, 0);

    host::ClearFaults();
    host::ResetWindowing();
    host::RecordCalls(true);
    host::FailAfter(host::Fault::CreateWindow, 0);
    EXPECT_EQ(RunProgram(), 1);
    EXPECT_EQ(CountCalls("OpenFile"), 0);
    EXPECT_TRUE(host::MessageBoxCalls().empty());
    EXPECT_EQ(appState.mainWindow, nullptr);
}

using LoopTest = ShellTest;

TEST_F(LoopTest, ClosingWithAPictureReturnsZeroWithEverythingReleased) {
    WriteDefaultPicture(7, 5);
    host::ScheduleInput(host::InputKind::Close, 0, 0, 3);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(appState.pictureReady, 0);
    EXPECT_FALSE(winmodel::IsLive(appState.mainWindow));
    EXPECT_EQ(host::CurrentLoopStats().sessionEnds, 0);
    host::LiveCounts expected;
    expected.brushes = 1;  // the class keeps its brush for the life of the process
    EXPECT_TRUE(host::CurrentCounts() == expected);
}

TEST_F(LoopTest, ClosingWithoutAPictureReturnsZero) {
    host::ScheduleInput(host::InputKind::Close);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(host::MessageBoxCalls().size(), 1u);
    EXPECT_FALSE(winmodel::IsLive(appState.mainWindow));
    EXPECT_EQ(host::CurrentLoopStats().sessionEnds, 0);
    host::LiveCounts expected;
    expected.brushes = 1;
    EXPECT_TRUE(host::CurrentCounts() == expected);
}

TEST_F(LoopTest, StepsAndDrawsOncePerEmptyPollWhileAPictureIsHeld) {
    WriteDefaultPicture(7, 5);
    host::RecordCalls(true);
    host::ScheduleInput(host::InputKind::Close, 0, 0, 5);
    EXPECT_EQ(RunProgram(), 0);
    const host::LoopStats stats = host::CurrentLoopStats();
    EXPECT_EQ(stats.emptyPolls, 5);
    EXPECT_EQ(stats.waits, 0);
    // One context for the first load, one for each idle pass.
    EXPECT_EQ(CountCalls("GetDC"), 1 + 5);
    EXPECT_EQ(CountCalls("ReleaseDC"), 1 + 5);
}

TEST_F(LoopTest, WaitsInsteadOfPollingWhileNoPictureIsHeld) {
    host::RecordCalls(true);
    // Were the loop to poll, the close would come only after 1000 empty polls.
    host::ScheduleInput(host::InputKind::Close, 0, 0, 1000);
    EXPECT_EQ(RunProgram(), 0);
    const host::LoopStats stats = host::CurrentLoopStats();
    EXPECT_GE(stats.waits, 1);
    EXPECT_LE(stats.emptyPolls, 2);
    EXPECT_EQ(CountCalls("SetDIBitsToDevice"), 0);
    EXPECT_EQ(CountCalls("GetDC"), 1);  // the failed first load only
}

TEST_F(LoopTest, AClickAfterAFailedStartLoadsAPictureThatThenAnimates) {
    const std::string path = WriteFile("later.bmp", BitmapFile(6, 4));
    host::AnswerOpenDialog(path);
    host::ScheduleInput(host::InputKind::LeftClick, 10, 10);
    host::ScheduleInput(host::InputKind::Close, 0, 0, 4);
    host::RecordCalls(true);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(host::MessageBoxCalls().size(), 1u);  // the start-up's only
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), path);
    EXPECT_EQ(host::CurrentLoopStats().emptyPolls, 4);
    EXPECT_EQ(CountCalls("MoveWindow 192 128 14 35 1"), 1);
    EXPECT_EQ(CountCalls("GetDC"), 2 + 4);  // two loads, four idle passes
}

TEST_F(LoopTest, RightClicksKeysAndMouseMovesChangeNothing) {
    WriteDefaultPicture(7, 5);
    host::ScheduleInput(host::InputKind::RightClick, 3, 3);
    host::ScheduleInput(host::InputKind::KeyPress, 'A');
    host::ScheduleInput(host::InputKind::KeyPress, 0x1B);  // Escape
    host::ScheduleInput(host::InputKind::MouseMove, 4, 2);
    host::ScheduleInput(host::InputKind::Close, 0, 0, 2);
    host::RecordCalls(true);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_TRUE(host::OpenDialogCalls().empty());
    EXPECT_TRUE(host::MessageBoxCalls().empty());
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), "mottle.bmp");
    EXPECT_EQ(CountCalls("OpenFile"), 1);
    EXPECT_EQ(CountCalls("MoveWindow 192 128 15 36 1"), 1);
}

TEST_F(LoopTest, IdlePassStepsOnceAndDrawsTheResult) {
    WriteDefaultPicture(9, 7);
    ASSERT_TRUE(InitApplication());
    Pump();

    // The same file stepped once from the same random state.
    HDC screen = platform::GetDC(nullptr);
    Picture reference;
    ASSERT_TRUE(LoadPicture(screen, "mottle.bmp", &reference));
    platform::ReleaseDC(nullptr, screen);
    SeedRandom(12345);
    StepPicture(&reference);
    SeedRandom(12345);

    RunIdlePass();
    EXPECT_EQ(ReadRandomState(), [] {
        SeedRandom(12345);
        for (int i = 0; i < 7 * 5; ++i) {
            NextRandom();
        }
        return ReadRandomState();
    }());
    EXPECT_EQ(std::memcmp(appState.currentPicture.bits, reference.bits, reference.dataSize), 0);
    EXPECT_TRUE(ClientShowsPicture());
    EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
    ReleasePicture(&reference);
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(LoopTest, IdlePassWithoutAPictureDoesNothing) {
    ASSERT_TRUE(InitApplication());
    Pump();
    SeedRandom(7);
    const std::uint64_t state = ReadRandomState();
    host::RecordCalls(true);
    RunIdlePass();
    EXPECT_TRUE(host::CallLog().empty());
    EXPECT_EQ(ReadRandomState(), state);
    platform::DestroyWindow(appState.mainWindow);
}

}  // namespace
