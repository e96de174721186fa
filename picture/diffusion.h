// One generation of the dissolve.
#pragma once

#include "picture/picture.h"

// Every interior pixel takes, from a snapshot of the previous generation, the
// colour of its right, left, lower or upper neighbour or its own, chosen by
// NextRandom() % 5 (0, 1, 2, 4, 3 in that order), one draw per interior pixel
// in row-major order from the top. The outer ring, the row-end fill bytes and
// the spare bytes are never written. Allocates nothing.
void StepPicture(Picture* picture);

// The same step written the plain way, one pixel at a time: the snapshot copy,
// then per interior pixel one NextRandom() % 5, a switch on it and a 3-byte
// copy addressed by display coordinates. It states what StepPicture computes;
// the tests hold the two equal and the benchmark times one against the other.
void PlainStepPicture(Picture* picture);

// How the step draws its random values, slowest first. The step uses the
// fastest way the processor supports; every way gives the same values.
enum StepDrawing { kDrawScalar, kDrawAvx2, kDrawAvx512 };

// Caps the way the step may draw (tests and the benchmark use it to check and
// time the slower ways on a fast processor) and returns the way the step now
// uses. The program never calls it.
StepDrawing LimitStepDrawing(StepDrawing limit);
