// The shell's process-wide state: what WinMain was given, the main window,
// the current file and picture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "picture/picture.h"
#include "platform/platform.h"

// Bytes of `currentFile`, the terminating NUL included; also the open-file
// dialog's buffer size.
constexpr std::size_t kCurrentFileSize = 520;

struct AppState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    char currentFile[kCurrentFileSize] = {};  // 8-bit path, NUL-terminated
    std::int32_t frameExtraX = 0;             // outer width minus client width
    std::int32_t frameExtraY = 0;             // outer height minus client height
    int pictureReady = 0;                     // 1 while currentPicture is held
    Picture currentPicture;
};

// The one instance, for the life of the process.
extern AppState appState;
