// The Windows model of the Linux sides (the GTK desktop, the web page and the
// test stand-in): the records behind the handles, the live resources, what a
// side calls to feed the model, and what each side defines for it
// (winmodel::backend). The Windows calls are defined once, in this folder.
#pragma once

#include <cstddef>
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
    int memoryContexts = 0;   // CreateCompatibleDC without DeleteDC
    int registryKeys = 0;     // RegCreateKeyExA/RegOpenKeyExA without RegCloseKey
    bool operator==(const LiveCounts& other) const;
    bool operator!=(const LiveCounts& other) const { return !(*this == other); }
};
LiveCounts& Counts();

// A window pixel nothing has drawn yet. Drawn pixels have a zero top byte;
// cairo's RGB24 ignores that byte, so an unpainted pixel shows black.
constexpr std::uint32_t kUnpaintedPixel = 0xFF000000;

// A device-independent bitmap's rows as a header describes them, and where
// SetDIBitsToDevice puts them (graphics.cpp).
struct DibLayout {
    long long width, rows, rowBytes, colourEntries;
    int pixelBytes;
    bool bottomUp;
};
struct Placement {
    long long x, y, width, height;  // the destination rectangle
    long long sourceX, sourceY;
    long long startScan, lines;  // the scan lines `bits` holds
};

// A SetDIBitsToDevice over a whole window whose rows have not yet become its
// pixels (winmodel::drawingWaits).
struct WaitingDraw {
    const void* bits = nullptr;  // null: none waits
    DibLayout layout{};
    Placement at{};
};

}  // namespace winmodel

// Where a window's pixels are kept: in the model's own memory, or in the
// memory a side shows them from (winmodel::pixelMemory). Used as a vector is.
struct WindowPixels {
    std::uint32_t* start = nullptr;
    std::size_t count = 0;
    std::vector<std::uint32_t> own;  // empty while the side's memory holds them
    // Set once the side has shown the pixels and turned the window to other
    // memory of its own (winmodel::TurnPixels): the pixels there, newer,
    // are copied over only before a write that does not cover them all.
    const std::uint32_t* newer = nullptr;
    // The top byte drawn pixels carry: 0, or 0xFF000000 where the system
    // reads that byte as alpha (a Wayland compositor's XRGB8888 buffers,
    // read back as ARGB).
    std::uint32_t drawnTop = 0;
    winmodel::WaitingDraw waiting;
    std::uint32_t* data() const { return start; }
    std::uint32_t* begin() const { return start; }
    std::uint32_t* end() const { return start + count; }
    std::size_t size() const { return count; }
    std::uint32_t& operator[](std::size_t index) const { return start[index]; }
};

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
    WindowPixels pixels;
    bool alive, destroying, needsPaint, needsErase;
    winmodel::SideWindow* side;
    HWND parent;  // of a WS_CHILD window: a window of the model's, or a foreign one
    std::string className;
};

// A drawing context: of a window's client area, or of the screen when
// `window` is null. `paint` marks one from BeginPaint, given back by EndPaint.
// A memory context (CreateCompatibleDC) draws into the bitmap selected into it.
struct HDC__ {
    HWND window;
    bool paint;
    HBITMAP selected = nullptr;
};
// A device bitmap holds its picture as the display does: in window pixels.
// A DIB section (CreateDIBSection) holds 24-bit rows the program reads and
// writes itself, bottom-up, each padded to 4 bytes, in `sectionBits`.
struct HBITMAP__ {
    long long width, height;
    std::uint32_t* pixels;
    unsigned char* sectionBits = nullptr;
    int selections = 0;  // memory contexts it is selected into: it cannot be deleted
};
struct HBRUSH__ {
    COLORREF colour;
};

