// Counts the native program's frames from outside it: loaded before GTK and
// cairo (LD_PRELOAD), it takes the calls that put a drawn frame on the
// screen, notes the time and passes each on: a flush of a surface that is an
// X window (how the program shows a frame on X11) and
// gdk_window_end_draw_frame (how it shows one elsewhere). At exit
// the times go to the file MOTTLER_FRAME_LOG names, one line each (seconds
// of the monotonic clock), for scripts/frame-bench.sh to count.
#include <cairo.h>
#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using EndDrawFrame = void (*)(void*, void*);
using Flush = void (*)(cairo_surface_t*);
using SurfaceType = cairo_surface_type_t (*)(cairo_surface_t*);

// Defined before the writer below, so that it is destroyed after it.
std::vector<double> times;

struct WriteAtExit {
    ~WriteAtExit() {
        const char* path = std::getenv("MOTTLER_FRAME_LOG");
        std::FILE* log = path != nullptr ? std::fopen(path, "w") : nullptr;
        if (log == nullptr) {
            return;
        }
        for (double time : times) {
            std::fprintf(log, "%.6f\n", time);
        }
        std::fclose(log);
    }
} writeAtExit;

void NoteFrame() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (times.capacity() == 0) {
        times.reserve(1 << 20);  // no allocation while frames are counted
    }
    if (times.size() < times.capacity()) {
        times.push_back(static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9);
    }
}

}  // namespace

extern "C" void gdk_window_end_draw_frame(void* window, void* context) {
    static const auto next = reinterpret_cast<EndDrawFrame>(dlsym(RTLD_NEXT, "gdk_window_end_draw_frame"));
    NoteFrame();
    next(window, context);
}

extern "C" void cairo_surface_flush(cairo_surface_t* surface) {
    static const auto next = reinterpret_cast<Flush>(dlsym(RTLD_NEXT, "cairo_surface_flush"));
    static const auto type = reinterpret_cast<SurfaceType>(dlsym(RTLD_NEXT, "cairo_surface_get_type"));
    if (type(surface) == CAIRO_SURFACE_TYPE_XLIB) {
        NoteFrame();
    }
    next(surface);
}
