#include "output/output_grid.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "output/output_fixture.h"

namespace zereduv {
namespace {

using output_test::new_state;
using output_test::split_lines;

struct GridCase {
  const char* what;
  double aperture, element_length;
  int32_t symx, symy, symz;
  double xmin, dx, ymin, dy, zmin, dz;
};

class GridExamples : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridExamples, LimitsStepsAndCoordinates) {
  const GridCase& c = GetParam();
  auto s = new_state();
  s->FieldScale = 1.0;
  s->Aperture = c.aperture;
  s->ElementLength = c.element_length;
  s->SymX = c.symx;
  s->SymY = c.symy;
  s->SymZ = c.symz;
  SCALE_AND_GRID(*s);

  EXPECT_EQ(s->XminOut, c.xmin);
  EXPECT_EQ(s->XmaxOut, c.aperture);
  EXPECT_EQ(s->YminOut, c.ymin);
  EXPECT_EQ(s->YmaxOut, c.aperture);
  EXPECT_EQ(s->ZminOut, c.zmin);
  EXPECT_EQ(s->ZmaxOut, c.element_length / 2);
  EXPECT_EQ(s->DxOut, c.dx);
  EXPECT_EQ(s->DyOut, c.dy);
  EXPECT_EQ(s->DzOut, c.dz);

  // First point on the lower limit exactly, last one on the upper limit
  // up to rounding, and no rounding piled up from adding steps.
  EXPECT_EQ(s->XOut(1), c.xmin);
  EXPECT_EQ(s->ZOut(1), c.zmin);
  EXPECT_NEAR(s->XOut(25), c.aperture, 1e-14);
  EXPECT_NEAR(s->YOut(25), c.aperture, 1e-14);
  EXPECT_NEAR(s->ZOut(201), c.element_length / 2, 1e-14);
  for (int32_t i = 1; i <= kNx; ++i) {
    EXPECT_EQ(s->XOut(i), (i - 1) * c.dx + c.xmin) << i;
    EXPECT_EQ(s->YOut(i), (i - 1) * c.dy + c.ymin) << i;
  }
  for (int32_t i = 1; i <= kNzOut; ++i) {
    EXPECT_EQ(s->ZOut(i), (i - 1) * c.dz + c.zmin) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Output, GridExamples,
    ::testing::Values(GridCase{"full", 2, 10, 0, 0, 0, -2, 1.0 / 6, -2, 1.0 / 6,
                               -5, 0.05},
                      GridCase{"half x and z", 2, 10, 1, 0, -3, 0, 1.0 / 12, -2,
                               1.0 / 6, 0, 0.025},
                      GridCase{"half y, any sign", 3, 8, 0, -7, 0, -3, 0.25, 0,
                               0.125, -4, 0.04}));

TEST(OutputGrid, LogBlockFramedBySeparators) {
  auto s = new_state();
  s->FieldScale = 1.0;
  s->Aperture = 2;
  s->ElementLength = 10;
  s->SymY = 1;
  SCALE_AND_GRID(*s);
  const auto lines = split_lines(s->log.memory(), "\r\n");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "  ------------------------------ ");
  EXPECT_EQ(lines[1], "  Output (VELTA) grid parameters ");
  EXPECT_EQ(lines[2],
            "  Xmin, Xmax, Nx =   -2.00000000000000     "
            "   2.00000000000000               25");
  EXPECT_EQ(lines[3],
            "  Ymin, Ymax, Ny =   0.000000000000000E+000"
            "   2.00000000000000               25");
  EXPECT_EQ(lines[4],
            "  Zmin, Zmax, Nz =   -5.00000000000000     "
            "   5.00000000000000              201");
  EXPECT_EQ(lines[5], lines[0]);
  EXPECT_EQ(s->console.memory(), "");
}

// A small map with values of no special form, and a value beyond the
// Nr x Nz block that must never be touched.
void fill_map(RunState& s) {
  s.Nr = 3;
  s.Nz = 4;
  for (auto* m : {&s.Er2D, &s.Ez2D, &s.B2D})
    m->allocate(4, 5);
  for (int32_t i = 1; i <= 4; ++i) {
    for (int32_t j = 1; j <= 5; ++j) {
      s.Er2D(i, j) = 0.1 * i + 1.0 / (3 * j);
      s.Ez2D(i, j) = -7.3e3 * i / j;
      s.B2D(i, j) = 1.0 / (i + j + 0.7);
    }
  }
}

TEST(FieldScale, OneLeavesTheMapBitForBit) {
  auto s = new_state();
  fill_map(*s);
  auto before = new_state();
  fill_map(*before);
  s->FieldScale = 1.0;
  SCALE_AND_GRID(*s);
  for (int32_t i = 1; i <= 4; ++i) {
    for (int32_t j = 1; j <= 5; ++j) {
      EXPECT_EQ(std::bit_cast<uint64_t>(s->Er2D(i, j)),
                std::bit_cast<uint64_t>(before->Er2D(i, j)));
      EXPECT_EQ(std::bit_cast<uint64_t>(s->Ez2D(i, j)),
                std::bit_cast<uint64_t>(before->Ez2D(i, j)));
      EXPECT_EQ(std::bit_cast<uint64_t>(s->B2D(i, j)),
                std::bit_cast<uint64_t>(before->B2D(i, j)));
    }
  }
}

TEST(FieldScale, AnyOtherValueScalesTheNodesInUse) {
  for (const double scale : {0.0, -2.0, std::nextafter(1.0, 2.0), 3.5}) {
    auto s = new_state();
    fill_map(*s);
    auto ref = new_state();
    fill_map(*ref);
    s->FieldScale = scale;
    SCALE_AND_GRID(*s);
    for (int32_t i = 1; i <= 4; ++i) {
      for (int32_t j = 1; j <= 5; ++j) {
        const bool used = i <= 3 && j <= 4;
        const double f = used ? scale : 1.0;
        EXPECT_EQ(s->Er2D(i, j), ref->Er2D(i, j) * f) << scale << i << j;
        EXPECT_EQ(s->Ez2D(i, j), ref->Ez2D(i, j) * f) << scale << i << j;
        EXPECT_EQ(s->B2D(i, j), ref->B2D(i, j) * f) << scale << i << j;
      }
    }
  }
}

}  // namespace
}  // namespace zereduv
