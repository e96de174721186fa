// mottlescreen, the XScreenSaver hack: an X11 program on the engine. It draws
// in the window it is given (--window-id, --root, or XSCREENSAVER_WINDOW) or
// in a window of its own: it reads the screen under that window before it
// draws (or loads --picture), fits that to the window, then steps and
// presents, pausing --delay microseconds after every frame, until a signal
// (SIGTERM, SIGINT) or the window's end ends it with status 0. An unknown
// option or a bad number ends it with status 2, a window id that names no
// window with status 1.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "picture/diffusion.h"
#include "picture/random_source.h"
#include "platform/gtk/x11_frames.h"
#include "platform/winmodel/model.h"
#include "saver/arguments.h"
#include "saver/hack_screen.h"
#include "saver/source.h"

namespace {

constexpr int kCannotRun = 1;
constexpr int kBadArguments = 2;
constexpr char kWindowVariable[] = "XSCREENSAVER_WINDOW";
constexpr char kOwnCaption[] = "mottlescreen";
constexpr int kOwnWidth = 640;
constexpr int kOwnHeight = 480;
constexpr long kNanosecondsPerMicrosecond = 1000;
constexpr long kMicrosecondsPerSecond = 1000000;

volatile sig_atomic_t signalled = 0;
void OnSignal(int) { signalled = 1; }
int IgnoreError(Display*, XErrorEvent*) { return 0; }

// A window and its place on the root window.
struct Place {
    ::Window window = None;
    int x = 0, y = 0, width = 0, height = 0;
    Visual* visual = nullptr;
};

// The run's state, in one record.
struct Hack {
    Display* display = nullptr;
    Place place;
    ::Window saver = None;  // the window xscreensaver gave, when it exists
    bool own = false;       // a window of its own
    Atom deleteWindow = None;
    Picture picture;  // what dissolves, the window's size
    std::vector<std::uint8_t> screen;  // the screen under the window, as read
    X11Frames* frames = nullptr;
    int next = 0;  // the image of the frames the next frame goes into
    // Where the server shares no memory with this process: one image in ours.
    XImage* plain = nullptr;
    std::vector<std::uint32_t> plainPixels;
};
Hack hack;

bool Find(::Window window, Place* place) {
    XWindowAttributes attributes;
    ::Window child = None;
    const XErrorHandler previous = BeginErrorTrap(hack.display);
    const bool found = window != None && XGetWindowAttributes(hack.display, window, &attributes) != 0 &&
                       XTranslateCoordinates(hack.display, window, attributes.root, 0, 0, &place->x, &place->y,
                                             &child) != 0;
    if (!EndErrorTrap(hack.display, previous) || !found) {
        return false;
    }
    place->window = window;
    place->width = attributes.width;
    place->height = attributes.height;
    place->visual = attributes.visual;
    return true;
}

// The window to draw in, from the options and XSCREENSAVER_WINDOW (read here
// only): 0, or the status to end with. "The root window" is the virtual
// root, as X programs find it: xscreensaver covers the real one with its own.
int ChooseWindow(const HackArguments& arguments) {
    const char* variable = std::getenv(kWindowVariable);
    const bool given = variable != nullptr && variable[0] != '\0';
    std::uint64_t id = 0;
    const bool read = given && ParseWindowId(variable, &id);
    Place saver;
    if (read && Find(static_cast<::Window>(id), &saver)) {
        hack.saver = saver.window;
    }
    switch (arguments.target) {
        case HackTarget::WindowId:
            return Find(static_cast<::Window>(arguments.windowId), &hack.place) ? 0 : kCannotRun;
        case HackTarget::Root:
            return Find(hack.saver != None ? hack.saver : DefaultRootWindow(hack.display), &hack.place) ? 0
                                                                                                    : kCannotRun;
        case HackTarget::Environment:
            break;
    }
    if (!given) {
        // Centred on the screen; made once the screen there is read.
        const int screen = DefaultScreen(hack.display);
        hack.own = true;
        hack.place = Place{None, (DisplayWidth(hack.display, screen) - kOwnWidth) / 2,
                           (DisplayHeight(hack.display, screen) - kOwnHeight) / 2, kOwnWidth, kOwnHeight,
                           DefaultVisual(hack.display, screen)};
        return 0;
    }
    return !read ? kBadArguments : hack.saver != None && Find(hack.saver, &hack.place) ? 0 : kCannotRun;
}

bool CaptureUnderWindow(Source* source) {
    const Place& place = hack.place;
    if (!ReadScreenArea(hack.display, hack.saver, place.x, place.y, place.width, place.height, &hack.screen)) {
        return false;
    }
    source->image = SourceImage{hack.screen.data(), place.width, place.height};
    return true;
}

void MakeOwnWindow() {
    const int screen = DefaultScreen(hack.display);
    Place& place = hack.place;
    place.window = XCreateSimpleWindow(hack.display, RootWindow(hack.display, screen), place.x, place.y,
                                       static_cast<unsigned>(place.width), static_cast<unsigned>(place.height), 0,
                                       BlackPixel(hack.display, screen), BlackPixel(hack.display, screen));
    XStoreName(hack.display, place.window, kOwnCaption);
    hack.deleteWindow = XInternAtom(hack.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(hack.display, place.window, &hack.deleteWindow, 1);
    XMapWindow(hack.display, place.window);
}

void DropImages() {
    x11frames::Drop(&hack.frames);
    if (hack.plain != nullptr) {
        hack.plain->data = nullptr;  // the vector's, not the image's to free
        XDestroyImage(hack.plain);
        hack.plain = nullptr;
    }
}

// The images frames go into, of the picture's size: shared with the server,
// else one of the process's own.
bool MakeImages() {
    DropImages();
    const int width = hack.picture.width;
    const int height = hack.picture.height;
    hack.frames = x11frames::Make(hack.display, hack.place.visual, width, height);
    hack.next = 0;
    if (hack.frames != nullptr) {
        return true;
    }
    hack.plainPixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    hack.plain = XCreateImage(hack.display, hack.place.visual, 24, ZPixmap, 0,
                              reinterpret_cast<char*>(hack.plainPixels.data()), static_cast<unsigned>(width),
                              static_cast<unsigned>(height), 32, 4 * width);
    if (hack.plain != nullptr && hack.plain->bits_per_pixel != 32) {
        DropImages();  // a layout the words do not fit
    }
    if (hack.plain == nullptr) {
        return false;
    }
    hack.plain->byte_order = LSBFirst;  // the words as this machine writes them
    return true;
}

// The picture's 24-bit rows (bottom-up) as 0x00RRGGBB words, rows from the top.
void ConvertPicture(const Picture& picture, std::uint32_t* out) {
    const std::uint64_t stride = RowStride(picture.width);
    for (std::int32_t row = 0; row < picture.height; ++row) {
        const std::uint8_t* from = picture.bits + (picture.height - 1 - row) * stride;
        std::uint32_t* to = out + static_cast<std::size_t>(row) * static_cast<std::size_t>(picture.width);
        winmodel::RowToWindow(from, 3, to, picture.width, 0);
    }
}

void Present() {
    if (hack.frames != nullptr) {
        x11frames::Await(hack.frames, hack.next);
        ConvertPicture(hack.picture, x11frames::Pixels(hack.frames, hack.next));
        if (x11frames::Put(hack.frames, hack.next, hack.place.window, 0, 0)) {
            hack.next = 1 - hack.next;
            return;
        }
        MakeImages();  // refused: an image of our own from now on
    }
    if (hack.plain == nullptr) {
        return;
    }
    ConvertPicture(hack.picture, hack.plainPixels.data());
    XPutImage(hack.display, hack.place.window, DefaultGC(hack.display, DefaultScreen(hack.display)), hack.plain, 0, 0,
              0, 0, static_cast<unsigned>(hack.picture.width), static_cast<unsigned>(hack.picture.height));
    XFlush(hack.display);
}

// The window took another size (XScreenSaver's reshape): what has dissolved
// so far, fitted to it.
bool Reshape(int width, int height) {
    Picture fitted;
    const SourceImage now{hack.picture.bits, hack.picture.width, hack.picture.height};
    if (!FitPicture(now, width, height, &fitted)) {
        return false;
    }
    DropImages();
    ReleasePicture(&hack.picture);
    hack.picture = fitted;
    hack.place.width = width;
    hack.place.height = height;
    return MakeImages();
}

Bool IsWindowEvent(Display*, XEvent* event, XPointer) {
    return event->type == DestroyNotify || event->type == ConfigureNotify || event->type == ClientMessage;
}

// The window's events: false once it has gone, or been closed.
bool TakeEvents() {
    XEvent event;
    while (XCheckIfEvent(hack.display, &event, IsWindowEvent, nullptr)) {
        if (event.type == DestroyNotify && event.xdestroywindow.window == hack.place.window) {
            return false;
        }
        if (event.type == ClientMessage && event.xclient.window == hack.place.window &&
            static_cast<Atom>(event.xclient.data.l[0]) == hack.deleteWindow) {
            return false;
        }
        const XConfigureEvent& configure = event.xconfigure;
        if (event.type == ConfigureNotify && configure.window == hack.place.window &&
            (configure.width != hack.picture.width || configure.height != hack.picture.height) &&
            !Reshape(configure.width, configure.height)) {
            return false;
        }
    }
    return true;
}

void Pause(std::uint32_t microseconds) {
    if (microseconds == 0) {
        return;
    }
    timespec pause{static_cast<time_t>(microseconds / kMicrosecondsPerSecond),
                   static_cast<long>(microseconds % kMicrosecondsPerSecond) * kNanosecondsPerMicrosecond};
    nanosleep(&pause, nullptr);  // a signal cuts it short
}

// The screen or the picture, fitted to the window, and the window shown.
bool Prepare(const HackArguments& arguments) {
    SourceOrder order;
    order.preferred = arguments.picture.empty() ? nullptr : arguments.picture.c_str();
    Source source;
    if (!ObtainSource(order, CaptureUnderWindow, &source)) {
        return false;
    }
    const bool fitted = FitPicture(source.image, hack.place.width, hack.place.height, &hack.picture);
    ReleaseSource(&source);
    hack.screen = std::vector<std::uint8_t>();
    if (!fitted) {
        return false;
    }
    if (hack.own) {
        MakeOwnWindow();
    }
    XSelectInput(hack.display, hack.place.window, StructureNotifyMask);
    x11frames::Share(hack.display);
    return MakeImages();
}

}  // namespace

int main(int argc, char** argv) {
    HackArguments arguments;
    if (!ParseHackArguments(argc - 1, argv + 1, &arguments)) {
        std::fprintf(stderr, "usage: %s [--window-id ID | --root] [--picture FILE] [--delay MICROSECONDS]\n",
                     argc > 0 ? argv[0] : kOwnCaption);
        return kBadArguments;
    }
    hack.display = XOpenDisplay(nullptr);
    if (hack.display == nullptr) {
        std::fprintf(stderr, "%s: cannot open the display\n", argc > 0 ? argv[0] : kOwnCaption);
        return kCannotRun;
    }
    XSetErrorHandler(IgnoreError);  // a window that goes ends the run, not the process
    const int chosen = ChooseWindow(arguments);
    if (chosen != 0) {
        XCloseDisplay(hack.display);
        return chosen;
    }
    struct sigaction ending {};
    ending.sa_handler = OnSignal;
    sigaction(SIGTERM, &ending, nullptr);
    sigaction(SIGINT, &ending, nullptr);
    SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
    const bool prepared = Prepare(arguments);
    while (prepared && !signalled && TakeEvents()) {
        StepPicture(&hack.picture);
        Present();
        Pause(arguments.delayMicroseconds);
    }
    DropImages();
    if (hack.picture.info != nullptr) {
        ReleasePicture(&hack.picture);
    }
    if (hack.own && hack.place.window != None) {
        XDestroyWindow(hack.display, hack.place.window);
    }
    XCloseDisplay(hack.display);
    return prepared ? 0 : kCannotRun;
}
