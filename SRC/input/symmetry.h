// Completion of a half map by its mirror image in z.
#pragma once

#include <string_view>

#include "run/run_state.h"

namespace zereduv {

/// The completion's log texts: the key, then the completed grid (r, then z:
/// limits and node count).
inline constexpr std::string_view kSymmetryKeyLabel =
    " Input Symmetry key: isym_z= ";
inline constexpr std::string_view kFullGridHeading =
    " Full Input Grid parameters ";
inline constexpr std::string_view kFullRLabel = " Rimin, Rimax, Nir = ";
inline constexpr std::string_view kFullZLabel = " Zimin, Zimax, Niz = ";

/// Completes the map by mirror symmetry as isym_z says (1, -1: Ez and B odd;
/// 2, -2: Er odd; sign = which half the table holds; any other key: whole
/// map), doubles Nz - 1, Zmin and Zmax, builds Rgrid and Zgrid and logs the
/// key and the full input grid.
void COMPLETE_SYMMETRY(RunState& s);

/// How Ez on the first r node (the axis) mirrors about the map's middle
/// plane: with e_j = Ez2D(1, j) and m = max |e_j|, even when every
/// |e_j - e_(Nz+1-j)| <= 0.02 m, odd when every |e_j + e_(Nz+1-j)| <=
/// 0.02 m (even first), NoField when m = 0.
enum class ZMirror { Even, Odd, Neither, NoField };
ZMirror z_mirror(const RunState& s);

}  // namespace zereduv
