// What tests may do to the host platform: read how many of each resource are
// live, make calls fail on demand, read the log of calls made, and drive and
// inspect the simulated windows, input and dialogs.
#pragma once

#include "platform/winmodel/model.h"

namespace host {

using LiveCounts = winmodel::LiveCounts;
LiveCounts CurrentCounts();

// Faults, by the call that fails (HeapAlloc: malloc; Bitmap: CreateDIBitmap).
// A count of N lets N more calls succeed and fails the ones after; -1 never
// fails. ClearFaults() restores -1 everywhere.
enum class Fault { GlobalAlloc, HeapAlloc, Bitmap, RegisterClass, CreateWindow, BeginPaint };
void FailAfter(Fault fault, int successes);
void ClearFaults();

// While recording is on, every platform call is logged in order, e.g.
// "OpenFile", "_lread 14", "GlobalAlloc 1072", "malloc 40", "CreateDIBitmap".
// Recording is off at start, so long runs do not grow the log.
void RecordCalls(bool on);
const std::vector<std::string>& CallLog();
void ClearCallLog();

// --- Windows, the message queue and painting ----------------------------------
// Every overlapped window has a fixed frame: its outer rectangle is this much
// larger than its client area (a border on each side, the caption on top).
// Pop-up and child windows (WS_POPUP, WS_CHILD) have none.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 31;
// What ClientPixel reports for a pixel nothing painted, or outside the client.
constexpr COLORREF kUnpainted = 0xFFFFFFFF;

// Everything here and in the model as a fresh process finds it: windows,
// the queue, input, dialogs, metrics, statistics, foreign windows, the
// screen, the pointer, the registry and resources.
void ResetWindowing();

// GetSystemMetrics' answers; a full-screen client of 1024 x 737 until set.
void SetSystemMetric(int index, int value);

struct WindowCreation {  // CreateWindowExA's arguments
    DWORD extendedStyle = 0;
    std::string className;
    std::string caption;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LPVOID creationData = nullptr;
};

// Windows in creation order, destroyed ones included (their handles stay
// valid for these queries until ResetWindowing). Whether one is live, its
// class and its brush: winmodel::IsLive, FindClass, BrushColour.
std::vector<HWND> AllWindows();
WindowCreation CreationOf(HWND window);
std::string CaptionOf(HWND window);
bool NeedsPaint(HWND window);
// Client-area pixel at (x, y), as 0x00BBGGRR, or kUnpainted.
COLORREF ClientPixel(HWND window, int x, int y);

// --- Input for the program's message loop ---------------------------------------
// Input is scheduled in order and delivered to the first live window, as the
// user would give it. An input arrives once the program has found its queue
// empty `afterIdlePolls` times (PeekMessageA returning false); WaitMessage
// delivers the next input at once, as if the user had acted while the program
// slept. When no input is left and the program waits, or polls an empty queue
// 1000 times in a row, the host ends the session the way a user would, by
// closing the window, and counts it in LoopStats::sessionEnds; if that is not
// enough (no window, or the window stays), it posts WM_QUIT. So a test's
// message loop always ends.
enum class InputKind {
    LeftClick,   // WM_LBUTTONDOWN, WM_LBUTTONUP at client (x, y)
    RightClick,  // WM_RBUTTONDOWN, WM_RBUTTONUP at client (x, y)
    MouseMove,   // WM_MOUSEMOVE to client (x, y)
    KeyPress,    // WM_KEYDOWN, WM_KEYUP of virtual key x
    SystemKeyPress,  // WM_SYSKEYDOWN, WM_KEYUP of virtual key x (with Alt held)
    MiddleClick,     // WM_MBUTTONDOWN, WM_MBUTTONUP at client (x, y)
    Close,       // the close box: WM_SYSCOMMAND SC_CLOSE
};
void ScheduleInput(InputKind kind, int x = 0, int y = 0, int afterIdlePolls = 0);

struct LoopStats {
    int peeks = 0;       // PeekMessageA calls
    int emptyPolls = 0;  // of which found nothing
    int waits = 0;       // times WaitMessage found nothing and slept
    int sessionEnds = 0; // times the host had to end the session itself
};
LoopStats CurrentLoopStats();

// --- Common dialogs and message boxes -------------------------------------------
// Answers for the open-file dialog, taken in order, one per GetOpenFileNameA.
// A dialog with no answer left is cancelled.
void AnswerOpenDialog(const std::string& path);
void CancelOpenDialog();
// While the dialog is open its owner is closed, as a window manager or the
// task manager would close it (WM_CLOSE through the dialog's modal loop);
// the dialog then ends as cancelled.
void CloseOwnerDuringOpenDialog();

struct OpenDialogCall {  // what one GetOpenFileNameA was given
    DWORD lStructSize = 0;
    HWND hwndOwner = nullptr;
    std::vector<std::string> filter;  // the strings of lpstrFilter, in order
    LPSTR lpstrFile = nullptr;
    std::string fileOnEntry;          // lpstrFile's content when the dialog opened
    DWORD nMaxFile = 0;
    bool hasTitle = false;
    std::string title;                // exact bytes of lpstrTitle
    DWORD Flags = 0;
    bool otherMembersZero = false;    // every member not listed above is zero
    bool answered = false;            // false when no answer was scheduled
};
const std::vector<OpenDialogCall>& OpenDialogCalls();

struct MessageBoxCall {  // what one MessageBoxA was given; the host answers IDOK
    HWND owner = nullptr;
    std::string text;     // exact bytes
    std::string caption;  // exact bytes
    UINT type = 0;
};
const std::vector<MessageBoxCall>& MessageBoxCalls();

// --- What the screensaver meets: other programs' windows, the screen, the
// pointer, its dialog, resources --------------------------------------------------
// A window of another program with a client area of width x height, as the
// preview box of Windows' settings or an XScreenSaver window is; its handle is
// one the model did not make.
HWND CreateForeignWindow(int width, int height);
// Destroys it once the program has found its queue empty `afterIdlePolls`
// times, and with `childrenToo` the model's windows inside it, as the system
// does; without, they hear nothing (as when the system has not yet told
// them) and only IsWindow tells that it is gone. The desktop's root window
// (GetDesktopWindow) is a foreign window the size of the virtual screen.
void DestroyForeignWindowAfter(HWND foreign, int afterIdlePolls, bool childrenToo);
// The virtual screen: its rectangle (GetSystemMetrics SM_XVIRTUALSCREEN to
// SM_CYVIRTUALSCREEN; 0, 0, 1024, 768 until set) and what it shows, rows from
// the top, pixels 0x00RRGGBB. Until an image is set the screen gives none
// (a capture fails); outside the image it is black.
void SetVirtualScreen(int x, int y, int width, int height);
void SetScreenImage(int width, int height, const std::vector<std::uint32_t>& pixels);
// Is the pointer shown over the program's windows (ShowCursor's count >= 0)?
bool CursorShown();

// Clicks on the items of the next modal dialog (DialogBoxIndirectParamA), in
// order, each a click on the item with that id (the OK button is IDOK). With
// none left and the dialog still open, its cancel (WM_CLOSE) ends it.
void ClickDialogItem(int id);
// The last dialog that ran, as it stood when it ended.
struct DialogRecord {
    std::string caption;
    std::vector<winmodel::DialogItem> items;
    int clicksTaken = 0;
};
const std::vector<DialogRecord>& DialogRecords();
// A resource of the program for FindResourceA: winmodel::RegisterResource.

}  // namespace host
