// What tests may do to the host platform: read how many of each resource are
// live, make calls fail on demand, and read the log of calls made.
#pragma once

#include <string>
#include <vector>

namespace host {

// Resources taken and not yet given back.
struct LiveCounts {
    int openFiles = 0;        // OpenFile without _lclose
    int globalBlocks = 0;     // GlobalAlloc without GlobalFree
    int lockedBlocks = 0;     // GlobalLock without GlobalUnlock
    int heapBlocks = 0;       // malloc without free
    int bitmaps = 0;          // CreateDIBitmap without DeleteObject
    int drawingContexts = 0;  // GetDC/BeginPaint without ReleaseDC/EndPaint
    int brushes = 0;          // CreateSolidBrush (a class keeps its brush)

    bool operator==(const LiveCounts& other) const;
    bool operator!=(const LiveCounts& other) const { return !(*this == other); }
};
LiveCounts CurrentCounts();

// Faults. A count of N lets N more calls succeed and fails the ones after;
// -1 never fails. ClearFaults() restores -1 everywhere.
void FailGlobalAllocAfter(int successes);
void FailHeapAllocAfter(int successes);
void RefuseBitmaps(bool refuse);
void ClearFaults();

// While recording is on, every platform call is logged in order, e.g.
// "OpenFile", "_lread 14", "_llseek 54", "GlobalAlloc 1072", "GlobalLock",
// "malloc 40", "CreateDIBitmap", "_lclose". Recording is off at start, so
// long runs do not grow the log; ClearCallLog() empties it.
void RecordCalls(bool on);
const std::vector<std::string>& CallLog();
void ClearCallLog();

}  // namespace host
