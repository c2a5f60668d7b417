// Energy gain and transit-time factor on the axis: the on-axis field Ez(z),
// taken as linear between the nodes, integrated against the phase of a
// particle of velocity beta*c that crosses the map.
#pragma once

#include <complex>
#include <cstddef>
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

/// sin x and cos x, the same to the last bit on every system.
void stable_sincos(double x, double& s, double& c);

/// The argument of (x, y) in radians, in [-pi, pi], the same to the last
/// bit on every system.
double stable_atan2(double y, double x);

/// The argument of a phasor, as stable_atan2 gives it.
inline double stable_arg(std::complex<double> z) {
  return stable_atan2(z.imag(), z.real());
}

struct GainPoint {
  double beta = 0;
  double gain = 0;  // axis_gain
  double T = 0;     // gain / axis_voltage
};

/// The gain at each beta of `betas`.
std::vector<GainPoint> gain_table(std::span<const double> z,
                                  std::span<const double> ez, double omega,
                                  double c, std::span<const double> betas);

/// Gain evaluations the search below adds to its table: no more than the
/// table itself has points.
inline constexpr std::size_t kMaxRefinements = 20;

/// The beta of the largest gain: the best point of `table` (the gains on a
/// grid of betas, ascending), refined between its two neighbours by Brent's
/// search in at most kMaxRefinements evaluations.  A peak narrower than
/// the table's step that lies between two other points is not looked for.
GainPoint best_gain(std::span<const double> z, std::span<const double> ez,
                    double omega, double c, std::span<const GainPoint> table);
/// The same, from the table of the twenty betas 0.05, 0.10, ..., 1.00.
GainPoint best_gain(std::span<const double> z, std::span<const double> ez,
                    double omega, double c);

}  // namespace zereduv::inspect
