// Inspection of a written field file: the layout recognised from the
// content, its structure checked against the fixed layout, the grid, the
// symmetry keys and the six components.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "output/field_layout.h"
#include "transit.h"

namespace zereduv::inspect {

/// A field file that does not hold what its layout says: `where` is a byte
/// offset or a line, `what` says what was expected and what was found.
class FieldFileDamaged : public std::runtime_error {
 public:
  FieldFileDamaged(std::string where, std::string what);
  std::string where;
  std::string what_expected;
};

/// Names of the six components, in file order, and their units.
inline constexpr std::array<const char*, 6> kComponentNames = {
    "Ex", "Ey", "Ez", "Bx", "By", "Bz"};
inline constexpr std::array<const char*, 6> kComponentUnits = {
    "V/cm", "V/cm", "V/cm", "Gauss", "Gauss", "Gauss"};

struct FieldFile {
  int layout = -1;
  std::uintmax_t bytes = 0;
  // Layouts 0 and 1: the control values as written.
  bool has_lengths = false;
  double ElementLength = 0, Aperture = 0;
  int32_t SymX = 0, SymY = 0, SymZ = 0;
  std::array<double, kNx> X{};
  std::array<double, kNy> Y{};
  std::array<double, kNzOut> Z{};
  /// The components at (ix, iy, iz), x fastest as in the program's arrays.
  std::array<std::vector<double>, 6> comp;

  static std::size_t index(int ix, int iy, int iz) {
    return Field3D::index(ix, iy, iz);
  }
};

/// Which layout the content shows (0, 1 or 2), or -1.
int recognise_layout(std::string_view content);

/// Parses and checks a whole field file held in memory.  Throws
/// FieldFileDamaged.
FieldFile parse_field_file(std::string_view content);

/// Reads the file and parses it.  Throws std::runtime_error when it cannot
/// be read, FieldFileDamaged when it is damaged.
FieldFile read_field_file(const std::filesystem::path& path);

struct ComponentStats {
  double min = 0, max = 0, rms = 0;
};

struct FieldReport {
  std::string file;
  FieldFile f;
  std::array<ComponentStats, 6> stats;
  int axis_ix = 0, axis_iy = 0;  // the grid line nearest x = y = 0
  double axis_x = 0, axis_y = 0;
  std::array<double, kNzOut> axis_ez{};  // [V/cm]
  int plane_iy = 0;                      // the plane nearest y = 0 (pictures)
  int64_t points = 0, zero_points = 0;   // grid points; all six fields 0
  // With a frequency given: the beta of best gain on the axis line and the
  // crest phase there (Ez cos(wt + phi), entering at the first plane at
  // t = 0).
  double frequency = 0;  // [Hz]; 0 when not given
  GainPoint best;
  double crest_deg = 0;
};

/// Fills in the frequency, best beta and crest phase of the report.
void field_crest(FieldReport& r, double frequency);

FieldReport inspect_field(const std::filesystem::path& path);
/// The report of a file already parsed.
FieldReport field_report(std::string file, FieldFile f);

}  // namespace zereduv::inspect
