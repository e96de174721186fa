// Host side of the window calls: window classes, windows with a fixed frame
// and a client-area pixel store, the thread's message queue, painting and
// drawing contexts, system metrics, and the modal open-file dialog and message
// box, which tests answer and inspect. Input comes from what tests schedule.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <set>

#include "platform/host/host_internal.h"

namespace {

// Where the client area sits inside the outer rectangle.
constexpr int kFrameLeft = 4;
constexpr int kFrameTop = 27;
static_assert(kFrameLeft < host::kFrameWidth && kFrameTop < host::kFrameHeight, "frame");

// Empty polls in a row, with no input left, after which the host ends the
// session rather than let a test's loop spin for ever.
constexpr int kPatience = 1000;

// OPENFILENAMEA sizes the 32-bit dialog accepts: without and with the later
// extension members.
constexpr DWORD kOpenFileNameSize = 76;
constexpr DWORD kOpenFileNameFullSize = 88;

struct WindowClass {
    WNDCLASSA record;  // its name pointers point into the strings below
    std::string name;
    std::string menuName;
};

struct ScheduledInput {
    host::InputKind kind;
    int x;
    int y;
    int afterIdlePolls;
};

struct DialogAnswer {
    bool confirm;
    std::string path;
    bool closeOwner;
};

struct Windowing {
    std::vector<std::unique_ptr<WindowClass>> classes;
    std::vector<std::unique_ptr<HWND__>> windows;
    std::set<HDC> contexts;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    std::deque<ScheduledInput> input;
    int emptyPollsInARow = 0;
    DWORD clock = 0;
    std::map<int, int> metrics;
    host::LoopStats stats;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<host::OpenDialogCall> dialogCalls;
    std::vector<host::MessageBoxCall> messageBoxCalls;
};

Windowing& State() {
    static Windowing state;
    return state;
}

bool failRegisterClass = false;
bool failCreateWindow = false;
bool failBeginPaint = false;
HCURSOR__ arrowCursor{32512};

std::string Hex(UINT value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

bool SameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        // Class names compare without regard to case, as on Windows.
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

WindowClass* FindClassByName(const char* name) {
    for (auto& windowClass : State().classes) {
        if (SameName(windowClass->name, name)) {
            return windowClass.get();
        }
    }
    return nullptr;
}

bool Known(HWND window) {
    for (auto& known : State().windows) {
        if (known.get() == window) {
            return true;
        }
    }
    return false;
}

bool Live(HWND window) { return window != nullptr && Known(window) && window->alive; }

HWND FirstLiveWindow() {
    for (auto& window : State().windows) {
        if (window->alive) {
            return window.get();
        }
    }
    return nullptr;
}

// Sets the outer rectangle; the client area follows it and keeps the pixels
// it still covers, anchored at its top-left corner.
void PlaceWindow(HWND window, int x, int y, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    window->rect = RECT{x, y, x + width, y + height};
    const int clientWidth = std::max(width - host::kFrameWidth, 0);
    const int clientHeight = std::max(height - host::kFrameHeight, 0);
    std::vector<COLORREF> pixels(static_cast<std::size_t>(clientWidth) * clientHeight, host::kUnpainted);
    const int keepWidth = std::min(clientWidth, window->clientWidth);
    const int keepHeight = std::min(clientHeight, window->clientHeight);
    for (int row = 0; row < keepHeight; ++row) {
        std::copy_n(window->pixels.begin() + static_cast<std::ptrdiff_t>(row) * window->clientWidth,
                    keepWidth, pixels.begin() + static_cast<std::ptrdiff_t>(row) * clientWidth);
    }
    window->clientWidth = clientWidth;
    window->clientHeight = clientHeight;
    window->pixels.swap(pixels);
}

void Invalidate(HWND window) {
    window->needsPaint = true;
    window->needsErase = true;
}

// Delivers a message straight to the window procedure, as SendMessage does on
// the window's own thread.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(window)) {
        return 0;
    }
    host::Log("Message " + Hex(message));
    return window->procedure(window, message, wParam, lParam);
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG posted{};
    posted.hwnd = window;
    posted.message = message;
    posted.wParam = wParam;
    posted.lParam = lParam;
    posted.time = ++State().clock;
    State().queue.push_back(posted);
}

