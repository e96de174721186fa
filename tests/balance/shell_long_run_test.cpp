// Long runs of the shell on the host: thousands of idle passes and hundreds
// of click-and-load cycles, with confirmed, cancelled and refused picks,
// leave the live blocks, bitmaps, drawing contexts, files and windows where
// they started.
#include <cstdint>
#include <string>
#include <vector>

#include "picture/bitmap_loader.h"
#include "shell/winmain.h"
#include "shell_fixture.h"

namespace {

constexpr int kCycles = 300;
constexpr int kIdlePassesPerCycle = 20;

// What a picked path does when loaded.
struct Pick {
    bool cancel;       // the dialog is cancelled: currentFile stays
    std::string path;  // else the path confirmed
};

// The picks of one run, in turn: two good files, a cancel, an 8-bit file, a
// file that is not a bitmap, a missing file, and a cancel after a refusal
// (which tries the refused file again).
std::vector<Pick> PickCycle(const std::string& good, const std::string& other,
                            const std::string& eightBit, const std::string& text,
                            const std::string& missing) {
    return {{false, good}, {false, other}, {true, ""},  {false, eightBit}, {true, ""},
            {false, good}, {false, text},  {false, missing}, {true, ""}, {false, other}};
}

class ShellLongRun : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        WriteDefaultPicture(24, 16);
        good_ = WriteFile("good.bmp", BitmapFile(40, 30));
        other_ = WriteFile("other.bmp", BitmapFile(13, 7));
        eightBit_ = WriteFile("eight.bmp", BitmapFile(8, 8, 8));
        text_ = WriteFile("text.bmp", std::vector<unsigned char>{'n', 'o', 't', ' ', 'B', 'M'});
        missing_ = folder_ + "/missing.bmp";
        picks_ = PickCycle(good_, other_, eightBit_, text_, missing_);
    }

    // Queues the dialog's answer for cycle `cycle` and returns whether the
    // load that follows succeeds, given the file current before it.
    bool QueuePick(int cycle, std::string* current) {
        const Pick& pick = picks_[static_cast<std::size_t>(cycle) % picks_.size()];
        if (pick.cancel) {
            host::CancelOpenDialog();
        } else {
            host::AnswerOpenDialog(pick.path);
            *current = pick.path;
        }
        return *current == "mottle.bmp" || *current == good_ || *current == other_;
    }

    std::string good_, other_, eightBit_, text_, missing_;
    std::vector<Pick> picks_;
};

// What the platform holds while the window is open and a picture is shown.
host::LiveCounts WhileShowing() {
    host::LiveCounts counts;
    counts.windows = 1;
    counts.brushes = 1;  // the class's background brush
    counts.heapBlocks = 1;
    counts.globalBlocks = 2;
    counts.lockedBlocks = 2;
    counts.bitmaps = 1;
    return counts;
}

// Drives the loop by hand, as WinMain's does, to look at the counts between
// cycles: after every click and every run of idle passes they are exactly
// one picture's worth, whatever happened to the pick.
TEST_F(ShellLongRun, CountsStayPutAcrossClicksAndIdlePasses) {
    ASSERT_TRUE(InitApplication());
    ASSERT_EQ(appState.pictureReady, 1);
    ASSERT_TRUE(host::CurrentCounts() == WhileShowing());

    std::string current = "mottle.bmp";
    int refusals = 0;
    int idlePasses = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        refusals += QueuePick(cycle, &current) ? 0 : 1;
        host::ScheduleInput(host::InputKind::LeftClick, 3, 4);
        int passes = 0;
        MSG message;
        while (passes < kIdlePassesPerCycle) {
            if (platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                ASSERT_NE(message.message, static_cast<UINT>(WM_QUIT));
                platform::TranslateMessage(&message);
                platform::DispatchMessageA(&message);
            } else {
                RunIdlePass();
                ++passes;
            }
        }
        idlePasses += passes;
        ASSERT_EQ(host::OpenDialogCalls().size(), static_cast<std::size_t>(cycle + 1));
        ASSERT_TRUE(host::CurrentCounts() == WhileShowing()) << "after cycle " << cycle;
    }
    EXPECT_EQ(host::MessageBoxCalls().size(), static_cast<std::size_t>(refusals));
    EXPECT_GT(refusals, kCycles / 4);
    EXPECT_GE(idlePasses, kCycles * kIdlePassesPerCycle);

    platform::DestroyWindow(appState.mainWindow);
    host::LiveCounts closed;
    closed.brushes = 1;
    EXPECT_TRUE(host::CurrentCounts() == closed);
}

// The whole program through WinMain: the same cycles as the user would give
// them, then the window is closed. Only the class's brush is left.
TEST_F(ShellLongRun, WinMainThroughHundredsOfPicksEndsWithNothingHeld) {
    std::string current = "mottle.bmp";
    int refusals = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        refusals += QueuePick(cycle, &current) ? 0 : 1;
        host::ScheduleInput(host::InputKind::LeftClick, 3, 4, kIdlePassesPerCycle);
    }
    host::ScheduleInput(host::InputKind::Close, 0, 0, kIdlePassesPerCycle);

    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000));
    EXPECT_EQ(WinMain(instance, nullptr, nullptr, 1), 0);

    const host::LoopStats stats = host::CurrentLoopStats();
    EXPECT_EQ(stats.sessionEnds, 0) << "the loop did not end on the scheduled close";
    EXPECT_EQ(stats.emptyPolls, (kCycles + 1) * kIdlePassesPerCycle);
    EXPECT_EQ(host::OpenDialogCalls().size(), static_cast<std::size_t>(kCycles));
    EXPECT_EQ(host::MessageBoxCalls().size(), static_cast<std::size_t>(refusals));
    EXPECT_EQ(appState.pictureReady, 0);
    host::LiveCounts closed;
    closed.brushes = 1;
    EXPECT_TRUE(host::CurrentCounts() == closed);
}

}  // namespace
