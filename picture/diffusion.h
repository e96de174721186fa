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

// The step's kernels, slowest first; a build has the scalar one and those of
// the processor it is for (x86: AVX2, AVX-512; arm64: NEON; WebAssembly:
// SIMD128). The step uses the fastest one the processor supports; every one
// gives the same bytes and the same draws.
enum StepDrawing { kDrawScalar, kDrawAvx2, kDrawAvx512, kDrawNeon, kDrawSimd128, kDrawFastest = kDrawSimd128 };

// Caps the kernel the step may use and returns the one it now uses: the
// fastest the processor has up to `limit`. Tests and the benchmark use it to
// check and time each kernel; the program never calls it.
StepDrawing LimitStepDrawing(StepDrawing limit);

// Gives the choice back to the step, as at start, and returns the kernel it
// now uses: the fastest the processor has, but the scalar loop under QEMU's
// instruction translator, which runs vector code slower than plain code.
StepDrawing ResetStepDrawing();
