// The Windows side of the platform layer: each operation is the real call.
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

HFILE OpenForReading(const char* path) {
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return HFILE_ERROR;
    }
    return static_cast<HFILE>(reinterpret_cast<INT_PTR>(file));
}

}  // namespace

HFILE OpenFile(const char* path, UINT style) {
    // The legacy call keeps the resolved path in a 128-byte record and refuses
    // any path, given or found by its search, that does not fit there; from a
    // deep current folder it refuses even a bare name found elsewhere. Short
    // and bare names go to it first and keep its search (current folder,
    // program folder, system folders). What it refuses or cannot take is
    // opened with CreateFileA, whose handle the legacy read, seek and close
    // calls take as well: as it stands, and for a bare name not in the current
    // folder, where the system's path search finds it.
    OFSTRUCT record;
    if (std::strlen(path) < sizeof(record.szPathName)) {
        const HFILE file = ::OpenFile(path, &record, style);
        if (file != HFILE_ERROR || style != OF_READ) {
            return file;
        }
    }
    if (style != OF_READ) {
        return HFILE_ERROR;
    }
    const HFILE file = OpenForReading(path);
    if (file != HFILE_ERROR || std::strpbrk(path, "\\/:") != nullptr) {
        return file;
    }
    char found[520];
    const DWORD length = ::SearchPathA(nullptr, path, nullptr, sizeof found, found, nullptr);
    if (length == 0 || length >= sizeof found) {
        return HFILE_ERROR;
    }
    return OpenForReading(found);
}

UINT _lread(HFILE file, void* buffer, UINT count) { return ::_lread(file, buffer, count); }

LONG _llseek(HFILE file, LONG offset, int origin) { return ::_llseek(file, offset, origin); }

HFILE _lclose(HFILE file) { return ::_lclose(file); }

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) { return ::GlobalAlloc(flags, bytes); }

void* GlobalLock(HGLOBAL block) { return ::GlobalLock(block); }

BOOL GlobalUnlock(HGLOBAL block) { return ::GlobalUnlock(block); }

HGLOBAL GlobalFree(HGLOBAL block) { return ::GlobalFree(block); }

void* malloc(std::size_t bytes) { return std::malloc(bytes); }

void free(void* block) { std::free(block); }

HBITMAP CreateDIBitmap(HDC surface, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* colours, UINT usage) {
    return ::CreateDIBitmap(surface, header, init, bits, colours, usage);
}

BOOL DeleteObject(HGDIOBJ object) { return ::DeleteObject(object); }

int SetDIBitsToDevice(HDC surface, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                      UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
    return ::SetDIBitsToDevice(surface, x, y, width, height, sourceX, sourceY, startScan, scanLines,
                               bits, info, usage);
}

HBRUSH CreateSolidBrush(COLORREF colour) { return ::CreateSolidBrush(colour); }

ATOM RegisterClassA(const WNDCLASSA* windowClass) { return ::RegisterClassA(windowClass); }

HWND CreateWindowExA(DWORD extendedStyle, LPCSTR className, LPCSTR caption, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID creationData) {
    return ::CreateWindowExA(extendedStyle, className, caption, style, x, y, width, height, parent,
                             menu, instance, creationData);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) { return ::LoadCursorA(instance, name); }

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

BOOL GetClientRect(HWND window, RECT* rect) { return ::GetClientRect(window, rect); }

BOOL GetWindowRect(HWND window, RECT* rect) { return ::GetWindowRect(window, rect); }

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return ::MoveWindow(window, x, y, width, height, repaint);
}

BOOL SetWindowTextA(HWND window, LPCSTR text) { return ::SetWindowTextA(window, text); }

BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT removal) {
    return ::PeekMessageA(message, window, first, last, removal);
}

BOOL WaitMessage() { return ::WaitMessage(); }

BOOL TranslateMessage(const MSG* message) { return ::TranslateMessage(message); }

LRESULT DispatchMessageA(const MSG* message) { return ::DispatchMessageA(message); }

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(window, message, wParam, lParam);
}

BOOL DestroyWindow(HWND window) { return ::DestroyWindow(window); }

void PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) { return ::BeginPaint(window, paint); }

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) { return ::EndPaint(window, paint); }

HDC GetDC(HWND window) { return ::GetDC(window); }

int ReleaseDC(HWND window, HDC surface) { return ::ReleaseDC(window, surface); }

BOOL GetOpenFileNameA(OPENFILENAMEA* request) { return ::GetOpenFileNameA(request); }

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return ::MessageBoxA(owner, text, caption, type);
}

}  // namespace platform
