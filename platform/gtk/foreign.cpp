// GTK side of what a screensaver needs of the system, on X11: other
// programs' windows (named by their X window ids, as another process's HWND
// is on Windows), the screen's root window, the screen's pixels, the cursor
// over the program's windows, and child windows inside a foreign window or
// one of the program's own.
//
// A foreign window may go at any moment (xscreensaver destroys its window
// when it unblanks): every request that names one, or a child inside one,
// goes through GDK's error trap, since GDK's own handler ends the program on
// an error it did not expect.
//
// Child windows are plain X windows with no frame (override-redirect, so that
// a window manager leaves a child of the root window alone); GDK knows them
// through a foreign-window wrapper, which is all the shared-memory frames
// need. They take no input: a saver inside another window ends when its
// parent goes, not on input.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "platform/gtk/gtk_internal.h"

namespace {

// X resource ids have 29 bits; any other number names no window.
constexpr unsigned long kLargestWindowId = 0x1FFFFFFFUL;

struct ChildWindow {
    ::Window id;
    GdkWindow* wrapper;       // GDK's view of it, for the shared-memory frames
    SharedImages* shared;
    cairo_surface_t* screen;  // where memory is not shared
};

std::unordered_map<HWND, ChildWindow> children;
// Foreign windows with children of ours, and their sizes as the server last
// told: the saver asks after its parent on every idle pass, and a round trip
// to the server each time would wait for the frame the server is still
// taking in, which the frames are made not to wait for.
struct WatchedParent {
    ::Window id;
    int width, height;
};
std::vector<WatchedParent> watchedParents;

std::vector<WatchedParent>::iterator FindWatched(::Window id) {
    return std::find_if(watchedParents.begin(), watchedParents.end(),
                        [id](const WatchedParent& watched) { return watched.id == id; });
}
bool cursorHidden = false;

GdkDisplay* X11Display() {
    GdkDisplay* display = gdk_display_get_default();
    return display != nullptr && GDK_IS_X11_DISPLAY(display) ? display : nullptr;
}

bool ForeignId(HWND window, ::Window* id) {
    const auto value = reinterpret_cast<std::uintptr_t>(window);
    *id = static_cast<::Window>(value);
    return value != 0 && value <= kLargestWindowId;
}

HWND AsHandle(::Window id) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id)); }

// The window a program started by xscreensaver is given, when it still exists.
bool SaverWindow(GdkDisplay* display, ::Window* id) {
    unsigned long value = 0;
    XWindowAttributes attributes;
    if (!gtkside::ParseWindowId(std::getenv("XSCREENSAVER_WINDOW"), &value)) {
        return false;
    }
    gdk_x11_display_error_trap_push(display);
    const Status found = XGetWindowAttributes(GDK_DISPLAY_XDISPLAY(display), value, &attributes);
    const bool failed = gdk_x11_display_error_trap_pop(display) != 0;
    *id = value;
    return found != 0 && !failed;
}

// The screenshot xscreensaver keeps of the screen it covered: a pixmap named
// by the _SCREENSAVER_SCREENSHOT property of the window it gives the program.
bool Screenshot(GdkDisplay* display, Drawable* pixmap) {
    ::Window saver;
    if (!SaverWindow(display, &saver)) {
        return false;
    }
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    gdk_x11_display_error_trap_push(display);
    const bool read = XGetWindowProperty(x, saver, XInternAtom(x, "_SCREENSAVER_SCREENSHOT", False), 0, 1, False,
                                         XA_PIXMAP, &type, &format, &count, &after, &data) == Success;
    gdk_x11_display_error_trap_pop_ignored(display);
    // Format 32 properties come as longs, whatever their size on the wire.
    const bool found = read && data != nullptr && type == XA_PIXMAP && format == 32 && count == 1;
    *pixmap = found ? static_cast<Drawable>(*reinterpret_cast<const unsigned long*>(data)) : None;
    if (data != nullptr) {
        XFree(data);
    }
    return found && *pixmap != None;
}

