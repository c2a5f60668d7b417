// Sweeps of the list-directed double field and of the free-format number
// scanner against the slow references of reference_format.h: a million and
// more doubles (random bit patterns over the whole range, the 0.1 and 1e15
// form boundaries, powers of ten, exact decimal ties, subnormals), and
// numbers in every spelling the grammar allows, plus every error class.
//
// ZEREDUV_SWEEP_SCALE (a factor, default 1; 0.4 in sanitizer builds) scales
// the counts.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "run/errors.h"
#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"
#include "run/text/reference_format.h"

namespace zereduv {
namespace {

double sweep_scale() {
#if defined(__SANITIZE_ADDRESS__)
  double scale = 0.4;
#else
  double scale = 1.0;
#endif
  if (const char* env = std::getenv("ZEREDUV_SWEEP_SCALE")) {
    double v = 0.0;
    const auto r = std::from_chars(env, env + std::strlen(env), v);
    if (r.ec == std::errc() && v > 0.0)
      scale = v;
  }
  return scale;
}

std::size_t scaled(std::size_t n) {
  const double v = static_cast<double>(n) * sweep_scale();
  return v < 1.0 ? 1 : static_cast<std::size_t>(v);
}

std::string hex(double v) {
  char buf[64];
  const auto r =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::hex);
  return std::string(buf, r.ptr);
}

// Walks `count` doubles up and down from `centre`, both signs.
void add_walk(std::vector<double>& out, double centre, std::size_t count) {
  double up = centre, down = centre;
  for (std::size_t k = 0; k < count; ++k) {
    out.push_back(up);
    out.push_back(-up);
    out.push_back(down);
    out.push_back(-down);
    up = std::nextafter(up, INFINITY);
    down = std::nextafter(down, 0.0);
  }
}

// Odd multiples m * 2^-k whose exact decimal expansion has `digits`
// significant digits (the last one a 5): exact ties when rounded to one
// digit fewer.
void add_ties(std::vector<double>& out, int digits, std::size_t count,
              std::mt19937_64& rng) {
  uint64_t lo_digits = 1;
  for (int d = 1; d < digits; ++d)
    lo_digits *= 10;  // 10^(digits-1)
  const uint64_t hi_digits = lo_digits * 10;
  std::vector<int> ks;
  std::vector<uint64_t> p5s;
  uint64_t p5 = 1;
  for (int k = 1; k <= 26; ++k) {
    p5 *= 5;
    if (p5 >= hi_digits)
      break;
    ks.push_back(k);
    p5s.push_back(p5);
  }
  std::size_t made = 0;
  while (made < count) {
    const std::size_t pick = rng() % ks.size();
    const uint64_t f = p5s[pick];
    const uint64_t m_lo = (lo_digits + f - 1) / f;
    const uint64_t m_hi = (hi_digits - 1) / f;
    if (m_hi < m_lo)
      continue;
    uint64_t m = m_lo + rng() % (m_hi - m_lo + 1);
    if (m % 2 == 0) {
      if (m + 1 > m_hi)
        continue;
      ++m;
    }
    if (m >= (uint64_t{1} << 53))
      continue;
    const double v = std::ldexp(static_cast<double>(m), -ks[pick]);
    out.push_back(v);
    out.push_back(-v);
    made += 2;
  }
}

std::vector<double> make_sweep_values() {
  std::mt19937_64 rng(20240611);
  std::vector<double> v;
  // Random bit patterns over the whole range (no NaN or infinity).
  for (std::size_t k = 0, n = scaled(500000); k < n;) {
    const double d = std::bit_cast<double>(rng());
    if (!std::isfinite(d))
      continue;
    v.push_back(d);
    ++k;
  }
  // Random values of the magnitudes field files hold.
  std::uniform_real_distribution<double> lg(-6.0, 9.0);
  for (std::size_t k = 0, n = scaled(60000); k < n; ++k) {
    const double d = std::pow(10.0, lg(rng));
    v.push_back(k % 2 ? d : -d);
  }
  // Subnormals.
  for (std::size_t k = 0, n = scaled(20000); k < n; ++k) {
    v.push_back(std::bit_cast<double>(rng() & ((uint64_t{1} << 52) - 1)));
  }
  // The form boundaries 0.1 and 1e15.
  add_walk(v, 0.1, scaled(50000));
  add_walk(v, 1e15, scaled(50000));
  // Powers of ten and their neighbours.
  for (int e = -323; e <= 308; ++e) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, e);
    std::string s = "1e" + std::string(buf, r.ptr);
    double p = 0.0;
    std::from_chars(s.data(), s.data() + s.size(), p);
    add_walk(v, p, 8);
  }
  // Exact ties at 15 and at 16 significant digits.
  add_ties(v, 16, scaled(60000), rng);
  add_ties(v, 17, scaled(60000), rng);
  // Integers, and halves of integers around 1e15.
  for (std::size_t k = 0, n = scaled(20000); k < n; ++k) {
    const double i = static_cast<double>(rng() % 4000000000000000ULL);
    v.push_back(i);
    v.push_back(i + 0.5);
  }
  v.push_back(0.0);
  v.push_back(-0.0);
  return v;
}

