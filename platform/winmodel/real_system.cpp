// What the sides on a real system (the GTK desktop and the web page) answer
// where the test stand-in simulates: they know no other program's windows,
// and keep no call log, counters of polls or faults of their own.
#include "platform/winmodel/backend.h"

namespace winmodel::backend {

bool ForeignWindowSize(HWND, int*, int*) { return false; }

void Note(const char*, std::initializer_list<long long>, bool) {}
bool Fails(Fault) { return false; }
void Polled(bool) {}
void NoteOpenDialog(const OPENFILENAMEA&) {}

}  // namespace winmodel::backend
