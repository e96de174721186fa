// Frames through the X server's shared memory (MIT-SHM): a window's pixels
// live in an image the server reads in place (the Windows model draws
// straight into it), and each frame is one request putting it into the
// window, with no pixels going through the connection.
//
// The server reads the image while the program steps the next generation;
// the model writes into it again only once the server has said it is done
// with it (its completion event), so what it shows is always a whole frame.
// The image is made for the window's size and kept, so a frame allocates
// nothing. A display that cannot share memory with this process (a remote
// one) is told once, and the pixels then stay in the model's own memory.
//
// The frames go through a connection to the display of their own: GTK reads
// every event of its own connection, and would take the completions away.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <gdk/gdkx.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <new>

#include "platform/gtk/gtk_internal.h"

namespace {

// Set once the server has refused a request of the frames' connection: an
// attach of memory it cannot reach (another machine's) or a put; from then
// on frames go the other way.
bool refused = false;
Display* framesConnection = nullptr;
XErrorHandler otherHandler = nullptr;

int OnError(Display* display, XErrorEvent* error) {
    if (display == framesConnection) {
        refused = true;
        return 0;
    }
    return otherHandler != nullptr ? otherHandler(display, error) : 0;
}

// The frames' own connection, to the display GTK's connection `shown` is to;
// null when it cannot be had or the server shares no memory with us.
Display* FramesConnection(Display* shown) {
    static bool tried = false;
    if (!tried) {
        tried = true;
        int major = 0;
        int minor = 0;
        Bool pixmaps = False;
        Display* connection = XOpenDisplay(DisplayString(shown));
        if (connection != nullptr && !XShmQueryVersion(connection, &major, &minor, &pixmaps)) {
            XCloseDisplay(connection);
        } else if (connection != nullptr) {
            // The handler is the process's: GTK's goes on serving its own.
            framesConnection = connection;
            otherHandler = XSetErrorHandler(OnError);
        }
    }
    return framesConnection;
}

struct Awaited {
    int type;
    ShmSeg segment;
};

Bool IsCompletionOf(Display*, XEvent* event, XPointer awaited) {
    const auto* wanted = reinterpret_cast<const Awaited*>(awaited);
    return event->type == wanted->type &&
           reinterpret_cast<const XShmCompletionEvent*>(event)->shmseg == wanted->segment;
}

}  // namespace

struct SharedImages {
    Display* display;
    int width, height;
    int completion;  // the completion event's type
    GC gc;
    ::Window target;  // the window the gc was made for
    XShmSegmentInfo segment;
    XImage* image;
    bool pending;
};

namespace {

// Waits until the server is done reading the image: its completion is there,
// or comes before the answer to a round trip, by which the server has carried
// out every request before it. A put the server refused has none.
void AwaitServer(SharedImages* shared) {
    if (!shared->pending) {
        return;
    }
    Awaited awaited{shared->completion, shared->segment.shmseg};
    XEvent event;
    if (!XCheckIfEvent(shared->display, &event, IsCompletionOf, reinterpret_cast<XPointer>(&awaited))) {
        XSync(shared->display, False);
        XCheckIfEvent(shared->display, &event, IsCompletionOf, reinterpret_cast<XPointer>(&awaited));
    }
    shared->pending = false;
}

// Makes the image of the window's size in memory both sides share.
bool MakeImage(SharedImages* shared, Visual* visual) {
    XShmSegmentInfo& segment = shared->segment;
    XImage* image = XShmCreateImage(shared->display, visual, 24, ZPixmap, nullptr, &segment,
                                    static_cast<unsigned>(shared->width), static_cast<unsigned>(shared->height));
    // The window's pixels are 32-bit words, blue in the lowest byte, in rows
    // of the window's width: the image must hold them the same way.
    const bool fits = image != nullptr && image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                      image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF &&
                      image->bytes_per_line == 4 * shared->width;
    segment.shmid =
        fits ? shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * shared->height, IPC_CREAT | 0600)
             : -1;
    void* memory = segment.shmid >= 0 ? shmat(segment.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
    bool attached = memory != reinterpret_cast<void*>(-1);
    if (attached) {
        segment.shmaddr = static_cast<char*>(memory);
        segment.readOnly = False;
        XShmAttach(shared->display, &segment);
        XSync(shared->display, False);
        attached = !refused;
    }
    if (segment.shmid >= 0) {
        shmctl(segment.shmid, IPC_RMID, nullptr);  // gone once both sides let go
    }
    if (!attached) {
        if (memory != reinterpret_cast<void*>(-1)) {
            shmdt(memory);
        }
        if (image != nullptr) {
            XDestroyImage(image);  // its data is null: the segment's, not the image's to free
        }
        return false;
    }
    image->data = segment.shmaddr;
    shared->image = image;
    shared->pending = false;
    return true;
}

}  // namespace

namespace gtkside {

std::uint32_t* MakeShared(SharedImages** kept, GdkWindow* content, int width, int height) {
    DropShared(kept);
    Display* display = refused ? nullptr : FramesConnection(GDK_WINDOW_XDISPLAY(content));
    auto* shared = display != nullptr ? new (std::nothrow) SharedImages{} : nullptr;
    if (shared == nullptr) {
        return nullptr;
    }
    shared->display = display;
    shared->width = width;
    shared->height = height;
    shared->completion = XShmGetEventBase(display) + ShmCompletion;
    if (!MakeImage(shared, GDK_VISUAL_XVISUAL(gdk_window_get_visual(content)))) {
        delete shared;
        refused = true;
        return nullptr;
    }
    shared->target = GDK_WINDOW_XID(content);
    shared->gc = XCreateGC(display, shared->target, 0, nullptr);
    *kept = shared;
    return reinterpret_cast<std::uint32_t*>(shared->image->data);
}

bool ShowShared(SharedImages* shared, int x, int y, int width, int height, int toX, int toY) {
    if (shared == nullptr || refused) {
        return false;
    }
    // Only what lies inside the image.
    width = std::min(x + width, shared->width) - std::max(x, 0);
    height = std::min(y + height, shared->height) - std::max(y, 0);
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (width <= 0 || height <= 0) {
        return true;
    }
    AwaitServer(shared);  // a put still being read is let finish first
    XShmPutImage(shared->display, shared->target, shared->gc, shared->image, x, y, toX + x, toY + y,
                 static_cast<unsigned>(width), static_cast<unsigned>(height), True);
    XFlush(shared->display);
    shared->pending = true;
    return true;
}

void AwaitShared(SharedImages* shared) {
    if (shared != nullptr) {
        AwaitServer(shared);
    }
}

void DropShared(SharedImages** kept) {
    SharedImages* shared = *kept;
    if (shared == nullptr) {
        return;
    }
    AwaitServer(shared);
    XShmDetach(shared->display, &shared->segment);
    shared->image->data = nullptr;  // the segment's, not the image's to free
    XDestroyImage(shared->image);
    shmdt(shared->segment.shmaddr);
    XFreeGC(shared->display, shared->gc);
    delete shared;
    *kept = nullptr;
}

}  // namespace gtkside
