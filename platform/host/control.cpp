// Counters, faults and the call log that host tests read and set.
#include "platform/host/host_internal.h"

namespace host {

bool LiveCounts::operator==(const LiveCounts& other) const {
    return openFiles == other.openFiles && globalBlocks == other.globalBlocks &&
           lockedBlocks == other.lockedBlocks && heapBlocks == other.heapBlocks &&
           bitmaps == other.bitmaps && drawingContexts == other.drawingContexts &&
           brushes == other.brushes && windows == other.windows;
}

LiveCounts& Counts() {
    static LiveCounts counts;
    return counts;
}

LiveCounts CurrentCounts() { return Counts(); }

namespace {
bool recording = false;

std::vector<std::string>& MutableLog() {
    static std::vector<std::string> log;
    return log;
}
}  // namespace

void RecordCalls(bool on) { recording = on; }

void Log(const std::string& entry) {
    if (recording) {
        MutableLog().push_back(entry);
    }
}

const std::vector<std::string>& CallLog() { return MutableLog(); }

void ClearCallLog() { MutableLog().clear(); }

void ClearFaults() {
    FailGlobalAllocAfter(-1);
    FailHeapAllocAfter(-1);
    RefuseBitmaps(false);
    FailRegisterClass(false);
    FailCreateWindow(false);
    FailBeginPaint(false);
}

}  // namespace host
