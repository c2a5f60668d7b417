// Energy gain and transit-time factor on the axis: the on-axis field Ez(z),
// taken as linear between the nodes, integrated against the phase of a
// particle of velocity beta*c that crosses the map.
#pragma once

#include <complex>
#include <span>
#include <vector>

namespace zereduv::inspect {

/// |integral Ez(z) exp(i omega z / (beta c)) dz| for Ez linear between the
/// nodes z (ascending, [m]) with values ez: the gain in volts per unit
/// charge at the best phase, in the unit of ez times metres.
double axis_gain(std::span<const double> z, std::span<const double> ez,
                 double omega, double beta, double c);

/// integral Ez(z) exp(i omega (z - z[0]) / (beta c)) dz: its magnitude is
/// axis_gain, and minus its argument the phase phi of Ez cos(omega t + phi)
/// at which a particle entering at z[0] at t = 0 gains the most (the crest).
std::complex<double> axis_phasor(std::span<const double> z,
                                 std::span<const double> ez, double omega,
                                 double beta, double c);

/// integral |Ez| dz over the same piecewise-linear Ez (the voltage that a
/// particle would gain if it always saw the crest).
double axis_voltage(std::span<const double> z, std::span<const double> ez);

struct GainPoint {
  double beta = 0;
  double gain = 0;  // axis_gain
  double T = 0;     // gain / axis_voltage
};

/// The gain at each beta of `betas`.
std::vector<GainPoint> gain_table(std::span<const double> z,
                                  std::span<const double> ez, double omega,
                                  double c, std::span<const double> betas);

/// The beta in [lo, hi] of the largest gain, found on a grid of steps of
/// 0.001 and refined by golden-section search around the best grid point.
GainPoint best_gain(std::span<const double> z, std::span<const double> ez,
                    double omega, double c, double lo = 0.05, double hi = 1.0);

}  // namespace zereduv::inspect
