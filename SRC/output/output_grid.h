// Field scaling and the 25 x 25 x 201 output grid.
#pragma once

#include <string_view>

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

}  // namespace zereduv
