// The Windows model of the Linux sides (the GTK desktop and the test
// stand-in): the records behind the handles, the live resources, and what a
// side calls to feed the model. The Windows calls are defined once, in this
// folder, over what each side says a window does (backend.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace winmodel {

struct SideWindow;  // a side's own part of a window

// Resources taken and not yet given back, counted on every side, so that the
// balance tests count what the native program takes.
struct LiveCounts {
    int openFiles = 0;        // OpenFile without _lclose
    int globalBlocks = 0;     // GlobalAlloc without GlobalFree
    int lockedBlocks = 0;     // GlobalLock without GlobalUnlock
    int heapBlocks = 0;       // malloc without free
    int bitmaps = 0;          // CreateDIBitmap without DeleteObject
    int drawingContexts = 0;  // GetDC/BeginPaint without ReleaseDC/EndPaint
    int brushes = 0;          // CreateSolidBrush (a class keeps its brush)
    int windows = 0;          // CreateWindowExA without DestroyWindow
    bool operator==(const LiveCounts& other) const;
};
LiveCounts& Counts();

// A window pixel nothing has drawn yet. Drawn pixels have a zero top byte;
// cairo's RGB24 ignores that byte, so an unpainted pixel shows black.
constexpr std::uint32_t kUnpaintedPixel = 0xFF000000;

}  // namespace winmodel

// A window, in screen pixels. What it shows is kept in `pixels`, rows from the
// top, a pixel a 32-bit 0x00RRGGBB (cairo's little-endian RGB24), maybe more
// than the client area (GTK's whole logical pixels), the rest the background.
struct HWND__ {
    WNDPROC procedure;
    HBRUSH background;
    std::string caption;
    RECT rect;  // outer rectangle, screen coordinates
    int clientWidth, clientHeight;
    int pixelWidth, pixelHeight;
    std::vector<std::uint32_t> pixels;
    bool alive, destroying, needsPaint, needsErase;
    winmodel::SideWindow* side;
};

// A drawing context: of a window's client area, or of the screen when
// `window` is null. `paint` marks one from BeginPaint, given back by EndPaint.
struct HDC__ {
    HWND window;
    bool paint;
};
// A device bitmap holds its picture as the display does: in window pixels.
struct HBITMAP__ {
    long long width, height;
    std::uint32_t* pixels;
};
struct HBRUSH__ {
    COLORREF colour;
};
struct HCURSOR__ {
    int id;
};

namespace winmodel {

bool IsLive(HWND window);
bool IsLiveContext(HDC surface);  // handed out and not given back?
bool FindClass(const char* name, WNDCLASSA* found);  // as registered; false for no such class
bool BrushColour(HBRUSH brush, COLORREF* colour);  // false for no live brush

// Post is what a side's input becomes; Send calls the window procedure at
// once, as SendMessage does.
void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuit(int exitCode);  // the quit flag, as PostQuitMessage sets it
void Invalidate(HWND window);
// Sizes the client area and the pixels kept (at least as large), keeping what
// is drawn at the top-left, the rest unpainted. True when a size changed.
bool SetClientSize(HWND window, int width, int height, int pixelWidth, int pixelHeight);
// A modal loop of the system: runs its events until `*done`, sending the
// paints that fall due before each wait.
void RunModal(const bool* done);
// The strings of a dialog's filter list, NUL-terminated strings ended by an
// empty one; a list of more than 64 strings is cut short.
std::vector<std::string> FilterStrings(const char* list);
// For tests: windows (without messages), classes and the brushes they own,
// contexts, the queue and the quit flag as a fresh process finds them.
void ResetWindows();

}  // namespace winmodel
