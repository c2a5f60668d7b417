#include "run/driver.h"

#include "run/control.h"

namespace zereduv {

void RUN(RunState& s) {
  OPEN_LOG(s);
  READ_CONTROL(s);
  DERIVE_CONSTANTS(s);
  s.log.close();
}

}  // namespace zereduv
