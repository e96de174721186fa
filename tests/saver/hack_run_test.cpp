// mottlescreen as XScreenSaver starts it: the window it draws in, its
// picture, its pause, and the status it ends with.
#include <cstdlib>
#include <string>

#include "saver_fixture.h"

namespace {

int RunHack(const std::string& commandLine) {
    std::string line = commandLine;
    return WinMain(TestInstance(), nullptr, line.data(), 1);
}

std::string NumberOf(HWND window) { return std::to_string(reinterpret_cast<std::uintptr_t>(window)); }

class HackTest : public SaverTest {
protected:
    void SetUp() override {
        SaverTest::SetUp();
        unsetenv("XSCREENSAVER_WINDOW");
    }
    void TearDown() override {
        unsetenv("XSCREENSAVER_WINDOW");
        SaverTest::TearDown();
    }
};

TEST_F(HackTest, DrawsInTheWindowItIsGiven) {
    SetScreen(0, 0, 30, 20, 1);
    const HWND given = host::CreateForeignWindow(30, 20);
    const std::string hex = "0x" + [&] {
        char text[20];
        std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(given)));
        return std::string(text);
    }();
    for (const std::string& line : {"--window-id " + NumberOf(given), "-window-id " + hex}) {
        host::ResetWindowing();
        SetScreen(0, 0, 30, 20, 1);
        const HWND parent = host::CreateForeignWindow(30, 20);
        ASSERT_EQ(parent, given);  // a fresh process numbers its windows alike
        host::ScheduleInput(host::InputKind::KeyPress, 0x20, 0, 5);  // ends nothing
        host::DestroyForeignWindowAfter(parent, 20, true);
        EXPECT_EQ(RunHack(line), 0) << line;
        EXPECT_EQ(host::CurrentLoopStats().sessionEnds, 0);
        const HWND child = LastWindowOf(kWindowClass);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(host::CreationOf(child).parent, parent);
        EXPECT_EQ(host::CreationOf(child).style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(ShownPixel(child, 0, 0), TestPixel(0, 0, 1));
    }
}

TEST_F(HackTest, TheEnvironmentNamesTheWindowWhenNoOptionDoes) {
    SetScreen(0, 0, 30, 20);
    const HWND parent = host::CreateForeignWindow(12, 8);
    setenv("XSCREENSAVER_WINDOW", NumberOf(parent).c_str(), 1);
    host::DestroyForeignWindowAfter(parent, 10, false);
    EXPECT_EQ(RunHack(""), 0);
    EXPECT_EQ(host::CreationOf(LastWindowOf(kWindowClass)).parent, parent);
    EXPECT_EQ(host::CreationOf(LastWindowOf(kWindowClass)).width, 12);

    setenv("XSCREENSAVER_WINDOW", "0x7q", 1);
    EXPECT_EQ(RunHack(""), 2);
    setenv("XSCREENSAVER_WINDOW", "123456789012345678901234567890123456789", 1);
    EXPECT_EQ(RunHack(""), 2);
    setenv("XSCREENSAVER_WINDOW", "0x5", 1);
    EXPECT_EQ(RunHack(""), 1);  // names no window
}

TEST_F(HackTest, TheRootWindow) {
    SetScreen(0, 0, 40, 30);
    host::RecordCalls(true);
    // Nothing ends it but the host, through its window.
    EXPECT_EQ(RunHack("-root"), 0);
    const HWND child = LastWindowOf(kWindowClass);
    EXPECT_EQ(host::CreationOf(child).parent, host::DesktopHandle());
    EXPECT_EQ(host::CreationOf(child).width, 40);
    EXPECT_EQ(host::CreationOf(child).height, 30);
}

TEST_F(HackTest, AWindowOfItsOwnWhenNoneIsGiven) {
    SetScreen(0, 0, 40, 30);
    EXPECT_EQ(RunHack(""), 0);
    const HWND own = LastWindowOf(kWindowClass);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(host::CaptionOf(own), "mottlescreen");
    EXPECT_EQ(host::CreationOf(own).style, static_cast<DWORD>(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    EXPECT_EQ(host::CreationOf(own).parent, nullptr);
    EXPECT_EQ(host::CurrentLoopStats().sessionEnds, 1);  // closed like any window
    EXPECT_TRUE(host::CursorShown());
}

TEST_F(HackTest, APictureInsteadOfTheScreenAndThePause) {
    SetScreen(0, 0, 30, 20, 1);
    const std::string picture = WriteFile("a picture.bmp", BitmapBytes(30, 20, 6));
    const HWND parent = host::CreateForeignWindow(30, 20);
    host::DestroyForeignWindowAfter(parent, 3, true);
    host::RecordCalls(true);
    EXPECT_EQ(RunHack("--window-id " + NumberOf(parent) + " --picture \"" + picture + "\" --delay 1500"), 0);
    EXPECT_EQ(ShownPixel(LastWindowOf(kWindowClass), 0, 0), TestPixel(0, 0, 6));
    const auto& log = host::CallLog();
    EXPECT_GT(std::count(log.begin(), log.end(), "Sleep 2"), 0);  // 1.5 ms rounded up
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& c) { return c.rfind("Sleep", 0) == 0 && c != "Sleep 2"; }),
              0);

    // A picture that does not load: the screen.
    host::ResetWindowing();
    SetScreen(0, 0, 30, 20, 1);
    const HWND again = host::CreateForeignWindow(30, 20);
    host::DestroyForeignWindowAfter(again, 3, true);
    EXPECT_EQ(RunHack("--window-id " + NumberOf(again) + " --picture missing.bmp"), 0);
    EXPECT_EQ(ShownPixel(LastWindowOf(kWindowClass), 0, 0), TestPixel(0, 0, 1));
}

TEST_F(HackTest, BadOptionsEndWithStatusTwoAndNoWindow) {
    SetScreen(0, 0, 30, 20);
    for (const char* bad : {"--help", "--window-id", "--window-id 0xZZ", "--delay 1.5", "--delay 99999999999"}) {
        EXPECT_EQ(RunHack(bad), 2) << bad;
    }
    EXPECT_EQ(RunHack("--window-id 4242"), 1);
    EXPECT_EQ(RunHack("--window-id 0"), 1);
    EXPECT_TRUE(host::AllWindows().empty());
}

}  // namespace
