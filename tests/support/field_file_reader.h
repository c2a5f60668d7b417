// Reads a VELTA field file of any of the three layouts back into numbers,
// checking its framing (layout 0) or its line kinds and lengths (layouts 1
// and 2) against the program's description of the layouts on the way.  Any
// deviation throws std::runtime_error naming where.
#pragma once

#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "output/field_layout.h"
#include "support/run_program.h"

namespace zereduv::testing {

inline constexpr int kGx = kNx, kGy = kNy, kGz = kNzOut;
inline constexpr std::size_t kGridPoints = kOutPoints;
using zereduv::kLayout0Bytes;
using zereduv::kLayout1Bytes;
using zereduv::kLayout2Bytes;
using zereduv::layout_bytes;

enum Component { kEx, kEy, kEz, kBx, kBy, kBz };

struct FieldFileData {
  double element_length = 0, aperture = 0;  // layouts 0 and 1
  int32_t header = 1, end_marker = 0;       // layouts 0 and 1
  int32_t sym[3] = {0, 0, 0};
  double lim[3][2] = {};                 // layout 2: min, max per axis
  int32_t counts[3] = {0, 0, 0};         // layout 2
  std::vector<double> x, y, z;           // layouts 0 and 1
  std::array<std::vector<double>, 6> f;  // Ex, Ey, Ez, Bx, By, Bz

  /// Component c at 1-based grid node (ix, iy, iz).
  double at(Component c, int ix, int iy, int iz) const {
    return f[c][static_cast<std::size_t>((ix - 1) +
                                         kGx * ((iy - 1) + kGy * (iz - 1)))];
  }
};

namespace detail {

inline std::runtime_error bad(const std::string& what) {
  return std::runtime_error("field file: " + what);
}

// ---- layout 0 ----

struct Cursor {
  const std::string& b;
  std::size_t pos = 0;
  uint32_t u32() {
    if (pos + 4 > b.size())
      throw bad("truncated at byte " + std::to_string(pos));
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
      v = (v << 8) |
          static_cast<unsigned char>(b[pos + static_cast<std::size_t>(k)]);
    pos += 4;
    return v;
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  double f64() {
    const uint64_t lo = u32();
    const uint64_t hi = u32();
    return std::bit_cast<double>(lo | (hi << 32));
  }
  // Opens a record of `len` data bytes; returns the position of its end.
  std::size_t open(uint32_t len) {
    const uint32_t got = u32();
    if (got != len) {
      throw bad("record at byte " + std::to_string(pos - 4) + " has length " +
                std::to_string(got) + ", expected " + std::to_string(len));
    }
    return pos + len;
  }
  void close(uint32_t len, std::size_t end) {
    if (pos != end)
      throw bad("record data size mismatch");
    if (u32() != len)
      throw bad("trailing length of record differs");
  }
};

inline FieldFileData read_layout0(const std::string& b) {
  FieldFileData d;
  Cursor c{b};
  std::size_t rec = 0;
  auto len = [&rec] {
    return static_cast<uint32_t>(kLayout0Records[rec].bytes);
  };
  std::size_t end = c.open(len());
  d.element_length = c.f64();
  d.aperture = c.f64();
  d.header = c.i32();
  c.close(len(), end);
  ++rec;
  end = c.open(len());
  for (auto& k : d.sym)
    k = c.i32();
  c.close(len(), end);
  ++rec;
  auto doubles = [&](std::vector<double>& v) {
    const std::size_t e = c.open(len());
    v.resize(len() / kDoubleBytes);
    for (auto& x : v)
      x = c.f64();
    c.close(len(), e);
    ++rec;
  };
  doubles(d.x);
  doubles(d.y);
  doubles(d.z);
  for (auto& comp : d.f)
    doubles(comp);
  end = c.open(len());
  d.end_marker = c.i32();
  c.close(len(), end);
  if (c.pos != b.size())
    throw bad("bytes after the end-marker record");
  return d;
}

// ---- layouts 1 and 2 ----

inline double parse_d24(std::string_view field, std::size_t line) {
  std::size_t a = field.find_first_not_of(' ');
  std::size_t e = field.find_last_not_of(' ');
  if (a == std::string_view::npos)
    throw bad("empty field on line " + std::to_string(line));
  double v = 0;
  auto [p, ec] = std::from_chars(field.data() + a, field.data() + e + 1, v);
  if (ec != std::errc() || p != field.data() + e + 1) {
    throw bad("not a number '" + std::string(field) + "' on line " +
              std::to_string(line));
  }
  return v;
}

inline int32_t parse_i12(std::string_view field, std::size_t line) {
  std::size_t a = field.find_first_not_of(' ');
  if (a == std::string_view::npos)
    throw bad("empty field on line " + std::to_string(line));
  int32_t v = 0;
  auto [p, ec] =
      std::from_chars(field.data() + a, field.data() + field.size(), v);
  if (ec != std::errc() || p != field.data() + field.size()) {
    throw bad("not an integer '" + std::string(field) + "' on line " +
              std::to_string(line));
  }
  return v;
}

inline constexpr auto kD24 = static_cast<std::size_t>(kDoubleWidth);
inline constexpr auto kI12 = static_cast<std::size_t>(kIntWidth);

// The lines of a text layout, each checked for its CR LF and its length.
class Lines {
 public:
  explicit Lines(const std::string& text) : recs_(split_records(text, true)) {}
  std::size_t size() const { return recs_.size(); }
  // Line n (0-based) of `len` characters.
  std::string_view get(std::size_t n, std::size_t len) const {
    if (n >= recs_.size())
      throw bad("file ends before line " + std::to_string(n + 1));
    if (recs_[n].size() != len) {
      throw bad("line " + std::to_string(n + 1) + " has " +
                std::to_string(recs_[n].size()) + " characters, expected " +
                std::to_string(len) + ": '" + recs_[n] + "'");
    }
    return recs_[n];
  }

