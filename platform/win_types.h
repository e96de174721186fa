// The Windows types, structures and constants the program uses, declared for
// the Linux sides of the platform layer (the test stand-in and the GTK
// desktop) so that the engine and the shell compile there unchanged.
// Sizes follow the 32-bit Windows ABI wherever a value crosses a file or a
// platform call (LONG and DWORD are 32 bits; BITMAPINFOHEADER is 40 bytes).
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef unsigned char BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef unsigned int UINT;
typedef std::uint16_t ATOM;
typedef std::size_t SIZE_T;
typedef std::uintptr_t UINT_PTR;
typedef std::intptr_t LONG_PTR;
typedef std::intptr_t INT_PTR;
typedef DWORD REGSAM;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD COLORREF;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef int HFILE;

// Handles are distinct pointer types, as with the Windows headers' STRICT.
#define MOTTLER_DECLARE_HANDLE(name) \
    struct name##__;                 \
    typedef name##__* name
MOTTLER_DECLARE_HANDLE(HWND);
MOTTLER_DECLARE_HANDLE(HINSTANCE);
MOTTLER_DECLARE_HANDLE(HDC);
MOTTLER_DECLARE_HANDLE(HBITMAP);
MOTTLER_DECLARE_HANDLE(HBRUSH);
MOTTLER_DECLARE_HANDLE(HCURSOR);
MOTTLER_DECLARE_HANDLE(HICON);
MOTTLER_DECLARE_HANDLE(HMENU);
MOTTLER_DECLARE_HANDLE(HKEY);
MOTTLER_DECLARE_HANDLE(HRSRC);
#undef MOTTLER_DECLARE_HANDLE
typedef void* HGDIOBJ;
typedef void* HGLOBAL;
typedef void* HANDLE;
typedef HINSTANCE HMODULE;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Files
#define OF_READ 0x0000
#define HFILE_ERROR (-1)
#define FILE_BEGIN 0

// Memory
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040

// Bitmaps
#define BI_RGB 0
#define BI_RLE8 1
#define CBM_INIT 0x04
#define DIB_RGB_COLORS 0

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "information header is 40 bytes");

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// Windows and messages
struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

typedef UINT_PTR(CALLBACK* LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
};

#define MAKEINTRESOURCEA(id) (reinterpret_cast<LPCSTR>(static_cast<UINT_PTR>(static_cast<WORD>(id))))
#define IDC_ARROW MAKEINTRESOURCEA(32512)

#define RT_RCDATA MAKEINTRESOURCEA(10)

#define MAKELONG(low, high) \
    (static_cast<DWORD>(static_cast<WORD>(low)) | (static_cast<DWORD>(static_cast<WORD>(high)) << 16))
#define MAKELPARAM(low, high) (static_cast<LPARAM>(MAKELONG(low, high)))
#define MAKEWPARAM(low, high) (static_cast<WPARAM>(MAKELONG(low, high)))
#define LOWORD(value) (static_cast<WORD>(static_cast<DWORD>(value) & 0xFFFF))
#define HIWORD(value) (static_cast<WORD>((static_cast<DWORD>(value) >> 16) & 0xFFFF))

#define CS_BYTEALIGNWINDOW 0x2000
#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define WS_VISIBLE 0x10000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_TOPMOST 0x00000008L
#define SM_XVIRTUALSCREEN 76
#define SM_YVIRTUALSCREEN 77
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define PM_REMOVE 0x0001
#define PM_NOREMOVE 0x0000
#define MB_OK 0x00000000L
#define IDOK 1
#define IDCANCEL 2
#define SC_CLOSE 0xF060
#define SRCCOPY 0x00CC0020
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define SIZE_RESTORED 0

// The open-file record's size in the 32-bit layout without the members
// Windows 2000 added, which every version of the dialog takes.
#define OPENFILENAME_SIZE_VERSION_400A 76
#define OFN_HIDEREADONLY 0x00000004
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETREDRAW 0x000B
#define WM_SETTEXT 0x000C
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_INITDIALOG 0x0110
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_DROPFILES 0x0233
#define WM_USER 0x0400

// The registry
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(static_cast<LONG>(0x80000001))))
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L
#define REG_NONE 0
#define REG_SZ 1
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_OPTION_NON_VOLATILE 0
#define KEY_SET_VALUE 0x0002
#define KEY_READ 0x00020019
#define KEY_WRITE 0x00020006

struct SECURITY_ATTRIBUTES;  // passed on as given: the program gives none

// Dialogs from templates in memory: the records are packed to 2 bytes, and
// an item's record starts on a 4-byte boundary.
#pragma pack(push, 2)
struct DLGTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x;
    short y;
    short cx;
    short cy;
};
struct DLGITEMTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    short x;
    short y;
    short cx;
    short cy;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18, "dialog records are 18 bytes");

#define DS_MODALFRAME 0x80L
#define DS_CENTER 0x0800L
#define BS_PUSHBUTTON 0x0L
#define BS_DEFPUSHBUTTON 0x1L
#define BS_AUTORADIOBUTTON 0x9L
#define BS_TYPEMASK 0xFL
#define SS_LEFT 0x0L
#define SS_PATHELLIPSIS 0x8000L
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BN_CLICKED 0

// The program's entry point, which the platform's start-up calls, declared
// as the Windows headers declare it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
