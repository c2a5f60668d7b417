#include "field/eb2d_appr.h"

namespace zereduv {

namespace {

// Centre node of the 3 x 3 block from the position t = (x - x(1) - d/2) / d,
// counted in steps from halfway between the first two nodes: trunc(t) + 2,
// moved inward to [2, n - 1] so that both neighbours are nodes of the map.
// The conversion to int is only made for -1 < t < n, where it cannot
// overflow; anything beyond (a far point on an uneven grid, a zero step,
// NaN) lands on the clamp it would have reached anyway, NaN on node 2.
int32_t centre_node(double t, int32_t n) {
  int32_t i = 2;
  if (t >= static_cast<double>(n)) {
    i = n - 1;
  } else if (t > -1.0) {
    i = static_cast<int32_t>(t) + 2;
  }
  if (i < 2) i = 2;
  if (i >= n) i = n - 1;
  return i;
}

}  // namespace

void EB2D_APPR(const RunState& s, double r, double z, std::array<double, 3>& E,
               std::array<double, 3>& B) {
  // 1. Zero fields unless the point is inside.
  E = {0.0, 0.0, 0.0};
  B = {0.0, 0.0, 0.0};

  // The stencil needs three nodes in each direction; a smaller map has no
  // second-order field anywhere.
  if (s.Nr < 3 || s.Nz < 3) return;

  // 2. Range test, bounds inclusive.  Written as "inside" so that a NaN
  // coordinate fails it and gets zero fields.
  const bool inside = s.Rgrid(1) <= r && r <= s.Rgrid(s.Nr) &&
                      s.Zgrid(1) <= z && z <= s.Zgrid(s.Nz);
  if (!inside) return;

  // 3. Steps from the first two nodes.
  const double dr = s.Rgrid(2) - s.Rgrid(1);
  const double dz = s.Zgrid(2) - s.Zgrid(1);

  // 4., 5. Centre node: the nearest node, kept off the border.
  const int32_t ir = centre_node((r - s.Rgrid(1) - dr / 2.0) / dr, s.Nr);
  const int32_t iz = centre_node((z - s.Zgrid(1) - dz / 2.0) / dz, s.Nz);

  // 6. Offsets from the centre node in steps (reach +-1 in the border cells).
  const double p = (r - s.Rgrid(ir)) / dr;
  const double q = (z - s.Zgrid(iz)) / dz;

  // 7. Weights of the second-order Taylor expansion about the centre node.
  const double w0 = 1.0 - p * p - q * q;
  const double wrp = (p + p * p) / 2.0;
  const double wrm = (p * p - p) / 2.0;
  const double wzp = (q + q * q) / 2.0;
  const double wzm = (q * q - q) / 2.0;
  const double wc = p * q / 4.0;

  // 8. Nine-point formula, the same block and weights for every component.
  auto F = [&](const Map2D& A) {
    return w0 * A(ir, iz) + wrp * A(ir + 1, iz) + wrm * A(ir - 1, iz) +
           wzp * A(ir, iz + 1) + wzm * A(ir, iz - 1) +
           wc * (A(ir + 1, iz + 1) + A(ir - 1, iz - 1) - A(ir - 1, iz + 1) -
                 A(ir + 1, iz - 1));
  };

  // 9. Only E_r, E_z and B_phi exist in the cavity mode.
  E[0] = F(s.Er2D);
  E[2] = F(s.Ez2D);
  B[1] = F(s.B2D);
}

}  // namespace zereduv
