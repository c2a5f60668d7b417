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
  std::array<double, 3> E{};
  std::array<double, 3> B{};
  for (int32_t ix = 1; ix <= kNx; ++ix) {
    for (int32_t iy = 1; iy <= kNy; ++iy) {
      for (int32_t iz = 1; iz <= kNzOut; ++iz) {
        const double x = s.XOut(ix);
        const double y = s.YOut(iy);
        const double z = s.ZOut(iz);
        const double r = std::sqrt(x * x + y * y);
        // E = (E_r, E_phi, E_z), B = (B_r, B_phi, B_z); zero beyond the map.
        EB2D_APPR(s, r, z, E, B);
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