const std::vector<double>& sweep_values() {
  static const std::vector<double> values = make_sweep_values();
  return values;
}

// The reference itself, on fields worked out by hand.
TEST(FormatSweep, ReferenceAgreesWithHandWorkedFields) {
  const struct {
    double v;
    const char* want;
  } cases[] = {
      {1.0, "   1.00000000000000     "},
      {0.5, "  0.500000000000000     "},
      {1e-5, "  1.000000000000000E-005"},
      {-0.0, "  0.000000000000000E+000"},
      {-2.5, "  -2.50000000000000     "},
      {0x1.9999999999999p-4, "  0.100000000000000     "},
      {0x1.9999999999995p-4, "  9.999999999999994E-002"},
      {0x1.c6bf52633ffffp+49, "  9.999999999999999E+014"},
      {999999999999999.5, "  9.999999999999995E+014"},
      {999999999999998.5, "   999999999999998.     "},
      {26075.66650390625, "   26075.6665039062     "},
      {1000000000000001.5, "  1.000000000000002E+015"},
      {0x1.3ffffffffffffp+3, "   10.0000000000000     "},
      {-0x0.0000000000001p-1022, " -4.940656458412465E-324"},
      {0x1.fffffffffffffp+1023, "  1.797693134862316E+308"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(hex(c.v));
    EXPECT_EQ(reference::d24(c.v), c.want);
  }
}

TEST(FormatSweep, ListDirectedDoubleMatchesReference) {
  const std::vector<double>& values = sweep_values();
  if (sweep_scale() >= 1.0) {
    EXPECT_GE(values.size(), 1000000u);
  }
  std::size_t bad = 0;
  char buf[32];
  char want[24];
  for (const double v : values) {
    std::memset(buf, '#', sizeof buf);
    char* end = put_d24(buf, v);
    reference::d24(want, v);
    if (end != buf + 24 || std::memcmp(buf, want, 24) != 0 || buf[24] != '#') {
      if (++bad <= 20) {
        ADD_FAILURE() << hex(v) << ": got \"" << std::string(buf, 24)
                      << "\", want \"" << std::string(want, 24) << "\"";
      }
    }
  }
  EXPECT_EQ(bad, 0u) << "of " << values.size() << " values";
}

// ------------------------------------------------------------------------
// Scanner sweeps

struct Got {
  ScanErr err;
  double value;
};

// One item of the given kind scanned from `rec`; `second` adds a following
// integer item, so the first one is not the last of its read.
Got scan_one(std::string_view rec, bool integer, bool second) {
  double r = -7777.0;
  int32_t i = -7777, i2 = 0;
  std::vector<ReadItem> items;
  items.push_back(integer ? int_item(i, "a") : real_item(r, "a"));
  if (second)
    items.push_back(int_item(i2, "b"));
  std::size_t filled = 0;
  const ScanResult res = scan_items(rec, 0, items, filled);
  return {res.err, integer ? static_cast<double>(i) : r};
}

bool same_bits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

std::string sci(double v, int precision) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v,
                               std::chars_format::scientific, precision);
  return std::string(buf, r.ptr);
}

