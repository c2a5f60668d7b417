// Field scaling and the 25 x 25 x 201 output grid.
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Scales the map by FieldScale unless it is exactly 1, lays out the output
/// grid (+-Aperture in x and y, +-ElementLength/2 in z, a set key moving the
/// lower limit to 0) and logs it.
void SCALE_AND_GRID(RunState& s);

}  // namespace zereduv
