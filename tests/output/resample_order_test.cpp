// The resampling against the plain walk, point by point: ix, iy, iz
// nested with iz innermost, one EB2D_APPR call per point at
// r = sqrt(x*x + y*y), the products divided by r.  Every array must agree
// to the bit (sign of zero included) on maps and grids that put points on
// the axis, on nodes, on the map's borders and beyond it.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "field/eb2d_appr.h"
#include "output/output_fixture.h"
#include "output/resample.h"
#include "support/maps.h"

namespace zereduv {
namespace {

void plain_walk(const RunState& s, std::array<Field3D, 6>& out) {
  std::array<double, 3> E{}, B{};
  for (int32_t ix = 1; ix <= kNx; ++ix) {
    for (int32_t iy = 1; iy <= kNy; ++iy) {
      for (int32_t iz = 1; iz <= kNzOut; ++iz) {
        const double x = s.XOut(ix), y = s.YOut(iy), z = s.ZOut(iz);
        const double r = std::sqrt(x * x + y * y);
        EB2D_APPR(s, r, z, E, B);
        if (r > 1e-12) {
          out[0](ix, iy, iz) = (x * E[0]) / r;
          out[1](ix, iy, iz) = (y * E[0]) / r;
          out[2](ix, iy, iz) = E[2];
          out[3](ix, iy, iz) = -((y * B[1]) / r);
          out[4](ix, iy, iz) = (x * B[1]) / r;
          out[5](ix, iy, iz) = B[2];
        } else {
          out[0](ix, iy, iz) = 0.0;
          out[1](ix, iy, iz) = 0.0;
          out[2](ix, iy, iz) = E[2];
          out[3](ix, iy, iz) = 0.0;
          out[4](ix, iy, iz) = 0.0;
          out[5](ix, iy, iz) = B[2];
        }
      }
    }
  }
}

struct Case {
  const char* name;
  int32_t nr, nz;
  double rmax, zmin, zmax;  // map
  double length, aperture;  // output grid
  int32_t symx, symy, symz;
};

TEST(ResampleOrder, BitsOfThePlainWalk) {
  const Case cases[] = {
      // Grid well inside the map; the middle plane x = 0 a rounding residue.
      {"inside", 41, 201, 3.0, -6.0, 6.0, 10.0, 1.5, 0, 0, 0},
      // Corners beyond r max, z planes beyond both ends of the map.
      {"beyond", 21, 61, 1.2, -4.0, 4.0, 12.0, 1.0, 0, 0, 0},
      // Quarter grid: points exactly on the axis and on the map's border.
      {"quarter", 25, 101, 2.0, -5.0, 5.0, 10.0, 2.0, 1, 1, 1},
      // A map too small for the stencil: zero fields everywhere.
      {"tiny", 2, 2, 1.0, -1.0, 1.0, 2.0, 0.5, 0, 0, 0},
  };
  std::mt19937_64 rng(4);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = testing::make_map(c.nr, c.nz, 0.0, c.rmax, c.zmin, c.zmax);
    for (Map2D* m : {&s->Er2D, &s->Ez2D, &s->B2D})
      testing::fill_nodes(*s, *m,
                          [&](int32_t, int32_t) { return 1000.0 * u(rng); });
    output_test::set_grid(*s, c.length, c.aperture, c.symx, c.symy, c.symz);
    auto want = std::make_unique<std::array<Field3D, 6>>();
    plain_walk(*s, *want);
    RESAMPLE(*s);
    const Field3D* got[6] = {&s->Ex3D, &s->Ey3D, &s->Ez3D,
                             &s->Bx3D, &s->By3D, &s->Bz3D};
    for (int k = 0; k < 6; ++k) {
      std::size_t differ = 0;
      for (std::size_t n = 0; n < kOutPoints; ++n)
        differ += std::bit_cast<uint64_t>(got[k]->data()[n]) !=
                  std::bit_cast<uint64_t>(
                      (*want)[static_cast<std::size_t>(k)].data()[n]);
      EXPECT_EQ(differ, 0u) << "component " << k;
    }
  }
}

// The two halves of EB2D_APPR put back together give its bits at any point,
// inside, on the border and outside.
TEST(ResampleOrder, LocateAndEvaluateIsEB2DAppr) {
  auto s = testing::make_map(30, 90, 0.0, 2.9, -4.45, 4.45);
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (Map2D* m : {&s->Er2D, &s->Ez2D, &s->B2D})
    testing::fill_nodes(*s, *m, [&](int32_t, int32_t) { return u(rng); });
  std::uniform_real_distribution<double> rr(-0.1, 3.0), zz(-4.6, 4.6);
  std::size_t differ = 0;
  for (int k = 0; k < 100000; ++k) {
    double r = rr(rng), z = zz(rng);
    if (k % 10 == 0)
      r = s->Rgrid(1 + k / 10 % 30);
    if (k % 7 == 0)
      z = s->Zgrid(1 + k / 7 % 90);
    std::array<double, 3> E1{}, B1{}, E2{}, B2{};
    EB2D_APPR(*s, r, z, E1, B1);
    eb2d_at(*s, locate_r(*s, r), locate_z(*s, z), E2, B2);
    for (std::size_t c = 0; c < 3; ++c) {
      differ +=
          std::bit_cast<uint64_t>(E1[c]) != std::bit_cast<uint64_t>(E2[c]);
      differ +=
          std::bit_cast<uint64_t>(B1[c]) != std::bit_cast<uint64_t>(B2[c]);
    }
  }
  EXPECT_EQ(differ, 0u);
}

}  // namespace
}  // namespace zereduv
