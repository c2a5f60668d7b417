#include "output/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "output/output_fixture.h"

namespace zereduv {
namespace {

using output_test::new_state;
using output_test::set_grid;

// A map that is the same at every node: E = (10, 0, 7), B = (0, 2, 0) on
// r = 0..10 (step 1) and z = -200..200 (step 2).  At a node the nine-point
// formula gives the node value exactly, so grid points on nodes have known
// fields to the last bit.
void uniform_map(RunState& s) {
  s.Nr = 11;
  s.Nz = 201;
  for (auto* m : {&s.Er2D, &s.Ez2D, &s.B2D})
    m->allocate(s.Nr, s.Nz);
  s.Rgrid.allocate(s.Nr);
  s.Zgrid.allocate(s.Nz);
  for (int32_t i = 1; i <= s.Nr; ++i)
    s.Rgrid(i) = i - 1;
  for (int32_t j = 1; j <= s.Nz; ++j)
    s.Zgrid(j) = 2.0 * (j - 1) - 200.0;
  s.Rmin = 0;
  s.Rmax = 10;
  s.Zmin = -200;
  s.Zmax = 200;
  for (int32_t i = 1; i <= s.Nr; ++i) {
    for (int32_t j = 1; j <= s.Nz; ++j) {
      s.Er2D(i, j) = 10.0;
      s.Ez2D(i, j) = 7.0;
      s.B2D(i, j) = 2.0;
    }
  }
}

struct Expect6 {
  double ex, ey, ez, bx, by, bz;
};

void expect_at(const RunState& s, int32_t ix, int32_t iy, int32_t iz,
               const Expect6& e) {
  SCOPED_TRACE(::testing::Message()
               << "node " << ix << "," << iy << "," << iz << " x=" << s.XOut(ix)
               << " y=" << s.YOut(iy) << " z=" << s.ZOut(iz));
  EXPECT_EQ(s.Ex3D(ix, iy, iz), e.ex);
  EXPECT_EQ(s.Ey3D(ix, iy, iz), e.ey);
  EXPECT_EQ(s.Ez3D(ix, iy, iz), e.ez);
  EXPECT_EQ(s.Bx3D(ix, iy, iz), e.bx);
  EXPECT_EQ(s.By3D(ix, iy, iz), e.by);
  EXPECT_EQ(s.Bz3D(ix, iy, iz), e.bz);
}

// Quarter grid x, y = 0..12 (step 0.5), z = -200..200 (step 2): every z
// plane is a map node.
class Resample : public ::testing::Test {
 protected:
  void SetUp() override {
    uniform_map(*s);
    set_grid(*s, 400.0, 12.0, 1, 1, 0);
    ASSERT_EQ(s->XOut(7), 3.0);
    ASSERT_EQ(s->YOut(9), 4.0);
    ASSERT_EQ(s->ZOut(2), -198.0);
  }
  std::unique_ptr<RunState> s = new_state();
};

TEST_F(Resample, ProjectsOntoXAndY) {
  RESAMPLE(*s);
  // (3, 4): r = 5, r-hat = (0.6, 0.8), phi-hat = (-0.8, 0.6).
  for (const int32_t iz : {1, 2, 101, 200, 201}) {
    expect_at(*s, 7, 9, iz, {6.0, 8.0, 7.0, -1.6, 1.2, 0.0});
  }
  // (4, 3) swaps the transverse roles.
  expect_at(*s, 9, 7, 50, {8.0, 6.0, 7.0, -1.2, 1.6, 0.0});
  // (6, 8): r = 10 is the map's outer radius, still inside.
  expect_at(*s, 13, 17, 50, {6.0, 8.0, 7.0, -1.6, 1.2, 0.0});
}

TEST_F(Resample, OnTheAxisOnlyAxialComponents) {
  RESAMPLE(*s);
  for (const int32_t iz : {1, 77, 201}) {
    expect_at(*s, 1, 1, iz, {0.0, 0.0, 7.0, 0.0, 0.0, 0.0});
  }
}

TEST_F(Resample, AxisThresholdIsOnePicometre) {
  // r at the threshold is on the axis; just above it the full projection
  // applies, giving E_r and B_phi themselves along x at y = 0.
  s->XOut(2) = 1e-12;
  s->XOut(3) = 1.0000001e-12;
  RESAMPLE(*s);
  EXPECT_EQ(s->Ex3D(2, 1, 5), 0.0);
  EXPECT_EQ(s->By3D(2, 1, 5), 0.0);
  EXPECT_NEAR(s->Ez3D(2, 1, 5), 7.0, 1e-9);
  EXPECT_NEAR(s->Ex3D(3, 1, 5), 10.0, 1e-9);
  EXPECT_NEAR(s->By3D(3, 1, 5), 2.0, 1e-9);
  EXPECT_EQ(s->Ey3D(3, 1, 5), 0.0);
  EXPECT_EQ(s->Bx3D(3, 1, 5), 0.0);
}

TEST_F(Resample, BeyondTheMapAllZero) {
  // Beyond r = 10: (12, 12), (10.5, 0), (0, 11); and beyond z = +-200.
  set_grid(*s, 404.0, 12.0, 1, 1, 0);  // z planes -202..202
  RESAMPLE(*s);
  auto zero = [&](int32_t ix, int32_t iy, int32_t iz) {
    expect_at(*s, ix, iy, iz, {0.0, 0.0, 0.0, 0.0, 0.0, 0.0});
  };
  zero(25, 25, 100);
  zero(22, 1, 100);
  zero(1, 23, 100);
  zero(7, 9, 1);
  zero(7, 9, 201);
  zero(1, 1, 1);
  // A point inside still sees the map.
  EXPECT_NEAR(s->Ez3D(7, 9, 100), 7.0, 1e-12);
}

TEST(ResampleFullGrid, MirrorQuadrantsAndSignedZeros) {
  auto s = new_state();
  uniform_map(*s);
  set_grid(*s, 400.0, 12.0, 0, 0, 0);  // x, y = -12..12, step 1
  RESAMPLE(*s);
  // (-3, -4) points the other way: r-hat = (-0.6, -0.8).
  expect_at(*s, 10, 9, 100, {-6.0, -8.0, 7.0, 1.6, -1.2, 0.0});
  // Outside the map at negative x the projection gives -0 for Ex and By.
  EXPECT_TRUE(std::signbit(s->Ex3D(1, 13, 100)));
  EXPECT_TRUE(std::signbit(s->By3D(1, 13, 100)));
  EXPECT_EQ(s->Ex3D(1, 13, 100), 0.0);
}

}  // namespace
}  // namespace zereduv
