// The window calls as Windows makes them. The queue gives posted messages in
// order, then WM_QUIT once nothing else is posted, then WM_PAINT for a window
// that needs it, until it is painted or validated (one flag stands for the
// whole client area, all the program asks for). While the open-file dialog or
// the message box is open, the program's loop waits, and every step with it;
// paints that fall due go to the window procedure, the rest comes afterwards.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <strings.h>

#include "platform/winmodel/model.h"

struct HCURSOR__ {};

namespace {

struct WindowClass {
    WNDCLASSA record;  // lpszClassName points to `name`
    std::string name;
};

struct Windowing {
    std::vector<std::unique_ptr<WindowClass>> classes;
    std::vector<std::unique_ptr<HWND__>> windows;  // handles stay valid for IsWindow
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
};

Windowing state;

HCURSOR__ arrowCursor;

// The open-file record's whole size in the 32-bit layout, the later members
// included.
constexpr DWORD kOpenFileNameFullSize = 88;

DWORD Now() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Class names compare without regard to case, as on Windows.
WindowClass* FindClassByName(const char* name) {
    const auto found = std::find_if(state.classes.begin(), state.classes.end(),
                                    [name](const auto& known) { return strcasecmp(known->name.c_str(), name) == 0; });
    return found != state.classes.end() ? found->get() : nullptr;
}

HWND WindowNeedingPaint(HWND filter) {
    const auto found = std::find_if(state.windows.begin(), state.windows.end(), [filter](const auto& window) {
        return window->alive && window->needsPaint && (filter == nullptr || filter == window.get());
    });
    return found != state.windows.end() ? found->get() : nullptr;
}

bool Matches(const MSG& message, HWND window, UINT first, UINT last) {
    return (window == nullptr || message.hwnd == window) &&
           ((first == 0 && last == 0) || (message.message >= first && message.message <= last));
}

bool Take(MSG* message, HWND window, UINT first, UINT last, bool remove) {
    const auto queued = std::find_if(state.queue.begin(), state.queue.end(),
                                     [&](const MSG& posted) { return Matches(posted, window, first, last); });
    HWND unpainted = WindowNeedingPaint(window);
    if (queued != state.queue.end()) {
        *message = *queued;
        if (remove) {
            state.queue.erase(queued);
        }
    } else if (state.quitPosted && window == nullptr) {  // whatever message range was asked for
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(state.quitCode), 0, Now(), {}};
        state.quitPosted = !remove;
    } else if (unpainted != nullptr && Matches(MSG{unpainted, WM_PAINT, 0, 0, 0, {}}, window, first, last)) {
        *message = MSG{unpainted, WM_PAINT, 0, 0, Now(), {}};
    } else {
        return false;
    }
    return true;
}

// Moves the window, as MoveWindow does, telling a new client size.
void Place(HWND window, int x, int y, int width, int height, BOOL repaint) {
    const int clientWidth = window->clientWidth;
    const int clientHeight = window->clientHeight;
    winmodel::backend::PlaceSystemWindow(window, x, y, width, height);
    if (repaint) {
        winmodel::Invalidate(window);
    }
    if (clientWidth != window->clientWidth || clientHeight != window->clientHeight) {
        winmodel::Send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
    }
}

void Validate(HWND window) {
    window->needsPaint = false;
    window->needsErase = false;
}

bool Ours(HWND window) {
    return std::any_of(state.windows.begin(), state.windows.end(),
                       [window](const std::unique_ptr<HWND__>& each) { return each.get() == window; });
}

// A live window of another program, as the side tells: its client size.
bool ForeignSize(HWND window, int* width, int* height) {
    return window != nullptr && !Ours(window) && winmodel::backend::ForeignWindowSize(window, width, height);
}

bool IsForeign(HWND window) {
    int width = 0;
    int height = 0;
    return ForeignSize(window, &width, &height);
}

}  // namespace

