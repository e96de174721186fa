#include "shell/winmain.h"

#include <cstring>
#include <ctime>

#include "picture/random_source.h"
#include "shell/app_state.h"
#include "shell/picture_window.h"
#include "shell/window_proc.h"

namespace {

constexpr char kClassName[] = "Star";
constexpr char kInitialCaption[] = "MOTTLER";
constexpr char kDefaultFile[] = "mottle.bmp";
constexpr int kInitialWidth = 640;
constexpr int kInitialHeight = 480;
constexpr COLORREF kBackgroundColour = 0x00FFFFFF;  // white
static_assert(sizeof kDefaultFile <= kCurrentFileSize, "default file name fits currentFile");

// The class keeps its white brush for the life of the process.
bool RegisterWindowClass() {
    WNDCLASSA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_BYTEALIGNWINDOW;
    windowClass.lpfnWndProc = WndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = appState.instance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = platform::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = platform::CreateSolidBrush(kBackgroundColour);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kClassName;
    if (platform::RegisterClassA(&windowClass) == 0) {
        // No class took the brush, so it is given back here.
        if (windowClass.hbrBackground != nullptr) {
            platform::DeleteObject(windowClass.hbrBackground);
        }
        return false;
    }
    return true;
}

// 640 x 480, centred on the full-screen client area; each half is truncated
// toward zero, so a screen narrower than the window starts it off the left.
bool CreateMainWindow() {
    const int x = platform::GetSystemMetrics(SM_CXFULLSCREEN) / 2 - kInitialWidth / 2;
    const int y = platform::GetSystemMetrics(SM_CYFULLSCREEN) / 2 - kInitialHeight / 2;
    appState.mainWindow = platform::CreateWindowExA(
        0, kClassName, kInitialCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, kInitialWidth,
        kInitialHeight, nullptr, nullptr, appState.instance, nullptr);
    return appState.mainWindow != nullptr;
}

// How much larger the window is than its client area; measured while the
// window still has its initial size, before any picture resizes it.
void MeasureFrame() {
    RECT client{0, 0, kInitialWidth, kInitialHeight};
    platform::GetClientRect(appState.mainWindow, &client);
    appState.frameExtraX = kInitialWidth - (client.right - client.left);
    appState.frameExtraY = kInitialHeight - (client.bottom - client.top);
}

// While a picture is held, a step and a redraw; otherwise, with nothing to
// animate, a sleep until a message comes instead of polling an empty queue
// at full speed.
void WhenIdle() {
    if (appState.pictureReady) {
        RunIdlePass();
    } else {
        platform::WaitMessage();
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int) {
    appState.instance = instance;
    if (previousInstance != nullptr) {
        return 0;
    }
    // Without a window the user could neither see nor close the program, so
    // it ends at once instead of waiting for ever.
    if (!InitApplication()) {
        return 1;
    }
    RunMessageLoop(WhenIdle);
    return 0;  // whatever code the quit message carried
}

bool InitApplication() {
    SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
    if (!RegisterWindowClass() || !CreateMainWindow()) {
        return false;
    }
    MeasureFrame();
    std::memcpy(appState.currentFile, kDefaultFile, sizeof kDefaultFile);
    OpenAndShow(appState.mainWindow);
    return true;
}

void RunIdlePass() {
    if (!appState.pictureReady) {
        return;
    }
    StepAndRedraw(appState.mainWindow, &appState.currentPicture);
}
