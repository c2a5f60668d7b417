// Number texts of the inspection reports: std::to_chars only, so that the
// reports read the same under every locale.
#pragma once

#include <string>

namespace zereduv::inspect {

/// Shortest text that reads back as `v` (JSON-like, e.g. 0.1, 2.5e-07).
std::string num_exact(double v);
/// `v` with `digits` significant digits, general form (e.g. 406.07).
std::string num(double v, int digits = 6);
/// `v` with `decimals` digits after the point.
std::string num_fixed(double v, int decimals);

}  // namespace zereduv::inspect
