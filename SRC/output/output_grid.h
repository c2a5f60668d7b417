// Field scaling and the 25 x 25 x 201 output grid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/symmetry.h"
#include "run/run_state.h"

namespace zereduv {

/// The output grid's log texts: its heading, then x, y and z (limits and
/// node count).
inline constexpr std::string_view kOutputGridHeading =
    " Output (VELTA) grid parameters ";
inline constexpr std::string_view kOutputXLabel = " Xmin, Xmax, Nx = ";
inline constexpr std::string_view kOutputYLabel = " Ymin, Ymax, Ny = ";
inline constexpr std::string_view kOutputZLabel = " Zmin, Zmax, Nz = ";

/// Scales the map by FieldScale unless it is exactly 1, lays out the output
/// grid (+-Aperture in x and y, +-ElementLength/2 in z, a set key moving the
/// lower limit to 0) and logs it.
void SCALE_AND_GRID(RunState& s);

/// The output grid points inside the aperture's circle (sqrt(x^2 + y^2) <=
/// Aperture) that lie outside the map's limits: sqrt(x^2 + y^2) above Rmax
/// or below Rmin, z below Zmin or above Zmax (strictly).  The corners past
/// the circle, where no beam goes, are not counted.
int64_t points_outside_map(const RunState& s);

/// The warnings about the written field file, one line each: SymZ set on a
/// map that is not mirror-symmetric in z (`mirror` as the map stood after
/// the Maxwell check), then grid points outside the map.
std::vector<std::string> grid_warnings(const RunState& s, ZMirror mirror);

}  // namespace zereduv
