// The GUI start-up of the GTK side: opens the display (GTK takes its own
// options, such as --display; the program has none), calls the program's
// WinMain as Windows does, and ends the process with its result.
#include <cstdio>

#include "platform/gtk/gtk_internal.h"

struct HINSTANCE__ {
    int unused;
};

int main(int argc, char** argv) {
    // GDK picks the desktop's own display system: Wayland in a Wayland
    // session, whose compositor then shows the window at the output's scale
    // one picture pixel to one screen pixel, X11 elsewhere; GDK_BACKEND still
    // decides when set.
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "%s: cannot open the display\n", argc > 0 ? argv[0] : "mottler");
        return 1;
    }
    static HINSTANCE__ program{0};
    static char noArguments[] = "";
    constexpr int kShowDefault = 10;
    return WinMain(&program, nullptr, noArguments, kShowDefault);
}
