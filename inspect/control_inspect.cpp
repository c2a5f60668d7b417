#include "control_inspect.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "field/eb2d_appr.h"
#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "input/symmetry.h"
#include "numfmt.h"
#include "onaxis.h"
#include "output/output_grid.h"
#include "output/resample.h"
#include "run/control.h"
#include "run/errors.h"
#include "run/run_state.h"
#include "run/system/platform.h"
#include "run/text/number_fields.h"
#include "transit.h"

namespace zereduv::inspect {

namespace {

// Output grid points inside the map's limits where the resampling found
// no field: every map node the interpolation takes around them holds zero
// (E and B), so they lie in the metal of the cavity's walls.
int64_t points_in_metal(const RunState& s) {
  int64_t n = 0;
  for (int32_t iz = 1; iz <= kNzOut; ++iz) {
    const double z = s.ZOut(iz);
    if (z < s.Zmin || z > s.Zmax)
      continue;
    for (int32_t iy = 1; iy <= kNy; ++iy)
      for (int32_t ix = 1; ix <= kNx; ++ix) {
        const double x = s.XOut(ix), y = s.YOut(iy);
        const double rho = std::sqrt(x * x + y * y);
        if (rho < s.Rmin || rho > s.Rmax)
          continue;
        bool zero = true;
        for (const Field3D* f :
             {&s.Ex3D, &s.Ey3D, &s.Ez3D, &s.Bx3D, &s.By3D, &s.Bz3D})
          zero = zero && (*f)(ix, iy, iz) == 0.0;
        if (zero)
          ++n;
      }
  }
  return n;
}

double percent(double given, double reference) {
  return reference != 0.0 ? 100.0 * (given - reference) / reference : 0.0;
}

}  // namespace

ControlReport inspect_control(const std::filesystem::path& file,
                              const ControlOptions& opt) {
  ControlReport r;
  r.file = platform::shown_path(file);
  auto s = std::make_unique<RunState>();
  const std::filesystem::path dir = file.parent_path();
  s->WorkDir = dir.empty() ? std::filesystem::path(".") : dir;
  read_control_file(*s, platform::shown_path(file.filename()));
  r.table = std::string(trimmed(s->FieldFileName));
  r.isym_z = s->isym_z;
  r.FileNumber = s->FileNumber;
  r.FieldFormat = s->FieldFormat;
  r.SymX = s->SymX;
  r.SymY = s->SymY;
  r.SymZ = s->SymZ;
  r.ReverseZ = s->ReverseZ;
  r.Frequency = s->Frequency;
  r.ElementLength = s->ElementLength;
  r.Aperture = s->Aperture;
  r.FieldScale = s->FieldScale;

  // The run's phases up to the resampling, in memory, the table read
  // once: its kind, end planes and implied frequency (at the control file's
  // frequency and key, so the check is the run's) come from the map as
  // read.
  set_constants(*s, physical_constants(s->Frequency));
  const FieldTable table = read_field_table(*s, r.table);
  const TableHeader& header = table.header;
  std::optional<double> fcheck;
  if (s->Frequency > 0.0 && std::isfinite(s->Frequency))
    fcheck = s->Frequency;
  const TableReport tr = inspect_read_table(*s, header, r.table, fcheck);
  r.table_kind = variant_text(tr.header);
  // Read with ReverseZ the table's first plane becomes the map's last.
  r.suggested_isym = s->ReverseZ != 0 ? -tr.suggested_isym : tr.suggested_isym;
  r.half_isym = s->ReverseZ != 0 ? -tr.half_isym : tr.half_isym;
  r.symmetry_question = tr.symmetry_question;
  r.suggestion = tr.suggestion;
  if (s->ReverseZ != 0 && r.suggested_isym != 0)
    r.suggestion += " (of the table as written; ReverseZ turns it round)";
  r.implied_ok = tr.maxwell.implied_ok;
  r.implied_frequency = tr.maxwell.implied_frequency;
  r.implied_percent = percent(s->Frequency, r.implied_frequency);
  if (header.variant == TableHeader::Variant::T7) {
    r.t7 = true;
    r.t7_frequency = header.frequency_MHz * 1.0e6;
    r.t7_percent = percent(s->Frequency, r.t7_frequency);
  }
  r.nr = s->Nr;
  r.nz = s->Nz;
  r.zmin = s->Zmin;
  r.zmax = s->Zmax;
  r.rmin = s->Rmin;
  r.rmax = s->Rmax;
  // The check's decision from its own statistics; the check itself then
  // makes the switch (its stop only ends the check here).
  const MaxwellCheck check = maxwell_statistics(*s);
  r.avg = check.decided;
  r.stops = check.stop;
  r.warning = check.warn_high;
  r.warning_low = check.warn_low;
  r.switched = check.switched == MaxwellSwitch::E   ? "E"
               : check.switched == MaxwellSwitch::B ? "B"
                                                    : "";
  try {
    CHECK_MAXWELL(*s);
  } catch (const RunStop&) {
    r.stops = true;
  }
  r.symz_not_mirror = s->SymZ != 0 && z_mirror(*s) == ZMirror::Neither;
  SCALE_AND_GRID(*s);
  RESAMPLE(*s);

  // The output grid against the map: points where the interpolation finds
  // no map are written as zeros.
  r.xmin = s->XminOut;
  r.xmax = s->XmaxOut;
  r.ymin = s->YminOut;
  r.ymax = s->YmaxOut;
  r.zmin_out = s->ZminOut;
  r.zmax_out = s->ZmaxOut;
  r.dz_out = s->DzOut;
  int64_t in_plane_outside = 0;
  for (int32_t iy = 1; iy <= kNy; ++iy)
    for (int32_t ix = 1; ix <= kNx; ++ix) {
      const double x = s->XOut(ix), y = s->YOut(iy);
      if (!locate_r(*s, std::sqrt(x * x + y * y)).inside)
        ++in_plane_outside;
    }
  int32_t planes_in = 0;
  for (int32_t iz = 1; iz <= kNzOut; ++iz)
    if (locate_z(*s, s->ZOut(iz)).inside)
      ++planes_in;
  r.plane_points = int64_t{kNx} * kNy;
  r.plane_outside = in_plane_outside;
  r.points = r.plane_points * kNzOut;
  r.outside = r.points - (r.plane_points - in_plane_outside) * planes_in;
  r.corner_past_rmax = s->Aperture * std::sqrt(2.0) > s->Rmax;
  r.z_past_map = s->ZminOut < s->Zmin || s->ZmaxOut > s->Zmax;
  r.outside_aperture = points_outside_map(*s);
  r.in_metal = points_in_metal(*s);

  // The field after FieldScale on the axis: the map's axis nodes, and the
  // output grid line nearest the axis.
  r.axis_in_map = s->Nr >= 1 && s->Rgrid(1) == 0.0;
  const double omega = s->omeg;
  if (r.axis_in_map) {
    std::vector<double> zm;
    for (int32_t j = 1; j <= s->Nz; ++j) {
      const double ez = s->Ez2D(1, j) / 1e4;
      r.axis_z.push_back(s->Zgrid(j));
      r.axis_ez.push_back(ez);
      zm.push_back(s->Zgrid(j) / 100.0);
      if (std::fabs(ez) > std::fabs(r.peak_ez)) {
        r.peak_ez = ez;
        r.peak_ez_z = s->Zgrid(j);
      }
    }
    if (omega > 0.0 && zm.size() >= 2) {
      r.best = best_gain(zm, r.axis_ez, omega, s->c);
      const double v0 = axis_voltage(zm, r.axis_ez);
      if (opt.beta) {
        r.beta_given = true;
        r.at_beta.beta = *opt.beta;
        r.at_beta.gain = axis_gain(zm, r.axis_ez, omega, *opt.beta, s->c);
        r.at_beta.T = v0 > 0.0 ? r.at_beta.gain / v0 : 0.0;
      }
      r.beta = opt.beta ? *opt.beta : r.best.beta;
      const auto ph = axis_phasor(zm, r.axis_ez, omega, r.beta, s->c);
      r.crest_deg = -stable_arg(ph) * 180.0 / s->pi;
      if (r.crest_deg <= -180.0)
        r.crest_deg += 360.0;
      // The 201 output points on the grid line nearest x = y = 0.
      int32_t ax = 1, ay = 1;
      for (int32_t ix = 1; ix <= kNx; ++ix)
        if (std::fabs(s->XOut(ix)) < std::fabs(s->XOut(ax)))
          ax = ix;
      for (int32_t iy = 1; iy <= kNy; ++iy)
        if (std::fabs(s->YOut(iy)) < std::fabs(s->YOut(ay)))
          ay = iy;
      r.axis_x = s->XOut(ax);
      r.axis_y = s->YOut(ay);
      std::vector<double> zo, eo;
      for (int32_t iz = 1; iz <= kNzOut; ++iz) {
        zo.push_back(s->ZOut(iz) / 100.0);
        eo.push_back(s->Ez3D(ax, ay, iz) / 1e4);
      }
      r.v_map = axis_gain(zm, r.axis_ez, omega, r.beta, s->c);
      r.v_out = axis_gain(zo, eo, omega, r.beta, s->c);
      if (r.v_map != 0.0)
        r.resampling_rel = (r.v_out - r.v_map) / r.v_map;
    }
  }

  // The z steps per RF half-wavelength of a particle at beta (at beta 1
  // when there are no on-axis figures and none is asked).
  if (r.beta == 0.0)
    r.beta = opt.beta.value_or(1.0);
  if (s->Frequency > 0.0) {
    r.half_wavelength = r.beta * s->c / (2.0 * s->Frequency) * 100.0;
    if (s->DzOut != 0.0)
      r.steps_per_half_wavelength = r.half_wavelength / std::fabs(s->DzOut);
  }

  // FieldScale for the targets: every field value is proportional to it.
  if (opt.peak_ez && r.peak_ez != 0.0)
    r.scale_for_peak = s->FieldScale * *opt.peak_ez / std::fabs(r.peak_ez);
  if (opt.voltage && r.beta_given && r.at_beta.gain != 0.0)
    r.scale_for_voltage = s->FieldScale * *opt.voltage / r.at_beta.gain;

  // The field file.
  r.layout_ok = s->FieldFormat >= 0 && s->FieldFormat <= 2;
  r.out_name = "eh_ZIV.#" + edit_I(s->FileNumber, 2, 2);
  std::error_code ec;
  r.out_exists = std::filesystem::exists(s->path(r.out_name), ec);
  return r;
}

std::string control_onaxis(const ControlReport& r) {
  std::vector<double> z, ez;
  for (std::size_t j = 0; j < r.axis_z.size(); ++j) {
    z.push_back(r.axis_z[j] / 100.0);
    ez.push_back(r.axis_ez[j] * 1.0e6);
  }
  return onaxis_text(z, ez, r.Frequency, "control file",
                     "field table " + r.table + " by control file " + r.file +
                         " (FieldScale " + num_exact(r.FieldScale) +
                         ", after the check's switch), z centred on the map");
}

}  // namespace zereduv::inspect