// The spellings of one value that the grammar allows.
std::vector<std::string> spellings(double v, std::size_t k) {
  char buf[400];
  std::vector<std::string> out;
  auto r = std::to_chars(buf, buf + sizeof buf, v);  // shortest round trip
  out.emplace_back(buf, r.ptr);
  std::string s = sci(v, 16);  // 17 digits, exponent letter D or d, '+'
  for (char& ch : s) {
    if (ch == 'e')
      ch = (k % 2 ? 'D' : 'd');
  }
  out.push_back(std::signbit(v) ? s : "+" + s);
  std::string f = d24(v);  // the program's own field, read back
  out.push_back(f.substr(f.find_first_not_of(' ')));
  const double a = std::fabs(v);
  if (a >= 1e-6 && a < 1e20) {
    r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed,
                      static_cast<int>(k % 25));
    std::string fx(buf, r.ptr);
    if (fx.find('.') == std::string::npos)
      fx += '.';  // "5."
    // ".5" and "-.5" for magnitudes below 1.
    if (fx.rfind("0.", 0) == 0)
      fx.erase(0, 1);
    if (fx.rfind("-0.", 0) == 0)
      fx.erase(1, 1);
    if (fx != "." && fx != "-.")
      out.push_back(fx);
  }
  std::string upper = sci(v, static_cast<int>(k % 20));  // E, few digits
  for (char& ch : upper) {
    if (ch == 'e')
      ch = 'E';
  }
  out.push_back(upper);
  return out;
}

TEST(ScanSweep, RealsInEverySpellingMatchFromChars) {
  const std::vector<double>& values = sweep_values();
  const std::size_t step = 9;
  std::size_t bad = 0, checked = 0;
  for (std::size_t k = 0; k < values.size(); k += step) {
    for (const std::string& s : spellings(values[k], k)) {
      const reference::Scan want = reference::scan_item(s, false, true);
      // A short spelling of the largest doubles may overflow.
      ASSERT_TRUE(want.err == ScanErr::None || want.err == ScanErr::RealRange)
          << s;
      if (want.underflow)
        continue;
      // Alone, before another item, and with text glued after it.
      const struct {
        std::string rec;
        bool second;
      } recs[] = {{s, false},
                  {k % 2 ? s + " , 7" : " \t" + s + ")cm", k % 2 == 1}};
      for (const auto& rc : recs) {
        const Got got = scan_one(rc.rec, false, rc.second);
        ++checked;
        if (got.err != want.err ||
            (want.err == ScanErr::None && !same_bits(got.value, want.value))) {
          if (++bad <= 20) {
            ADD_FAILURE() << "\"" << rc.rec << "\": got "
                          << scan_error_text(got.err) << " " << hex(got.value)
                          << ", want " << hex(want.value);
          }
        }
      }
    }
  }
  EXPECT_EQ(bad, 0u) << "of " << checked << " scans";
  std::printf("[ sweep    ] %zu scans\n", checked);
  if (sweep_scale() >= 1.0) {
    EXPECT_GE(checked, 1000000u);
  }
}

