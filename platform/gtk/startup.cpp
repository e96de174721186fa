// The GUI start-up of the GTK side: opens the display, calls the program's
// WinMain as Windows does, with the command line built from the arguments
// GTK leaves (it takes its own, such as --display), and ends the process
// with its result.
#include <cstdio>
#include <string>

#include "platform/gtk/gtk_internal.h"

struct HINSTANCE__ {
    int unused;
};

int main(int argc, char** argv) {
    // GDK picks the desktop's own display system: Wayland in a Wayland
    // session, whose compositor then shows the window at the output's scale
    // one picture pixel to one screen pixel, X11 elsewhere; GDK_BACKEND still
    // decides when set. The screensaver hack draws into windows XScreenSaver
    // names by X window id, so it runs on X11 only.
#ifdef MOTTLER_X11_ONLY
    gdk_set_allowed_backends("x11");
#endif
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "%s: cannot open the display\n", argc > 0 ? argv[0] : "mottler");
        return 1;
    }
    static HINSTANCE__ program{0};
    std::string commandLine = gtkside::CommandLine(argc - 1, argv + 1);
    constexpr int kShowDefault = 10;
    return WinMain(&program, nullptr, commandLine.data(), kShowDefault);
}
