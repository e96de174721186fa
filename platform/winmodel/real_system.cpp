// What the sides on a real system (the GTK desktop and the web page) answer
// where the test stand-in simulates: they know no other program's windows.
#include "platform/winmodel/model.h"

bool winmodel::backend::ForeignWindowSize(HWND, int*, int*) { return false; }
