#include "field/maxwell_check.h"

#include <array>
#include <cmath>
#include <initializer_list>
#include <string>

#include "field/eb2d_appr.h"
#include "run/errors.h"

namespace zereduv {

std::string maxwell_slice_line(int32_t iz, double zz, double I_H, double I_E,
                               double ratio) {
  std::string line(kSliceLabel);
  line += edit_I(iz, 5);
  line += edit_X(2);
  line += edit_F(zz, 14, 6);
  line += edit_X(2);
  line += edit_E(I_H, 14, 6);
  line += edit_X(2);
  line += edit_E(I_E, 14, 6);
  line += edit_F(ratio, 14, 6);
  return line;
}

namespace {

void negate(Map2D& A, int32_t Nr, int32_t Nz) {
  for (int32_t i = 1; i <= Nr; ++i) {
    for (int32_t j = 1; j <= Nz; ++j)
      A(i, j) = -A(i, j);
  }
}

// Ez on the axis at z node j.
double axis_ez(const RunState& s, int32_t j) {
  std::array<double, 3> E{};
  std::array<double, 3> B{};
  EB2D_APPR(s, 0.0, s.Zgrid(j), E, B);
  return E[2];
}

// Walks up the axis while |Ez| rises strictly, from the first node where Ez
// is not 0 (a map that begins in metal has no field on its first nodes), or
// from the first node when Ez is 0 everywhere; the last node of the map ends
// the walk even if |Ez| is still rising.
void first_maximum(const RunState& s, MaxwellCheck& m) {
  int32_t start = 1;
  while (start < s.Nz && axis_ez(s, start) == 0.0)
    ++start;
  if (axis_ez(s, start) == 0.0)
    start = 1;

  double mxEz = -9000000000.0;
  double mxsg = 0.0;
  int32_t j = start - 1;
  bool found = false;
  std::array<double, 3> E{};
  std::array<double, 3> B{};
  while (!found) {
    j = j + 1;
    EB2D_APPR(s, 0.0, s.Zgrid(j), E, B);
    const double e = E[2];
    if (std::fabs(e) > mxEz) {
      mxEz = std::fabs(e);
      // The sign of Ez there; no sign when Ez is 0 (r = 0 off the map).
      mxsg = e > 0.0 ? 1.0 : (e < 0.0 ? -1.0 : 0.0);
      if (j == s.Nz)
        found = true;
    } else {
      found = true;
    }
  }
  m.mxEz = mxEz;
  m.mxsg = mxsg;
}

// The classes of the decision on a mean ratio x: stop (|x| > 2, or not a
// number), warning and switch (x < -1.5), switch (-1.5 <= x < 0), warning
// (x > 1.5), nothing (0 <= x <= 1.5).
enum class Decision { Stop, WarnSwitch, Switch, Warn, Nothing };

Decision decision_class(double x) {
  if (!(std::fabs(x) <= 2.0))
    return Decision::Stop;
  if (x < -1.5)
    return Decision::WarnSwitch;
  if (x < 0.0)
    return Decision::Switch;
  if (x > 1.5)
    return Decision::Warn;
  return Decision::Nothing;
}

}  // namespace

MaxwellCheck maxwell_statistics(const RunState& s) {
  // The check circle needs a radial step and a node off the axis row.
  if (s.Nr < 2 || s.Nz < 1) {
    throw TableRejected(std::string(trimmed(s.FieldFileName)),
                        "the map needs at least 2 r nodes and 1 z node for "
                        "the Maxwell-equation check");
  }
  MaxwellCheck m;
  m.slices.reserve(static_cast<std::size_t>(s.Nz));

  // Check circle at node Nr/2; the flux uses the first radial step.
  const int32_t ic = s.Nr / 2;
  const double Rc = s.Rgrid(ic);
  const double dr = s.Rgrid(2) - s.Rgrid(1);

  // Ampere-Maxwell law slice by slice: 2 pi Rc H(Rc) against -eps0 omega
  // times the flux of Ez through the disc r < Rc.
  double S = 0.0;
  for (int32_t iz = 1; iz <= s.Nz; ++iz) {
    MaxwellSlice sl;
    sl.iz = iz;
    sl.zz = s.Zgrid(iz);
    // H = B / mu1 in A/m, Rc from cm to m.
    sl.I_H = ((s.pi * 2.0 * s.B2D(ic, iz)) / s.mu1) * (Rc / 100.0);

    // Trapezoidal flux of Ez over the rings from the first node to Rc.
    double F = 0.0;
    for (int32_t k = 1; k <= ic - 1; ++k) {
      F = ((s.Ez2D(k, iz) + s.Ez2D(k + 1, iz)) / 2.0) *
              ((s.Rgrid(k) + s.Rgrid(k + 1)) / 2.0) * dr +
          F;
    }

    sl.I_E = -(s.eps0 * s.omeg * 2.0 * s.pi * F);
    sl.I_E = sl.I_E * 0.01;  // V*cm to V*m

    if (sl.I_H != 0.0) {
      sl.ratio = sl.I_E / sl.I_H;
    } else if (sl.I_E != 0.0) {
      sl.ratio = 0.0;
    } else {
      // No field on the circle and no flux: the slice follows the sign the
      // earlier slices have shown.
      sl.ratio = S < 0.0 ? -1.0 : 1.0;
    }

    S = S + sl.ratio;
    if (std::fabs(sl.ratio) > m.max)
      m.max = std::fabs(sl.ratio);
    if (std::fabs(sl.ratio) < m.min)
      m.min = std::fabs(sl.ratio);
    m.slices.push_back(sl);
  }
  m.sum = S;
  m.avg = S / static_cast<double>(s.Nz);

  // A slice with neither current nor flux (the check circle in metal, or a
  // stretch of pipe without field) votes +1 or -1 whatever the field does
  // elsewhere; where such votes change the decision, it rests on the slices
  // with field alone.
  double Sf = 0.0;
  for (const MaxwellSlice& sl : m.slices) {
    if (sl.I_H == 0.0 && sl.I_E == 0.0)
      continue;
    ++m.with_field;
    Sf = Sf + sl.ratio;
  }
  if (m.with_field > 0)
    m.avg_f = Sf / static_cast<double>(m.with_field);
  m.empty_left_out = m.with_field >= 1 && m.with_field < s.Nz &&
                     decision_class(m.avg_f) != decision_class(m.avg);
  m.decided = m.empty_left_out ? m.avg_f : m.avg;

  // A mean beyond +-2 (or one that is not a number at all) means the map
  // does not obey the law under either sign convention.
  m.stop = !(std::fabs(m.decided) <= 2.0);
  if (m.stop)
    return m;
  m.warn_high = std::fabs(m.decided) > 1.5;
  // A mean far below one in magnitude: E and B, or the frequency, do not
  // belong together (a frequency in MHz where Hz are meant, for one).
  m.warn_low = std::fabs(m.with_field > 0 ? m.decided : 0.0) < 0.5;

  // E and B came with opposite time phase: one of them is negated, chosen
  // so that Ez is positive at its first maximum on the axis.
  if (m.decided < 0.0) {
    first_maximum(s, m);
    m.switched = m.mxsg < 0.0 ? MaxwellSwitch::E : MaxwellSwitch::B;
  }
  return m;
}

void CHECK_MAXWELL(RunState& s) {
  const MaxwellCheck m = maxwell_statistics(s);

  s.log.list({kMaxwellHeading});
  s.log.list(std::initializer_list<ListItem>{});
  for (const MaxwellSlice& sl : m.slices) {
    s.log.record(maxwell_slice_line(sl.iz, sl.zz, sl.I_H, sl.I_E, sl.ratio));
  }
  s.log.list({kAvgRatioLabel, m.avg});
  s.log.list({kMaxRatioLabel, m.max});
  s.log.list({kMinRatioLabel, m.min});
  if (m.empty_left_out) {
    s.log.list({kAvgWithFieldLabel, m.avg_f});
  }

  if (m.stop)
    stop_run(kMaxwellStop);

  // The two warnings never meet: |mean| is above 1.5 or below 0.5.
  const std::string_view warning = m.warn_high  ? kMaxwellWarnHigh
                                   : m.warn_low ? kMaxwellWarnLow
                                                : std::string_view();
  if (!warning.empty()) {
    s.log.list({warning});
    s.errout.record(warning);
  }

  if (m.switched != MaxwellSwitch::None) {
    s.log.list({kSignsNotCompatible});
    s.log.list({kFirstMaxLabel, m.mxEz, m.mxsg});
    if (m.switched == MaxwellSwitch::E) {
      s.log.list({kSwitchingE});
      negate(s.Er2D, s.Nr, s.Nz);
      negate(s.Ez2D, s.Nr, s.Nz);
    } else {
      s.log.list({kSwitchingB});
      negate(s.B2D, s.Nr, s.Nz);
    }
  }
  // The next block's separator closes the check's section of the log.
}

}  // namespace zereduv