namespace winmodel {

bool IsLive(HWND window);
bool FindClass(const char* name, WNDCLASSA* found);  // as registered; false for no such class
bool BrushColour(HBRUSH brush, COLORREF* colour);  // false for no live brush
void KeepBitmap(HBITMAP bitmap);  // a new bitmap, live until DeleteObject
bool IsLiveBitmap(HGDIOBJ object);
// Drawing contexts (graphics.cpp): GetDC's and BeginPaint's, live until
// ReleaseDC or EndPaint gives them back; DropContexts gives back all.
HDC NewContext(HWND window, bool paint);
void DropContext(HDC context);
bool IsLiveContext(HDC surface);
void DropContexts();

// Post is what a side's input becomes; Send calls the window procedure at
// once, as SendMessage does.
void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuit(int exitCode);  // the quit flag, as PostQuitMessage sets it
void Invalidate(HWND window);
// Sizes the client area and the pixels kept (at least as large), keeping what
// is drawn at the top-left, the rest unpainted. True when a size changed.
bool SetClientSize(HWND window, int width, int height, int pixelWidth, int pixelHeight);
// Memory a side shows a window's pixels from, so that each frame is written
// once, straight into it. `supply` gives memory for `width` x `height`
// pixels that the side keeps until its next call for the window or
// DestroySystemWindow, or null for the model's own memory; `beforeWriting`
// returns once the system is done reading the pixels' memory, so that it
// never shows a frame half written. Both null (the stand-in, the page): the
// model's memory, no wait.
struct PixelMemory {
    std::uint32_t* (*supply)(HWND window, int width, int height) = nullptr;
    void (*beforeWriting)(HWND window) = nullptr;
};
extern PixelMemory pixelMemory;
// Drawing may wait, for a side that shows a window less often than the
// program draws into it (the web page shows one frame per display frame,
// while the program may draw several generations in it): then a
// SetDIBitsToDevice that rewrites the whole window from a global memory
// block only notes what it draws, and its rows become window pixels when the
// pixels are next read or partly written, or before any global block is
// freed. Of several whole draws in a row only the last is converted.
extern bool drawingWaits;
// Is [bytes, bytes + count) inside one live global memory block?
bool InGlobalBlock(const void* bytes, long long count);
// Writes a window's waiting draw into `target`, memory of its pixels' size,
// as RowToWindow writes; false when none waits. It still waits.
bool CopyWaitingDraw(HWND window, std::uint32_t* target, std::uint32_t top, bool redFirst);
// The rows of a window's waiting draw when they are its pixels as they
// stand, the bottom row first: a bottom-up 24-bit DIB of the window's size
// drawn whole at its corner. `rowBytes` apart; false otherwise.
bool WaitingRows(HWND window, const unsigned char** rows, long long* rowBytes);
// Before the pixels are written (`whole`: every one of them) or read: the
// side's wait, then the newer pixels copied over and a waiting draw written,
// unless all are rewritten.
void BeforeWriting(HWND window, bool whole);
inline void SettlePixels(HWND window) {
    if (window->pixels.newer != nullptr || window->pixels.waiting.bits != nullptr) {
        BeforeWriting(window, false);
    }
}
void SettleAllPixels();  // of every window, before memory a draw may wait on goes
// A side that has given the pixels to the system to show turns the window to
// `next`, other memory of its own of the same size, so that the next frame
// is written while the system still reads the last. A Present that finds
// the window turned has nothing new to show: nothing was written since.
void TurnPixels(HWND window, std::uint32_t* next);
// Turns `count` pixels of `pixelBytes` bytes (blue, green, red first) into
// window pixels with the top byte `top`, the fastest way the processor has:
// every frame of the program, and mottlescreen's, goes through here. With
// `redFirst` the red and blue bytes trade places (a canvas's RGBA bytes).
void RowToWindow(const unsigned char* from, int pixelBytes, std::uint32_t* to, long long count, std::uint32_t top,
                 bool redFirst = false);
// A modal loop of the system: runs its events until `*done`, sending the
// paints that fall due (PaintWaiting) before each wait.
void PaintWaiting();
void RunModal(const bool* done);
// The strings of a dialog's filter list, NUL-terminated strings ended by an
// empty one; a list of more than 64 strings is cut short.
std::vector<std::string> FilterStrings(const char* list);
// A side tells that a foreign window (backend::ForeignWindowSize) is gone:
// the model's windows inside it are destroyed, as Windows destroys a
// window's children with it.
void ForeignWindowGone(HWND foreign);

// The program's own resources (FindResourceA): none on the Linux sides unless
// the test stand-in registers some. Names and types compare as Windows
// compares them: numbers by value, strings without regard to case.
void RegisterResource(LPCSTR name, LPCSTR type, const std::vector<unsigned char>& bytes);

// For the stand-in's fresh process: the resources, the registry's store (its
// open keys forgotten), the memory contexts and the pointer's count; windows
// (without messages), classes and the brushes they own, contexts, the queue
// and the quit flag.
void ClearResources();
void ClearRegistry();
void ResetScreenState();
void ResetWindows();

// The dialog manager's model (dialog.cpp): what a dialog made from a
// template holds, and what a user's click on an item does there: an
// automatic radio button becomes the checked one of its group, then the
// dialog procedure gets WM_COMMAND BN_CLICKED.
struct DialogItem {
    int id;
    std::string className;  // "BUTTON", "STATIC", ... or the class's ordinal as "#0x0080"
    std::string text;
    DWORD style;
    bool checked;
};
std::vector<DialogItem> DialogItems(HWND dialog);  // empty for no open dialog
bool DialogEnded(HWND dialog);
void PressDialogButton(HWND dialog, int id);

}  // namespace winmodel

