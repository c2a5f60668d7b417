// Small field tables in the post-processor's text form, made in the tests
// from an analytic field, for the inspection tool's tests.
#pragma once

#include <charconv>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>

#include "support/input_tables.h"
#include "support/pillbox.h"

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

/// A number as the table writes it: exponent form (1.234567E+00) or fixed
/// with five decimals.
inline std::string table_number(double v, bool sci) {
  return sci ? test::e6(v) : test::f5(v);
}

/// The whole table text, CR LF line ends, r slowest.
inline std::string make_table(const TableSpec& t) {
  test::Sf7Header h;
  h.preamble = {"Test table made by the inspection tests", "",
                "Electromagnetic fields for a rectangular area with corners "
                "at:"};
  h.limits_a =
      "(Zmin,Rmin) = (" + test::f5(t.zmin) + "," + test::f5(t.rmin) + ")";
  h.limits_b =
      "(Zmax,Rmax) = (" + test::f5(t.zmax) + "," + test::f5(t.rmax) + ")";
  h.counts =
      "Z and R increments:" + test::i6(t.z_intervals) + test::i6(t.r_intervals);
  h.before_titles = {""};
  if (t.ezero) {
    h.before_titles = {"EZERO computed by SFO =    0.10000E+07 MV/m",
                       "Interpolated fields normalized to E0 =    0.10000E+07 "
                       "MV/m",
                       ""};
  }
  if (t.mm) {
    h.units =
        "    (mm)          (mm)           (MV/m)        (MV/m)        (MV/m)  "
        "      (A/m) ";
  }
  h.columns = true;
  h.after_nodes = {""};
  return test::sf7_table(
      h, t.r_intervals + 1, t.z_intervals + 1, [&t](int32_t i, int32_t n) {
        const double r = t.rmin + (i - 1) * (t.rmax - t.rmin) / t.r_intervals;
        const double z = t.zmin + (n - 1) * (t.zmax - t.zmin) / t.z_intervals;
        const NodeField f = t.field(z, r);
        const double e = std::sqrt(f.ez * f.ez + f.er * f.er);
        return test::Sf7Node{z, r, f.ez, f.er, e, f.h};
      });
}

/// TM010 pillbox: Ez = E0 J0(kr), Er = 0, H = +(E0/eta0) J1(kr) (the
/// solver's time phase), lengths in cm; radius the first zero of J0.
inline TableSpec pillbox(double f_hz, double length_cm, int nz, int nr,
                         double e0 = 1.0) {
  const PillboxMode mode{f_hz, e0};
  TableSpec t;
  t.zmin = 0;
  t.zmax = length_cm;
  t.rmin = 0;
  t.rmax = mode.radius_cm();
  t.z_intervals = nz;
  t.r_intervals = nr;
  t.field = [mode](double, double r_cm) {
    return NodeField{mode.ez(r_cm), 0.0, mode.h(r_cm)};
  };
  return t;
}

}  // namespace zereduv::testing
