// The counters, faults and call log that host tests read and set, and the
// hooks through which the shared Windows model reports to them.
#include "platform/host/host_control.h"
#include "platform/winmodel/backend.h"

namespace {

using winmodel::backend::Fault;

bool recording = false;

// Fault counters: N lets N more calls succeed and fails the ones after; -1
// never fails.
int globalAllocsLeft = -1;
int heapAllocsLeft = -1;
bool refuseBitmaps = false;
bool failRegisterClass = false;
bool failCreateWindow = false;
bool failBeginPaint = false;

std::vector<std::string>& MutableLog() {
    static std::vector<std::string> log;
    return log;
}

// Applies a fault counter: true when this call is to fail.
bool TakeFault(int* allowance) {
    if (*allowance <= 0) {
        return *allowance == 0;
    }
    --*allowance;
    return false;
}

}  // namespace

namespace host {

LiveCounts CurrentCounts() { return winmodel::Counts(); }

void FailGlobalAllocAfter(int successes) { globalAllocsLeft = successes; }
void FailHeapAllocAfter(int successes) { heapAllocsLeft = successes; }
void RefuseBitmaps(bool refuse) { refuseBitmaps = refuse; }
void FailRegisterClass(bool fail) { failRegisterClass = fail; }
void FailCreateWindow(bool fail) { failCreateWindow = fail; }
void FailBeginPaint(bool fail) { failBeginPaint = fail; }

void ClearFaults() {
    FailGlobalAllocAfter(-1);
    FailHeapAllocAfter(-1);
    RefuseBitmaps(false);
    FailRegisterClass(false);
    FailCreateWindow(false);
    FailBeginPaint(false);
}

void RecordCalls(bool on) { recording = on; }
const std::vector<std::string>& CallLog() { return MutableLog(); }
void ClearCallLog() { MutableLog().clear(); }

bool FindClass(const std::string& name, WNDCLASSA* found) { return winmodel::FindClass(name.c_str(), found); }

bool BrushColour(HBRUSH brush, COLORREF* colour) { return winmodel::BrushColour(brush, colour); }

}  // namespace host

namespace winmodel::backend {

bool Recording() { return recording; }

void NoteCall(const std::string& entry) { MutableLog().push_back(entry); }

bool Fails(Fault fault) {
    switch (fault) {
        case Fault::GlobalAlloc: return TakeFault(&globalAllocsLeft);
        case Fault::HeapAlloc: return TakeFault(&heapAllocsLeft);
        case Fault::Bitmap: return refuseBitmaps;
        case Fault::RegisterClass: return failRegisterClass;
        case Fault::CreateWindow: return failCreateWindow;
        case Fault::BeginPaint: return failBeginPaint;
    }
    return false;
}

// The host's display takes bitmaps of any shape that memory holds.
long long LargestBitmapSide() { return 1LL << 30; }

}  // namespace winmodel::backend
