#include "field_inspect.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

#include "run/system/platform.h"

namespace zereduv::inspect {

static_assert(std::endian::native == std::endian::little,
              "layout 0 is read as little-endian data");

FieldFileDamaged::FieldFileDamaged(std::string where_, std::string what_)
    : std::runtime_error(where_ + ": " + what_),
      where(std::move(where_)),
      what_expected(std::move(what_)) {}

namespace {

constexpr std::size_t kPoints = kOutPoints;

std::string hex_bytes(std::string_view c, std::size_t off, std::size_t n) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (std::size_t k = 0; k < n && off + k < c.size(); ++k) {
    auto b = static_cast<unsigned char>(c[off + k]);
    if (!s.empty())
      s += ' ';
    s += d[b >> 4];
    s += d[b & 15];
  }
  return s;
}

std::string at_byte(std::size_t off) {
  return "byte offset " + std::to_string(off);
}

int32_t get_i32(std::string_view c, std::size_t off) {
  int32_t v;
  std::memcpy(&v, c.data() + off, 4);
  return v;
}

double get_f64(std::string_view c, std::size_t off) {
  double v;
  std::memcpy(&v, c.data() + off, 8);
  return v;
}

// ---------------------------------------------------------------------------
// Layout 0: twelve length-framed records.

FieldFile parse_layout0(std::string_view c) {
  FieldFile f;
  f.layout = 0;
  f.bytes = c.size();
  f.has_lengths = true;
  std::size_t off = 0;
  std::array<std::size_t, kLayout0Records.size()> data_at{};
  for (std::size_t k = 0; k < kLayout0Records.size(); ++k) {
    const auto& r = kLayout0Records[k];
    std::string rec = "record " + std::to_string(k + 1) + " (" + r.what + ")";
    if (c.size() < off + kFrameBytes)
      throw FieldFileDamaged(at_byte(c.size()),
                             "file ends before the length of " + rec +
                                 " (truncated file; expected " +
                                 std::to_string(kLayout0Bytes) + " bytes)");
    int32_t L = get_i32(c, off);
    if (L < 0 || static_cast<std::size_t>(L) != r.bytes)
      throw FieldFileDamaged(
          at_byte(off), "length of " + rec + " is " + std::to_string(L) +
                            " (bytes " + hex_bytes(c, off, 4) + "), expected " +
                            std::to_string(r.bytes));
    std::size_t end = off + kFrameBytes + r.bytes;
    if (c.size() < end + kFrameBytes)
      throw FieldFileDamaged(at_byte(c.size()),
                             "file ends inside " + rec +
                                 ", which needs bytes " + std::to_string(off) +
                                 " to " + std::to_string(end + 3) +
                                 " (truncated file; expected " +
                                 std::to_string(kLayout0Bytes) + " bytes)");
    int32_t L2 = get_i32(c, end);
    if (L2 != L)
      throw FieldFileDamaged(at_byte(end), "closing length of " + rec + " is " +
                                               std::to_string(L2) + " (bytes " +
                                               hex_bytes(c, end, 4) +
                                               "), expected " +
                                               std::to_string(r.bytes));
    data_at[k] = off + kFrameBytes;
    off = end + kFrameBytes;
  }
  if (off != c.size())
    throw FieldFileDamaged(at_byte(off),
                           std::to_string(c.size() - off) +
                               " bytes after the end record; the file should "
                               "end here");
  const std::size_t header_at = data_at[0] + 2 * kDoubleBytes;
  int32_t header = get_i32(c, header_at);
  if (header != kHeaderInteger)
    throw FieldFileDamaged(at_byte(header_at),
                           "header integer is " + std::to_string(header) +
                               ", expected " + std::to_string(kHeaderInteger));
  const std::size_t marker_at = data_at[11];
  int32_t marker = get_i32(c, marker_at);
  if (marker != kEndMarker)
    throw FieldFileDamaged(at_byte(marker_at),
                           "end marker is " + std::to_string(marker) +
                               " (bytes " + hex_bytes(c, marker_at, 4) +
                               "), expected " + std::to_string(kEndMarker));
  f.ElementLength = get_f64(c, data_at[0]);
  f.Aperture = get_f64(c, data_at[0] + kDoubleBytes);
  f.SymX = get_i32(c, data_at[1]);
  f.SymY = get_i32(c, data_at[1] + kInt32Bytes);
  f.SymZ = get_i32(c, data_at[1] + 2 * kInt32Bytes);
  for (std::size_t n = 0; n < f.X.size(); ++n)
    f.X[n] = get_f64(c, data_at[2] + kDoubleBytes * n);
  for (std::size_t n = 0; n < f.Y.size(); ++n)
    f.Y[n] = get_f64(c, data_at[3] + kDoubleBytes * n);
  for (std::size_t n = 0; n < f.Z.size(); ++n)
    f.Z[n] = get_f64(c, data_at[4] + kDoubleBytes * n);
  for (std::size_t a = 0; a < 6; ++a) {
    f.comp[a].resize(kPoints);
    std::memcpy(f.comp[a].data(), c.data() + data_at[5 + a], kArrayRecordBytes);
  }
  return f;
}

// ---------------------------------------------------------------------------
// Layouts 1 and 2: fixed-width list-directed lines with CR LF.

template <std::size_t N>
std::span<const LineRun> runs(const std::array<LineRun, N>& a) {
  return {a.data(), a.size()};
}

std::span<const LineRun> layout_lines(int layout) {
  return layout == 1 ? runs(kLayout1Lines) : runs(kLayout2Lines);
}

std::size_t count_lines(std::span<const LineRun> v) {
  std::size_t n = 0;
  for (const auto& r : v)
    n += r.lines;
  return n;
}

std::string at_line(std::size_t line, std::size_t off) {
  return "line " + std::to_string(line) + " (byte offset " +
         std::to_string(off) + ")";
}

template <typename T>
bool parse_field(std::string_view f, T& v) {
  // Fixed-point fields end in five blanks, every field starts with blanks.
  std::size_t b = f.find_first_not_of(' ');
  if (b == std::string_view::npos)
    return false;
  f = f.substr(b, f.find_last_not_of(' ') - b + 1);
  auto r = std::from_chars(f.data(), f.data() + f.size(), v);
  return r.ec == std::errc() && r.ptr == f.data() + f.size();
}

FieldFile parse_text(std::string_view c, int layout) {
  const auto segs = layout_lines(layout);
  const std::size_t total = count_lines(segs);
  std::vector<double> dbl;
  std::vector<int32_t> ints;
  dbl.reserve(6 * kPoints + 300);
  std::size_t pos = 0, line = 0;
  for (const auto& seg : segs) {
    const LineShape shape = line_shape(seg.kind);
    const std::size_t width = line_width(seg.kind);
    for (std::size_t n = 0; n < seg.lines; ++n) {
      ++line;
      const std::size_t start = pos;
      if (pos >= c.size())
        throw FieldFileDamaged(
            at_line(line, pos),
            "file ends after line " + std::to_string(line - 1) + ", expected " +
                std::to_string(total) + " lines (truncated file)");
      std::size_t lf = c.find('\n', pos);
      if (lf == std::string_view::npos)
        throw FieldFileDamaged(at_line(line, pos),
                               "last line has no CR LF; the file is cut "
                               "inside line " +
                                   std::to_string(line) + " of " +
                                   std::to_string(total) + " (" + seg.what +
                                   ")");
      if (lf == pos || c[lf - 1] != '\r')
        throw FieldFileDamaged(at_line(line, pos),
                               "line ends with LF alone, expected CR LF");
      std::string_view text = c.substr(pos, lf - 1 - pos);
      pos = lf + 1;
      if (text.size() != width)
        throw FieldFileDamaged(at_line(line, start),
                               "expected " + std::to_string(width) +
                                   " characters (" + shape.text + ": " +
                                   seg.what + ") before CR LF, found " +
                                   std::to_string(text.size()));
      auto bad = [&](std::size_t col, std::size_t w) {
        return FieldFileDamaged(
            at_line(line, start),
            "columns " + std::to_string(col + 1) + "-" +
                std::to_string(col + w) + " (" + seg.what + ") hold \"" +
                std::string(text.substr(col, w)) + "\", expected a number");
      };
      constexpr auto dw = static_cast<std::size_t>(kDoubleWidth);
      constexpr auto iw = static_cast<std::size_t>(kIntWidth);
      for (int k = 0; k < shape.doubles + shape.integers; ++k) {
        const std::size_t col = field_column(seg.kind, k);
        if (k < shape.doubles) {
          double v;
          if (!parse_field(text.substr(col, dw), v))
            throw bad(col, dw);
          dbl.push_back(v);
        } else {
          int32_t v;
          if (!parse_field(text.substr(col, iw), v))
            throw bad(col, iw);
          ints.push_back(v);
        }
      }
    }
  }
  if (pos != c.size())
    throw FieldFileDamaged(
        at_line(line + 1, pos),
        std::to_string(c.size() - pos) + " bytes after the last of the " +
            std::to_string(total) + " lines; the file should end here");

  FieldFile f;
  f.layout = layout;
  f.bytes = c.size();
  for (auto& v : f.comp)
    v.resize(kPoints);
  if (layout == 1) {
    // ints: header integer, three keys, end marker.
    if (ints[0] != kHeaderInteger)
      throw FieldFileDamaged(
          at_line(1, 0), "header integer is " + std::to_string(ints[0]) +
                             ", expected " + std::to_string(kHeaderInteger));
    if (ints[4] != kEndMarker) {
      std::size_t off = c.size() - (line_width(LineKind::I) + kLineEndBytes);
      throw FieldFileDamaged(at_line(total, off),
                             "end marker is " + std::to_string(ints[4]) +
                                 ", expected " + std::to_string(kEndMarker));
    }
    f.has_lengths = true;
    f.ElementLength = dbl[0];
    f.Aperture = dbl[1];
    f.SymX = ints[1];
    f.SymY = ints[2];
    f.SymZ = ints[3];
    std::size_t k = 2;
    for (auto& x : f.X)
      x = dbl[k++];
    for (auto& y : f.Y)
      y = dbl[k++];
    for (auto& z : f.Z)
      z = dbl[k++];
    for (auto& comp : f.comp)
      for (auto& v : comp)
        v = dbl[k++];
  } else {
    const int32_t counts[3] = {kNx, kNy, kNzOut};
    for (int a = 0; a < 3; ++a)
      if (ints[static_cast<std::size_t>(a)] != counts[a])
        throw FieldFileDamaged(
            at_line(static_cast<std::size_t>(a) + 1,
                    (line_width(LineKind::DDI) + kLineEndBytes) *
                        static_cast<std::size_t>(a)),
            "point count is " +
                std::to_string(ints[static_cast<std::size_t>(a)]) +
                ", expected " + std::to_string(counts[a]));
    f.SymX = ints[3];
    f.SymY = ints[4];
    f.SymZ = ints[5];
    auto coords = [](double lo, double hi, int n, double* out) {
      double d = (hi - lo) / (n - 1);
      for (int i = 0; i < n; ++i)
        out[i] = i * d + lo;
    };
    coords(dbl[0], dbl[1], kNx, f.X.data());
    coords(dbl[2], dbl[3], kNy, f.Y.data());
    coords(dbl[4], dbl[5], kNzOut, f.Z.data());
    std::size_t k = 6;
    for (int ix = 1; ix <= kNx; ++ix)
      for (int iy = 1; iy <= kNy; ++iy)
        for (int iz = 1; iz <= kNzOut; ++iz) {
          std::size_t at = FieldFile::index(ix, iy, iz);
          for (auto& comp : f.comp)
            comp[at] = dbl[k++];
        }
  }
  return f;
}

std::string_view first_lines(std::string_view c, int n,
                             std::vector<std::string_view>& out) {
  std::size_t pos = 0;
  for (int k = 0; k < n && pos < c.size(); ++k) {
    std::size_t lf = c.find('\n', pos);
    std::size_t e = lf == std::string_view::npos ? c.size() : lf;
    std::string_view l = c.substr(pos, e - pos);
    if (!l.empty() && l.back() == '\r')
      l.remove_suffix(1);
    out.push_back(l);
    if (lf == std::string_view::npos)
      break;
    pos = lf + 1;
  }
  return c;
}

std::string_view trim(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos)
    return {};
  std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

}  // namespace

