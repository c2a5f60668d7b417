// The forms the inspection reports take: plain text for the terminal, JSON
// (in builds with nlohmann-json), CSV of the axis line and an SVG picture.
#pragma once

#include <string>

#ifdef ZEREDUV_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

#include "control_inspect.h"
#include "field_inspect.h"
#include "table_inspect.h"
#include "table_map.h"

namespace zereduv::inspect {

std::string table_text(const TableReport& r);
std::string field_text(const FieldReport& r);

#ifdef ZEREDUV_HAVE_JSON
nlohmann::ordered_json table_json(const TableReport& r);
nlohmann::ordered_json field_json(const FieldReport& r);
#endif

/// "z_cm,Ez_MV_per_m" then one line per z node on the axis.
std::string table_csv(const TableReport& r);
/// "z_cm,Ez_V_per_cm" then one line per output z plane on the axis line.
std::string field_csv(const FieldReport& r);

/// Self-contained SVG pictures: Ez on the axis and a colour map of |E|.
std::string table_svg(const TableReport& r);
std::string field_svg(const FieldReport& r);
/// The map a control file's run reads with the output grid drawn over it.
std::string control_svg(const ControlReport& r, const TableMap& m);

}  // namespace zereduv::inspect
