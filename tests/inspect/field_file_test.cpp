// The field-file inspection: layouts recognised from the content, the
// structure checked, damage reported with its place, the statistics.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "field_inspect.h"
#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"

namespace zereduv::inspect {
namespace {

constexpr std::size_t kN = 25u * 25u * 201u;

/// A known field on the grid: every component differs, Bz is zero.
double value(int a, int ix, int iy, int iz) {
  if (a == 5)
    return 0.0;
  return (a + 1) * 1000.0 + ix * 0.5 - iy * 0.25 + iz * 1e-3;
}

struct Grid {
  double el = 10.0, ap = 1.5;
  int sx = 0, sy = 0, sz = 0;
  double x(int i) const { return (i - 1) * (2 * ap / 24) - ap; }
  double y(int i) const { return (i - 1) * (2 * ap / 24) - ap; }
  double z(int i) const { return (i - 1) * (el / 200) - el / 2; }
};

void put_i32(std::string& o, int32_t v) {
  char b[4];
  std::memcpy(b, &v, 4);
  o.append(b, 4);
}
void put_f64(std::string& o, double v) {
  char b[8];
  std::memcpy(b, &v, 8);
  o.append(b, 8);
}

std::string layout0(const Grid& g) {
  std::string o;
  auto rec = [&](int32_t L, auto body) {
    put_i32(o, L);
    body();
    put_i32(o, L);
  };
  rec(20, [&] {
    put_f64(o, g.el);
    put_f64(o, g.ap);
    put_i32(o, 0);
  });
  rec(12, [&] {
    put_i32(o, g.sx);
    put_i32(o, g.sy);
    put_i32(o, g.sz);
  });
  rec(200, [&] {
    for (int i = 1; i <= 25; ++i)
      put_f64(o, g.x(i));
  });
  rec(200, [&] {
    for (int i = 1; i <= 25; ++i)
      put_f64(o, g.y(i));
  });
  rec(1608, [&] {
    for (int i = 1; i <= 201; ++i)
      put_f64(o, g.z(i));
  });
  for (int a = 0; a < 6; ++a)
    rec(static_cast<int32_t>(8 * kN), [&] {
      for (int iz = 1; iz <= 201; ++iz)
        for (int iy = 1; iy <= 25; ++iy)
          for (int ix = 1; ix <= 25; ++ix)
            put_f64(o, value(a, ix, iy, iz));
    });
  rec(4, [&] { put_i32(o, -99); });
  return o;
}

/// The text layouts written through the program's own list-directed
/// statements, into a channel that keeps them in memory.
std::string layout1(const Grid& g) {
  TextOut out(7, "field", LineEnd::CrLf);
  out.list({g.el, g.ap, int32_t{0}});
  out.list({int32_t(g.sx), int32_t(g.sy), int32_t(g.sz)});
  std::vector<ListItem> v;
  auto flush = [&] {
    out.list(std::span<const ListItem>(v));
    v.clear();
  };
  for (int i = 1; i <= 25; ++i)
    v.emplace_back(g.x(i));
  flush();
  for (int i = 1; i <= 25; ++i)
    v.emplace_back(g.y(i));
  flush();
  for (int i = 1; i <= 201; ++i)
    v.emplace_back(g.z(i));
  flush();
  for (int a = 0; a < 6; ++a) {
    for (int iz = 1; iz <= 201; ++iz)
      for (int iy = 1; iy <= 25; ++iy)
        for (int ix = 1; ix <= 25; ++ix)
          v.emplace_back(value(a, ix, iy, iz));
    flush();
  }
  out.list({int32_t{-99}});
  return out.memory();
}

std::string layout2(const Grid& g) {
  TextOut out(7, "field", LineEnd::CrLf);
  out.list({g.sx ? 0.0 : -g.ap, g.ap, int32_t{25}});
  out.list({g.sy ? 0.0 : -g.ap, g.ap, int32_t{25}});
  out.list({g.sz ? 0.0 : -g.el / 2, g.el / 2, int32_t{201}});
  out.list({int32_t(g.sx), int32_t(g.sy), int32_t(g.sz)});
  for (int ix = 1; ix <= 25; ++ix)
    for (int iy = 1; iy <= 25; ++iy)
      for (int iz = 1; iz <= 201; ++iz)
        out.list({value(0, ix, iy, iz), value(1, ix, iy, iz),
                  value(2, ix, iy, iz), value(3, ix, iy, iz),
                  value(4, ix, iy, iz), value(5, ix, iy, iz)});
  return out.memory();
}

class FieldFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Grid g;
    files_ = new std::vector<std::string>{layout0(g), layout1(g), layout2(g)};
  }
  static void TearDownTestSuite() {
    delete files_;
    files_ = nullptr;
  }
  static const std::string& file(int layout) {
    return (*files_)[static_cast<std::size_t>(layout)];
  }
  static std::vector<std::string>* files_;
};
std::vector<std::string>* FieldFiles::files_ = nullptr;