int recognise_layout(std::string_view c) {
  if (c.size() >= kFrameBytes &&
      get_i32(c, 0) == static_cast<int32_t>(kLayout0Records[0].bytes))
    return 0;
  // Text layouts hold only blanks, digits, signs, points, E, CR and LF.
  const std::size_t probe = std::min<std::size_t>(c.size(), 256);
  for (std::size_t k = 0; k < probe; ++k) {
    auto b = static_cast<unsigned char>(c[k]);
    if (b != '\r' && b != '\n' && (b < 0x20 || b > 0x7e))
      return 0;
  }
  std::vector<std::string_view> l;
  first_lines(c, 4, l);
  // Line 1 is two doubles and an integer in both: 0 (the header integer)
  // in layout 1, 25 (the x point count) in layout 2.
  constexpr std::size_t ddi = line_width(LineKind::DDI);
  constexpr std::size_t iii = line_width(LineKind::III);
  if (!l.empty() && l[0].size() == ddi) {
    std::string_view last = trim(l[0].substr(field_column(LineKind::DDI, 2)));
    if (last == std::to_string(kHeaderInteger))
      return 1;
    if (last == std::to_string(kNx))
      return 2;
  }
  if (l.size() >= 2 && l[1].size() == iii)
    return 1;
  if (l.size() >= 4 && l[1].size() == ddi && l[3].size() == iii)
    return 2;
  if (c.size() == kLayout1Bytes)
    return 1;
  if (c.size() == kLayout2Bytes)
    return 2;
  return -1;
}

