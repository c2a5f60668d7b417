// The summary lines that end a successful run.
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Writes the five summary lines to the log and closes it.
void WRITE_SUMMARY(RunState& s);

}  // namespace zereduv
