// Field tables for the reader's tests: a self-cleaning scratch directory to
// put them in, and builders for tables in the layout the field solver's
// post-processor writes.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "run/run_state.h"
#include "support/pillbox.h"

namespace zereduv::test {

/// A fresh directory under the system temporary directory, removed with
/// everything in it when the object goes.
class InputScratchDir {
 public:
  InputScratchDir() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto p = base / ("zereduv-input-" + std::to_string(rd()));
      if (std::filesystem::create_directory(p)) {
        path_ = p;
        return;
      }
    }
    throw std::runtime_error("no scratch directory could be made");
  }
  ~InputScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  InputScratchDir(const InputScratchDir&) = delete;
  InputScratchDir& operator=(const InputScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  /// Writes `content` byte for byte to the file `name` in the directory.
  void write(const std::string& name, std::string_view content) const {
    std::ofstream f(path_ / name, std::ios::binary);
    f.write(content.data(), static_cast<std::streamsize>(content.size()));
  }

 private:
  std::filesystem::path path_;
};

/// `name` in the blank-padded 80-character form of FieldFileName.
inline std::string field_file_name(std::string_view name) {
  std::string s(name);
  s.resize(80, ' ');
  return s;
}

/// A run state for reader tests: the table `name` in `dir`, the map's
/// symmetry key, and mu1 = 2 so that B in Gauss is twice H in A/m.
inline std::unique_ptr<RunState> table_run(const InputScratchDir& dir,
                                           std::string_view name,
                                           int32_t isym_z = 0) {
  auto s = std::make_unique<RunState>();
  s->WorkDir = dir.path();
  s->FieldFileName = field_file_name(name);
  s->isym_z = isym_z;
  s->mu1 = 2.0;
  return s;
}

/// Shortest decimal text of a value.
inline std::string g(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

/// Exponent form as the post-processor prints fields: 1.234567E+00.
inline std::string e6(double v) {
  char buf[32];
  auto r =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 6);
  std::string s(buf, r.ptr);
  for (char& c : s) {
    if (c == 'e')
      c = 'E';
  }
  return s;
}

/// Six columns of one node record.
struct Sf7Node {
  double z, r, ez, er, e_abs, h;
};

/// The parts of a table header, with the real tables' defaults.
struct Sf7Header {
  std::vector<std::string> preamble = {
      "Program SF7  7.17  released 1-13-2006 ",
      "Electromagnetic fields for a rectangular area with corners at:"};
  std::string limits_a;  // "(Zmin,Rmin) = (...)"
  std::string limits_b;  // "(Zmax,Rmax) = (...)"
  std::string counts;    // "Z and R increments:" and two I6 fields
  std::vector<std::string> before_titles = {""};
  std::string titles =
      "      Z             R              Ez            Er            |E|    "
      "       H ";
  std::string units =
      "    (cm)          (cm)           (MV/m)        (MV/m)        (MV/m)  "
      "      (A/m) ";
  /// The node records in right-justified columns (z, r fixed with five
  /// decimals, the fields in exponent form) instead of blank-separated
  /// shortest text.
  bool columns = false;
  std::vector<std::string> after_nodes = {"", "Table ends here."};
  // The grid the limits and counts announce, where sf7_table puts the
  // records whose Z or R is NaN (in decreasing z when decreasing_z).
  double zmin = 0, rmin = 0, zmax = 0, rmax = 0;
  int64_t z_intervals = 0, r_intervals = 0;
  bool decreasing_z = false;
};

/// A six-character integer field, right-justified (I6).
inline std::string i6(int64_t v) {
  std::string s = std::to_string(v);
  return s.size() >= 6 ? s : std::string(6 - s.size(), ' ') + s;
}

/// The usual header for limits and interval counts, glued ")" included.
inline Sf7Header sf7_header(double zmin, double rmin, double zmax, double rmax,
                            int64_t z_intervals, int64_t r_intervals) {
  Sf7Header h;
  h.limits_a = "(Zmin,Rmin) = (" + g(zmin) + "," + g(rmin) + ")";
  h.limits_b = "(Zmax,Rmax) = (" + g(zmax) + "," + g(rmax) + ")";
  h.counts = "Z and R increments:" + i6(z_intervals) + i6(r_intervals);
  h.zmin = zmin;
  h.rmin = rmin;
  h.zmax = zmax;
  h.rmax = rmax;
  h.z_intervals = z_intervals;
  h.r_intervals = r_intervals;
  return h;
}

inline std::string node_record(const Sf7Node& n) {
  return "  " + g(n.z) + "  " + g(n.r) + "  " + e6(n.ez) + "  " + e6(n.er) +
         "  " + e6(n.e_abs) + "  " + e6(n.h);
}

/// Fixed form with five decimals: 1.50000.
inline std::string f5(double v) {
  char buf[48];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 5);
  return std::string(buf, r.ptr);
}

/// `s` right-justified in `w` characters.
inline std::string right(std::string s, std::size_t w) {
  if (s.size() < w)
    s.insert(0, w - s.size(), ' ');
  return s;
}

