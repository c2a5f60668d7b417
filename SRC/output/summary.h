// The summary lines that end a successful run.
#pragma once

#include <string_view>

#include "run/run_state.h"

namespace zereduv {

/// The summary's labels: element length and aperture, the symmetry keys,
/// and the first and last grid coordinate of x, y and z.
inline constexpr std::string_view kLengthApertureLabel =
    "Element Length & Aperture = ";
inline constexpr std::string_view kSymmetryKeysLabel =
    "Symmetry Keys: X, Y, Z = ";
inline constexpr std::string_view kXLimitsLabel = "Field X limits = ";
inline constexpr std::string_view kYLimitsLabel = "Field Y limits = ";
inline constexpr std::string_view kZLimitsLabel = "Field Z limits = ";

/// Writes the five summary lines to the log and closes it.
void WRITE_SUMMARY(RunState& s);

}  // namespace zereduv
