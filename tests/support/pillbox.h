// The TM010 mode of a pillbox cavity in closed form: the one analytic field
// the tests make tables of and check the program's results against.
#pragma once

#include <cmath>
#include <numbers>

namespace zereduv::testing {

inline constexpr double kC = 299792458.0;       // speed of light [m/s]
inline constexpr double kEta0 = 376.730313668;  // impedance of free space [ohm]
inline constexpr double kJ01 = 2.404825557695773;  // first zero of J0

/// TM010 of a pillbox that resonates at `frequency` [Hz] with the on-axis
/// field `e0` [MV/m]: Ez = e0 J0(kr) [MV/m] and H = (e0 1e6 / eta0) J1(kr)
/// [A/m], k = 2 pi f / c; the wall stands where J0 has its first zero.
struct PillboxMode {
  double frequency;  // [Hz]
  double e0 = 1.0;   // [MV/m]

  double k() const { return 2.0 * std::numbers::pi * frequency / kC; }  // [1/m]
  double radius_cm() const { return 100.0 * kJ01 / k(); }
  double ez(double r_cm) const {
    return e0 * std::cyl_bessel_j(0.0, k() * r_cm / 100.0);
  }
  double h(double r_cm) const {
    return 1e6 * e0 / kEta0 * std::cyl_bessel_j(1.0, k() * r_cm / 100.0);
  }
};

}  // namespace zereduv::testing
