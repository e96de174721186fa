// What each Linux side defines for the Windows model: what a window does on
// its system, real or simulated, and the hooks through which the test
// stand-in watches and steers the model. The build links one side.
//
// Sizes and positions are in screen pixels. A side that places a window sets
// its outer rectangle and, with winmodel::SetClientSize, its client size.
#pragma once

#include <string>

#include "platform/winmodel/model.h"

namespace winmodel::backend {

// Makes the system's window, hidden, as `asked` describes it; false when the
// system cannot.
bool CreateSystemWindow(HWND window, const CREATESTRUCTA& asked);
// Shows the window; once shown its frame is known.
void ShowSystemWindow(HWND window);
// Moves and sizes the window to the outer rectangle asked for; the system may
// grant another size.
void PlaceSystemWindow(HWND window, int x, int y, int width, int height);
void SetSystemCaption(HWND window, const char* caption);
// Ends the system's window; the handle stays for IsWindow.
void DestroySystemWindow(HWND window);
// Puts a rectangle of the window's pixels on the screen.
void Present(HWND window, int x, int y, int width, int height);
// Runs the system's events waiting, each posting its messages; with `wait`,
// blocks for one first.
void PumpEvents(bool wait);
// SM_CXFULLSCREEN and SM_CYFULLSCREEN; 0 for any other.
int ScreenMetric(int index);
// The longest side of a bitmap the display can show.
long long LargestBitmapSide();
// The modal open-file dialog, giving the full path chosen (false when
// cancelled), and the modal message box.
bool RunOpenDialog(const OPENFILENAMEA& request, std::string* path);
void RunMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The test stand-in's hooks: its call log, the calls it makes fail, the polls
// of the queue it counts, and the open-file dialogs asked for, whether they
// open or not.
bool Recording();
void NoteCall(const std::string& entry);
enum class Fault { GlobalAlloc, HeapAlloc, Bitmap, RegisterClass, CreateWindow, BeginPaint };
bool Fails(Fault fault);
void Polled(bool found);
void NoteOpenDialog(const OPENFILENAMEA& request);

}  // namespace winmodel::backend