namespace zereduv::inspect {

namespace {

std::string row(std::string_view label, const std::string& value) {
  std::string l(label);
  if (l.size() < 22)
    l.append(22 - l.size(), ' ');
  return l + value + "\n";
}

std::string mhz(double hz) {
  return num(hz / 1e6, 10) + " MHz";
}

std::string signed_percent(double p) {
  return (p >= 0 ? "+" : "") + num(p, 3) + " %";
}

std::string share(int64_t part, int64_t whole) {
  return std::to_string(part) + " of " + std::to_string(whole) + " (" +
         num(whole > 0 ? 100.0 * static_cast<double>(part) /
                             static_cast<double>(whole)
                       : 0.0,
             3) +
         " %)";
}

}  // namespace

std::string control_text(const ControlReport& r) {
  std::string o;
  o += "Control file \"" + r.file + "\" (nothing is written)\n";
  o += row("Table", "\"" + r.table + "\": " + r.table_kind);
  if (r.half_isym != 0) {
    // Both end planes look like mirror planes: the table reads either as a
    // whole cavity bounded by walls (0) or as one half (half_isym).
    const std::string half = std::to_string(r.half_isym);
    const bool either = r.isym_z == r.suggested_isym || r.isym_z == r.half_isym;
    o += row("isym_z", std::to_string(r.isym_z) +
                           " given; the end planes suggest 0 or " + half +
                           (either ? "" : "  <- differs") +
                           " (0 for a whole cavity bounded by walls, " + half +
                           " for one half; " + r.symmetry_question + ")");
  } else {
    o += row("isym_z",
             std::to_string(r.isym_z) + " given; the end planes suggest " +
                 std::to_string(r.suggested_isym) +
                 (r.isym_z == r.suggested_isym ? "" : "  <- differs") + " (" +
                 r.suggestion + ")");
  }
  std::string f = mhz(r.Frequency) + " given";
  if (r.implied_ok)
    f += "; the table implies " + mhz(r.implied_frequency) + " (given " +
         signed_percent(r.implied_percent) + ")";
  if (r.t7)
    f += "; the T7 file states " + mhz(r.t7_frequency) + " (given " +
         signed_percent(r.t7_percent) + ")";
  o += row("Frequency", f);
  o += row("Map", std::to_string(r.nz) + " z x " + std::to_string(r.nr) +
                      " r nodes after completion; z " + num(r.zmin) + " .. " +
                      num(r.zmax) + " cm, r " + num(r.rmin) + " .. " +
                      num(r.rmax) + " cm");
  o += row("Output grid", "x " + num(r.xmin) + " .. " + num(r.xmax) + ", y " +
                              num(r.ymin) + " .. " + num(r.ymax) + ", z " +
                              num(r.zmin_out) + " .. " + num(r.zmax_out) +
                              " cm (25 x 25 x 201)");
  o += row("  outside the map",
           share(r.outside, r.points) + " points, written as zeros; " +
               share(r.plane_outside, r.plane_points) + " in each z plane");
  o += row("  in metal", share(r.in_metal, r.points) +
                             " points inside the map where every node around "
                             "is zero, written as zeros");
  if (r.outside_aperture > 0)
    o += row("  warning", std::to_string(r.outside_aperture) + " of " +
                              std::to_string(r.points) +
                              " grid points within the aperture lie outside "
                              "the map (the run warns)");
  if (r.symz_not_mirror)
    o += row("  warning",
             "SymZ is set, but the map is not mirror-symmetric in z: the "
             "field file holds only its z >= 0 half");
  if (r.corner_past_rmax)
    o += row("  warning",
             "Aperture*sqrt(2) = " + num(r.Aperture * std::sqrt(2.0)) +
                 " cm runs past Rmax = " + num(r.rmax) + " cm");
  if (r.z_past_map)
    o += row("  warning", "the grid's z range " + num(r.zmin_out) + " .. " +
                              num(r.zmax_out) + " cm runs past the map's " +
                              num(r.zmin) + " .. " + num(r.zmax) + " cm");
  if (r.half_wavelength > 0)
    o += row("  z steps",
             num(r.steps_per_half_wavelength, 4) +
                 " per RF half-wavelength at beta = " + num(r.beta, 6) + " (" +
                 num(r.half_wavelength, 5) +
                 " cm; dz = " + num(std::fabs(r.dz_out)) + " cm)");
  o += row(
      "Maxwell check",
      "mean ratio " + num(r.avg, 6) +
          (r.stops ? ": the run stops (|mean| > 2), no field file"
                   : std::string(r.warning ? ", warning (|mean| > 1.5)" : "") +
                         (r.warning_low ? ", warning (|mean| < 0.5)" : "") +
                         (r.switched.empty() ? ", no switch"
                                             : ", switches the " + r.switched +
                                                   "-field sign")));
  o += row("FieldScale", num_exact(r.FieldScale));
  if (!r.axis_in_map) {
    o += row("Axis", "r = 0 is not in the map: no on-axis figures");
  } else {
    o += row("Peak on-axis Ez",
             num(r.peak_ez, 10) + " MV/m at z = " + num(r.peak_ez_z) + " cm");
    if (r.best.beta > 0) {
      o += row("Best gain", "V = " + num(r.best.gain, 10) +
                                " MV, T = " + num(r.best.T, 6) +
                                " at beta = " + num_fixed(r.best.beta, 4));
      if (r.beta_given)
        o += row("At beta " + num(r.at_beta.beta, 6),
                 "V = " + num(r.at_beta.gain, 10) +
                     " MV, T = " + num(r.at_beta.T, 6));
      o += row("Resampling on axis",
               "V from the map " + num(r.v_map, 8) +
                   " MV, from the 201 "
                   "output points (x = " +
                   num(r.axis_x) + ", y = " + num(r.axis_y) + " cm) " +
                   num(r.v_out, 8) + " MV: " + num(r.resampling_rel, 3) +
                   " relative, at beta = " + num_fixed(r.beta, 4));
      o += row("Phase convention", kPhaseConvention);
      o += row("Crest phase", num_fixed(r.crest_deg, 2) +
                                  " deg: Ez(z) cos(wt + phi) is at its crest "
                                  "for phi = this, beta = " +
                                  num_fixed(r.beta, 4) +
                                  ", the particle at the map's entrance z = " +
                                  num(r.zmin) + " cm at t = 0");
    }
  }
  if (r.scale_for_peak)
    o += row("Suggested FieldScale",
             num_exact(*r.scale_for_peak) +
                 " (record 12) for the peak on-axis Ez asked");
  if (r.scale_for_voltage)
    o += row("Suggested FieldScale", num_exact(*r.scale_for_voltage) +
                                         " (record 12) for V at beta " +
                                         num(r.at_beta.beta, 6) + " asked");
  o += row("Field file", r.out_name + ", layout " +
                             std::to_string(r.FieldFormat) +
                             (!r.layout_ok   ? ": not a layout, the run stops"
                              : r.out_exists ? ": exists and would be replaced"
                                             : ": new"));
  return o;
}

#ifdef ZEREDUV_HAVE_JSON
nlohmann::ordered_json control_json(const ControlReport& r) {
  nlohmann::ordered_json j;
  j["kind"] = "control file";
  j["file"] = r.file;
  j["records"] = {{"table", r.table},
                  {"isym_z", r.isym_z},
                  {"FileNumber", r.FileNumber},
                  {"FieldFormat", r.FieldFormat},
                  {"SymX", r.SymX},
                  {"SymY", r.SymY},
                  {"SymZ", r.SymZ},
                  {"Frequency_Hz", r.Frequency},
                  {"ElementLength_cm", r.ElementLength},
                  {"Aperture_cm", r.Aperture},
                  {"ReverseZ", r.ReverseZ},
                  {"FieldScale", r.FieldScale}};
  j["table"] = {{"kind", r.table_kind},
                {"suggested_isym_z", r.suggested_isym},
                {"suggestion", r.suggestion}};
  if (r.half_isym != 0) {
    j["table"]["half_isym_z"] = r.half_isym;
    j["table"]["symmetry_question"] = r.symmetry_question;
  }
  if (r.t7)
    j["table"]["t7_frequency_Hz"] = r.t7_frequency;
  j["frequency"] = {{"given_Hz", r.Frequency}};
  if (r.implied_ok) {
    j["frequency"]["implied_Hz"] = r.implied_frequency;
    j["frequency"]["given_vs_implied_percent"] = r.implied_percent;
  }
  if (r.t7)
    j["frequency"]["given_vs_t7_percent"] = r.t7_percent;
  j["map"] = {{"nz", r.nz},        {"nr", r.nr},        {"zmin_cm", r.zmin},
              {"zmax_cm", r.zmax}, {"rmin_cm", r.rmin}, {"rmax_cm", r.rmax}};
  j["grid"] = {{"xmin_cm", r.xmin},
               {"xmax_cm", r.xmax},
               {"ymin_cm", r.ymin},
               {"ymax_cm", r.ymax},
               {"zmin_cm", r.zmin_out},
               {"zmax_cm", r.zmax_out},
               {"points", r.points},
               {"outside_points", r.outside},
               {"plane_points", r.plane_points},
               {"plane_outside_points", r.plane_outside},
               {"aperture_corner_past_rmax", r.corner_past_rmax},
               {"z_range_past_map", r.z_past_map},
               {"outside_aperture_points", r.outside_aperture},
               {"in_metal_points", r.in_metal},
               {"symz_not_mirror_symmetric", r.symz_not_mirror},
               {"beta", r.beta},
               {"half_wavelength_cm", r.half_wavelength},
               {"steps_per_half_wavelength", r.steps_per_half_wavelength}};
  j["maxwell"] = {{"avg_ratio", r.avg},
                  {"warning", r.warning},
                  {"warning_low", r.warning_low},
                  {"stops", r.stops},
                  {"switched", r.switched}};
  j["field_scale"] = r.FieldScale;
  nlohmann::ordered_json a;
  a["in_map"] = r.axis_in_map;
  if (r.axis_in_map) {
    a["peak_ez_MV_per_m"] = r.peak_ez;
    a["peak_ez_z_cm"] = r.peak_ez_z;
    if (r.best.beta > 0) {
      a["best"] = {
          {"beta", r.best.beta}, {"V_MV", r.best.gain}, {"T", r.best.T}};
      if (r.beta_given)
        a["at_beta"] = {{"beta", r.at_beta.beta},
                        {"V_MV", r.at_beta.gain},
                        {"T", r.at_beta.T}};
      a["resampling"] = {{"x_cm", r.axis_x},
                         {"y_cm", r.axis_y},
                         {"V_map_MV", r.v_map},
                         {"V_output_MV", r.v_out},
                         {"relative_difference", r.resampling_rel}};
      a["phase_convention"] = kPhaseConvention;
      a["crest_phase_deg"] = r.crest_deg;
      a["crest_beta"] = r.beta;
    }
  }
  j["axis"] = a;
  if (r.scale_for_peak)
    j["suggested_field_scale"]["peak_ez"] = *r.scale_for_peak;
  if (r.scale_for_voltage)
    j["suggested_field_scale"]["voltage"] = *r.scale_for_voltage;
  j["field_file"] = {{"name", r.out_name},
                     {"layout", r.FieldFormat},
                     {"layout_valid", r.layout_ok},
                     {"exists", r.out_exists}};
  return j;
}
#endif

}  // namespace zereduv::inspect