/// A node record in columns: z and r in 10 and 14 characters, the fields
/// in 18, 14, 14 and 14.
inline std::string column_record(const Sf7Node& n) {
  return right(f5(n.z), 10) + right(f5(n.r), 14) + right(e6(n.ez), 18) +
         right(e6(n.er), 14) + right(e6(n.e_abs), 14) + right(e6(n.h), 14);
}

/// A whole table: header, then nz x nr node records, z fastest; `node(i, n)`
/// gives the n-th record (1-based, in file order) of r row i; a NaN Z or R
/// is replaced by the coordinate of the node the header puts it at.  `eol` is
/// the record end ("\r\n" like the Windows tables, or "\n").
inline std::string sf7_table(
    const Sf7Header& h, int32_t nr, int32_t nz,
    const std::function<Sf7Node(int32_t, int32_t)>& node,
    std::string_view eol = "\r\n") {
  std::string t;
  auto line = [&](std::string_view l) {
    t += l;
    t += eol;
  };
  for (const auto& l : h.preamble)
    line(l);
  line(h.limits_a);
  line(h.limits_b);
  line(h.counts);
  for (const auto& l : h.before_titles)
    line(l);
  line(h.titles);
  line(h.units);
  const double dz = h.z_intervals > 0
                        ? (h.zmax - h.zmin) / static_cast<double>(h.z_intervals)
                        : 0.0;
  const double dr = h.r_intervals > 0
                        ? (h.rmax - h.rmin) / static_cast<double>(h.r_intervals)
                        : 0.0;
  for (int32_t i = 1; i <= nr; ++i) {
    for (int32_t n = 1; n <= nz; ++n) {
      Sf7Node v = node(i, n);
      if (std::isnan(v.z))
        v.z = h.decreasing_z ? h.zmax - (n - 1) * dz : h.zmin + (n - 1) * dz;
      if (std::isnan(v.r))
        v.r = h.rmin + (i - 1) * dr;
      line(h.columns ? column_record(v) : node_record(v));
    }
  }
  for (const auto& l : h.after_nodes)
    line(l);
  return t;
}

/// Node values that say where they stand: Ez = 100 i + n, Er = -(100 i + n)
/// (MV/m), H = 1000 i + n (A/m); |E| holds a number the reader must
/// ignore, Z and R the node's coordinates (filled in by sf7_table).
inline Sf7Node tagged_node(int32_t i, int32_t n) {
  const double t = 100.0 * i + n;
  const double place = std::numeric_limits<double>::quiet_NaN();
  return {place, place, t, -t, 123456.0, 1000.0 * i + n};
}

// ---- tables for end-to-end runs ---------------------------------------

/// The TM010 mode of a long pillbox cavity (radius 4.0175 cm, about
/// 2856 MHz), tabled like a post-processor output with 1200 z intervals
/// (z 0 .. 12 cm) and 20 r intervals (r 0 .. 3 cm), in cm, CR LF.
/// Ez = E0 J0(kr) with E0 = 1 MV/m and H = (E0 / Z0) J1(kr) in A/m, the
/// sign the field solver writes (opposite to the program's convention, so
/// the Maxwell check switches one sign). Frequency: `kPillbox1200Frequency`.
inline constexpr double kPillbox1200Radius = 4.0175;  // cm
inline constexpr double kPillbox1200Frequency =
    testing::kJ01 * testing::kC /
    (2.0 * 3.14159265358979323846 * kPillbox1200Radius / 100.0);  // Hz

inline std::string pillbox_table_1200() {
  constexpr int32_t kZi = 1200, kRi = 20;
  const testing::PillboxMode mode{kPillbox1200Frequency};
  const Sf7Header h = sf7_header(0.0, 0.0, 12.0, 3.0, kZi, kRi);
  return sf7_table(h, kRi + 1, kZi + 1, [&](int32_t i, int32_t n) {
    const double r = 3.0 * (i - 1) / kRi;
    const double z = 12.0 * (n - 1) / kZi;
    const double ez = mode.ez(r);
    return Sf7Node{z, r, ez, 0.0, ez, mode.h(r)};
  });
}

/// An electrostatic table of the kind the static solver's post-processor
/// writes: limits "(Rmin,Zmin)", counts "R and Z increments:", columns
/// R Z Er Ez |E| V.  The program must refuse it rather than read r as z.
inline std::string poisson_table() {
  Sf7Header h;
  h.preamble = {"Program SF7  7.17  released 1-13-2006 ",
                "Electrostatic fields for a rectangular area with corners at:"};
  h.limits_a = "(Rmin,Zmin) = (0.0,0.0)";
  h.limits_b = "(Rmax,Zmax) = (2,4)";
  h.counts = "R and Z increments:" + i6(10) + i6(20);
  h.titles =
      "      R             Z              Er            Ez            |E|    "
      "       V ";
  h.units =
      "    (cm)          (cm)           (V/cm)        (V/cm)        (V/cm)  "
      "       (V) ";
  return sf7_table(h, 21, 11, [](int32_t i, int32_t n) {
    const double z = 0.2 * (i - 1), r = 0.2 * (n - 1);
    return Sf7Node{r, z, 50.0 * r, 100.0, 100.0, 100.0 * z};
  });
}

}  // namespace zereduv::test
