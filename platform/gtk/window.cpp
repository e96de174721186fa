// GTK side of the windows: top-level GTK windows whose drawing area is the
// client area, their events turned into messages, their frame and scale, and
// their pixels on the screen. Where GTK's model differs from the program's:
// - Input and closing. Signal handlers only post what happened. delete-event
//   posts WM_CLOSE and keeps the window: the window procedure decides.
// - Painting. An expose is repainted from the window's pixels, as a
//   compositor repaints from a redirected surface; WM_PAINT comes only when
//   the content is unknown.
// - Frames. GTK sizes a window's content, Windows the window with its frame:
//   the frame is read once the window is mapped, and every outer size is
//   turned into a content size with it. On X11 the window manager draws the
//   frame; under Wayland GTK's own title bar above the drawing area is the
//   frame. A Wayland client is neither told where its window is nor can
//   place it: the rectangle keeps the position the program gave.
// - Scale. GTK counts in logical pixels, the program in screen pixels, one
//   picture pixel to one screen pixel, as a Windows program aware of the
//   display's scale does. A client size that is no whole number of logical
//   pixels gets a content one row or column larger, showing the background.
// - Pixels. They live in two images shared with the X server
//   (x11_frames.cpp) or two buffers shared with the Wayland compositor
//   (wayland_frames.cpp), taking turns; on a display that shares no memory
//   with this process they are the model's, painted by GTK.
#include <X11/Xatom.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <utility>

#include "platform/gtk/gtk_internal.h"
#include "platform/gtk/x11_frames.h"

// What GTK keeps of a window: its drawing area, the client size last asked
// for, to tell a content GTK gives for it from one the user chose; the
// frame's size (0 without a window manager); on X11, the image shared with
// the server; the pixels as a cairo image, kept from one paint to the next
// while they stay where they are.
struct winmodel::SideWindow {
    GtkWidget* widget;
    GtkWidget* area;
    bool mapped;
    int askedWidth, askedHeight;
    int frameWidth, frameHeight;
    X11Frames* shared;
    WaylandFrames* frames;
    cairo_surface_t* image;
};

