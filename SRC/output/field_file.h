// The output file name, the layout dispatch and layout 0 (length-framed
// unformatted records).
#pragma once

#include <string>
#include <string_view>

#include "run/run_state.h"

namespace zereduv {

/// The stop when FieldFormat names no layout.
inline constexpr std::string_view kFormatStop =
    " Not a valid VELTA 3D field format: use 0, 1 or 2 ";

/// The console record that names the field file before it is written.
inline constexpr std::string_view kOutputNameLabel =
    "Output field file name = ";

/// The field file's name, "eh_ZIV.#" and FileNumber as I2.2.
std::string field_file_name(const RunState& s);

/// Builds OutFileName ("eh_ZIV.#" and FileNumber as I2.2), reports it on the
/// console, sets the header integer and end marker, and writes the field
/// file in the layout FieldFormat selects; any other layout number stops the
/// run before a file is opened.
void WRITE_FIELD_FILE(RunState& s);

/// Layout 0: twelve records framed by 4-byte little-endian lengths.
void write_layout0(RunState& s);

}  // namespace zereduv
