#include "shell/picture_window.h"

#include "picture/bitmap_loader.h"
#include "picture/diffusion.h"

namespace {

// A file's path, or else `size` bytes of one at `bytes`.
bool LoadOnScreen(const char* path, const void* bytes, std::uint32_t size, Picture* loaded) {
    HDC screen = platform::GetDC(nullptr);
    if (screen == nullptr) {
        return false;
    }
    const bool ok = path != nullptr ? LoadPicture(screen, path, loaded)
                                    : LoadPictureFromMemory(screen, bytes, size, loaded);
    platform::ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace

bool LoadPictureForScreen(const char* path, Picture* loaded) {
    return path != nullptr && LoadOnScreen(path, nullptr, 0, loaded);
}

bool LoadPictureForScreen(const void* bytes, std::uint32_t size, Picture* loaded) {
    return LoadOnScreen(nullptr, bytes, size, loaded);
}

void ReleaseHeldPicture(int* pictureReady, Picture* picture) {
    if (*pictureReady) {
        ReleasePicture(picture);
        *pictureReady = 0;
    }
}

void DrawWholePicture(HDC surface, const Picture& picture) {
    if (picture.info == nullptr || picture.bits == nullptr) {
        return;
    }
    platform::SetDIBitsToDevice(surface, 0, 0, static_cast<DWORD>(picture.width),
                                static_cast<DWORD>(picture.height), 0, 0, 0,
                                static_cast<UINT>(picture.height), picture.bits,
                                reinterpret_cast<const BITMAPINFO*>(picture.info), DIB_RGB_COLORS);
}

void PaintWindow(HWND window, const Picture* picture) {
    PAINTSTRUCT paint;
    HDC context = platform::BeginPaint(window, &paint);
    if (context == nullptr) {
        // Nothing can be drawn, but the window must count as painted: one
        // left invalid gets WM_PAINT again at once, for ever, and the loop
        // would never find its queue empty to step.
        platform::ValidateRect(window, nullptr);
        return;
    }
    if (picture != nullptr) {
        DrawWholePicture(context, *picture);
    }
    platform::EndPaint(window, &paint);
}

void StepAndRedraw(HWND window, Picture* picture) {
    StepPicture(picture);
    HDC context = platform::GetDC(window);
    if (context == nullptr) {
        return;
    }
    DrawWholePicture(context, *picture);
    platform::ReleaseDC(window, context);
}

int RunMessageLoop(void (*whenIdle)()) {
    MSG message;
    for (;;) {
        if (platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return static_cast<int>(message.wParam);
            }
            platform::TranslateMessage(&message);
            platform::DispatchMessageA(&message);
        } else {
            whenIdle();
        }
    }
}
