// The program's only door to the operating system: one operation per Windows
// call it makes, under the call's own name and signature. The Windows build
// forwards each to the real call (platform/win32); the host build implements
// them for Linux from what the program relies on (platform/host), so the engine
// and the shell compile and run unchanged on both.
#pragma once

#include <cstddef>

#ifdef _WIN32
#include <windows.h>
#include <commdlg.h>
#else
#include "platform/win_types.h"
#endif

namespace platform {

#ifndef _WIN32
// On the Linux sides the calls have C linkage: each is one plain symbol
// ("OpenFile"), by which the test stand-in's recorder stands between the
// program and the calls at link time (platform/host/host.cpp).
extern "C" {
#endif

// --- Files: the legacy calls the loader reads pictures with -------------------

// Opens `path` with `style` (OF_READ). Returns a file handle or HFILE_ERROR.
// A short or bare name is searched for as the legacy call does; a path the
// legacy call's 128-byte record cannot hold (given, or found by the search)
// is still opened as it stands.
HFILE OpenFile(const char* path, UINT style);
// Reads up to `count` bytes; returns how many came (short at end of file), or
// HFILE_ERROR as an unsigned value when the read failed.
UINT _lread(HFILE file, void* buffer, UINT count);
// Positions the file at a signed 32-bit `offset` from `origin` (FILE_BEGIN).
LONG _llseek(HFILE file, LONG offset, int origin);
HFILE _lclose(HFILE file);

// --- Memory -------------------------------------------------------------------

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);

// --- Graphics -----------------------------------------------------------------

HBITMAP CreateDIBitmap(HDC surface, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* colours, UINT usage);
BOOL DeleteObject(HGDIOBJ object);
int SetDIBitsToDevice(HDC surface, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                      UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
                      UINT usage);
HBRUSH CreateSolidBrush(COLORREF colour);

// --- Windows, messages and painting ---------------------------------------------

ATOM RegisterClassA(const WNDCLASSA* windowClass);
HWND CreateWindowExA(DWORD extendedStyle, LPCSTR className, LPCSTR caption, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID creationData);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
int GetSystemMetrics(int index);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowTextA(HWND window, LPCSTR text);
BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT removal);
// Blocks until a message is waiting; used while there is nothing to animate.
BOOL WaitMessage();
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL DestroyWindow(HWND window);
// False once the window is destroyed.
BOOL IsWindow(HWND window);
void PostQuitMessage(int exitCode);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
// Marks the client area (or `rect` of it) as painted, so that no WM_PAINT
// follows for it.
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC surface);

// --- Common dialogs and message boxes --------------------------------------------

// The dialog's title and filter and the message's text and caption are the
// program's own texts, Shift_JIS bytes on every system; paths are in the
// process's 8-bit code page.
BOOL GetOpenFileNameA(OPENFILENAMEA* request);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// --- The screensaver's calls ------------------------------------------------------
// Used by the saver programs (saver/) only; the desktop program makes none.

// Screen capture: a memory context, a DIB section selected into it, and a
// copy from the screen's context (GetDC(nullptr)).
HDC CreateCompatibleDC(HDC surface);
BOOL DeleteDC(HDC surface);
HBITMAP CreateDIBSection(HDC surface, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HGDIOBJ SelectObject(HDC surface, HGDIOBJ object);
BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD operation);

// Other windows and the pointer.
HWND FindWindowA(LPCSTR className, LPCSTR caption);
HWND GetDesktopWindow();
int ShowCursor(BOOL show);

// The process: a pause, the environment, and its own resources.
void Sleep(DWORD milliseconds);
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// The registry, where the Windows saver keeps its setting per user.
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegCloseKey(HKEY key);

// A modal dialog from a template in memory, and what its procedure calls.
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL CheckRadioButton(HWND dialog, int firstButton, int lastButton, int checkButton);
UINT IsDlgButtonChecked(HWND dialog, int button);
BOOL SetDlgItemTextA(HWND dialog, int item, LPCSTR text);

#ifndef _WIN32
}  // extern "C"
#endif

// The general heap, for small records such as a picture's header block. C++
// linkage on every side: with C linkage these would be the C library's own.
void* malloc(std::size_t bytes);
void free(void* block);

}  // namespace platform
