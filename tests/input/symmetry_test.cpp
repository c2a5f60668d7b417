#include "input/symmetry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zereduv {
namespace {

// A half map of 2 r nodes and the given z values per component, held in
// arrays sized for the completed map, as the table reader leaves it.
std::unique_ptr<RunState> half_map(int32_t key, const std::vector<double>& ez,
                                   const std::vector<double>& er,
                                   const std::vector<double>& b) {
  auto s = std::make_unique<RunState>();
  s->isym_z = key;
  s->Nr = 2;
  s->Nz = static_cast<int32_t>(ez.size());
  s->Rmin = 0.0;
  s->Rmax = 1.0;
  s->Zmin = -1.0;
  s->Zmax = 1.0;
  const int32_t cap = 2 * s->Nz - 1;
  s->Er2D.allocate(s->Nr, cap);
  s->Ez2D.allocate(s->Nr, cap);
  s->B2D.allocate(s->Nr, cap);
  for (int32_t i = 1; i <= s->Nr; ++i) {
    for (int32_t j = 1; j <= s->Nz; ++j) {
      const double row = i == 1 ? 1.0 : 10.0;  // tells the r rows apart
      s->Ez2D(i, j) = row * ez[static_cast<std::size_t>(j - 1)];
      s->Er2D(i, j) = row * er[static_cast<std::size_t>(j - 1)];
      s->B2D(i, j) = row * b[static_cast<std::size_t>(j - 1)];
    }
  }
  return s;
}

std::vector<double> z_row(const Map2D& m, int32_t i, int32_t nz) {
  std::vector<double> v;
  for (int32_t j = 1; j <= nz; ++j)
    v.push_back(m(i, j));
  return v;
}

std::vector<double> times(double f, std::vector<double> v) {
  for (double& x : v)
    x *= f;
  return v;
}

TEST(CompleteSymmetry, MirrorsEachKeyWithItsSigns) {
  // Ez = a, b, c; Er = p, q, t; B = u, v, w at z nodes 1, 2, 3.
  const double a = 1.5, b = 2.25, c = -3.0;
  const double p = 0.5, q = -0.75, t = 4.0;
  const double u = 7.0, v = 8.5, w = -9.25;
  struct Case {
    int32_t key;
    std::vector<double> ez, er, bphi;
  };
  const std::vector<Case> cases = {
      // Upper half, mirror at the first node.
      {1, {-c, -b, a, b, c}, {t, q, p, q, t}, {-w, -v, u, v, w}},
      {2, {c, b, a, b, c}, {-t, -q, p, q, t}, {w, v, u, v, w}},
      // Lower half, mirror at the last node.
      {-1, {a, b, c, -b, -a}, {p, q, t, q, p}, {u, v, w, -v, -u}},
      {-2, {a, b, c, b, a}, {p, q, t, -q, -p}, {u, v, w, v, u}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.key);
    auto s = half_map(k.key, {a, b, c}, {p, q, t}, {u, v, w});
    COMPLETE_SYMMETRY(*s);
    ASSERT_EQ(s->Nz, 5);
    for (int32_t i : {1, 2}) {
      const double row = i == 1 ? 1.0 : 10.0;
      EXPECT_EQ(z_row(s->Ez2D, i, 5), times(row, k.ez)) << "Ez, row " << i;
      EXPECT_EQ(z_row(s->Er2D, i, 5), times(row, k.er)) << "Er, row " << i;
      EXPECT_EQ(z_row(s->B2D, i, 5), times(row, k.bphi)) << "B, row " << i;
    }
    EXPECT_EQ(s->Zmin, -2.0);
    EXPECT_EQ(s->Zmax, 2.0);
  }
}

TEST(CompleteSymmetry, OtherKeysLeaveTheMapAsRead) {
  for (int32_t key : {0, 3, -3, 12, -2147483647 - 1}) {
    SCOPED_TRACE(key);
    auto s = half_map(key, {1, 2, 3}, {4, 5, 6}, {7, 8, 9});
    COMPLETE_SYMMETRY(*s);
    EXPECT_EQ(s->Nz, 3);
    EXPECT_EQ(s->Zmin, -1.0);
    EXPECT_EQ(s->Zmax, 1.0);
    EXPECT_EQ(z_row(s->Ez2D, 2, 5), (std::vector<double>{10, 20, 30, 0, 0}));
    EXPECT_EQ(z_row(s->Er2D, 1, 3), (std::vector<double>{4, 5, 6}));
    EXPECT_EQ(z_row(s->B2D, 1, 3), (std::vector<double>{7, 8, 9}));
    EXPECT_EQ(s->Zgrid.size(), 3);
    EXPECT_EQ(s->Zgrid(2), 0.0);
  }
}

TEST(CompleteSymmetry, DoublesTheRangeWithTheTableSpacing) {
  // 11 nodes from -5 to 5 become 21 nodes from -10 to 10, one apart.
  for (int32_t key : {1, -1, 2, -2}) {
    SCOPED_TRACE(key);
    auto s =
        half_map(key, std::vector<double>(11, 1.0),
                 std::vector<double>(11, 1.0), std::vector<double>(11, 1.0));
    s->Zmin = -5.0;
    s->Zmax = 5.0;
    s->Rmin = 0.25;
    s->Rmax = 1.75;
    COMPLETE_SYMMETRY(*s);
    ASSERT_EQ(s->Nz, 21);
    EXPECT_EQ(s->Zmin, -10.0);
    EXPECT_EQ(s->Zmax, 10.0);
    ASSERT_EQ(s->Zgrid.size(), 21);
    for (int32_t j = 1; j <= 21; ++j)
      EXPECT_EQ(s->Zgrid(j), j - 11.0) << j;
    ASSERT_EQ(s->Rgrid.size(), 2);
    EXPECT_EQ(s->Rgrid(1), 0.25);
    EXPECT_EQ(s->Rgrid(2), 1.75);
  }
}

TEST(CompleteSymmetry, CoordinatesAreProductPlusLowerLimit) {
  // A spacing that is not exact in binary: the first node is the lower
  // limit itself, the others (i - 1) * step + lower limit.
  auto s = half_map(0, std::vector<double>(7, 0.0), std::vector<double>(7, 0.0),
                    std::vector<double>(7, 0.0));
  s->Zmin = -0.35;
  s->Zmax = 0.35;
  s->Rmin = 0.1;
  s->Rmax = 0.4;
  COMPLETE_SYMMETRY(*s);
  const double dz = (0.35 - -0.35) / 6.0;
  for (int32_t j = 1; j <= 7; ++j) {
    EXPECT_EQ(s->Zgrid(j), static_cast<double>(j - 1) * dz + -0.35) << j;
  }
  EXPECT_EQ(s->Zgrid(1), -0.35);
  EXPECT_EQ(s->Rgrid(1), 0.1);
  EXPECT_EQ(s->Rgrid(2), 1.0 * (0.4 - 0.1) + 0.1);
}

TEST(CompleteSymmetry, LogsTheKeyAndTheFullGrid) {
  struct Case {
    int32_t key;
    std::string log;
  };
  const std::string sep = "  ------------------------------ \r\n";
  const std::string r_lines =
      "  Full Input Grid parameters \r\n"
      "  Rimin, Rimax, Nir =   0.000000000000000E+000   1.00000000000000     "
      "\r\n"
      "           2\r\n";
  const std::vector<Case> cases = {
      {2,
       "  Input Symmetry key: isym_z=            2\r\n" + r_lines +
           "  Zimin, Zimax, Niz =   -2.00000000000000        2.00000000000000"
           "     \r\n"
           "           5\r\n" +
           sep},
      {0,
       "  Input Symmetry key: isym_z=            0\r\n" + r_lines +
           "  Zimin, Zimax, Niz =   -1.00000000000000        1.00000000000000"
           "     \r\n"
           "           3\r\n" +
           sep},
      {-7,
       "  Input Symmetry key: isym_z=           -7\r\n" + r_lines +
           "  Zimin, Zimax, Niz =   -1.00000000000000        1.00000000000000"
           "     \r\n"
           "           3\r\n" +
           sep},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    auto s = half_map(c.key, {1, 2, 3}, {1, 2, 3}, {1, 2, 3});
    COMPLETE_SYMMETRY(*s);
    EXPECT_EQ(s->log.memory(), c.log);
  }
}

}  // namespace
}  // namespace zereduv
