#include "output/summary.h"

namespace zereduv {

void WRITE_SUMMARY(RunState& s) {
  // The grid ends are the stored first and last coordinates, which can
  // differ from the upper limits in the last digits.
  s.log.list({"Element Length & Aperture = ", s.ElementLength, s.Aperture});
  s.log.list({"Symmetry Keys: X, Y, Z = ", s.SymX, s.SymY, s.SymZ});
  s.log.list({"Field X limits = ", s.XOut(1), s.XOut(kNx)});
  s.log.list({"Field Y limits = ", s.YOut(1), s.YOut(kNy)});
  s.log.list({"Field Z limits = ", s.ZOut(1), s.ZOut(kNzOut)});
  s.log.close();
}

}  // namespace zereduv