namespace winmodel {

bool IsLive(HWND window) { return Ours(window) && window->alive; }

void ForeignWindowGone(HWND foreign) {
    for (std::size_t i = 0; i < state.windows.size(); ++i) {
        HWND window = state.windows[i].get();
        if (window->alive && window->parent == foreign) {
            platform::DestroyWindow(window);
        }
    }
}

bool FindClass(const char* name, WNDCLASSA* found) {
    const WindowClass* windowClass = FindClassByName(name);
    *found = windowClass != nullptr ? windowClass->record : *found;
    return windowClass != nullptr;
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& queue = state.queue;
    // Moves still queued are merged, as Windows merges them.
    if (message == WM_MOUSEMOVE && !queue.empty() && queue.back().hwnd == window &&
        queue.back().message == WM_MOUSEMOVE) {
        queue.back().lParam = lParam;
    } else {
        queue.push_back(MSG{window, message, wParam, lParam, Now(), {}});
    }
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return IsLive(window) ? window->procedure(window, message, wParam, lParam) : 0;
}

void PostQuit(int exitCode) {
    state.quitPosted = true;
    state.quitCode = exitCode;
}

void Invalidate(HWND window) {
    window->needsPaint = true;
    window->needsErase = true;
}

bool SetClientSize(HWND window, int width, int height, int pixelWidth, int pixelHeight) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    pixelWidth = std::max(pixelWidth, width);
    pixelHeight = std::max(pixelHeight, height);
    const bool resized = pixelWidth != window->pixelWidth || pixelHeight != window->pixelHeight;
    const bool changed = resized || width != window->clientWidth || height != window->clientHeight;
    if (resized) {
        // What is drawn moves over; the side may give back its old memory
        // when it supplies the new, so it is held aside first.
        SettlePixels(window);
        std::vector<std::uint32_t> kept(window->pixels.begin(), window->pixels.end());
        const std::size_t count = static_cast<std::size_t>(pixelWidth) * pixelHeight;
        std::uint32_t* supplied =
            pixelMemory.supply != nullptr ? pixelMemory.supply(window, pixelWidth, pixelHeight) : nullptr;
        WindowPixels& pixels = window->pixels;
        pixels.own.assign(supplied != nullptr ? 0 : count, kUnpaintedPixel);
        pixels.own.shrink_to_fit();
        pixels.start = supplied != nullptr ? supplied : pixels.own.data();
        pixels.count = count;
        std::fill_n(pixels.start, count, kUnpaintedPixel);
        for (int row = 0; row < std::min(pixelHeight, window->pixelHeight); ++row) {
            std::copy_n(kept.begin() + static_cast<std::ptrdiff_t>(row) * window->pixelWidth,
                        std::min(pixelWidth, window->pixelWidth),
                        pixels.start + static_cast<std::ptrdiff_t>(row) * pixelWidth);
        }
        window->pixelWidth = pixelWidth;
        window->pixelHeight = pixelHeight;
    }
    window->clientWidth = width;
    window->clientHeight = height;
    return changed;
}

PixelMemory pixelMemory;

void BeforeWriting(HWND window, bool whole) {
    if (pixelMemory.beforeWriting != nullptr) {
        pixelMemory.beforeWriting(window);
    }
    WindowPixels& pixels = window->pixels;
    if (pixels.newer != nullptr && !whole) {
        std::copy_n(pixels.newer, pixels.count, pixels.start);
    }
    pixels.newer = nullptr;
    if (!whole) {
        CopyWaitingDraw(window, pixels.data(), pixels.drawnTop, false);
    }
    pixels.waiting.bits = nullptr;
}

void SettleAllPixels() {
    for (const auto& window : state.windows) {
        if (window->alive) {
            SettlePixels(window.get());
        }
    }
}

void TurnPixels(HWND window, std::uint32_t* next) {
    window->pixels.newer = window->pixels.start;
    window->pixels.start = next;
}

void ResetWindows() {
    for (auto& windowClass : state.classes) {
        platform::DeleteObject(windowClass->record.hbrBackground);  // as unregistering it does
    }
    DropContexts();
    Counts().windows = 0;
    state = Windowing{};
}

// Sends the paints that fall due, as a modal loop does before each wait.
void PaintWaiting() {
    for (HWND window = WindowNeedingPaint(nullptr); window != nullptr; window = WindowNeedingPaint(nullptr)) {
        winmodel::Send(window, WM_PAINT, 0, 0);
        Validate(window);  // if the procedure did not, as Windows does, so that the loop moves on
    }
}

void RunModal(const bool* done) {
    for (PaintWaiting(); !*done; PaintWaiting()) {
        backend::PumpEvents(true);
    }
}

