// The nine-point field evaluation: node values, border and corner cells,
// the range test, and exact reproduction of second-order fields.
#include "field/eb2d_appr.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "support/maps.h"

namespace zereduv {
namespace {

using testing::fill_nodes;
using testing::make_map;

using Vec = std::array<double, 3>;

// Node values with no structure (no polynomial passes through them), distinct
// for the three components.
double rough(int32_t i, int32_t j, int32_t comp) {
  return std::sin(1.7 * i + 0.37 * j * j + comp) * 1000.0 +
         static_cast<double>((i * 31 + j * 17 + comp * 7) % 13);
}

void fill_rough(RunState& s) {
  fill_nodes(s, s.Er2D, [](int32_t i, int32_t j) { return rough(i, j, 0); });
  fill_nodes(s, s.Ez2D, [](int32_t i, int32_t j) { return rough(i, j, 1); });
  fill_nodes(s, s.B2D, [](int32_t i, int32_t j) { return rough(i, j, 2); });
}

// Output vectors preset to garbage, so that a component left unwritten shows.
struct Eval {
  Vec E{7.0, 7.0, 7.0};
  Vec B{7.0, 7.0, 7.0};
  Eval(const RunState& s, double r, double z) { EB2D_APPR(s, r, z, E, B); }
  bool all_zero() const {
    return E[0] == 0.0 && E[1] == 0.0 && E[2] == 0.0 && B[0] == 0.0 &&
           B[1] == 0.0 && B[2] == 0.0;
  }
};

// Grid steps that are exact in binary, so node coordinates are exact and the
// offsets at nodes are exactly 0 or +-1.
constexpr int32_t kNr = 6, kNz = 7;

TEST(EB2D_APPR, NodesOffTheCornersGiveTheirValuesExactly) {
  auto s = make_map(kNr, kNz, 0.0, 1.25, -1.5, 1.5);
  fill_rough(*s);
  int checked = 0;
  for (int32_t i = 1; i <= kNr; ++i) {
    for (int32_t j = 1; j <= kNz; ++j) {
      const bool corner = (i == 1 || i == kNr) && (j == 1 || j == kNz);
      if (corner)
        continue;
      SCOPED_TRACE(::testing::Message() << "node " << i << "," << j);
      Eval ev(*s, s->Rgrid(i), s->Zgrid(j));
      EXPECT_EQ(ev.E[0], s->Er2D(i, j));
      EXPECT_EQ(ev.E[2], s->Ez2D(i, j));
      EXPECT_EQ(ev.B[1], s->B2D(i, j));
      EXPECT_EQ(ev.E[1], 0.0);
      EXPECT_EQ(ev.B[0], 0.0);
      EXPECT_EQ(ev.B[2], 0.0);
      ++checked;
    }
  }
  EXPECT_EQ(checked, kNr * kNz - 4);
}

TEST(EB2D_APPR, CornersUseTheBorderCellFormula) {
  auto s = make_map(kNr, kNz, 0.0, 1.25, -1.5, 1.5);
  fill_rough(*s);
  struct Corner {
    int32_t i, j;    // the corner node
    int32_t sr, sz;  // direction of the corner from the centre node
  };
  const Corner corners[] = {
      {1, 1, -1, -1}, {kNr, 1, 1, -1}, {1, kNz, -1, 1}, {kNr, kNz, 1, 1}};
  for (const Corner& c : corners) {
    SCOPED_TRACE(::testing::Message() << "corner " << c.i << "," << c.j);
    const int32_t ir = c.i - c.sr, iz = c.j - c.sz;  // centre of the block
    auto expected = [&](const Map2D& A) {
      // Offsets +-1 in both directions: -centre + both border neighbours +
      // sr*sz/4 times the cross difference.
      return -A(ir, iz) + A(c.i, iz) + A(ir, c.j) +
             (c.sr * c.sz) *
                 (A(ir + 1, iz + 1) + A(ir - 1, iz - 1) - A(ir - 1, iz + 1) -
                  A(ir + 1, iz - 1)) /
                 4.0;
    };
    Eval ev(*s, s->Rgrid(c.i), s->Zgrid(c.j));
    EXPECT_DOUBLE_EQ(ev.E[0], expected(s->Er2D));
    EXPECT_DOUBLE_EQ(ev.E[2], expected(s->Ez2D));
    EXPECT_DOUBLE_EQ(ev.B[1], expected(s->B2D));
    EXPECT_NE(ev.E[2], s->Ez2D(c.i, c.j));  // not the corner node itself
  }
}

TEST(EB2D_APPR, AHairOutsideAnyBorderGivesZeroFields) {
  auto s = make_map(kNr, kNz, 0.5, 1.75, -1.5, 1.5);
  fill_rough(*s);
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double r1 = s->Rgrid(1), rN = s->Rgrid(kNr);
  const double z1 = s->Zgrid(1), zN = s->Zgrid(kNz);
  const double rm = 1.0, zm = 0.25;  // inside
  struct Point {
    double r, z;
  };
  const Point outside[] = {
      {std::nextafter(r1, -inf), zm},
      {std::nextafter(rN, inf), zm},
      {rm, std::nextafter(z1, -inf)},
      {rm, std::nextafter(zN, inf)},
      {0.0, zm},
      {-rm, zm},
      {1e300, zm},
      {rm, -1e300},
      {inf, zm},
      {rm, -inf},
      {nan, zm},
      {rm, nan},
      {nan, nan},
  };
  for (const Point& p : outside) {
    SCOPED_TRACE(::testing::Message() << "r=" << p.r << " z=" << p.z);
    EXPECT_TRUE(Eval(*s, p.r, p.z).all_zero());
  }
  // The four bounds themselves are inside.
  EXPECT_FALSE(Eval(*s, r1, zm).all_zero());
  EXPECT_FALSE(Eval(*s, rN, zm).all_zero());
  EXPECT_FALSE(Eval(*s, rm, z1).all_zero());
  EXPECT_FALSE(Eval(*s, rm, zN).all_zero());
}

TEST(EB2D_APPR, AxisRowIsInsideAtRZero) {
  auto s = make_map(kNr, kNz, 0.0, 1.25, -1.5, 1.5);
  fill_rough(*s);
  for (int32_t j = 2; j <= kNz - 1; ++j) {
    Eval ev(*s, 0.0, s->Zgrid(j));
    EXPECT_EQ(ev.E[2], s->Ez2D(1, j)) << "z node " << j;
    EXPECT_EQ(ev.B[1], s->B2D(1, j)) << "z node " << j;
  }
}

TEST(EB2D_APPR, HalfwayBetweenNodesTakesTheHigherNode) {
  // Rgrid = 0, 1, 2, 3, 4: r = 1.5 is centred on node 3 with p = -1/2, so
  // the weights on nodes 2, 3, 4 are 3/8, 3/4, -1/8.  Node values are
  // integers, making every product exact.
  auto s = make_map(5, 5, 0.0, 4.0, 0.0, 4.0);
  fill_nodes(*s, s->Ez2D, [](int32_t i, int32_t j) {
    return static_cast<double>(8 * i * i * i - 24 * j + (i * j) % 5);
  });
  const int32_t iz = 3;
  const auto& A = s->Ez2D;
  const double expected =
      3.0 / 8.0 * A(2, iz) + 3.0 / 4.0 * A(3, iz) - 1.0 / 8.0 * A(4, iz);
  EXPECT_EQ(Eval(*s, 1.5, s->Zgrid(iz)).E[2], expected);
  // The same in z: z = 2.5 is centred on node 4 (q = -1/2).
  const double expected_z =
      3.0 / 8.0 * A(2, 3) + 3.0 / 4.0 * A(2, 4) - 1.0 / 8.0 * A(2, 5);
  EXPECT_EQ(Eval(*s, s->Rgrid(2), 2.5).E[2], expected_z);
}

TEST(EB2D_APPR, SecondOrderFieldsAreReproducedEverywhereInside) {
  // A grid with inexact steps and an off-axis first node.
  auto s = make_map(9, 13, 0.3, 2.1, -4.2, 3.0);
  struct Quadratic {
    double a, b, c, d, e, f;  // a + b r + c z + d r^2 + e z^2 + f r z
    double operator()(double r, double z) const {
      return a + b * r + c * z + d * r * r + e * z * z + f * r * z;
    }
  };
  const Quadratic qEr{1.0, -2.0, 0.5, 3.0, 0.0, 0.0};
  const Quadratic qEz{-4.0, 0.0, 0.0, 0.0, 2.5, -1.5};
  const Quadratic qB{0.25, 1.0, -3.0, -0.75, 0.5, 2.0};
  testing::fill(*s, s->Er2D, qEr);
  testing::fill(*s, s->Ez2D, qEz);
  testing::fill(*s, s->B2D, qB);

  std::mt19937 gen(20260407);
  std::uniform_real_distribution<double> ur(0.0, 1.0);
  auto check = [&](double r, double z) {
    SCOPED_TRACE(::testing::Message() << "r=" << r << " z=" << z);
    Eval ev(*s, r, z);
    EXPECT_NEAR(ev.E[0], qEr(r, z), 1e-11);
    EXPECT_NEAR(ev.E[2], qEz(r, z), 1e-11);
    EXPECT_NEAR(ev.B[1], qB(r, z), 1e-11);
    EXPECT_EQ(ev.E[1], 0.0);
    EXPECT_EQ(ev.B[0], 0.0);
    EXPECT_EQ(ev.B[2], 0.0);
  };
  const double r1 = s->Rgrid(1), rN = s->Rgrid(9);
  const double z1 = s->Zgrid(1), zN = s->Zgrid(13);
  for (int n = 0; n < 400; ++n) {
    check(r1 + (rN - r1) * ur(gen), z1 + (zN - z1) * ur(gen));
  }
  // The border cells, where the offsets go out to +-1.
  for (int n = 0; n < 50; ++n) {
    const double t = ur(gen);
    check(r1 + (s->Rgrid(2) - r1) * t, z1 + (zN - z1) * ur(gen));
    check(rN - (rN - s->Rgrid(8)) * t, z1 + (zN - z1) * ur(gen));
    check(r1 + (rN - r1) * ur(gen), z1 + (s->Zgrid(2) - z1) * t);
    check(r1 + (rN - r1) * ur(gen), zN - (zN - s->Zgrid(12)) * t);
  }
  check(r1, z1);
  check(rN, zN);
  check(r1, zN);
  check(rN, z1);
}

TEST(EB2D_APPR, ValuesToTheLastBitFollowTheOperandOrder) {
  // Expected bits from an independent transcription of the nine-point
  // formula (IEEE doubles, same operand order, no fused operations), at
  // inner and border-cell points of a map with no structure.
  auto s = make_map(5, 6, 0.0, 1.0, -1.25, 1.25);
  fill_nodes(*s, s->Ez2D, [](int32_t i, int32_t j) {
    return 1000.0 / (i + 2.0 * j) + 0.1 * i * j;
  });
  struct Row {
    double r, z, Ez;
  };
  const Row rows[] = {
      {0.37, 0.83, 0x1.3d6d64b7899e6p+6},
      {0.05, -1.2, 0x1.1c1d38775e802p+8},
      {0.99, 1.1, 0x1.008f228b5d60cp+6},
      {0.125, 0.0, 0x1.d995e0a3dbb21p+6},
      {0.6, -0.3, 0x1.b6e5d7ca673d3p+6},
      {0.81, -0.77, 0x1.ed9343137facfp+6},
      {0.3238, -0.8729, 0x1.5ba820c1aca46p+7},
      {0.6509, -1.0689, 0x1.3e28b51121994p+7},
      {0.5359, -0.3358, 0x1.cad3f3ce03373p+6},
      {0.058, 0.0186, 0x1.e39afc268db4ep+6},
      {0.0375, -0.1659, 0x1.0b32856760ffcp+7},
      {0.0699, -1.0232, 0x1.e08c1009cc938p+7},
      {0.4245, 0.8171, 0x1.39e79b26bc5a5p+6},
      {0.1238, -0.6919, 0x1.5c4c03156341ap+7},
      {0.6274, 1.1193, 0x1.126dedff0c584p+6},
      {0.5771, -0.2583, 0x1.b31a9fc09fd00p+6},
      {0.9763, -1.1335, 0x1.11d6c8e60a9bap+7},
      {0.8585, -0.526, 0x1.b06b9e7a850a0p+6},
      {0.1443, -0.9555, 0x1.aaefd6bea1745p+7},
      {0.3085, 0.7903, 0x1.471969f9a5232p+6},
      {0.1807, 0.204, 0x1.a676d5e6a8028p+6},
      {0.6389, -0.319, 0x1.b3bb03964faefp+6},
      {0.5477, -1.093, 0x1.5bee6d3efc3a7p+7},
      {0.0596, -0.7351, 0x1.7a0a174dbf320p+7},
      {0.6804, -0.181, 0x1.945e39ca5b2a7p+6},
      {0.3141, 0.2139, 0x1.8f39d2ba82909p+6},
      {0.4532, -0.5006, 0x1.fcc5b4e9af715p+6},
      {0.7944, 0.4975, 0x1.36df5f24168f4p+6},
      {0.2441, 0.1861, 0x1.9efe264a4feacp+6},
      {0.5252, 0.9378, 0x1.271cdd35d84cbp+6},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Eval(*s, row.r, row.z).E[2], row.Ez)
        << "r=" << row.r << " z=" << row.z;
  }
}

TEST(EB2D_APPR, MapsWithoutAThreeNodeStencilGiveZeroFields) {
  // Two nodes in r or in z leave no 3 x 3 block; nothing may be read outside
  // the map.
  for (auto [Nr, Nz] : {std::pair{2, 5}, std::pair{5, 2}, std::pair{2, 2}}) {
    auto s = make_map(Nr, Nz, 0.0, 1.0, 0.0, 1.0);
    fill_rough(*s);
    EXPECT_TRUE(Eval(*s, 0.5, 0.5).all_zero()) << Nr << " x " << Nz;
  }
}

TEST(EB2D_APPR, AFarPointOnAnUnevenGridKeepsTheBlockInsideTheMap) {
  // A first step far smaller than the others: near the last node the raw
  // node number (about 3e10) is beyond any int.  The block must clamp to
  // the last inner node like any point past the last cell, so the marker on
  // the first r row (outside that block) must not show.
  auto s = make_map(4, 4, 0.0, 3.0, 0.0, 3.0);
  s->Rgrid(2) = 1e-10;
  fill_nodes(*s, s->Ez2D,
             [](int32_t i, int32_t) { return i == 1 ? 1.0e6 : 0.0; });
  Eval ev(*s, 3.0, 1.0);
  EXPECT_EQ(ev.E[2], 0.0);
  EXPECT_EQ(ev.E[1], 0.0);
  EXPECT_EQ(ev.B[2], 0.0);
}

}  // namespace
}  // namespace zereduv
