// The Windows model of the sides that are not Windows (the GTK desktop and
// the test stand-in): the records behind the handles, the live resources,
// and what a side calls to feed the model. The Windows calls are defined once,
// in this folder, over what each side says a window does (backend.h).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace winmodel {

// A side's own part of a window: its system window, or its simulated one.
struct SideWindow;

// Resources taken and not yet given back, counted on every side, so that the
// balance tests check what the native program does.
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
    bool operator!=(const LiveCounts& other) const { return !(*this == other); }
};
LiveCounts& Counts();

// A window pixel nothing has drawn yet. Drawn pixels have a zero top byte;
// cairo's RGB24 ignores that byte, so an unpainted pixel shows black.
constexpr std::uint32_t kUnpaintedPixel = 0xFF000000;

}  // namespace winmodel

// A window. Every size and position is in screen pixels.
struct HWND__ {
    WNDPROC procedure;
    HBRUSH background;
    std::string caption;
    RECT rect;  // outer rectangle, screen coordinates
    int clientWidth, clientHeight;
    // What the window shows, rows from the top, a pixel a 32-bit 0x00RRGGBB:
    // cairo's RGB24 on a little-endian machine. A side may keep more than the
    // client area (GTK's whole logical pixels); the rest shows the background.
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
// Every window made, destroyed ones included, in creation order.
std::vector<HWND> AllWindows();
// Is `surface` a drawing context handed out and not yet given back?
bool IsLiveContext(HDC surface);
bool FindClass(const char* name, WNDCLASSA* found);
// The colour of a live brush; false for anything else.
bool BrushColour(HBRUSH brush, COLORREF* colour);

// What a side's input becomes: a message appended to the thread's queue.
void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Delivers a message to the window procedure at once, as SendMessage does.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sets the quit flag, as PostQuitMessage does.
void PostQuit(int exitCode);
void Invalidate(HWND window);
// Makes the client area `width` x `height` and the pixels kept at least
// `pixelWidth` x `pixelHeight`, keeping what is drawn at the top-left; the
// rest is unpainted. True when a size changed.
bool SetClientSize(HWND window, int width, int height, int pixelWidth, int pixelHeight);
// Has PeekMessageA something to give: a posted message, the quit, a paint?
bool MessageWaiting();
// Sends WM_PAINT to every window that needs it, as a modal loop of the system
// dispatches the paints that fall due.
void PaintWaiting();
// A modal loop: runs the system's events until `*done`, painting what is due
// before each wait.
void RunModal(const bool* done);
// The strings of a dialog's filter list, NUL-terminated strings ended by an
// empty one; a list of more than 64 strings is cut short.
std::vector<std::string> FilterStrings(const char* list);

// For tests: windows (without messages), classes and the brushes they own,
// contexts, the queue and the quit flag as a fresh process finds them.
void ResetWindows();

// The test stand-in's call log, written while it records: the call's name,
// then its numbers, or a message as in "DefWindowProcA 0x000F".
void Note(const char* call, std::initializer_list<long long> numbers = {});
void NoteMessage(const char* call, UINT message);

}  // namespace winmodel
