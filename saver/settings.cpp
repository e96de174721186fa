#include "saver/settings.h"

#include <cstring>

namespace {

constexpr char kSettingsKey[] = "Software\\MOTTLER\\Screensaver";
constexpr char kSourceValue[] = "Source";
constexpr char kPictureValue[] = "Picture";

DWORD ReadSource(HKEY key) {
    DWORD type = REG_NONE;
    DWORD value = kSourceScreen;
    DWORD size = sizeof value;
    const LONG status =
        platform::RegQueryValueExA(key, kSourceValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    const bool valid = status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value;
    return valid && value == kSourcePicture ? kSourcePicture : kSourceScreen;
}

// A stored string may lack its NUL or hold more than the buffer: it is read
// into all but the buffer's last byte, and ended there or sooner.
void ReadPicture(HKEY key, char (&picture)[kPicturePathSize]) {
    DWORD type = REG_NONE;
    DWORD size = kPicturePathSize - 1;
    const LONG status =
        platform::RegQueryValueExA(key, kPictureValue, nullptr, &type, reinterpret_cast<BYTE*>(picture), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ || size > kPicturePathSize - 1) {
        picture[0] = '\0';
        return;
    }
    picture[size] = '\0';
}

}  // namespace

void ReadSettings(SaverSettings* settings) {
    *settings = SaverSettings{};
    HKEY key = nullptr;
    if (platform::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    settings->source = ReadSource(key);
    ReadPicture(key, settings->picture);
    platform::RegCloseKey(key);
}

bool WriteSettings(const SaverSettings& settings) {
    HKEY key = nullptr;
    if (platform::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD source = settings.source;
    char picture[kPicturePathSize];
    const std::size_t length = strnlen(settings.picture, kPicturePathSize - 1);
    std::memcpy(picture, settings.picture, length);
    picture[length] = '\0';
    const bool written =
        platform::RegSetValueExA(key, kSourceValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&source),
                                 sizeof source) == ERROR_SUCCESS &&
        platform::RegSetValueExA(key, kPictureValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(picture),
                                 static_cast<DWORD>(length + 1)) == ERROR_SUCCESS;
    platform::RegCloseKey(key);
    return written;
}
