// What each Linux side defines for the Windows model, in screen pixels: what
// a window does on its system, real or simulated, and the hooks through which
// the test stand-in watches and steers the model. The build links one side.
#pragma once

#include <initializer_list>
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
int ScreenMetric(int index);  // SM_CXFULLSCREEN, SM_CYFULLSCREEN; 0 for others
extern const long long kLargestBitmapSide;  // that the display can show
// The modal open-file dialog, giving the full path chosen (false when
// cancelled), and the modal message box.
bool RunOpenDialog(const OPENFILENAMEA& request, std::string* path);
void RunMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The test stand-in's hooks: its call log (a call's name, then its numbers,
// or a message as in "DefWindowProcA 0x000F"), the calls it makes fail, the
// polls of the queue it counts, and the open-file dialogs asked for, whether
// they open or not.
void Note(const char* call, std::initializer_list<long long> numbers = {}, bool message = false);
enum class Fault { GlobalAlloc, HeapAlloc, Bitmap, RegisterClass, CreateWindow, BeginPaint };
bool Fails(Fault fault);
void Polled(bool found);
void NoteOpenDialog(const OPENFILENAMEA& request);

}  // namespace winmodel::backend