namespace {

using winmodel::Post;

// How long a new window waits for the window manager to map it and tell its
// frame; without a window manager there is no frame.
constexpr guint kMapDeadlineMs = 3000;

// Virtual-key codes of the keys that have no character, F1 to F12 apart.
constexpr std::pair<guint, WPARAM> kKeys[] = {{GDK_KEY_BackSpace, 0x08}, {GDK_KEY_Tab, 0x09}, {GDK_KEY_Return, 0x0D},
                                              {GDK_KEY_Escape, 0x1B},    {GDK_KEY_Left, 0x25}, {GDK_KEY_Up, 0x26},
                                              {GDK_KEY_Right, 0x27},     {GDK_KEY_Down, 0x28}};

// Screen pixels per logical pixel: the window's own once on screen, else the display's.
int ScaleOf(HWND window) {
    GtkWidget* widget = window->side->widget;
    GdkWindow* content = gtk_widget_get_window(widget);
    return std::max(content != nullptr ? gdk_window_get_scale_factor(content) : gtk_widget_get_scale_factor(widget), 1);
}

// A new client or content size is unknown until painted.
void SetClientSize(HWND window, int width, int height, int contentWidth, int contentHeight) {
    if (winmodel::SetClientSize(window, std::max(width, 1), std::max(height, 1), contentWidth, contentHeight)) {
        winmodel::Invalidate(window);
    }
}

// Asks for a client area: GTK gives a content of whole logical pixels for it.
void AskClientSize(HWND window, int width, int height) {
    const int scale = ScaleOf(window);
    window->side->askedWidth = std::max(width, 1);
    window->side->askedHeight = std::max(height, 1);
    SetClientSize(window, window->side->askedWidth, window->side->askedHeight,
                  gtkside::LogicalSize(window->side->askedWidth, scale) * scale,
                  gtkside::LogicalSize(window->side->askedHeight, scale) * scale);
}

// Adds a shown title bar's height, in logical pixels, to the frame's.
void TitleBarHeight(GtkWidget* child, gpointer frame) {
    if (child != gtk_bin_get_child(GTK_BIN(gtk_widget_get_toplevel(child))) && gtk_widget_get_visible(child) &&
        gtk_widget_get_child_visible(child)) {
        static_cast<GdkRectangle*>(frame)->height += gtk_widget_get_allocated_height(child);
    }
}

// Reads where the window manager put the window and how much its frame adds
// to the content's size, in screen pixels. GDK tells it in logical pixels,
// rounded; on X11 the server tells it exactly.
void ReadFrame(HWND window) {
    winmodel::SideWindow& side = *window->side;
    GdkWindow* content = gtk_widget_get_window(side.widget);
    if (content == nullptr || !side.mapped) {
        return;
    }
    GdkRectangle frame;
    bool exact = false;
    const bool x11 = GDK_IS_X11_WINDOW(content);
    if (x11) {
        Display* display = GDK_WINDOW_XDISPLAY(content);
        const ::Window id = GDK_WINDOW_XID(content);
        ::Window child;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        exact = XTranslateCoordinates(display, id, DefaultRootWindow(display), 0, 0, &frame.x, &frame.y, &child) &&
                XGetWindowProperty(display, id, XInternAtom(display, "_NET_FRAME_EXTENTS", False), 0, 4, False,
                                   XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
                type == XA_CARDINAL && format == 32 && count == 4;
        if (exact) {
            const long* extents = reinterpret_cast<const long*>(data);  // left, right, top, bottom
            frame = GdkRectangle{frame.x - static_cast<int>(extents[0]), frame.y - static_cast<int>(extents[2]),
                                 static_cast<int>(extents[0] + extents[1]), static_cast<int>(extents[2] + extents[3])};
        }
        if (data != nullptr) {
            XFree(data);
        }
    }
    const int scale = ScaleOf(window);
    if (!exact && x11) {
        gdk_window_get_frame_extents(content, &frame);
        frame = GdkRectangle{frame.x * scale, frame.y * scale,
                             std::max(frame.width - gdk_window_get_width(content), 0) * scale,
                             std::max(frame.height - gdk_window_get_height(content), 0) * scale};
    } else if (!exact) {
        // GTK's own title bar, the window's other child beside the drawing
        // area (none where the compositor draws the frame).
        frame = GdkRectangle{window->rect.left, window->rect.top, 0, 0};
        gtk_container_forall(GTK_CONTAINER(side.widget), TitleBarHeight, &frame);
        frame.height *= scale;
    }
    side.frameWidth = frame.width;
    side.frameHeight = frame.height;
    window->rect = RECT{frame.x, frame.y, frame.x + window->clientWidth + side.frameWidth,
                        frame.y + window->clientHeight + side.frameHeight};
}

LPARAM PointerAt(HWND window, double x, double y) {
    const int scale = ScaleOf(window);
    return MAKELPARAM(static_cast<int>(x * scale), static_cast<int>(y * scale));
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    Post(static_cast<HWND>(data), WM_CLOSE, 0, 0);
    return TRUE;
}

gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    // Double and triple clicks come as plain presses too; their extra
    // events are not clicks of their own.
    if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE) {
        return TRUE;
    }
    const bool press = event->type == GDK_BUTTON_PRESS;
    const LPARAM where = PointerAt(static_cast<HWND>(data), event->x, event->y);
    if (event->button == GDK_BUTTON_PRIMARY) {
        Post(static_cast<HWND>(data), press ? WM_LBUTTONDOWN : WM_LBUTTONUP, press ? MK_LBUTTON : 0, where);
    } else if (event->button == GDK_BUTTON_SECONDARY) {
        Post(static_cast<HWND>(data), press ? WM_RBUTTONDOWN : WM_RBUTTONUP, press ? MK_RBUTTON : 0, where);
    }
    return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    Post(static_cast<HWND>(data), WM_MOUSEMOVE, 0, PointerAt(static_cast<HWND>(data), event->x, event->y));
    return TRUE;
}

// Keys go to the program alone: GTK's own key bindings do not act.
gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    const bool press = event->type == GDK_KEY_PRESS;
    Post(static_cast<HWND>(data), press ? WM_KEYDOWN : WM_KEYUP, gtkside::VirtualKey(event->keyval),
         press ? 1 : static_cast<LPARAM>(0xC0000001U));
    return TRUE;
}

