// Frames under Wayland: a window's pixels live in two buffers of memory
// shared with the compositor (the Windows model converts each frame straight
// into one), shown on a surface of their own placed over the drawing area as
// a subsurface of GTK's window, one commit a frame. GTK's own drawing would
// paint the pixels into a buffer of its own first, and make a new buffer for
// most frames, since a compositor keeps the last one until the next comes.
//
// The two buffers take turns as the X server's shared images do: once one is
// committed, the model is turned to the other (winmodel::TurnPixels), and a
// buffer is written again only once the compositor has released it, so what
// it shows is always a whole frame. They are made for the window's size and
// kept, so a frame allocates nothing. The subsurface takes no input (its
// input region is empty): clicks go to the drawing area below it. Its
// events come on a queue of its own, so that waiting for a release runs
// none of GTK's handlers.
#include <gdk/gdkwayland.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <climits>
#include <cstring>
#include <new>

#include "platform/gtk/gtk_internal.h"

struct WaylandFrames {
    wl_surface* parent;   // GTK's window
    wl_surface* surface;  // made with the window, kept for its lifetime
    wl_subsurface* subsurface;
    wl_shm_pool* pool;
    wl_buffer* buffers[2];
    bool busy[2];  // committed and not yet released
    unsigned char* memory;
    std::size_t size;
    int width, height;    // device pixels
    int x, y, scale;      // where it lies over GTK's window, in logical pixels
};

namespace {

struct Globals {
    bool tried;
    wl_display* display;
    wl_event_queue* queue;
    wl_compositor* compositor;  // GDK's, wrapped onto the queue
    wl_subcompositor* subcompositor;
    wl_shm* shm;
} globals{};

void OnGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    if (std::strcmp(interface, wl_subcompositor_interface.name) == 0) {
        globals.subcompositor =
            static_cast<wl_subcompositor*>(wl_registry_bind(registry, name, &wl_subcompositor_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        globals.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

void OnRelease(void* busy, wl_buffer*) { *static_cast<bool*>(busy) = false; }

const wl_buffer_listener kBufferListener{OnRelease};

// The compositor's shared memory and subsurfaces, bound once on the queue.
bool Connect(GdkDisplay* display) {
    if (!globals.tried) {
        globals.tried = true;
        globals.display = gdk_wayland_display_get_wl_display(display);
        globals.queue = wl_display_create_queue(globals.display);
        auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(globals.display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), globals.queue);
        wl_registry* registry = wl_display_get_registry(wrapper);
        wl_proxy_wrapper_destroy(wrapper);
        wl_registry_add_listener(registry, &kRegistryListener, nullptr);
        wl_display_roundtrip_queue(globals.display, globals.queue);
        globals.compositor =
            static_cast<wl_compositor*>(wl_proxy_create_wrapper(gdk_wayland_display_get_wl_compositor(display)));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(globals.compositor), globals.queue);
    }
    return globals.subcompositor != nullptr && globals.shm != nullptr;
}

int BufferOf(const WaylandFrames* frames, const std::uint32_t* pixels) {
    for (int which = 0; which < 2; ++which) {
        if (reinterpret_cast<const std::uint32_t*>(frames->memory + which * frames->size / 2) == pixels) {
            return which;
        }
    }
    return -1;
}

void DropBuffers(WaylandFrames* frames) {
    if (frames->pool == nullptr) {
        return;
    }
    for (wl_buffer*& buffer : frames->buffers) {
        wl_buffer_destroy(buffer);
        buffer = nullptr;
    }
    wl_shm_pool_destroy(frames->pool);
    frames->pool = nullptr;
    munmap(frames->memory, frames->size);
    frames->memory = nullptr;
    frames->busy[0] = frames->busy[1] = false;
}

// Memory for the two buffers, given to the compositor; null when none.
unsigned char* MakeMemory(std::size_t size, int* descriptor) {
    *descriptor = memfd_create("mottler-frames", MFD_CLOEXEC);
    if (*descriptor < 0 || ftruncate(*descriptor, static_cast<off_t>(size)) != 0) {
        return nullptr;
    }
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, *descriptor, 0);
    return memory != MAP_FAILED ? static_cast<unsigned char*>(memory) : nullptr;
}

}  // namespace

