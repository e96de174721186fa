// GTK side of the window calls: window classes, top-level windows, the
// thread's message queue fed from GTK's main loop, painting, drawing contexts
// and system metrics.
//
// Where GTK's model differs from the one the program expects:
// - Input. The signal handlers only translate: each turns what happened into
//   a message appended to this side's own queue and returns; program code runs
//   only when the program's loop takes the message and dispatches it.
// - Closing. The window manager's close is a request: delete-event posts
//   WM_CLOSE and keeps the window; the window procedure decides, and
//   DestroyWindow destroys.
// - Painting. Each window keeps its pixels in one image surface, so an
//   expose is repainted from it by GTK's draw handler, as a compositor
//   repaints from a window's redirected surface; WM_PAINT comes only when the
//   content is unknown (a new or resized client area, a move with repaint),
//   one at a time, and stays until the window is painted or validated.
// - Frames. GTK sizes a window's content, Windows the window with its frame:
//   the frame is read from the window manager once the window is mapped, and
//   every outer size is turned into a content size with it.
// - Scale. On a scaled display GTK counts in logical pixels, each the scale
//   factor's square of screen pixels. The program counts in screen pixels and
//   draws one picture pixel to one screen pixel, as a Windows program that is
//   aware of the display's scale does: every size, position and pointer
//   coordinate is turned from logical pixels into screen pixels here, and
//   pixels are shown unscaled. A client size that is no whole number of
//   logical pixels gets a content one row or column larger, which shows the
//   class background.
#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/gtk/gtk_internal.h"

#ifdef GDK_WINDOWING_X11
#include <X11/Xatom.h>
#include <cairo-xlib.h>
#include <gdk/gdkx.h>
#endif

namespace {

// How long a new window waits for the window manager to map it and report
// its frame; without a window manager there is no frame and no wait beyond.
constexpr guint kMapDeadlineMs = 3000;

// Virtual-key codes of the keys that have no character.
constexpr WPARAM kKeyBackspace = 0x08;
constexpr WPARAM kKeyTab = 0x09;
constexpr WPARAM kKeyReturn = 0x0D;
constexpr WPARAM kKeyEscape = 0x1B;
constexpr WPARAM kKeyLeft = 0x25;
constexpr WPARAM kKeyF1 = 0x70;

struct WindowClass {
    std::string name;
    WNDCLASSA record;
};

struct Windowing {
    std::vector<WindowClass> classes;
    std::vector<std::unique_ptr<HWND__>> windows;  // handles stay valid for IsWindow
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
};

Windowing& State() {
    static Windowing state;
    return state;
}

HCURSOR__ arrowCursor{32512};
HDC__ screenContext{nullptr, false};

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG posted{};
    posted.hwnd = window;
    posted.message = message;
    posted.wParam = wParam;
    posted.lParam = lParam;
    posted.time = static_cast<DWORD>(g_get_monotonic_time() / 1000);
    State().queue.push_back(posted);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return gtkside::IsLive(window) ? window->procedure(window, message, wParam, lParam) : 0;
}

void Invalidate(HWND window) {
    window->needsPaint = true;
    window->needsErase = true;
}

// Screen pixels per logical pixel, each way: the window's own once it is on
// the screen, the display's before.
int ScaleOf(HWND window) {
    GdkWindow* content = window->widget != nullptr ? gtk_widget_get_window(window->widget) : nullptr;
    const int scale = content != nullptr ? gdk_window_get_scale_factor(content)
                                         : gtk_widget_get_scale_factor(window->widget);
    return std::max(scale, 1);
}

// Screen pixels as logical ones: a size rounded up, a position down.
int LogicalSize(int size, int scale) { return (size + scale - 1) / scale; }
int LogicalPosition(int position, int scale) {
    return position >= 0 ? position / scale : -((-position + scale - 1) / scale);
}

// Makes the client area `width` x `height` screen pixels and the window's
// pixels the content's size, keeping what the old surface showed at the
// top-left; the rest is unknown until painted.
void SetClientSize(HWND window, int width, int height, int contentWidth, int contentHeight) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    contentWidth = std::max(contentWidth, width);
    contentHeight = std::max(contentHeight, height);
    if (window->pixels != nullptr && width == window->clientWidth && height == window->clientHeight &&
        contentWidth == window->contentWidth && contentHeight == window->contentHeight) {
        return;
    }
    if (window->pixels == nullptr || contentWidth != window->contentWidth || contentHeight != window->contentHeight) {
        cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_RGB24, contentWidth, contentHeight);
        if (window->pixels != nullptr) {
            cairo_t* copy = cairo_create(pixels);
            cairo_set_source_surface(copy, window->pixels, 0, 0);
            cairo_paint(copy);
            cairo_destroy(copy);
            cairo_surface_destroy(window->pixels);
        }
        window->pixels = pixels;
        window->contentWidth = contentWidth;
        window->contentHeight = contentHeight;
    }
    window->clientWidth = width;
    window->clientHeight = height;
    Invalidate(window);
}

