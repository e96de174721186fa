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
    // On X11 (XWayland on a Wayland desktop) the window manager draws the
    // frame and the content is all client area; under Wayland GTK would draw
    // its own title bar where the picture goes, so it is the last resort.
    gdk_set_allowed_backends("x11,*");
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "%s: cannot open the display\n", argc > 0 ? argv[0] : "mottler");
        return 1;
    }
    static HINSTANCE__ program{0};
    std::string commandLine = gtkside::CommandLine(argc - 1, argv + 1);
    constexpr int kShowDefault = 10;
    return WinMain(&program, nullptr, commandLine.data(), kShowDefault);
}
