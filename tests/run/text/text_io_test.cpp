// The text-I/O layer: list-directed fields and lines, the formatted edits,
// free-format scanning and the record-oriented channels.  Expected bytes are
// worked out from the layout rules (15 significant digits decide the form,
// fixed form keeps 15 digits, exponent form 16 digits and 3 exponent digits,
// correct rounding of the binary value with ties to even).
#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "run/errors.h"
#include "support/io_error.h"
#include "support/scratch_dir.h"
#include "support/shared_tables.h"

namespace zereduv {
namespace {

using zereduv::testing::io_error_of;
using zereduv::testing::ScratchDir;

std::string hex(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a", v);
  return buf;
}

// Fields that the line tests below are built from.
const std::string kOne = "   1.00000000000000     ";   // 1.0
const std::string kHalf = "  0.500000000000000     ";  // 0.5
const std::string kZero = "  0.000000000000000E+000";  // 0.0 and -0.0

// ------------------------------------------------------------------------
// 24-character double fields

struct D24Case {
  double v;
  const char* want;
};

const D24Case kD24Cases[] = {
    // The forms as the layout rules describe them.
    {1.0, "   1.00000000000000     "},
    {0.5, "  0.500000000000000     "},
    {1e-5, "  1.000000000000000E-005"},
    {0.0, "  0.000000000000000E+000"},
    {-0.0, "  0.000000000000000E+000"},
    {2.5, "   2.50000000000000     "},
    {-2.5, "  -2.50000000000000     "},
    {-1.0, "  -1.00000000000000     "},
    {-0.5, " -0.500000000000000     "},
    {-1e-5, " -1.000000000000000E-005"},
    {12345.678, "   12345.6780000000     "},
    {-5.0, "  -5.00000000000000     "},
    {83.0880279, "   83.0880279000000     "},
    {0.3, "  0.300000000000000     "},
    {-0.123456789012345678, " -0.123456789012346     "},
    {1.887459E-02, "  1.887459000000000E-002"},
    {1.5e-7, "  1.500000000000000E-007"},
    {-4.2e-12, " -4.200000000000000E-012"},
    {6.02214076e23, "  6.022140760000000E+023"},
    // Lower boundary 0.1: the form is chosen on the value rounded to 15
    // digits, the fixed form then shows those 15 digits.
    {0.1, "  0.100000000000000     "},
    {0x1.9999999999999p-4, "  0.100000000000000     "},  // 0.09999999999999999
    {0x1.9999999999996p-4, "  0.100000000000000     "},  // 0.09999999999999995
    {0x1.9999999999995p-4, "  9.999999999999994E-002"},  // 0.09999999999999994
    {0x1.9999999999992p-4, "  9.999999999999989E-002"},  // 0.0999999999999999
    {0x1.999999999996ep-4, "  9.999999999999939E-002"},  // 0.0999999999999994
    {0.01, "  1.000000000000000E-002"},
    // Upper boundary 1e15.
    {1e14, "   100000000000000.     "},
    {123456789012345.0, "   123456789012345.     "},
    {-999999999999999.0, "  -999999999999999.     "},
    {0x1.c6bf52633fffbp+49, "   999999999999999.     "},  // ...999.375
    {0x1.c6bf52633ffffp+49, "  9.999999999999999E+014"},  // ...999.875
    {1e15, "  1.000000000000000E+015"},
    {1234567890123456.0, "  1.234567890123456E+015"},
    // Rounding to 15 digits moves the point: N counts the rounded digits.
    {0x1.3ffffffffffffp+3, "   10.0000000000000     "},   // 9.999999999999999
    {0x1.fffffffffffffp-1, "   1.00000000000000     "},   // 0.9999999999999999
    {0x1.869ffffffffffp+16, "   100000.000000000     "},  // 99999.99999999999
    {0x1.6bcc41e8fffffp+46, "   100000000000000.     "},  // 99999999999999.99
    // Exact ties go to the even digit, in both forms and in the choice of
    // the form itself.
    {26075.66650390625, "   26075.6665039062     "},
    {-26075.66650390625, "  -26075.6665039062     "},
    {123456789012.3125, "   123456789012.312     "},
    {123456789012.4375, "   123456789012.438     "},
    {999999999999998.5, "   999999999999998.     "},
    {999999999999999.5, "  9.999999999999995E+014"},
    {1000000000000000.5, "  1.000000000000000E+015"},
    {1000000000000001.5, "  1.000000000000002E+015"},
    {1000000000000002.5, "  1.000000000000002E+015"},
    // Huge, tiny and subnormal values: always three exponent digits.
    {1e100, "  1.000000000000000E+100"},
    {1e-100, "  1.000000000000000E-100"},
    {1e300, "  1.000000000000000E+300"},
    {0x1.fffffffffffffp+1023, "  1.797693134862316E+308"},
    {-0x1.fffffffffffffp+1023, " -1.797693134862316E+308"},
    {0x1p-1022, "  2.225073858507201E-308"},
    {0x0.fffffffffffffp-1022, "  2.225073858507201E-308"},
    {0x0.012688b70e62bp-1022, "  9.999999999999969E-311"},  // 1e-310
    {0x0.0000000000001p-1022, "  4.940656458412465E-324"},
    {-0x0.0000000000001p-1022, " -4.940656458412465E-324"},
};

TEST(ListDirectedDouble, FieldBytes) {
  for (const auto& c : kD24Cases) {
    SCOPED_TRACE(hex(c.v));
    ASSERT_EQ(std::strlen(c.want), 24u);
    EXPECT_EQ(d24(c.v), c.want);
  }
}

TEST(ListDirectedDouble, NonFiniteValuesKeepTheFieldWidth) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(d24(std::numeric_limits<double>::quiet_NaN()),
            std::string(21, ' ') + "NaN");
  EXPECT_EQ(d24(inf), std::string(16, ' ') + "Infinity");
  EXPECT_EQ(d24(-inf), std::string(15, ' ') + "-Infinity");
}

TEST(ListDirectedDouble, PutWritesExactlyTwentyFourCharacters) {
  for (const auto& c : kD24Cases) {
    SCOPED_TRACE(hex(c.v));
    char buf[40];
    std::memset(buf, '#', sizeof buf);
    char* end = put_d24(buf + 4, c.v);
    EXPECT_EQ(end, buf + 4 + 24);
    EXPECT_EQ(std::string(buf + 4, 24), c.want);
    EXPECT_EQ(std::string(buf, 4), "####");
    EXPECT_EQ(std::string(buf + 28, 12), std::string(12, '#'));
  }
}

TEST(ListDirectedInteger, FieldBytes) {
  const struct {
    int32_t v;
    const char* want;
  } cases[] = {
      {0, "           0"},          {7, "           7"},
      {-1, "          -1"},         {41, "          41"},
      {-99, "         -99"},        {123456789, "   123456789"},
      {2147483647, "  2147483647"}, {INT32_MIN, " -2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(i12(c.v), c.want);
    char buf[20];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(put_i12(buf + 2, c.v), buf + 14);
    EXPECT_EQ(std::string(buf + 2, 12), c.want);
    EXPECT_EQ(buf[1], '#');
    EXPECT_EQ(buf[14], '#');
  }
}

// ------------------------------------------------------------------------
// List-directed lines

std::string rep(const std::string& s, int n) {
  std::string out;
  for (int k = 0; k < n; ++k)
    out += s;
  return out;
}

using Lines = std::vector<std::string>;

Lines lines_of(const std::vector<ListItem>& items) {
  TextOut out(8, "memory", LineEnd::Lf);
  out.list(std::span<const ListItem>(items.data(), items.size()));
  Lines lines;
  std::string_view all = out.memory();
  while (!all.empty()) {
    const std::size_t nl = all.find('\n');
    lines.emplace_back(all.substr(0, nl));
    all.remove_prefix(nl + 1);
  }
  return lines;
}

TEST(ListDirectedLines, Layout) {
  const std::string i41 = "          41";
  const std::string i7 = "           7";
  const std::string label21 = " Rimin, Rimax, Nir = ";
  const std::string shifted = " Shifted & Centered Z: Zmin, Zmax= ";
  const std::string t70(70, 'a'), t9(9, 'b'), t10(10, 'b');
  const std::string t31(31, 'c'), t32(32, 'c');
  std::vector<ListItem> six_ints(6, ListItem(int32_t{7}));
  std::vector<ListItem> seven_ints(7, ListItem(int32_t{7}));
  const struct {
    const char* what;
    std::vector<ListItem> items;
    Lines want;
  } cases[] = {
      {"no items: one blank", {}, {" "}},
      {"text begins with a blank", {"x"}, {" x"}},
      {"two texts: nothing between",
       {"Output field file name = ", "eh_ZIV.#07"},
       {" Output field file name = eh_ZIV.#07"}},
      {"label's own blank on top",
       {" Reading file: ", "tab.txt"},
       {"  Reading file: tab.txt"}},
      {"text after a number gets a blank", {1.0, "cm"}, {kOne + " cm"}},
      {"text after an integer gets a blank",
       {int32_t{7}, " T*m/A "},
       {i7 + "  T*m/A "}},
      {"label, value, unit",
       {" mu0 = ", 0.5, " T*m/A "},
       {"  mu0 = " + kHalf + "  T*m/A "}},
      {"number after text: no blank", {"a=", 0.5}, {" a=" + kHalf}},
      {"numbers are not separated",
       {1.0, int32_t{7}, 0.5},
       {kOne + i7 + kHalf}},
      {"79-column grid line fits",
       {" Zmin, Zmax, Nz = ", 1.0, 0.5, int32_t{41}},
       {"  Zmin, Zmax, Nz = " + kOne + kHalf + i41}},
      {"82 columns: the integer wraps alone",
       {label21, 1.0, 0.5, int32_t{41}},
       {" " + label21 + kOne + kHalf, i41}},
      {"84 columns: the second limit wraps alone",
       {shifted, -5.0, 5.0},
       {" " + shifted + "  -5.00000000000000     ",
        "   5.00000000000000     "}},
      {"text and three doubles in exactly 80 columns",
       {"label: ", 1.0, 1.0, 1.0},
       {" label: " + rep(kOne, 3)}},
      {"one column more: the third double wraps",
       {"label:  ", 1.0, 1.0, 1.0},
       {" label:  " + rep(kOne, 2), kOne}},
      {"two doubles fill to column 80",
       {t31, 1.0, 1.0},
       {" " + t31 + kOne + kOne}},
      {"column 81 wraps", {t32, 1.0, 1.0}, {" " + t32 + kOne, kOne}},
      {"six integers on one line", six_ints, {rep(i7, 6)}},
      {"the seventh integer wraps", seven_ints, {rep(i7, 6), i7}},
      {"three doubles leave no room for an integer",
       {1.0, 1.0, 1.0, int32_t{7}},
       {rep(kOne, 3), i7}},
      {"five integers leave no room for a double",
       {int32_t{7}, int32_t{7}, int32_t{7}, int32_t{7}, int32_t{7}, 1.0},
       {rep(i7, 5), kOne}},
      {"text of 7 after three doubles ends at column 80",
       {1.0, 1.0, 1.0, "1234567"},
       {rep(kOne, 3) + " 1234567"}},
      {"text of 8 after three doubles wraps with its blank",
       {1.0, 1.0, 1.0, "12345678"},
       {rep(kOne, 3), " 12345678"}},
      {"text after text fits to column 80", {t70, t9}, {" " + t70 + t9}},
      {"text after text wraps with a blank",
       {t70, t10},
       {" " + t70, " " + t10}},
      {"number after a wrapped text",
       {t70, t10, 0.5},
       {" " + t70, " " + t10 + kHalf}},
      {"zero and negative zero alike", {0.0, -0.0}, {kZero + kZero}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(lines_of(c.items), c.want);
  }
}

TEST(ListDirectedLines, ManyDoublesThreePerLine) {
  std::vector<ListItem> six(6, ListItem(0.5));
  EXPECT_EQ(lines_of(six), (Lines{rep(kHalf, 3), rep(kHalf, 3)}));

  std::vector<ListItem> items;
  for (int k = 0; k < 25; ++k)
    items.emplace_back(k % 2 == 0 ? 1.0 : 0.5);
  const Lines got = lines_of(items);
  ASSERT_EQ(got.size(), 9u);
  std::string joined;
  for (std::size_t k = 0; k < 8; ++k) {
    EXPECT_EQ(got[k].size(), 72u) << "line " << k;
    joined += got[k];
  }
  EXPECT_EQ(got[8], kOne);
  joined += got[8];
  std::string want;
  for (int k = 0; k < 25; ++k)
    want += (k % 2 == 0 ? kOne : kHalf);
  EXPECT_EQ(joined, want);
}

TEST(ListDirectedLines, LongTextIsSplit) {
  std::string t79(79, 'x');
  std::string t80;
  for (int k = 0; k < 80; ++k)
    t80 += static_cast<char>('a' + k % 26);
  std::string t200;
  for (int k = 0; k < 200; ++k)
    t200 += static_cast<char>('A' + k % 26);

  EXPECT_EQ(lines_of({t79}), (Lines{" " + t79}));
  EXPECT_EQ(lines_of({t80}),
            (Lines{" " + t80.substr(0, 79), " " + t80.substr(79)}));
  EXPECT_EQ(lines_of({t200}),
            (Lines{" " + t200.substr(0, 79), " " + t200.substr(79, 79),
                   " " + t200.substr(158)}));
  EXPECT_EQ(lines_of({t80, 0.5}),
            (Lines{" " + t80.substr(0, 79), " " + t80.substr(79) + kHalf}));
}

// Where a long text after a number breaks is a matter of layout; what must
// hold is the 80-column limit, one blank in front of every piece of it and
// no character lost.
TEST(ListDirectedLines, LongTextAfterNumberKeepsEveryCharacter) {
  std::string t(150, ' ');
  for (std::size_t k = 0; k < t.size(); ++k) {
    t[k] = static_cast<char>('a' + k % 26);
  }
  const Lines got = lines_of({1.0, t});
  ASSERT_FALSE(got.empty());
  ASSERT_EQ(got[0].substr(0, 24), kOne);
  std::string joined;
  for (std::size_t k = 0; k < got.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_LE(got[k].size(), 80u);
    std::string piece = k == 0 ? got[k].substr(24) : got[k];
    if (k > 0) {
      EXPECT_FALSE(piece.empty());
    }
    if (piece.empty())
      continue;
    EXPECT_EQ(piece[0], ' ');
    joined += piece.substr(1);
  }
  EXPECT_EQ(joined, t);
  EXPECT_LE(got.size(), 3u);
}

TEST(ListDirectedLines, NeverWiderThanEightyColumns) {
  // Every mix of the three kinds of items, with texts of many lengths.
  for (int len = 0; len < 90; len += 7) {
    std::string t(static_cast<std::size_t>(len), 't');
    std::vector<ListItem> items;
    for (int k = 0; k < 12; ++k) {
      switch (k % 4) {
      case 0:
        items.emplace_back(t);
        break;
      case 1:
        items.emplace_back(-2.5);
        break;
      case 2:
        items.emplace_back(int32_t{-7});
        break;
      default:
        items.emplace_back(1e-300);
        break;
      }
    }
    for (const auto& line : lines_of(items)) {
      SCOPED_TRACE(len);
      EXPECT_LE(line.size(), 80u);
      EXPECT_FALSE(line.empty());
    }
  }
}

// ------------------------------------------------------------------------
// Formatted edits

TEST(FormattedEdits, Integer) {
  const struct {
    int64_t v;
    int w, m;
    const char* want;
  } cases[] = {
      {7, 5, 1, "    7"},
      {-1234, 5, 1, "-1234"},
      {12345, 5, 1, "12345"},
      {-12345, 5, 1, "*****"},
      {123456, 5, 1, "*****"},
      {0, 1, 1, "0"},
      {INT32_MIN, 12, 1, " -2147483648"},
      // I2.2, the file number of the field-file name.
      {0, 2, 2, "00"},
      {1, 2, 2, "01"},
      {7, 2, 2, "07"},
      {12, 2, 2, "12"},
      {99, 2, 2, "99"},
      {100, 2, 2, "**"},
      {-1, 2, 2, "**"},
      {-99, 2, 2, "**"},
      // At least m digits, sign in front of the zeros.
      {7, 5, 3, "  007"},
      {-7, 5, 3, " -007"},
      {1234, 5, 3, " 1234"},
      {-7, 4, 3, "-007"},
      {-7, 3, 3, "***"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.v) + " I" + std::to_string(c.w) + "." +
                 std::to_string(c.m));
    EXPECT_EQ(edit_I(c.v, c.w, c.m), c.want);
  }
  EXPECT_EQ(edit_I(42, 6), "    42");
}

TEST(FormattedEdits, FixedPoint) {
  const struct {
    double v;
    int w, d;
    const char* want;
  } cases[] = {
      {-2.5, 14, 6, "     -2.500000"},
      {-1.0, 14, 6, "     -1.000000"},
      {250.0, 14, 6, "    250.000000"},
      {0.5, 8, 6, "0.500000"},  // the leading 0 is written
      {0.0, 14, 6, "      0.000000"},
      {-0.0, 14, 6, "      0.000000"},   // exact -0: no sign
      {-1e-9, 14, 6, "     -0.000000"},  // rounds to zero, keeps its sign
      {-4e-7, 14, 6, "     -0.000000"},
      {5e-7, 14, 6, "      0.000000"},  // just below 5e-7 in binary
      // Ties of the exact binary value go to the even digit.
      {0.5078125, 10, 6, "  0.507812"},
      {0.5234375, 10, 6, "  0.523438"},
      {0.25, 4, 1, " 0.2"},
      {0.375, 5, 2, " 0.38"},
      // Too wide: w asterisks.
      {1234567.0, 14, 6, "1234567.000000"},
      {9999999.999999, 14, 6, "9999999.999999"},
      {-1234567.0, 14, 6, "**************"},
      {9999999.9999996, 14, 6, "**************"},  // rounds up to 8 digits
      {1e9, 14, 6, "**************"},
      {1e300, 14, 6, "**************"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(hex(c.v) + " F" + std::to_string(c.w) + "." +
                 std::to_string(c.d));
    EXPECT_EQ(edit_F(c.v, c.w, c.d), c.want);
  }
}

// Fw.0 still writes the point: "2." is fixed-point, "2" would be an
// integer.  Rounding ties to even.
TEST(FormattedEdits, FixedPointWithoutDecimalsKeepsThePoint) {
  EXPECT_EQ(edit_F(2.5, 3, 0), " 2.");
  EXPECT_EQ(edit_F(3.5, 3, 0), " 4.");
  EXPECT_EQ(edit_F(-7.0, 5, 0), "  -7.");
}

TEST(FormattedEdits, Exponent) {
  const struct {
    double v;
    int w, d;
    const char* want;
  } cases[] = {
      {250.0, 14, 6, "  0.250000E+03"},
      {-250.0, 14, 6, " -0.250000E+03"},
      {-2.5, 14, 6, " -0.250000E+01"},
      {1.0, 14, 6, "  0.100000E+01"},
      {0.1, 14, 6, "  0.100000E+00"},
      {0.0, 14, 6, "  0.000000E+00"},
      {-0.0, 14, 6, "  0.000000E+00"},
      {-1e-9, 14, 6, " -0.100000E-08"},
      {1e-10, 14, 6, "  0.100000E-09"},
      {9.9999996, 14, 6, "  0.100000E+02"},  // rounding carries into E
      {0.5078125, 14, 6, "  0.507812E+00"},  // ties to even
      {0.5234375, 14, 6, "  0.523438E+00"},
      // Three-digit exponents drop the letter.
      {1e-99, 14, 6, "  0.100000E-98"},
      {1e-100, 14, 6, "  0.100000E-99"},
      {9.9999999e-101, 14, 6, "  0.100000E-99"},
      {1e-101, 14, 6, "  0.100000-100"},
      {1.5e-120, 14, 6, "  0.150000-119"},
      {-1.5e-120, 14, 6, " -0.150000-119"},
      {1.5e120, 14, 6, "  0.150000+121"},
      {0x1.fffffffffffffp+1023, 14, 6, "  0.179769+309"},
      {0x0.0000000000001p-1022, 14, 6, "  0.494066-323"},
      // Width.
      {1.0, 12, 6, "0.100000E+01"},
      {1.0, 10, 6, "**********"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(hex(c.v) + " E" + std::to_string(c.w) + "." +
                 std::to_string(c.d));
    EXPECT_EQ(edit_E(c.v, c.w, c.d), c.want);
  }
}

TEST(FormattedEdits, TextAndBlanks) {
  EXPECT_EQ(edit_A("abcdefgh", 5), "abcde");
  EXPECT_EQ(edit_A("eh_ZIV.#", 8), "eh_ZIV.#");
  EXPECT_EQ(edit_X(2), "  ");
  EXPECT_EQ(edit_X(0), "");
}

// The per-slice line of the Maxwell check, put together from the edits.
TEST(FormattedEdits, MaxwellSliceLine) {
  const std::string line = std::string("  iz, zz, I_H, I_E, ratio= ") +
                           edit_I(7, 5) + edit_X(2) + edit_F(-2.5, 14, 6) +
                           edit_X(2) + edit_E(250.0, 14, 6) + edit_X(2) +
                           edit_E(-250.0, 14, 6) + edit_F(-1.0, 14, 6);
  EXPECT_EQ(line,
            "  iz, zz, I_H, I_E, ratio=     7       -2.500000    0.250000E+03"
            "   -0.250000E+03     -1.000000");
  EXPECT_EQ(line.size(), 94u);
}

// ------------------------------------------------------------------------
// Free-format scanning

struct Scanned {
  ScanResult r;
  std::size_t filled;
  std::vector<double> got;  // the filled items, integers widened
  std::vector<double> reals;
  std::vector<int32_t> ints;
};

// Scans `rec` into items of the given kinds ('i' integer, 'r' real).
Scanned scan(std::string_view rec, std::string_view kinds) {
  Scanned s{};
  s.reals.assign(kinds.size(), -7777.0);
  s.ints.assign(kinds.size(), -7777);
  std::vector<ReadItem> items;
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    items.push_back(kinds[k] == 'i' ? int_item(s.ints[k], "int")
                                    : real_item(s.reals[k], "real"));
  }
  s.filled = 0;
  s.r = scan_items(rec, 0, items, s.filled);
  for (std::size_t k = 0; k < s.filled && k < kinds.size(); ++k) {
    s.got.push_back(kinds[k] == 'i' ? static_cast<double>(s.ints[k])
                                    : s.reals[k]);
  }
  return s;
}

struct ScanCase {
  const char* rec;
  const char* kinds;
  ScanErr err;
  std::vector<double> want;  // values filled before the faulty item
};

void check_scans(const std::vector<ScanCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("record \"") + c.rec + "\" items " + c.kinds);
    const Scanned s = scan(c.rec, c.kinds);
    EXPECT_EQ(s.r.err, c.err) << "got " << scan_error_text(s.r.err) << ", want "
                              << scan_error_text(c.err);
    if (c.err == ScanErr::None) {
      EXPECT_EQ(s.filled, std::strlen(c.kinds));
      EXPECT_EQ(s.got, c.want);
    } else {
      // The items before the faulty one are filled; whether the faulty
      // item itself was stored before its end was found does not matter.
      ASSERT_GE(s.filled, c.want.size());
      EXPECT_LE(s.filled, c.want.size() + 1);
      EXPECT_EQ(std::vector<double>(
                    s.got.begin(),
                    s.got.begin() + static_cast<std::ptrdiff_t>(c.want.size())),
                c.want);
    }
  }
}

TEST(FreeFormatScan, Separators) {
  check_scans({
      {"1 2 3", "iii", ScanErr::None, {1, 2, 3}},
      {"1,2,3", "iii", ScanErr::None, {1, 2, 3}},
      {"1 , 2 ,3", "iii", ScanErr::None, {1, 2, 3}},
      {"1\t2 \t 3", "iii", ScanErr::None, {1, 2, 3}},
      {"   \t 7", "i", ScanErr::None, {7}},
      {"1.5,  -2.5e1 ,3", "rrr", ScanErr::None, {1.5, -25.0, 3.0}},
      {"1 2", "iii", ScanErr::EndOfRecord, {1, 2}},
      {"1,", "ii", ScanErr::EndOfRecord, {1}},
      {"", "i", ScanErr::EndOfRecord, {}},
      {"   \t ", "r", ScanErr::EndOfRecord, {}},
  });
}

TEST(FreeFormatScan, AfterTheLastItem) {
  check_scans({
      // A comment after the value, and anything at all after the last item.
      {"2   isym_z", "i", ScanErr::None, {2}},
      {"5 abc ,, 3*2 / 'q'", "i", ScanErr::None, {5}},
      {"1 1 0   keys x,y,z", "iii", ScanErr::None, {1, 1, 0}},
      // A number ends at the first character that cannot continue it; after
      // the last item only a blank, a tab, a comma or ")" may follow it.
      {"10cm", "i", ScanErr::GluedText, {}},
      {"10cm", "r", ScanErr::GluedText, {}},
      {"0.0,0.0)", "rr", ScanErr::None, {0, 0}},
      {"83.0880279,11)", "rr", ScanErr::None, {83.0880279, 11}},
      {"50,0.0)", "rr", ScanErr::None, {50, 0}},
      // Not so before the last item.
      {"10cm 5", "ii", ScanErr::BadEnd, {}},
      {"0.0),0.0", "rr", ScanErr::BadEnd, {}},
      {"1 2x 3", "iii", ScanErr::BadEnd, {1}},
  });
}

TEST(FreeFormatScan, NumberForms) {
  check_scans({
      {"5.", "r", ScanErr::None, {5.0}},
      {".5", "r", ScanErr::None, {0.5}},
      {"-.5", "r", ScanErr::None, {-0.5}},
      {"+.5e1", "r", ScanErr::None, {5.0}},
      {"-5.", "r", ScanErr::None, {-5.0}},
      {"+5", "i", ScanErr::None, {5}},
      {"-0", "i", ScanErr::None, {0}},
      {"007", "i", ScanErr::None, {7}},
      {"12", "r", ScanErr::None, {12.0}},
      {"1.5D3", "r", ScanErr::None, {1500.0}},
      {"1.5d-3", "r", ScanErr::None, {0.0015}},
      {"2E+2", "r", ScanErr::None, {200.0}},
      {"2e2", "r", ScanErr::None, {200.0}},
      {"1.887459E-02", "r", ScanErr::None, {1.887459E-02}},
      {"2856.0e6", "r", ScanErr::None, {2856.0e6}},
      {"0.1", "r", ScanErr::None, {0.1}},
      {"1.7976931348623157e308", "r", ScanErr::None, {0x1.fffffffffffffp+1023}},
      {"4.9406564584124654e-324",
       "r",
       ScanErr::None,
       {0x0.0000000000001p-1022}},
      {"2.2250738585072014E-308", "r", ScanErr::None, {0x1p-1022}},
      {"123456789012345678901234567890",
       "r",
       ScanErr::None,
       {123456789012345678901234567890.0}},
      {"2147483647", "i", ScanErr::None, {2147483647}},
      {"-2147483648", "i", ScanErr::None, {-2147483648.0}},
  });
}

TEST(FreeFormatScan, Errors) {
  check_scans({
      // Text where a number is expected.
      {"abc", "i", ScanErr::NotANumber, {}},
      {".", "r", ScanErr::NotANumber, {}},
      {"-", "r", ScanErr::NotANumber, {}},
      {"+ 5", "i", ScanErr::NotANumber, {}},
      {"e5", "r", ScanErr::NotANumber, {}},
      {"1 x", "ii", ScanErr::NotANumber, {1}},
      // An exponent letter must be followed by its digits.
      {"1.5E)", "r", ScanErr::BadExponent, {}},
      {"2.0deg", "r", ScanErr::BadExponent, {}},
      {"1.5e", "r", ScanErr::BadExponent, {}},
      {"1.5e+", "r", ScanErr::BadExponent, {}},
      {"3E-x 4", "rr", ScanErr::BadExponent, {}},
      // Integer items.
      {"40.0", "i", ScanErr::NotAnInteger, {}},
      {"40.", "i", ScanErr::NotAnInteger, {}},
      {"4e1", "i", ScanErr::NotAnInteger, {}},
      {"4D1", "i", ScanErr::NotAnInteger, {}},
      {"1 2.5 3", "iii", ScanErr::NotAnInteger, {1}},
      {"2147483648", "i", ScanErr::IntRange, {}},
      {"-2147483649", "i", ScanErr::IntRange, {}},
      {"99999999999999999999", "i", ScanErr::IntRange, {}},
      // Reals that overflow.
      {"1e309", "r", ScanErr::RealRange, {}},
      {"-1.8e308", "r", ScanErr::RealRange, {}},
      {"1.7976931348623159e308", "r", ScanErr::RealRange, {}},
      // Forms the program's files never hold.
      {"1,,2", "iii", ScanErr::NullValue, {1}},
      {"1 , , 2", "iii", ScanErr::NullValue, {1}},
      {",1", "i", ScanErr::NullValue, {}},
      {"3*1.0", "rr", ScanErr::RepeatCount, {}},
      {"3*1.0", "r", ScanErr::RepeatCount, {}},
      {"1 2*5", "iii", ScanErr::RepeatCount, {1}},
      {"1 /", "ii", ScanErr::Slash, {1}},
      {"/", "i", ScanErr::Slash, {}},
  });
  // Quoted strings have no class of their own, but are never a number.
  for (const char* rec : {"'abc'", "\"abc\"", "'1'"}) {
    SCOPED_TRACE(rec);
    EXPECT_NE(scan(rec, "r").r.err, ScanErr::None);
  }
  for (auto e : {ScanErr::EndOfRecord, ScanErr::NotANumber, ScanErr::BadEnd,
                 ScanErr::BadExponent, ScanErr::IntRange, ScanErr::RealRange,
                 ScanErr::NotAnInteger, ScanErr::NullValue,
                 ScanErr::RepeatCount, ScanErr::Slash}) {
    ASSERT_NE(scan_error_text(e), nullptr);
    EXPECT_GT(std::strlen(scan_error_text(e)), 0u);
  }
}

TEST(FreeFormatScan, NegativeZeroKeepsItsSign) {
  const Scanned s = scan("-0.0 -0", "rr");
  ASSERT_EQ(s.r.err, ScanErr::None);
  EXPECT_TRUE(std::signbit(s.reals[0]));
  EXPECT_TRUE(std::signbit(s.reals[1]));
}

TEST(FreeFormatScan, ContinuesWhereTheRecordEnded) {
  int32_t a = 0, b = 0, c = 0;
  const ReadItem items[] = {int_item(a, "a"), int_item(b, "b"),
                            int_item(c, "c")};
  std::size_t filled = 0;
  ScanResult r = scan_items("1 2", 0, items, filled);
  EXPECT_EQ(r.err, ScanErr::EndOfRecord);
  EXPECT_EQ(filled, 2u);
  r = scan_items("  3  4", 0, items, filled);
  EXPECT_EQ(r.err, ScanErr::None);
  EXPECT_EQ(filled, 3u);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
}

TEST(FreeFormatScan, SingleNumberEndPosition) {
  const struct {
    const char* s;
    std::size_t pos;
    double v;
    std::size_t end;
  } reals[] = {
      {"2.5", 0, 2.5, 3}, {"10cm", 0, 10.0, 2}, {"ab -1.5e3,", 3, -1500.0, 9},
      {"5.)", 0, 5.0, 2}, {".5 x", 0, 0.5, 2},  {"1D2", 0, 100.0, 3},
  };
  for (const auto& c : reals) {
    SCOPED_TRACE(c.s);
    double v = -1.0;
    const ScanResult r = scan_real(c.s, c.pos, v);
    EXPECT_EQ(r.err, ScanErr::None);
    EXPECT_EQ(r.pos, c.end);
    EXPECT_EQ(v, c.v);
  }
  int32_t i = -1;
  ScanResult r = scan_int("x-42)", 1, i);
  EXPECT_EQ(r.err, ScanErr::None);
  EXPECT_EQ(r.pos, 4u);
  EXPECT_EQ(i, -42);
  double v = 0.0;
  EXPECT_EQ(scan_real("1.5E)", 0, v).err, ScanErr::BadExponent);
  EXPECT_EQ(scan_real("1e999", 0, v).err, ScanErr::RealRange);
  EXPECT_EQ(scan_int("40.0", 0, i).err, ScanErr::NotAnInteger);
  EXPECT_EQ(scan_int("4294967296", 0, i).err, ScanErr::IntRange);
}

// ------------------------------------------------------------------------
// Input channel

TextIn memory_in(std::string content, int unit = 1,
                 std::string name = "zereduv.dat") {
  TextIn in(unit, std::move(name));
  in.open_memory(std::move(content));
  return in;
}

int32_t read_int(TextIn& in) {
  int32_t v = -7777;
  in.read_list({int_item(v, "v")});
  return v;
}

TEST(TextInput, ListReadsContinueAndSkipTheRest) {
  TextIn in = memory_in("1 2\n3 4 five\n5, 6\n\n   \n7\n");
  int32_t a = 0, b = 0, c = 0;
  in.read_list({int_item(a, "a"), int_item(b, "b"), int_item(c, "c")});
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(in.line(), 2);
  EXPECT_EQ(read_int(in), 5);  // "4 five" was skipped with its record
  EXPECT_EQ(in.line(), 3);
  double x = 0.0;
  in.read_list({real_item(x, "x")});  // over two records without values
  EXPECT_EQ(x, 7.0);
  EXPECT_EQ(in.line(), 6);
  EXPECT_TRUE(in.at_end());
}

TEST(TextInput, CommaAtRecordEndSeparatesFromTheNextRecord) {
  TextIn in = memory_in("1,\n2\n");
  int32_t a = 0, b = 0;
  in.read_list({int_item(a, "a"), int_item(b, "b")});
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
}

TEST(TextInput, RecordEnds) {
  // CR LF, lone LF, a lone CR inside a record, and a last line without LF.
  TextIn in = memory_in("ab\r\ncd\nx\ry\r\n\r\nlast");
  EXPECT_EQ(in.read_text(80, "r1"), "ab" + std::string(78, ' '));
  EXPECT_EQ(in.read_text(80, "r2"), "cd" + std::string(78, ' '));
  EXPECT_EQ(in.read_text(5, "r3"), std::string("x\ry  "));
  EXPECT_EQ(in.read_text(80, "r4"), std::string(80, ' '));
  EXPECT_FALSE(in.at_end());
  EXPECT_EQ(in.read_text(80, "r5"), "last" + std::string(76, ' '));
  EXPECT_TRUE(in.at_end());
  EXPECT_EQ(in.line(), 5);

  // A final LF ends the last record; it does not start another one.
  TextIn in2 = memory_in("7\r\n");
  EXPECT_EQ(read_int(in2), 7);
  EXPECT_TRUE(in2.at_end());
  const IoError e = io_error_of([&] { in2.skip("more"); });
  EXPECT_EQ(e.unit, 1);
}

TEST(TextInput, TextWidths) {
  std::string r120;
  for (int k = 0; k < 120; ++k)
    r120 += static_cast<char>('0' + k % 10);
  TextIn in =
      memory_in(r120 + "\n" + r120 + "\r\n  \tname.txt  \n" + r120 + "\n");
  EXPECT_EQ(in.read_text(80, "a"), r120.substr(0, 80));
  EXPECT_EQ(in.read_text(100, "b"), r120.substr(0, 100));
  EXPECT_EQ(in.read_text(100, "c"), "  \tname.txt" + std::string(89, ' '));
  in.skip("d");
  EXPECT_TRUE(in.at_end());
}

TEST(TextInput, ReadFromCharacterRange) {
  TextIn in = memory_in(
      "Electromagnetic fields for a rectangular area with corners at:\r\n"
      "(Zmin,Rmin) = (0.0,0.0)\r\n"
      "(Zmax,Rmax) = (83.0880279,11)\r\n"
      "Z and R increments:   200    22\r\n"
      "   0.00000       0.00000      1.887459E-02  0.000000E+00\r\n",
      2, "pillbox.txt");
  in.skip("title");
  double zmin = -1, rmin = -1, zmax = -1, rmax = -1;
  int32_t nz = -1, nr = -1;
  std::string rec = in.read_text(100, "limits A");
  in.read_from(std::string_view(rec).substr(15),
               {real_item(zmin, "Zmin"), real_item(rmin, "Rmin")});
  rec = in.read_text(100, "limits B");
  in.read_from(std::string_view(rec).substr(15),
               {real_item(zmax, "Zmax"), real_item(rmax, "Rmax")});
  rec = in.read_text(100, "counts");
  in.read_from(std::string_view(rec).substr(22),
               {int_item(nz, "Nz"), int_item(nr, "Nr")});
  EXPECT_EQ(zmin, 0.0);
  EXPECT_EQ(rmin, 0.0);
  EXPECT_EQ(zmax, 83.0880279);
  EXPECT_EQ(rmax, 11.0);
  EXPECT_EQ(nz, 200);
  EXPECT_EQ(nr, 22);
  EXPECT_EQ(in.line(), 4);
  // The ranges consumed no records of their own.
  double z = -1, r = -1, ez = -1, er = -1;
  in.read_list({real_item(z, "Z"), real_item(r, "R"), real_item(ez, "Ez"),
                real_item(er, "Er")});
  EXPECT_EQ(ez, 1.887459E-02);
  EXPECT_EQ(in.line(), 5);
}

TEST(TextInput, RangeActsAsOneRecord) {
  TextIn in = memory_in("(Zmin,Rmin) = (0.0)\n5.0\n", 2, "tab.txt");
  const std::string rec = in.read_text(100, "limits");
  double a = -1, b = -1;
  const IoError e = io_error_of([&] {
    in.read_from(std::string_view(rec).substr(15),
                 {real_item(a, "Zmin"), real_item(b, "Rmin")});
  });
  EXPECT_EQ(e.unit, 2);
  EXPECT_EQ(e.file, "tab.txt");
  EXPECT_EQ(e.line, 1);
}

// Text glued to the last number of a read ends the run and is shown whole;
// a blank, a tab, a comma, ")" or the end of the record may follow it.
TEST(TextInput, TextGluedToTheLastNumber) {
  const struct {
    const char* rec;
    int items;          // reals read from the record
    const char* glued;  // the text the report shows; null: read as 5
  } cases[] = {
      {"0x1p3", 1, "0x1p3"},
      {"2..5", 1, "2..5"},
      {"5.0-3.0", 1, "5.0-3.0"},
      {"1e5e5", 1, "1e5e5"},
      {"1.3GHz", 1, "1.3GHz"},
      {"10cm", 1, "10cm"},
      {"0 1 2 3 4 7.0E+00x", 6, "7.0E+00x"},
      {"5", 1, nullptr},
      {"5\tHz", 1, nullptr},
      {"5, 6", 1, nullptr},
      {"5)cm", 1, nullptr},
      {"0 1 2 3 4 5 Hz", 6, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rec);
    TextIn in = memory_in(std::string(c.rec) + "\n", 2, "tab.txt");
    std::vector<double> v(static_cast<std::size_t>(c.items), -1.0);
    std::vector<ReadItem> items;
    for (double& x : v)
      items.push_back(real_item(x, "H"));
    if (c.glued == nullptr) {
      in.read_list(items);
      EXPECT_EQ(v.back(), 5.0);
      continue;
    }
    const IoError e = io_error_of([&] { in.read_list(items); });
    EXPECT_EQ(e.unit, 2);
    EXPECT_EQ(e.file, "tab.txt");
    EXPECT_EQ(e.line, 1);
    EXPECT_EQ(e.kind, "text glued to a number");
    EXPECT_NE(e.detail.find(std::string("found \"") + c.glued + "\""),
              std::string::npos)
        << e.detail;
  }
}

TEST(TextInput, ErrorsNameUnitFileAndLine) {
  const struct {
    const char* what;
    const char* content;
    long line;
  } cases[] = {
      {"text for a number", "1\n2\nabc\n", 3},
      {"real for an integer", "1\n2\n40.0\n", 3},
      {"error in a continuation record", "1\n2\n4\n\nx 7\n", 5},
      {"glued text before the last item", "1\n2\n3cm 4\n", 3},
      {"bad exponent", "1\n2\n2.0deg 1\n", 3},
      {"integer overflow", "1\n2\n3000000000 1\n", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TextIn in = memory_in(c.content, 1, "zereduv.dat");
    EXPECT_EQ(read_int(in), 1);
    EXPECT_EQ(read_int(in), 2);
    int32_t a = 0, b = 0;
    const IoError e = io_error_of([&] {
      in.read_list({int_item(a, "a"), int_item(b, "b")});
    });
    EXPECT_EQ(e.unit, 1);
    EXPECT_EQ(e.file, "zereduv.dat");
    EXPECT_EQ(e.line, c.line);
    const std::string msg = e.what();
    EXPECT_NE(msg.find("zereduv.dat"), std::string::npos) << msg;
  }
}

TEST(TextInput, Utf16TextIsRefusedAtItsFirstRecord) {
  using namespace std::string_literals;
  const struct {
    const char* what;
    std::string content;
    bool refused;
  } cases[] = {
      {"little-endian mark",
       "\xFF\xFE"
       "1\0\n\0"s,
       true},
      {"big-endian mark",
       "\xFE\xFF"
       "\0"
       "1\0\n"s,
       true},
      {"no mark, NUL in the first record",
       "1\0 \0"
       "2\0\r\0\n\0"s,
       true},
      {"NUL only in a later record", "1\n2\0\n"s, false},
      {"Latin-1 text",
       "\xFF"
       "1\n"s,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TextIn in = memory_in(c.content, 2, "cavity.txt");
    if (!c.refused) {
      EXPECT_NO_THROW(in.next_record("a title"));
      continue;
    }
    const IoError e = io_error_of([&] { in.next_record("a title"); });
    EXPECT_EQ(e.unit, 2);
    EXPECT_EQ(e.kind, "UTF-16 text");
    const std::string msg = e.what();
    EXPECT_NE(msg.find("\"cavity.txt\""), std::string::npos) << msg;
    EXPECT_NE(msg.find("save it as UTF-8"), std::string::npos) << msg;
  }
}

TEST(TextInput, EndOfFile) {
  // Before a list is filled, on a skip and on a text read.
  TextIn a = memory_in("1 2\n", 2, "table.txt");
  int32_t x = 0, y = 0, z = 0;
  IoError e = io_error_of([&] {
    a.read_list({int_item(x, "x"), int_item(y, "y"), int_item(z, "z")});
  });
  EXPECT_EQ(e.unit, 2);
  EXPECT_EQ(e.file, "table.txt");
  EXPECT_GE(e.line, 1);
  EXPECT_NE(std::string(e.what()).find("table.txt"), std::string::npos);

  TextIn b = memory_in("", 1, "zereduv.dat");
  e = io_error_of([&] { b.skip("title"); });
  EXPECT_EQ(e.unit, 1);
  EXPECT_EQ(e.file, "zereduv.dat");

  TextIn c = memory_in("only\n", 1, "zereduv.dat");
  c.skip("title");
  e = io_error_of([&] { c.read_text(80, "name"); });
  EXPECT_EQ(e.unit, 1);
}

TEST(TextInput, MissingFile) {
  ScratchDir dir;
  TextIn in(2, "no-such-table.txt");
  const IoError e = io_error_of([&] { in.open(dir / "no-such-table.txt"); });
  EXPECT_EQ(e.unit, 2);
  EXPECT_NE(e.file.find("no-such-table.txt"), std::string::npos);
}

TEST(TextInput, RealTableHeaderAndNodes) {
  const std::filesystem::path path =
      testing::shared_tables_dir() / "pillbox-2856mhz-mm.txt";
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << "no " << path;
  TextIn in(2, "pillbox-2856mhz-mm.txt");
  in.open(path);
  std::string rec;
  do {
    rec = in.read_text(100, "Zmin");
  } while (rec.find("Zmin") == std::string::npos);
  double zmin = -1, rmin = -1, zmax = -1, rmax = -1;
  int32_t nz = -1, nr = -1;
  in.read_from(std::string_view(rec).substr(15),
               {real_item(zmin, "Zmin"), real_item(rmin, "Rmin")});
  rec = in.read_text(100, "Zmax");
  in.read_from(std::string_view(rec).substr(15),
               {real_item(zmax, "Zmax"), real_item(rmax, "Rmax")});
  rec = in.read_text(100, "counts");
  in.read_from(std::string_view(rec).substr(22),
               {int_item(nz, "Nz"), int_item(nr, "Nr")});
  EXPECT_EQ(zmin, 0.0);
  EXPECT_EQ(rmin, 0.0);
  EXPECT_EQ(zmax, 83.0880279);
  EXPECT_EQ(rmax, 11.0);
  ASSERT_EQ(nz, 200);
  ASSERT_EQ(nr, 22);
  for (int k = 0; k < 3; ++k)
    in.skip("units");
  double v[6] = {};
  for (int k = 0; k < (nz + 1) * (nr + 1); ++k) {
    in.read_list({real_item(v[0], "Z"), real_item(v[1], "R"),
                  real_item(v[2], "Ez"), real_item(v[3], "Er"),
                  real_item(v[4], "E"), real_item(v[5], "H")});
    if (k == 0) {
      EXPECT_EQ(v[2], 1.887459E-02);
      EXPECT_EQ(v[5], 0.0);
    }
  }
  // The last node record of the table.
  EXPECT_EQ(v[0], 83.0880);
  EXPECT_EQ(v[1], 11.0);
  EXPECT_EQ(v[2], 2.039451E-03);
  EXPECT_EQ(v[5], 8.297700E+00);
}

// ------------------------------------------------------------------------
// Output channels

TEST(TextOutput, MemoryRecordsAndLineEnds) {
  TextOut log(8, "zereduv.log", LineEnd::CrLf);
  EXPECT_EQ(log.line_end(), "\r\n");
  log.record("abc");
  log.list({});
  log.list({" mu0 = ", 0.5, " T*m/A "});
  log.list({1.0, 1.0, 1.0, 1.0});
  log.record("");
  EXPECT_EQ(log.memory(), "abc\r\n \r\n  mu0 = " + kHalf + "  T*m/A \r\n" +
                              rep(kOne, 3) + "\r\n" + kOne + "\r\n\r\n");
  EXPECT_FALSE(log.is_file());
  EXPECT_EQ(log.unit(), 8);

  TextOut con(6, "standard output", LineEnd::Lf);
  EXPECT_EQ(con.line_end(), "\n");
  con.list({" Reading file: ", "tab.txt"});
  std::vector<ListItem> items{int32_t{-99}};
  con.list(std::span<const ListItem>(items.data(), items.size()));
  EXPECT_EQ(con.memory(), "  Reading file: tab.txt\n         -99\n");
}

TEST(TextOutput, FileIsTruncatedAndHoldsEveryRecord) {
  ScratchDir dir;
  dir.write("zereduv.log", std::string(5000, 'x'));
  {
    TextOut log(8, "zereduv.log", LineEnd::CrLf);
    log.open(dir / "zereduv.log");
    EXPECT_TRUE(log.is_file());
    for (int k = 0; k < 2000; ++k)
      log.list({" k = ", int32_t{k}});
    log.close();
  }
  const std::string bytes = dir.read("zereduv.log");
  std::string want;
  for (int k = 0; k < 2000; ++k)
    want += "  k = " + i12(k) + "\r\n";
  EXPECT_EQ(bytes, want);
}

TEST(TextOutput, QuietCloseKeepsWhatWasWritten) {
  ScratchDir dir;
  TextOut log(8, "zereduv.log", LineEnd::CrLf);
  log.open(dir / "zereduv.log");
  log.list({" line one "});
  log.close_quietly();
  EXPECT_EQ(dir.read("zereduv.log"), "  line one \r\n");
}

TEST(TextOutput, FailuresNameUnitAndFile) {
  ScratchDir dir;
  TextOut out(7, "eh_ZIV.#01", LineEnd::CrLf);
  IoError e = io_error_of([&] { out.open(dir / "no-dir" / "eh_ZIV.#01"); });
  EXPECT_EQ(e.unit, 7);
  EXPECT_NE(e.file.find("eh_ZIV.#01"), std::string::npos);

  if (!std::filesystem::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  // A full disk: the failure must surface, at the latest on close.
  TextOut full(7, "eh_ZIV.#02", LineEnd::CrLf);
  e = io_error_of([&] {
    full.open("/dev/full");
    for (int k = 0; k < 1000; ++k)
      full.list({1.0, 2.0, 3.0});
    full.close();
  });
  EXPECT_EQ(e.unit, 7);
  EXPECT_NE(e.file.find("eh_ZIV.#02"), std::string::npos);
}

}  // namespace
}  // namespace zereduv
