// The test stand-in's system: a simulated window manager whose windows have a
// fixed frame, the metrics, input and dialog answers tests give, and the
// recorder between the program and the model, with the faults and the call
// log tests set and read. Windows, the queue, painting, memory and files are
// the shared model's (platform/winmodel).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <map>

#include "platform/host/host_control.h"

namespace {

using host::Fault;

constexpr int kPatience = 1000;  // empty polls in a row with no input left: the session ends
const HWND kDesktop = reinterpret_cast<HWND>(UINT_PTR{0x10});  // the root window, a foreign one

struct ScheduledInput {
    host::InputKind kind;
    int x, y, afterIdlePolls;
};

struct DialogAnswer {
    bool confirm, closeOwner;
    std::string path;
};

struct Simulation {
    std::vector<HWND> windows;  // in creation order, destroyed ones too
    std::map<HWND, host::WindowCreation> creations;
    std::map<HWND, WNDPROC> procedures;  // the program's, behind the recorder's (Delivered)
    std::deque<ScheduledInput> input;
    int emptyPollsInARow = 0;
    std::map<int, int> metrics;
    host::LoopStats stats;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<host::OpenDialogCall> dialogCalls;
    std::vector<host::MessageBoxCall> messageBoxCalls;
    std::map<HWND, std::pair<int, int>> foreignWindows;  // live ones, by handle
    UINT_PTR nextForeign = 0x7000;
    RECT virtualScreen{0, 0, 1024, 768};
    int screenWidth = 0, screenHeight = 0;
    std::vector<std::uint32_t> screen;
    bool cursorShown = true;
    std::deque<int> dialogClicks;
    struct PendingForeignEnd {
        HWND foreign;
        int afterIdlePolls;
        bool childrenToo;
    };
    std::vector<PendingForeignEnd> foreignEnds;
    std::vector<host::DialogRecord> dialogRecords;
};

Simulation state;

int allowances[6] = {-1, -1, -1, -1, -1, -1};  // by host::Fault: N more succeed, then all fail; -1: none fails
bool recording = false;
std::vector<std::string> callLog;

bool Known(HWND window) { return state.creations.count(window) != 0; }

HWND FirstLiveWindow() {
    const auto live = std::find_if(state.windows.begin(), state.windows.end(), [](HWND each) { return each->alive; });
    return live != state.windows.end() ? *live : nullptr;
}

// Turns one scheduled input into the messages the user's action would queue.
void Deliver(const ScheduledInput& input) {
    HWND target = FirstLiveWindow();
    const LPARAM where = MAKELPARAM(input.x, input.y);
    if (target == nullptr) {
        // Nobody to close: the session ends all the same.
        if (input.kind == host::InputKind::Close) {
            winmodel::PostQuit(0);
        }
    } else if (input.kind == host::InputKind::LeftClick || input.kind == host::InputKind::RightClick ||
               input.kind == host::InputKind::MiddleClick) {
        const bool left = input.kind == host::InputKind::LeftClick;
        const bool right = input.kind == host::InputKind::RightClick;
        const UINT down = left ? WM_LBUTTONDOWN : right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
        winmodel::Post(target, down, left ? MK_LBUTTON : right ? MK_RBUTTON : 0, where);
        winmodel::Post(target, down + 1, 0, where);  // each button's up follows its down
    } else if (input.kind == host::InputKind::MouseMove) {
        winmodel::Post(target, WM_MOUSEMOVE, 0, where);
    } else if (input.kind == host::InputKind::KeyPress || input.kind == host::InputKind::SystemKeyPress) {
        const bool system = input.kind == host::InputKind::SystemKeyPress;
        winmodel::Post(target, system ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(input.x), 1);
        winmodel::Post(target, WM_KEYUP, static_cast<WPARAM>(input.x), static_cast<LPARAM>(0xC0000001U));
    } else {
        winmodel::Post(target, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

// No more input and the program still runs: close the window as a user
// would; if that was tried already or there is no window, quit.
void EndSession() {
    state.emptyPollsInARow = 0;
    ++state.stats.sessionEnds;
    if (state.stats.sessionEnds == 1 && FirstLiveWindow() != nullptr) {
        Deliver(ScheduledInput{host::InputKind::Close, 0, 0, 0});
    } else {
        winmodel::PostQuit(0);
    }
}

bool OtherDialogMembersZero(const OPENFILENAMEA& request) {
    return request.hInstance == nullptr && request.lpstrCustomFilter == nullptr && request.nMaxCustFilter == 0 &&
           request.nFilterIndex == 0 && request.lpstrFileTitle == nullptr && request.nMaxFileTitle == 0 &&
           request.lpstrInitialDir == nullptr && request.nFileOffset == 0 && request.nFileExtension == 0 &&
           request.lpstrDefExt == nullptr && request.lCustData == 0 && request.lpfnHook == nullptr &&
           request.lpTemplateName == nullptr;
}

// A poll of the queue, as PeekMessageA answered it: time passes for the
// scheduled input and the foreign windows' ends only while the program finds
// the queue empty.
void CountPoll(bool found) {
    ++state.stats.peeks;
    if (found) {
        state.emptyPollsInARow = 0;
        return;
    }
    ++state.stats.emptyPolls;
    ++state.emptyPollsInARow;
    for (auto& pending : state.foreignEnds) {
        if (pending.afterIdlePolls-- == 0 && state.foreignWindows.erase(pending.foreign) != 0 && pending.childrenToo) {
            winmodel::ForeignWindowGone(pending.foreign);
        }
    }
    if (!state.input.empty()) {
        --state.input.front().afterIdlePolls;
    } else if (state.emptyPollsInARow >= kPatience) {
        EndSession();
    }
}

// The call log's entry: a call's name, then its numbers, or a message as in
// "DefWindowProcA 0x000F".
void Record(const char* call, std::initializer_list<long long> numbers, bool message = false) {
    if (!recording) {
        return;
    }
    callLog.emplace_back(call);
    for (long long number : numbers) {
        char text[24];
        std::snprintf(text, sizeof text, message ? " 0x%04llX" : " %lld", number);
        callLog.back() += text;
    }
}

// A failed section leaves no bits, as the model's own refusals do.
HBITMAP NoSection(void** bits) {
    if (bits != nullptr) {
        *bits = nullptr;
    }
    return nullptr;
}

bool Fails(Fault fault) {
    int& allowance = allowances[static_cast<int>(fault)];
    if (allowance <= 0) {
        return allowance == 0;
    }
    --allowance;
    return false;
}

// The procedure every window of the stand-in's gets in place of its class's:
// each message the model delivers is logged ("Message 0x0001"), then goes
// to the program's procedure.
LRESULT CALLBACK Delivered(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Record("Message", {message}, true);
    return state.procedures[window](window, message, wParam, lParam);
}

}  // namespace

namespace host {

LiveCounts CurrentCounts() { return winmodel::Counts(); }

void FailAfter(Fault fault, int successes) { allowances[static_cast<int>(fault)] = successes; }
void ClearFaults() { std::fill(std::begin(allowances), std::end(allowances), -1); }

void RecordCalls(bool on) { recording = on; }
const std::vector<std::string>& CallLog() { return callLog; }
void ClearCallLog() { callLog.clear(); }

void ResetWindowing() {
    winmodel::ResetWindows();
    winmodel::ResetScreenState();
    winmodel::ClearRegistry();
    winmodel::ClearResources();
    state = Simulation{};
}

HWND CreateForeignWindow(int width, int height) {
    state.nextForeign += 0x10;
    HWND foreign = reinterpret_cast<HWND>(state.nextForeign);
    state.foreignWindows[foreign] = {width, height};
    return foreign;
}

void DestroyForeignWindowAfter(HWND foreign, int afterIdlePolls, bool childrenToo) {
    state.foreignEnds.push_back({foreign, afterIdlePolls, childrenToo});
}

void SetVirtualScreen(int x, int y, int width, int height) { state.virtualScreen = RECT{x, y, x + width, y + height}; }

void SetScreenImage(int width, int height, const std::vector<std::uint32_t>& pixels) {
    state.screenWidth = width;
    state.screenHeight = height;
    state.screen = pixels;
    state.screen.resize(static_cast<std::size_t>(width) * height);
}

bool CursorShown() { return state.cursorShown; }

void ClickDialogItem(int id) { state.dialogClicks.push_back(id); }
const std::vector<DialogRecord>& DialogRecords() { return state.dialogRecords; }

void SetSystemMetric(int index, int value) { state.metrics[index] = value; }

std::vector<HWND> AllWindows() { return state.windows; }
WindowCreation CreationOf(HWND window) { return Known(window) ? state.creations[window] : WindowCreation{}; }
std::string CaptionOf(HWND window) { return Known(window) ? window->caption : std::string(); }
bool NeedsPaint(HWND window) { return winmodel::IsLive(window) && window->needsPaint; }

COLORREF ClientPixel(HWND window, int x, int y) {
    if (!Known(window) || x < 0 || y < 0 || x >= window->clientWidth || y >= window->clientHeight) {
        return kUnpainted;
    }
    winmodel::SettlePixels(window);
    const std::uint32_t pixel = window->pixels[static_cast<std::size_t>(y) * window->pixelWidth + x];
    return (pixel & winmodel::kUnpaintedPixel) != 0 ? kUnpainted
                                                    : (pixel & 0xFF) << 16 | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
}

void ScheduleInput(InputKind kind, int x, int y, int afterIdlePolls) {
    state.input.push_back(ScheduledInput{kind, x, y, afterIdlePolls});
}

LoopStats CurrentLoopStats() { return state.stats; }

void AnswerOpenDialog(const std::string& path) { state.dialogAnswers.push_back({true, false, path}); }
void CancelOpenDialog() { state.dialogAnswers.push_back({false, false, std::string()}); }
void CloseOwnerDuringOpenDialog() { state.dialogAnswers.push_back({false, true, std::string()}); }
const std::vector<OpenDialogCall>& OpenDialogCalls() { return state.dialogCalls; }
const std::vector<MessageBoxCall>& MessageBoxCalls() { return state.messageBoxCalls; }

}  // namespace host

namespace winmodel::backend {

bool CreateSystemWindow(HWND window, const CREATESTRUCTA& asked) {
    state.windows.push_back(window);
    state.creations[window] =
        host::WindowCreation{asked.dwExStyle, asked.lpszClass, asked.lpszName != nullptr ? asked.lpszName : "",
                             static_cast<DWORD>(asked.style), asked.x, asked.y, asked.cx, asked.cy,
                             asked.hwndParent, asked.hMenu, asked.hInstance, asked.lpCreateParams};
    state.procedures[window] = window->procedure;
    window->procedure = Delivered;
    PlaceSystemWindow(window, asked.x, asked.y, asked.cx, asked.cy);
    return true;
}

void ShowSystemWindow(HWND) {}

// The client area follows the outer rectangle, less the fixed frame; pop-up
// and child windows have none.
void PlaceSystemWindow(HWND window, int x, int y, int width, int height) {
    window->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    const bool framed = (state.creations[window].style & (WS_POPUP | WS_CHILD)) == 0;
    const int clientWidth = std::max(width - (framed ? host::kFrameWidth : 0), 0);
    const int clientHeight = std::max(height - (framed ? host::kFrameHeight : 0), 0);
    SetClientSize(window, clientWidth, clientHeight, clientWidth, clientHeight);
}

void SetSystemCaption(HWND, const char*) {}
void DestroySystemWindow(HWND) {}
void Present(HWND, int, int, int, int) {}

// Input falls due as the program polls; when the program waits, time passes
// and the next input arrives at once, or, with none left, the session ends.
void PumpEvents(bool wait) {
    auto& input = state.input;
    if (wait) {
        ++state.stats.waits;
        if (input.empty()) {
            EndSession();
            return;
        }
        input.front().afterIdlePolls = 0;
    }
    while (!input.empty() && input.front().afterIdlePolls <= 0) {
        const ScheduledInput due = input.front();
        input.pop_front();
        Deliver(due);
    }
}

int ScreenMetric(int index) {
    const auto set = state.metrics.find(index);
    const RECT& screen = state.virtualScreen;
    const int otherwise = index == SM_CXFULLSCREEN       ? 1024
                          : index == SM_CYFULLSCREEN     ? 737
                          : index == SM_XVIRTUALSCREEN   ? screen.left
                          : index == SM_YVIRTUALSCREEN   ? screen.top
                          : index == SM_CXVIRTUALSCREEN  ? screen.right - screen.left
                          : index == SM_CYVIRTUALSCREEN  ? screen.bottom - screen.top
                                                         : 0;
    return set != state.metrics.end() ? set->second : otherwise;
}

bool ForeignWindowSize(HWND foreign, int* width, int* height) {
    const RECT& screen = state.virtualScreen;
    const auto found = state.foreignWindows.find(foreign);
    if (foreign != kDesktop && found == state.foreignWindows.end()) {
        return false;
    }
    *width = foreign == kDesktop ? static_cast<int>(screen.right - screen.left) : found->second.first;
    *height = foreign == kDesktop ? static_cast<int>(screen.bottom - screen.top) : found->second.second;
    return true;
}

HWND DesktopWindow() { return kDesktop; }

bool ReadScreen(int x, int y, int width, int height, std::uint32_t* pixels) {
    if (state.screen.empty()) {
        return false;
    }
    for (long long row = 0; row < height; ++row) {
        for (long long column = 0; column < width; ++column) {
            const long long sx = x - state.virtualScreen.left + column;
            const long long sy = y - state.virtualScreen.top + row;
            const bool inside = sx >= 0 && sy >= 0 && sx < state.screenWidth && sy < state.screenHeight;
            pixels[row * width + column] = inside ? state.screen[static_cast<std::size_t>(sy * state.screenWidth + sx)] : 0;
        }
    }
    return true;
}

void ShowSystemCursor(bool shown) { state.cursorShown = shown; }

// The clicks tests gave; a dialog that stays open even when closed is ended
// as cancelled.
void RunDialog(HWND dialog) {
    host::DialogRecord record;
    record.caption = dialog->caption;
    bool closed = false;
    while (!winmodel::DialogEnded(dialog)) {
        winmodel::PaintWaiting();
        record.items = winmodel::DialogItems(dialog);
        if (!state.dialogClicks.empty()) {
            const int id = state.dialogClicks.front();
            state.dialogClicks.pop_front();
            ++record.clicksTaken;
            winmodel::PressDialogButton(dialog, id);
        } else if (!closed) {
            closed = true;
            Send(dialog, WM_CLOSE, 0, 0);
        } else {
            platform::EndDialog(dialog, IDCANCEL);
        }
    }
    record.items = winmodel::DialogItems(dialog);
    state.dialogRecords.push_back(record);
}

// The host's display takes bitmaps of any shape that memory holds.
const long long kLargestBitmapSide = 1LL << 30;

bool RunOpenDialog(const OPENFILENAMEA& request, std::string* path) {
    DialogAnswer answer{false, false, std::string()};
    state.dialogCalls.back().answered = !state.dialogAnswers.empty();
    if (!state.dialogAnswers.empty()) {
        answer = state.dialogAnswers.front();
        state.dialogAnswers.pop_front();
    }
    if (answer.closeOwner && request.hwndOwner != nullptr) {
        Send(request.hwndOwner, WM_CLOSE, 0, 0);
    }
    *path = answer.path;
    return answer.confirm;
}

void RunMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    state.messageBoxCalls.push_back(
        host::MessageBoxCall{owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
}

}  // namespace winmodel::backend

// The recorder. Every host program is linked with --wrap=CALL for each call
// below (CMakeLists.txt reads the names from this file): a call to CALL from
// another object, the program's or one part of the model's to another's,
// reaches __wrap_CALL, which logs it, fails it when a fault is due (with the
// call's own failure), and otherwise makes the model's __real_CALL. So the
// log, the faults and the polls' count stay out of the shipped model.
#define PASSED(call, parameters, arguments, ...)                                 \
    decltype(platform::call) __real_##call;                                     \
    auto __wrap_##call parameters->decltype(__real_##call arguments) {          \
        Record(#call, __VA_ARGS__);                                             \
        return __real_##call arguments;                                         \
    }
#define FAULTED(call, fault, failure, parameters, arguments, ...)               \
    decltype(platform::call) __real_##call;                                     \
    auto __wrap_##call parameters->decltype(__real_##call arguments) {          \
        Record(#call, __VA_ARGS__);                                             \
        return Fails(Fault::fault) ? failure : __real_##call arguments;         \
    }

extern "C" {

PASSED(OpenFile, (const char* path, UINT style), (path, style), {})
PASSED(_lread, (HFILE file, void* buffer, UINT count), (file, buffer, count), {count})
PASSED(_llseek, (HFILE file, LONG offset, int origin), (file, offset, origin), {offset})
PASSED(_lclose, (HFILE file), (file), {})
PASSED(GlobalLock, (HGLOBAL block), (block), {})
PASSED(GlobalUnlock, (HGLOBAL block), (block), {})
PASSED(GlobalFree, (HGLOBAL block), (block), {})
PASSED(DeleteObject, (HGDIOBJ object), (object), {})
PASSED(SetDIBitsToDevice, (HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT start, UINT lines,
       const void* bits, const BITMAPINFO* info, UINT usage), (dc, x, y, w, h, sx, sy, start, lines, bits, info, usage), {})
PASSED(CreateSolidBrush, (COLORREF colour), (colour), {})
PASSED(LoadCursorA, (HINSTANCE instance, LPCSTR name), (instance, name), {})
PASSED(GetSystemMetrics, (int index), (index), {index})
PASSED(GetClientRect, (HWND window, RECT* rect), (window, rect), {})
PASSED(GetWindowRect, (HWND window, RECT* rect), (window, rect), {})
PASSED(MoveWindow, (HWND window, int x, int y, int w, int h, BOOL repaint), (window, x, y, w, h, repaint),
       {x, y, w, h, repaint})
PASSED(SetWindowTextA, (HWND window, LPCSTR text), (window, text), {})
PASSED(WaitMessage, (), (), {})
PASSED(TranslateMessage, (const MSG* message), (message), {})
PASSED(DispatchMessageA, (const MSG* message), (message), {})
PASSED(DefWindowProcA, (HWND window, UINT message, WPARAM wParam, LPARAM lParam), (window, message, wParam, lParam),
       {message}, true)
PASSED(DestroyWindow, (HWND window), (window), {})
PASSED(PostQuitMessage, (int exitCode), (exitCode), {exitCode})
PASSED(ValidateRect, (HWND window, const RECT* rect), (window, rect), {})
PASSED(EndPaint, (HWND window, const PAINTSTRUCT* paint), (window, paint), {})
PASSED(GetDC, (HWND window), (window), {})
PASSED(ReleaseDC, (HWND window, HDC dc), (window, dc), {})
PASSED(MessageBoxA, (HWND owner, LPCSTR text, LPCSTR caption, UINT type), (owner, text, caption, type), {})
PASSED(CreateCompatibleDC, (HDC dc), (dc), {})
PASSED(DeleteDC, (HDC dc), (dc), {})
PASSED(SelectObject, (HDC dc, HGDIOBJ object), (dc, object), {})
PASSED(BitBlt, (HDC to, int x, int y, int w, int h, HDC from, int sx, int sy, DWORD operation),
       (to, x, y, w, h, from, sx, sy, operation), {x, y, w, h, sx, sy})
PASSED(FindWindowA, (LPCSTR className, LPCSTR caption), (className, caption), {})
PASSED(GetDesktopWindow, (), (), {})
PASSED(ShowCursor, (BOOL show), (show), {show})
PASSED(Sleep, (DWORD milliseconds), (milliseconds), {milliseconds})
PASSED(GetEnvironmentVariableA, (LPCSTR name, LPSTR buffer, DWORD size), (name, buffer, size), {})
PASSED(FindResourceA, (HMODULE module, LPCSTR name, LPCSTR type), (module, name, type), {})
PASSED(LoadResource, (HMODULE module, HRSRC resource), (module, resource), {})
PASSED(LockResource, (HGLOBAL loaded), (loaded), {})
PASSED(SizeofResource, (HMODULE module, HRSRC resource), (module, resource), {})
PASSED(RegCreateKeyExA, (HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
       SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition),
       (key, subKey, reserved, keyClass, options, access, security, result, disposition), {})
PASSED(RegOpenKeyExA, (HKEY key, LPCSTR subKey, DWORD options, REGSAM access, HKEY* result),
       (key, subKey, options, access, result), {})
PASSED(RegQueryValueExA, (HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size),
       (key, name, reserved, type, data, size), {})
PASSED(RegSetValueExA, (HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size),
       (key, name, reserved, type, data, size), {})
PASSED(RegCloseKey, (HKEY key), (key), {})
PASSED(DialogBoxIndirectParamA, (HINSTANCE instance, const DLGTEMPLATE* dialog, HWND owner, DLGPROC procedure,
       LPARAM initParam), (instance, dialog, owner, procedure, initParam), {})
PASSED(EndDialog, (HWND dialog, INT_PTR result), (dialog, result), {static_cast<long long>(result)})
PASSED(CheckRadioButton, (HWND dialog, int first, int last, int checked), (dialog, first, last, checked),
       {first, last, checked})
PASSED(IsDlgButtonChecked, (HWND dialog, int button), (dialog, button), {button})
PASSED(SetDlgItemTextA, (HWND dialog, int item, LPCSTR text), (dialog, item, text), {item})

FAULTED(GlobalAlloc, GlobalAlloc, nullptr, (UINT flags, SIZE_T bytes), (flags, bytes),
        {static_cast<long long>(bytes)})
FAULTED(CreateDIBitmap, Bitmap, nullptr, (HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
        const BITMAPINFO* colours, UINT usage), (dc, header, init, bits, colours, usage), {})
FAULTED(RegisterClassA, RegisterClass, 0, (const WNDCLASSA* windowClass), (windowClass), {})
FAULTED(CreateWindowExA, CreateWindow, nullptr, (DWORD exStyle, LPCSTR className, LPCSTR caption, DWORD style,
        int x, int y, int w, int h, HWND parent, HMENU menu, HINSTANCE instance, LPVOID data),
        (exStyle, className, caption, style, x, y, w, h, parent, menu, instance, data), {})
FAULTED(BeginPaint, BeginPaint, nullptr, (HWND window, PAINTSTRUCT* paint), (window, paint), {})

FAULTED(CreateDIBSection, Bitmap, NoSection(bits),
        (HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset),
        (dc, info, usage, bits, section, offset), {})

// Polls are counted from the answer the program gets, rather than guessed in
// PumpEvents from the model's state before the model looks.
decltype(platform::PeekMessageA) __real_PeekMessageA;
BOOL __wrap_PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT removal) {
    Record("PeekMessageA", {});
    const BOOL found = __real_PeekMessageA(message, window, first, last, removal);
    if (message != nullptr) {
        CountPoll(found != FALSE);
    }
    return found;
}

// Every request is kept, the ones the model then refuses to open too (a
// record of another size, an owner that is gone).
decltype(platform::GetOpenFileNameA) __real_GetOpenFileNameA;
BOOL __wrap_GetOpenFileNameA(OPENFILENAMEA* request) {
    Record("GetOpenFileNameA", {});
    if (request != nullptr) {
        const char* file = request->lpstrFile;
        const char* title = request->lpstrTitle;
        state.dialogCalls.push_back(host::OpenDialogCall{
            request->lStructSize, request->hwndOwner, winmodel::FilterStrings(request->lpstrFilter), request->lpstrFile,
            file != nullptr ? std::string(file, strnlen(file, request->nMaxFile)) : std::string(), request->nMaxFile,
            title != nullptr, title != nullptr ? title : "", request->Flags, OtherDialogMembersZero(*request), false});
    }
    return __real_GetOpenFileNameA(request);
}

// platform::malloc and platform::free keep C++ linkage: their symbols are
// the mangled names (a size_t is an unsigned long, "m", on the 64-bit Linux
// systems the host build is for; any other mangling fails the link).
decltype(platform::malloc) __real__ZN8platform6mallocEm;
void* __wrap__ZN8platform6mallocEm(std::size_t bytes) {
    Record("malloc", {static_cast<long long>(bytes)});
    return Fails(Fault::HeapAlloc) ? nullptr : __real__ZN8platform6mallocEm(bytes);
}
decltype(platform::free) __real__ZN8platform4freeEPv;
void __wrap__ZN8platform4freeEPv(void* block) {
    Record("free", {});
    __real__ZN8platform4freeEPv(block);
}

}  // extern "C"
