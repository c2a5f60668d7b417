// Check of the map against the Ampere-Maxwell law, with sign correction.
#pragma once

#include <cstdint>
#include <string>

#include "run/run_state.h"

namespace zereduv {

/// Compares, slice by slice in z, the line integral of H on the circle of
/// radius Rgrid(Nr/2) with the displacement current through it; logs every
/// slice and the ratio statistics; stops the run when |mean ratio| > 2, warns
/// above 1.5, and for a negative mean negates E (Er2D, Ez2D) or B2D so that
/// Ez is positive at its first maximum on the axis.
void CHECK_MAXWELL(RunState& s);

/// The 94-character log line of one z slice: the label, then iz (I5), zz
/// (F14.6), I_H and I_E (E14.6) with two blanks before each, and the ratio
/// (F14.6).
std::string maxwell_slice_line(int32_t iz, double zz, double I_H, double I_E,
                               double ratio);

}  // namespace zereduv
