// The Windows side of the platform layer: each operation is the real call.
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

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

// The code page of the program's own texts: Shift_JIS.
constexpr UINT kProgramTexts = 932;
// Wide characters a converted text (title, message, filter) may take.
constexpr int kTextLength = 256;
// Wide characters a converted path may take: a little more than the longest
// path the 8-bit buffers of the program hold.
constexpr int kPathLength = 1024;

// Turns a NUL-terminated 8-bit text of `codePage` into UTF-16; a null text
// stays empty. False when it does not convert or fit.
bool ToWide(UINT codePage, const char* text, wchar_t* wide, int capacity) {
    if (text == nullptr) {
        wide[0] = L'\0';
        return true;
    }
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, wide, capacity) > 0;
}

// The same for a list of NUL-terminated strings ended by an empty one (the
// dialog's filter).
bool ToWideList(UINT codePage, const char* list, wchar_t (&wide)[kTextLength]) {
    if (list == nullptr) {
        return true;
    }
    const char* end = list;
    while (*end != '\0') {
        end += std::strlen(end) + 1;
    }
    const int bytes = static_cast<int>(end - list) + 1;
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, list, bytes, wide, kTextLength) > 0;
}

// Turns a UTF-16 path into the process code page, NUL included, and returns
// its length in bytes with the NUL; 0 when it does not fit `capacity` or has
// a character the code page lacks (UTF-8 lacks none, and takes no default
// character).
int FromWide(const wchar_t* path, char* bytes, int capacity) {
    const UINT codePage = ::GetACP();
    if (codePage == CP_UTF8) {
        return ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, -1, bytes, capacity, nullptr,
                                     nullptr);
    }
    BOOL lossy = FALSE;
    const int length =
        ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, path, -1, bytes, capacity, nullptr, &lossy);
    return lossy ? 0 : length;
}

const wchar_t* NameStart(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at != L'\0'; ++at) {
        if (*at == L'\\' || *at == L'/' || *at == L':') {
            name = at + 1;
        }
    }
    return name;
}

const wchar_t* ExtensionStart(const wchar_t* path) {
    const wchar_t* name = NameStart(path);
    const wchar_t* dot = nullptr;
    for (const wchar_t* at = name; *at != L'\0'; ++at) {
        if (*at == L'.') {
            dot = at;
        }
    }
    return dot != nullptr ? dot + 1 : name + std::wcslen(name);
}

// How many bytes of the process code page the wide characters before `at`
// take: the dialog's offsets into the path, counted in the caller's bytes.
WORD BytesBefore(const wchar_t* path, const wchar_t* at) {
    const int characters = static_cast<int>(at - path);
    if (characters == 0) {
        return 0;
    }
    return static_cast<WORD>(::WideCharToMultiByte(::GetACP(), 0, path, characters, nullptr, 0, nullptr, nullptr));
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

BOOL IsWindow(HWND window) { return ::IsWindow(window); }

void PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) { return ::BeginPaint(window, paint); }

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) { return ::EndPaint(window, paint); }

BOOL ValidateRect(HWND window, const RECT* rect) { return ::ValidateRect(window, rect); }

HDC GetDC(HWND window) { return ::GetDC(window); }

int ReleaseDC(HWND window, HDC surface) { return ::ReleaseDC(window, surface); }

// The program's own texts are Shift_JIS whatever the system's code page, so
// they go to the wide calls turned from code page 932 into UTF-16: the dialog
// title and the message then read as Japanese on every system, and a path
// goes through the dialog in UTF-16, so that any file it offers can be chosen.
// Paths are turned from and back into the process code page, which the
// program's manifest makes UTF-8 where the system allows that (Windows 10
// 1903 and later, Wine), so that every path fits an 8-bit string there.

