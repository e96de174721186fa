#include "saver/saver.h"

#include <cstring>
#include <ctime>

#include "picture/random_source.h"
#include "shell/picture_window.h"

SaverState saverState;

namespace {

int PointerX(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int PointerY(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

void OnDestroy() {
    ReleaseHeldPicture(&saverState.pictureReady, &saverState.picture);
    platform::PostQuitMessage(0);
}

// The full-screen saver ends on a move of more than kPointerSlack pixels
// from where the pointer stood at the first move; that first move (Windows
// sends some when a window appears under a still pointer) only records.
void OnMouseMove(HWND window, LPARAM lParam) {
    if (saverState.kind != SaverKind::FullScreen) {
        return;
    }
    const int x = PointerX(lParam);
    const int y = PointerY(lParam);
    if (!saverState.pointerKnown) {
        saverState.pointerKnown = true;
        saverState.pointerX = x;
        saverState.pointerY = y;
        return;
    }
    const int dx = x > saverState.pointerX ? x - saverState.pointerX : saverState.pointerX - x;
    const int dy = y > saverState.pointerY ? y - saverState.pointerY : saverState.pointerY - y;
    if (dx > kPointerSlack || dy > kPointerSlack) {
        platform::DestroyWindow(window);
    }
}

// Any key or button ends the full-screen saver; a saver in a window ends
// only with the window.
void OnInput(HWND window) {
    if (saverState.kind == SaverKind::FullScreen) {
        platform::DestroyWindow(window);
    }
}

bool RegisterSaverClass(const char* className) {
    WNDCLASSA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = SaverWndProc;
    windowClass.hInstance = saverState.instance;
    windowClass.hCursor = saverState.kind == SaverKind::FullScreen ? nullptr : platform::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    return platform::RegisterClassA(&windowClass) != 0;
}

// The window's place: the virtual screen, or the parent's client area.
bool SaverArea(RECT* area) {
    if (saverState.kind == SaverKind::FullScreen) {
        const int x = platform::GetSystemMetrics(SM_XVIRTUALSCREEN);
        const int y = platform::GetSystemMetrics(SM_YVIRTUALSCREEN);
        *area = RECT{x, y, x + platform::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                     y + platform::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        return area->right > area->left && area->bottom > area->top;
    }
    return platform::IsWindow(saverState.parent) && platform::GetClientRect(saverState.parent, area);
}

bool CreateSaverWindow(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (saverState.kind == SaverKind::FullScreen) {
        saverState.window =
            platform::CreateWindowExA(WS_EX_TOPMOST, kFullScreenClass, "MOTTLER", WS_POPUP | WS_VISIBLE, area.left,
                                      area.top, width, height, nullptr, nullptr, saverState.instance, nullptr);
    } else {
        saverState.window = platform::CreateWindowExA(0, kWindowClass, "MOTTLER", WS_CHILD | WS_VISIBLE, 0, 0, width,
                                                      height, saverState.parent, nullptr, saverState.instance, nullptr);
    }
    return saverState.window != nullptr;
}

// The source fitted to the client area the window was given.
bool FitToWindow(const Source& source) {
    RECT client{0, 0, 0, 0};
    if (!platform::GetClientRect(saverState.window, &client) ||
        !FitPicture(source.image, client.right - client.left, client.bottom - client.top, &saverState.picture)) {
        return false;
    }
    saverState.pictureReady = 1;
    return true;
}

}  // namespace

namespace {

void ReleaseScreenCapture(Source* source) {
    if (source->previous != nullptr) {
        platform::SelectObject(source->memory, source->previous);
    }
    if (source->section != nullptr) {
        platform::DeleteObject(source->section);
    }
    if (source->memory != nullptr) {
        platform::DeleteDC(source->memory);
    }
}

}  // namespace

bool CaptureScreen(Source* source) {
    const int x = platform::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = platform::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = platform::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = platform::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0 || width > kLargestSourceSide || height > kLargestSourceSide) {
        return false;
    }
    HDC screen = platform::GetDC(nullptr);
    if (screen == nullptr) {
        return false;
    }
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = kSourceInfoSize;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as the engine's pictures
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    source->releaseCapture = ReleaseScreenCapture;
    source->memory = platform::CreateCompatibleDC(screen);
    source->section = source->memory != nullptr
                          ? platform::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                          : nullptr;
    source->previous = source->section != nullptr ? platform::SelectObject(source->memory, source->section) : nullptr;
    const bool copied = source->previous != nullptr && bits != nullptr &&
                        platform::BitBlt(source->memory, 0, 0, width, height, screen, x, y, SRCCOPY);
    platform::ReleaseDC(nullptr, screen);
    if (!copied) {
        ReleaseSource(source);
        return false;
    }
    source->image = SourceImage{static_cast<const std::uint8_t*>(bits), width, height};
    return true;
}

LRESULT CALLBACK SaverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            PaintWindow(window, saverState.pictureReady ? &saverState.picture : nullptr);
            return 0;
        case WM_ERASEBKGND:  // the picture covers the whole client area
            return 1;
        case WM_CREATE:
            saverState.window = window;
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_CLOSE:
            platform::DestroyWindow(window);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(window, lParam);
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            OnInput(window);
            return saverState.kind == SaverKind::FullScreen ? 0
                                                            : platform::DefWindowProcA(window, message, wParam, lParam);
        default:
            return platform::DefWindowProcA(window, message, wParam, lParam);
    }
}

void RunSaverIdlePass() {
    if (saverState.parent != nullptr && !platform::IsWindow(saverState.parent)) {
        // The parent went without its windows telling: the saver goes too.
        if (!platform::DestroyWindow(saverState.window)) {
            platform::PostQuitMessage(0);
        }
        return;
    }
    if (!saverState.pictureReady) {
        platform::WaitMessage();
        return;
    }
    StepAndRedraw(saverState.window, &saverState.picture);
    if (saverState.delayMilliseconds > 0) {
        platform::Sleep(saverState.delayMilliseconds);
    }
}

int RunSaver(HINSTANCE instance, const SaverLaunch& launch) {
    saverState = SaverState{};
    saverState.instance = instance;
    saverState.kind = launch.kind;
    saverState.parent = launch.kind == SaverKind::Child ? launch.parent : nullptr;
    saverState.delayMilliseconds = launch.delayMilliseconds;
    if (launch.kind == SaverKind::FullScreen && platform::FindWindowA(kFullScreenClass, nullptr) != nullptr) {
        return 0;
    }
    RECT area;
    if (!SaverArea(&area)) {
        return 1;
    }
    SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
    // The screen is read before the saver's window covers it.
    Source source;
    if (!ObtainSource(launch.order, CaptureScreen, &source)) {
        return 1;
    }
    const char* className = launch.kind == SaverKind::FullScreen ? kFullScreenClass : kWindowClass;
    if (!RegisterSaverClass(className) || !CreateSaverWindow(area)) {
        ReleaseSource(&source);
        return 1;
    }
    const bool fitted = FitToWindow(source);
    ReleaseSource(&source);
    if (!fitted) {
        platform::DestroyWindow(saverState.window);
        return 1;
    }
    if (launch.kind == SaverKind::FullScreen) {
        platform::ShowCursor(FALSE);
        saverState.cursorHidden = true;
    }
    const int status = RunMessageLoop(RunSaverIdlePass);
    if (saverState.cursorHidden) {
        platform::ShowCursor(TRUE);
        saverState.cursorHidden = false;
    }
    return status;
}
