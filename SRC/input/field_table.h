// Reading the field table written by the field solver's post-processor.
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Reads the table named by FieldFileName (unit 2): names it on the console
/// and in the log, finds the "Zmin" limits record, reads the limits and the
/// interval counts, reports the input grid, rejects maps the program cannot
/// hold, centres the z range on 0, and reads the Nr x Nz node records into
/// Er2D, Ez2D [V/cm] and B2D [Gauss] (r slowest; z reversed when ReverseZ).
/// The map arrays are sized for the map after symmetry completion.
void READ_FIELD_TABLE(RunState& s);

}  // namespace zereduv
