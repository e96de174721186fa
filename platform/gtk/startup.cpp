// The GUI start-up of the GTK side: opens the display and calls the
// program's WinMain, as Windows does for a GUI program, and ends the process
// with its result.
#include <cstdio>

#include "platform/gtk/gtk_internal.h"

int main(int argc, char** argv) {
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "%s: cannot open the display\n", argc > 0 ? argv[0] : "mottler");
        return 1;
    }
    static HINSTANCE__ program{0};
    static char commandLine[] = "";
    constexpr int kShowDefault = 10;
    return WinMain(&program, nullptr, commandLine, kShowDefault);
}