// The content GTK gave the drawing area: for the size last asked for, the
// client area is that size; for any other (the user's, or the window
// manager's), all of it. A new scale (the window moved to another output)
// gives a new content too.
void OnAllocate(GtkWidget* area, GdkRectangle*, gpointer data) {
    HWND window = static_cast<HWND>(data);
    const winmodel::SideWindow& side = *window->side;
    const int oldWidth = window->clientWidth;
    const int oldHeight = window->clientHeight;
    const int scale = ScaleOf(window);
    GtkAllocation given;
    gtk_widget_get_allocation(area, &given);
    const int width = std::max(given.width, 1) * scale;
    const int height = std::max(given.height, 1) * scale;
    const bool asked = gtkside::ContentAsAsked(side.askedWidth, side.askedHeight, width, height, scale);
    SetClientSize(window, asked ? side.askedWidth : width, asked ? side.askedHeight : height, width, height);
    ReadFrame(window);
    if (window->clientWidth != oldWidth || window->clientHeight != oldHeight) {
        Post(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
    }
}

void OnScale(GtkWidget* area, GParamSpec*, gpointer data) { OnAllocate(area, nullptr, data); }

// The window moved, or its frame changed: the outer rectangle follows.
gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    ReadFrame(static_cast<HWND>(data));
    return FALSE;
}

gboolean OnMap(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<HWND>(data)->side->mapped = true;
    ReadFrame(static_cast<HWND>(data));
    return FALSE;
}

// Paints the window's pixels one to a device pixel: an image of them at the
// window's scale, kept while they stay where they are and their scale holds.
gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    HWND window = static_cast<HWND>(data);
    winmodel::SideWindow& side = *window->side;
    if (side.frames != nullptr) {
        return TRUE;  // the subsurface over the area shows them
    }
    const int scale = ScaleOf(window);
    winmodel::SettlePixels(window);
    auto* pixels = reinterpret_cast<unsigned char*>(window->pixels.data());
    double imageScale = 0;  // none yet
    if (side.image != nullptr) {
        cairo_surface_get_device_scale(side.image, &imageScale, &imageScale);
    }
    if (imageScale != scale || cairo_image_surface_get_data(side.image) != pixels ||
        cairo_image_surface_get_width(side.image) != window->pixelWidth ||
        cairo_image_surface_get_height(side.image) != window->pixelHeight) {
        cairo_surface_destroy(side.image);
        side.image = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_RGB24, window->pixelWidth,
                                                         window->pixelHeight, window->pixelWidth * 4);
        cairo_surface_set_device_scale(side.image, scale, scale);
    }
    cairo_surface_mark_dirty(side.image);  // the model wrote into its memory
    cairo_set_source_surface(cr, side.image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    return TRUE;
}

// The X11 frames' own connection to the display GTK's connection `shown` is
// to (GTK reads every event of its own, and would take the frames'
// completions away); null when it cannot be had or the server shares no
// memory with this process, which is found once.
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

std::uint32_t* SupplyPixels(HWND window, int width, int height) {
    winmodel::SideWindow* side = window->side;
    if (side == nullptr) {
        return nullptr;
    }
    GdkWindow* content = gtk_widget_get_window(side->widget);
    if (content != nullptr && GDK_IS_X11_WINDOW(content)) {
        x11frames::Drop(&side->shared);
        Display* display = FramesConnection(GDK_WINDOW_XDISPLAY(content));
        GdkVisual* visual = gdk_window_get_visual(content);
        side->shared =
            display != nullptr ? x11frames::Make(display, GDK_VISUAL_XVISUAL(visual), width, height) : nullptr;
        return side->shared != nullptr ? x11frames::Pixels(side->shared, 0) : nullptr;
    }
    std::uint32_t* buffers =
        content != nullptr ? gtkside::MakeWaylandFrames(&side->frames, content, width, height) : nullptr;
    // The compositor takes the words as XRGB8888; read back (a screenshot),
    // the top byte is alpha.
    window->pixels.drawnTop = buffers != nullptr ? 0xFF000000u : 0;
    return buffers;
}

void AwaitPixels(HWND window) {
    const winmodel::SideWindow* side = window->side;
    if (side == nullptr) {
        return;
    }
    const int image = side->shared != nullptr ? x11frames::ImageOf(side->shared, window->pixels.data()) : -1;
    if (image >= 0) {
        x11frames::Await(side->shared, image);
    }
    gtkside::AwaitWayland(side->frames, window->pixels.data());
}