BOOL GetOpenFileNameA(OPENFILENAMEA* request) {
    // The wide call takes the members the program sets; a record that sets
    // others, or a text that does not convert, goes to the 8-bit call as it is.
    const bool carried = request->lpstrCustomFilter == nullptr && request->lpstrFileTitle == nullptr &&
                         request->lpstrInitialDir == nullptr && request->lpstrDefExt == nullptr &&
                         request->lpTemplateName == nullptr && request->lpfnHook == nullptr &&
                         request->lpstrFile != nullptr && request->nMaxFile > 0;
    wchar_t filter[kTextLength];
    wchar_t title[kTextLength];
    wchar_t file[kPathLength];
    if (!carried || !ToWideList(kProgramTexts, request->lpstrFilter, filter) ||
        !ToWide(kProgramTexts, request->lpstrTitle, title, kTextLength) ||
        !ToWide(CP_ACP, request->lpstrFile, file, kPathLength)) {
        return ::GetOpenFileNameA(request);
    }
    OPENFILENAMEW wide;
    std::memset(&wide, 0, sizeof wide);
    // Up to the extension members the two records have the same layout, and
    // the 8-bit record's size names the same version of the wide one.
    wide.lStructSize = request->lStructSize;
    wide.hwndOwner = request->hwndOwner;
    wide.hInstance = request->hInstance;
    wide.lpstrFilter = request->lpstrFilter != nullptr ? filter : nullptr;
    wide.nFilterIndex = request->nFilterIndex;
    wide.lpstrFile = file;
    wide.nMaxFile = request->nMaxFile < kPathLength ? request->nMaxFile : kPathLength;
    wide.lpstrTitle = request->lpstrTitle != nullptr ? title : nullptr;
    wide.Flags = request->Flags;
    wide.lCustData = request->lCustData;
    const BOOL chosen = ::GetOpenFileNameW(&wide);
    request->nFilterIndex = wide.nFilterIndex;
    if (!chosen) {
        return FALSE;
    }
    // The caller's buffer takes the path in the process code page. A path that
    // does not fit it or has characters the code page lacks goes in its short
    // form, which names the same file, when that fits; otherwise the choice
    // cannot be held, and the buffer keeps what it had, as after a cancel.
    char path[kPathLength * 4];
    int length = FromWide(file, path, sizeof path);
    if (length <= 0 || static_cast<DWORD>(length) > request->nMaxFile) {
        wchar_t shortForm[kPathLength];
        const DWORD shortLength = ::GetShortPathNameW(file, shortForm, kPathLength);
        if (shortLength == 0 || shortLength >= kPathLength) {
            return FALSE;
        }
        length = FromWide(shortForm, path, sizeof path);
        if (length <= 0 || static_cast<DWORD>(length) > request->nMaxFile) {
            return FALSE;
        }
        std::memcpy(file, shortForm, (shortLength + 1) * sizeof(wchar_t));
    }
    std::memcpy(request->lpstrFile, path, static_cast<std::size_t>(length));
    request->nFileOffset = BytesBefore(file, NameStart(file));
    request->nFileExtension = BytesBefore(file, ExtensionStart(file));
    request->Flags = wide.Flags;
    return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    wchar_t wideText[kTextLength];
    wchar_t wideCaption[kTextLength];
    if (!ToWide(kProgramTexts, text, wideText, kTextLength) ||
        !ToWide(kProgramTexts, caption, wideCaption, kTextLength)) {
        return ::MessageBoxA(owner, text, caption, type);
    }
    return ::MessageBoxW(owner, text != nullptr ? wideText : nullptr,
                         caption != nullptr ? wideCaption : nullptr, type);
}

HDC CreateCompatibleDC(HDC surface) { return ::CreateCompatibleDC(surface); }

BOOL DeleteDC(HDC surface) { return ::DeleteDC(surface); }

HBITMAP CreateDIBSection(HDC surface, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    return ::CreateDIBSection(surface, info, usage, bits, section, offset);
}

HGDIOBJ SelectObject(HDC surface, HGDIOBJ object) { return ::SelectObject(surface, object); }

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD operation) {
    return ::BitBlt(target, x, y, width, height, source, sourceX, sourceY, operation);
}

HWND FindWindowA(LPCSTR className, LPCSTR caption) { return ::FindWindowA(className, caption); }

HWND GetDesktopWindow() { return ::GetDesktopWindow(); }

int ShowCursor(BOOL show) { return ::ShowCursor(show); }

void Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
    return ::GetEnvironmentVariableA(name, buffer, size);
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) { return ::FindResourceA(module, name, type); }

HGLOBAL LoadResource(HMODULE module, HRSRC resource) { return ::LoadResource(module, resource); }

LPVOID LockResource(HGLOBAL loaded) { return ::LockResource(loaded); }

DWORD SizeofResource(HMODULE module, HRSRC resource) { return ::SizeofResource(module, resource); }

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition) {
    return ::RegCreateKeyExA(key, subKey, reserved, keyClass, options, access, security, result, disposition);
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, HKEY* result) {
    return ::RegOpenKeyExA(key, subKey, options, access, result);
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
    return ::RegQueryValueExA(key, name, reserved, type, data, size);
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    return ::RegSetValueExA(key, name, reserved, type, data, size);
}

LONG RegCloseKey(HKEY key) { return ::RegCloseKey(key); }

INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam) {
    return ::DialogBoxIndirectParamA(instance, dialogTemplate, owner, procedure, initParam);
}

BOOL EndDialog(HWND dialog, INT_PTR result) { return ::EndDialog(dialog, result); }

BOOL CheckRadioButton(HWND dialog, int firstButton, int lastButton, int checkButton) {
    return ::CheckRadioButton(dialog, firstButton, lastButton, checkButton);
}

UINT IsDlgButtonChecked(HWND dialog, int button) { return ::IsDlgButtonChecked(dialog, button); }

BOOL SetDlgItemTextA(HWND dialog, int item, LPCSTR text) { return ::SetDlgItemTextA(dialog, item, text); }

}  // namespace platform
