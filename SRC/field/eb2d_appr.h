// Evaluation of the axially symmetric map at any point (r, z).
#pragma once

#include <array>

#include "run/run_state.h"

namespace zereduv {

/// E = (E_r, 0, E_z) [V/cm] and B = (0, B_phi, 0) [Gauss] at (r, z) [cm] by
/// the nine-point second-order formula on the 3 x 3 nodes around the nearest
/// node; all six components 0 outside the map (bounds inclusive).
void EB2D_APPR(const RunState& s, double r, double z, std::array<double, 3>& E,
               std::array<double, 3>& B);

}  // namespace zereduv
