// What the GTK side's files share, and what its tests reach without a display.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

#include "platform/winmodel/backend.h"

// A window's images in memory shared with the X server.
struct SharedImages;

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

// Puts a rectangle of a window's pixels (rows of `pixelWidth` pixels, as the
// Windows model keeps them) into its X window through memory shared with the
// server, keeping the images in `*kept`; false where the display offers no
// such memory (then nothing is kept, and the caller draws another way).
bool PutShared(SharedImages** kept, GdkWindow* content, const std::uint32_t* pixels, int pixelWidth,
               int pixelHeight, int x, int y, int width, int height);
// Gives the images back, once the server is done with them.
void DropShared(SharedImages** kept);

}  // namespace gtkside