// Random strings over the characters of numbers and of what may follow
// them: whether the scan succeeds, and the value, must agree with the
// grammar; the error class is checked by the targeted test below.
TEST(ScanSweep, RandomTokensAgreeWithTheGrammar) {
  static constexpr char kAlphabet[] = "0123456789000+-..eEdDx)";
  std::mt19937_64 rng(7);
  std::size_t bad = 0;
  const std::size_t n = scaled(250000);
  for (std::size_t t = 0; t < n; ++t) {
    std::string tok;
    const std::size_t len = 1 + rng() % 12;
    for (std::size_t k = 0; k < len; ++k) {
      tok += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    }
    for (int variant = 0; variant < 4; ++variant) {
      const bool integer = variant & 1;
      const bool last = variant < 2;
      const reference::Scan want = reference::scan_item(tok, integer, last);
      if (want.underflow)
        continue;
      const std::string rec = last ? tok : tok + " 1";
      const Got got = scan_one(rec, integer, !last);
      const bool ok_want = want.err == ScanErr::None;
      const bool ok_got = got.err == ScanErr::None;
      if (ok_want != ok_got || (ok_want && !same_bits(got.value, want.value))) {
        if (++bad <= 20) {
          ADD_FAILURE() << "\"" << rec << "\" as "
                        << (integer ? "integer" : "real")
                        << (last ? ", last item" : ", not the last item")
                        << ": got " << scan_error_text(got.err) << " "
                        << hex(got.value) << ", want "
                        << scan_error_text(want.err) << " " << hex(want.value);
        }
      }
    }
  }
  EXPECT_EQ(bad, 0u) << "of " << n << " tokens";
}

TEST(ScanSweep, EveryErrorClass) {
  std::mt19937_64 rng(11);
  std::size_t bad = 0, checked = 0;
  auto expect = [&](const std::string& rec, bool integer, bool second,
                    ScanErr want) {
    const Got got = scan_one(rec, integer, second);
    ++checked;
    if (got.err != want && ++bad <= 30) {
      ADD_FAILURE() << "\"" << rec << "\" as " << (integer ? "integer" : "real")
                    << ": got " << scan_error_text(got.err) << ", want "
                    << scan_error_text(want);
    }
  };
  const std::size_t n = scaled(20000);
  const char* kLetters = "EeDd";
  const char* kGlue = "x)(;:=abcXY'\"";
  for (std::size_t k = 0; k < n; ++k) {
    const double v = std::ldexp(static_cast<double>(rng() % 1000000),
                                -static_cast<int>(rng() % 30)) -
                     static_cast<double>(rng() % 1000);
    const std::string num = sci(v, static_cast<int>(k % 17));
    std::string mant = num.substr(0, num.find('e'));
    const std::string letter(1, kLetters[k % 4]);
    const std::string sign = k % 3 == 0 ? "" : (k % 3 == 1 ? "+" : "-");
    // An exponent letter without its digits, as the last item or not.
    for (const char* after : {"", ")", "x", " 1", ",1", "+)"}) {
      expect(mant + letter + sign + after, false, false, ScanErr::BadExponent);
      expect(mant + letter + sign + after + " 2", false, true,
             ScanErr::BadExponent);
    }
    // Something glued to an item that is not the last.
    const std::string glue(1, kGlue[k % std::strlen(kGlue)]);
    expect(num + glue + " 1", false, true, ScanErr::BadEnd);
    const std::string ival = std::to_string(static_cast<int32_t>(rng()));
    expect(ival + glue + " 1", true, true, ScanErr::BadEnd);
    // ... and after the last item only ")" may be.
    {
      const Got got = scan_one(num + glue, false, false);
      const reference::Scan want = reference::scan_item(num, false, true);
      const ScanErr want_err = glue == ")" ? ScanErr::None : ScanErr::GluedText;
      ++checked;
      if ((got.err != want_err ||
           (want_err == ScanErr::None && !same_bits(got.value, want.value))) &&
          ++bad <= 30) {
        ADD_FAILURE() << "\"" << num + glue << "\": got "
                      << scan_error_text(got.err);
      }
    }
    // A point or an exponent where an integer is expected.
    expect(num, true, false, ScanErr::NotAnInteger);
    expect(ival + ".", true, false, ScanErr::NotAnInteger);
    expect(ival + "e1", true, true, ScanErr::NotAnInteger);
    // Integers outside 32 bits.
    const int64_t big = static_cast<int64_t>(rng() >> (1 + rng() % 30));
    if (big > int64_t{INT32_MAX} + 1) {
      expect(std::to_string(big), true, false, ScanErr::IntRange);
      expect("-" + std::to_string(big), true, true, ScanErr::IntRange);
    }
    // Reals that overflow.
    const std::string exp = std::to_string(309 + rng() % 5000);
    expect((k % 2 ? "-" : "") + std::string("9.5e") + exp, false, k % 3 == 0,
           ScanErr::RealRange);
    expect(std::to_string(1 + rng() % 1000000) + "E+" + exp, false, false,
           ScanErr::RealRange);
    // Text where a number is expected.
    const std::string lead(1, "x)(;:=abcXY"[k % 11]);
    expect(lead + ival, k % 2 == 0, false, ScanErr::NotANumber);
    expect(sign.empty() ? "." : sign + ".e1", false, false,
           ScanErr::NotANumber);
    // Null values, repeat counts and a slash.
    expect(ival + ",," + ival, true, true, ScanErr::NullValue);
    expect(ival + " , , " + ival, false, true, ScanErr::NullValue);
    expect(std::to_string(1 + rng() % 99) + "*" + num, false, k % 2 == 0,
           ScanErr::RepeatCount);
    expect("/ " + ival, true, false, ScanErr::Slash);
    expect(ival + " / 5", true, true, ScanErr::Slash);
  }
  EXPECT_EQ(bad, 0u) << "of " << checked << " scans";
}

