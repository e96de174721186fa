// A window's frames on X11 (x11_frames.cpp): its pixels live in the two
// images shared with the X server (the Windows model converts each frame
// straight into one), each frame is one request putting it into the window,
// with no pixels going through the connection; once one is put, the model
// is turned to the other (winmodel::TurnPixels). A frame that rewrites every
// pixel (the program's are such) is never copied from one image to the
// other. A display that cannot share memory with this process (a remote one)
// is told once, and the pixels then stay in the model's own memory.
//
// The frames go through a connection to the display of their own: GTK reads
// every event of its own connection, and would take the completions away.
#include <gdk/gdkx.h>

#include "platform/gtk/gtk_internal.h"
#include "platform/gtk/x11_frames.h"

namespace {

// The frames' own connection, to the display GTK's connection `shown` is to;
// null when it cannot be had or the server shares no memory with us.
Display* FramesConnection(Display* shown) {
    static bool tried = false;
    static Display* connection = nullptr;
    if (!tried) {
        tried = true;
        connection = XOpenDisplay(DisplayString(shown));
        if (connection != nullptr && !x11frames::Share(connection)) {
            XCloseDisplay(connection);
            connection = nullptr;
        }
    }
    return connection;
}

}  // namespace

namespace gtkside {

std::uint32_t* MakeShared(X11Frames** kept, GdkWindow* content, int width, int height) {
    x11frames::Drop(kept);
    Display* display = FramesConnection(GDK_WINDOW_XDISPLAY(content));
    *kept = display != nullptr
                ? x11frames::Make(display, GDK_VISUAL_XVISUAL(gdk_window_get_visual(content)), width, height)
                : nullptr;
    return *kept != nullptr ? x11frames::Pixels(*kept, 0) : nullptr;
}

bool PresentShared(HWND window, X11Frames* frames, GdkWindow* content, int toX, int toY) {
    if (frames == nullptr || x11frames::Refused()) {
        return false;
    }
    if (window->pixels.newer != nullptr) {
        return true;  // nothing written since the last frame was put
    }
    const int which = x11frames::ImageOf(frames, window->pixels.data());
    // The whole image, whatever the rectangle asked for: the other image,
    // which the next frame goes into, may lack more than that rectangle.
    if (which < 0 || !x11frames::Put(frames, which, GDK_WINDOW_XID(content), toX, toY)) {
        return false;
    }
    winmodel::TurnPixels(window, x11frames::Pixels(frames, 1 - which));
    return true;
}

void AwaitShared(X11Frames* frames, const std::uint32_t* pixels) {
    const int which = frames != nullptr ? x11frames::ImageOf(frames, pixels) : -1;
    if (which >= 0) {
        x11frames::Await(frames, which);
    }
}

}  // namespace gtkside
