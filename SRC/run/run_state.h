// The one run-state record of a zereduv run.  Every phase is a function of
// this record: it reads what earlier phases left and writes its own members.
// All indices are 1-based, as in the field-map notation (i = r node,
// j = z node; ix, iy, iz on the output grid).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "run/text_io.h"

namespace zereduv {

/// One component of the 2-D map, indexed (i, j): i the r node (1..Nr),
/// j the z node (1..Nz).  Sized once to fit the table (and its mirror image),
/// z nodes contiguous for each r node.
class Map2D {
 public:
  void allocate(int32_t nr_cap, int32_t nz_cap) {
    nr_cap_ = nr_cap;
    nz_cap_ = nz_cap;
    v_.assign(static_cast<std::size_t>(nr_cap) * static_cast<std::size_t>(nz_cap),
              0.0);
  }
  double& operator()(int32_t i, int32_t j) { return v_[index(i, j)]; }
  double operator()(int32_t i, int32_t j) const { return v_[index(i, j)]; }
  int32_t nr_capacity() const { return nr_cap_; }
  int32_t nz_capacity() const { return nz_cap_; }

 private:
  std::size_t index(int32_t i, int32_t j) const {
    return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(nz_cap_) +
           static_cast<std::size_t>(j - 1);
  }
  int32_t nr_cap_ = 0;
  int32_t nz_cap_ = 0;
  std::vector<double> v_;
};

/// A 1-based array of node coordinates.
class Coord1D {
 public:
  void allocate(int32_t n) { v_.assign(static_cast<std::size_t>(n), 0.0); }
  double& operator()(int32_t i) { return v_[static_cast<std::size_t>(i - 1)]; }
  double operator()(int32_t i) const {
    return v_[static_cast<std::size_t>(i - 1)];
  }
  int32_t size() const { return static_cast<int32_t>(v_.size()); }
  const double* data() const { return v_.data(); }

 private:
  std::vector<double> v_;
};

/// Fixed output grid sizes: 25 x 25 x 201 points.
inline constexpr int32_t kNx = 25;
inline constexpr int32_t kNy = 25;
inline constexpr int32_t kNzOut = 201;
inline constexpr std::size_t kOutPoints =
    static_cast<std::size_t>(kNx) * kNy * kNzOut;

/// A 1-based fixed-size coordinate array of the output grid.
template <int32_t N>
struct OutCoord {
  std::array<double, static_cast<std::size_t>(N)> v{};
  double& operator()(int32_t i) { return v[static_cast<std::size_t>(i - 1)]; }
  double operator()(int32_t i) const {
    return v[static_cast<std::size_t>(i - 1)];
  }
};

/// One Cartesian output component on the 25 x 25 x 201 grid, indexed
/// (ix, iy, iz) and stored with ix fastest, then iy, then iz: the order in
/// which every field-file layout walks it.
class Field3D {
 public:
  // Zeroed storage from calloc: a fresh block comes as untouched zero pages,
  // so nothing is written twice (the resampling fills every point) and a
  // run state built for the earlier phases alone costs no 6 MB of stores.
  Field3D() : v_(static_cast<double*>(std::calloc(kOutPoints, sizeof(double)))) {
    if (v_ == nullptr) throw std::bad_alloc();
  }
  double& operator()(int32_t ix, int32_t iy, int32_t iz) {
    return v_[index(ix, iy, iz)];
  }
  double operator()(int32_t ix, int32_t iy, int32_t iz) const {
    return v_[index(ix, iy, iz)];
  }
  static std::size_t index(int32_t ix, int32_t iy, int32_t iz) {
    return static_cast<std::size_t>(ix - 1) +
           static_cast<std::size_t>(kNx) *
               (static_cast<std::size_t>(iy - 1) +
                static_cast<std::size_t>(kNy) * static_cast<std::size_t>(iz - 1));
  }
  const double* data() const { return v_.get(); }
  double* data() { return v_.get(); }

 private:
  struct Free {
    void operator()(double* p) const { std::free(p); }
  };
  std::unique_ptr<double[], Free> v_;
};

struct RunState {
  // ---- where the run's files live (the working directory by default) ----
  std::filesystem::path WorkDir = ".";

  // ---- control parameters (control file "zereduv.dat") ----
  std::string FieldFileName = std::string(80, ' ');  // 80 chars, blank-padded
  int32_t isym_z = 0;       // input z-symmetry key
  int32_t FileNumber = 0;   // number in the output file name
  int32_t FieldFormat = 0;  // output layout 0, 1 or 2
  int32_t SymX = 0, SymY = 0, SymZ = 0;  // output grid symmetry keys
  double Frequency = 0.0;      // RF frequency [Hz]
  double ElementLength = 0.0;  // z extent of the output grid [cm]
  double Aperture = 0.0;       // half x/y extent of the output grid [cm]
  int32_t ReverseZ = 0;        // 0: table rows in increasing z
  double FieldScale = 0.0;     // factor applied to all fields unless 1

  // ---- physical constants ----
  double pi = 0.0;    //
  double c = 0.0;     // speed of light [m/s]
  double mu0 = 0.0;   // [T*m/A]
  double mu1 = 0.0;   // [Gs*m/A]: H in A/m to B in Gauss
  double eps0 = 0.0;  // [F/m]
  double omeg = 0.0;  // angular frequency [rad/s]

  // ---- input map (field table, then symmetry completion) ----
  double Zmin = 0.0, Zmax = 0.0;  // [cm], centred on z = 0
  double Rmin = 0.0, Rmax = 0.0;  // [cm]
  int32_t Nr = 0, Nz = 0;         // node counts
  Map2D Er2D;                     // E_r [V/cm]
  Map2D Ez2D;                     // E_z [V/cm]
  Map2D B2D;                      // B_phi [Gauss]
  Coord1D Rgrid;                  // r of node i [cm]
  Coord1D Zgrid;                  // z of node j [cm]

  // ---- output grid ----
  double XminOut = 0.0, XmaxOut = 0.0;
  double YminOut = 0.0, YmaxOut = 0.0;
  double ZminOut = 0.0, ZmaxOut = 0.0;
  double DxOut = 0.0, DyOut = 0.0, DzOut = 0.0;  // steps [cm]
  OutCoord<kNx> XOut;
  OutCoord<kNy> YOut;
  OutCoord<kNzOut> ZOut;

  // ---- output fields (resampled map) ----
  Field3D Ex3D, Ey3D, Ez3D;  // [V/cm]
  Field3D Bx3D, By3D, Bz3D;  // [Gauss]

  // ---- output file ----
  std::string OutFileName = std::string(80, ' ');  // 80 chars, blank-padded
  int32_t HeaderInt = 0;   // header integer of layouts 0 and 1
  int32_t EndMarker = 0;   // end marker of layouts 0 and 1 (-99)

  // ---- channels ----
  TextOut log{8, "zereduv.log", LineEnd::CrLf};          // unit 8
  TextOut console{6, "standard output", LineEnd::Lf};    // unit 6
  TextOut errout{0, "standard error", LineEnd::Lf};      // unit 0: warnings

  /// Path of a file of the run, by its name in the working directory.
  std::filesystem::path path(std::string_view name) const {
    return WorkDir / std::filesystem::path(std::string(name));
  }
};

/// A name held blank-padded in a fixed text field, without its trailing blanks.
std::string_view trimmed(std::string_view s);

}  // namespace zereduv