TEST_F(FieldFiles, SizesAreTheFixedOnes) {
  EXPECT_EQ(file(0).size(), kLayout0Bytes);
  EXPECT_EQ(file(1).size(), kLayout1Bytes);
  EXPECT_EQ(file(2).size(), kLayout2Bytes);
}

TEST_F(FieldFiles, LayoutRecognisedFromContent) {
  for (int l = 0; l < 3; ++l) {
    EXPECT_EQ(recognise_layout(file(l)), l);
    // Cut short, a file is still recognised (and then found damaged).
    EXPECT_EQ(recognise_layout(file(l).substr(0, 1000)), l);
  }
  EXPECT_EQ(
      recognise_layout("Electromagnetic fields\r\n(Zmin,Rmin) = (0,0)\r\n"),
      -1);
  EXPECT_THROW(parse_field_file("not a field file\r\n"), FieldFileDamaged);
}

TEST_F(FieldFiles, EveryLayoutGivesTheSameGridAndValues) {
  Grid g;
  for (int l = 0; l < 3; ++l) {
    FieldFile f = parse_field_file(file(l));
    EXPECT_EQ(f.layout, l);
    EXPECT_EQ(f.has_lengths, l != 2);
    if (f.has_lengths) {
      EXPECT_EQ(f.ElementLength, 10.0);
      EXPECT_EQ(f.Aperture, 1.5);
    }
    for (int i = 1; i <= 25; ++i)
      EXPECT_NEAR(f.X[static_cast<std::size_t>(i - 1)], g.x(i), 1e-13) << l;
    for (int i = 1; i <= 201; ++i)
      EXPECT_NEAR(f.Z[static_cast<std::size_t>(i - 1)], g.z(i), 1e-13) << l;
    // Layout 0 holds the bits; the text layouts 15 or 16 digits.
    for (int a = 0; a < 6; ++a)
      for (auto [ix, iy, iz] : {std::array{1, 1, 1}, std::array{25, 1, 1},
                                std::array{3, 17, 99}, std::array{25, 25, 201}})
        EXPECT_NEAR(
            f.comp[static_cast<std::size_t>(a)][FieldFile::index(ix, iy, iz)],
            value(a, ix, iy, iz), 1e-10)
            << "layout " << l << " component " << a << " at " << ix << "," << iy
            << "," << iz;
  }
}

TEST_F(FieldFiles, ReportStatisticsAndAxisLine) {
  FieldReport r = field_report("f", parse_field_file(file(0)));
  // Ex = 1000 + 0.5 ix - 0.25 iy + 0.001 iz over the grid.
  EXPECT_DOUBLE_EQ(r.stats[0].min, 1000.0 + 0.5 - 0.25 * 25 + 0.001);
  EXPECT_DOUBLE_EQ(r.stats[0].max, 1000.0 + 12.5 - 0.25 + 0.201);
  EXPECT_EQ(r.stats[5].min, 0.0);
  EXPECT_EQ(r.stats[5].max, 0.0);
  EXPECT_EQ(r.stats[5].rms, 0.0);
  double sq = 0;
  for (int iz = 1; iz <= 201; ++iz)
    for (int iy = 1; iy <= 25; ++iy)
      for (int ix = 1; ix <= 25; ++ix)
        sq += std::pow(value(2, ix, iy, iz), 2);
  EXPECT_NEAR(r.stats[2].rms, std::sqrt(sq / kN), 1e-9);
  // The middle line of a full grid is the axis.
  EXPECT_EQ(r.axis_ix, 13);
  EXPECT_EQ(r.axis_iy, 13);
  for (int iz : {1, 101, 201})
    EXPECT_EQ(r.axis_ez[static_cast<std::size_t>(iz - 1)],
              value(2, 13, 13, iz));
}

TEST(FieldFileGrid, HalfGridAxisIsItsFirstLine) {
  Grid g;
  g.sx = 1;
  g.sy = 1;
  std::string two = layout2(g);
  // The half grid starts at 0 in x and y: the axis line is ix = iy = 1.
  FieldReport r = field_report("f", parse_field_file(two));
  EXPECT_EQ(r.f.SymX, 1);
  EXPECT_EQ(r.f.SymY, 1);
  EXPECT_EQ(r.f.X[0], 0.0);
  EXPECT_EQ(r.axis_ix, 1);
  EXPECT_EQ(r.axis_iy, 1);
}

// ---------------------------------------------------------------------------
// Damage: where it is, and what was expected.

struct Damage {
  const char* name;
  int layout;
  std::function<void(std::string&)> harm;
  std::string where;     // exact
  std::string expected;  // part of the message
};

std::string swapped(std::string s, std::size_t off) {
  std::swap(s[off], s[off + 3]);
  std::swap(s[off + 1], s[off + 2]);
  return s;
}