// The node-record quick path against the general reader on `text`: empty
// when the quick path leaves the record to the general reader, or reads
// the same six values bit for bit and ends the record at the same byte;
// otherwise what differs.  `quick` tells whether the quick path read it.
std::string quick_against_general(const std::string& text, bool& quick) {
  double f[6] = {};
  const char* const e =
      scan_plain_reals(text.data(), text.data() + text.size(), f);
  quick = e != nullptr;
  if (!quick)
    return "";
  double g[6] = {};
  const ReadItem items[] = {real_item(g[0], "Z"),   real_item(g[1], "R"),
                            real_item(g[2], "Ez"),  real_item(g[3], "Er"),
                            real_item(g[4], "|E|"), real_item(g[5], "H")};
  TextIn in(2, "sweep");
  in.open_memory(text);
  try {
    in.read_list(items);
  } catch (const IoError& err) {
    return std::string("the general reader fails: ") + err.what();
  }
  const std::size_t nl = text.find('\n');
  if (in.line() != 1 ||
      e != text.data() + (nl == std::string::npos ? text.size() : nl + 1))
    return "another record end";
  for (int k = 0; k < 6; ++k)
    if (!same_bits(f[k], g[k]))
      return "value " + std::to_string(k) + ": " + hex(f[k]) + " against " +
             hex(g[k]);
  return "";
}

// Every form the field solver's post-processor writes into a node record
// (84 characters: Z and R in G14.6, fixed point from 0.1 up with four
// trailing blanks and E14.6 below; the fields in E14.6, three-digit
// exponents and powers of ten beyond the exact ones included; LF, CR LF
// or no line end) is read by the quick path, and as the general reader
// reads it.
TEST(ScanSweep, SolverRecordsTakeTheQuickPath) {
  struct Case {
    const char* z;
    const char* r;
    const char* fields;
  };
  static constexpr Case kCases[] = {
      {"   0.00000    ", "   0.00000    ",
       "  3.727425E+00  0.000000E+00  3.727425E+00  0.000000E+00"},
      {"  1.666667E-02", "   0.00000    ",
       "  3.726914E+00 -1.000000E-03  3.726914E+00 -2.345678E+01"},
      {"  0.100960    ", "  0.415440    ",
       " -1.887459E-02  1.234567E-17  1.887459E-02  9.876543E-18"},
      {"   50.6061    ", "   1.24632    ",
       "  4.123456E+22 -3.000000E-23  1.000000E+07  5.432100E+05"},
      {"   123456.    ", "   99999.9    ",
       "  1.000000E-99  0.000000E+00  2.000000E+99  1.000000E-01"},
      {"  -1.24632    ", " -0.100960    ",
       " 1.000000E-100 -1.000000E+00 1.234567E+100  3.000000E+00"},
      {" -1.666667E-02", "  -50.6061    ",
       "  3.727425E+00 -0.000000E+00  3.727425E+00  0.000000E+00"},
      {"  -123456.    ", "  0.999999    ",
       "  9.999999E+00  1.000000E+00  0.000000E+00 -4.567890E-05"},
  };
  static constexpr const char* kEnds[] = {"\n", "\r\n", "", "   \r\n",
                                          "\n   0.00000    "};
  for (const Case& c : kCases)
    for (const char* end : kEnds) {
      const std::string text = std::string(c.z) + c.r + c.fields + end;
      bool quick = false;
      const std::string why = quick_against_general(text, quick);
      EXPECT_TRUE(quick) << "\"" << text << "\" left to the general reader";
      EXPECT_EQ(why, "") << "\"" << text << "\"";
    }
}

