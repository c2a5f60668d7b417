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
  if (i < 2)
    i = 2;
  if (i >= n)
    i = n - 1;
  return i;
}

// Steps 2 to 7 for one coordinate x on nodes g(1..n): the range test, the
// step from the first two nodes, the centre node and the offset in steps
// with the two weights that depend on it alone.
template <class Grid>
MapOffset locate(const Grid& g, int32_t n, double x) {
  MapOffset o;
  // Written as "inside" so that a NaN coordinate fails it.
  o.inside = g(1) <= x && x <= g(n);
  if (!o.inside)
    return o;
  const double d = g(2) - g(1);
  o.node = centre_node((x - g(1) - d / 2.0) / d, n);
  o.t = (x - g(o.node)) / d;
  o.tt = o.t * o.t;
  o.plus = (o.t + o.tt) / 2.0;
  o.minus = (o.tt - o.t) / 2.0;
  return o;
}

}  // namespace

MapOffset locate_r(const RunState& s, double r) {
  // The stencil needs three nodes in each direction; a smaller map has no
  // second-order field anywhere.
  if (s.Nr < 3 || s.Nz < 3)
    return {};
  return locate(s.Rgrid, s.Nr, r);
}

MapOffset locate_z(const RunState& s, double z) {
  if (s.Nr < 3 || s.Nz < 3)
    return {};
  return locate(s.Zgrid, s.Nz, z);
}

void eb2d_at(const RunState& s, const MapOffset& rr, const MapOffset& zz,
             std::array<double, 3>& E, std::array<double, 3>& B) {
  // Zero fields unless the point is inside.
  E = {0.0, 0.0, 0.0};
  B = {0.0, 0.0, 0.0};
  if (!rr.inside || !zz.inside)
    return;
  const int32_t ir = rr.node, iz = zz.node;

  // Weights of the second-order Taylor expansion about the centre node:
  // w0 = 1 - p^2 - q^2, wr+- and wz+- from each offset alone, wc = p q / 4.
  const double w0 = 1.0 - rr.tt - zz.tt;
  const double wrp = rr.plus;
  const double wrm = rr.minus;
  const double wzp = zz.plus;
  const double wzm = zz.minus;
  const double wc = rr.t * zz.t / 4.0;

  // Nine-point formula, the same block and weights for every component.
  auto F = [&](const Map2D& A) {
    return w0 * A(ir, iz) + wrp * A(ir + 1, iz) + wrm * A(ir - 1, iz) +
           wzp * A(ir, iz + 1) + wzm * A(ir, iz - 1) +
           wc * (A(ir + 1, iz + 1) + A(ir - 1, iz - 1) - A(ir - 1, iz + 1) -
                 A(ir + 1, iz - 1));
  };

  // Only E_r, E_z and B_phi exist in the cavity mode.
  E[0] = F(s.Er2D);
  E[2] = F(s.Ez2D);
  B[1] = F(s.B2D);
}

void EB2D_APPR(const RunState& s, double r, double z, std::array<double, 3>& E,
               std::array<double, 3>& B) {
  // 2.-6. Where r and z lie on the map (zero fields outside it), then 7.-9.
  eb2d_at(s, locate_r(s, r), locate_z(s, z), E, B);
}

}  // namespace zereduv