// Puts the image the pixels are in into the window, all of it (what was
// drawn through a paint context shows only at EndPaint, and the other image,
// which the next frame goes into, may lack more than the rectangle asked
// for), and turns the model to the other image; false where the server
// refuses. A frame that rewrites every pixel, as the program's do, is then
// never copied from one image to the other.
bool PresentShared(HWND window, X11Frames* frames, GdkWindow* content, int toX, int toY) {
    if (frames == nullptr || x11frames::Refused()) {
        return false;
    }
    if (window->pixels.newer != nullptr) {
        return true;  // nothing written since the last frame was put
    }
    const int image = x11frames::ImageOf(frames, window->pixels.data());
    if (image < 0 || !x11frames::Put(frames, image, GDK_WINDOW_XID(content), toX, toY)) {
        return false;
    }
    winmodel::TurnPixels(window, x11frames::Pixels(frames, 1 - image));
    return true;
}

}  // namespace

namespace gtkside {

GtkWindow* OwnerWidget(HWND window) {
    return winmodel::IsLive(window) && window->side != nullptr ? GTK_WINDOW(window->side->widget) : nullptr;
}

int LogicalSize(int size, int scale) { return (size + scale - 1) / scale; }

int LogicalPosition(int position, int scale) {
    return position >= 0 ? position / scale : -((-position + scale - 1) / scale);
}

bool ContentAsAsked(int askedWidth, int askedHeight, int contentWidth, int contentHeight, int scale) {
    return LogicalSize(askedWidth, scale) * scale == contentWidth &&
           LogicalSize(askedHeight, scale) * scale == contentHeight;
}

WPARAM VirtualKey(guint keyval) {
    const guint upper = gdk_keyval_to_upper(keyval);
    if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9') || upper == ' ') {
        return upper;
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) {
        return 0x70 + (keyval - GDK_KEY_F1);
    }
    for (const auto& known : kKeys) {
        if (known.first == keyval) {
            return known.second;
        }
    }
    return 0;
}

}  // namespace gtkside

