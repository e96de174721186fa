// mottler.scr's run: its state, its window and the conditions that end it,
// and the loop that dissolves the picture.
#pragma once

#include "picture/picture.h"
#include "platform/platform.h"
#include "saver/settings.h"
#include "saver/source.h"

// Full screen (/s) or inside another window (/p).
enum class SaverKind { FullScreen, Child };

struct SaverLaunch {
    SaverKind kind = SaverKind::FullScreen;
    HWND parent = nullptr;  // of a Child
    SourceOrder order;
    DWORD delayMilliseconds = 0;  // a pause after every frame
};

// The saver's process-wide state, in one record.
struct SaverState {
    HINSTANCE instance = nullptr;
    SaverKind kind = SaverKind::FullScreen;
    HWND window = nullptr;
    HWND parent = nullptr;
    DWORD delayMilliseconds = 0;
    int pictureReady = 0;  // 1 while picture is held
    Picture picture;       // client-sized, what is dissolved and drawn
    bool pointerKnown = false;  // the first WM_MOUSEMOVE came
    int pointerX = 0, pointerY = 0;
    bool cursorHidden = false;
    SaverSettings chosen;  // the settings dialog's choice
};
extern SaverState saverState;

// The window classes: the full-screen saver's, which FindWindowA looks for
// to run one saver at a time, and the one of a saver inside another window
// (a preview must not stop the full-screen saver).
constexpr char kFullScreenClass[] = "MottlerScreensaver";
constexpr char kWindowClass[] = "MottlerScreensaverWindow";
// How far the pointer may move from where it first stood before the
// full-screen saver ends: moves of this much or less on both axes end nothing.
constexpr int kPointerSlack = 4;

// Runs the saver to its end; returns the process's status: 0 when it ended
// as it should (or another full-screen saver runs), 1 when it could not run.
int RunSaver(HINSTANCE instance, const SaverLaunch& launch);
// The virtual screen, captured: GetDC(nullptr), a memory context, a 24-bit
// bottom-up DIB section of its size, a copy from its origin.
bool CaptureScreen(Source* source);
LRESULT CALLBACK SaverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// One idle pass: ends the saver if its parent is gone, otherwise one
// generation stepped and drawn, and the pause.
void RunSaverIdlePass();
