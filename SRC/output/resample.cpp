#include "output/resample.h"

#include <array>
#include <cmath>

#include "field/eb2d_appr.h"

namespace zereduv {

namespace {

// Closer to the axis than this, r-hat and phi-hat are not defined in any
// useful sense: only the axial components are kept there.
constexpr double kOnAxis = 1e-12;  // [cm]

}  // namespace

void RESAMPLE(RunState& s) {
  // Every point takes the arithmetic of EB2D_APPR(s, r, z, E, B) at its own
  // r and z; the parts of it that depend on r alone (with r itself) or on z
  // alone are the same for whole lines and planes of the grid, so they are
  // worked out once per (ix, iy) and once per iz.  The points are
  // independent, and walking them in storage order (ix fastest) writes the
  // six arrays contiguously.
  struct Column {
    double x, y, r;
    MapOffset at;
  };
  std::array<Column, static_cast<std::size_t>(kNx) * kNy> columns;
  for (int32_t iy = 1; iy <= kNy; ++iy) {
    for (int32_t ix = 1; ix <= kNx; ++ix) {
      Column& c = columns[static_cast<std::size_t>((iy - 1) * kNx + (ix - 1))];
      c.x = s.XOut(ix);
      c.y = s.YOut(iy);
      c.r = std::sqrt(c.x * c.x + c.y * c.y);
      c.at = locate_r(s, c.r);
    }
  }
  std::array<double, 3> E{};
  std::array<double, 3> B{};
  for (int32_t iz = 1; iz <= kNzOut; ++iz) {
    const MapOffset zat = locate_z(s, s.ZOut(iz));
    for (int32_t iy = 1; iy <= kNy; ++iy) {
      for (int32_t ix = 1; ix <= kNx; ++ix) {
        const Column& c =
            columns[static_cast<std::size_t>((iy - 1) * kNx + (ix - 1))];
        const double x = c.x;
        const double y = c.y;
        const double r = c.r;
        // E = (E_r, E_phi, E_z), B = (B_r, B_phi, B_z); zero beyond the map.
        eb2d_at(s, c.at, zat, E, B);
        if (r > kOnAxis) {
          // E_r along r-hat = (x/r, y/r), B_phi along phi-hat = (-y/r, x/r);
          // each product is formed before the division by r.
          s.Ex3D(ix, iy, iz) = (x * E[0]) / r;
          s.Ey3D(ix, iy, iz) = (y * E[0]) / r;
          s.Ez3D(ix, iy, iz) = E[2];
          s.Bx3D(ix, iy, iz) = -((y * B[1]) / r);
          s.By3D(ix, iy, iz) = (x * B[1]) / r;
          s.Bz3D(ix, iy, iz) = B[2];
        } else {
          s.Ex3D(ix, iy, iz) = 0.0;
          s.Ey3D(ix, iy, iz) = 0.0;
          s.Ez3D(ix, iy, iz) = E[2];
          s.Bx3D(ix, iy, iz) = 0.0;
          s.By3D(ix, iy, iz) = 0.0;
          s.Bz3D(ix, iy, iz) = B[2];
        }
      }
    }
  }
}

}  // namespace zereduv