// Reads a rectangle of `source` into `pixels` (rows of `width`), black where
// the drawable has no pixels; false when it cannot be read.
bool ReadDrawable(GdkDisplay* display, Drawable source, int x, int y, int width, int height,
                  std::uint32_t* pixels) {
    Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
    ::Window root;
    int at = 0;
    unsigned int sourceWidth = 0;
    unsigned int sourceHeight = 0;
    unsigned int border = 0;
    unsigned int depth = 0;
    gdk_x11_display_error_trap_push(display);
    const Status known = XGetGeometry(xdisplay, source, &root, &at, &at, &sourceWidth, &sourceHeight, &border, &depth);
    gdk_x11_display_error_trap_pop_ignored(display);
    if (known == 0) {
        return false;
    }
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + width, sourceWidth);
    const long long bottom = std::min<long long>(static_cast<long long>(y) + height, sourceHeight);
    std::fill_n(pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    if (right <= left || bottom <= top) {
        return true;  // all outside: black
    }
    gdk_x11_display_error_trap_push(display);
    XImage* image = XGetImage(xdisplay, source, static_cast<int>(left), static_cast<int>(top),
                              static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top), AllPlanes,
                              ZPixmap);
    const bool failed = gdk_x11_display_error_trap_pop(display) != 0;
    if (image == nullptr || failed) {
        if (image != nullptr) {
            XDestroyImage(image);
        }
        return false;
    }
    // A pixmap's image has no visual, so no colour masks: a pixmap of the
    // screen's depth holds its pixels as the screen's visual does.
    Visual* visual = DefaultVisual(xdisplay, DefaultScreen(xdisplay));
    const bool ownMasks = image->red_mask != 0 && image->green_mask != 0 && image->blue_mask != 0;
    gtkside::PixelLayout layout{image->bits_per_pixel, image->byte_order == MSBFirst,
                                ownMasks ? image->red_mask : visual->red_mask,
                                ownMasks ? image->green_mask : visual->green_mask,
                                ownMasks ? image->blue_mask : visual->blue_mask, image->bytes_per_line};
    const bool converted =
        (ownMasks || image->depth == DefaultDepth(xdisplay, DefaultScreen(xdisplay))) &&
        gtkside::ConvertRows(layout, reinterpret_cast<const unsigned char*>(image->data), image->width, image->height,
                             pixels + (top - y) * width + (left - x), width);
    XDestroyImage(image);
    return converted;
}

GdkCursor* BlankCursor(GdkDisplay* display) {
    static GdkCursor* blank = nullptr;
    if (blank == nullptr) {
        blank = gdk_cursor_new_for_display(display, GDK_BLANK_CURSOR);
    }
    return blank;
}

void ShowCursorOver(GdkDisplay* display, const ChildWindow& child) {
    gdk_x11_display_error_trap_push(display);
    if (cursorHidden) {
        XDefineCursor(GDK_DISPLAY_XDISPLAY(display), child.id, gdk_x11_cursor_get_xcursor(BlankCursor(display)));
    } else {
        XUndefineCursor(GDK_DISPLAY_XDISPLAY(display), child.id);
    }
    gdk_x11_display_error_trap_pop_ignored(display);
}

// The X window a child goes into: a foreign window that exists, a child
// window of the program, or the content of one of its top-level windows.
bool ParentId(HWND parent, ::Window* id) {
    if (!winmodel::IsLive(parent)) {
        int width = 0;
        int height = 0;
        return winmodel::backend::ForeignWindowSize(parent, &width, &height) && ForeignId(parent, id);
    }
    const auto child = children.find(parent);
    if (child != children.end()) {
        *id = child->second.id;
        return true;
    }
    GtkWindow* owner = gtkside::OwnerWidget(parent);
    if (owner == nullptr) {
        return false;
    }
    gtk_widget_realize(GTK_WIDGET(owner));
    GdkWindow* content = gtk_widget_get_window(GTK_WIDGET(owner));
    if (content == nullptr || !GDK_IS_X11_WINDOW(content)) {
        return false;
    }
    *id = GDK_WINDOW_XID(content);
    return true;
}

