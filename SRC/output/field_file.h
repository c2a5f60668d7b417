// The output file name, the layout dispatch and layout 0 (length-framed
// unformatted records).
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Builds OutFileName ("eh_ZIV.#" and FileNumber as I2.2), reports it on the
/// console, sets the header integer and end marker, and writes the field
/// file in the layout FieldFormat selects; any other layout number stops the
/// run before a file is opened.
void WRITE_FIELD_FILE(RunState& s);

/// Layout 0: twelve records framed by 4-byte little-endian lengths.
void WRITE_LAYOUT0(RunState& s);

}  // namespace zereduv
