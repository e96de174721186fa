// A stand-in for the little preview box of Windows' screensaver settings,
// for the end-to-end scenarios of mottler.scr /p: a top-level window whose
// client area is the size asked for, whose handle, in decimal as Windows
// passes it, goes to the file named by the first argument. Every fifth of a
// second, FILE.children tells the windows inside it: a line each, the class
// name and the rectangle in the client area's coordinates (Wine shows no
// pixels of another process's window inside this one, so this is what can
// be seen of it there). Closing the window ends it.
// Usage: preview-parent.exe FILE [WIDTH HEIGHT]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT_PTR kReportTimer = 1;
char reportPath[MAX_PATH];

// Writes `text` whole under another name, then renames it: a reader never
// sees half of it.
void WriteWhole(const char* path, const char* text) {
    char partial[MAX_PATH + 8];
    std::snprintf(partial, sizeof partial, "%s.part", path);
    FILE* out = std::fopen(partial, "w");
    if (out == nullptr) {
        return;
    }
    std::fputs(text, out);
    std::fclose(out);
    MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING);
}

struct Report {
    HWND parent;
    char text[4096];
};

BOOL CALLBACK AddChild(HWND child, LPARAM context) {
    auto* report = reinterpret_cast<Report*>(context);
    char name[128] = "";
    GetClassNameA(child, name, sizeof name);
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, report->parent, reinterpret_cast<POINT*>(&rect), 2);
    const std::size_t used = std::strlen(report->text);
    std::snprintf(report->text + used, sizeof report->text - used, "%s %ld %ld %ld %ld\n", name, rect.left,
                  rect.top, rect.right, rect.bottom);
    return TRUE;
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kReportTimer) {
        Report report{window, ""};
        EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&report));
        WriteWhole(reportPath, report.text);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc < 2) {
        return 2;
    }
    const int width = __argc >= 4 ? std::atoi(__argv[2]) : 152;
    const int height = __argc >= 4 ? std::atoi(__argv[3]) : 112;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = "PreviewParent";
    if (RegisterClassA(&windowClass) == 0) {
        return 1;
    }
    RECT outer{0, 0, width, height};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRect(&outer, style, FALSE);
    HWND window = CreateWindowExA(0, "PreviewParent", "preview parent", style | WS_VISIBLE | WS_CLIPCHILDREN,
                                  40, 40, outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    char handle[32];
    std::snprintf(handle, sizeof handle, "%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    std::snprintf(reportPath, sizeof reportPath, "%s.children", __argv[1]);
    WriteWhole(__argv[1], handle);
    SetTimer(window, kReportTimer, 200, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
