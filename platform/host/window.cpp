// Host side of the window calls: drawing contexts.
#include <new>

#include "platform/host/host_internal.h"

namespace platform {

HDC GetDC(HWND window) {
    host::Log("GetDC");
    auto* context = new (std::nothrow) HDC__{window};
    if (context != nullptr) {
        ++host::Counts().drawingContexts;
    }
    return context;
}

int ReleaseDC(HWND window, HDC surface) {
    host::Log("ReleaseDC");
    if (surface == nullptr || surface->window != window) {
        return 0;
    }
    delete surface;
    --host::Counts().drawingContexts;
    return 1;
}

}  // namespace platform
