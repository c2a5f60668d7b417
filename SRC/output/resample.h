// Resampling of the map onto the Cartesian output grid.
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Fills Ex3D..Bz3D at every output grid point from EB2D_APPR at
/// r = sqrt(x^2 + y^2), projecting E_r and B_phi onto x and y.
void RESAMPLE(RunState& s);

}  // namespace zereduv
