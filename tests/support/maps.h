// Small field maps built directly in a run state, as the reader and the
// symmetry completion would leave them, with the constants of the run start.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "run/control.h"
#include "run/run_state.h"

namespace zereduv::testing {

/// Sets Frequency, and pi, c, mu0, mu1, eps0 and omeg by the run's own
/// derivation.
inline void set_constants(RunState& s, double Frequency) {
  s.Frequency = Frequency;
  zereduv::set_constants(s, physical_constants(Frequency));
}

/// A run state holding an Nr x Nz map of zeros on the equally spaced grid
/// r = Rmin + (i - 1) dr, z = Zmin + (j - 1) dz, coordinates built as the
/// symmetry completion builds them.  Arrays sized exactly to the map, so a
/// read past the last node is caught by the sanitised build.
inline std::unique_ptr<RunState> make_map(int32_t Nr, int32_t Nz, double Rmin,
                                          double Rmax, double Zmin, double Zmax,
                                          double Frequency = 402.5e6) {
  auto s = std::make_unique<RunState>();
  set_constants(*s, Frequency);
  s->Nr = Nr;
  s->Nz = Nz;
  s->Rmin = Rmin;
  s->Rmax = Rmax;
  s->Zmin = Zmin;
  s->Zmax = Zmax;
  s->Er2D.allocate(Nr, Nz);
  s->Ez2D.allocate(Nr, Nz);
  s->B2D.allocate(Nr, Nz);
  s->Rgrid.allocate(Nr);
  s->Zgrid.allocate(Nz);
  const double dr = (Rmax - Rmin) / static_cast<double>(Nr - 1);
  const double dz = (Zmax - Zmin) / static_cast<double>(Nz - 1);
  for (int32_t i = 1; i <= Nr; ++i) {
    s->Rgrid(i) = static_cast<double>(i - 1) * dr + Rmin;
  }
  for (int32_t j = 1; j <= Nz; ++j) {
    s->Zgrid(j) = static_cast<double>(j - 1) * dz + Zmin;
  }
  return s;
}

/// Fills one component from a function of the node coordinates (r, z).
inline void fill(RunState& s, Map2D& A,
                 const std::function<double(double, double)>& f) {
  for (int32_t i = 1; i <= s.Nr; ++i) {
    for (int32_t j = 1; j <= s.Nz; ++j)
      A(i, j) = f(s.Rgrid(i), s.Zgrid(j));
  }
}

/// Fills one component from a function of the node indices (i, j).
inline void fill_nodes(RunState& s, Map2D& A,
                       const std::function<double(int32_t, int32_t)>& f) {
  for (int32_t i = 1; i <= s.Nr; ++i) {
    for (int32_t j = 1; j <= s.Nz; ++j)
      A(i, j) = f(i, j);
  }
}

/// The records of a log kept in memory, without their CR LF ends.
inline std::vector<std::string> log_lines(const RunState& s) {
  std::vector<std::string> lines;
  const std::string& m = s.log.memory();
  std::size_t pos = 0;
  while (pos < m.size()) {
    std::size_t end = m.find("\r\n", pos);
    if (end == std::string::npos)
      end = m.size();
    lines.push_back(m.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

}  // namespace zereduv::testing
