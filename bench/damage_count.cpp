// mottle-damage-count WINDOW WIDTH HEIGHT SETTLE SECONDS
//
// Counts the frames a program shows in an X window from the X server's side,
// the same way for any program: with the DAMAGE extension it is told of every
// rectangle drawn into WINDOW (an id, decimal or 0x-hex) or into the windows
// inside it, and adds up how many pixels of the WIDTH x HEIGHT picture at the
// window's top-left were drawn. Every frame of the programs measured draws the
// whole picture once, so a frame is that many pixels, however the drawing is
// split into requests. Nothing runs inside the program meanwhile.
//
// After SETTLE seconds it counts for SECONDS and prints the frames per second.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <sys/select.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double Now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int Usage() {
    std::fprintf(stderr, "usage: mottle-damage-count WINDOW WIDTH HEIGHT SETTLE SECONDS\n");
    return 2;
}

// Waits at most `seconds` for the display's connection to have something.
void WaitForEvents(Display* display, double seconds) {
    if (seconds <= 0 || XPending(display) > 0) {
        return;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(ConnectionNumber(display), &readable);
    timeval timeout{static_cast<time_t>(seconds), static_cast<suseconds_t>((seconds - static_cast<long>(seconds)) * 1e6)};
    select(ConnectionNumber(display) + 1, &readable, nullptr, nullptr, &timeout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        return Usage();
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const long width = std::atol(argv[2]);
    const long height = std::atol(argv[3]);
    const double settle = std::atof(argv[4]);
    const double seconds = std::atof(argv[5]);
    if (window == 0 || width <= 0 || height <= 0 || settle < 0 || seconds <= 0) {
        return Usage();
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "mottle-damage-count: cannot open the display\n");
        return 1;
    }
    int eventBase = 0;
    int errorBase = 0;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
        std::fprintf(stderr, "mottle-damage-count: the X server has no DAMAGE extension\n");
        return 1;
    }
    // Raw rectangles: one event for every rectangle drawn, none merged away.
    XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, False);
    const double start = Now() + settle;
    const double end = start + seconds;
    double pixels = 0;
    for (double now = Now(); now < end; now = Now()) {
        WaitForEvents(display, end - now);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != eventBase + XDamageNotify) {
                continue;
            }
            const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
            const long left = std::max<long>(damage.area.x, 0);
            const long top = std::max<long>(damage.area.y, 0);
            const long right = std::min<long>(damage.area.x + damage.area.width, width);
            const long bottom = std::min<long>(damage.area.y + damage.area.height, height);
            const double when = Now();
            if (when >= start && when < end && left < right && top < bottom) {
                pixels += static_cast<double>((right - left) * (bottom - top));
            }
        }
    }
    std::printf("%.0f\n", pixels / (static_cast<double>(width) * static_cast<double>(height)) / seconds);
    XCloseDisplay(display);
    return 0;
}
