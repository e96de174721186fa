// The program with its step compiled out, for the frame benchmark alone: the
// same shell, loop and drawing, the picture drawn unchanged after every idle
// pass. How many frames a second it makes is what the drawing allows; the
// shipped program's share of it is what the step leaves.
#include "picture/diffusion.h"

void StepPicture(Picture*) {}
