// Evaluation of the axially symmetric map at any point (r, z).
#pragma once

#include <array>

#include "run/run_state.h"

namespace zereduv {

/// E = (E_r, 0, E_z) [V/cm] and B = (0, B_phi, 0) [Gauss] at (r, z) [cm] by
/// the nine-point second-order formula on the 3 x 3 nodes around the nearest
/// node; all six components 0 outside the map (bounds inclusive).
void EB2D_APPR(const RunState& s, double r, double z, std::array<double, 3>& E,
               std::array<double, 3>& B);

/// EB2D_APPR in its two halves, for callers that evaluate many points on
/// few distinct r and z values (the resampling): where a coordinate lies on
/// the map (centre node, offset in steps and the offset's own weights), and
/// the nine-point formula from an r and a z location.  eb2d_at(s,
/// locate_r(s, r), locate_z(s, z), E, B) gives exactly the bits of
/// EB2D_APPR(s, r, z, E, B).
struct MapOffset {
  bool inside = false;  // within the node range, bounds inclusive
  int32_t node = 0;     // centre node ir or iz
  double t = 0.0;       // p or q
  double tt = 0.0;      // p * p or q * q
  double plus = 0.0;    // (t + t*t) / 2: weight of node + 1
  double minus = 0.0;   // (t*t - t) / 2: weight of node - 1
};
MapOffset locate_r(const RunState& s, double r);
MapOffset locate_z(const RunState& s, double z);
void eb2d_at(const RunState& s, const MapOffset& rr, const MapOffset& zz,
             std::array<double, 3>& E, std::array<double, 3>& B);

}  // namespace zereduv