std::vector<std::string> FilterStrings(const char* list) {
    std::vector<std::string> strings;
    while (list != nullptr && *list != '\0' && strings.size() < 64) {
        strings.emplace_back(list);
        list += strings.back().size() + 1;
    }
    return strings;
}

}  // namespace winmodel

namespace platform {

using winmodel::IsLive;
using winmodel::Send;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr ||
        FindClassByName(windowClass->lpszClassName) != nullptr) {
        return 0;
    }
    auto registered = std::make_unique<WindowClass>(WindowClass{*windowClass, windowClass->lpszClassName});
    registered->record.lpszClassName = registered->name.c_str();
    state.classes.push_back(std::move(registered));
    return static_cast<ATOM>(0xC000 + state.classes.size() - 1);
}

HWND CreateWindowExA(DWORD extendedStyle, LPCSTR className, LPCSTR caption, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID creationData) {
    const WindowClass* windowClass = className != nullptr ? FindClassByName(className) : nullptr;
    if (windowClass == nullptr || (parent != nullptr && !IsLive(parent) && !IsForeign(parent))) {
        return nullptr;
    }
    auto created = std::make_unique<HWND__>();
    HWND window = created.get();
    window->procedure = windowClass->record.lpfnWndProc;
    window->background = windowClass->record.hbrBackground;
    window->caption = caption != nullptr ? caption : "";
    window->alive = true;
    window->parent = (style & WS_CHILD) != 0 ? parent : nullptr;
    window->className = windowClass->name;
    CREATESTRUCTA creation{creationData, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                           caption,      className, extendedStyle};
    if (!winmodel::backend::CreateSystemWindow(window, creation)) {
        return nullptr;
    }
    state.windows.push_back(std::move(created));
    ++winmodel::Counts().windows;
    if (Send(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&creation)) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0 && IsLive(window)) {
        winmodel::Invalidate(window);
        winmodel::backend::ShowSystemWindow(window);
        // Shown, the window knows its frame, which the size asked for holds.
        Place(window, x, y, width, height, TRUE);
    }
    return IsLive(window) ? window : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    return instance == nullptr && name == IDC_ARROW ? &arrowCursor : nullptr;
}

int GetSystemMetrics(int index) {
    return winmodel::backend::ScreenMetric(index);
}

BOOL GetClientRect(HWND window, RECT* rect) {
    int width = 0;
    int height = 0;
    if (rect == nullptr || (!IsLive(window) && !ForeignSize(window, &width, &height))) {
        return FALSE;
    }
    *rect = IsLive(window) ? RECT{0, 0, window->clientWidth, window->clientHeight} : RECT{0, 0, width, height};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    if (!IsLive(window) || rect == nullptr) {
        return FALSE;
    }
    *rect = window->rect;
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    if (!IsLive(window)) {
        return FALSE;
    }
    Place(window, x, y, width, height, repaint);
    return TRUE;
}

// The caption changes through WM_SETTEXT, which the default procedure keeps.
BOOL SetWindowTextA(HWND window, LPCSTR text) {
    return IsLive(window) && Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT removal) {
    if (message == nullptr) {
        return FALSE;
    }
    winmodel::backend::PumpEvents(false);
    return Take(message, window, first, last, (removal & PM_REMOVE) != 0) ? TRUE : FALSE;
}

// Waiting blocks for the system's events, then takes all that came; events
// may give no message (a timer of the system's own), and then it waits again.
BOOL WaitMessage() {
    winmodel::backend::PumpEvents(false);
    // Until a posted message, the quit or a paint is there for PeekMessageA.
    while (state.queue.empty() && !state.quitPosted && WindowNeedingPaint(nullptr) == nullptr) {
        winmodel::backend::PumpEvents(true);
    }
    return TRUE;
}

// Keys give WM_KEYDOWN and WM_KEYUP only: the program takes no characters.
BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* message) {
    return message != nullptr ? Send(message->hwnd, message->message, message->wParam, message->lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsLive(window)) {
        return 0;
    }
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                Send(window, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(window, &paint) != nullptr) {
                EndPaint(window, &paint);
            }
            return 0;
        }
        case WM_ERASEBKGND: {
            COLORREF colour;
            if (!winmodel::BrushColour(window->background, &colour)) {
                return 0;
            }
            winmodel::BeforeWriting(window, true);
            std::fill(window->pixels.begin(), window->pixels.end(),
                      (colour & 0xFF) << 16 | (colour & 0xFF00) | ((colour >> 16) & 0xFF) | window->pixels.drawnTop);
            // Erased through a paint context, it shows at EndPaint.
            const HDC context = reinterpret_cast<HDC>(wParam);
            if (!winmodel::IsLiveContext(context) || !context->paint) {
                winmodel::backend::Present(window, 0, 0, window->pixelWidth, window->pixelHeight);
            }
            return 1;
        }
        case WM_SETTEXT:
            window->caption = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
            winmodel::backend::SetSystemCaption(window, window->caption.c_str());
            return TRUE;
        default:
            return 0;
    }
}

