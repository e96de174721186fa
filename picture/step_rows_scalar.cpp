// A processor without vector kernels of the step's: the scalar loop always.
#include "picture/step_rows.h"

StepDrawing ProcessorDrawing(StepDrawing, bool) { return kDrawScalar; }

StepRow ProcessorStepRow(StepDrawing) { return nullptr; }