// A foreign parent that goes takes our windows inside it along, as Windows
// destroys a window's children with it: the model is told, and sends them
// WM_DESTROY.
GdkFilterReturn OnXEvent(GdkXEvent* native, GdkEvent*, gpointer) {
    const XEvent* event = static_cast<const XEvent*>(native);
    if (event->type == DestroyNotify) {
        const ::Window gone = event->xdestroywindow.window;
        const auto watched = FindWatched(gone);
        if (watched != watchedParents.end()) {
            watchedParents.erase(watched);
            winmodel::ForeignWindowGone(AsHandle(gone));
        }
    } else if (event->type == ConfigureNotify) {
        const auto watched = FindWatched(event->xconfigure.window);
        if (watched != watchedParents.end()) {
            watched->width = event->xconfigure.width;
            watched->height = event->xconfigure.height;
        }
    }
    return GDK_FILTER_CONTINUE;
}

// Asks the server to tell when a foreign parent is destroyed, keeping what
// this connection already asked of it (GDK's own, on the root window).
void WatchParent(GdkDisplay* display, ::Window parent) {
    static bool filtering = false;
    if (!filtering) {
        filtering = true;
        gdk_window_add_filter(nullptr, OnXEvent, nullptr);
    }
    if (FindWatched(parent) != watchedParents.end()) {
        return;
    }
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    XWindowAttributes attributes;
    gdk_x11_display_error_trap_push(display);
    const Status found = XGetWindowAttributes(x, parent, &attributes);
    if (found != 0) {
        XSelectInput(x, parent, attributes.your_event_mask | StructureNotifyMask);
    }
    // Once the selection is in, the server tells every change and the end.
    if (gdk_x11_display_error_trap_pop(display) == 0 && found != 0) {
        watchedParents.push_back(WatchedParent{parent, attributes.width, attributes.height});
    }
}

int ChildSide(int size) { return static_cast<int>(std::clamp<long long>(size, 1, winmodel::backend::kLargestBitmapSide)); }

}  // namespace

namespace gtkside {

bool ParseWindowId(const char* text, unsigned long* id) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const unsigned base = hex ? 16 : 10;
    const char* digit = hex ? text + 2 : text;
    if (*digit == '\0') {
        return false;
    }
    unsigned long long value = 0;
    for (; *digit != '\0'; ++digit) {
        const char c = *digit;
        unsigned figure = 0;
        if (c >= '0' && c <= '9') {
            figure = static_cast<unsigned>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            figure = static_cast<unsigned>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            figure = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        value = value * base + figure;
        if (value > kLargestWindowId) {
            return false;
        }
    }
    *id = static_cast<unsigned long>(value);
    return value != 0;
}

bool ConvertRows(const PixelLayout& layout, const unsigned char* data, int width, int height, std::uint32_t* out,
                 int outStride) {
    const int bytes = layout.bitsPerPixel / 8;
    const unsigned long masks[3] = {layout.redMask, layout.greenMask, layout.blueMask};
    if ((bytes != 2 && bytes != 3 && bytes != 4) || layout.bitsPerPixel % 8 != 0 || width < 0 || height < 0 ||
        outStride < width || static_cast<long long>(layout.bytesPerLine) < static_cast<long long>(width) * bytes) {
        return false;
    }
    int shifts[3];
    unsigned long widest[3];
    for (int channel = 0; channel < 3; ++channel) {
        const unsigned long mask = masks[channel] & 0xFFFFFFFFUL;
        if (mask == 0 || (bytes < 4 && (mask >> (8 * bytes)) != 0)) {
            return false;
        }
        shifts[channel] = __builtin_ctzl(mask);
        widest[channel] = mask >> shifts[channel];
        if ((widest[channel] & (widest[channel] + 1)) != 0) {
            return false;  // not one run of bits
        }
    }
    for (int row = 0; row < height; ++row) {
        const unsigned char* in = data + static_cast<std::size_t>(row) * static_cast<std::size_t>(layout.bytesPerLine);
        std::uint32_t* to = out + static_cast<std::size_t>(row) * static_cast<std::size_t>(outStride);
        for (int column = 0; column < width; ++column, in += bytes) {
            unsigned long value = 0;
            for (int b = 0; b < bytes; ++b) {
                const int significance = layout.mostSignificantFirst ? bytes - 1 - b : b;
                value |= static_cast<unsigned long>(in[b]) << (8 * significance);
            }
            std::uint32_t pixel = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const unsigned long level = (value & masks[channel]) >> shifts[channel];
                // To 8 bits: a narrower channel's full scale becomes 255.
                const unsigned long eight =
                    widest[channel] >= 255 ? level >> (__builtin_popcountl(widest[channel]) - 8)
                                           : (level * 255 + widest[channel] / 2) / widest[channel];
                pixel = pixel << 8 | static_cast<std::uint32_t>(eight);
            }
            to[column] = pixel;
        }
    }
    return true;
}