// Asks for a client area of `width` x `height` screen pixels: the content GTK
// will give for it is that rounded up to whole logical pixels.
void AskClientSize(HWND window, int width, int height) {
    const int scale = ScaleOf(window);
    window->askedWidth = std::max(width, 1);
    window->askedHeight = std::max(height, 1);
    SetClientSize(window, window->askedWidth, window->askedHeight,
                  LogicalSize(window->askedWidth, scale) * scale, LogicalSize(window->askedHeight, scale) * scale);
}

// The content GTK gave, in screen pixels: for the size last asked for, the
// client area is that size; for any other (the user's, or the window
// manager's), the whole content.
void TakeContentSize(HWND window, int contentWidth, int contentHeight) {
    const int scale = ScaleOf(window);
    const bool asked = LogicalSize(window->askedWidth, scale) * scale == contentWidth &&
                       LogicalSize(window->askedHeight, scale) * scale == contentHeight;
    SetClientSize(window, asked ? window->askedWidth : contentWidth, asked ? window->askedHeight : contentHeight,
                  contentWidth, contentHeight);
}

// Where the window manager put the window's frame and how large it is, in
// screen pixels: false when it cannot be told to the pixel.
bool ReadScreenFrame(GdkWindow* content, GdkRectangle* frame, int* contentX, int* contentY) {
#ifdef GDK_WINDOWING_X11
    // GDK reports the frame in logical pixels, rounded; X tells it exactly.
    if (GDK_IS_X11_WINDOW(content)) {
        Display* display = GDK_WINDOW_XDISPLAY(content);
        const ::Window id = GDK_WINDOW_XID(content);
        ::Window child;
        if (!XTranslateCoordinates(display, id, DefaultRootWindow(display), 0, 0, contentX, contentY, &child)) {
            return false;
        }
        long extents[4] = {0, 0, 0, 0};  // left, right, top, bottom
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const bool known = XGetWindowProperty(display, id, XInternAtom(display, "_NET_FRAME_EXTENTS", False), 0, 4,
                                              False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
                           type == XA_CARDINAL && format == 32 && count == 4;
        if (known) {
            std::memcpy(extents, data, sizeof extents);
        }
        if (data != nullptr) {
            XFree(data);
        }
        if (!known) {
            return false;
        }
        frame->x = *contentX - static_cast<int>(extents[0]);
        frame->y = *contentY - static_cast<int>(extents[2]);
        frame->width = static_cast<int>(extents[0] + extents[1]);
        frame->height = static_cast<int>(extents[2] + extents[3]);
        return true;
    }
#else
    (void)content;
    (void)frame;
    (void)contentX;
    (void)contentY;
#endif
    return false;
}

// Reads where the window manager put the window and how large its frame is.
void ReadFrame(HWND window) {
    GdkWindow* content = gtk_widget_get_window(window->widget);
    if (content == nullptr || !window->mapped) {
        return;
    }
    GdkRectangle frame;
    int contentX = 0;
    int contentY = 0;
    if (ReadScreenFrame(content, &frame, &contentX, &contentY)) {
        window->frameWidth = frame.width;
        window->frameHeight = frame.height;
    } else {
        const int scale = ScaleOf(window);
        gdk_window_get_frame_extents(content, &frame);
        frame.x *= scale;
        frame.y *= scale;
        window->frameWidth = std::max(frame.width - gdk_window_get_width(content), 0) * scale;
        window->frameHeight = std::max(frame.height - gdk_window_get_height(content), 0) * scale;
    }
    window->rect = RECT{frame.x, frame.y, frame.x + window->clientWidth + window->frameWidth,
                        frame.y + window->clientHeight + window->frameHeight};
}

// A pointer position in the window, in screen pixels.
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
    HWND window = static_cast<HWND>(data);
    const LPARAM where = PointerAt(window, event->x, event->y);
    // Moves still queued are merged, as Windows merges them.
    auto& queue = State().queue;
    if (!queue.empty() && queue.back().hwnd == window && queue.back().message == WM_MOUSEMOVE) {
        queue.back().lParam = where;
    } else {
        Post(window, WM_MOUSEMOVE, 0, where);
    }
    return TRUE;
}

