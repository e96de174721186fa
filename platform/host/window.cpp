// The test stand-in's system: a simulated window manager whose windows have
// a fixed frame, system metrics that tests set, input that tests schedule and
// that arrives as the program polls, and the modal open-file dialog and
// message box, which tests answer and inspect. Windows, the queue and
// painting are the shared model's (platform/winmodel).
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

#include "platform/host/host_control.h"
#include "platform/winmodel/backend.h"

// What the host keeps of a window beyond the model: how it was created.
struct winmodel::SideWindow {
    host::WindowCreation creation;
};

namespace {

// Empty polls in a row, with no input left, after which the host ends the
// session rather than let a test's loop spin for ever.
constexpr int kPatience = 1000;

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

struct Simulation {
    std::vector<std::unique_ptr<winmodel::SideWindow>> windows;
    std::deque<ScheduledInput> input;
    int emptyPollsInARow = 0;
    std::map<int, int> metrics;
    host::LoopStats stats;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<host::OpenDialogCall> dialogCalls;
    std::vector<host::MessageBoxCall> messageBoxCalls;
};

Simulation& State() {
    static Simulation state;
    return state;
}

bool Known(HWND window) {
    const std::vector<HWND> windows = winmodel::AllWindows();
    return window != nullptr && std::find(windows.begin(), windows.end(), window) != windows.end();
}

HWND FirstLiveWindow() {
    for (HWND window : winmodel::AllWindows()) {
        if (window->alive) {
            return window;
        }
    }
    return nullptr;
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
    } else if (input.kind == host::InputKind::LeftClick || input.kind == host::InputKind::RightClick) {
        const bool left = input.kind == host::InputKind::LeftClick;
        winmodel::Post(target, left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, left ? MK_LBUTTON : MK_RBUTTON, where);
        winmodel::Post(target, left ? WM_LBUTTONUP : WM_RBUTTONUP, 0, where);
    } else if (input.kind == host::InputKind::MouseMove) {
        winmodel::Post(target, WM_MOUSEMOVE, 0, where);
    } else if (input.kind == host::InputKind::KeyPress) {
        winmodel::Post(target, WM_KEYDOWN, static_cast<WPARAM>(input.x), 1);
        winmodel::Post(target, WM_KEYUP, static_cast<WPARAM>(input.x), static_cast<LPARAM>(0xC0000001U));
    } else {
        winmodel::Post(target, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

// The test gave no more input and the program still runs: close the window
// as a user would; if that was tried already or there is no window, quit.
void EndSession() {
    Simulation& state = State();
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

}  // namespace

namespace host {

void ResetWindowing() {
    winmodel::ResetWindows();
    State() = Simulation{};
}

void SetSystemMetric(int index, int value) { State().metrics[index] = value; }

std::vector<HWND> AllWindows() { return winmodel::AllWindows(); }

bool IsLiveWindow(HWND window) { return winmodel::IsLive(window); }

WindowCreation CreationOf(HWND window) { return Known(window) ? window->side->creation : WindowCreation{}; }

std::string CaptionOf(HWND window) { return Known(window) ? window->caption : std::string(); }

bool NeedsPaint(HWND window) { return winmodel::IsLive(window) && window->needsPaint; }

COLORREF ClientPixel(HWND window, int x, int y) {
    if (!Known(window) || x < 0 || y < 0 || x >= window->clientWidth || y >= window->clientHeight) {
        return kUnpainted;
    }
    const std::uint32_t pixel = window->pixels[static_cast<std::size_t>(y) * window->pixelWidth + x];
    if ((pixel & winmodel::kUnpaintedPixel) != 0) {
        return kUnpainted;
    }
    return (pixel & 0xFF) << 16 | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
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

namespace winmodel::backend {

bool CreateSystemWindow(HWND window, const CREATESTRUCTA& asked) {
    auto side = std::make_unique<SideWindow>();
    side->creation = host::WindowCreation{asked.dwExStyle, asked.lpszClass, asked.lpszName != nullptr ? asked.lpszName : "",
                                          static_cast<DWORD>(asked.style), asked.x, asked.y, asked.cx, asked.cy,
                                          asked.hwndParent, asked.hMenu, asked.hInstance, asked.lpCreateParams};
    window->side = side.get();
    State().windows.push_back(std::move(side));
    PlaceSystemWindow(window, asked.x, asked.y, asked.cx, asked.cy);
    return true;
}

void ShowSystemWindow(HWND) {}

// The client area follows the outer rectangle, less the fixed frame.
void PlaceSystemWindow(HWND window, int x, int y, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    window->rect = RECT{x, y, x + width, y + height};
    const int clientWidth = std::max(width - host::kFrameWidth, 0);
    const int clientHeight = std::max(height - host::kFrameHeight, 0);
    SetClientSize(window, clientWidth, clientHeight, clientWidth, clientHeight);
}

void SetSystemCaption(HWND, const char*) {}

void DestroySystemWindow(HWND) {}

void Present(HWND, int, int, int, int) {}

// Input falls due as the program polls; when the program waits, time passes
// and the next input arrives at once, or, with none left, the session ends.
void PumpEvents(bool wait) {
    auto& input = State().input;
    if (wait) {
        ++State().stats.waits;
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

void Polled(bool found) {
    Simulation& state = State();
    ++state.stats.peeks;
    if (found) {
        state.emptyPollsInARow = 0;
        return;
    }
    ++state.stats.emptyPolls;
    ++state.emptyPollsInARow;
    if (!state.input.empty()) {
        --state.input.front().afterIdlePolls;
    } else if (state.emptyPollsInARow >= kPatience) {
        EndSession();
    }
}

// A full-screen client area of 1024 x 737 until a test sets another.
int ScreenMetric(int index) {
    const auto set = State().metrics.find(index);
    if (set != State().metrics.end()) {
        return set->second;
    }
    return index == SM_CXFULLSCREEN ? 1024 : index == SM_CYFULLSCREEN ? 737 : 0;
}

void NoteOpenDialog(const OPENFILENAMEA& request) {
    host::OpenDialogCall call;
    call.lStructSize = request.lStructSize;
    call.hwndOwner = request.hwndOwner;
    call.filter = FilterStrings(request.lpstrFilter);
    call.lpstrFile = request.lpstrFile;
    if (request.lpstrFile != nullptr) {
        call.fileOnEntry.assign(request.lpstrFile, strnlen(request.lpstrFile, request.nMaxFile));
    }
    call.nMaxFile = request.nMaxFile;
    call.hasTitle = request.lpstrTitle != nullptr;
    call.title = call.hasTitle ? request.lpstrTitle : "";
    call.Flags = request.Flags;
    call.otherMembersZero = OtherDialogMembersZero(request);
    State().dialogCalls.push_back(call);
}

// Answers in the order tests gave them; a dialog with none left is cancelled.
bool RunOpenDialog(const OPENFILENAMEA& request, std::string* path) {
    Simulation& state = State();
    DialogAnswer answer{false, std::string(), false};
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
    State().messageBoxCalls.push_back(
        host::MessageBoxCall{owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
}

}  // namespace winmodel::backend
