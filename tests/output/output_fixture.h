// Helpers shared by the output tests: a run state with a known output grid
// and field arrays whose every value tells where it came from.
#pragma once

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "run/run_state.h"

namespace zereduv::output_test {

inline std::unique_ptr<RunState> new_state() {
  return std::make_unique<RunState>();
}

/// A value unique to component k (1..6) at node (ix, iy, iz); the B
/// components are negative so signs are exercised too.
inline double tag(int k, int32_t ix, int32_t iy, int32_t iz) {
  const double v = 1000.0 * k + ix + iy / 100.0 + iz / 100000.0;
  return k > 3 ? -v : v;
}

inline void fill_tagged(RunState& s) {
  Field3D* f[6] = {&s.Ex3D, &s.Ey3D, &s.Ez3D, &s.Bx3D, &s.By3D, &s.Bz3D};
  for (int k = 1; k <= 6; ++k) {
    for (int32_t iz = 1; iz <= kNzOut; ++iz) {
      for (int32_t iy = 1; iy <= kNy; ++iy) {
        for (int32_t ix = 1; ix <= kNx; ++ix) {
          (*f[k - 1])(ix, iy, iz) = tag(k, ix, iy, iz);
        }
      }
    }
  }
}

/// A grid as the control file would give it: coordinates from the index.
inline void set_grid(RunState& s, double element_length, double aperture,
                     int32_t symx, int32_t symy, int32_t symz) {
  s.ElementLength = element_length;
  s.Aperture = aperture;
  s.SymX = symx;
  s.SymY = symy;
  s.SymZ = symz;
  s.XminOut = symx != 0 ? 0.0 : -aperture;
  s.XmaxOut = aperture;
  s.YminOut = symy != 0 ? 0.0 : -aperture;
  s.YmaxOut = aperture;
  s.ZminOut = symz != 0 ? 0.0 : -(element_length / 2.0);
  s.ZmaxOut = element_length / 2.0;
  for (int32_t i = 1; i <= kNx; ++i) {
    s.XOut(i) = s.XminOut + (s.XmaxOut - s.XminOut) * (i - 1) / 24.0;
    s.YOut(i) = s.YminOut + (s.YmaxOut - s.YminOut) * (i - 1) / 24.0;
  }
  for (int32_t i = 1; i <= kNzOut; ++i) {
    s.ZOut(i) = s.ZminOut + (s.ZmaxOut - s.ZminOut) * (i - 1) / 200.0;
  }
}

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream bytes;
  if (in)
    bytes << in.rdbuf();
  return std::move(bytes).str();
}

/// The lines of a text, split at `end` (the last line end closes the text).
inline std::vector<std::string> split_lines(const std::string& text,
                                            const std::string& end) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t e = text.find(end, pos);
    if (e == std::string::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, e - pos));
    pos = e + end.size();
  }
  return lines;
}

/// Little-endian numbers read byte by byte, whatever the host.
inline uint64_t le_bytes(const std::string& b, std::size_t at, int n) {
  uint64_t u = 0;
  for (int k = n - 1; k >= 0; --k) {
    u = (u << 8) |
        static_cast<unsigned char>(b[at + static_cast<std::size_t>(k)]);
  }
  return u;
}
inline int32_t le_i32(const std::string& b, std::size_t at) {
  return static_cast<int32_t>(static_cast<uint32_t>(le_bytes(b, at, 4)));
}
inline double le_f64(const std::string& b, std::size_t at) {
  return std::bit_cast<double>(le_bytes(b, at, 8));
}

/// Names in a directory.
inline std::vector<std::string> dir_names(const std::filesystem::path& d) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(d)) {
    names.push_back(e.path().filename().string());
  }
  return names;
}

/// A run state that writes field file `number` in layout `format` into
/// `dir`, where the field file of an older run with that number stands.
inline std::unique_ptr<RunState> state_over_older_file(
    const std::filesystem::path& dir, int32_t number, int32_t format) {
  auto s = new_state();
  s->WorkDir = dir;
  s->FileNumber = number;
  s->FieldFormat = format;
  const std::string name = number < 10 ? "eh_ZIV.#0" + std::to_string(number)
                                       : "eh_ZIV.#" + std::to_string(number);
  std::ofstream(dir / name) << "older run";
  return s;
}

/// True when the older run's field file `name` is all that `dir` holds, as
/// it was before.
inline bool older_file_alone(const std::filesystem::path& dir,
                             const std::string& name) {
  return slurp(dir / name) == "older run" && dir_names(dir).size() == 1;
}

}  // namespace zereduv::output_test