WPARAM VirtualKey(guint keyval) {
    const guint upper = gdk_keyval_to_upper(keyval);
    if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9') || upper == ' ') {
        return upper;
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) {
        return kKeyF1 + (keyval - GDK_KEY_F1);
    }
    switch (keyval) {
        case GDK_KEY_BackSpace: return kKeyBackspace;
        case GDK_KEY_Tab: return kKeyTab;
        case GDK_KEY_Return: return kKeyReturn;
        case GDK_KEY_Escape: return kKeyEscape;
        case GDK_KEY_Left: return kKeyLeft;
        case GDK_KEY_Up: return kKeyLeft + 1;
        case GDK_KEY_Right: return kKeyLeft + 2;
        case GDK_KEY_Down: return kKeyLeft + 3;
        default: return 0;
    }
}

// Keys go to the program alone: GTK's own key bindings do not act.
gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    const bool press = event->type == GDK_KEY_PRESS;
    Post(static_cast<HWND>(data), press ? WM_KEYDOWN : WM_KEYUP, VirtualKey(event->keyval),
         press ? 1 : static_cast<LPARAM>(0xC0000001U));
    return TRUE;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
    HWND window = static_cast<HWND>(data);
    const int oldWidth = window->clientWidth;
    const int oldHeight = window->clientHeight;
    const int scale = ScaleOf(window);
    TakeContentSize(window, event->width * scale, event->height * scale);
    const bool resized = window->clientWidth != oldWidth || window->clientHeight != oldHeight;
    ReadFrame(window);
    if (resized) {
        Post(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
    }
    return FALSE;
}

gboolean OnMap(GtkWidget*, GdkEvent*, gpointer data) {
    HWND window = static_cast<HWND>(data);
    window->mapped = true;
    ReadFrame(window);
    return FALSE;
}