// Turns one scheduled input into the messages the user's action would queue.
void Deliver(const ScheduledInput& input) {
    HWND target = FirstLiveWindow();
    if (target == nullptr) {
        // Nobody to close: the session ends all the same.
        if (input.kind == host::InputKind::Close) {
            State().quitPosted = true;
            State().quitCode = 0;
        }
        return;
    }
    const LPARAM where = MAKELPARAM(input.x, input.y);
    switch (input.kind) {
        case host::InputKind::LeftClick:
            Post(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
            Post(target, WM_LBUTTONUP, 0, where);
            break;
        case host::InputKind::RightClick:
            Post(target, WM_RBUTTONDOWN, MK_RBUTTON, where);
            Post(target, WM_RBUTTONUP, 0, where);
            break;
        case host::InputKind::MouseMove:
            Post(target, WM_MOUSEMOVE, 0, where);
            break;
        case host::InputKind::KeyPress:
            Post(target, WM_KEYDOWN, static_cast<WPARAM>(input.x), 1);
            Post(target, WM_KEYUP, static_cast<WPARAM>(input.x), static_cast<LPARAM>(0xC0000001U));
            break;
        case host::InputKind::Close:
            Post(target, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
}

void DeliverDueInput() {
    auto& input = State().input;
    while (!input.empty() && input.front().afterIdlePolls <= 0) {
        const ScheduledInput due = input.front();
        input.pop_front();
        Deliver(due);
    }
}

// The test gave no more input and the program still runs: close the window
// as a user would; if that was tried already or there is no window, quit.
void EndSession() {
    Windowing& state = State();
    state.emptyPollsInARow = 0;
    ++state.stats.sessionEnds;
    if (state.stats.sessionEnds == 1 && FirstLiveWindow() != nullptr) {
        Deliver(ScheduledInput{host::InputKind::Close, 0, 0, 0});
    } else {
        state.quitPosted = true;
        state.quitCode = 0;
    }
}

bool Matches(const MSG& message, HWND window, UINT first, UINT last) {
    if (window != nullptr && message.hwnd != window) {
        return false;
    }
    return (first == 0 && last == 0) || (message.message >= first && message.message <= last);
}

HWND WindowNeedingPaint(HWND filter) {
    for (auto& window : State().windows) {
        if (window->alive && window->needsPaint && (filter == nullptr || filter == window.get())) {
            return window.get();
        }
    }
    return nullptr;
}

// What the modal loops of the dialog and the message box do for the program's
// windows while they are open: they keep painting them.
void PaintWhileModal() {
    for (auto& window : State().windows) {
        if (window->alive && window->needsPaint) {
            Send(window.get(), WM_PAINT, 0, 0);
        }
    }
}

HDC NewContext(HWND window, bool paint) {
    auto* context = new (std::nothrow) HDC__{window, paint};
    if (context != nullptr) {
        State().contexts.insert(context);
        ++host::Counts().drawingContexts;
    }
    return context;
}

void DropContext(HDC context) {
    State().contexts.erase(context);
    delete context;
    --host::Counts().drawingContexts;
}

void FillClient(HWND window, COLORREF colour) {
    std::fill(window->pixels.begin(), window->pixels.end(), colour);
}

bool OtherDialogMembersZero(const OPENFILENAMEA& request) {
    return request.hInstance == nullptr && request.lpstrCustomFilter == nullptr &&
           request.nMaxCustFilter == 0 && request.nFilterIndex == 0 &&
           request.lpstrFileTitle == nullptr && request.nMaxFileTitle == 0 &&
           request.lpstrInitialDir == nullptr && request.nFileOffset == 0 &&
           request.nFileExtension == 0 && request.lpstrDefExt == nullptr &&
           request.lCustData == 0 && request.lpfnHook == nullptr && request.lpTemplateName == nullptr;
}

// The strings of a filter list: pairs of NUL-terminated strings ended by an
// empty one. A list of more than 64 strings is cut short.
std::vector<std::string> ReadFilter(const char* list) {
    std::vector<std::string> strings;
    while (list != nullptr && *list != '\0' && strings.size() < 64) {
        strings.emplace_back(list);
        list += strings.back().size() + 1;
    }
    return strings;
}

}  // namespace

namespace host {

bool IsLiveContext(HDC surface) { return State().contexts.count(surface) != 0; }

void FailRegisterClass(bool fail) { failRegisterClass = fail; }

void FailCreateWindow(bool fail) { failCreateWindow = fail; }

void FailBeginPaint(bool fail) { failBeginPaint = fail; }

void ResetWindowing() {
    Windowing& state = State();
    for (auto& windowClass : state.classes) {
        // Unregistering a class deletes its background brush.
        platform::DeleteObject(windowClass->record.hbrBackground);
    }
    for (auto& window : state.windows) {
        if (window->alive) {
            --Counts().windows;
        }
    }
    while (!state.contexts.empty()) {
        DropContext(*state.contexts.begin());
    }
    state = Windowing{};
}

void SetSystemMetric(int index, int value) { State().metrics[index] = value; }

std::vector<HWND> AllWindows() {
    std::vector<HWND> windows;
    for (auto& window : State().windows) {
        windows.push_back(window.get());
    }
    return windows;
}

bool IsLiveWindow(HWND window) { return Live(window); }

WindowCreation CreationOf(HWND window) { return Known(window) ? window->creation : WindowCreation{}; }

std::string CaptionOf(HWND window) { return Known(window) ? window->caption : std::string(); }

bool NeedsPaint(HWND window) { return Live(window) && window->needsPaint; }

COLORREF ClientPixel(HWND window, int x, int y) {
    if (!Known(window) || x < 0 || y < 0 || x >= window->clientWidth || y >= window->clientHeight) {
        return kUnpainted;
    }
    return window->pixels[static_cast<std::size_t>(y) * window->clientWidth + x];
}

bool FindClass(const std::string& name, WNDCLASSA* found) {
    WindowClass* windowClass = FindClassByName(name.c_str());
    if (windowClass == nullptr) {
        return false;
    }
    *found = windowClass->record;
    return true;
}

void ScheduleInput(InputKind kind, int x, int y, int afterIdlePolls) {
    State().input.push_back(ScheduledInput{kind, x, y, afterIdlePolls});
}

LoopStats CurrentLoopStats() { return State().stats; }

void AnswerOpenDialog(const std::string& path) { State().dialogAnswers.push_back({true, path, false}); }

void CancelOpenDialog() { State().dialogAnswers.push_back({false, std::string(), false}); }

void CloseOwnerDuringOpenDialog() { State().dialogAnswers.push_back({false, std::string(), true}); }

const std::vector<OpenDialogCall>& OpenDialogCalls() { return State().dialogCalls; }

const std::vector<MessageBoxCall>& MessageBoxCalls() { return State().messageBoxCalls; }

}  // namespace host

namespace platform {

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    host::Log("RegisterClassA");
    if (failRegisterClass || windowClass == nullptr || windowClass->lpszClassName == nullptr ||
        windowClass->lpfnWndProc == nullptr || FindClassByName(windowClass->lpszClassName) != nullptr) {
        return 0;
    }
    auto registered = std::make_unique<WindowClass>();
    registered->record = *windowClass;
    registered->name = windowClass->lpszClassName;
    registered->menuName = windowClass->lpszMenuName != nullptr ? windowClass->lpszMenuName : "";
    registered->record.lpszClassName = registered->name.c_str();
    registered->record.lpszMenuName =
        windowClass->lpszMenuName != nullptr ? registered->menuName.c_str() : nullptr;
    State().classes.push_back(std::move(registered));
    return static_cast<ATOM>(0xC000 + State().classes.size() - 1);
}

HWND CreateWindowExA(DWORD extendedStyle, LPCSTR className, LPCSTR caption, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID creationData) {
    host::Log("CreateWindowExA");
    WindowClass* windowClass = className != nullptr ? FindClassByName(className) : nullptr;
    if (failCreateWindow || windowClass == nullptr || (parent != nullptr && !Live(parent))) {
        return nullptr;
    }
    auto created = std::make_unique<HWND__>();
    created->creation = host::WindowCreation{extendedStyle, className, caption != nullptr ? caption : "",
                                             style, x, y, width, height, parent, menu, instance,
                                             creationData};
    created->procedure = windowClass->record.lpfnWndProc;
    created->background = windowClass->record.hbrBackground;
    created->caption = created->creation.caption;
    created->alive = true;
    created->destroying = false;
    created->needsPaint = false;
    created->needsErase = false;
    created->clientWidth = 0;
    created->clientHeight = 0;
    PlaceWindow(created.get(), x, y, width, height);
    HWND window = created.get();
    State().windows.push_back(std::move(created));
    ++host::Counts().windows;

    CREATESTRUCTA creation{creationData, instance, menu, parent, height, width, y, x,
                           static_cast<LONG>(style), caption, className, extendedStyle};
    if (Send(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&creation)) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0 && Live(window)) {
        Invalidate(window);
        Send(window, WM_ACTIVATE, WA_ACTIVE, 0);
    }
    Send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
    Send(window, WM_MOVE, 0, MAKELPARAM(x + kFrameLeft, y + kFrameTop));
    return Live(window) ? window : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    host::Log("LoadCursorA");
    if (instance == nullptr && name == IDC_ARROW) {
        return &arrowCursor;
    }
    return nullptr;
}

int GetSystemMetrics(int index) {
    host::Log("GetSystemMetrics " + std::to_string(index));
    const auto& metrics = State().metrics;
    auto set = metrics.find(index);
    if (set != metrics.end()) {
        return set->second;
    }
    switch (index) {
        case SM_CXFULLSCREEN:
            return 1024;
        case SM_CYFULLSCREEN:
            return 737;
        default:
            return 0;
    }
}

BOOL GetClientRect(HWND window, RECT* rect) {
    host::Log("GetClientRect");
    if (!Live(window) || rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    host::Log("GetWindowRect");
    if (!Live(window) || rect == nullptr) {
        return FALSE;
    }
    *rect = window->rect;
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    host::Log("MoveWindow " + std::to_string(x) + " " + std::to_string(y) + " " +
              std::to_string(width) + " " + std::to_string(height) + " " + std::to_string(repaint));
    if (!Live(window)) {
        return FALSE;
    }
    const RECT before = window->rect;
    PlaceWindow(window, x, y, width, height);
    if (repaint) {
        Invalidate(window);
    }
    if (before.left != window->rect.left || before.top != window->rect.top) {
        Send(window, WM_MOVE, 0, MAKELPARAM(x + kFrameLeft, y + kFrameTop));
    }
    if (before.right - before.left != window->rect.right - window->rect.left ||
        before.bottom - before.top != window->rect.bottom - window->rect.top) {
        Send(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
    }
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    host::Log("SetWindowTextA");
    if (!Live(window)) {
        return FALSE;
    }
    // The caption changes through WM_SETTEXT, which the default procedure keeps.
    return Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT removal) {
    host::Log("PeekMessageA");
    Windowing& state = State();
    ++state.stats.peeks;
    if (message == nullptr) {
        return FALSE;
    }
    DeliverDueInput();
    for (auto queued = state.queue.begin(); queued != state.queue.end(); ++queued) {
        if (Matches(*queued, window, first, last)) {
            *message = *queued;
            if ((removal & PM_REMOVE) != 0) {
                state.queue.erase(queued);
            }
            state.emptyPollsInARow = 0;
            return TRUE;
        }
    }
    // WM_QUIT comes once nothing else is posted, whatever message range was
    // asked for; paint requests come last and stay until the window is painted.
    MSG generated{};
    generated.time = state.clock;
    if (state.quitPosted && window == nullptr) {
        generated.message = WM_QUIT;
        generated.wParam = static_cast<WPARAM>(state.quitCode);
        if ((removal & PM_REMOVE) != 0) {
            state.quitPosted = false;
        }
        *message = generated;
        state.emptyPollsInARow = 0;
        return TRUE;
    }
    HWND unpainted = WindowNeedingPaint(window);
    if (unpainted != nullptr && Matches(MSG{unpainted, WM_PAINT, 0, 0, 0, {}}, window, first, last)) {
        generated.hwnd = unpainted;
        generated.message = WM_PAINT;
        *message = generated;
        state.emptyPollsInARow = 0;
        return TRUE;
    }
    ++state.stats.emptyPolls;
    ++state.emptyPollsInARow;
    if (!state.input.empty()) {
        --state.input.front().afterIdlePolls;
    } else if (state.emptyPollsInARow >= kPatience) {
        EndSession();
    }
    return FALSE;
}

BOOL WaitMessage() {
    host::Log("WaitMessage");
    Windowing& state = State();
    ++state.stats.waits;
    if (!state.queue.empty() || state.quitPosted || WindowNeedingPaint(nullptr) != nullptr) {
        return TRUE;
    }
    // Time passes while the program sleeps: the next input arrives now.
    if (!state.input.empty()) {
        state.input.front().afterIdlePolls = 0;
        DeliverDueInput();
    } else {
        EndSession();
    }
    return TRUE;
}

BOOL TranslateMessage(const MSG* message) {
    host::Log("TranslateMessage");
    if (message == nullptr || message->message != WM_KEYDOWN) {
        return FALSE;
    }
    // Keys that type a character: digits, letters (unshifted) and space.
    const WPARAM key = message->wParam;
    if ((key >= '0' && key <= '9') || key == ' ') {
        Post(message->hwnd, WM_CHAR, key, message->lParam);
        return TRUE;
    }
    if (key >= 'A' && key <= 'Z') {
        Post(message->hwnd, WM_CHAR, key + ('a' - 'A'), message->lParam);
        return TRUE;
    }
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* message) {
    host::Log("DispatchMessageA");
    if (message == nullptr || !Live(message->hwnd)) {
        return 0;
    }
    return Send(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    host::Log("DefWindowProcA " + Hex(message));
    if (!Live(window)) {
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
            if (!host::BrushColour(window->background, &colour)) {
                return 0;
            }
            FillClient(window, colour);
            return 1;
        }
        case WM_SETTEXT:
            window->caption = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
            return TRUE;
        default:
            return 0;
    }
}

BOOL IsWindow(HWND window) { return Live(window) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND window) {
    host::Log("DestroyWindow");
    if (!Live(window) || window->destroying) {
        return FALSE;
    }
    window->destroying = true;
    Send(window, WM_DESTROY, 0, 0);
    window->alive = false;
    window->needsPaint = false;
    --host::Counts().windows;
    auto& queue = State().queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [window](const MSG& queued) { return queued.hwnd == window; }),
                queue.end());
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    host::Log("PostQuitMessage " + std::to_string(exitCode));
    State().quitPosted = true;
    State().quitCode = exitCode;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    host::Log("BeginPaint");
    if (failBeginPaint || !Live(window) || paint == nullptr) {
        return nullptr;
    }
    HDC context = NewContext(window, true);
    if (context == nullptr) {
        return nullptr;
    }
    const bool erase = window->needsErase;
    window->needsErase = false;
    const LRESULT erased = erase ? Send(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(context), 0) : 1;
    *paint = PAINTSTRUCT{};
    paint->hdc = context;
    paint->fErase = erase && erased == 0 ? TRUE : FALSE;
    paint->rcPaint = window->needsPaint ? RECT{0, 0, window->clientWidth, window->clientHeight}
                                        : RECT{0, 0, 0, 0};
    window->needsPaint = false;
    return context;
}

BOOL ValidateRect(HWND window, const RECT*) {
    host::Log("ValidateRect");
    if (!Live(window)) {
        return FALSE;
    }
    // The host keeps one flag for the whole client area: any part validated
    // counts as all of it, which is what the program ever asks for.
    window->needsPaint = false;
    window->needsErase = false;
    return TRUE;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    host::Log("EndPaint");
    if (paint == nullptr || !host::IsLiveContext(paint->hdc) || !paint->hdc->paint ||
        paint->hdc->window != window) {
        return FALSE;
    }
    DropContext(paint->hdc);
    return TRUE;
}

HDC GetDC(HWND window) {
    host::Log("GetDC");
    if (window != nullptr && !Live(window)) {
        return nullptr;
    }
    return NewContext(window, false);
}

int ReleaseDC(HWND window, HDC surface) {
    host::Log("ReleaseDC");
    if (!host::IsLiveContext(surface) || surface->paint || surface->window != window) {
        return 0;
    }
    DropContext(surface);
    return 1;
}

int SetDIBitsToDevice(HDC surface, int x, int y, DWORD width, DWORD height, int sourceX, int sourceY,
                      UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
    host::Log("SetDIBitsToDevice");
    host::DibLayout layout;
    if (!host::IsLiveContext(surface) || info == nullptr || bits == nullptr ||
        usage != DIB_RGB_COLORS || !host::DescribeDib(info->bmiHeader, &layout)) {
        return 0;
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    // The host's display takes true-colour pixels only.
    if (header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32) ||
        startScan >= layout.rows) {
        return 0;
    }
    // `bits` holds the scan lines from startScan on, as many as given.
    const long long lines = std::min<long long>(scanLines, layout.rows - startScan);
    host::DibLayout given = layout;
    given.rows = lines;
    host::TouchDib(info, given, bits);

    HWND window = surface->window;
    if (!Live(window)) {
        return static_cast<int>(lines);  // the screen keeps nothing
    }
    const bool bottomUp = header.biHeight > 0;
    const int pixelBytes = header.biBitCount / 8;
    const auto* data = static_cast<const unsigned char*>(bits);
    // Only the destination rows and columns inside the client area are visited.
    const long long firstRow = std::max<long long>(0, -static_cast<long long>(y));
    const long long endRow = std::min<long long>(height, static_cast<long long>(window->clientHeight) - y);
    const long long firstColumn = std::max<long long>(0, -static_cast<long long>(x));
    const long long endColumn = std::min<long long>(width, static_cast<long long>(window->clientWidth) - x);
    for (long long j = firstRow; j < endRow; ++j) {
        // The source scan line: bottom-up pictures count rows from the bottom.
        const long long scan = bottomUp ? sourceY + static_cast<long long>(height) - 1 - j : sourceY + j;
        if (scan < startScan || scan >= startScan + lines) {
            continue;
        }
        const unsigned char* line = data + (scan - startScan) * layout.rowBytes;
        COLORREF* target = &window->pixels[static_cast<std::size_t>(y + j) * window->clientWidth];
        for (long long i = firstColumn; i < endColumn; ++i) {
            const long long column = sourceX + i;
            if (column < 0 || column >= header.biWidth) {
                continue;
            }
            const unsigned char* pixel = line + column * pixelBytes;
            target[x + i] = static_cast<COLORREF>(pixel[2]) | static_cast<COLORREF>(pixel[1]) << 8 |
                            static_cast<COLORREF>(pixel[0]) << 16;
        }
    }
    return static_cast<int>(lines);
}

BOOL GetOpenFileNameA(OPENFILENAMEA* request) {
    host::Log("GetOpenFileNameA");
    if (request == nullptr) {
        return FALSE;
    }
    Windowing& state = State();
    host::OpenDialogCall call;
    call.lStructSize = request->lStructSize;
    call.hwndOwner = request->hwndOwner;
    call.filter = ReadFilter(request->lpstrFilter);
    call.lpstrFile = request->lpstrFile;
    if (request->lpstrFile != nullptr) {
        call.fileOnEntry.assign(request->lpstrFile, strnlen(request->lpstrFile, request->nMaxFile));
    }
    call.nMaxFile = request->nMaxFile;
    call.hasTitle = request->lpstrTitle != nullptr;
    call.title = call.hasTitle ? request->lpstrTitle : "";
    call.Flags = request->Flags;
    call.otherMembersZero = OtherDialogMembersZero(*request);
    // A record of another size, or an owner that is gone: the dialog does not open.
    if ((request->lStructSize != kOpenFileNameSize && request->lStructSize != kOpenFileNameFullSize) ||
        (request->hwndOwner != nullptr && !Live(request->hwndOwner))) {
        state.dialogCalls.push_back(call);
        return FALSE;
    }
    DialogAnswer answer{false, std::string(), false};
    call.answered = !state.dialogAnswers.empty();
    if (call.answered) {
        answer = state.dialogAnswers.front();
        state.dialogAnswers.pop_front();
    }
    state.dialogCalls.push_back(call);
    PaintWhileModal();
    if (answer.closeOwner && request->hwndOwner != nullptr) {
        Send(request->hwndOwner, WM_CLOSE, 0, 0);
    }
    if (!answer.confirm || request->lpstrFile == nullptr) {
        return FALSE;
    }
    const std::size_t needed = answer.path.size() + 1;
    if (needed > request->nMaxFile) {
        // Too small a buffer ends the dialog in an error; its first two bytes
        // then give the size needed.
        if (request->nMaxFile >= 2) {
            request->lpstrFile[0] = static_cast<char>(needed & 0xFF);
            request->lpstrFile[1] = static_cast<char>((needed >> 8) & 0xFF);
        }
        return FALSE;
    }
    std::memcpy(request->lpstrFile, answer.path.c_str(), needed);
    const std::size_t slash = answer.path.find_last_of("\\/");
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = answer.path.find_last_of('.');
    request->nFileOffset = static_cast<WORD>(name);
    request->nFileExtension =
        static_cast<WORD>(dot != std::string::npos && dot >= name ? dot + 1 : answer.path.size());
    return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    host::Log("MessageBoxA");
    if (owner != nullptr && !Live(owner)) {
        return 0;
    }
    State().messageBoxCalls.push_back(
        host::MessageBoxCall{owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
    PaintWhileModal();
    return IDOK;
}

}  // namespace platform
