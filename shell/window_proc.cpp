#include "shell/window_proc.h"

#include <cstring>

#include "picture/bitmap_loader.h"
#include "shell/app_state.h"
#include "shell/picture_window.h"
#include "shell/texts.h"

namespace {

// "ファイルを開く" (open file), in Shift_JIS.
constexpr char kDialogTitle[] = "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8A\x4A\x82\xAD";
static_assert(sizeof kDialogTitle == 15, "dialog title is 14 bytes");

// Two pairs of shown name and pattern, each string NUL-terminated; the
// literal's own NUL ends the list with an empty string.
constexpr char kFileFilter[] = "Exe Files(*.bmp)\0*.bmp\0All Files(*.*)\0*.*\0";

constexpr DWORD kOpenFileFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
static_assert(kOpenFileFlags == 0x1804, "dialog flags");

void OnCreate(HWND window) { appState.mainWindow = window; }

void OnDestroy() {
    ReleaseHeldPicture(&appState.pictureReady, &appState.currentPicture);
    platform::PostQuitMessage(0);
}

void OnPaint(HWND window) {
    PaintWindow(window, appState.pictureReady ? &appState.currentPicture : nullptr);
}

// Whatever the dialog ended with, currentFile is loaded: a cancel reloads the
// current picture from disk.
void OnLeftButtonDown(HWND window) {
    ChooseFile(window);
    // The dialog's modal loop dispatches messages, WM_CLOSE among them: a
    // window closed meanwhile has released its picture and posted the quit,
    // and nothing may be loaded or shown for it any more.
    if (!platform::IsWindow(window)) {
        return;
    }
    OpenAndShow(window);
}

// Resizes the main window to the current picture plus the frame, keeping its
// top-left corner. The size the platform grants is not looked at.
void FitWindow() {
    RECT outer;
    if (!platform::GetWindowRect(appState.mainWindow, &outer)) {
        return;
    }
    platform::MoveWindow(appState.mainWindow, outer.left, outer.top,
                         appState.currentPicture.width + appState.frameExtraX,
                         appState.currentPicture.height + appState.frameExtraY, TRUE);
}

}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_CLOSE:
            platform::DestroyWindow(window);
            return 0;
        case WM_QUIT:  // never dispatched by the loop; treated as the end all the same
            OnDestroy();
            return 0;
        case WM_LBUTTONDOWN:
            OnLeftButtonDown(window);
            return 0;
        case WM_SIZE:
        case WM_ACTIVATE:  // deliberately without the default processing
        case WM_SETREDRAW:
        case WM_KEYDOWN:
        case WM_COMMAND:
        case WM_TIMER:
        case WM_MOUSEMOVE:
        case WM_RBUTTONDOWN:
        case WM_DROPFILES:
            return 0;
        default:
            return platform::DefWindowProcA(window, message, wParam, lParam);
    }
}

void DrawPicture(HDC surface) { DrawWholePicture(surface, appState.currentPicture); }

bool ChooseFile(HWND owner) {
    OPENFILENAMEA request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // the size every version of the dialog takes
    request.hwndOwner = owner;
    request.lpstrFilter = kFileFilter;
    request.lpstrFile = appState.currentFile;
    request.nMaxFile = kCurrentFileSize;
    request.lpstrTitle = kDialogTitle;
    request.Flags = kOpenFileFlags;
    const BOOL chosen = platform::GetOpenFileNameA(&request);
    // A dialog that ends in an error may leave anything in the buffer; it is
    // loaded as it stands, so it must stay a terminated string.
    appState.currentFile[kCurrentFileSize - 1] = '\0';
    return chosen != FALSE;
}

void OpenAndShow(HWND window) {
    HDC context = platform::GetDC(window);
    Picture loaded;
    if (!LoadPicture(context, appState.currentFile, &loaded)) {
        platform::MessageBoxA(window, kLoadErrorText, kLoadErrorCaption, MB_OK);
        platform::ReleaseDC(window, context);
        return;
    }
    ReleaseHeldPicture(&appState.pictureReady, &appState.currentPicture);
    appState.currentPicture = loaded;
    appState.pictureReady = 1;
    platform::SetWindowTextA(window, appState.currentFile);
    DrawPicture(context);
    platform::ReleaseDC(window, context);
    FitWindow();
}