BOOL IsWindow(HWND window) { return IsLive(window) || IsForeign(window) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND window) {
    if (!IsLive(window) || window->destroying) {
        return FALSE;
    }
    window->destroying = true;
    Send(window, WM_DESTROY, 0, 0);
    window->alive = false;
    window->needsPaint = false;
    winmodel::SettlePixels(window);  // what it shows stays readable; its source may go
    winmodel::backend::DestroySystemWindow(window);
    if (window->pixels.own.empty()) {
        window->pixels = WindowPixels{};  // the side's memory went with its window
        window->pixelWidth = window->pixelHeight = 0;
    }
    --winmodel::Counts().windows;
    auto& queue = state.queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(), [window](const MSG& m) { return m.hwnd == window; }),
                queue.end());
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    winmodel::PostQuit(exitCode);
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!IsLive(window) || paint == nullptr) {
        return nullptr;
    }
    HDC context = winmodel::NewContext(window, true);
    const bool erase = window->needsErase;
    window->needsErase = false;
    const LRESULT erased = erase ? Send(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(context), 0) : 1;
    *paint = PAINTSTRUCT{};
    paint->hdc = context;
    paint->fErase = erase && erased == 0 ? TRUE : FALSE;
    paint->rcPaint = window->needsPaint ? RECT{0, 0, window->clientWidth, window->clientHeight} : RECT{0, 0, 0, 0};
    window->needsPaint = false;
    return context;
}

BOOL ValidateRect(HWND window, const RECT*) {
    if (!IsLive(window)) {
        return FALSE;
    }
    Validate(window);
    return TRUE;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint == nullptr || !winmodel::IsLiveContext(paint->hdc) || !paint->hdc->paint ||
        paint->hdc->window != window) {
        return FALSE;
    }
    if (IsLive(window)) {
        winmodel::backend::Present(window, 0, 0, window->pixelWidth, window->pixelHeight);
    }
    winmodel::DropContext(paint->hdc);
    return TRUE;
}

// The first live window of the class (any case) and caption (null: any).
HWND FindWindowA(LPCSTR className, LPCSTR caption) {
    const auto found = std::find_if(state.windows.begin(), state.windows.end(), [&](const auto& window) {
        return className != nullptr && window->alive && strcasecmp(window->className.c_str(), className) == 0 &&
               (caption == nullptr || window->caption == caption);
    });
    return found != state.windows.end() ? found->get() : nullptr;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* request) {
    if (request == nullptr) {
        return FALSE;
    }
    // A record of another size than the 32-bit one without and with the later
    // members, or an owner that is gone: the dialog does not open.
    if ((request->lStructSize != OPENFILENAME_SIZE_VERSION_400A && request->lStructSize != kOpenFileNameFullSize) ||
        (request->hwndOwner != nullptr && !IsLive(request->hwndOwner))) {
        return FALSE;
    }
    winmodel::PaintWaiting();
    std::string path;
    if (!winmodel::backend::RunOpenDialog(*request, &path) || request->lpstrFile == nullptr) {
        return FALSE;
    }
    const std::size_t needed = path.size() + 1;
    if (needed > request->nMaxFile) {
        // Too small a buffer ends the dialog in an error; its first two bytes
        // then give the size needed.
        if (request->nMaxFile >= 2) {
            request->lpstrFile[0] = static_cast<char>(needed & 0xFF);
            request->lpstrFile[1] = static_cast<char>((needed >> 8) & 0xFF);
        }
        return FALSE;
    }
    std::memcpy(request->lpstrFile, path.c_str(), needed);
    return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (owner != nullptr && !IsLive(owner)) {
        return 0;
    }
    winmodel::PaintWaiting();
    winmodel::backend::RunMessageBox(owner, text, caption, type);
    return IDOK;
}

}  // namespace platform
