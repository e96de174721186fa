// mottle-yardstick WIDTH HEIGHT
//
// The least a program can do to show a new 24-bit frame of WIDTH x HEIGHT in
// an X window, as the yardstick the programs' frames are measured against:
// frame after frame, the rows of a bottom-up 24-bit picture (the layout the
// program holds its picture in) are turned into the window's 32-bit pixels by
// a plain loop, written straight into an image the X server shares (MIT-SHM),
// put into the window, and the server's word that it has taken them is
// waited for before the next frame. Two pictures take turns, so that every
// frame is new. It runs until its window is closed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: mottle-yardstick WIDTH HEIGHT\n");
    return 2;
}

// A bottom-up 24-bit picture of the given size, its colours from `seed`.
std::vector<std::uint8_t> MakePicture(int width, int height, int seed) {
    const std::size_t stride = 3 * static_cast<std::size_t>(width) + width % 4;
    std::vector<std::uint8_t> bits(stride * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = &bits[row * stride + 3 * static_cast<std::size_t>(x)];
            pixel[0] = static_cast<std::uint8_t>(x + seed);
            pixel[1] = static_cast<std::uint8_t>(row * 3 + seed);
            pixel[2] = static_cast<std::uint8_t>((x ^ row) + seed * 7);
        }
    }
    return bits;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return Usage();
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "mottle-yardstick: cannot open the display\n");
        return 1;
    }
    if (!XShmQueryExtension(display)) {
        std::fprintf(stderr, "mottle-yardstick: the X server offers no shared memory\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    XVisualInfo visual;
    if (!XMatchVisualInfo(display, screen, 24, TrueColor, &visual)) {
        std::fprintf(stderr, "mottle-yardstick: no 24-bit true-colour visual\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                              static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                              BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, "mottle-yardstick");
    // Its process id, by which the benchmark finds its window, as it finds
    // the programs' windows.
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    Atom closeRequest = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &closeRequest, 1);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    const GC gc = XCreateGC(display, window, 0, nullptr);

    XShmSegmentInfo segment{};
    XImage* image = XShmCreateImage(display, visual.visual, 24, ZPixmap, nullptr, &segment,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image == nullptr || image->bits_per_pixel != 32) {
        std::fprintf(stderr, "mottle-yardstick: no 32-bit shared image\n");
        return 1;
    }
    segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    if (segment.shmid < 0) {
        std::fprintf(stderr, "mottle-yardstick: no shared memory segment\n");
        return 1;
    }
    segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    segment.readOnly = False;
    XShmAttach(display, &segment);
    XSync(display, False);
    shmctl(segment.shmid, IPC_RMID, nullptr);  // gone once both sides let go
    const int completion = XShmGetEventBase(display) + ShmCompletion;

    const std::size_t stride = 3 * static_cast<std::size_t>(width) + width % 4;
    const std::vector<std::uint8_t> pictures[2] = {MakePicture(width, height, 0), MakePicture(width, height, 91)};
    bool mapped = false;
    for (unsigned long frame = 0;; ++frame) {
        // Events first: the map before the first frame, a close at any time.
        while (!mapped || XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify) {
                mapped = true;
            } else if (event.type == ClientMessage &&
                       static_cast<Atom>(event.xclient.data.l[0]) == closeRequest) {
                XShmDetach(display, &segment);
                XDestroyWindow(display, window);
                XCloseDisplay(display);
                shmdt(segment.shmaddr);
                return 0;
            }
        }
        const std::uint8_t* bits = pictures[frame % 2].data();
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* from = bits + static_cast<std::size_t>(height - 1 - y) * stride;
            auto* to = reinterpret_cast<std::uint32_t*>(image->data + static_cast<std::size_t>(y) * image->bytes_per_line);
            for (int x = 0; x < width; ++x) {
                to[x] = static_cast<std::uint32_t>(from[3 * x]) | static_cast<std::uint32_t>(from[3 * x + 1]) << 8 |
                        static_cast<std::uint32_t>(from[3 * x + 2]) << 16;
            }
        }
        XShmPutImage(display, window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
                     static_cast<unsigned>(height), True);
        // The image may be written again only once the server has read it.
        for (;;) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == completion) {
                break;
            }
            if (event.type == ClientMessage) {
                XPutBackEvent(display, &event);
                break;
            }
        }
    }
}
