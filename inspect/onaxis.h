// The on-axis field Ez(z) as the 1-D map that tracking codes read: two
// columns in SI units after a one-line comment.
#pragma once

#include <string>
#include <vector>

#include "field_inspect.h"
#include "table_inspect.h"

namespace zereduv::inspect {

/// "# ..." naming the quantity, the frequency (or that it is unknown) and
/// the source, then one line "z Ez" per point, z [m] and Ez [V/m], each to
/// 12 significant digits.
std::string onaxis_text(const std::vector<double>& z_m,
                        const std::vector<double>& ez_V_per_m,
                        double frequency_hz, const std::string& frequency_note,
                        const std::string& source);

/// The table's nodes on the axis (z centred as the program centres it).
std::string table_onaxis(const TableReport& r);
/// The field file's axis line nearest x = y = 0, at the frequency given
/// with --frequency (unknown otherwise: the field file does not carry it).
std::string field_onaxis(const FieldReport& r);

}  // namespace zereduv::inspect