/// Byte offset at which 1-based line n of a text starts.
std::size_t line_start(const std::string& s, std::size_t n) {
  std::size_t pos = 0;
  for (std::size_t k = 1; k < n; ++k)
    pos = s.find('\n', pos) + 1;
  return pos;
}

TEST_F(FieldFiles, DamageIsReportedWithItsPlace) {
  const std::size_t rec6 = 28 + 20 + 208 + 208 + 1616;  // 2080
  const std::size_t marker0 = kLayout0Bytes - 8;
  // Layout 1: line 11 holds the 25th x coordinate alone (24 characters).
  const std::size_t l1_line11 = line_start(file(1), 11);
  const std::size_t l1_last = kLayout1Bytes - 14;
  const std::size_t l2_line5 = line_start(file(2), 5);
  const Damage rows[] = {
      {"layout 0 truncated", 0,
       [](std::string& s) { s.resize(s.size() - 100); },
       "byte offset " + std::to_string(kLayout0Bytes - 100), "truncated"},
      {"layout 0 truncated in a length", 0,
       [](std::string& s) { s.resize(rec6 + 2); },
       "byte offset " + std::to_string(rec6 + 2),
       "before the length of record 6"},
      {"layout 0 flipped record length", 0,
       [&](std::string& s) { s = swapped(s, rec6); },
       "byte offset " + std::to_string(rec6),
       "length of record 6 (Ex values) is"},
      {"layout 0 flipped closing length", 0,
       [&](std::string& s) { s = swapped(s, rec6 + 4 + 8 * kN); },
       "byte offset " + std::to_string(rec6 + 4 + 8 * kN),
       "closing length of record 6"},
      {"layout 0 wrong end marker", 0,
       [&](std::string& s) { s[marker0] = static_cast<char>(0x9e); },
       "byte offset " + std::to_string(marker0), "end marker is -98"},
      {"layout 0 header integer", 0, [](std::string& s) { s[20] = 1; },
       "byte offset 20", "header integer is 1, expected 0"},
      {"layout 0 extra bytes", 0, [](std::string& s) { s += "xy"; },
       "byte offset " + std::to_string(kLayout0Bytes),
       "2 bytes after the end record"},
      {"layout 1 truncated", 1, [&](std::string& s) { s.resize(l1_last); },
       "line 251338 (byte offset " + std::to_string(l1_last) + ")",
       "expected 251338 lines"},
      {"layout 1 cut inside a line", 1,
       [&](std::string& s) { s.resize(l1_last + 5); },
       "line 251338 (byte offset " + std::to_string(l1_last) + ")", "no CR LF"},
      {"layout 1 short line", 1, [&](std::string& s) { s.erase(l1_line11, 1); },
       "line 11 (byte offset " + std::to_string(l1_line11) + ")",
       "expected 24 characters (one 24-character number: x coordinates) "
       "before CR LF, found 23"},
      {"layout 1 LF without CR", 1,
       [&](std::string& s) { s.erase(line_start(s, 6) - 2, 1); },
       "line 5 (byte offset " + std::to_string(line_start(file(1), 5)) + ")",
       "LF alone"},
      {"layout 1 wrong end marker", 1,
       [&](std::string& s) { s[s.size() - 3] = '8'; },
       "line 251338 (byte offset " + std::to_string(l1_last) + ")",
       "end marker is -98, expected -99"},
      {"layout 1 not a number", 1,
       [&](std::string& s) { s[l1_line11 + 5] = 'x'; },
       "line 11 (byte offset " + std::to_string(l1_line11) + ")",
       "columns 1-24 (x coordinates) hold"},
      {"layout 0 NaN among the Ex values", 0,
       [&](std::string& s) {
         const unsigned char nan[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
         std::memcpy(&s[rec6 + 4 + 8 * 5], nan, sizeof nan);
       },
       "its Ex values", "1 of 125625 are not finite numbers"},
      {"layout 2 point count", 2, [](std::string& s) { s[59] = '6'; },
       "line 1 (byte offset 0)", "point count is 26, expected 25"},
      {"layout 2 short line", 2,
       [&](std::string& s) { s.erase(l2_line5 + 3, 1); },
       "line 5 (byte offset " + std::to_string(l2_line5) + ")",
       "expected 72 characters"},
      {"layout 2 extra line", 2, [](std::string& s) { s += "   1\r\n"; },
       "line 251255 (byte offset " + std::to_string(kLayout2Bytes) + ")",
       "bytes after the last of the 251254 lines"},
  };
  for (const auto& d : rows) {
    std::string s = file(d.layout);
    d.harm(s);
    try {
      parse_field_file(s);
      ADD_FAILURE() << d.name << ": no damage found";
    } catch (const FieldFileDamaged& e) {
      EXPECT_EQ(e.where, d.where) << d.name << ": " << e.what();
      EXPECT_NE(e.what_expected.find(d.expected), std::string::npos)
          << d.name << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace zereduv::inspect
