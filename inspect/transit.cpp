#include "transit.h"

#include <cmath>
#include <complex>

namespace zereduv::inspect {

// The sine, cosine and arc tangent below are the program's own: series
// in plain additions and multiplications, which every IEEE machine rounds
// alike, so that gains, transit-time factors and crest phases have the same
// digits on every system (the systems' maths libraries differ in the last
// bits).  They are accurate to a few units in the last place for the
// phases a map gives (|x| up to about 1e5).

namespace {

// pi/2 in two parts: the first with zeros in its low 20 bits, so that
// k * kPio2Hi is exact for the k the phases give, the second the rest.
constexpr double kPio2Hi = 1.5707963267341256e+00;
constexpr double kPio2Lo = 6.0771005065061922e-11;
constexpr double kTwoOverPi = 6.3661977236758138e-01;

// sin and cos of r, |r| <= pi/4, by their Taylor series (the last terms
// are below 2e-19 there).
double sin_series(double r) {
  const double r2 = r * r;
  double sum = 0.0;
  // 1/3!, 1/5!, ... 1/19!, alternating, summed from the smallest term.
  constexpr double c[] = {-1.0 / 6.0,
                          1.0 / 120.0,
                          -1.0 / 5040.0,
                          1.0 / 362880.0,
                          -1.0 / 39916800.0,
                          1.0 / 6227020800.0,
                          -1.0 / 1307674368000.0,
                          1.0 / 355687428096000.0,
                          -1.0 / 121645100408832000.0};
  for (int n = 8; n >= 0; --n)
    sum = (sum + c[n]) * r2;
  return r + r * sum;
}

double cos_series(double r) {
  const double r2 = r * r;
  double sum = 0.0;
  constexpr double c[] = {-1.0 / 2.0,
                          1.0 / 24.0,
                          -1.0 / 720.0,
                          1.0 / 40320.0,
                          -1.0 / 3628800.0,
                          1.0 / 479001600.0,
                          -1.0 / 87178291200.0,
                          1.0 / 20922789888000.0,
                          -1.0 / 6402373705728000.0};
  for (int n = 8; n >= 0; --n)
    sum = (sum + c[n]) * r2;
  return 1.0 + sum;
}

}  // namespace

void stable_sincos(double x, double& s, double& c) {
  const double k = std::floor(x * kTwoOverPi + 0.5);
  const double r = (x - k * kPio2Hi) - k * kPio2Lo;
  const double sr = sin_series(r), cr = cos_series(r);
  const double q = k - 4.0 * std::floor(k / 4.0);  // k mod 4, exactly
  if (q == 0.0) {
    s = sr, c = cr;
  } else if (q == 1.0) {
    s = cr, c = -sr;
  } else if (q == 2.0) {
    s = -sr, c = -cr;
  } else {
    s = -cr, c = sr;
  }
}

double stable_atan2(double y, double x) {
  constexpr double kPi = 3.14159265358979311600e+00;
  constexpr double kPio2 = 1.57079632679489655800e+00;
  constexpr double kPio6 = 5.23598775598298815658e-01;
  constexpr double kSqrt3 = 1.73205080756887719318e+00;
  constexpr double kTanPio12 = 2.67949192431122696e-01;
  if (x == 0.0 && y == 0.0)
    return 0.0;
  const double ax = std::fabs(x), ay = std::fabs(y);
  // atan(t), 0 <= t <= 1, reduced to |u| <= tan(pi/12) and its series.
  const bool swap = ay > ax;
  double t = swap ? ax / ay : ay / ax;
  double base = 0.0;
  if (t > kTanPio12) {
    t = (t * kSqrt3 - 1.0) / (t + kSqrt3);
    base = kPio6;
  }
  const double t2 = t * t;
  double sum = 0.0;
  for (int n = 14; n >= 1; --n) {
    const double term = (n % 2 == 0 ? 1.0 : -1.0) / (2.0 * n + 1.0);
    sum = (sum + term) * t2;
  }
  double a = base + (t + t * sum);
  if (swap)
    a = kPio2 - a;
  if (x < 0.0)
    a = kPi - a;
  return y < 0.0 ? -a : a;
}

namespace {

using cplx = std::complex<double>;

// exp(i theta), with the program's own sine and cosine.
cplx unit_phase(double theta) {
  double s = 0.0, c = 0.0;
  stable_sincos(theta, s, c);
  return {c, s};
}

// |z|: a square root, which IEEE rounds exactly, of the sum of squares.
double magnitude(cplx z) {
  return std::sqrt(z.real() * z.real() + z.imag() * z.imag());
}

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
  const cplx e = unit_phase(theta);
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
    sum += h * unit_phase(k * (z[n] - z[0])) * (ez[n] * A + ez[n + 1] * B);
  }
  return sum;
}

double axis_gain(std::span<const double> z, std::span<const double> ez,
                 double omega, double beta, double c) {
  return magnitude(axis_phasor(z, ez, omega, beta, c));
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
