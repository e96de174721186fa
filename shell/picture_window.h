// What the desktop program and the screensaver do alike with a picture and
// a window: load it for the screen, draw it, paint it, and the message loop
// that keeps it dissolving between messages.
#pragma once

#include <cstdint>

#include "picture/picture.h"
#include "platform/platform.h"

// Loads a bitmap file, or the bytes of one, on a context of the screen taken
// for the load and given back after it; false when no context or no picture.
bool LoadPictureForScreen(const char* path, Picture* loaded);
bool LoadPictureForScreen(const void* bytes, std::uint32_t size, Picture* loaded);

// Gives back a held picture (`*pictureReady` 1) and marks it no longer held.
void ReleaseHeldPicture(int* pictureReady, Picture* picture);

// Copies `picture`, unscaled, to the top-left of `surface`.
void DrawWholePicture(HDC surface, const Picture& picture);

// Answers WM_PAINT: `picture` (null while none is held) drawn on the paint
// context.
void PaintWindow(HWND window, const Picture* picture);

// One diffusion step of `picture`, then the picture drawn into `window`.
void StepAndRedraw(HWND window, Picture* picture);

// Takes messages until WM_QUIT and returns its code, calling `whenIdle`
// whenever it finds none waiting.
int RunMessageLoop(void (*whenIdle)());
