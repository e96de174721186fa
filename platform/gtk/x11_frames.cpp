// Two images take turns: once one is put, the caller writes the next frame
// into the other while the server still reads the last; an image is written
// again only once the server has said it is done with it (its completion
// event), so what it shows is always a whole frame. The images are made for
// the window's size and kept, so a frame allocates nothing.
#include "platform/gtk/x11_frames.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <new>

namespace {

// Set once the server has refused a request of the frames' connection.
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

struct X11Frames {
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

void ReleaseImage(X11Frames* frames, int which) {
    XImage* image = frames->images[which];
    if (image == nullptr) {
        return;
    }
    x11frames::Await(frames, which);
    XShmDetach(frames->display, &frames->segments[which]);
    image->data = nullptr;  // the segment's, not the image's to free
    XDestroyImage(image);
    shmdt(frames->segments[which].shmaddr);
    frames->images[which] = nullptr;
}

// Makes image `which` of the frames' size in memory both sides share.
bool MakeImage(X11Frames* frames, Visual* visual, int which) {
    XShmSegmentInfo& segment = frames->segments[which];
    XImage* image = XShmCreateImage(frames->display, visual, 24, ZPixmap, nullptr, &segment,
                                    static_cast<unsigned>(frames->width), static_cast<unsigned>(frames->height));
    // 32-bit words, blue in the lowest byte, in rows of the frames' width.
    const bool fits = image != nullptr && image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                      image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF &&
                      image->bytes_per_line == 4 * frames->width;
    segment.shmid =
        fits ? shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * frames->height, IPC_CREAT | 0600)
             : -1;
    void* memory = segment.shmid >= 0 ? shmat(segment.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
    bool attached = memory != reinterpret_cast<void*>(-1);
    if (attached) {
        segment.shmaddr = static_cast<char*>(memory);
        segment.readOnly = False;
        XShmAttach(frames->display, &segment);
        XSync(frames->display, False);
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
    frames->images[which] = image;
    frames->pending[which] = false;
    return true;
}

}  // namespace

namespace x11frames {

bool Share(Display* display) {
    int major = 0;
    int minor = 0;
    Bool pixmaps = False;
    if (display == nullptr || !XShmQueryVersion(display, &major, &minor, &pixmaps)) {
        return false;
    }
    // The handler is the process's: others go on serving their connections.
    framesConnection = display;
    otherHandler = XSetErrorHandler(OnError);
    return true;
}

X11Frames* Make(Display* display, Visual* visual, int width, int height) {
    auto* frames = display == framesConnection && !refused ? new (std::nothrow) X11Frames{} : nullptr;
    if (frames == nullptr) {
        return nullptr;
    }
    frames->display = display;
    frames->width = width;
    frames->height = height;
    frames->completion = XShmGetEventBase(display) + ShmCompletion;
    if (!MakeImage(frames, visual, 0) || !MakeImage(frames, visual, 1)) {
        ReleaseImage(frames, 0);
        delete frames;
        refused = true;
        return nullptr;
    }
    return frames;
}

std::uint32_t* Pixels(X11Frames* frames, int which) {
    return reinterpret_cast<std::uint32_t*>(frames->images[which]->data);
}

int ImageOf(const X11Frames* frames, const std::uint32_t* pixels) {
    for (int which = 0; which < 2; ++which) {
        if (reinterpret_cast<const std::uint32_t*>(frames->images[which]->data) == pixels) {
            return which;
        }
    }
    return -1;
}

bool Put(X11Frames* frames, int which, ::Window target, int toX, int toY) {
    if (refused) {
        return false;
    }
    if (frames->gc == nullptr || frames->target != target) {
        if (frames->gc != nullptr) {
            XFreeGC(frames->display, frames->gc);
        }
        frames->target = target;
        frames->gc = XCreateGC(frames->display, target, 0, nullptr);
    }
    XShmPutImage(frames->display, target, frames->gc, frames->images[which], 0, 0, toX, toY,
                 static_cast<unsigned>(frames->width), static_cast<unsigned>(frames->height), True);
    XFlush(frames->display);
    frames->pending[which] = true;
    return true;
}

bool Refused() { return refused; }

// Its completion is there, or comes before the answer to a round trip, by
// which the server has carried out every request before it. A put the
// server refused has none.
void Await(X11Frames* frames, int which) {
    if (!frames->pending[which]) {
        return;
    }
    Awaited awaited{frames->completion, frames->segments[which].shmseg};
    XEvent event;
    if (!XCheckIfEvent(frames->display, &event, IsCompletionOf, reinterpret_cast<XPointer>(&awaited))) {
        XSync(frames->display, False);
        XCheckIfEvent(frames->display, &event, IsCompletionOf, reinterpret_cast<XPointer>(&awaited));
    }
    frames->pending[which] = false;
}

void Drop(X11Frames** kept) {
    X11Frames* frames = *kept;
    if (frames == nullptr) {
        return;
    }
    ReleaseImage(frames, 0);
    ReleaseImage(frames, 1);
    if (frames->gc != nullptr) {
        XFreeGC(frames->display, frames->gc);
    }
    delete frames;
    *kept = nullptr;
}

}  // namespace x11frames