// What each Linux side defines for the model, in screen pixels: what a window
// does on its system, real or simulated. The build links one side.
namespace winmodel::backend {

// Makes the system's window, hidden, and places it as `asked` says; false
// when the system cannot. Placing sets the outer rectangle and, with
// winmodel::SetClientSize, the client size the system grants.
bool CreateSystemWindow(HWND window, const CREATESTRUCTA& asked);
void ShowSystemWindow(HWND window);  // once shown, its frame is known
void PlaceSystemWindow(HWND window, int x, int y, int width, int height);
void SetSystemCaption(HWND window, const char* caption);
void DestroySystemWindow(HWND window);  // the handle stays for IsWindow
void Present(HWND window, int x, int y, int width, int height);  // pixels to the screen
// Runs the system's waiting events, each posting its messages; with `wait`,
// blocks for one first.
void PumpEvents(bool wait);
// SM_CXFULLSCREEN, SM_CYFULLSCREEN, SM_XVIRTUALSCREEN to SM_CYVIRTUALSCREEN
// (the rectangle around every monitor, where a screensaver runs: the test
// stand-in); 0 for others.
int ScreenMetric(int index);
extern const long long kLargestBitmapSide;  // that the display can show
// The modal open-file dialog, giving the full path chosen (false when
// cancelled), and the modal message box.
bool RunOpenDialog(const OPENFILENAMEA& request, std::string* path);
void RunMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Windows of other programs, as another process's HWND is on Windows: a
// handle the model did not make is one of these when the side knows it. Its
// client size; false when the side has no such window (the GTK and web sides
// know none; the test stand-in simulates some). A window made with WS_CHILD
// and such a parent goes inside it.
bool ForeignWindowSize(HWND foreign, int* width, int* height);
// The screensaver's calls (screen.cpp), which only the test stand-in's
// programs link: the desktop window, the screen's pixels in a rectangle of
// the virtual screen (rows from the top, each a 0x00RRGGBB; false when the
// system gives none), and the pointer over the program's windows.
HWND DesktopWindow();
bool ReadScreen(int x, int y, int width, int height, std::uint32_t* pixels);
void ShowSystemCursor(bool shown);
// Runs a modal dialog (dialog.cpp) until it has ended; only a side that
// links the dialog manager defines it (the test stand-in).
void RunDialog(HWND dialog);

}  // namespace winmodel::backend
