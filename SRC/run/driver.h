// The run: every phase in its fixed order on the one run state.
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Runs all phases, from opening the log to the summary lines.  Ends early
/// by throwing RunStop, IoError or TableRejected (caught in main).
void RUN(RunState& s);

}  // namespace zereduv
