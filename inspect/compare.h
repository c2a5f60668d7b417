// Comparison of two field maps on one output grid: two field files (any
// layouts), or a field file and a table evaluated on the file's grid.
#pragma once

#include <array>
#include <optional>
#include <string>

#ifdef ZEREDUV_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

#include "field_inspect.h"

namespace zereduv::inspect {

/// The largest difference of one component and where it is.
struct ComponentDiff {
  double peak = 0;     // largest |value| in the first map (the reference)
  double max_abs = 0;  // largest |b - a|
  double max_rel = 0;  // max_abs / peak; 0 when both are 0
  double rms = 0;      // rms of b - a over the grid
  int ix = 1, iy = 1, iz = 1;  // where max_abs is (first such point)
  double x = 0, y = 0, z = 0;  // its coordinates [cm]
  double a = 0, b = 0;         // the two values there
};

struct CompareReport {
  std::string file_a, file_b;
  std::string kind_a, kind_b;  // "field file, layout 0", "table (isym_z = 2)"
  std::array<ComponentDiff, 6> comp;
  double worst_rel = 0;  // the largest max_rel
  int worst = 0;         // its component
  double tolerance = 0;  // the bound on max_rel
  bool within = true;
};

/// The grids of two field files differ by more than rounding: the text
/// layouts hold 15 digits, layout 0 every bit.
struct GridMismatch {
  std::string what;
};

/// Compares b against a.  Throws GridMismatch when their grids differ.
CompareReport compare_fields(const FieldFile& a, const FieldFile& b,
                             double tolerance);

std::string compare_text(const CompareReport& r);
#ifdef ZEREDUV_HAVE_JSON
nlohmann::ordered_json compare_json(const CompareReport& r);
#endif

}  // namespace zereduv::inspect
