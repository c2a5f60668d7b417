#include "run/driver.h"

#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "input/symmetry.h"
#include "output/field_file.h"
#include "output/output_grid.h"
#include "output/resample.h"
#include "output/summary.h"
#include "run/control.h"

namespace zereduv {

void RUN(RunState& s) {
  OPEN_LOG(s);
  READ_CONTROL(s);
  DERIVE_CONSTANTS(s);
  READ_FIELD_TABLE(s);
  COMPLETE_SYMMETRY(s);
  CHECK_MAXWELL(s);
  SCALE_AND_GRID(s);
  RESAMPLE(s);
  WRITE_FIELD_FILE(s);
  WRITE_SUMMARY(s);
}

}  // namespace zereduv
