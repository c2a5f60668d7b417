// The fast number paths of the text layer against slow, obvious references:
// put_d24 against put_d24_reference (std::to_chars with 15 and 16 digits),
// scan_real against std::from_chars.  Both must agree bit for bit: the
// field-file text and every stored field value depend on them.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"
#include "support/scratch_dir.h"
#include "support/shared_tables.h"

namespace zereduv {
namespace {

// Sweep sizes can be scaled down (never below a floor) with
// ZEREDUV_SWEEP_SCALE for slow instrumented builds.
std::size_t scaled(std::size_t n) {
  const char* env = std::getenv("ZEREDUV_SWEEP_SCALE");
  if (env == nullptr)
    return n;
  double f = 1.0;
  std::from_chars(env, env + std::strlen(env), f);
  if (!(f > 0.0))
    f = 1.0;
  const auto k = static_cast<std::size_t>(static_cast<double>(n) * f);
  return k < 1000 ? 1000 : k;
}

std::string fast_field(double v) {
  char buf[kDoubleWidth];
  char* end = put_d24(buf, v);
  EXPECT_EQ(end, buf + kDoubleWidth);
  return std::string(buf, kDoubleWidth);
}

std::string reference_field(double v) {
  char buf[kDoubleWidth];
  put_d24_reference(buf, v);
  return std::string(buf, kDoubleWidth);
}

// Checks every value `gen` yields; reports the first few mismatches with the
// value's bits so a failure can be reproduced exactly.
struct SweepCount {
  std::size_t checked = 0;
  std::size_t failed = 0;
};

void check_value(double v, SweepCount& c) {
  ++c.checked;
  char fast[kDoubleWidth], ref[kDoubleWidth];
  put_d24(fast, v);
  put_d24_reference(ref, v);
  if (std::memcmp(fast, ref, kDoubleWidth) == 0)
    return;
  if (++c.failed <= 5) {
    char hex[32];
    std::to_chars(hex, hex + sizeof hex, v, std::chars_format::hex);
    ADD_FAILURE() << "value " << std::string(hex) << " bits 0x" << std::hex
                  << std::bit_cast<uint64_t>(v) << "\n fast ["
                  << std::string(fast, 24) << "]\n  ref ["
                  << std::string(ref, 24) << "]";
  }
}

void check_both_signs(double v, SweepCount& c) {
  check_value(v, c);
  check_value(-v, c);
}

// Walks `ulps` representable values on each side of v.
void check_neighbourhood(double v, int ulps, SweepCount& c) {
  double lo = v, hi = v;
  check_both_signs(v, c);
  for (int k = 0; k < ulps; ++k) {
    lo = std::nextafter(lo, 0.0);
    hi = std::nextafter(hi, std::numeric_limits<double>::infinity());
    if (std::isfinite(lo))
      check_both_signs(lo, c);
    if (std::isfinite(hi))
      check_both_signs(hi, c);
  }
}

TEST(FastD24, ListDirectedExamplesAndZeros) {
  struct Row {
    double v;
    const char* field;
  };
  const Row rows[] = {
      {1.0, "   1.00000000000000     "},
      {0.5, "  0.500000000000000     "},
      {1.0e-5, "  1.000000000000000E-005"},
      {0.0, "  0.000000000000000E+000"},
      {-0.0, "  0.000000000000000E+000"},
      {-1.0e-5, " -1.000000000000000E-005"},
      {-0.5, " -0.500000000000000     "},
      {123456789012345.0, "   123456789012345.     "},
      {-123456789012345.0, "  -123456789012345.     "},
      {1.0e15, "  1.000000000000000E+015"},
      {0.1, "  0.100000000000000     "},
      // 15 digits of 0.09999999999999999 round up to 0.1: fixed form.
      {0.09999999999999999, "  0.100000000000000     "},
      {0.0999999999999999, "  9.999999999999989E-002"},
      // 999999999999999.5 is a tie that rounds up to 1e15 with 15 digits, so
      // it takes the exponent form, which shows its own 16 digits.
      {999999999999999.5, "  9.999999999999995E+014"},
      {999999999999999.4, "   999999999999999.     "},
      {1.7976931348623157e308, "  1.797693134862316E+308"},
      {2.2250738585072014e-308, "  2.225073858507201E-308"},
      {4.9406564584124654e-324, "  4.940656458412465E-324"},
      // Exact ties at the 15th digit go to the even digit.
      {26075.66650390625, "   26075.6665039062     "},
      {0.125, "  0.125000000000000     "},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(fast_field(r.v), r.field) << r.v;
    EXPECT_EQ(reference_field(r.v), r.field) << r.v;
  }
}

TEST(FastD24, RandomBitPatternsOverTheWholeRange) {
  std::mt19937_64 rng(20261208);
  SweepCount c;
  const std::size_t n = scaled(1'000'000);
  while (c.checked < n) {
    const double v = std::bit_cast<double>(rng());
    if (std::isfinite(v))
      check_value(v, c);
  }
  EXPECT_EQ(c.failed, 0u) << "of " << c.checked;
}

TEST(FastD24, FieldValuesAndCoordinatesOfRealisticMagnitude) {
  // Field values of both signs from 1e-3 to 1e7 (V/cm, Gauss), products with
  // the rounding noise of trigonometry (1e-17 .. 1e-10), and grid
  // coordinates built as Xmin + (i-1)*Dx.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> decade(-3.0, 7.0), tiny(-18.0, -10.0),
      unit(0.0, 1.0);
  SweepCount c;
  const std::size_t n = scaled(300'000);
  for (std::size_t k = 0; k < n / 4; ++k) {
    const double m = 1.0 + 9.0 * unit(rng);
    check_both_signs(m * std::pow(10.0, std::floor(decade(rng))), c);
    check_value(std::pow(10.0, tiny(rng)) * (unit(rng) - 0.5), c);
  }
  for (int nsteps : {24, 200, 999}) {
    for (double len : {1.5, 2.0, 10.0, 104.865, 83.0880279}) {
      const double dx = 2.0 * len / nsteps;
      for (int i = 1; i <= nsteps + 1; ++i)
        check_both_signs(-len + (i - 1) * dx, c);
    }
  }
  EXPECT_EQ(c.failed, 0u) << "of " << c.checked;
}

TEST(FastD24, PowersOfTenAndRoundingBoundaries) {
  SweepCount c;
  for (int k = -323; k <= 308; ++k) {
    char text[32];
    // 10^k, and the numbers just below it whose 15 and 16 digit roundings
    // carry into 10^k: 9.99999999999999(9)5 x 10^(k-1).
    for (const char* form :
         {"1e%d", "9.999999999999995e%d", "9.9999999999999995e%d",
          "1.0000000000000005e%d", "5e%d"}) {
      std::snprintf(text, sizeof text, form, k);
      double v = 0.0;
      std::from_chars(text, text + std::strlen(text), v);
      if (v != 0.0 && std::isfinite(v))
        check_neighbourhood(v, 8, c);
    }
  }
  // The two edges of the fixed form, walked further.
  for (double edge : {0.1, 0.09999999999999995, 1.0e15, 999999999999999.5})
    check_neighbourhood(edge, 2000, c);
  EXPECT_EQ(c.failed, 0u) << "of " << c.checked;
}

TEST(FastD24, ExactTiesGoToEven) {
  // A value whose decimal expansion is n digits followed by exactly 5 is
  // odd * 2^-(j+1) with odd * 5^j = 2D + 1 of n + 1 digits.  Build them for
  // n = 15 (fixed-form ties, and exponent-form ties below 0.1) and n = 16
  // (exponent-form ties).
  std::mt19937_64 rng(26075);
  SweepCount c;
  std::size_t ties = 0;
  const std::size_t per_case = scaled(10'000);
  for (int n : {15, 16}) {
    const double lo_2d = 2.0 * std::pow(10.0, n - 1),
                 hi_2d = 2.0 * std::pow(10.0, n);
    for (int j = 0; j <= 27; ++j) {
      const double p5 = std::pow(5.0, j);
      const double olo = std::ceil(lo_2d / p5), ohi = std::floor(hi_2d / p5);
      if (ohi > 9007199254740991.0 || olo > ohi)
        continue;
      std::uniform_int_distribution<uint64_t> pick(static_cast<uint64_t>(olo),
                                                   static_cast<uint64_t>(ohi));
      for (std::size_t k = 0; k < per_case; ++k) {
        const uint64_t odd = pick(rng) | 1;
        const double v = std::ldexp(static_cast<double>(odd), -(j + 1));
        check_both_signs(v, c);
        ++ties;
      }
    }
  }
  EXPECT_GT(ties, 100'000u * per_case / 10'000);
  EXPECT_EQ(c.failed, 0u) << "of " << c.checked;
}

// ------------------------------------------------------------------------
// Free-format reading

// The value std::from_chars gives for a number in the program's grammar
// (exponent letter D/d written as e, a leading plus dropped).
double from_chars_value(std::string_view text) {
  std::string t(text);
  if (!t.empty() && t[0] == '+')
    t.erase(0, 1);
  for (char& ch : t)
    if (ch == 'D' || ch == 'd' || ch == 'E')
      ch = 'e';
  double v = std::numeric_limits<double>::quiet_NaN();
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  // Out of range here is an underflow (overflows are errors, tested apart):
  // a zero of the number's sign.
  if (r.ec == std::errc::result_out_of_range)
    v = t[0] == '-' ? -0.0 : 0.0;
  return v;
}

void expect_same_as_from_chars(std::string_view text, std::size_t& failed) {
  double got = -12345.0;
  const ScanResult r = scan_real(text, 0, got);
  const double want = from_chars_value(text);
  if (r.err == ScanErr::None && r.pos == text.size() &&
      std::bit_cast<uint64_t>(got) == std::bit_cast<uint64_t>(want))
    return;
  if (++failed <= 5)
    ADD_FAILURE() << "[" << text << "] err " << scan_error_text(r.err)
                  << " pos " << r.pos << " got " << got << " want " << want;
}

TEST(FastScanReal, AgreesWithFromCharsOnManyWritingsOfRandomValues) {
  std::mt19937_64 rng(402);
  std::uniform_real_distribution<double> decade(-6.0, 8.0), unit(0.0, 1.0);
  std::uniform_int_distribution<int> prec(0, 20);
  std::size_t failed = 0, checked = 0;
  const std::size_t n = scaled(200'000);
  char buf[128];
  for (std::size_t k = 0; k < n; ++k) {
    double v =
        (1.0 + 9.0 * unit(rng)) * std::pow(10.0, std::floor(decade(rng)));
    if (k % 3 == 0)
      v = -v;
    if (k % 50 == 0)
      v = std::bit_cast<double>(rng() & ~(uint64_t{1} << 62));
    const int p = prec(rng);
    // Shortest round trip, scientific (table style "1.926571E+00") and fixed
    // notation with a varying number of digits, and the same with a D.
    auto r1 = std::to_chars(buf, buf + sizeof buf, v);
    expect_same_as_from_chars(std::string_view(buf, r1.ptr), failed);
    auto r2 = std::to_chars(buf, buf + sizeof buf, v,
                            std::chars_format::scientific, p);
    std::string sci(buf, r2.ptr);
    for (char& ch : sci)
      if (ch == 'e')
        ch = (k % 2) ? 'E' : 'D';
    expect_same_as_from_chars(sci, failed);
    if (std::fabs(v) < 1e12) {
      auto r3 =
          std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, p);
      std::string fixed(buf, r3.ptr);
      if (v > 0 && k % 5 == 0)
        fixed.insert(0, 1, '+');
      expect_same_as_from_chars(fixed, failed);
    }
    checked += 3;
  }
  EXPECT_EQ(failed, 0u) << "of " << checked;
}

TEST(FastScanReal, AgreesWithFromCharsOnEdgeWritings) {
  const char* texts[] = {
      "0",
      "-0",
      "+0",
      "0.0",
      "-0.0",
      ".5",
      "5.",
      "-.5",
      "+5.",
      "0.000000",
      "1.932267E+00",
      "0.000000E+00",
      "-9.004039E-01",
      "58.782",
      "0.587820",
      // 19 and 20 significant digits, 2^53 and its neighbours.
      "1234567890123456789",
      "12345678901234567890",
      "9007199254740992",
      "9007199254740993",
      "9007199254740991",
      "0.1234567890123456789",
      // Leading and trailing zeros around the significant digits.
      "000000000000000000000000123.5",
      "0.00000000000000000000000000001",
      "1.0000000000000000000000000000",
      "100000000000000000000000",
      // Exponents at and beyond the exactly representable powers of ten.
      "1e22",
      "1e23",
      "1e-22",
      "1e-23",
      "123e20",
      "9007199254740993e22",
      "4.9406564584124654E-324",
      "2.2250738585072014E-308",
      "1.7976931348623157e308",
      "2.4703282292062327e-324",
      "2.4703282292062328e-324",
      "1e-400",
      "-1e-400",
      "0e999999999",
      "1d5",
      "1D-5",
      "7.e3",
  };
  std::size_t failed = 0;
  for (const char* t : texts)
    expect_same_as_from_chars(t, failed);
  EXPECT_EQ(failed, 0u);
}

// The field tables' own form d.ddddddE+dd has a path of its own: every
// exponent from -99 to 99 (those beyond 10^22 leave it for the general
// scanner), both signs, all four exponent letters, and look-alikes that
// must not be taken for it.
TEST(FastScanReal, TableFormAgreesWithFromChars) {
  std::mt19937_64 rng(201);
  std::uniform_int_distribution<int> digit(0, 9);
  const char letters[] = {'E', 'e', 'D', 'd'};
  std::size_t failed = 0, checked = 0;
  for (int ex = -99; ex <= 99; ++ex) {
    for (int k = 0; k < static_cast<int>(scaled(400)); ++k) {
      std::string t;
      if (k % 3 == 1)
        t += '-';
      if (k % 3 == 2 && k % 7 == 2)
        t += '+';
      t += static_cast<char>('0' + digit(rng));
      t += '.';
      for (int d = 0; d < 6; ++d)
        t += static_cast<char>('0' + (k == 0 ? 9 : digit(rng)));
      t += letters[k % 4];
      t += ex < 0 ? '-' : '+';
      t += static_cast<char>('0' + std::abs(ex) / 10);
      t += static_cast<char>('0' + std::abs(ex) % 10);
      expect_same_as_from_chars(t, failed);
      ++checked;
    }
  }
  const char* look_alikes[] = {
      "1.234567E+123", "1.234567E+1",  "1.2345678E+01", "12.34567E+01",
      "1.23456E+012",  "1.234567E01",  "0.000000E+00",  "-0.000000E+00",
      "9.999999E+22",  "9.999999E+23", "1.000000E-22",  "1.000000E-23",
  };
  for (const char* t : look_alikes)
    expect_same_as_from_chars(t, failed);
  EXPECT_EQ(failed, 0u) << "of " << checked;
}

TEST(FastScanReal, ErrorsAndStopPositions) {
  struct Row {
    const char* text;
    ScanErr err;
    std::size_t pos;
  };
  const Row rows[] = {
      {"abc", ScanErr::NotANumber, 0},
      {"-", ScanErr::NotANumber, 0},
      {".", ScanErr::NotANumber, 0},
      {"+.E5", ScanErr::NotANumber, 0},
      {"1.5E", ScanErr::BadExponent, 3},
      {"1.5E+", ScanErr::BadExponent, 3},
      {"2d-x", ScanErr::BadExponent, 1},
      {"1e309", ScanErr::RealRange, 0},
      {"-1.8e308", ScanErr::RealRange, 0},
      {"1e999999999999", ScanErr::RealRange, 0},
      // A number stops at the first character that cannot continue it.
      {"1.5)", ScanErr::None, 3},
      {"58.782,10)", ScanErr::None, 6},
      {"1.5E+03abc", ScanErr::None, 7},
      {"3..", ScanErr::None, 2},
      // Look-alikes of the tables' form: where each one ends.
      {"1.234567E+12.5", ScanErr::None, 12},
      {"1.234567E+1x", ScanErr::None, 11},
      {"1.234567E+xy", ScanErr::BadExponent, 8},
      {"1.2345,7E+01", ScanErr::None, 6},
      {"1.234567F+01", ScanErr::None, 8},
      {"1.23456/E+01", ScanErr::None, 7},
      {"-1.234567E-05 ", ScanErr::None, 13},
  };
  for (const Row& r : rows) {
    double v = 0.0;
    const ScanResult res = scan_real(r.text, 0, v);
    EXPECT_EQ(res.err, r.err) << r.text;
    EXPECT_EQ(res.pos, r.pos) << r.text;
  }
}

TEST(FastScanReal, RecordErrorsOfEveryClass) {
  struct Row {
    const char* rec;
    ScanErr err;
  };
  const Row rows[] = {
      {"1.0 2.0", ScanErr::EndOfRecord},
      {"1.0 x 3 4 5 6", ScanErr::NotANumber},
      {"1.0 2.0x 3", ScanErr::BadEnd},
      {"1.0 2E 3", ScanErr::BadExponent},
      {"1 2 3 4 5 1e400", ScanErr::RealRange},
      {"1.0,,2", ScanErr::NullValue},
      {"3*1.0", ScanErr::RepeatCount},
      {"1 2 /", ScanErr::Slash},
      {"1,2, 3 ,4\t5 6junk", ScanErr::GluedText},
  };
  for (const Row& r : rows) {
    double v[6] = {};
    const ReadItem items[6] = {real_item(v[0], "a"), real_item(v[1], "b"),
                               real_item(v[2], "c"), real_item(v[3], "d"),
                               real_item(v[4], "e"), real_item(v[5], "f")};
    std::size_t filled = 0;
    EXPECT_EQ(scan_items(r.rec, 0, items, filled).err, r.err) << r.rec;
  }
}

// Node records written in the table's style with varied separators (blanks,
// tabs, a comma), read through the input channel: the values std::from_chars
// gives for the words.
TEST(FastScanReal, SynthesizedNodeRecordsWithVariedSeparators) {
  std::mt19937_64 rng(2856);
  std::uniform_real_distribution<double> decade(-4.0, 8.0), unit(0.0, 1.0);
  std::uniform_int_distribution<int> sep(0, 5), prec(0, 9);
  const char* seps[] = {" ", "   ", "\t", " , ", ",", "      "};
  std::string text;
  std::vector<std::string> words;
  const std::size_t nrec = scaled(20'000);
  char buf[64];
  for (std::size_t r = 0; r < nrec; ++r) {
    text += "  ";
    for (int c = 0; c < 6; ++c) {
      double v = (unit(rng) - 0.5) * std::pow(10.0, std::floor(decade(rng)));
      if (c == 3 && r % 4 == 0)
        v = 0.0;
      const auto fmt =
          c < 2 ? std::chars_format::fixed : std::chars_format::scientific;
      const auto res = std::to_chars(buf, buf + sizeof buf, v, fmt, prec(rng));
      std::string w(buf, res.ptr);
      for (char& ch : w)
        if (ch == 'e')
          ch = 'E';
      words.push_back(w);
      text += w;
      if (c < 5)
        text += seps[sep(rng)];
    }
    text += r % 3 == 0 ? "  \r\n" : "\r\n";
  }
  TextIn in(2, "table");
  in.open_memory(text);
  double v[6];
  const ReadItem items[6] = {real_item(v[0], "Z"),  real_item(v[1], "R"),
                             real_item(v[2], "Ez"), real_item(v[3], "Er"),
                             real_item(v[4], "E"),  real_item(v[5], "H")};
  std::size_t failed = 0;
  for (std::size_t r = 0; r < nrec; ++r) {
    in.read_list(items);
    for (std::size_t c = 0; c < 6; ++c) {
      const double want = from_chars_value(words[6 * r + c]);
      if (std::bit_cast<uint64_t>(v[c]) != std::bit_cast<uint64_t>(want) &&
          ++failed <= 5)
        ADD_FAILURE() << "record " << r << " word [" << words[6 * r + c] << "]";
    }
  }
  EXPECT_TRUE(in.at_end());
  EXPECT_EQ(failed, 0u);
}

// Every node record of a real table, read through the input channel, gives
// the values std::from_chars gives for its six blank-separated words.
TEST(FastScanReal, NodeRecordsOfARealTable) {
  const std::string path = (testing::shared_tables_dir() /
                            "sns-mebt-rebuncher-402mhz-301x101-large.txt")
                               .string();
  std::ifstream f(path, std::ios::binary);
  if (!f)
    GTEST_SKIP() << "no table at " << path;
  std::ostringstream bytes;
  bytes << f.rdbuf();
  const std::string content = std::move(bytes).str();
  const std::size_t first = content.find("(MV/m)");
  ASSERT_NE(first, std::string::npos);
  const std::size_t body = content.find('\n', first) + 1;
  TextIn in(2, "table");
  in.open_memory(content.substr(body));
  std::string_view rest(content.data() + body, content.size() - body);
  std::size_t records = 0, failed = 0;
  double v[6];
  const ReadItem items[6] = {real_item(v[0], "Z"),  real_item(v[1], "R"),
                             real_item(v[2], "Ez"), real_item(v[3], "Er"),
                             real_item(v[4], "E"),  real_item(v[5], "H")};
  while (!rest.empty()) {
    const std::size_t nl = rest.find('\n');
    std::string_view line = rest.substr(0, nl);
    rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
    if (line.find_first_not_of(" \r") == std::string_view::npos)
      break;
    in.read_list(items);
    ++records;
    for (int k = 0; k < 6; ++k) {
      const std::size_t b = line.find_first_not_of(' ');
      const std::size_t e = line.find_first_of(" \r", b);
      const double want = from_chars_value(line.substr(b, e - b));
      line.remove_prefix(e == std::string_view::npos ? line.size() : e);
      if (std::bit_cast<uint64_t>(v[k]) != std::bit_cast<uint64_t>(want) &&
          ++failed <= 5)
        ADD_FAILURE() << "record " << records << " value " << k;
    }
  }
  EXPECT_EQ(records, 301u * 101u);
  EXPECT_EQ(failed, 0u);
}

// ------------------------------------------------------------------------
// Statements of doubles laid out without building their items

TEST(FastListDoubles, SameRecordsAsTheGeneralStatement) {
  std::mt19937_64 rng(201);
  std::uniform_real_distribution<double> decade(-20.0, 20.0), unit(-1.0, 1.0);
  for (std::size_t n :
       {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 25u, 201u, 1537u, 5000u}) {
    std::vector<double> v(n);
    for (double& x : v)
      x = unit(rng) * std::pow(10.0, decade(rng));
    if (n > 2)
      v[1] = -0.0;
    std::vector<ListItem> items(v.begin(), v.end());
    for (LineEnd end : {LineEnd::CrLf, LineEnd::Lf}) {
      TextOut general(7, "general", end), fast(7, "fast", end);
      general.list(std::span<const ListItem>(items));
      ListStatement<TextOut> st(fast);
      st.reals(v.data(), v.size());
      st.end();
      EXPECT_EQ(fast.memory(), general.memory()) << n << " values";
    }
  }
}

// A file read in one piece gives back its records exactly, whatever its
// size relative to the read sizes.
TEST(TextInFile, ReadsWholeFilesOfAnySize) {
  testing::ScratchDir dir;
  for (std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 300001u}) {
    std::string content;
    for (std::size_t k = 0; content.size() < size; ++k)
      content += "record " + std::to_string(k) + "\r\n";
    content.resize(size);
    dir.write("table.txt", content);
    TextIn in(2, "table.txt");
    in.open(dir.path() / "table.txt");
    std::string back;
    while (!in.at_end()) {
      back += in.next_record("a record");
      back += "\r\n";
    }
    // Every record ends with CR LF here except perhaps a cut last one.
    std::string expect = content;
    if (!expect.empty() && expect.back() == '\r')
      expect.pop_back();
    if (!expect.empty() && expect.back() != '\n')
      expect += "\r\n";
    EXPECT_EQ(back, expect) << size;
  }
}

}  // namespace
}  // namespace zereduv
