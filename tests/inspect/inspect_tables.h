// Small field tables in the post-processor's text form, made in the tests
// from an analytic field, for the inspection tool's tests.
#pragma once

#include <charconv>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>

namespace zereduv::testing {

/// Ez, Er [MV/m] and H [A/m] at (z, r) in the table's length unit.
struct NodeField {
  double ez = 0, er = 0, h = 0;
};

struct TableSpec {
  double zmin = 0, zmax = 1, rmin = 0, rmax = 1;  // as written
  int z_intervals = 10, r_intervals = 10;
  bool mm = false;     // "(mm)" in the units record
  bool ezero = false;  // the two EZERO records before the blank record
  std::function<NodeField(double z, double r)> field;
};

inline std::string table_number(double v, bool sci) {
  char buf[48];
  auto r = sci ? std::to_chars(buf, buf + sizeof buf, v,
                               std::chars_format::scientific, 6)
               : std::to_chars(buf, buf + sizeof buf, v,
                               std::chars_format::fixed, 5);
  std::string s(buf, r.ptr);
  for (char& c : s)
    if (c == 'e')
      c = 'E';
  return s;
}

inline std::string right(std::string s, std::size_t w) {
  if (s.size() < w)
    s.insert(0, w - s.size(), ' ');
  return s;
}

/// The whole table text, CR LF line ends, r slowest.
inline std::string make_table(const TableSpec& t) {
  auto n = [](double v) { return table_number(v, false); };
  std::string o;
  o += "Test table made by the inspection tests\r\n";
  o += "\r\n";
  o += "Electromagnetic fields for a rectangular area with corners at:\r\n";
  o += "(Zmin,Rmin) = (" + n(t.zmin) + "," + n(t.rmin) + ")\r\n";
  o += "(Zmax,Rmax) = (" + n(t.zmax) + "," + n(t.rmax) + ")\r\n";
  o += "Z and R increments:" + right(std::to_string(t.z_intervals), 6) +
       right(std::to_string(t.r_intervals), 6) + "\r\n";
  if (t.ezero) {
    o += "EZERO computed by SFO =    0.10000E+07 MV/m\r\n";
    o += "Interpolated fields normalized to E0 =    0.10000E+07 MV/m\r\n";
  }
  o += "\r\n";
  o += "      Z             R              Ez            Er            |E|"
       "           H \r\n";
  const char* u = t.mm ? "(mm)" : "(cm)";
  o += std::string("    ") + u + "          " + u +
       "           (MV/m)        (MV/m)        (MV/m)        (A/m) \r\n";
  for (int i = 0; i <= t.r_intervals; ++i) {
    double r = t.rmin + i * (t.rmax - t.rmin) / t.r_intervals;
    for (int j = 0; j <= t.z_intervals; ++j) {
      double z = t.zmin + j * (t.zmax - t.zmin) / t.z_intervals;
      NodeField f = t.field(z, r);
      double e = std::sqrt(f.ez * f.ez + f.er * f.er);
      o += right(n(z), 10) + right(n(r), 14) +
           right(table_number(f.ez, true), 18) +
           right(table_number(f.er, true), 14) +
           right(table_number(e, true), 14) +
           right(table_number(f.h, true), 14) + "\r\n";
    }
  }
  o += "\r\n";
  return o;
}

inline constexpr double kC = 299792458.0;
inline constexpr double kEta0 = 376.730313668;  // impedance of free space [ohm]
inline constexpr double kJ0Zero = 2.404825557695773;

/// TM010 pillbox: Ez = E0 J0(kr), Er = 0, H = +(E0/eta0) J1(kr) (the
/// solver's time phase), lengths in cm; radius the first zero of J0.
inline TableSpec pillbox(double f_hz, double length_cm, int nz, int nr,
                         double e0 = 1.0) {
  const double k = 2.0 * std::numbers::pi * f_hz / kC;  // [1/m]
  TableSpec t;
  t.zmin = 0;
  t.zmax = length_cm;
  t.rmin = 0;
  t.rmax = 100.0 * kJ0Zero / k;
  t.z_intervals = nz;
  t.r_intervals = nr;
  t.field = [k, e0](double, double r_cm) {
    double kr = k * r_cm / 100.0;
    return NodeField{e0 * std::cyl_bessel_j(0.0, kr), 0.0,
                     1e6 * e0 / kEta0 * std::cyl_bessel_j(1.0, kr)};
  };
  return t;
}

}  // namespace zereduv::testing
