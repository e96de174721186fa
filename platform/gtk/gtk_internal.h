// What the GTK side's files share, and what its tests reach without a display.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>

#include "platform/winmodel/backend.h"

// A window's images in memory shared with the X server, and its buffers in
// memory shared with a Wayland compositor.
struct SharedImages;
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

// A window's pixels in images shared with the X server, which take turns
// (the model draws straight into them): MakeShared makes two images of
// `width` x `height` for the X window `content`, in place of those `*kept`
// held, and gives the first one's pixels (rows of `width`), or null where
// the display offers no such memory (then nothing is kept and the caller
// keeps the pixels itself). PresentShared puts the image the window's
// pixels are in into the X window at (toX, toY), all of it (what was drawn
// through a paint context shows only at EndPaint, and may lie beyond the
// rectangle presented first), and turns the window to the other image;
// false where the server refused.
// AwaitShared returns once the server is done reading the image `pixels`
// are in, so that they may be written again.
std::uint32_t* MakeShared(SharedImages** kept, GdkWindow* content, int width, int height);
bool PresentShared(HWND window, SharedImages* shared, int toX, int toY);
void AwaitShared(SharedImages* shared, const std::uint32_t* pixels);
// Gives the images back, once the server is done with them.
void DropShared(SharedImages** kept);

// The same under Wayland (wayland_frames.cpp): two buffers of `width` x
// `height` shown on a subsurface of the GTK window `toplevel`; PresentWayland
// commits the one the pixels are in, placed at (x, y) of the window in
// logical pixels at buffer scale `scale`, and turns the window to the other.
std::uint32_t* MakeWaylandFrames(WaylandFrames** kept, GdkWindow* toplevel, int width, int height);
bool PresentWayland(HWND window, WaylandFrames* frames, GtkWidget* toplevel, int x, int y, int scale);
void AwaitWayland(WaylandFrames* frames, const std::uint32_t* pixels);
void DropWaylandFrames(WaylandFrames** kept);

// The command line WinMain is given: the arguments after the program's name
// joined by one space, each empty one or one holding a space, tab or double
// quote in double quotes, a `"` in it written `\"`, the backslashes right
// before a `"` (the closing one too) doubled.
std::string CommandLine(int count, const char* const* arguments);

// An X window id written in decimal or as 0x hex, not 0 and no larger than
// an X resource id can be; false for anything else.
bool ParseWindowId(const char* text, unsigned long* id);

// How an X image holds its pixels; ConvertRows turns its rows into the
// model's 0x00RRGGBB words, `outStride` words apart; false for a layout it
// cannot read (colour maps, channels that are not one run of bits).
struct PixelLayout {
    int bitsPerPixel;
    bool mostSignificantFirst;
    unsigned long redMask, greenMask, blueMask;
    int bytesPerLine;
};
bool ConvertRows(const PixelLayout& layout, const unsigned char* data, int width, int height, std::uint32_t* out,
                 int outStride);

// Windows made with WS_CHILD (foreign.cpp): X windows with no frame inside a
// foreign window or one of the program's own, in screen pixels.
bool IsChildWindow(HWND window);
// A child window's shared image and its GDK window; null for no child window.
SharedImages** ChildShared(HWND window, GdkWindow** content);
bool CreateChildWindow(HWND window, const CREATESTRUCTA& asked);
void ShowChildWindow(HWND window);
void PlaceChildWindow(HWND window, int x, int y, int width, int height);
void DestroyChildWindow(HWND window);
void PresentChild(HWND window, int x, int y, int width, int height);
// SM_XVIRTUALSCREEN to SM_CYVIRTUALSCREEN: the root window's rectangle.
int VirtualScreenMetric(int index);
// Gives a shown top-level window the cursor ShowSystemCursor chose.
void FollowCursor(GtkWidget* widget);

}  // namespace gtkside
