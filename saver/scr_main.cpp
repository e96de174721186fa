// mottler.scr, the Windows screensaver: /s full screen, /p N inside the
// preview window N, /c (or nothing) the settings; anything else ends with
// status 1 and no window.
#include "platform/platform.h"
#include "saver/arguments.h"
#include "saver/saver.h"
#include "saver/settings_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    ScrArguments arguments;
    if (!ParseScrArguments(commandLine, &arguments)) {
        return 1;
    }
    if (arguments.window != nullptr && !platform::IsWindow(arguments.window)) {
        return 1;
    }
    if (arguments.mode == ScrMode::Settings) {
        return RunSettingsDialog(instance, arguments.window);
    }
    SaverSettings settings;
    ReadSettings(&settings);
    SaverLaunch launch;
    launch.kind = arguments.mode == ScrMode::FullScreen ? SaverKind::FullScreen : SaverKind::Child;
    launch.parent = arguments.window;
    launch.order.preferred = settings.source == kSourcePicture ? settings.picture : nullptr;
    launch.order.fallback = settings.picture[0] != '\0' ? settings.picture : nullptr;
    launch.order.instance = instance;
    return RunSaver(instance, launch);
}
