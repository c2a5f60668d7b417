// The table inspection: end planes and the isym_z they suggest, the implied
// frequency, the transit-time factor, on generated and on real tables.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "inspect_tables.h"
#include "support/scratch_dir.h"
#include "support/shared_tables.h"
#include "table_inspect.h"
#include "transit.h"

namespace zereduv::inspect {
namespace {

using testing::NodeField;
using testing::ScratchDir;
using testing::TableSpec;

TableReport inspect_spec(const TableSpec& t, const TableOptions& opt = {}) {
  ScratchDir dir;
  dir.write("table.txt", testing::make_table(t));
  return inspect_table(dir / "table.txt", opt);
}

// ---------------------------------------------------------------------------
// Plane classification and the suggestion, from the relative levels alone.

TEST(EndPlane, ClassifiesFromRelativeLevels) {
  struct Row {
    double ez, er, h;
    const char* kind;
    int key;
  };
  const Row rows[] = {
      {0.99, 0.0, 1.0, "mirror, Ez even", 2},   // gap centre of a half map
      {0.99, 5e-4, 1.0, "mirror, Ez even", 2},  // Er printed as noise
      {0.0, 0.024, 0.0, "mirror, Ez odd", 1},   // cell boundary, Ez = H = 0
      {0.0017, 0.0, 0.001, "no field", 0},      // end of a beam pipe
      {1e-8, 3e-8, 8e-9, "no field", 0},
      {0.94, 0.25, 1.0, "open", 0},  // a cathode plane
      {5e-4, 0.3, 0.02, "open", 0},  // Ez = 0 but H is not
  };
  for (const auto& r : rows) {
    EndPlane p = classify_plane(r.ez, r.er, r.h);
    EXPECT_EQ(p.kind, r.kind) << r.ez << " " << r.er << " " << r.h;
    EXPECT_EQ(p.key, r.key) << r.kind;
  }
}

TEST(EndPlane, SuggestionFollowsWhichEndIsAMirror) {
  const EndPlane even = classify_plane(1, 0, 1);
  const EndPlane odd = classify_plane(0, 0.5, 0);
  const EndPlane none = classify_plane(0, 0, 0);
  const EndPlane open = classify_plane(1, 0.5, 1);
  struct Row {
    EndPlane first, last;
    int key;
  };
  const Row rows[] = {
      {even, none, 2}, {odd, none, 1},  {none, even, -2}, {open, odd, -1},
      {none, none, 0}, {open, open, 0}, {even, even, 0},  {odd, odd, 0},
  };
  for (const auto& r : rows) {
    std::string why;
    EXPECT_EQ(suggest_isym(r.first, r.last, why), r.key)
        << r.first.kind << " / " << r.last.kind;
    EXPECT_FALSE(why.empty());
  }
}

TEST(EndPlane, BothMirrorPlanesAlsoReadAsAHalf) {
  const EndPlane even = classify_plane(1, 0, 1);
  const EndPlane odd = classify_plane(0, 0.5, 0);
  const EndPlane none = classify_plane(0, 0, 0);
  struct Row {
    EndPlane first, last;
    double zmin, zmax;  // as written in the table
    int key;            // 0: no second reading
  };
  const Row rows[] = {
      {even, even, 0, 5.75, 2},    // the shipped example's half pillbox
      {odd, odd, 0, 10.5, 1},      // a cell bounded by Ez = 0 planes
      {even, even, -5.75, 0, -2},  // a lower half ending at z = 0
      {even, odd, 50, 70, 2},      // no node at z = 0: the first node
      {even, none, 0, 5, 0},       // one mirror plane: no second reading
  };
  for (const auto& r : rows) {
    std::string question;
    EXPECT_EQ(half_reading(r.first, r.last, r.zmin, r.zmax, question), r.key)
        << r.zmin << " .. " << r.zmax;
    EXPECT_EQ(question.empty(), r.key == 0);
  }
}

// ---------------------------------------------------------------------------
// Generated tables: a gap whose field falls off along z, and pillboxes.

/// A Gaussian gap field centred at z = zc (cm): Ez even about zc, Er from
/// div E = 0 near the axis, H in phase with Er.
TableSpec gaussian_gap(double zmin, double zmax, double zc) {
  TableSpec t;
  t.zmin = zmin;
  t.zmax = zmax;
  t.rmax = 1.0;
  t.z_intervals = 60;
  t.r_intervals = 10;
  t.field = [zc](double z, double r) {
    double u = (z - zc) / 1.0, g = std::exp(-u * u);
    double ez = 2.0 * g;
    double er = 2.0 * u * g * r;  // -(r/2) dEz/dz
    return NodeField{ez, er, 500.0 * r * g};
  };
  return t;
}

/// The same gap with Ez odd about zc (Ez = H = 0 on the plane z = zc).
TableSpec odd_gap(double zmin, double zmax, double zc) {
  TableSpec t = gaussian_gap(zmin, zmax, zc);
  t.field = [zc](double z, double r) {
    double u = z - zc, g = std::exp(-u * u);
    double ez = 2.0 * u * g;
    double er = -(r / 2.0) * 2.0 * (1.0 - 2.0 * u * u) * g;
    return NodeField{ez, er, 500.0 * r * u * g};
  };
  return t;
}

TEST(SymmetrySuggestion, GeneratedHalfAndWholeMaps) {
  struct Row {
    const char* name;
    TableSpec table;
    int key;
    const char* first;
    const char* last;
  };
  const Row rows[] = {
      {"upper half, Ez even", gaussian_gap(0, 4, 0), 2, "mirror, Ez even",
       "no field"},
      {"lower half, Ez even", gaussian_gap(-4, 0, 0), -2, "no field",
       "mirror, Ez even"},
      {"upper half, Ez odd", odd_gap(0, 4, 0), 1, "mirror, Ez odd", "no field"},
      {"lower half, Ez odd", odd_gap(-4, 0, 0), -1, "no field",
       "mirror, Ez odd"},
      {"whole gap", gaussian_gap(-4, 4, 0), 0, "no field", "no field"},
      {"window starting inside the field", gaussian_gap(-0.5, 4, 0), 0, "open",
       "no field"},
      {"pillbox, whole", testing::pillbox(1.3e9, 5.0, 50, 20), 0,
       "mirror, Ez even", "mirror, Ez even"},
      {"pillbox, half", testing::pillbox(1.3e9, 2.5, 25, 20), 0,
       "mirror, Ez even", "mirror, Ez even"},
  };
  for (const auto& r : rows) {
    TableReport rep = inspect_spec(r.table);
    EXPECT_EQ(rep.suggested_isym, r.key) << r.name << ": " << rep.suggestion;
    EXPECT_EQ(rep.first.kind, r.first) << r.name;
    EXPECT_EQ(rep.last.kind, r.last) << r.name;
    // Without --isym the map is completed with the suggested key.
    EXPECT_EQ(rep.isym, r.key) << r.name;
    const int n = r.table.z_intervals + 1;
    EXPECT_EQ(rep.nz_full, r.key == 0 ? n : 2 * n - 1) << r.name;
  }
}

TEST(SymmetrySuggestion, GivenKeyCompletesTheMapButKeepsTheSuggestion) {
  TableReport rep = inspect_spec(gaussian_gap(0, 4, 0), {{}, 0});
  EXPECT_EQ(rep.suggested_isym, 2);
  EXPECT_EQ(rep.isym, 0);
  EXPECT_TRUE(rep.isym_given);
  EXPECT_EQ(rep.nz_full, 61);

  rep = inspect_spec(gaussian_gap(0, 4, 0), {{}, 2});
  EXPECT_EQ(rep.nz_full, 121);
  // The completed Ez is even about z = 0: its maximum sits there.
  ASSERT_TRUE(rep.axis_in_map);
  EXPECT_DOUBLE_EQ(rep.ez_max, 2.0);
  EXPECT_DOUBLE_EQ(rep.ez_max_z, 0.0);
  EXPECT_DOUBLE_EQ(rep.zmin_full, -4.0);
  EXPECT_DOUBLE_EQ(rep.zmax_full, 4.0);
}

// ---------------------------------------------------------------------------
// Frequency and transit-time factor on the analytic pillbox.

TEST(ImpliedFrequency, AnalyticPillboxWithinAPermille) {
  for (double f : {0.4025e9, 1.3e9, 2.856e9}) {
    TableSpec t = testing::pillbox(f, 3.0, 30, 40);
    for (std::optional<double> given :
         {std::optional<double>(), std::optional<double>(1.05 * f)}) {
      TableReport rep = inspect_spec(t, {given, {}});
      const MaxwellStats& m = rep.maxwell;
      ASSERT_TRUE(m.implied_ok) << f;
      EXPECT_NEAR(m.implied_frequency / f, 1.0, 1e-3) << f;
      EXPECT_EQ(m.field_slices, 31);
      EXPECT_NEAR(m.median_frequency / f, 1.0, 1e-3) << f;
      if (given) {
        // 5 % off: the ratio shows it, and the report warns.
        EXPECT_NEAR(m.check.avg, -1.05, 2e-3);
        EXPECT_TRUE(m.mismatch);
        EXPECT_NEAR(m.mismatch_percent, 5.0, 0.2);
        EXPECT_EQ(m.check.switched,
                  MaxwellSwitch::B);  // Ez > 0 at its first maximum
      }
    }
  }
}

TEST(ImpliedFrequency, DoesNotDependOnTheUnitOfTheFrequencyGiven) {
  const double f = 402.5e6;
  TableSpec t = testing::pillbox(f, 3.0, 30, 40);
  const double hz = inspect_spec(t, {402.5, {}}).maxwell.implied_frequency;
  const double mhz = inspect_spec(t, {402.5e6, {}}).maxwell.implied_frequency;
  EXPECT_NEAR(hz / mhz, 1.0, 1e-9);
  EXPECT_NEAR(hz / f, 1.0, 1e-3);
}

TEST(ImpliedFrequency, NoWarningWithinOnePercent) {
  const double f = 1.3e9;
  TableReport rep =
      inspect_spec(testing::pillbox(f, 3.0, 30, 40), {1.005 * f, {}});
  EXPECT_FALSE(rep.maxwell.mismatch);
  EXPECT_FALSE(rep.maxwell.check.stop);
}

TEST(ImpliedFrequency, FarOffFrequencyStopsTheCheckButNotTheReport) {
  const double f = 1.3e9;
  TableReport rep =
      inspect_spec(testing::pillbox(f, 3.0, 30, 40), {5.0 * f, {}});
  EXPECT_TRUE(rep.maxwell.check.stop);
  EXPECT_NEAR(rep.maxwell.implied_frequency / f, 1.0, 1e-3);
  EXPECT_FALSE(rep.gains.empty());
}

TEST(TransitTime, PillboxFollowsSinXOverX) {
  const double f = 1.3e9, L = 5.0;  // cm
  TableReport rep = inspect_spec(testing::pillbox(f, L, 50, 20, 2.0), {f, {}});
  ASSERT_EQ(rep.gains.size(), 20u);
  EXPECT_NEAR(rep.axis_voltage, 2.0 * L / 100.0, 1e-12);  // E0 L in MV
  for (const auto& g : rep.gains) {
    double x =
        2.0 * std::numbers::pi * f * (L / 100.0) / (2.0 * g.beta * testing::kC);
    EXPECT_NEAR(g.T, std::abs(std::sin(x) / x), 1e-9) << g.beta;
    EXPECT_NEAR(g.gain, g.T * rep.axis_voltage, 1e-12) << g.beta;
  }
  // sin(x)/x rises towards beta = 1 here: the best gain is at the end.
  EXPECT_NEAR(rep.best.beta, 1.0, 1e-6);
}

TEST(TransitTime, BestGainOnASideLobeBetweenTablePoints) {
  // A 30 cm pillbox: |sin x / x| with x = pi f L / (beta c) has its first
  // side lobe, tan x = x, inside the table's range of betas.
  const double f = 1.3e9, L = 30.0;
  TableReport rep = inspect_spec(testing::pillbox(f, L, 60, 20, 1.0), {f, {}});
  const double x1 = 4.493409457909064;
  const double beta = std::numbers::pi * f * (L / 100.0) / (x1 * testing::kC);
  EXPECT_NEAR(rep.best.beta, beta, 1e-6);
  EXPECT_NEAR(rep.best.T, std::abs(std::sin(x1) / x1), 1e-9);
}

// ---------------------------------------------------------------------------
// The real tables: the right key and a frequency close to the one their
// sources give (within 0.05 % where the solver's own frequency is known).

TEST(RealTables, KeyAndFrequency) {
  const std::filesystem::path dir = testing::shared_tables_dir();
  if (!std::filesystem::exists(dir))
    GTEST_SKIP() << "no " << dir;
  struct Row {
    const char* file;
    int key;
    double f;  // MHz
    const char* unit;
    double tolerance;  // relative, of the implied frequency
  };
  const Row rows[] = {
      {"swifel-qwr-gun-176mhz.txt", 0, 175.715180667, "cm", 5e-4},
      {"sns-mebt-rebuncher-402mhz-201x51.txt", 2, 402.5, "cm", 0.01},
      {"sns-mebt-rebuncher-402mhz-301x101-large.txt", 2, 402.5, "cm", 0.01},
      {"dlc-3cell-2856mhz-mm.txt", 0, 2857.97761, "mm", 5e-4},
      {"buncher-3cell-2856mhz-beta056-open-mm.txt", 0, 2856.0, "mm", 0.01},
      {"pillbox-2856mhz-mm.txt", 0, 2856.0, "mm", 0.01},
  };
  for (const auto& r : rows) {
    TableReport rep = inspect_table(dir / r.file, {});
    EXPECT_EQ(rep.suggested_isym, r.key) << r.file << ": " << rep.suggestion;
    EXPECT_EQ(unit_name(rep.header), r.unit) << r.file;
    ASSERT_TRUE(rep.maxwell.implied_ok) << r.file;
    EXPECT_NEAR(rep.maxwell.implied_frequency / 1e6 / r.f, 1.0, r.tolerance)
        << r.file << ": " << rep.maxwell.implied_frequency;
    // At the source's frequency the program's check passes with the sign
    // switch (the solver writes E and B with opposite signs).
    TableReport at = inspect_table(dir / r.file, {r.f * 1e6, {}});
    const MaxwellCheck& c = at.maxwell.check;
    EXPECT_FALSE(c.stop) << r.file;
    EXPECT_LT(c.avg, -0.95) << r.file;
    EXPECT_GT(c.avg, -1.05) << r.file;
    EXPECT_NE(c.switched, MaxwellSwitch::None) << r.file;
  }
}

// The gains' own sine, cosine and arc tangent agree with the system's to a
// few units in the last place, in every quadrant and for the large phases
// of a slow particle.
TEST(StableMaths, AgreeWithTheSystemsFunctions) {
  const double xs[] = {0.0,   1e-9,     0.3,    -0.7854, 1.5707963267948966,
                       2.5,   -3.0,     4.0,    -5.5,    10.0,
                       123.4, -987.654, 31415.9};
  for (const double x : xs) {
    SCOPED_TRACE(x);
    double s = 0.0, c = 0.0;
    stable_sincos(x, s, c);
    EXPECT_NEAR(s, std::sin(x), 4e-16 * (1.0 + std::fabs(x) * 1e-3));
    EXPECT_NEAR(c, std::cos(x), 4e-16 * (1.0 + std::fabs(x) * 1e-3));
    EXPECT_NEAR(stable_atan2(s, c), std::atan2(s, c), 1e-15);
  }
  const double pts[][2] = {{1, 2},   {2, 1},  {-1, 2}, {-2, 1},   {1, -2},
                           {-2, -1}, {0, -1}, {-1, 0}, {3e-8, 1}, {0, 1}};
  for (const auto& p : pts) {
    SCOPED_TRACE(p[0]);
    EXPECT_NEAR(stable_atan2(p[0], p[1]), std::atan2(p[0], p[1]), 1e-15);
  }
}

}  // namespace
}  // namespace zereduv::inspect