bool IsChildWindow(HWND window) { return children.count(window) != 0; }

SharedImages** ChildShared(HWND window, GdkWindow** content) {
    const auto child = children.find(window);
    *content = child != children.end() ? child->second.wrapper : nullptr;
    return child != children.end() ? &child->second.shared : nullptr;
}

bool CreateChildWindow(HWND window, const CREATESTRUCTA& asked) {
    GdkDisplay* display = X11Display();
    ::Window parent;
    if (display == nullptr || !ParentId(asked.hwndParent, &parent)) {
        return false;
    }
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    const int screen = DefaultScreen(x);
    const int width = ChildSide(asked.cx);
    const int height = ChildSide(asked.cy);
    // The screen's own visual, which the shared-memory frames are made for;
    // its colour map is given, since the parent's visual may differ.
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(x, screen);
    attributes.border_pixel = BlackPixel(x, screen);
    attributes.colormap = DefaultColormap(x, screen);
    attributes.override_redirect = True;
    gdk_x11_display_error_trap_push(display);
    const ::Window id = XCreateWindow(x, parent, asked.x, asked.y, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, DefaultDepth(x, screen), InputOutput,
                                      DefaultVisual(x, screen),
                                      CWBackPixel | CWBorderPixel | CWColormap | CWOverrideRedirect, &attributes);
    if (gdk_x11_display_error_trap_pop(display) != 0) {
        return false;
    }
    GdkWindow* wrapper = gdk_x11_window_foreign_new_for_display(display, id);
    if (wrapper == nullptr) {
        gdk_x11_display_error_trap_push(display);
        XDestroyWindow(x, id);
        gdk_x11_display_error_trap_pop_ignored(display);
        return false;
    }
    if (!winmodel::IsLive(asked.hwndParent)) {
        WatchParent(display, parent);
    }
    children[window] = ChildWindow{id, wrapper, nullptr, nullptr};
    ShowCursorOver(display, children[window]);
    window->rect = RECT{asked.x, asked.y, asked.x + width, asked.y + height};
    winmodel::SetClientSize(window, width, height, width, height);
    return true;
}

// Mapped before the first frame: the frames go through a connection of
// their own, which could otherwise overtake the map.
void ShowChildWindow(HWND window) {
    GdkDisplay* display = X11Display();
    gdk_x11_display_error_trap_push(display);
    XMapWindow(GDK_DISPLAY_XDISPLAY(display), children.at(window).id);
    XSync(GDK_DISPLAY_XDISPLAY(display), False);
    gdk_x11_display_error_trap_pop_ignored(display);
}

void PlaceChildWindow(HWND window, int x, int y, int width, int height) {
    width = ChildSide(width);
    height = ChildSide(height);
    window->rect = RECT{x, y, x + width, y + height};
    if (winmodel::SetClientSize(window, width, height, width, height)) {
        winmodel::Invalidate(window);
    }
    GdkDisplay* display = X11Display();
    gdk_x11_display_error_trap_push(display);
    XMoveResizeWindow(GDK_DISPLAY_XDISPLAY(display), children.at(window).id, x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    gdk_x11_display_error_trap_pop_ignored(display);
}

void DestroyChildWindow(HWND window) {
    ChildWindow child = children.at(window);
    children.erase(window);
    DropShared(&child.shared);
    if (child.screen != nullptr) {
        cairo_surface_destroy(child.screen);
    }
    // Gone already when its parent went. Destroying the wrapper tells GDK,
    // and gives back the reference it came with.
    GdkDisplay* display = X11Display();
    gdk_x11_display_error_trap_push(display);
    XDestroyWindow(GDK_DISPLAY_XDISPLAY(display), child.id);
    gdk_window_destroy(child.wrapper);
    gdk_x11_display_error_trap_pop_ignored(display);
}

void PresentChild(HWND window, int x, int y, int width, int height) {
    ChildWindow& child = children.at(window);
    if (PresentShared(window, child.shared, 0, 0)) {
        return;
    }
    winmodel::SettlePixels(window);
    GdkDisplay* display = X11Display();
    Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
    gdk_x11_display_error_trap_push(display);
    if (child.screen == nullptr) {
        child.screen = cairo_xlib_surface_create(xdisplay, child.id, DefaultVisual(xdisplay, DefaultScreen(xdisplay)),
                                                 window->pixelWidth, window->pixelHeight);
    } else {
        cairo_xlib_surface_set_size(child.screen, window->pixelWidth, window->pixelHeight);
    }
    cairo_surface_t* pixels =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(window->pixels.data()), CAIRO_FORMAT_RGB24,
                                            window->pixelWidth, window->pixelHeight, window->pixelWidth * 4);
    cairo_t* cr = cairo_create(child.screen);
    cairo_set_source_surface(cr, pixels, 0, 0);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(pixels);
    cairo_surface_flush(child.screen);
    gdk_x11_display_error_trap_pop_ignored(display);
}

