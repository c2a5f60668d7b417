// The Ampere-Maxwell check: per-slice lines, ratio statistics, the decision
// on the mean ratio, the axial search and the sign switch.
#include "field/maxwell_check.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "field/eb2d_appr.h"
#include "run/errors.h"
#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"
#include "support/console.h"
#include "support/maps.h"

namespace zereduv {
namespace {

using testing::log_lines;
using testing::make_map;

// A list-directed record of the log: it opens with a blank.
std::string listed(std::string_view text) {
  return " " + std::string(text);
}

const std::string kHeader = listed(kMaxwellHeading);
const std::string kWarning = listed(kMaxwellWarnHigh);
const std::string kWarnLow = listed(kMaxwellWarnLow);
const std::string kIncompatible = listed(kSignsNotCompatible);
const std::string kSwitchE = listed(kSwitchingE);
const std::string kSwitchB = listed(kSwitchingB);
const std::string kStop(kMaxwellStop);

// A statistics record: its label and the value.
std::string stat_line(std::string_view label, double v) {
  return listed(label) + d24(v);
}
std::string max_line(double mxEz, double mxsg) {
  return listed(kFirstMaxLabel) + d24(mxEz) + d24(mxsg);
}

// ---------------------------------------------------------------------------
// Maps with chosen slice ratios.
//
// Every slice has Ez uniform in r (so the axis search sees it exactly) and
// B uniform in r.  One reference slice, Ez = E0 and B = B0, is tuned so that
// I_E / I_H is exactly 1; the slices then take Ez = ez * E0 and
// B = B0 * ez / ratio with ez and ratio signed powers of two, which scales
// I_E and I_H by powers of two and so gives exactly `ratio`.  ratio = 0 means
// B = 0 (and ez = 0 gives no flux either).

struct Slice {
  double ez;
  double ratio;
};

// The flux and line integrals of one slice of the reference map, in the
// check's own operation order, used only to tune B0.
double ref_I_E(const RunState& s, double ez) {
  const int32_t ic = s.Nr / 2;
  const double dr = s.Rgrid(2) - s.Rgrid(1);
  double F = 0.0;
  for (int32_t k = 1; k <= ic - 1; ++k) {
    F = ((ez + ez) / 2.0) * ((s.Rgrid(k) + s.Rgrid(k + 1)) / 2.0) * dr + F;
  }
  const double I_E = -(s.eps0 * s.omeg * 2.0 * s.pi * F);
  return I_E * 0.01;
}
double ref_I_H(const RunState& s, double b) {
  return ((s.pi * 2.0 * b) / s.mu1) * (s.Rgrid(s.Nr / 2) / 100.0);
}

struct RatioMap {
  std::unique_ptr<RunState> s;
  double E0 = 0.0;
};

RatioMap ratio_map(const std::vector<Slice>& slices, double Rmin = 0.0,
                   int32_t Nr = 5, double Rspan = 2.0,
                   double Frequency = 402.5e6) {
  const auto Nz = static_cast<int32_t>(slices.size());
  RatioMap m;
  m.s = make_map(Nr, Nz, Rmin, Rmin + Rspan, -1.5, 1.5, Frequency);
  RunState& s = *m.s;
  // Reference slice: B0 with I_E(E0) / I_H(B0) == 1 exactly.  A few
  // neighbouring B values around the estimate always contain one.
  double B0 = 0.0;
  bool found = false;
  for (double E0 = 1.0e4; !found && E0 < 2.0e4; E0 *= 1.0625) {
    const double I_E = ref_I_E(s, E0);
    const double guess = I_E / ref_I_H(s, 1.0);
    double lo = guess, hi = guess;
    for (int n = 0; n < 64 && !found; ++n) {
      if (I_E / ref_I_H(s, lo) == 1.0) {
        B0 = lo;
        found = true;
      } else if (I_E / ref_I_H(s, hi) == 1.0) {
        B0 = hi;
        found = true;
      }
      lo = std::nextafter(lo, -1e300);
      hi = std::nextafter(hi, 1e300);
    }
    if (found)
      m.E0 = E0;
  }
  EXPECT_TRUE(found) << "no reference slice with ratio exactly 1";
  for (int32_t j = 1; j <= Nz; ++j) {
    const Slice& sl = slices[static_cast<std::size_t>(j - 1)];
    const double b = sl.ratio == 0.0 ? 0.0 : B0 * sl.ez / sl.ratio;
    for (int32_t i = 1; i <= s.Nr; ++i) {
      s.Ez2D(i, j) = sl.ez * m.E0;
      s.B2D(i, j) = b;
      s.Er2D(i, j) = 0.5 * i - 0.25 * j;  // only to see the switch
    }
  }
  return m;
}

// The log lines after the slice lines, and whether the run stopped.
struct Outcome {
  bool stopped = false;
  std::vector<std::string> lines;  // whole log
};

Outcome run_check(RunState& s) {
  Outcome o;
  try {
    CHECK_MAXWELL(s);
  } catch (const RunStop& stop) {
    o.stopped = true;
    EXPECT_EQ(stop.message, kStop);
    EXPECT_EQ(stop.message.size(), 43u);
  }
  o.lines = log_lines(s);
  return o;
}

std::vector<double> ratio_column(const std::vector<std::string>& lines,
                                 int32_t Nz) {
  std::vector<double> r;
  for (int32_t iz = 1; iz <= Nz; ++iz) {
    const std::string& l = lines.at(static_cast<std::size_t>(iz + 1));
    r.push_back(std::stod(l.substr(80, 14)));
  }
  return r;
}

// ---------------------------------------------------------------------------

TEST(MaxwellCheck, SliceLineLayout) {
  EXPECT_EQ(maxwell_slice_line(7, -2.5, 250.0, -250.0, -1.0),
            "  iz, zz, I_H, I_E, ratio=     7       -2.500000    0.250000E+03"
            "   -0.250000E+03     -1.000000");
  EXPECT_EQ(maxwell_slice_line(7, -2.5, 250.0, -250.0, -1.0).size(), 94u);
  // Large values keep the forms: exponent for the integrals, fixed point
  // for z and the ratio; zero integrals without a sign.
  EXPECT_EQ(maxwell_slice_line(1000, 123456.5, -1.0e-30, 0.0, 12345.25),
            "  iz, zz, I_H, I_E, ratio=  1000   123456.500000   -0.100000E-29"
            "    0.000000E+00  12345.250000");
}

TEST(MaxwellCheck, ConsistentMapPassesWithRatioOne) {
  // Uniform Ez = E0 and the H that the Ampere-Maxwell law gives for it
  // under the program's sign convention, 2 pi r H = -eps0 omega E pi r^2
  // (SI units), stored as B = mu1 H.  The trapezoid flux of a uniform Ez is
  // exact, so every ratio is 1 to rounding.
  auto s = make_map(11, 9, 0.0, 1.0, -2.0, 2.0);
  const double E0 = 1.0e5;  // V/cm
  testing::fill(*s, s->Ez2D, [&](double, double) { return E0; });
  testing::fill(*s, s->Er2D, [](double r, double z) { return r * z; });
  testing::fill(*s, s->B2D, [&](double r, double) {
    const double H = -(s->eps0 * s->omeg * (E0 * 100.0) * (r / 100.0)) / 2.0;
    return s->mu1 * H;
  });
  const Outcome o = run_check(*s);
  ASSERT_FALSE(o.stopped);
  ASSERT_EQ(o.lines.size(), 2u + 9u + 3u);
  EXPECT_EQ(o.lines[0], kHeader);
  EXPECT_EQ(o.lines[1], " ");
  for (int32_t iz = 1; iz <= 9; ++iz) {
    const std::string& l = o.lines[static_cast<std::size_t>(iz + 1)];
    EXPECT_EQ(l.size(), 94u);
    EXPECT_EQ(l.substr(0, 32), std::string(kSliceLabel) + edit_I(iz, 5));
    EXPECT_EQ(l.substr(32, 16), "  " + edit_F(s->Zgrid(iz), 14, 6));
    EXPECT_EQ(l.substr(80), "      1.000000");
  }
  const MaxwellCheck c = maxwell_statistics(*s);
  EXPECT_NEAR(c.avg, 1.0, 1e-13);
  EXPECT_NEAR(c.max, 1.0, 1e-13);
  EXPECT_NEAR(c.min, 1.0, 1e-13);
  // No switch: the map is as it was.
  EXPECT_EQ(s->Ez2D(3, 4), E0);
  EXPECT_EQ(s->Er2D(3, 4), s->Rgrid(3) * s->Zgrid(4));
  EXPECT_LT(s->B2D(3, 4), 0.0);
}

struct DecisionRow {
  const char* name;
  std::vector<double> ratios;
  bool stop, warning, switched;
  bool low = false;  // |mean| < 0.5
};

TEST(MaxwellCheck, DecisionOnTheMeanRatio) {
  const DecisionRow rows[] = {
      {"exactly 2", {2, 2, 2, 2}, false, true, false},
      {"2.25", {4, 2, 2, 1}, true, false, false},
      {"exactly 1.5", {2, 1, 2, 1}, false, false, false},
      {"exactly 0", {1, -1, 1, -1}, false, false, false, true},
      {"-0.25", {-1, 0.5, -1, 0.5}, false, false, true, true},
      {"exactly 0.5", {1, 0.5, 0.5, 0}, false, false, false},
      {"-1", {-1, -1, -1, -1}, false, false, true},
      {"exactly -1.5", {-2, -1, -2, -1}, false, false, true},
      {"-1.8", {-2, -2, -2, -1, -2}, false, true, true},
      {"exactly -2", {-2, -2, -2, -2}, false, true, true},
      {"-2.5", {-2, -4, -2, -2}, true, false, false},
  };
  for (const DecisionRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Slice> slices;
    double S = 0.0;
    for (double r : row.ratios) {
      slices.push_back({1.0, r});
      S += r;
    }
    const auto Nz = static_cast<int32_t>(slices.size());
    // Axis Ez: 1, 1, ... E0, so the first maximum is node 1, Ez > 0.
    RatioMap m = ratio_map(slices);
    const double B11 = m.s->B2D(1, 1);
    const Outcome o = run_check(*m.s);
    EXPECT_EQ(o.stopped, row.stop);

    const std::size_t first_stat = 2 + static_cast<std::size_t>(Nz);
    ASSERT_GE(o.lines.size(), first_stat + 3);
    EXPECT_EQ(o.lines[first_stat], stat_line(kAvgRatioLabel, S / Nz));
    std::vector<std::string> after(
        o.lines.begin() + static_cast<std::ptrdiff_t>(first_stat + 3),
        o.lines.end());
    std::vector<std::string> want;
    if (row.warning)
      want.push_back(kWarning);
    if (row.low)
      want.push_back(kWarnLow);
    // Both warnings go to standard error as well, as their text alone.
    EXPECT_EQ(m.s->errout.memory(),
              testing::console_lines(row.warning ? kWarning.substr(1) + "\n"
                                     : row.low   ? kWarnLow.substr(1) + "\n"
                                                 : ""));
    if (row.switched) {
      want.push_back(kIncompatible);
      want.push_back(max_line(m.E0, 1.0));
      want.push_back(kSwitchB);
    }
    EXPECT_EQ(after, want);
    EXPECT_EQ(m.s->B2D(1, 1), row.switched ? -B11 : B11);
    EXPECT_EQ(m.s->Ez2D(1, 1), m.E0);  // E never switched here
  }
}

// B on the circle for which a slice of uniform Ez = ez has I_E / I_H exactly
// `target`, searched among the neighbours of the estimate; 0 when none.
double tune_B(const RunState& s, double ez, double target) {
  const double I_E = ref_I_E(s, ez);
  double lo = I_E / target / ref_I_H(s, 1.0), hi = lo;
  for (int n = 0; n < 256; ++n) {
    if (I_E / ref_I_H(s, lo) == target)
      return lo;
    if (I_E / ref_I_H(s, hi) == target)
      return hi;
    lo = std::nextafter(lo, -1e300);
    hi = std::nextafter(hi, 1e300);
  }
  return 0.0;
}

TEST(MaxwellCheck, ThresholdsAreStrictToTheLastBitOnManyGrids) {
  // Whether a mean lands exactly on a threshold or one bit beside it depends
  // on the last bit of every I_H and I_E.  Two equal slices make the mean
  // exactly the slice ratio, tuned here under the check's operation
  // order to 1.5, 2 and the doubles just above them.
  struct Row {
    double avg;
    bool warning, stop;
  };
  const Row rows[] = {
      {1.5, false, false},
      {std::nextafter(1.5, 2.0), true, false},
      {2.0, true, false},
      {std::nextafter(2.0, 3.0), false, true},
  };
  int tuned = 0, runs = 0;
  for (int32_t Nr : {4, 7, 12, 31}) {
    for (double Rspan : {0.3, 1.7, 2.9, 13.0}) {
      for (double f : {176.0e6, 300.0e6, 402.5e6, 1300.0e6, 2856.0e6}) {
        for (const Row& row : rows) {
          SCOPED_TRACE(::testing::Message()
                       << "Nr=" << Nr << " span=" << Rspan << " f=" << f
                       << " avg=" << row.avg);
          auto s = make_map(Nr, 2, 0.0, Rspan, -1.0, 1.0, f);
          double ez = 1.0e4;
          double b = tune_B(*s, ez, row.avg);
          for (int k = 0; k < 16 && b == 0.0; ++k) {
            ez *= 1.0625;
            b = tune_B(*s, ez, row.avg);
          }
          ++runs;
          if (b == 0.0)
            continue;
          ++tuned;
          testing::fill(*s, s->Ez2D, [&](double, double) { return ez; });
          testing::fill(*s, s->B2D, [&](double, double) { return b; });
          const Outcome o = run_check(*s);
          EXPECT_EQ(o.stopped, row.stop);
          const bool warned = o.lines.back() == kWarning;
          EXPECT_EQ(warned, row.warning);
          EXPECT_EQ(o.lines.size(), 2u + 2u + 3u + (row.warning ? 1u : 0u));
        }
      }
    }
  }
  // Nearly every case can be tuned; a missing one only loses coverage.
  EXPECT_GE(tuned, runs * 9 / 10);
}

TEST(MaxwellCheck, LogRecordsLetterForLetter) {
  // The records after the slice lines, written out in full: the other tests
  // build them from the check's own texts.  "max+" and "max-" stand for the
  // axial maximum E0 of Ez with its sign.
  struct Row {
    const char* name;
    std::vector<Slice> slices;
    std::vector<std::string> after;
    std::string errout;
    bool stopped = false;
  };
  const std::string warn_high = " Warning: Maxwell Equations: Ratio > 1.5 ";
  const std::string warn_low = " Warning: Maxwell Equations: Ratio < 0.5 ";
  const std::string incompatible =
      "  Maxwell Equations: E and B Signs Not Compatible";
  const Row rows[] = {
      {"statistics and the high warning",
       {{1, 2}, {1, 2}, {1, 2}, {1, 2}},
       {"  avg_rRL1=    2.00000000000000     ",
        "  max_rRL1=    2.00000000000000     ",
        "  min_rRL1=    2.00000000000000     ", " " + warn_high},
       warn_high + "\n"},
      // Magnitudes: largest and smallest |ratio|, whatever the signs.
      {"magnitudes, then B switched",
       {{1, -4}, {1, 0.5}, {1, 2}, {1, -1}},
       {"  avg_rRL1= " + d24(-2.5 / 4), "  max_rRL1= " + d24(4.0),
        "  min_rRL1= " + d24(0.5), incompatible, "max+",
        "  Maxwell Equations: -> Switching B-field sign"},
       ""},
      // Two empty slices vote +1 and keep the mean at 0; the slices with
      // field alone give -1, which switches, so their mean is logged.
      {"empty slices left out, then E switched",
       {{0, 0}, {0, 0}, {-1, -1}, {-1, -1}},
       {"  avg_rRL1=   0.000000000000000E+000",
        "  max_rRL1=    1.00000000000000     ",
        "  min_rRL1=    1.00000000000000     ",
        "  Empty slices left out: avg_rRL1=   -1.00000000000000     ",
        incompatible, "max-", "  Maxwell Equations: -> Switching E-field sign"},
       ""},
      {"the low warning",
       {{1, 0.25}, {1, 0.25}},
       {"  avg_rRL1= " + d24(0.25), "  max_rRL1= " + d24(0.25),
        "  min_rRL1= " + d24(0.25), " " + warn_low},
       warn_low + "\n"},
      {"the stop",
       {{1, -2}, {1, -4}, {1, -2}, {1, -2}},
       {"  avg_rRL1= " + d24(-2.5), "  max_rRL1= " + d24(4.0),
        "  min_rRL1= " + d24(2.0)},
       "",
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RatioMap m = ratio_map(row.slices);
    std::string stop;
    try {
      CHECK_MAXWELL(*m.s);
    } catch (const RunStop& e) {
      stop = e.message;
    }
    EXPECT_EQ(stop,
              row.stopped ? " Maxwell Equations Not Verified: Ratio > 2 " : "");
    const std::vector<std::string> lines = log_lines(*m.s);
    ASSERT_EQ(lines.size(), 2 + row.slices.size() + row.after.size());
    EXPECT_EQ(lines[0], "  Checking Maxwell Equations ... ");
    EXPECT_EQ(lines[1], " ");
    std::vector<std::string> want;
    for (const std::string& w : row.after) {
      const double sign = w == "max+" ? 1.0 : -1.0;
      want.push_back(w == "max+" || w == "max-"
                         ? "  1st Max of Ez: mxEz, mxsg = " + d24(m.E0) +
                               d24(sign)
                         : w);
    }
    EXPECT_EQ(
        std::vector<std::string>(
            lines.begin() + 2 + static_cast<std::ptrdiff_t>(row.slices.size()),
            lines.end()),
        want);
    EXPECT_EQ(m.s->errout.memory(), testing::console_lines(row.errout));
  }
}

TEST(MaxwellCheck, StopLeavesTheStatisticsLast) {
  RatioMap m = ratio_map({{1, -2}, {1, -4}, {1, -2}, {1, -2}});
  const Outcome o = run_check(*m.s);
  ASSERT_TRUE(o.stopped);
  ASSERT_EQ(o.lines.size(), 2u + 4u + 3u);
  EXPECT_EQ(o.lines.back(), stat_line(kMinRatioLabel, 2.0));
  EXPECT_GT(m.s->B2D(1, 1), 0.0);  // nothing switched
  EXPECT_GT(m.s->Ez2D(1, 1), 0.0);
}

TEST(MaxwellCheck, RatioRulesForSlicesWithoutFieldOnTheCircle) {
  // ez = 0 with ratio 0: no B and no flux; ez != 0 with ratio 0: flux only.
  struct Row {
    const char* name;
    std::vector<Slice> slices;
    std::vector<double> ratios;
  };
  const Row rows[] = {
      {"empty first slice counts +1",
       {{0, 0}, {1, -4}, {0, 0}, {1, 0}, {0, 0}},
       {1, -4, -1, 0, -1}},
      {"a sum back at exactly 0 counts +1",
       {{1, 1}, {1, -1}, {0, 0}, {0, 0}},
       {1, -1, 1, 1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RatioMap m = ratio_map(row.slices);
    const auto Nz = static_cast<int32_t>(row.slices.size());
    const Outcome o = run_check(*m.s);
    EXPECT_EQ(ratio_column(o.lines, Nz), row.ratios);
  }
}

TEST(MaxwellCheck, ZeroCurrentOnTheCircleWithFluxHasRatioZero) {
  // A negative zero B is still no current.
  RatioMap m = ratio_map({{1, 1}, {1, 1}, {1, 1}});
  for (int32_t i = 1; i <= 5; ++i)
    m.s->B2D(i, 2) = -0.0;
  const Outcome o = run_check(*m.s);
  EXPECT_EQ(ratio_column(o.lines, 3), (std::vector<double>{1, 0, 1}));
  EXPECT_EQ(o.lines[3].substr(48, 16), "    0.000000E+00");
}

TEST(MaxwellCheck, CheckNodeOneMeansNoFlux) {
  // Nr = 2 or 3: ic = 1, the circle lies on the first node and there are no
  // flux terms; every slice with a current has ratio 0.
  for (int32_t Nr : {2, 3}) {
    SCOPED_TRACE(Nr);
    auto s = make_map(Nr, 4, 0.5, 1.5, 0.0, 3.0);
    testing::fill(*s, s->Ez2D, [](double, double) { return 3.0e4; });
    testing::fill(*s, s->B2D, [](double r, double z) { return r + z + 1.0; });
    const Outcome o = run_check(*s);
    ASSERT_EQ(o.lines.size(), 2u + 4u + 3u + 1u);
    EXPECT_EQ(o.lines.back(), kWarnLow);
    for (int32_t iz = 1; iz <= 4; ++iz) {
      const std::string& l = o.lines[static_cast<std::size_t>(iz + 1)];
      EXPECT_EQ(l.substr(64, 16), "    0.000000E+00");  // I_E
      EXPECT_EQ(l.substr(80), "      0.000000");
      // I_H on the first node: 2 pi Rc H, Rc = 0.5 cm.
      const double I_H = 2.0 * s->pi * (s->B2D(1, iz) / s->mu1) * 0.005;
      EXPECT_NEAR(std::stod(l.substr(48, 16)), I_H, 1e-5 * I_H);
    }
    EXPECT_EQ(maxwell_statistics(*s).avg, 0.0);
  }
}

TEST(MaxwellCheck, CheckCircleIsAtHalfTheRadialNodes) {
  // Nr = 7: ic = 3, Rc = Rgrid(3) = 1 cm.  Only B at node 3 enters, and the
  // flux covers nodes 1 to 3.
  auto s = make_map(7, 3, 0.0, 3.0, -1.0, 1.0);
  testing::fill(*s, s->Ez2D,
                [](double r, double) { return r < 1.5 ? 1e4 : 7e9; });
  testing::fill_nodes(*s, s->B2D,
                      [](int32_t i, int32_t) { return i == 3 ? 1.0 : 5e9; });
  const Outcome o = run_check(*s);
  const double I_H = 2.0 * s->pi * (1.0 / s->mu1) * 0.01;
  // -eps0 omega times the flux of 1e6 V/m through a disc of 0.01 m radius.
  const double I_E = -s->eps0 * s->omeg * 1.0e6 * s->pi * 1.0e-4;
  const std::string& l = o.lines[2];
  EXPECT_NEAR(std::stod(l.substr(48, 16)), I_H, 1e-5 * std::fabs(I_H));
  EXPECT_NEAR(std::stod(l.substr(64, 16)), I_E, 1e-5 * std::fabs(I_E));
}

TEST(MaxwellCheck, EmptySlicesDoNotDecide) {
  // {0, 0}: a slice with neither current nor flux.  The lines after the
  // statistics: "avg_f" stands for the record of the mean over the slices
  // with field, "max+" and "max-" for the first maximum of Ez at E0 with
  // its sign (the search starts at the first node where Ez is not 0).
  struct Row {
    const char* name;
    std::vector<Slice> slices;
    double avg_f;
    std::vector<std::string> after;
    bool stopped = false;
  };
  const Row rows[] = {
      {"leading empty slices outvote the field",
       {{0, 0}, {0, 0}, {0, 0}, {1, -1}, {1, -1}},
       -1,
       {"avg_f", kIncompatible, "max+", kSwitchB}},
      {"negative Ez at the first real maximum",
       {{0, 0}, {0, 0}, {0, 0}, {-1, -1}, {-1, -1}},
       -1,
       {"avg_f", kIncompatible, "max-", kSwitchE}},
      {"same class either way: avg decides",
       {{0, 0}, {1, -1}, {1, -1}, {1, -1}},
       0,
       {kIncompatible, "max+", kSwitchB}},
      {"the mean with field warns",
       {{0, 0}, {0, 0}, {1, -2}, {1, -2}},
       -2,
       {"avg_f", kWarning, kIncompatible, "max+", kSwitchB}},
      {"the mean with field stops",
       {{0, 0}, {0, 0}, {1, -4}, {1, -2}},
       -3,
       {"avg_f"},
       true},
      {"every slice empty", {{0, 0}, {0, 0}, {0, 0}}, 0, {kWarnLow}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RatioMap m = ratio_map(row.slices);
    const Outcome o = run_check(*m.s);
    EXPECT_EQ(o.stopped, row.stopped);
    std::vector<std::string> want;
    for (const std::string& w : row.after) {
      want.push_back(w == "avg_f"  ? stat_line(kAvgWithFieldLabel, row.avg_f)
                     : w == "max+" ? max_line(m.E0, 1.0)
                     : w == "max-" ? max_line(m.E0, -1.0)
                                   : w);
    }
    const std::size_t first = 2 + row.slices.size() + 3;
    ASSERT_GE(o.lines.size(), first);
    EXPECT_EQ(std::vector<std::string>(
                  o.lines.begin() + static_cast<std::ptrdiff_t>(first),
                  o.lines.end()),
              want);
  }
}

struct SearchRow {
  const char* name;
  std::vector<double> axis;  // Ez on the axis per z node, in E0
  double mxEz;               // in E0
  double mxsg;
  bool switch_E;
};

TEST(MaxwellCheck, AxialSearchChoosesTheSwitch) {
  const SearchRow rows[] = {
      {"positive maximum inside", {1, 2, 4, 2, 1}, 4, 1, false},
      {"negative maximum inside", {-1, -2, -4, -2, -1}, 4, -1, true},
      {"negative, falling from node 1", {-4, -2, -1, -1}, 4, -1, true},
      {"first maximum wins over a later higher one",
       {1, 2, 1, 8, 16},
       2,
       1,
       false},
      {"flat start stops at node 2", {-2, -2, 4, 8}, 2, -1, true},
      {"positive still rising at the last node", {1, 2, 4, 8}, 8, 1, false},
      {"negative still rising at the last node", {-1, -2, -4, -8}, 8, -1, true},
  };
  for (const SearchRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Slice> slices;
    for (double e : row.axis)
      slices.push_back({e, -1.0});
    RatioMap m = ratio_map(slices);
    RunState& s = *m.s;
    const auto Nz = static_cast<int32_t>(slices.size());
    auto Er = s.Er2D, Ez = s.Ez2D, B = s.B2D;

    const Outcome o = run_check(s);
    ASSERT_FALSE(o.stopped);
    const std::vector<std::string> tail(o.lines.end() - 3, o.lines.end());
    EXPECT_EQ(tail[0], kIncompatible);
    EXPECT_EQ(tail[1], max_line(row.mxEz * m.E0, row.mxsg));
    EXPECT_EQ(tail[2], row.switch_E ? kSwitchE : kSwitchB);
    const double sE = row.switch_E ? -1.0 : 1.0;
    const double sB = row.switch_E ? 1.0 : -1.0;
    for (int32_t i = 1; i <= s.Nr; ++i) {
      for (int32_t j = 1; j <= Nz; ++j) {
        ASSERT_EQ(s.Er2D(i, j), sE * Er(i, j)) << i << "," << j;
        ASSERT_EQ(s.Ez2D(i, j), sE * Ez(i, j)) << i << "," << j;
        ASSERT_EQ(s.B2D(i, j), sB * B(i, j)) << i << "," << j;
      }
    }
  }
}

TEST(MaxwellCheck, AxialSearchEndsAtTheLastNodeWhateverFollowsInMemory) {
  // |Ez| still rising at the last node, and the coordinate array holds more
  // (zero-filled) entries than the map: z = 0 lies halfway into the last
  // cell, where the quadratic overshoots the last node value.  The search
  // must take node Nz as the maximum and never look at those entries.
  auto s = make_map(5, 5, 0.0, 2.0, -3.5, 0.5);
  const double E0 = 1.0e4;
  const double axis[] = {0.25, 0.5, 0.75, 1.0, 1.0078125};
  for (int32_t j = 1; j <= 5; ++j) {
    const double ez = axis[j - 1] * E0;
    for (int32_t i = 1; i <= 5; ++i) {
      s->Ez2D(i, j) = ez;
      // The consistent B with the opposite sign: every ratio close to -1.
      const double r = s->Rgrid(i);
      s->B2D(i, j) =
          s->mu1 * (s->eps0 * s->omeg * (ez * 100.0) * (r / 100.0)) / 2.0;
    }
  }
  s->Zgrid.allocate(7);
  for (int32_t j = 1; j <= 5; ++j)
    s->Zgrid(j) = -3.5 + (j - 1);
  std::array<double, 3> E{}, B{};
  EB2D_APPR(*s, 0.0, 0.0, E, B);
  ASSERT_GT(E[2], axis[4] * E0);  // the overshoot the search must not see

  const Outcome o = run_check(*s);
  const std::vector<std::string> tail(o.lines.end() - 3, o.lines.end());
  EXPECT_EQ(tail[0], kIncompatible);
  EXPECT_EQ(tail[1], max_line(axis[4] * E0, 1.0));
  EXPECT_EQ(tail[2], kSwitchB);
}

TEST(MaxwellCheck, AxisOutsideTheMapGivesNoSignAndSwitchesB) {
  // First radial node at 0.5 cm: r = 0 is off the map, every axial value
  // is 0, the maximum is node 1 with no sign, and B is switched.
  RatioMap m = ratio_map({{1, -1}, {2, -1}, {1, -1}}, 0.5);
  const double B12 = m.s->B2D(1, 2);
  const Outcome o = run_check(*m.s);
  const std::vector<std::string> tail(o.lines.end() - 3, o.lines.end());
  EXPECT_EQ(tail[0], kIncompatible);
  EXPECT_EQ(tail[1], max_line(0.0, 0.0));
  EXPECT_EQ(tail[2], kSwitchB);
  EXPECT_EQ(m.s->B2D(1, 2), -B12);
}

TEST(MaxwellCheck, MapWithoutRadialStepIsRejected) {
  auto s = make_map(2, 3, 0.0, 1.0, 0.0, 1.0);
  s->Nr = 1;
  EXPECT_THROW(CHECK_MAXWELL(*s), TableRejected);
}

}  // namespace
}  // namespace zereduv