namespace {

// A field file whose structure is complete may still hold values that are
// not finite numbers: zereduv never writes them, and a tracking code fed
// with them would track NaN.  The first such value is named.
void refuse_non_finite(const FieldFile& f) {
  struct Set {
    const char* name;
    const double* v;
    std::size_t n;
  };
  std::vector<Set> sets = {{"x", f.X.data(), f.X.size()},
                           {"y", f.Y.data(), f.Y.size()},
                           {"z", f.Z.data(), f.Z.size()},
                           {"ElementLength", &f.ElementLength, 1},
                           {"Aperture", &f.Aperture, 1}};
  for (std::size_t a = 0; a < 6; ++a)
    sets.push_back({kComponentNames[a], f.comp[a].data(), f.comp[a].size()});
  for (const Set& set : sets) {
    std::size_t bad = 0, first = 0;
    for (std::size_t k = 0; k < set.n; ++k) {
      if (!std::isfinite(set.v[k]) && bad++ == 0)
        first = k;
    }
    if (bad > 0) {
      throw FieldFileDamaged(
          std::string("its ") + set.name + " values",
          std::to_string(bad) + " of " + std::to_string(set.n) +
              " are not finite numbers (NaN or Infinity), the first at "
              "index " +
              std::to_string(first + 1) + "; zereduv never writes such values");
    }
  }
}

}  // namespace