// Paints the window's pixels one to one screen pixel into a context that
// counts in logical pixels.
void PaintUnscaled(cairo_t* cr, HWND window, int x, int y, int width, int height) {
    const double scale = ScaleOf(window);
    cairo_scale(cr, 1.0 / scale, 1.0 / scale);
    cairo_set_source_surface(cr, window->pixels, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    HWND window = static_cast<HWND>(data);
    PaintUnscaled(cr, window, 0, 0, window->contentWidth, window->contentHeight);
    return TRUE;
}

// Runs GTK's main loop until the window is mapped, or the deadline passes.
void WaitUntilMapped(HWND window) {
    bool late = false;
    const guint timer = g_timeout_add(
        kMapDeadlineMs, [](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &late);
    while (!window->mapped && !late && window->alive) {
        g_main_context_iteration(nullptr, TRUE);
    }
    if (!late) {
        g_source_remove(timer);
    }
}

// GTK's pending events, each turned into messages, without waiting.
void TakeEvents() {
    while (g_main_context_pending(nullptr)) {
        g_main_context_iteration(nullptr, FALSE);
    }
}

HWND WindowNeedingPaint(HWND filter) {
    for (auto& window : State().windows) {
        if (window->alive && window->needsPaint && (filter == nullptr || filter == window.get())) {
            return window.get();
        }
    }
    return nullptr;
}

bool Matches(const MSG& message, HWND window, UINT first, UINT last) {
    return (window == nullptr || message.hwnd == window) &&
           ((first == 0 && last == 0) || (message.message >= first && message.message <= last));
}

std::string DisplayText(const char* text) {
    // Captions are paths in the file system's encoding; GTK shows UTF-8.
    gchar* shown = g_filename_display_name(text != nullptr ? text : "");
    std::string result = shown;
    g_free(shown);
    return result;
}

void Fill(HDC surface, COLORREF colour) {
    HWND window = surface->window;
    if (!gtkside::IsLive(window)) {
        return;
    }
    cairo_t* fill = cairo_create(window->pixels);
    cairo_set_source_rgb(fill, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                         ((colour >> 16) & 0xFF) / 255.0);
    cairo_paint(fill);
    cairo_destroy(fill);
    if (!surface->paint) {
        gtkside::Show(window, 0, 0, window->contentWidth, window->contentHeight);
    }
}

}  // namespace

namespace gtkside {

bool IsLive(HWND window) {
    for (auto& known : State().windows) {
        if (known.get() == window) {
            return window->alive;
        }
    }
    return false;
}

GtkWindow* OwnerWidget(HWND window) { return IsLive(window) ? GTK_WINDOW(window->widget) : nullptr; }

void Show(HWND window, int x, int y, int width, int height) {
    GdkWindow* content = window->mapped ? gtk_widget_get_window(window->widget) : nullptr;
    if (content == nullptr) {
        return;
    }
#ifdef GDK_WINDOWING_X11
    // On X11 the pixels go straight into the window, as Wine puts a
    // Windows program's drawing there: GTK's draw-frame calls would paint
    // them into an offscreen surface made for every frame and copy that,
    // which halves the frames a second of a large picture.
    if (GDK_IS_X11_WINDOW(content)) {
        // The X window counts in screen pixels whatever GTK's scale.
        const int scale = gdk_window_get_scale_factor(content);
        const int contentWidth = gdk_window_get_width(content) * scale;
        const int contentHeight = gdk_window_get_height(content) * scale;
        if (window->screen == nullptr) {
            window->screen = cairo_xlib_surface_create(GDK_WINDOW_XDISPLAY(content), GDK_WINDOW_XID(content),
                                                       GDK_VISUAL_XVISUAL(gdk_window_get_visual(content)),
                                                       contentWidth, contentHeight);
        } else if (cairo_xlib_surface_get_width(window->screen) != contentWidth ||
                   cairo_xlib_surface_get_height(window->screen) != contentHeight) {
            cairo_xlib_surface_set_size(window->screen, contentWidth, contentHeight);
        }
        cairo_t* cr = cairo_create(window->screen);
        cairo_set_source_surface(cr, window->pixels, 0, 0);
        cairo_rectangle(cr, x, y, width, height);
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(window->screen);
        return;
    }
#endif
    const int scale = ScaleOf(window);
    const int left = LogicalPosition(x, scale);
    const int top = LogicalPosition(y, scale);
    const cairo_rectangle_int_t area{left, top, LogicalSize(x + width, scale) - left,
                                     LogicalSize(y + height, scale) - top};
    // The region is kept between frames: the program draws the same
    // rectangle every time, and a frame then allocates nothing here.
    if (window->shownRegion == nullptr || std::memcmp(&area, &window->shownArea, sizeof area) != 0) {
        if (window->shownRegion != nullptr) {
            cairo_region_destroy(window->shownRegion);
        }
        window->shownRegion = cairo_region_create_rectangle(&area);
        window->shownArea = area;
    }
    GdkDrawingContext* frame = gdk_window_begin_draw_frame(content, window->shownRegion);
    PaintUnscaled(gdk_drawing_context_get_cairo_context(frame), window, x, y, width, height);
    gdk_window_end_draw_frame(content, frame);
}

void PaintWaiting() {
    for (HWND window = WindowNeedingPaint(nullptr); window != nullptr; window = WindowNeedingPaint(nullptr)) {
        Send(window, WM_PAINT, 0, 0);
        // A procedure that leaves the paint undone gets the default one, so
        // that the loop moves on, as Windows validates such a window.
        if (window->needsPaint) {
            platform::ValidateRect(window, nullptr);
        }
    }
}

void RunModal(const bool* done) {
    for (;;) {
        PaintWaiting();
        if (*done) {
            return;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
}

}  // namespace gtkside

namespace platform {

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) {
        return 0;
    }
    auto& classes = State().classes;
    for (const WindowClass& known : classes) {
        if (g_ascii_strcasecmp(known.name.c_str(), windowClass->lpszClassName) == 0) {
            return 0;
        }
    }
    classes.push_back(WindowClass{windowClass->lpszClassName, *windowClass});
    return static_cast<ATOM>(0xC000 + classes.size() - 1);
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR caption, DWORD style, int x, int y, int width,
                     int height, HWND, HMENU, HINSTANCE, LPVOID creationData) {
    const WindowClass* windowClass = nullptr;
    for (const WindowClass& known : State().classes) {
        if (className != nullptr && g_ascii_strcasecmp(known.name.c_str(), className) == 0) {
            windowClass = &known;
        }
    }
    auto created = std::unique_ptr<HWND__>(new (std::nothrow) HWND__{});
    if (windowClass == nullptr || created == nullptr) {
        return nullptr;
    }
    HWND window = created.get();
    window->procedure = windowClass->record.lpfnWndProc;
    window->background = windowClass->record.hbrBackground;
    window->alive = true;
    window->client = HDC__{window, false};
    window->paint = HDC__{window, true};
    window->rect = RECT{x, y, x + width, y + height};
    window->widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* widget = window->widget;
    gtk_widget_set_app_paintable(widget, TRUE);
    gtk_widget_add_events(widget, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                      GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(widget, "delete-event", G_CALLBACK(OnDelete), window);
    g_signal_connect(widget, "button-press-event", G_CALLBACK(OnButton), window);
    g_signal_connect(widget, "button-release-event", G_CALLBACK(OnButton), window);
    g_signal_connect(widget, "motion-notify-event", G_CALLBACK(OnMotion), window);
    g_signal_connect(widget, "key-press-event", G_CALLBACK(OnKey), window);
    g_signal_connect(widget, "key-release-event", G_CALLBACK(OnKey), window);
    g_signal_connect(widget, "configure-event", G_CALLBACK(OnConfigure), window);
    g_signal_connect(widget, "map-event", G_CALLBACK(OnMap), window);
    g_signal_connect(widget, "draw", G_CALLBACK(OnDraw), window);
    gtk_window_set_title(GTK_WINDOW(widget), DisplayText(caption).c_str());
    // Until the window manager tells the frame, the content takes the whole
    // size asked for.
    AskClientSize(window, width, height);
    const int scale = ScaleOf(window);
    gtk_window_set_default_size(GTK_WINDOW(widget), window->contentWidth / scale, window->contentHeight / scale);
    gtk_window_move(GTK_WINDOW(widget), LogicalPosition(x, scale), LogicalPosition(y, scale));
    State().windows.push_back(std::move(created));

    CREATESTRUCTA creation{creationData, nullptr, nullptr, nullptr, height, width, y, x,
                           static_cast<LONG>(style), caption, className, 0};
    if (Send(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&creation)) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0 && window->alive) {
        gtk_widget_show(widget);
        WaitUntilMapped(window);
        if (window->frameWidth > 0 || window->frameHeight > 0) {
            MoveWindow(window, x, y, width, height, TRUE);
        }
    }
    return window->alive ? window : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    return instance == nullptr && name == IDC_ARROW ? &arrowCursor : nullptr;
}

// The full-screen client area: the primary monitor's work area, without the
// desktop's panels, in screen pixels.
int GetSystemMetrics(int index) {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display != nullptr ? gdk_display_get_primary_monitor(display) : nullptr;
    if (monitor == nullptr && display != nullptr) {
        monitor = gdk_display_get_monitor(display, 0);
    }
    if (monitor == nullptr) {
        return 0;
    }
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    const int scale = std::max(gdk_monitor_get_scale_factor(monitor), 1);
    switch (index) {
        case SM_CXFULLSCREEN: return area.width * scale;
        case SM_CYFULLSCREEN: return area.height * scale;
        default: return 0;
    }
}

BOOL GetClientRect(HWND window, RECT* rect) {
    if (!gtkside::IsLive(window) || rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    if (!gtkside::IsLive(window) || rect == nullptr) {
        return FALSE;
    }
    *rect = window->rect;
    return TRUE;
}

// The outer rectangle asked for becomes the content's size less the frame;
// the window manager may grant less, which the next configure event reports.
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    if (!gtkside::IsLive(window)) {
        return FALSE;
    }
    const int oldWidth = window->clientWidth;
    const int oldHeight = window->clientHeight;
    AskClientSize(window, width - window->frameWidth, height - window->frameHeight);
    window->rect = RECT{x, y, x + window->clientWidth + window->frameWidth,
                        y + window->clientHeight + window->frameHeight};
    const int scale = ScaleOf(window);
    gtk_window_move(GTK_WINDOW(window->widget), LogicalPosition(x, scale), LogicalPosition(y, scale));
    gtk_window_resize(GTK_WINDOW(window->widget), window->contentWidth / scale, window->contentHeight / scale);
    if (repaint) {
        Invalidate(window);
    }
    if (oldWidth != window->clientWidth || oldHeight != window->clientHeight) {
        Send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
    }
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (!gtkside::IsLive(window)) {
        return FALSE;
    }
    return Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT removal) {
    if (message == nullptr) {
        return FALSE;
    }
    TakeEvents();
    Windowing& state = State();
    for (auto queued = state.queue.begin(); queued != state.queue.end(); ++queued) {
        if (Matches(*queued, window, first, last)) {
            *message = *queued;
            if ((removal & PM_REMOVE) != 0) {
                state.queue.erase(queued);
            }
            return TRUE;
        }
    }
    // As on Windows: WM_QUIT once nothing else is posted, paint requests last.
    MSG generated{};
    generated.time = static_cast<DWORD>(g_get_monotonic_time() / 1000);
    if (state.quitPosted && window == nullptr) {
        generated.message = WM_QUIT;
        generated.wParam = static_cast<WPARAM>(state.quitCode);
        if ((removal & PM_REMOVE) != 0) {
            state.quitPosted = false;
        }
        *message = generated;
        return TRUE;
    }
    HWND unpainted = WindowNeedingPaint(window);
    if (unpainted != nullptr && Matches(MSG{unpainted, WM_PAINT, 0, 0, 0, {}}, window, first, last)) {
        generated.hwnd = unpainted;
        generated.message = WM_PAINT;
        *message = generated;
        return TRUE;
    }
    return FALSE;
}

// Blocks in GTK's main loop until an event has given a message; an iteration
// may end without one (a timer of GTK's own), and then it waits again.
BOOL WaitMessage() {
    TakeEvents();
    Windowing& state = State();
    while (state.queue.empty() && !state.quitPosted && WindowNeedingPaint(nullptr) == nullptr) {
        g_main_context_iteration(nullptr, TRUE);
    }
    return TRUE;
}

// Keys give WM_KEYDOWN and WM_KEYUP only: the program takes no characters.
BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* message) {
    return message != nullptr ? Send(message->hwnd, message->message, message->wParam, message->lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!gtkside::IsLive(window)) {
        return 0;
    }
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                Send(window, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(window, &paint) != nullptr) {
                EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_ERASEBKGND: {
            COLORREF colour;
            if (wParam == 0 || !gtkside::BrushColour(window->background, &colour)) {
                return 0;
            }
            Fill(reinterpret_cast<HDC>(wParam), colour);
            return 1;
        }
        case WM_SETTEXT:
            gtk_window_set_title(GTK_WINDOW(window->widget),
                                 DisplayText(reinterpret_cast<const char*>(lParam)).c_str());
            return TRUE;
        default:
            return 0;
    }
}

BOOL IsWindow(HWND window) { return gtkside::IsLive(window) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND window) {
    if (!gtkside::IsLive(window) || window->destroying) {
        return FALSE;
    }
    window->destroying = true;
    Send(window, WM_DESTROY, 0, 0);
    window->alive = false;
    window->needsPaint = false;
    if (window->screen != nullptr) {
        cairo_surface_destroy(window->screen);
        window->screen = nullptr;
    }
    gtk_widget_destroy(window->widget);
    window->widget = nullptr;
    cairo_surface_destroy(window->pixels);
    window->pixels = nullptr;
    if (window->shownRegion != nullptr) {
        cairo_region_destroy(window->shownRegion);
        window->shownRegion = nullptr;
    }
    auto& queue = State().queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(), [window](const MSG& queued) { return queued.hwnd == window; }),
                queue.end());
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    State().quitPosted = true;
    State().quitCode = exitCode;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!gtkside::IsLive(window) || paint == nullptr) {
        return nullptr;
    }
    window->needsPaint = false;
    const bool erase = window->needsErase;
    window->needsErase = false;
    const LRESULT erased = erase ? Send(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(&window->paint), 0) : 1;
    *paint = PAINTSTRUCT{};
    paint->hdc = &window->paint;
    paint->fErase = erase && erased == 0 ? TRUE : FALSE;
    paint->rcPaint = RECT{0, 0, window->clientWidth, window->clientHeight};
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (!gtkside::IsLive(window) || paint == nullptr || paint->hdc != &window->paint) {
        return FALSE;
    }
    gtkside::Show(window, 0, 0, window->contentWidth, window->contentHeight);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT*) {
    if (!gtkside::IsLive(window)) {
        return FALSE;
    }
    // One flag covers the whole client area: any part validated counts as
    // all of it, which is what the program ever asks for.
    window->needsPaint = false;
    window->needsErase = false;
    return TRUE;
}

HDC GetDC(HWND window) {
    if (window == nullptr) {
        return &screenContext;
    }
    return gtkside::IsLive(window) ? &window->client : nullptr;
}

int ReleaseDC(HWND window, HDC surface) {
    return surface != nullptr && surface->window == window && !surface->paint ? 1 : 0;
}

}  // namespace platform