 private:
  std::vector<std::string> recs_;
};

// n doubles written by one statement from line `first`: three per line.
inline std::size_t read_group(const Lines& L, std::size_t first,
                              std::vector<double>& v, std::size_t n) {
  v.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t line = first + k / 3;
    const std::size_t on_line = std::min<std::size_t>(3, n - (k / 3) * 3);
    std::string_view s = L.get(line, kD24 * on_line);
    v[k] = parse_d24(s.substr(kD24 * (k % 3), kD24), line + 1);
  }
  return first + (n + 2) / 3;
}

inline FieldFileData read_layout1(const std::string& text) {
  FieldFileData d;
  Lines L(text);
  constexpr auto ddi = LineKind::DDI, iii = LineKind::III;
  std::string_view l1 = L.get(0, line_width(ddi));
  d.element_length = parse_d24(l1.substr(field_column(ddi, 0), kD24), 1);
  d.aperture = parse_d24(l1.substr(field_column(ddi, 1), kD24), 1);
  d.header = parse_i12(l1.substr(field_column(ddi, 2), kI12), 1);
  std::string_view l2 = L.get(1, line_width(iii));
  for (int k = 0; k < 3; ++k)
    d.sym[k] = parse_i12(l2.substr(field_column(iii, k), kI12), 2);
  std::size_t n = 2;
  n = read_group(L, n, d.x, kGx);
  n = read_group(L, n, d.y, kGy);
  n = read_group(L, n, d.z, kGz);
  for (auto& comp : d.f)
    n = read_group(L, n, comp, kGridPoints);
  d.end_marker = parse_i12(L.get(n, line_width(LineKind::I)), n + 1);
  if (L.size() != n + 1)
    throw bad("lines after the end marker");
  if (L.size() != line_count(kLayout1Lines))
    throw bad("line count differs from the layout");
  return d;
}

inline FieldFileData read_layout2(const std::string& text) {
  FieldFileData d;
  Lines L(text);
  constexpr auto ddi = LineKind::DDI, iii = LineKind::III;
  for (std::size_t a = 0; a < 3; ++a) {
    std::string_view s = L.get(a, line_width(ddi));
    d.lim[a][0] = parse_d24(s.substr(field_column(ddi, 0), kD24), a + 1);
    d.lim[a][1] = parse_d24(s.substr(field_column(ddi, 1), kD24), a + 1);
    d.counts[a] = parse_i12(s.substr(field_column(ddi, 2), kI12), a + 1);
  }
  std::string_view keys = L.get(3, line_width(iii));
  for (int k = 0; k < 3; ++k)
    d.sym[k] = parse_i12(keys.substr(field_column(iii, k), kI12), 4);
  for (auto& comp : d.f)
    comp.assign(kGridPoints, 0.0);
  std::size_t line = 4;
  for (int ix = 1; ix <= kGx; ++ix) {
    for (int iy = 1; iy <= kGy; ++iy) {
      for (int iz = 1; iz <= kGz; ++iz) {
        const auto idx = static_cast<std::size_t>(
            (ix - 1) + kGx * ((iy - 1) + kGy * (iz - 1)));
        for (int half = 0; half < 2; ++half, ++line) {
          std::string_view s = L.get(line, line_width(LineKind::D3));
          for (int k = 0; k < 3; ++k) {
            d.f[static_cast<std::size_t>(3 * half + k)][idx] = parse_d24(
                s.substr(field_column(LineKind::D3, k), kD24), line + 1);
          }
        }
      }
    }
  }
  if (L.size() != line)
    throw bad("lines after the last node");
  if (L.size() != line_count(kLayout2Lines))
    throw bad("line count differs from the layout");
  return d;
}

}  // namespace detail

/// Reads the field file `path` written in `layout` (0, 1 or 2).
inline FieldFileData read_field_file(const std::filesystem::path& path,
                                     int layout) {
  const std::string bytes = read_file(path);
  switch (layout) {
  case 0:
    return detail::read_layout0(bytes);
  case 1:
    return detail::read_layout1(bytes);
  case 2:
    return detail::read_layout2(bytes);
  default:
    throw detail::bad("no layout " + std::to_string(layout));
  }
}

}  // namespace zereduv::testing
