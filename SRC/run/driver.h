// The run: every phase in its fixed order on the one run state.
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Runs all phases, from opening the log to the summary lines.  Ends early
/// by throwing RunStop, IoError, TableRejected or RunInterrupted (caught in
/// main).
void run_phases(RunState& s);

/// Stops the run (exit status 3) when any value the field file would hold
/// is not a finite number: the six resampled components, the grid
/// coordinates and limits, ElementLength and Aperture.  An overflowing
/// FieldScale or Aperture would otherwise give a field file of Infinity and
/// NaN that VELTA reads without complaint.
void check_finite_fields(const RunState& s);

}  // namespace zereduv
