// The host as the shell's and the saver's tests start and leave it: no
// windows, no faults set, no calls recorded.
#pragma once

#include "platform/host/host_control.h"

inline void ResetHost() {
    host::ResetWindowing();
    host::ClearFaults();
    host::RecordCalls(false);
    host::ClearCallLog();
}
