// mottler.scr as Windows starts it: full screen, in a preview window, and
// its settings, from WinMain to the status it ends with.
#include <string>

#include "saver/settings_dialog.h"
#include "saver_fixture.h"

namespace {

int RunScr(const std::string& commandLine) {
    std::string line = commandLine;
    return WinMain(TestInstance(), nullptr, line.data(), 1);
}

std::string NumberOf(HWND window) { return std::to_string(reinterpret_cast<std::uintptr_t>(window)); }

// The host ended the run itself: no input the saver was given ended it.
bool EndedByHost() { return host::CurrentLoopStats().sessionEnds > 0; }

using FullScreenTest = SaverTest;

// The screen is read before the window covers it; the window is topmost over
// the whole virtual screen, with the pointer hidden while it runs.
TEST_F(FullScreenTest, CoversTheVirtualScreenOnTopWithoutThePointer) {
    SetScreen(-16, 8, 48, 24);
    host::RecordCalls(true);
    host::ScheduleInput(host::InputKind::KeyPress, 0x20, 0, 5);
    EXPECT_EQ(RunScr("/s"), 0);
    const HWND window = LastWindowOf(kFullScreenClass);
    ASSERT_NE(window, nullptr);
    const host::WindowCreation created = host::CreationOf(window);
    EXPECT_EQ(created.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(created.extendedStyle, static_cast<DWORD>(WS_EX_TOPMOST));
    EXPECT_EQ(created.x, -16);
    EXPECT_EQ(created.y, 8);
    EXPECT_EQ(created.width, 48);
    EXPECT_EQ(created.height, 24);
    EXPECT_FALSE(winmodel::IsLive(window));

    const auto& log = host::CallLog();
    const auto hidden = std::find(log.begin(), log.end(), "ShowCursor 0");
    const auto shown = std::find(log.begin(), log.end(), "ShowCursor 1");
    const auto made = std::find(log.begin(), log.end(), "CreateWindowExA");
    const auto captured = std::find_if(log.begin(), log.end(), [](const std::string& c) { return c.rfind("BitBlt", 0) == 0; });
    ASSERT_NE(hidden, log.end());
    ASSERT_NE(shown, log.end());
    EXPECT_LT(captured, made);
    EXPECT_LT(made, hidden);
    EXPECT_LT(hidden, shown);
    EXPECT_TRUE(host::CursorShown());  // shown again at the end
}

// The captured screen dissolves: the window shows it with inner pixels
// changed and the border ring as it was.
TEST_F(FullScreenTest, DissolvesTheCapturedScreen) {
    SetScreen(0, 0, 32, 20, 3);
    host::ScheduleInput(host::InputKind::KeyPress, 0x20, 0, 40);
    EXPECT_EQ(RunScr("/s"), 0);
    const HWND window = LastWindowOf(kFullScreenClass);
    int changed = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool ring = x == 0 || y == 0 || x == 31 || y == 19;
            const std::uint32_t shown = ShownPixel(window, x, y);
            if (ring) {
                EXPECT_EQ(shown, TestPixel(x, y, 3)) << x << "," << y;
            } else {
                changed += shown != TestPixel(x, y, 3) ? 1 : 0;
            }
        }
    }
    EXPECT_GT(changed, 30 * 18 / 2);  // after 40 generations most inner pixels took a neighbour's colour
}

TEST_F(FullScreenTest, SmallMovesDoNotEndItLargeOnesDo) {
    struct Case {
        int x1, y1, x2, y2;
        bool ends;
    };
    // The first move only records where the pointer stands, however far
    // from anything: alone (x2 < 0) it ends nothing.
    const Case cases[] = {{10, 10, 12, 12, false}, {10, 10, 14, 6, false}, {10, 10, 15, 10, true},
                          {10, 10, 10, 5, true},   {500, 300, -1, -1, false}, {500, 300, 494, 300, true}};
    for (const Case& c : cases) {
        host::ResetWindowing();
        SetScreen(0, 0, 16, 12);
        host::ScheduleInput(host::InputKind::MouseMove, c.x1, c.y1, 2);
        if (c.x2 >= 0) {
            host::ScheduleInput(host::InputKind::MouseMove, c.x2, c.y2, 2);
        }
        EXPECT_EQ(RunScr("/s"), 0);
        EXPECT_EQ(EndedByHost(), !c.ends) << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
    }
}

TEST_F(FullScreenTest, KeysAndButtonsEndIt) {
    for (host::InputKind kind : {host::InputKind::KeyPress, host::InputKind::SystemKeyPress, host::InputKind::LeftClick,
                                 host::InputKind::RightClick, host::InputKind::MiddleClick}) {
        host::ResetWindowing();
        SetScreen(0, 0, 16, 12);
        host::ScheduleInput(kind, 5, 5, 3);
        EXPECT_EQ(RunScr("/s"), 0);
        EXPECT_FALSE(EndedByHost()) << static_cast<int>(kind);
    }
}

