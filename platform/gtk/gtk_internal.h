// What the GTK side's source files share: the records behind the handles.
// Never used outside platform/gtk.
#pragma once

#include <gtk/gtk.h>

#include "platform/platform.h"

// A drawing context: of a window's client area, or of the screen when
// `window` is null. Each window owns its two, so that taking one allocates
// nothing: drawing through `client` (GetDC) shows at once, drawing through
// `paint` (BeginPaint) shows at EndPaint.
struct HDC__ {
    HWND window;
    bool paint;
};

// A window: a GTK top-level window whose content is the client area. What the
// window shows is kept in `pixels`, one persistent image surface of the
// content's size in screen pixels: the program draws into it and it is copied
// to the screen one pixel to one pixel, and an expose is repainted from it
// without the program.
struct HWND__ {
    GtkWidget* widget;  // null once destroyed
    WNDPROC procedure;
    HBRUSH background;
    // Every size and position here is in screen pixels, as on Windows,
    // whatever the display's scale; GTK counts in logical pixels, the scale
    // times fewer, and sizes the content in whole logical pixels.
    RECT rect;          // outer rectangle, screen coordinates
    int clientWidth;
    int clientHeight;
    int contentWidth;   // the GTK content: the client area rounded up to
    int contentHeight;  // whole logical pixels; the rest shows the background
    int askedWidth;     // the client size last asked for, to know a content
    int askedHeight;    // size GTK gives for it from one the user chose
    int frameWidth;     // outer size minus client size, as the window
    int frameHeight;    // manager gives them (0 without one)
    bool alive;
    bool destroying;
    bool mapped;
    bool needsPaint;
    bool needsErase;
    cairo_surface_t* pixels;
    cairo_surface_t* screen;      // the window itself, on X11
    cairo_region_t* shownRegion;  // elsewhere, the last region shown
    cairo_rectangle_int_t shownArea;
    HDC__ client;
    HDC__ paint;
};

struct HBITMAP__ {
    cairo_surface_t* image;
};

struct HBRUSH__ {
    COLORREF colour;
};

struct HCURSOR__ {
    int id;
};

struct HINSTANCE__ {
    int unused;
};

namespace gtkside {

// True for a window created and not yet destroyed.
bool IsLive(HWND window);
// The GTK window of a live window, for dialogs it owns; null otherwise.
GtkWindow* OwnerWidget(HWND window);
// Copies the rectangle of the window's pixels to the screen.
void Show(HWND window, int x, int y, int width, int height);
// Paints every window whose content is unknown by sending it WM_PAINT, as a
// modal loop of the system dispatches the paints that are due.
void PaintWaiting();
// Runs GTK's main loop until `*done`, painting what is due before each wait:
// the modal loop of a dialog or message box.
void RunModal(const bool* done);
// The colour of a live brush; false for anything else.
bool BrushColour(HBRUSH brush, COLORREF* colour);

}  // namespace gtkside
