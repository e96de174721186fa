// The Windows saver's setting, kept per user in the registry under
// HKEY_CURRENT_USER\Software\MOTTLER\Screensaver: "Source" (REG_DWORD, 0 the
// screen, 1 a picture) and "Picture" (REG_SZ, an 8-bit path).
#pragma once

#include <cstddef>

#include "platform/platform.h"

constexpr DWORD kSourceScreen = 0;
constexpr DWORD kSourcePicture = 1;
// Bytes of a picture path, its NUL included; the open-file dialog's buffer.
constexpr std::size_t kPicturePathSize = 520;

struct SaverSettings {
    DWORD source = kSourceScreen;
    char picture[kPicturePathSize] = {};  // empty: none
};

// What is stored; absent, unreadable or malformed values read as the
// defaults (the screen, no picture), and a path too long for the buffer as
// none.
void ReadSettings(SaverSettings* settings);
// Writes both values; false when the key or a value cannot be written.
bool WriteSettings(const SaverSettings& settings);
