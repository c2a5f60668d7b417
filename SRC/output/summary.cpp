#include "output/summary.h"

namespace zereduv {

void WRITE_SUMMARY(RunState& s) {
  // The grid ends are the stored first and last coordinates, which can
  // differ from the upper limits in the last digits.
  s.log.list({kLengthApertureLabel, s.ElementLength, s.Aperture});
  s.log.list({kSymmetryKeysLabel, s.SymX, s.SymY, s.SymZ});
  s.log.list({kXLimitsLabel, s.XOut(1), s.XOut(kNx)});
  s.log.list({kYLimitsLabel, s.YOut(1), s.YOut(kNy)});
  s.log.list({kZLimitsLabel, s.ZOut(1), s.ZOut(kNzOut)});
  s.log.close();
}

}  // namespace zereduv
