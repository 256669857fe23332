#pragma once

#include "input/CorrelatorKernels.h"

namespace auralis {

// One row of the detector's tables: for every term t below `terms`, with the phase
// p = (t * stride) * omega in double,
//   cosine = float(cos(p) * window[t])   and   sine = float(-sin(p) * window[t]),
// each bit for bit what those expressions give with the C library's cos and sin. Entries past
// the last term are zero.
//
// The cosine and sine come from a rotation by stride * omega, started afresh from the library
// every few terms; a value that lands too near the boundary between two floats for the
// rotation's small error to be ruled out is worked out by the library instead.
void fillTableRow(double omega, int stride, int terms, const float* window, TermBlock* row);

}  // namespace auralis
