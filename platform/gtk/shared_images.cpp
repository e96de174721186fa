// Frames through the X server's shared memory (MIT-SHM): a window's pixels
// live in images the server reads in place (the Windows model converts each
// frame straight into one), and each frame is one request putting it into
// the window, with no pixels going through the connection.
//
// Two images take turns: once one is put, the model is turned to the other
// (winmodel::TurnPixels), so the program steps and writes the next frame
// while the server still reads the last; an image is written again only
// once the server has said it is done with it (its completion event), so
// what it shows is always a whole frame. A frame that rewrites every pixel
// (the program's are such) is never copied from one image to the other.
// The images are made for the window's size and kept, so a frame allocates
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
    XShmSegmentInfo segments[2];
    XImage* images[2];
    bool pending[2];
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
    shared->images[which] = image;
    shared->pending[which] = false;
    return true;
}

// The image the pixels are in; -1 for neither.
int ImageOf(const SharedImages* shared, const std::uint32_t* pixels) {
    for (int which = 0; which < 2; ++which) {
        if (reinterpret_cast<const std::uint32_t*>(shared->images[which]->data) == pixels) {
            return which;
        }
    }
    return -1;
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
    Visual* visual = GDK_VISUAL_XVISUAL(gdk_window_get_visual(content));
    if (!MakeImage(shared, visual, 0) || !MakeImage(shared, visual, 1)) {
        ReleaseImage(shared, 0);
        delete shared;
        refused = true;
        return nullptr;
    }
    shared->target = GDK_WINDOW_XID(content);
    shared->gc = XCreateGC(display, shared->target, 0, nullptr);
    *kept = shared;
    return reinterpret_cast<std::uint32_t*>(shared->images[0]->data);
}

bool PresentShared(HWND window, SharedImages* shared, int toX, int toY) {
    if (shared == nullptr || refused) {
        return false;
    }
    if (window->pixels.newer != nullptr) {
        return true;  // nothing written since the last frame was put
    }
    const int which = ImageOf(shared, window->pixels.data());
    if (which < 0) {
        return false;
    }
    // The whole image, whatever the rectangle asked for: the other image,
    // which the next frame goes into, may lack more than that rectangle.
    XShmPutImage(shared->display, shared->target, shared->gc, shared->images[which], 0, 0, toX, toY,
                 static_cast<unsigned>(shared->width), static_cast<unsigned>(shared->height), True);
    XFlush(shared->display);
    shared->pending[which] = true;
    winmodel::TurnPixels(window, reinterpret_cast<std::uint32_t*>(shared->images[1 - which]->data));
    return true;
}

void AwaitShared(SharedImages* shared, const std::uint32_t* pixels) {
    const int which = shared != nullptr ? ImageOf(shared, pixels) : -1;
    if (which >= 0) {
        AwaitServer(shared, which);
    }
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
