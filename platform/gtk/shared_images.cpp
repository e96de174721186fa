// Frames through the X server's shared memory (MIT-SHM): a window's pixels
// are copied into an image the server reads in place and put into the
// window, one request a frame, with no pixels going through the connection.
//
// Two images take turns: a frame is written into one while the server may
// still be reading the other, so the program steps the next generation while
// the server shows the last; an image is written again only once the server
// has said it is done with it (its completion event), so what it shows is
// always a whole frame. They are made for the window's size and kept, so a
// frame allocates nothing. A display that cannot share memory with this
// process (a remote one) is told once and then drawn as before.
//
// The frames go through a connection to the display of their own: GTK reads
// every event of its own connection, and would take the completions away.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <gdk/gdkx.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>
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
    XShmSegmentInfo segments[2];
    XImage* images[2];
    bool pending[2];
    int next;
};

namespace {

// Waits until the server is done reading image `which`: its completion is
// there, or comes before the answer to a round trip, by which the server has
// carried out every request before it. A put the server refused has none.
void AwaitServer(SharedImages* shared, int which) {
    if (!shared->pending[which]) {
        return;
    }
    Awaited awaited{shared->completion, shared->segments[which].shmseg};
    XEvent event;
    if (!XCheckIfEvent(shared->display, &event, IsCompletionOf, reinterpret_cast<XPointer>(&awaited))) {
        XSync(shared->display, False);
        XCheckIfEvent(shared->display, &event, IsCompletionOf, reinterpret_cast<XPointer>(&awaited));
    }
    shared->pending[which] = false;
}

void ReleaseImage(SharedImages* shared, int which) {
    XImage* image = shared->images[which];
    if (image == nullptr) {
        return;
    }
    AwaitServer(shared, which);
    XShmDetach(shared->display, &shared->segments[which]);
    image->data = nullptr;  // the segment's, not the image's to free
    XDestroyImage(image);
    shmdt(shared->segments[which].shmaddr);
    shared->images[which] = nullptr;
}

// Makes image `which` of the window's size in memory both sides share.
bool MakeImage(SharedImages* shared, Visual* visual, int which) {
    XShmSegmentInfo& segment = shared->segments[which];
    XImage* image = XShmCreateImage(shared->display, visual, 24, ZPixmap, nullptr, &segment,
                                    static_cast<unsigned>(shared->width), static_cast<unsigned>(shared->height));
    // The window's pixels are 32-bit words, blue in the lowest byte: the
    // image must hold them the same way to take them as they are.
    const bool fits = image != nullptr && image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                      image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
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
    shared->images[which] = image;
    shared->pending[which] = false;
    return true;
}

}  // namespace

namespace gtkside {

bool PutShared(SharedImages** kept, GdkWindow* content, const std::uint32_t* pixels, int pixelWidth,
               int pixelHeight, int x, int y, int width, int height) {
    Display* display = refused ? nullptr : FramesConnection(GDK_WINDOW_XDISPLAY(content));
    if (display == nullptr) {
        return false;
    }
    SharedImages* shared = *kept;
    if (shared != nullptr && (shared->width != pixelWidth || shared->height != pixelHeight)) {
        DropShared(kept);
        shared = nullptr;
    }
    if (shared == nullptr) {
        shared = new (std::nothrow) SharedImages{};
        if (shared == nullptr) {
            return false;
        }
        shared->display = display;
        shared->width = pixelWidth;
        shared->height = pixelHeight;
        shared->completion = XShmGetEventBase(display) + ShmCompletion;
        Visual* visual = GDK_VISUAL_XVISUAL(gdk_window_get_visual(content));
        if (!MakeImage(shared, visual, 0) || !MakeImage(shared, visual, 1)) {
            ReleaseImage(shared, 0);
            delete shared;
            refused = true;
            return false;
        }
        shared->gc = XCreateGC(display, GDK_WINDOW_XID(content), 0, nullptr);
        *kept = shared;
    }
    // Only what lies inside the pixels kept.
    width = std::min(x + width, pixelWidth) - std::max(x, 0);
    height = std::min(y + height, pixelHeight) - std::max(y, 0);
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (width <= 0 || height <= 0) {
        return true;
    }
    const int which = shared->next;
    AwaitServer(shared, which);
    XImage* image = shared->images[which];
    for (int row = y; row < y + height; ++row) {
        std::memcpy(
            image->data + static_cast<std::size_t>(row) * image->bytes_per_line + 4 * static_cast<std::size_t>(x),
            pixels + static_cast<std::size_t>(row) * pixelWidth + x, 4 * static_cast<std::size_t>(width));
    }
    XShmPutImage(display, GDK_WINDOW_XID(content), shared->gc, image, x, y, x, y, static_cast<unsigned>(width),
                 static_cast<unsigned>(height), True);
    XFlush(display);
    shared->pending[which] = true;
    shared->next = 1 - which;
    return true;
}

void DropShared(SharedImages** kept) {
    SharedImages* shared = *kept;
    if (shared == nullptr) {
        return;
    }
    ReleaseImage(shared, 0);
    ReleaseImage(shared, 1);
    XFreeGC(shared->display, shared->gc);
    delete shared;
    *kept = nullptr;
}

}  // namespace gtkside
