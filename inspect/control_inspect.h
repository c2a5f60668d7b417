// A pre-flight of a control file: what a run with it would read, check,
// lay out and write, worked out in memory; nothing is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#ifdef ZEREDUV_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

#include "table_inspect.h"

namespace zereduv::inspect {

/// Targets for FieldScale: a peak on-axis Ez [MV/m], or a gain V(beta) [MV]
/// at a given beta (beta alone also has V and T reported at it).
struct ControlOptions {
  std::optional<double> peak_ez;  // [MV/m]
  std::optional<double> voltage;  // [MV]
  std::optional<double> beta;
};

/// The statement of the phase convention of the written field file.
inline constexpr const char* kPhaseConvention =
    "E ~ cos(wt), B ~ sin(wt) after the check's switch: for a TM010 mode "
    "Ez = +E0 J0(kr), Bphi = -(E0/c) J1(kr)";

struct ControlReport {
  std::string file;  // the control file as named
  // The twelve records.
  std::string table;
  int32_t isym_z = 0, FileNumber = 0, FieldFormat = 0;
  int32_t SymX = 0, SymY = 0, SymZ = 0, ReverseZ = 0;
  double Frequency = 0, ElementLength = 0, Aperture = 0, FieldScale = 0;

  // The table.
  std::string table_kind;
  bool t7 = false;
  double t7_frequency = 0;  // [Hz]
  double t7_percent = 0;    // Frequency against it [%]
  int32_t suggested_isym = 0;
  int32_t half_isym = 0;  // the half-cavity reading's key; 0: none
  std::string suggestion;
  std::string symmetry_question;  // what decides between the two readings
  bool implied_ok = false;
  double implied_frequency = 0;  // [Hz]
  double implied_percent = 0;    // Frequency against it [%]

  // The map as the run completes it [cm].
  int32_t nr = 0, nz = 0;
  double zmin = 0, zmax = 0, rmin = 0, rmax = 0;

  // The output grid against the map.
  double xmin = 0, xmax = 0, ymin = 0, ymax = 0, zmin_out = 0, zmax_out = 0;
  double dz_out = 0;
  int64_t outside = 0, points = 0;              // whole grid
  int64_t plane_outside = 0, plane_points = 0;  // one z plane inside the map
  bool corner_past_rmax = false;                // Aperture * sqrt(2) > Rmax
  bool z_past_map = false;       // the grid's z range leaves the map's
  int64_t outside_aperture = 0;  // within the aperture's circle, outside
                                 // the map: the run's warning counts these
  int64_t in_metal = 0;          // inside the map, every node around them zero
  bool symz_not_mirror = false;  // SymZ set on a map neither even nor odd
  double beta = 0;  // the beta of the figures below: --beta, else best gain
  double half_wavelength = 0;  // beta c / (2 f) [cm]
  double steps_per_half_wavelength = 0;

  // The field after FieldScale, on the axis [MV/m, MV].
  bool axis_in_map = false;
  std::vector<double> axis_z, axis_ez;  // map nodes on the axis [cm, MV/m]
  double peak_ez = 0, peak_ez_z = 0;    // largest |Ez| and where
  GainPoint best;                       // beta of best gain, V, T
  bool beta_given = false;
  GainPoint at_beta;     // at --beta
  double crest_deg = 0;  // crest phase at beta
  // The gain from the map against the gain from the 201 output points on
  // the grid line nearest the axis, at beta.
  double axis_x = 0, axis_y = 0;
  double v_map = 0, v_out = 0, resampling_rel = 0;

  // The Maxwell check as the run makes it.
  double avg = 0;  // the mean ratio the decision rests on
  bool warning = false, warning_low = false, stops = false;
  std::string switched;  // "E", "B" or ""

  // The field file.
  std::string out_name;
  bool out_exists = false;
  bool layout_ok = true;

  // Suggested FieldScale for the targets.
  std::optional<double> scale_for_peak, scale_for_voltage;
};

/// Works out the report.  Reader errors (IoError, TableRejected) pass
/// through.
ControlReport inspect_control(const std::filesystem::path& file,
                              const ControlOptions& opt);

std::string control_text(const ControlReport& r);
#ifdef ZEREDUV_HAVE_JSON
nlohmann::ordered_json control_json(const ControlReport& r);
#endif
/// Ez on the axis of the scaled map, as table_onaxis writes it.
std::string control_onaxis(const ControlReport& r);

}  // namespace zereduv::inspect