int VirtualScreenMetric(int index) {
    GdkDisplay* display = X11Display();
    if (display == nullptr) {
        return 0;
    }
    Screen* screen = DefaultScreenOfDisplay(GDK_DISPLAY_XDISPLAY(display));
    return index == SM_CXVIRTUALSCREEN ? WidthOfScreen(screen) : index == SM_CYVIRTUALSCREEN ? HeightOfScreen(screen) : 0;
}

void FollowCursor(GtkWidget* widget) {
    GdkWindow* content = gtk_widget_get_window(widget);
    if (content != nullptr) {
        gdk_window_set_cursor(content, cursorHidden ? BlankCursor(gdk_window_get_display(content)) : nullptr);
    }
}

}  // namespace gtkside

namespace winmodel::backend {

bool ForeignWindowSize(HWND foreign, int* width, int* height) {
    GdkDisplay* display = X11Display();
    ::Window id;
    if (display == nullptr || !ForeignId(foreign, &id)) {
        return false;
    }
    const auto watched = FindWatched(id);
    if (watched != watchedParents.end()) {
        *width = watched->width;
        *height = watched->height;
        return true;
    }
    XWindowAttributes attributes;
    gdk_x11_display_error_trap_push(display);
    const Status found = XGetWindowAttributes(GDK_DISPLAY_XDISPLAY(display), id, &attributes);
    const bool failed = gdk_x11_display_error_trap_pop(display) != 0;
    if (found == 0 || failed) {
        return false;
    }
    *width = attributes.width;
    *height = attributes.height;
    return true;
}

// The virtual root, as X programs find the root window: the window
// xscreensaver gives the programs it starts covers the screen's real root,
// and drawing "on the root window" means drawing there.
HWND DesktopWindow() {
    GdkDisplay* display = X11Display();
    ::Window saver;
    if (display == nullptr) {
        return nullptr;
    }
    return AsHandle(SaverWindow(display, &saver) ? saver : DefaultRootWindow(GDK_DISPLAY_XDISPLAY(display)));
}

// What xscreensaver saw before it covered the screen, else what the screen
// shows now.
bool ReadScreen(int x, int y, int width, int height, std::uint32_t* pixels) {
    GdkDisplay* display = X11Display();
    Drawable screenshot;
    if (display == nullptr || pixels == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    if (Screenshot(display, &screenshot) && ReadDrawable(display, screenshot, x, y, width, height, pixels)) {
        return true;
    }
    return ReadDrawable(display, DefaultRootWindow(GDK_DISPLAY_XDISPLAY(display)), x, y, width, height, pixels);
}

void ShowSystemCursor(bool shown) {
    cursorHidden = !shown;
    GList* windows = gtk_window_list_toplevels();
    for (GList* each = windows; each != nullptr; each = each->next) {
        gtkside::FollowCursor(GTK_WIDGET(each->data));
    }
    g_list_free(windows);
    GdkDisplay* display = X11Display();
    if (display != nullptr) {
        for (const auto& child : children) {
            ShowCursorOver(display, child.second);
        }
    }
}

}  // namespace winmodel::backend
