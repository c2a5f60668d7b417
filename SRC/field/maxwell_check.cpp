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
  std::string line = "  iz, zz, I_H, I_E, ratio= ";
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
    for (int32_t j = 1; j <= Nz; ++j) A(i, j) = -A(i, j);
  }
}

// Walks up the axis from the first z node while |Ez| rises strictly; the
// last node of the map ends the walk even if |Ez| is still rising.
void first_maximum(const RunState& s, MaxwellCheck& m) {
  double mxEz = -9000000000.0;
  double mxsg = 0.0;
  int32_t j = 0;
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
      if (j == s.Nz) found = true;
    } else {
      found = true;
    }
  }
  m.mxEz = mxEz;
  m.mxsg = mxsg;
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
    if (std::fabs(sl.ratio) > m.max) m.max = std::fabs(sl.ratio);
    if (std::fabs(sl.ratio) < m.min) m.min = std::fabs(sl.ratio);
    m.slices.push_back(sl);
  }
  m.sum = S;
  m.avg = S / static_cast<double>(s.Nz);

  // A mean beyond +-2 (or one that is not a number at all) means the map
  // does not obey the law under either sign convention.
  m.stop = !(std::fabs(m.avg) <= 2.0);
  if (m.stop) return m;
  m.warn_high = std::fabs(m.avg) > 1.5;

  // E and B came with opposite time phase: one of them is negated, chosen
  // so that Ez is positive at its first maximum on the axis.
  if (m.avg < 0.0) {
    first_maximum(s, m);
    m.switched = m.mxsg < 0.0 ? MaxwellSwitch::E : MaxwellSwitch::B;
  }
  return m;
}

void CHECK_MAXWELL(RunState& s) {
  const MaxwellCheck m = maxwell_statistics(s);

  s.log.list({" Checking Maxwell Equations ... "});
  s.log.list(std::initializer_list<ListItem>{});
  for (const MaxwellSlice& sl : m.slices) {
    s.log.record(maxwell_slice_line(sl.iz, sl.zz, sl.I_H, sl.I_E, sl.ratio));
  }
  s.log.list({" avg_rRL1= ", m.avg});
  s.log.list({" max_rRL1= ", m.max});
  s.log.list({" min_rRL1= ", m.min});

  if (m.stop) STOP_RUN(kMaxwellStop);

  if (m.warn_high) {
    s.log.list({" Warning: Maxwell Equations: Ratio > 1.5 "});
  }

  if (m.switched != MaxwellSwitch::None) {
    s.log.list({" Maxwell Equations: E and B Signs Not Compatible"});
    s.log.list({" 1st Max of Ez: mxEz, mxsg = ", m.mxEz, m.mxsg});
    if (m.switched == MaxwellSwitch::E) {
      s.log.list({" Maxwell Equations: -> Switching E-field sign"});
      negate(s.Er2D, s.Nr, s.Nz);
      negate(s.Ez2D, s.Nr, s.Nz);
    } else {
      s.log.list({" Maxwell Equations: -> Switching B-field sign"});
      negate(s.B2D, s.Nr, s.Nz);
    }
  }
  // The next block's separator closes the check's section of the log.
}

}  // namespace zereduv
