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
                    double omega, double c, std::span<const GainPoint> table) {
  GainPoint p;
  if (table.empty())
    return p;
  auto g = [&](double b) { return axis_gain(z, ez, omega, b, c); };
  // The best point of the table, then Brent's search (parabolic steps,
  // golden-section steps where a parabola does not help) for the largest
  // gain between its two neighbours, starting from it.
  std::size_t k = 0;
  for (std::size_t n = 1; n < table.size(); ++n)
    if (table[n].gain > table[k].gain)
      k = n;
  double a = table[k > 0 ? k - 1 : k].beta;
  double b = table[k + 1 < table.size() ? k + 1 : k].beta;
  double x = table[k].beta, w = x, v = x;
  double fx = -table[k].gain, fw = fx, fv = fx;  // minimised: the negated gain
  double d = 0.0, e = 0.0;
  constexpr double kGolden = 0.3819660112501051;
  constexpr double kTol = 1e-8;
  for (std::size_t it = 0; it < kMaxRefinements && b > a; ++it) {
    const double xm = 0.5 * (a + b);
    const double tol1 = kTol * std::abs(x) + 1e-12, tol2 = 2.0 * tol1;
    if (std::abs(x - xm) <= tol2 - 0.5 * (b - a))
      break;
    bool golden = true;
    if (std::abs(e) > tol1) {
      double r = (x - w) * (fx - fv);
      double q = (x - v) * (fx - fw);
      double pp = (x - v) * q - (x - w) * r;
      q = 2.0 * (q - r);
      if (q > 0.0)
        pp = -pp;
      q = std::abs(q);
      const double e_before = e;
      e = d;
      if (std::abs(pp) < std::abs(0.5 * q * e_before) && pp > q * (a - x) &&
          pp < q * (b - x)) {
        d = pp / q;
        const double u = x + d;
        if (u - a < tol2 || b - u < tol2)
          d = std::copysign(tol1, xm - x);
        golden = false;
      }
    }
    if (golden) {
      e = x >= xm ? a - x : b - x;
      d = kGolden * e;
    }
    const double u = std::abs(d) >= tol1 ? x + d : x + std::copysign(tol1, d);
    const double fu = -g(u);
    if (fu <= fx) {
      (u >= x ? a : b) = x;
      v = w, fv = fw;
      w = x, fw = fx;
      x = u, fx = fu;
    } else {
      (u < x ? a : b) = u;
      if (fu <= fw || w == x) {
        v = w, fv = fw;
        w = u, fw = fu;
      } else if (fu <= fv || v == x || v == w) {
        v = u, fv = fu;
      }
    }
  }
  p.beta = x;
  p.gain = -fx;
  const double v0 = axis_voltage(z, ez);
  p.T = v0 > 0.0 ? p.gain / v0 : 0.0;
  return p;
}

GainPoint best_gain(std::span<const double> z, std::span<const double> ez,
                    double omega, double c) {
  std::vector<double> betas;
  for (int n = 1; n <= 20; ++n)
    betas.push_back(n / 20.0);
  return best_gain(z, ez, omega, c, gain_table(z, ez, omega, c, betas));
}

}  // namespace zereduv::inspect