namespace winmodel::backend {

// Top-level windows only: this side has no child windows (WS_CHILD).
bool CreateSystemWindow(HWND window, const CREATESTRUCTA& asked) {
    winmodel::pixelMemory = winmodel::PixelMemory{SupplyPixels, AwaitPixels};
    if ((asked.style & WS_CHILD) != 0) {
        return false;
    }
    GtkWidget* widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* area = gtk_drawing_area_new();
    gtk_container_add(GTK_CONTAINER(widget), area);
    window->side = new SideWindow{widget, area, false, 0, 0, 0, 0, nullptr, nullptr, nullptr};
    window->rect = RECT{asked.x, asked.y, asked.x + asked.cx, asked.y + asked.cy};
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
    gtk_widget_add_events(widget, GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(widget, "delete-event", G_CALLBACK(OnDelete), window);
    g_signal_connect(area, "button-press-event", G_CALLBACK(OnButton), window);
    g_signal_connect(area, "button-release-event", G_CALLBACK(OnButton), window);
    g_signal_connect(area, "motion-notify-event", G_CALLBACK(OnMotion), window);
    g_signal_connect(widget, "key-press-event", G_CALLBACK(OnKey), window);
    g_signal_connect(widget, "key-release-event", G_CALLBACK(OnKey), window);
    g_signal_connect(area, "size-allocate", G_CALLBACK(OnAllocate), window);
    g_signal_connect(widget, "configure-event", G_CALLBACK(OnConfigure), window);
    g_signal_connect(area, "notify::scale-factor", G_CALLBACK(OnScale), window);
    g_signal_connect(widget, "map-event", G_CALLBACK(OnMap), window);
    g_signal_connect(area, "draw", G_CALLBACK(OnDraw), window);
    SetSystemCaption(window, asked.lpszName);
    const int scale = ScaleOf(window);
    gtk_window_set_default_size(GTK_WINDOW(widget), gtkside::LogicalSize(std::max(asked.cx, 1), scale),
                                gtkside::LogicalSize(std::max(asked.cy, 1), scale));
    gtk_window_move(GTK_WINDOW(widget), gtkside::LogicalPosition(asked.x, scale),
                    gtkside::LogicalPosition(asked.y, scale));
    // Made now, so that the pixels go into memory shared with the X server
    // from the start. Until the frame is known, the content is all of the size.
    gtk_widget_realize(widget);
    gtk_widget_show(area);
    AskClientSize(window, asked.cx, asked.cy);
    return true;
}

void ShowSystemWindow(HWND window) {
    gtk_widget_show(window->side->widget);
    bool late = false;
    const guint timer = g_timeout_add_once(
        kMapDeadlineMs, [](gpointer flag) { *static_cast<bool*>(flag) = true; }, &late);
    while (!window->side->mapped && !late && window->alive) {
        g_main_context_iteration(nullptr, TRUE);
    }
    if (!late) {
        g_source_remove(timer);
    }
}

// The outer rectangle asked for becomes the content's size less the frame;
// the window manager may grant less, which the next configure event reports.
void PlaceSystemWindow(HWND window, int x, int y, int width, int height) {
    const winmodel::SideWindow& side = *window->side;
    AskClientSize(window, width - side.frameWidth, height - side.frameHeight);
    window->rect = RECT{x, y, x + window->clientWidth + side.frameWidth, y + window->clientHeight + side.frameHeight};
    const int scale = ScaleOf(window);
    gtk_window_move(GTK_WINDOW(side.widget), gtkside::LogicalPosition(x, scale), gtkside::LogicalPosition(y, scale));
    gtk_window_resize(GTK_WINDOW(side.widget), window->pixelWidth / scale, window->pixelHeight / scale);
}

// Captions are paths in the file system's encoding; GTK shows UTF-8.
void SetSystemCaption(HWND window, const char* caption) {
    gchar* shown = g_filename_display_name(caption != nullptr ? caption : "");
    gtk_window_set_title(GTK_WINDOW(window->side->widget), shown);
    g_free(shown);
}

void DestroySystemWindow(HWND window) {
    SideWindow* side = window->side;
    // Before the X window goes: the server still owes word of the last frame.
    x11frames::Drop(&side->shared);
    gtkside::DropWaylandFrames(&side->frames);
    cairo_surface_destroy(side->image);  // none: nothing
    gtk_widget_destroy(side->widget);
    delete side;
    window->side = nullptr;
}

void Present(HWND window, int x, int y, int width, int height) {
    SideWindow& side = *window->side;
    GdkWindow* content = side.mapped ? gtk_widget_get_window(side.widget) : nullptr;
    if (content == nullptr) {
        return;
    }
    const int scale = ScaleOf(window);
    GtkAllocation area;
    gtk_widget_get_allocation(side.area, &area);
    // The pixels are already in memory the X server or the compositor shows
    // from, as Wine puts a Windows program's drawing there: one request
    // shows them, where GTK's drawing would paint them into a surface of its
    // own first. Elsewhere (a display that shares no memory) GTK paints them
    // at its next frame.
    if (PresentShared(window, side.shared, content, area.x * scale, area.y * scale) ||
        gtkside::PresentWayland(window, side.frames, side.widget, area.x, area.y, scale)) {
        return;
    }
    const int left = gtkside::LogicalPosition(x, scale);
    const int top = gtkside::LogicalPosition(y, scale);
    gtk_widget_queue_draw_area(side.area, left, top, gtkside::LogicalSize(x + width, scale) - left,
                               gtkside::LogicalSize(y + height, scale) - top);
}

// Waiting, one iteration blocks first; it may end without an event (the
// caller loops).
void PumpEvents(bool wait) {
    if (wait) {
        g_main_context_iteration(nullptr, TRUE);
    }
    while (g_main_context_pending(nullptr)) {
        g_main_context_iteration(nullptr, FALSE);
    }
}

// The full-screen client area: the primary monitor's work area, in screen pixels.
int ScreenMetric(int index) {
    if (index != SM_CXFULLSCREEN && index != SM_CYFULLSCREEN) {
        return 0;  // no screensaver runs on this side
    }
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display != nullptr ? gdk_display_get_primary_monitor(display) : nullptr;
    monitor = monitor == nullptr && display != nullptr ? gdk_display_get_monitor(display, 0) : monitor;
    GdkRectangle area{0, 0, 0, 0};
    if (monitor != nullptr) {
        gdk_monitor_get_workarea(monitor, &area);
    }
    const int scale = monitor != nullptr ? std::max(gdk_monitor_get_scale_factor(monitor), 1) : 1;
    return (index == SM_CXFULLSCREEN ? area.width : area.height) * scale;
}

// X windows and cairo's images have sides below 32768 pixels.
const long long kLargestBitmapSide = 32767;

}  // namespace winmodel::backend
