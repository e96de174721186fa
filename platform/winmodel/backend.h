// What each Linux side defines for the Windows model, in screen pixels: what
// a window does on its system, real or simulated. The build links one side.
#pragma once

#include <cstdint>
#include <string>

#include "platform/winmodel/model.h"

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
// The screensaver's calls (platform/winmodel/screen.cpp), which only the test
// stand-in's programs link: the desktop window, the screen's pixels in a
// rectangle of the virtual screen (rows from the top, each a 0x00RRGGBB;
// false when the system gives none), and the pointer over the program's
// windows.
HWND DesktopWindow();
bool ReadScreen(int x, int y, int width, int height, std::uint32_t* pixels);
void ShowSystemCursor(bool shown);
// Runs a modal dialog (platform/winmodel/dialog.cpp) until it has ended;
// only a side that links the dialog manager defines it (the test stand-in).
void RunDialog(HWND dialog);

}  // namespace winmodel::backend
