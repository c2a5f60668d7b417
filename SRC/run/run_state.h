// The one run-state record of a zereduv run.  Every phase is a function of
// this record: it reads what earlier phases left and writes its own members.
// All indices are 1-based, as in the field-map notation (i = r node,
// j = z node; ix, iy, iz on the output grid).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "run/field_arrays.h"
#include "run/system/big_memory.h"
#include "run/text/channels.h"

namespace zereduv {

/// The separator line that closes every block of report lines in the log.
inline constexpr const char* kSeparator = " ------------------------------ ";

/// Room for the run's large arrays: the largest map the reader accepts
/// (three arrays of 50 million doubles after the mirror completion), the six
/// output arrays and the field file's buffers.  Address space only: memory
/// is taken where the arrays are written.
inline constexpr std::size_t kLargeArrayBytes = std::size_t{1280} << 20;

struct RunState {
  // ---- storage of the large arrays (maps, output arrays, write buffers) ----
  std::unique_ptr<BigRegion> big =
      std::make_unique<BigRegion>(kLargeArrayBytes);
  /// `bytes` zeroed bytes of room for the field file's write buffers, from
  /// the large-array storage (held until the run state goes).
  char* write_room(std::size_t bytes) { return big->take_array<char>(bytes); }

  // ---- where the run's files live (the working directory by default) ----
  std::filesystem::path WorkDir = ".";  // directory of the run's files

  // ---- control parameters (control file "zereduv.dat") ----
  std::string FieldFileName = std::string(80, ' ');  // 80 chars, blank-padded
  int32_t isym_z = 0;                                // input z-symmetry key [-]
  int32_t FileNumber = 0;                // number in the output file name [-]
  int32_t FieldFormat = 0;               // output layout 0, 1 or 2 [-]
  int32_t SymX = 0, SymY = 0, SymZ = 0;  // output grid symmetry keys [-]
  double Frequency = 0.0;                // RF frequency [Hz]
  double ElementLength = 0.0;            // z extent of the output grid [cm]
  double Aperture = 0.0;    // half x/y extent of the output grid [cm]
  int32_t ReverseZ = 0;     // 0: table rows in increasing z [-]
  double FieldScale = 0.0;  // factor applied to all fields unless 1 [-]

  // ---- physical constants ----
  double pi = 0.0;    // [-]
  double c = 0.0;     // speed of light [m/s]
  double mu0 = 0.0;   // [T*m/A]
  double mu1 = 0.0;   // [Gs*m/A]: H in A/m to B in Gauss
  double eps0 = 0.0;  // [F/m]
  double omeg = 0.0;  // angular frequency [rad/s]

  // ---- input map (field table, then symmetry completion) ----
  double Zmin = 0.0, Zmax = 0.0;  // [cm], centred on z = 0
  double Rmin = 0.0, Rmax = 0.0;  // [cm]
  int32_t Nr = 0, Nz = 0;         // node counts in r and z [-]
  Map2D Er2D{*big};               // E_r [V/cm]
  Map2D Ez2D{*big};               // E_z [V/cm]
  Map2D B2D{*big};                // B_phi [Gauss]
  Coord1D Rgrid;                  // r of node i [cm]
  Coord1D Zgrid;                  // z of node j [cm]

  // ---- output grid ----
  double XminOut = 0.0, XmaxOut = 0.0;           // x limits [cm]
  double YminOut = 0.0, YmaxOut = 0.0;           // y limits [cm]
  double ZminOut = 0.0, ZmaxOut = 0.0;           // z limits [cm]
  double DxOut = 0.0, DyOut = 0.0, DzOut = 0.0;  // steps [cm]
  OutCoord<kNx> XOut;                            // x of point ix [cm]
  OutCoord<kNy> YOut;                            // y of point iy [cm]
  OutCoord<kNzOut> ZOut;                         // z of point iz [cm]

  // ---- output fields (resampled map) ----
  Field3D Ex3D{*big}, Ey3D{*big}, Ez3D{*big};  // [V/cm]
  Field3D Bx3D{*big}, By3D{*big}, Bz3D{*big};  // [Gauss]

  // ---- output file ----
  std::string OutFileName = std::string(80, ' ');  // 80 chars, blank-padded
  int32_t HeaderInt = 0;  // header integer of layouts 0 and 1 (0) [-]
  int32_t EndMarker = 0;  // end marker of layouts 0 and 1 (-99) [-]

  // ---- channels ----
  TextOut log{8, "zereduv.log", LineEnd::CrLf};             // unit 8
  TextOut console{6, "standard output", LineEnd::Console};  // unit 6
  TextOut errout{0, "standard error", LineEnd::Console};    // unit 0: warnings

  /// Path of a file of the run, by its name in the working directory.
  std::filesystem::path path(std::string_view name) const {
    return WorkDir / platform::file_path(name);
  }
};

/// A name held blank-padded in a fixed text field, without its trailing blanks.
std::string_view trimmed(std::string_view s);

}  // namespace zereduv
