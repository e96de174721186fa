// Counts the native program's frames from outside it: loaded before GTK
// (LD_PRELOAD), it takes every call of gdk_window_end_draw_frame, which puts
// a drawn frame on the screen, notes the time and passes the call on. At exit
// the times go to the file MOTTLER_FRAME_LOG names, one line each (seconds
// of the monotonic clock), for scripts/frame-bench.sh to count.
#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using EndDrawFrame = void (*)(void*, void*);

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

}  // namespace

extern "C" void gdk_window_end_draw_frame(void* window, void* context) {
    static const auto next = reinterpret_cast<EndDrawFrame>(dlsym(RTLD_NEXT, "gdk_window_end_draw_frame"));
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (times.capacity() == 0) {
        times.reserve(1 << 20);  // no allocation while frames are counted
    }
    if (times.size() < times.capacity()) {
        times.push_back(static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9);
    }
    next(window, context);
}
