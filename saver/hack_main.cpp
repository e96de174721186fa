// mottlescreen, the XScreenSaver hack: draws inside the window it is given
// (--window-id, --root, or XSCREENSAVER_WINDOW), or in a window of its own;
// an unknown option or a bad number ends it with status 2, a window number
// that names no window with status 1.
#include <string>

#include "platform/platform.h"
#include "saver/arguments.h"
#include "saver/saver.h"

namespace {

constexpr char kWindowVariable[] = "XSCREENSAVER_WINDOW";
constexpr int kBadArguments = 2;

// The window the environment names: false for a bad number; no variable
// (or an empty one) names none.
bool WindowFromEnvironment(HWND* window) {
    char value[32];
    const DWORD length = platform::GetEnvironmentVariableA(kWindowVariable, value, sizeof value);
    *window = nullptr;
    if (length == 0) {
        return true;
    }
    std::uint64_t number = 0;
    if (length >= sizeof value || !ParseNumber(std::string(value, length), true, kLargestWindowNumber, &number)) {
        return false;
    }
    *window = WindowFromNumber(number);
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    HackArguments arguments;
    if (!ParseHackArguments(commandLine, &arguments)) {
        return kBadArguments;
    }
    HWND target = arguments.window;
    if (arguments.target == HackTarget::Root) {
        target = platform::GetDesktopWindow();
    } else if (arguments.target == HackTarget::Environment && !WindowFromEnvironment(&target)) {
        return kBadArguments;
    }
    const bool named = arguments.target != HackTarget::Environment || target != nullptr;
    if (named && !platform::IsWindow(target)) {
        return 1;
    }
    SaverLaunch launch;
    launch.kind = named ? SaverKind::Child : SaverKind::OwnWindow;
    launch.parent = named ? target : nullptr;
    launch.order.preferred = arguments.picture.empty() ? nullptr : arguments.picture.c_str();
    launch.order.instance = instance;
    launch.delayMilliseconds = static_cast<DWORD>((static_cast<std::uint64_t>(arguments.delayMicroseconds) + 999) / 1000);
    return RunSaver(instance, launch);
}
