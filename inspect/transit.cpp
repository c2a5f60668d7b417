#include "transit.h"

#include <cmath>
#include <complex>

namespace zereduv::inspect {

namespace {

using cplx = std::complex<double>;

/// Weights of the two end values of a linear segment in
/// integral_0^1 f(t) exp(i theta t) dt: f0 * A + f1 * B.
void segment_weights(double theta, cplx& A, cplx& B) {
  if (std::abs(theta) < 1e-2) {
    // Series of integral t^n e^{i theta t}: the closed form loses digits here.
    double t2 = theta * theta, t3 = t2 * theta, t4 = t2 * t2;
    cplx i1(0.5 - t2 / 8.0 + t4 / 144.0, theta / 3.0 - t3 / 30.0);  // of t
    cplx i0(1.0 - t2 / 6.0 + t4 / 120.0, theta / 2.0 - t3 / 24.0);  // of 1
    B = i1;
    A = i0 - i1;
    return;
  }
  const cplx it(0.0, theta);
  const cplx e = std::exp(it);
  const cplx i0 = (e - 1.0) / it;
  B = e / it - (e - 1.0) / (it * it);
  A = i0 - B;
}

}  // namespace

std::complex<double> axis_phasor(std::span<const double> z,
                                 std::span<const double> ez, double omega,
                                 double beta, double c) {
  const double k = omega / (beta * c);
  cplx sum(0.0, 0.0);
  for (std::size_t n = 0; n + 1 < z.size() && n + 1 < ez.size(); ++n) {
    double h = z[n + 1] - z[n];
    cplx A, B;
    segment_weights(k * h, A, B);
    sum += h * std::exp(cplx(0.0, k * (z[n] - z[0]))) *
           (ez[n] * A + ez[n + 1] * B);
  }
  return sum;
}

double axis_gain(std::span<const double> z, std::span<const double> ez,
                 double omega, double beta, double c) {
  return std::abs(axis_phasor(z, ez, omega, beta, c));
}

double axis_voltage(std::span<const double> z, std::span<const double> ez) {
  double v = 0.0;
  for (std::size_t n = 0; n + 1 < z.size() && n + 1 < ez.size(); ++n) {
    double h = z[n + 1] - z[n];
    double a = std::abs(ez[n]), b = std::abs(ez[n + 1]);
    if ((ez[n] >= 0) == (ez[n + 1] >= 0) || a + b == 0.0)
      v += h * (a + b) / 2.0;
    else  // the field changes sign inside the segment
      v += h * (a * a + b * b) / (2.0 * (a + b));
  }
  return v;
}

std::vector<GainPoint> gain_table(std::span<const double> z,
                                  std::span<const double> ez, double omega,
                                  double c, std::span<const double> betas) {
  const double v0 = axis_voltage(z, ez);
  std::vector<GainPoint> out;
  for (double beta : betas) {
    GainPoint p;
    p.beta = beta;
    p.gain = axis_gain(z, ez, omega, beta, c);
    p.T = v0 > 0.0 ? p.gain / v0 : 0.0;
    out.push_back(p);
  }
  return out;
}

GainPoint best_gain(std::span<const double> z, std::span<const double> ez,
                    double omega, double c, double lo, double hi) {
  auto g = [&](double b) { return axis_gain(z, ez, omega, b, c); };
  const double step = 0.001;
  double best_b = lo, best = g(lo);
  for (int n = 1; lo + n * step <= hi + 1e-12; ++n) {
    double b = lo + n * step;
    double v = g(b);
    if (v > best) {
      best = v;
      best_b = b;
    }
  }
  // Golden-section refinement inside the neighbouring grid cells.
  double a = std::max(lo, best_b - step), d = std::min(hi, best_b + step);
  const double r = 0.6180339887498949;
  double x1 = d - r * (d - a), x2 = a + r * (d - a);
  double f1 = g(x1), f2 = g(x2);
  for (int it = 0; it < 60; ++it) {
    if (f1 < f2) {
      a = x1;
      x1 = x2;
      f1 = f2;
      x2 = a + r * (d - a);
      f2 = g(x2);
    } else {
      d = x2;
      x2 = x1;
      f2 = f1;
      x1 = d - r * (d - a);
      f1 = g(x1);
    }
  }
  double xb = f1 > f2 ? x1 : x2, fb = std::max(f1, f2);
  if (fb < best) {
    xb = best_b;
    fb = best;
  }
  GainPoint p;
  p.beta = xb;
  p.gain = fb;
  double v0 = axis_voltage(z, ez);
  p.T = v0 > 0.0 ? fb / v0 : 0.0;
  return p;
}

}  // namespace zereduv::inspect
