// Inspection of a field table: read with the program's own reader, analysed
// for mirror planes, field level, the Maxwell ratio and the implied
// frequency, and the transit-time factor on the axis.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "run/run_state.h"
#include "transit.h"

namespace zereduv::inspect {

/// What one end plane of the table (first or last z node) looks like.
struct EndPlane {
  /// "mirror, Ez even" (Er = 0 there), "mirror, Ez odd" (Ez = H = 0),
  /// "no field" (every component small: the end of a beam pipe) or "open"
  /// (the field crosses the plane).
  std::string kind;
  int key = 0;  // 2 for Ez even, 1 for Ez odd, 0 otherwise
  // Largest magnitude on the plane, relative to the component's peak over
  // the whole table.
  double ez = 0, er = 0, h = 0;
};

/// Relative levels below which a component counts as zero on a plane, and
/// below which a plane counts as free of field.
inline constexpr double kZeroLevel = 1e-3;
inline constexpr double kFieldFreeLevel = 1e-2;

/// Classifies a plane from its relative levels.
EndPlane classify_plane(double ez, double er, double h);

/// The isym_z key that the two end planes suggest, with a sentence saying why.
int32_t suggest_isym(const EndPlane& first, const EndPlane& last,
                     std::string& why);

/// When both end planes look like mirror planes the table can be read two
/// ways: a whole cavity bounded by walls at both planes (key 0), or one half
/// whose mirror plane is the plane at z = 0 of the table (its last node when
/// the table ends at z = 0, else its first node).  The key for the half
/// reading (0 when there is no second reading), with the question that
/// decides between the two.  Limits as written in the table.
int32_t half_reading(const EndPlane& first, const EndPlane& last,
                     double zmin_table, double zmax_table,
                     std::string& question);

struct MaxwellStats {
  bool frequency_given = false;
  double frequency = 0;  // frequency of the check [Hz]
  MaxwellCheck check;    // the program's own statistics and decision
  // The frequency the table implies.  The slice ratio I_E / I_H is
  // proportional to the frequency of the check, so f / |ratio| does not
  // depend on it; slices without field (no current, no flux) say nothing
  // about it and are left out.
  int32_t field_slices = 0;  // slices with I_H or I_E not 0
  double fit_ratio = 0;      // sum I_E I_H / sum I_H^2 over them
  bool implied_ok = false;
  double implied_frequency = 0;  // frequency / |fit_ratio| [Hz]
  int32_t ratio_slices = 0;      // slices with I_H not 0
  double median_ratio = 0;       // median of their ratios
  double median_frequency = 0;   // frequency / |median_ratio| [Hz]; 0: none
  bool mismatch = false;         // given and implied differ by more than 1 %
  double mismatch_percent = 0;
};

/// Descriptions of the header the reader found.
std::string variant_name(const TableHeader& h);  // "plain", "EZERO", "other"
std::string variant_text(const TableHeader& h);  // a sentence for the report
std::string unit_name(const TableHeader& h);     // "cm" or "mm"

struct TableReport {
  std::string file;
  TableHeader header;

  // The table as read (program units: cm, z centred on 0).
  int32_t nz_table = 0, nr = 0;
  double zmin = 0, zmax = 0, rmin = 0, rmax = 0, dz = 0, dr = 0;
  EndPlane first, last;
  int32_t suggested_isym = 0;
  std::string suggestion;
  int32_t half_isym = 0;          // the other reading's key; 0: none
  std::string symmetry_question;  // what decides between the two

  // The map analysed, completed with isym.
  int32_t isym = 0;
  bool isym_given = false;
  int32_t nz_full = 0;
  double zmin_full = 0, zmax_full = 0;
  std::vector<double> zgrid, rgrid;  // [cm]
  std::vector<double> absE;          // |E| [MV/m] at (i, j): (i-1)*nz_full+j-1
  std::vector<double> absB;          // |B_phi| [Gauss], the same order
  double peak_E = 0, peak_E_z = 0, peak_E_r = 0;

  bool axis_in_map = false;     // Rmin = 0
  std::vector<double> axis_ez;  // Ez(0, z) [MV/m] at zgrid
  double ez_min = 0, ez_min_z = 0, ez_max = 0, ez_max_z = 0;

  MaxwellStats maxwell;

  // Transit-time factor on the axis.
  double tt_frequency = 0;          // [Hz]; 0 when unknown
  std::string tt_frequency_source;  // "given" or "implied"
  double axis_voltage = 0;          // integral |Ez| dz [MV]
  std::vector<GainPoint> gains;     // gain [MV]
  GainPoint best;
};

struct TableOptions {
  std::optional<double> frequency;  // [Hz]
  std::optional<int32_t> isym;
};

/// Frequency of the check when none is given: the implied frequency does
/// not depend on it, every I_E being proportional to omega.
inline constexpr double kReferenceFrequency = 1.0e9;

/// READ_FIELD_TABLE as the inspection tool runs it: node records in the
/// wrong z order or off the header's grid stop a run of the program; here
/// they make a table that cannot be used (TableRejected for `file`), as the
/// reader's own refusals do.
FieldTable read_field_table(RunState& s, const std::string& file);

/// Reads and analyses the table.  Reader errors (IoError, TableRejected)
/// pass through.
TableReport inspect_table(const std::filesystem::path& file,
                          const TableOptions& opt);

/// The same analysis of a table a run state has just read (`header` as the
/// reader returned it), completed with the state's isym_z; the check of the
/// report runs at `frequency` (else at the T7 file's or the reference
/// frequency), the state keeping its own.  Leaves the state completed.
TableReport inspect_read_table(RunState& s, const TableHeader& header,
                               const std::string& file,
                               std::optional<double> frequency);

}  // namespace zereduv::inspect
