// Completion of a half map by its mirror image in z.
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Completes the map by mirror symmetry as isym_z says (1, -1: Ez and B odd;
/// 2, -2: Er odd; sign = which half the table holds; any other key: whole
/// map), doubles Nz - 1, Zmin and Zmax, builds Rgrid and Zgrid and logs the
/// key and the full input grid.
void COMPLETE_SYMMETRY(RunState& s);

}  // namespace zereduv