FieldFile parse_field_file(std::string_view content) {
  int layout = recognise_layout(content);
  if (layout == 0 || layout == 1 || layout == 2) {
    FieldFile f =
        layout == 0 ? parse_layout0(content) : parse_text(content, layout);
    refuse_non_finite(f);
    return f;
  }
  throw FieldFileDamaged(
      at_byte(0),
      "not a field file of layout 0, 1 or 2: expected the record length 20 "
      "(bytes 14 00 00 00) or a first line of two 24-character numbers and a "
      "12-character integer");
}

FieldFile read_field_file(const std::filesystem::path& path) {
  // Through the program's own input layer: the file read once into fresh
  // (huge-page) memory, never copied or filled beforehand.
  platform::InputFile in;
  if (const platform::FileError e = in.open(path)) {
    if (e.kind == "not a regular file")
      throw std::runtime_error("cannot read \"" + platform::shown_path(path) +
                               "\": " + e.reason + ", not a regular file");
    throw std::runtime_error("cannot open \"" + platform::shown_path(path) +
                             "\": " + e.reason);
  }
  // Every field file has one of three sizes: a larger file is none of them
  // and is told so without being read.  A smaller one is read, so that the
  // report can say where it was cut or damaged.
  const std::uintmax_t size = in.size();
  if (size > kLargestLayoutBytes)
    throw FieldFileDamaged(
        at_byte(kLargestLayoutBytes),
        "the file has " + std::to_string(size) +
            " bytes, more than any field file (" +
            std::to_string(kLayout0Bytes) + " bytes in layout 0, " +
            std::to_string(kLayout1Bytes) + " in layout 1, " +
            std::to_string(kLayout2Bytes) + " in layout 2)");
  // Read to its end, so that a file that grew since is seen too.
  platform::FileBytes bytes;
  if (const platform::FileError e = in.read_all(bytes))
    throw std::runtime_error("cannot read \"" + platform::shown_path(path) +
                             "\": " + e.reason);
  return parse_field_file(std::string_view(bytes.data.data(), bytes.size));
}

