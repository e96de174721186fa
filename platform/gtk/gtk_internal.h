// What the GTK side's files share, and what its tests reach without a display.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

#include "platform/winmodel/backend.h"

// A window's images in memory shared with the X server, and its buffers in
// memory shared with a Wayland compositor.
struct X11Frames;
struct WaylandFrames;

namespace gtkside {

// The GTK window of a live window, for dialogs it owns; null otherwise.
GtkWindow* OwnerWidget(HWND window);

// Screen pixels as logical ones, `scale` screen pixels to a logical one each
// way: a size rounded up, a position down.
int LogicalSize(int size, int scale);
int LogicalPosition(int position, int scale);
// Is a content (screen pixels) the one GTK gives for a client area asked of
// `askedWidth` x `askedHeight`: that size rounded up to whole logical pixels?
bool ContentAsAsked(int askedWidth, int askedHeight, int contentWidth, int contentHeight, int scale);
// The Windows virtual-key code of a GDK key; 0 for one the program is not told of.
WPARAM VirtualKey(guint keyval);
// One of the program's texts, Shift_JIS bytes, in UTF-8, for g_free.
gchar* ProgramText(const char* text);

// A window's pixels in the images of x11_frames.h, which take turns (the
// model draws straight into them): MakeShared makes two images of `width` x
// `height` for the X window `content`, in place of those `*kept` held, and
// gives the first one's pixels (rows of `width`), or null where the display
// offers no such memory (then nothing is kept and the caller keeps the
// pixels itself). PresentShared puts the image the window's pixels are in
// into `content` at (toX, toY), all of it (what was drawn through a paint
// context shows only at EndPaint, and may lie beyond the rectangle presented
// first), and turns the window to the other image; false where the server
// refused. AwaitShared returns once the server is done reading the image
// `pixels` are in, so that they may be written again. x11frames::Drop gives
// them back.
std::uint32_t* MakeShared(X11Frames** kept, GdkWindow* content, int width, int height);
bool PresentShared(HWND window, X11Frames* frames, GdkWindow* content, int toX, int toY);
void AwaitShared(X11Frames* frames, const std::uint32_t* pixels);

// The same under Wayland (wayland_frames.cpp): two buffers of `width` x
// `height` shown on a subsurface of the GTK window `toplevel`; PresentWayland
// commits the one the pixels are in, placed at (x, y) of the window in
// logical pixels at buffer scale `scale`, and turns the window to the other.
std::uint32_t* MakeWaylandFrames(WaylandFrames** kept, GdkWindow* toplevel, int width, int height);
bool PresentWayland(HWND window, WaylandFrames* frames, GtkWidget* toplevel, int x, int y, int scale);
void AwaitWayland(WaylandFrames* frames, const std::uint32_t* pixels);
void DropWaylandFrames(WaylandFrames** kept);

}  // namespace gtkside
