#include "control_inspect.h"
#include "report.h"

namespace zereduv::inspect {

using nlohmann::ordered_json;

namespace {

ordered_json plane_json(const EndPlane& p) {
  return {{"kind", p.kind},
          {"key", p.key},
          {"ez_level", p.ez},
          {"er_level", p.er},
          {"h_level", p.h}};
}

}  // namespace

ordered_json table_json(const TableReport& r) {
  const TableHeader& h = r.header;
  const MaxwellStats& m = r.maxwell;
  ordered_json j;
  j["kind"] = "field table";
  j["file"] = r.file;
  const MaxwellCheck& c = m.check;
  j["header"] = {{"variant", variant_name(h)},
                 {"description", variant_text(h)},
                 {"limits_line", h.limits_line},
                 {"first_node_line", h.first_node_line},
                 {"records_between", h.records_between},
                 {"wide_counts", h.wide_counts},
                 {"columns", h.columns},
                 {"units", h.units}};
  if (h.variant == TableHeader::Variant::T7)
    j["header"]["t7_frequency_MHz"] = h.frequency_MHz;
  j["length_unit"] = unit_name(h);
  j["mm_converted"] = h.unit == TableHeader::LengthUnit::Mm;
  j["table_limits"] = {{"zmin", h.Zmin},
                       {"zmax", h.Zmax},
                       {"rmin", h.Rmin},
                       {"rmax", h.Rmax},
                       {"unit", unit_name(h)}};
  j["grid"] = {{"nz", r.nz_table},  {"nr", r.nr},        {"zmin_cm", r.zmin},
               {"zmax_cm", r.zmax}, {"rmin_cm", r.rmin}, {"rmax_cm", r.rmax},
               {"dz_cm", r.dz},     {"dr_cm", r.dr}};
  j["first_plane"] = plane_json(r.first);
  j["last_plane"] = plane_json(r.last);
  j["suggested_isym_z"] = r.suggested_isym;
  j["suggestion"] = r.suggestion;
  if (r.half_isym != 0) {
    j["half_isym_z"] = r.half_isym;
    j["symmetry_question"] = r.symmetry_question;
  } else {
    j["half_isym_z"] = nullptr;
  }
  j["map"] = {{"isym_z", r.isym},
              {"isym_z_given", r.isym_given},
              {"nz", r.nz_full},
              {"zmin_cm", r.zmin_full},
              {"zmax_cm", r.zmax_full}};
  j["peak_E"] = {
      {"MV_per_m", r.peak_E}, {"z_cm", r.peak_E_z}, {"r_cm", r.peak_E_r}};
  if (r.axis_in_map) {
    j["axis_Ez"] = {{"min_MV_per_m", r.ez_min},
                    {"z_at_min_cm", r.ez_min_z},
                    {"max_MV_per_m", r.ez_max},
                    {"z_at_max_cm", r.ez_max_z}};
  } else {
    j["axis_Ez"] = nullptr;
  }
  ordered_json mj;
  mj["frequency_given"] = m.frequency_given;
  mj["frequency_Hz"] = m.frequency;
  if (m.frequency_given) {
    mj["slices"] = c.slices.size();
    mj["avg_ratio"] = c.avg;
    mj["max_ratio"] = c.max;
    mj["min_ratio"] = c.min;
    mj["warning"] = c.warn_high;
    mj["warning_low"] = c.warn_low;
    mj["empty_slices_left_out"] = c.empty_left_out;
    mj["avg_ratio_with_field"] = c.avg_f;
    mj["stopped"] = c.stop;
    mj["switched"] = c.switched == MaxwellSwitch::E   ? "E"
                     : c.switched == MaxwellSwitch::B ? "B"
                                                      : "";
  }
  mj["field_slices"] = m.field_slices;
  mj["least_squares_ratio"] = m.fit_ratio;
  if (m.implied_ok) {
    mj["implied_frequency_Hz"] = m.implied_frequency;
  } else {
    mj["implied_frequency_Hz"] = nullptr;
  }
  mj["median_ratio"] = m.median_ratio;
  if (m.median_frequency > 0.0) {
    mj["median_frequency_Hz"] = m.median_frequency;
  } else {
    mj["median_frequency_Hz"] = nullptr;
  }
  if (m.frequency_given && m.implied_ok) {
    mj["mismatch_percent"] = m.mismatch_percent;
    mj["mismatch"] = m.mismatch;
  }
  j["maxwell"] = mj;
  if (!r.gains.empty()) {
    ordered_json rows = ordered_json::array();
    for (const auto& g : r.gains)
      rows.push_back({{"beta", g.beta}, {"T", g.T}, {"gain_MV", g.gain}});
    j["transit"] = {
        {"frequency_Hz", r.tt_frequency},
        {"frequency_source", r.tt_frequency_source},
        {"axis_voltage_MV", r.axis_voltage},
        {"table", rows},
        {"best",
         {{"beta", r.best.beta}, {"T", r.best.T}, {"gain_MV", r.best.gain}}}};
  } else {
    j["transit"] = nullptr;
  }
  return j;
}

ordered_json field_json(const FieldReport& r) {
  const FieldFile& f = r.f;
  ordered_json j;
  j["kind"] = "field file";
  j["file"] = r.file;
  j["layout"] = f.layout;
  j["bytes"] = f.bytes;
  if (f.has_lengths) {
    j["ElementLength_cm"] = f.ElementLength;
    j["Aperture_cm"] = f.Aperture;
  }
  j["symmetry"] = {{"SymX", f.SymX}, {"SymY", f.SymY}, {"SymZ", f.SymZ}};
  j["zero_points"] = r.zero_points;
  j["phase_convention"] = kPhaseConvention;
  if (r.frequency > 0)
    j["crest"] = {{"frequency_Hz", r.frequency},
                  {"beta", r.best.beta},
                  {"V_MV", r.best.gain},
                  {"T", r.best.T},
                  {"phase_deg", r.crest_deg}};
  j["grid"] = {
      {"x_cm", {f.X.front(), f.X.back(), 25}},
      {"y_cm", {f.Y.front(), f.Y.back(), 25}},
      {"z_cm", {f.Z.front(), f.Z.back(), 201}},
  };
  ordered_json comps;
  for (std::size_t a = 0; a < 6; ++a)
    comps[kComponentNames[a]] = {{"unit", kComponentUnits[a]},
                                 {"min", r.stats[a].min},
                                 {"max", r.stats[a].max},
                                 {"rms", r.stats[a].rms}};
  j["components"] = comps;
  j["axis"] = {{"x_cm", r.axis_x},
               {"y_cm", r.axis_y},
               {"z_cm", f.Z},
               {"Ez_V_per_cm", r.axis_ez}};
  return j;
}

}  // namespace zereduv::inspect
