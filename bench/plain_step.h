// The diffusion step written the plain way, exactly as defined: the reference
// the shipped StepPicture is held equal to by the tests and timed against by
// the benchmark.
#pragma once

#include "picture/picture.h"

// One generation: snapshot copy, then per interior pixel one NextRandom() % 5,
// a switch on it and a 3-byte copy addressed by display coordinates.
void PlainStepPicture(Picture* picture);