// A running full-screen saver keeps a second from starting, but not a
// preview, whose windows are of another class.
TEST_F(FullScreenTest, OneSaverAtATimePreviewsBeside) {
    SetScreen(0, 0, 16, 12);
    WNDCLASSA other{};
    other.lpfnWndProc = platform::DefWindowProcA;
    other.lpszClassName = kFullScreenClass;
    ASSERT_NE(platform::RegisterClassA(&other), 0);
    HWND running = platform::CreateWindowExA(0, kFullScreenClass, "", WS_POPUP, 0, 0, 16, 12, nullptr, nullptr,
                                             nullptr, nullptr);
    ASSERT_NE(running, nullptr);
    host::RecordCalls(true);
    EXPECT_EQ(RunScr("/s"), 0);
    EXPECT_EQ(std::count(host::CallLog().begin(), host::CallLog().end(), "CreateWindowExA"), 0);

    const HWND parent = host::CreateForeignWindow(20, 10);
    host::DestroyForeignWindowAfter(parent, 5, true);
    EXPECT_EQ(RunScr("/p " + NumberOf(parent)), 0);
    EXPECT_NE(LastWindowOf(kWindowClass), nullptr);
    platform::DestroyWindow(running);
}

TEST_F(FullScreenTest, WithoutAnyPictureItEndsAsAFailure) {
    EXPECT_EQ(RunScr("/s"), 1);  // no screen, no resource, no mottle.bmp
    EXPECT_TRUE(host::AllWindows().empty());
}

TEST_F(FullScreenTest, BadArgumentsEndWithStatusOneAndNoWindow) {
    SetScreen(0, 0, 16, 12);
    for (const char* bad : {"/x", "/s /s", "/p", "/p nine", "/p 4294967296", "/c:x"}) {
        EXPECT_EQ(RunScr(bad), 1) << bad;
    }
    // A window number that names no window.
    EXPECT_EQ(RunScr("/p 12345"), 1);
    EXPECT_EQ(RunScr("/c 12345"), 1);
    EXPECT_TRUE(host::AllWindows().empty());
}

using PreviewTest = SaverTest;

TEST_F(PreviewTest, FillsTheParentsClientAreaAndDissolves) {
    SetScreen(0, 0, 64, 48, 2);
    const HWND parent = host::CreateForeignWindow(32, 24);
    host::ScheduleInput(host::InputKind::KeyPress, 0x20, 0, 30);  // keys end nothing here
    host::ScheduleInput(host::InputKind::LeftClick, 3, 3, 2);
    host::DestroyForeignWindowAfter(parent, 60, true);
    EXPECT_EQ(RunScr("/p " + NumberOf(parent)), 0);
    EXPECT_FALSE(EndedByHost());
    const HWND child = LastWindowOf(kWindowClass);
    ASSERT_NE(child, nullptr);
    const host::WindowCreation created = host::CreationOf(child);
    EXPECT_EQ(created.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(created.parent, parent);
    EXPECT_EQ(created.x, 0);
    EXPECT_EQ(created.width, 32);
    EXPECT_EQ(created.height, 24);
    // The 64 x 48 screen at half size: the ring of the fitted screen stays.
    EXPECT_EQ(ShownPixel(child, 0, 0), TestPixel(1, 1, 2));
    EXPECT_EQ(ShownPixel(child, 31, 23), TestPixel(63, 47, 2));
    int changed = 0;
    for (int y = 1; y < 23; ++y) {
        for (int x = 1; x < 31; ++x) {
            changed += ShownPixel(child, x, y) != TestPixel(2 * x + 1, 2 * y + 1, 2) ? 1 : 0;
        }
    }
    EXPECT_GT(changed, 30 * 22 / 2);
    EXPECT_TRUE(host::CursorShown());
}

TEST_F(PreviewTest, EndsWhenTheParentGoesWithoutTellingIt) {
    SetScreen(0, 0, 16, 12);
    const HWND parent = host::CreateForeignWindow(20, 10);
    host::DestroyForeignWindowAfter(parent, 10, false);
    EXPECT_EQ(RunScr("/p:" + NumberOf(parent)), 0);
    EXPECT_FALSE(EndedByHost());
    EXPECT_FALSE(winmodel::IsLive(LastWindowOf(kWindowClass)));
}

// Many runs one after another give back all they took each time.
TEST_F(FullScreenTest, RunsLeaveNothingTaken) {
    for (int run = 0; run < 12; ++run) {
        host::ResetWindowing();
        SetScreen(0, 0, 24, 16, run);
        if (run % 3 == 2) {
            host::SetScreenImage(24, 16, std::vector<std::uint32_t>(24 * 16, 0));  // blank: the bundled picture
            winmodel::RegisterResource("MOTTLE", RT_RCDATA, BitmapBytes(8, 8, run));
        }
        host::ScheduleInput(host::InputKind::KeyPress, 0x20, 0, 20);
        const HWND preview = host::CreateForeignWindow(20, 10);
        host::DestroyForeignWindowAfter(preview, 20, run % 2 == 0);
        EXPECT_EQ(RunScr(run % 2 == 0 ? "/s" : "/p " + NumberOf(preview)), 0);
        EXPECT_TRUE(host::CurrentCounts() == host::LiveCounts{}) << "run " << run;
    }
}

}  // namespace
