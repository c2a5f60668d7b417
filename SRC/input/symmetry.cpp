#include "input/symmetry.h"

#include <algorithm>
#include <cmath>

#include <cstdint>

namespace zereduv {

namespace {

// Node (i, to) of every array from node (i, from), with the components the
// mirror reverses negated.
void mirror_node(RunState& s, int32_t i, int32_t to, int32_t from,
                 bool negate_er, bool negate_ez_b) {
  const double er = s.Er2D(i, from);
  const double ez = s.Ez2D(i, from);
  const double b = s.B2D(i, from);
  s.Er2D(i, to) = negate_er ? -er : er;
  s.Ez2D(i, to) = negate_ez_b ? -ez : ez;
  s.B2D(i, to) = negate_ez_b ? -b : b;
}

}  // namespace

void COMPLETE_SYMMETRY(RunState& s) {
  s.log.list({kSymmetryKeyLabel, s.isym_z});

  const int32_t key = s.isym_z;
  const bool upper_half = key == 1 || key == 2;    // mirror at the first node
  const bool lower_half = key == -1 || key == -2;  // mirror at the last node
  if (upper_half || lower_half) {
    // Keys +-1: Ez odd about the plane (Er even, B odd); keys +-2: Ez even
    // (Er odd, B even).
    const bool negate_er = key == 2 || key == -2;
    const bool negate_ez_b = !negate_er;
    const int32_t n = s.Nz;
    const int32_t f = 2 * n - 1;
    for (int32_t i = 1; i <= s.Nr; ++i) {
      if (upper_half) {
        // Move the table up so its first node (the mirror plane) sits at
        // index n, descending so no node is overwritten before it moves;
        // then fill the lower half from its mirror image.
        for (int32_t j = n; j >= 1; --j)
          mirror_node(s, i, j + n - 1, j, false, false);
        for (int32_t j = 1; j <= n - 1; ++j) {
          mirror_node(s, i, j, f - j + 1, negate_er, negate_ez_b);
        }
      } else {
        for (int32_t j = n + 1; j <= f; ++j) {
          mirror_node(s, i, j, f - j + 1, negate_er, negate_ez_b);
        }
      }
    }
    s.Nz = f;
    s.Zmin = s.Zmin * 2.0;
    s.Zmax = s.Zmax * 2.0;
  }

  // Node coordinates: product plus lower limit, so the first node lies
  // exactly on the lower limit.
  const double dr = (s.Rmax - s.Rmin) / static_cast<double>(s.Nr - 1);
  s.Rgrid.allocate(s.Nr);
  for (int32_t i = 1; i <= s.Nr; ++i) {
    s.Rgrid(i) = static_cast<double>(i - 1) * dr + s.Rmin;
  }
  const double dz = (s.Zmax - s.Zmin) / static_cast<double>(s.Nz - 1);
  s.Zgrid.allocate(s.Nz);
  for (int32_t j = 1; j <= s.Nz; ++j) {
    s.Zgrid(j) = static_cast<double>(j - 1) * dz + s.Zmin;
  }

  s.log.list({kFullGridHeading});
  s.log.list({kFullRLabel, s.Rmin, s.Rmax, s.Nr});
  s.log.list({kFullZLabel, s.Zmin, s.Zmax, s.Nz});
  s.log.list({kSeparator});
}

ZMirror z_mirror(const RunState& s) {
  double m = 0.0;
  for (int32_t j = 1; j <= s.Nz; ++j)
    m = std::max(m, std::fabs(s.Ez2D(1, j)));
  if (!(m > 0.0))
    return ZMirror::NoField;
  double even = 0.0, odd = 0.0;
  for (int32_t j = 1; j <= s.Nz; ++j) {
    const double a = s.Ez2D(1, j), b = s.Ez2D(1, s.Nz + 1 - j);
    even = std::max(even, std::fabs(a - b));
    odd = std::max(odd, std::fabs(a + b));
  }
  if (even <= 0.02 * m)
    return ZMirror::Even;
  if (odd <= 0.02 * m)
    return ZMirror::Odd;
  return ZMirror::Neither;
}

}  // namespace zereduv