FieldReport field_report(std::string file, FieldFile f) {
  FieldReport r;
  r.file = std::move(file);
  for (std::size_t a = 0; a < 6; ++a) {
    const auto& v = f.comp[a];
    ComponentStats st;
    double sq = 0.0;
    st.min = v.empty() ? 0.0 : v[0];
    st.max = st.min;
    for (double x : v) {
      st.min = std::min(st.min, x);
      st.max = std::max(st.max, x);
      sq += x * x;
    }
    st.rms = v.empty() ? 0.0 : std::sqrt(sq / static_cast<double>(v.size()));
    r.stats[a] = st;
  }
  // Points where all six components are exactly 0: outside the map (or a
  // field-free region), written as zeros by the resampling.
  const std::size_t points = f.comp[0].size();
  for (std::size_t k = 0; k < points; ++k) {
    bool zero = true;
    for (std::size_t a = 0; a < 6 && zero; ++a)
      zero = k < f.comp[a].size() && f.comp[a][k] == 0.0;
    if (zero)
      ++r.zero_points;
  }
  r.points = static_cast<int64_t>(points);
  auto nearest0 = [](const auto& c) {
    int best = 1;
    for (int i = 2; i <= static_cast<int>(c.size()); ++i)
      if (std::abs(c[static_cast<std::size_t>(i - 1)]) <
          std::abs(c[static_cast<std::size_t>(best - 1)]))
        best = i;
    return best;
  };
  r.axis_ix = nearest0(f.X);
  r.axis_iy = nearest0(f.Y);
  r.plane_iy = r.axis_iy;
  r.axis_x = f.X[static_cast<std::size_t>(r.axis_ix - 1)];
  r.axis_y = f.Y[static_cast<std::size_t>(r.axis_iy - 1)];
  for (int iz = 1; iz <= kNzOut; ++iz)
    r.axis_ez[static_cast<std::size_t>(iz - 1)] =
        f.comp[2][FieldFile::index(r.axis_ix, r.axis_iy, iz)];
  r.f = std::move(f);
  return r;
}

FieldReport inspect_field(const std::filesystem::path& path) {
  return field_report(platform::shown_path(path), read_field_file(path));
}

}  // namespace zereduv::inspect
