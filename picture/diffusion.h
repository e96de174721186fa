// One generation of the dissolve.
#pragma once

#include "picture/picture.h"

// Every interior pixel takes, from a snapshot of the previous generation, the
// colour of its right, left, lower or upper neighbour or its own, chosen by
// NextRandom() % 5 (0, 1, 2, 4, 3 in that order), one draw per interior pixel
// in row-major order from the top. The outer ring, the row-end fill bytes and
// the spare bytes are never written.
void StepPicture(Picture* picture);
