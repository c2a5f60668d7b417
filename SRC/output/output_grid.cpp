#include "output/output_grid.h"

#include <charconv>
#include <cmath>

namespace zereduv {

namespace {

// A length for a warning: the shortest text that reads back as v.
std::string shortest(double v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

}  // namespace

void SCALE_AND_GRID(RunState& s) {
  // The separator closes the Maxwell-check section of the log.
  s.log.list({kSeparator});

  // Field scaling, after the check so that it always sees the map as
  // read.  Exactly 1 leaves the map bit for bit as it is.
  if (s.FieldScale != 1.0) {
    for (int32_t i = 1; i <= s.Nr; ++i) {
      for (int32_t j = 1; j <= s.Nz; ++j) {
        s.Er2D(i, j) = s.Er2D(i, j) * s.FieldScale;
        s.Ez2D(i, j) = s.Ez2D(i, j) * s.FieldScale;
        s.B2D(i, j) = s.B2D(i, j) * s.FieldScale;
      }
    }
  }

  // Limits: +-Aperture across, +-ElementLength/2 along the axis; a set
  // symmetry key (any non-zero value) keeps only the upper half.
  s.XminOut = -s.Aperture;
  s.XmaxOut = s.Aperture;
  if (s.SymX != 0)
    s.XminOut = 0.0;
  s.YminOut = -s.Aperture;
  s.YmaxOut = s.Aperture;
  if (s.SymY != 0)
    s.YminOut = 0.0;
  s.ZminOut = -(s.ElementLength / 2.0);
  s.ZmaxOut = s.ElementLength / 2.0;
  if (s.SymZ != 0)
    s.ZminOut = 0.0;

  // Steps over 24, 24 and 200 intervals.
  s.DxOut = (s.XmaxOut - s.XminOut) / static_cast<double>(kNx - 1);
  s.DyOut = (s.YmaxOut - s.YminOut) / static_cast<double>(kNy - 1);
  s.DzOut = (s.ZmaxOut - s.ZminOut) / static_cast<double>(kNzOut - 1);

  // Each coordinate from its index, so no rounding piles up along the
  // axis and the first point is the lower limit exactly.
  for (int32_t ix = 1; ix <= kNx; ++ix) {
    s.XOut(ix) = static_cast<double>(ix - 1) * s.DxOut + s.XminOut;
  }
  for (int32_t iy = 1; iy <= kNy; ++iy) {
    s.YOut(iy) = static_cast<double>(iy - 1) * s.DyOut + s.YminOut;
  }
  for (int32_t iz = 1; iz <= kNzOut; ++iz) {
    s.ZOut(iz) = static_cast<double>(iz - 1) * s.DzOut + s.ZminOut;
  }

  // The grid report.
  s.log.list({kOutputGridHeading});
  s.log.list({kOutputXLabel, s.XminOut, s.XmaxOut, kNx});
  s.log.list({kOutputYLabel, s.YminOut, s.YmaxOut, kNy});
  s.log.list({kOutputZLabel, s.ZminOut, s.ZmaxOut, kNzOut});
  s.log.list({kSeparator});
}

int64_t points_outside_map(const RunState& s) {
  int64_t n = 0;
  for (int32_t iz = 1; iz <= kNzOut; ++iz) {
    const double z = s.ZOut(iz);
    const bool z_out = z < s.Zmin || z > s.Zmax;
    for (int32_t iy = 1; iy <= kNy; ++iy)
      for (int32_t ix = 1; ix <= kNx; ++ix) {
        const double x = s.XOut(ix), y = s.YOut(iy);
        const double r = std::sqrt(x * x + y * y);
        if (r <= s.Aperture && (z_out || r > s.Rmax || r < s.Rmin))
          ++n;
      }
  }
  return n;
}

std::vector<std::string> grid_warnings(const RunState& s, ZMirror mirror) {
  std::vector<std::string> w;
  if (s.SymZ != 0 && mirror == ZMirror::Neither) {
    w.push_back(
        "zereduv: warning: SymZ (record 7 of zereduv.dat) is set, but the map "
        "is not mirror-symmetric in z: the field file holds only its z >= 0 "
        "half");
  }
  const int64_t n = points_outside_map(s);
  if (n > 0) {
    w.push_back("zereduv: warning: " + std::to_string(n) + " of " +
                std::to_string(kOutPoints) +
                " grid points lie outside the map (r " + shortest(s.Rmin) +
                " .. " + shortest(s.Rmax) + " cm, z " + shortest(s.Zmin) +
                " .. " + shortest(s.Zmax) +
                " cm) and hold 0: check Aperture = " + shortest(s.Aperture) +
                " and ElementLength = " + shortest(s.ElementLength) +
                " (records 10 and 9 of zereduv.dat)");
  }
  return w;
}

}  // namespace zereduv
