// The web side's start-up: the program starts in its working folder, which
// holds the bundled picture, is called as Windows calls WinMain, and tells
// the page when it has ended.
#include <unistd.h>

#include "platform/web/web_page.h"
#include "platform/winmodel/model.h"

struct HINSTANCE__ {
    int unused;
};


namespace {
constexpr char kWorkingFolder[] = "/home/web_user";
}

int main() {
    static HINSTANCE__ program{0};
    static char commandLine[] = "";
    constexpr int kShowDefault = 10;
    // The page shows one frame per display frame: of the generations drawn
    // in between, only the last needs to become pixels.
    winmodel::drawingWaits = true;
    if (::chdir(kWorkingFolder) != 0) {
        return 1;
    }
    const int status = WinMain(&program, nullptr, commandLine, kShowDefault);
    web_program_ended(status);
    return status;
}