// The node-record quick path against the general reader, on records in the
// tables' forms and on mutations of them: wherever the quick path reads a
// record, read_list reads the same six values bit for bit and ends the
// record at the same byte.
TEST(ScanSweep, PlainRecordsReadAsTheGeneralReaderReadsThem) {
  std::mt19937_64 rng(19);
  static constexpr char kMutants[] = " -+.eEdD0123456789x\t,*/\r\n";
  auto digits = [&](std::size_t n) {
    std::string d;
    for (std::size_t k = 0; k < n; ++k)
      d += static_cast<char>('0' + rng() % 10);
    return d;
  };
  // A field in the 14 columns of the field values (two- or three-digit
  // exponents), a length in the short fixed-point form some tables give Z
  // and R, or one in the solver's G14.6 columns (fixed point, a sign or not,
  // four trailing blanks).
  auto field = [&](int k) {
    const unsigned form = k >= 2 ? 0 : static_cast<unsigned>(rng() % 3);
    if (form == 0) {
      if (rng() % 32 == 0) {
        const unsigned e = 100 + static_cast<unsigned>(rng() % 250);
        return std::string(rng() % 2 ? "-" : " ") + digits(1) + "." +
               digits(6) + (rng() % 2 ? "E+" : "E-") + std::to_string(e);
      }
      const unsigned e =
          rng() % 16 == 0 ? static_cast<unsigned>(rng() % 100) : rng() % 8;
      return std::string(rng() % 2 ? " -" : "  ") + digits(1) + "." +
             digits(6) + (rng() % 2 ? "E+" : "E-") +
             static_cast<char>('0' + e / 10) + static_cast<char>('0' + e % 10);
    }
    if (form == 1) {
      const std::size_t lead = 1 + rng() % 3;
      std::string f = digits(lead) + "." + digits(6 - lead);
      return std::string(10 - f.size() + rng() % 4, ' ') + f;
    }
    const std::size_t lead = rng() % 7;
    std::string f = (rng() % 3 == 0 ? "-" : "") + digits(lead == 0 ? 1 : lead) +
                    "." + digits(6 - lead);
    return std::string(10 - f.size(), ' ') + f + "    ";
  };
  const std::size_t n = scaled(200000);
  std::size_t bad = 0, quick = 0;
  for (std::size_t t = 0; t < n; ++t) {
    std::string rec;
    for (int k = 0; k < 6; ++k)
      rec += field(k);
    for (std::size_t m = rng() % 4; m > 0 && m < 3; --m) {
      const std::size_t at = rng() % rec.size();
      const char c = kMutants[rng() % (sizeof kMutants - 1)];
      switch (rng() % 3) {
      case 0:
        rec[at] = c;
        break;
      case 1:
        rec.insert(at, 1, c);
        break;
      default:
        rec.erase(at, 1);
        break;
      }
    }
    static constexpr const char* kEnds[] = {"\r\n", "\n", "",
                                            "\r\n2 3 4 5 6 7\r\n"};
    const std::string text = rec + kEnds[rng() % 4];
    bool taken = false;
    const std::string why = quick_against_general(text, taken);
    quick += taken;
    if (!why.empty() && ++bad <= 20)
      ADD_FAILURE() << "\"" << rec << "\": " << why;
  }
  EXPECT_EQ(bad, 0u) << "of " << quick << " records read by the quick path";
  EXPECT_GT(quick, n / 4)
      << "the quick path read too few records to prove anything";
}

}  // namespace
}  // namespace zereduv