namespace gtkside {

std::uint32_t* MakeWaylandFrames(WaylandFrames** kept, GdkWindow* toplevel, int width, int height) {
    WaylandFrames* frames = *kept;
    if (frames == nullptr) {
        wl_surface* parent = GDK_IS_WAYLAND_WINDOW(toplevel) ? gdk_wayland_window_get_wl_surface(toplevel) : nullptr;
        if (parent == nullptr || !Connect(gdk_window_get_display(toplevel))) {
            return nullptr;
        }
        // Made with the window, before it is shown: the compositor shows a
        // subsurface made later under no window of GTK's.
        frames = new (std::nothrow) WaylandFrames{};
        if (frames == nullptr) {
            return nullptr;
        }
        frames->surface = wl_compositor_create_surface(globals.compositor);
        frames->subsurface = wl_subcompositor_get_subsurface(globals.subcompositor, frames->surface, parent);
        wl_subsurface_set_desync(frames->subsurface);
        frames->parent = parent;
        wl_region* none = wl_compositor_create_region(globals.compositor);
        wl_surface_set_input_region(frames->surface, none);
        wl_region_destroy(none);
        frames->x = frames->y = INT_MIN;
        *kept = frames;
    }
    DropBuffers(frames);
    const std::size_t one = 4 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    int descriptor = -1;
    unsigned char* memory = 2 * one <= INT_MAX ? MakeMemory(2 * one, &descriptor) : nullptr;
    if (memory == nullptr) {
        if (descriptor >= 0) {
            close(descriptor);
        }
        return nullptr;
    }
    frames->memory = memory;
    frames->size = 2 * one;
    frames->width = width;
    frames->height = height;
    frames->pool = wl_shm_create_pool(globals.shm, descriptor, static_cast<std::int32_t>(2 * one));
    close(descriptor);  // the pool holds it
    for (int which = 0; which < 2; ++which) {
        frames->buffers[which] = wl_shm_pool_create_buffer(frames->pool, static_cast<std::int32_t>(which * one),
                                                           width, height, 4 * width, WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(frames->buffers[which], &kBufferListener, &frames->busy[which]);
    }
    return reinterpret_cast<std::uint32_t*>(memory);
}

bool PresentWayland(HWND window, WaylandFrames* frames, GtkWidget* toplevel, int x, int y, int scale) {
    if (frames == nullptr || frames->pool == nullptr) {
        return false;
    }
    if (window->pixels.newer != nullptr) {
        return true;  // nothing written since the last frame was committed
    }
    const int which = BufferOf(frames, window->pixels.data());
    if (which < 0) {
        return false;
    }
    if (x != frames->x || y != frames->y) {
        // A subsurface's place takes effect with its parent's next commit.
        wl_subsurface_set_position(frames->subsurface, x, y);
        wl_subsurface_place_above(frames->subsurface, frames->parent);
        frames->x = x;
        frames->y = y;
        gtk_widget_queue_draw(toplevel);
    }
    if (scale != frames->scale) {
        wl_surface_set_buffer_scale(frames->surface, scale);
        frames->scale = scale;
    }
    wl_surface_attach(frames->surface, frames->buffers[which], 0, 0);
    // All of it, in the surface's own units (GDK's compositor binding is too
    // old for damage in buffer pixels).
    wl_surface_damage(frames->surface, 0, 0, frames->width / scale, frames->height / scale);
    wl_surface_commit(frames->surface);
    wl_display_flush(globals.display);
    frames->busy[which] = true;
    winmodel::TurnPixels(window, reinterpret_cast<std::uint32_t*>(frames->memory + (1 - which) * frames->size / 2));
    return true;
}

// A compositor that has gone away releases nothing: then nothing is waited for.
void AwaitWayland(WaylandFrames* frames, const std::uint32_t* pixels) {
    const int which = frames != nullptr && frames->pool != nullptr ? BufferOf(frames, pixels) : -1;
    while (which >= 0 && frames->busy[which]) {
        if (wl_display_dispatch_queue(globals.display, globals.queue) < 0) {
            frames->busy[which] = false;
        }
    }
}

void DropWaylandFrames(WaylandFrames** kept) {
    WaylandFrames* frames = *kept;
    if (frames == nullptr) {
        return;
    }
    DropBuffers(frames);
    wl_subsurface_destroy(frames->subsurface);
    wl_surface_destroy(frames->surface);
    wl_display_flush(globals.display);
    delete frames;
    *kept = nullptr;
}

}  // namespace gtkside
