// What the GTK side's files share, and what its tests reach without a display.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

#include "platform/winmodel/model.h"

// A window's buffers in memory shared with a Wayland compositor.
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

// A window's frames under Wayland (wayland_frames.cpp): MakeWaylandFrames
// makes two buffers of `width` x `height`, shown on a subsurface of the GTK
// window `toplevel`, in place of those `*kept` held, and gives the first
// one's pixels, or null where the compositor offers no such memory (then
// the model keeps the pixels itself). PresentWayland commits the one the
// pixels are in, placed at (x, y) of the window in logical pixels at buffer
// scale `scale`, and turns the window to the other; AwaitWayland returns
// once the compositor has released the buffer `pixels` are in.
std::uint32_t* MakeWaylandFrames(WaylandFrames** kept, GdkWindow* toplevel, int width, int height);
bool PresentWayland(HWND window, WaylandFrames* frames, GtkWidget* toplevel, int x, int y, int scale);
void AwaitWayland(WaylandFrames* frames, const std::uint32_t* pixels);
void DropWaylandFrames(WaylandFrames** kept);

}  // namespace gtkside
