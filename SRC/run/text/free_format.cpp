#include "run/text/free_format.h"

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace zereduv {

namespace {

// Powers of ten that are exact doubles, and the largest integer below which
// every integer is one.
constexpr int kMaxExactPow10 = 22;
constexpr std::array<double, kMaxExactPow10 + 1> make_exact_pow10() {
  std::array<double, kMaxExactPow10 + 1> t{};
  double p = 1.0;
  for (double& x : t) {
    x = p;
    p *= 10.0;
  }
  return t;
}
constexpr std::array<double, kMaxExactPow10 + 1> kExactPow10 =
    make_exact_pow10();
constexpr uint64_t kExactMantissa = uint64_t{1} << 53;
constexpr std::array<uint64_t, 9> kPow10u = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round to double");
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_exp_letter(char c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

}  // namespace

ScanResult scan_int(std::string_view s, std::size_t pos, int32_t& out) {
  const std::size_t n = s.size();
  std::size_t p = pos;
  bool neg = false;
  if (p < n && (s[p] == '+' || s[p] == '-'))
    neg = s[p++] == '-';
  if (p >= n || !is_digit(s[p])) {
    // ".5" and the like are reals, not text.
    if (p < n && s[p] == '.' && p + 1 < n && is_digit(s[p + 1]))
      return {pos, ScanErr::NotAnInteger};
    return {pos, ScanErr::NotANumber};
  }
  int64_t mag = 0;
  bool too_big = false;
  while (p < n && is_digit(s[p])) {
    if (!too_big) {
      mag = mag * 10 + (s[p] - '0');
      if (mag > int64_t{1} << 31)
        too_big = true;
    }
    ++p;
  }
  if (p < n && (s[p] == '.' || is_exp_letter(s[p])))
    return {pos, ScanErr::NotAnInteger};
  const int64_t v = neg ? -mag : mag;
  if (too_big || v > std::numeric_limits<int32_t>::max() ||
      v < std::numeric_limits<int32_t>::min())
    return {pos, ScanErr::IntRange};
  out = static_cast<int32_t>(v);
  return {p, ScanErr::None};
}

namespace {

// The bytes of an eight-byte word that are not ASCII digits: bit 7 of each
// such byte set, the others clear.
constexpr uint64_t non_digit_bytes(uint64_t chunk) {
  return ((chunk + 0x4646464646464646ull) | (chunk - 0x3030303030303030ull)) &
         0x8080808080808080ull;
}

// Eight digit values, one per byte with the first (most significant) in the
// lowest byte, as one number: combined pairwise by three multiplications.
constexpr uint64_t eight_digit_value(uint64_t t) {
  t = t * 10 + (t >> 8);
  return (((t & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
          (((t >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
         32;
}

// Appends the run of decimal digits at p to w (w = w * 10^n + digits, modulo
// 2^64) and returns the end of the run.  Up to eight digits are taken per
// step from one 64-bit word: the first non-digit byte is found from the
// per-byte range test, the digits are moved to the top of the word and
// combined pairwise by three multiplications.
[[gnu::always_inline]] inline const char* take_digits(const char* p,
                                                      const char* end,
                                                      uint64_t& w) {
  while (end - p >= 8) {
    uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    // countr_zero(0) is 64: eight digits.
    const int n = std::countr_zero(non_digit_bytes(chunk)) >> 3;
    if (n == 0)
      return p;
    const uint64_t t = (chunk - 0x3030303030303030ull) << (8 * (8 - n));
    w = w * kPow10u[static_cast<std::size_t>(n)] + eight_digit_value(t);
    p += n;
    if (n < 8)
      return p;
  }
  while (p < end && is_digit(*p))
    w = w * 10 + static_cast<unsigned>(*p++ - '0');
  return p;
}

// Every number of the grammar, with its errors; the values it gives agree
// with scan_real_common wherever that one answers.
[[gnu::noinline]] ScanResult scan_real_general(std::string_view s,
                                               std::size_t pos, double& out) {
  const char* const base = s.data();
  const char* const end = base + s.size();
  const char* p = base + pos;
  bool neg = false;
  if (p < end && (*p == '+' || *p == '-'))
    neg = *p++ == '-';
  const char* const mant_begin = p;
  // The digits, point left out, as one integer w: exact while there are at
  // most 19 of them.
  uint64_t w = 0;
  p = take_digits(p, end, w);
  const auto int_digits = static_cast<std::size_t>(p - mant_begin);
  const char* mant_end = p;
  std::size_t frac_digits = 0;
  if (p < end && *p == '.') {
    const char* const frac_begin = ++p;
    p = take_digits(p, end, w);
    frac_digits = static_cast<std::size_t>(p - frac_begin);
    mant_end = p;
  }
  if (int_digits + frac_digits == 0)
    return {pos, ScanErr::NotANumber};
  // Decimal exponent, saturated so that absurd exponents cannot overflow.
  long long exp = 0;
  bool has_exp = false;
  if (p < end && is_exp_letter(*p)) {
    const char* q = p + 1;
    bool eneg = false;
    if (q < end && (*q == '+' || *q == '-'))
      eneg = *q++ == '-';
    if (q >= end || !is_digit(*q))
      return {static_cast<std::size_t>(p - base), ScanErr::BadExponent};
    while (q < end && is_digit(*q)) {
      if (exp < 100000)
        exp = exp * 10 + (*q - '0');
      ++q;
    }
    if (eneg)
      exp = -exp;
    has_exp = true;
    p = q;
  }
  const auto stop = static_cast<std::size_t>(p - base);
  // The usual table value, w * 10^k with w and 10^k both exact doubles
  // (w <= 2^53, |k| <= 22): one correctly rounded product or quotient is
  // the correctly rounded value of the decimal number.
  if (int_digits + frac_digits <= 19 && w <= kExactMantissa) {
    const long long k = exp - static_cast<long long>(frac_digits);
    if (k >= -kMaxExactPow10 && k <= kMaxExactPow10) {
      const double x = static_cast<double>(w);
      const double v = k < 0 ? x / kExactPow10[static_cast<std::size_t>(-k)]
                             : x * kExactPow10[static_cast<std::size_t>(k)];
      out = neg ? -v : v;
      return {stop, ScanErr::None};
    }
  }
  // The mantissa with its point, and the exponent written with 'e', in the
  // form from_chars takes.
  char small[128];
  std::string big;
  const auto mant_len = static_cast<std::size_t>(mant_end - mant_begin);
  char* buf = small;
  if (mant_len + 16 > sizeof small) {
    big.resize(mant_len + 16);
    buf = big.data();
  }
  std::size_t len = 0;
  if (neg)
    buf[len++] = '-';
  std::memcpy(buf + len, mant_begin, mant_len);
  len += mant_len;
  if (has_exp) {
    buf[len++] = 'e';
    const auto r = std::to_chars(buf + len, buf + len + 12, exp);
    len = static_cast<std::size_t>(r.ptr - buf);
  }
  double v = 0.0;
  const auto r = std::from_chars(buf, buf + len, v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow or underflow: which one follows from the decimal exponent of
    // the leading significant digit.
    long long lead = -1;
    long long place = static_cast<long long>(int_digits) - 1;
    for (const char* k = mant_begin; k < mant_end; ++k) {
      if (*k == '.')
        continue;
      if (*k != '0') {
        lead = place;
        break;
      }
      --place;
    }
    if (lead + exp > 0)
      return {pos, ScanErr::RealRange};
    v = neg ? -0.0 : 0.0;
  } else if (r.ec != std::errc() || r.ptr != buf + len) {
    return {pos, ScanErr::NotANumber};
  }
  out = v;
  return {stop, ScanErr::None};
}

// The exponent whose letter is at p (p < end), up to four digits: its value
// in ex and the end of it, or nullptr for anything else.
[[gnu::always_inline]] inline const char* take_exponent(const char* p,
                                                        const char* end,
                                                        long& ex) {
  // The tables' own form, E+dd or E-dd, in one step; signs without a branch.
  if (end - p >= 4 && (p[1] == '+' || p[1] == '-')) {
    const unsigned d1 = static_cast<unsigned char>(p[2]) - unsigned{'0'};
    const unsigned d2 = static_cast<unsigned char>(p[3]) - unsigned{'0'};
    if ((d1 | d2) <= 9 && (end - p == 4 || !is_digit(p[4]))) {
      const long eneg = p[1] == '-';
      ex = (static_cast<long>(d1 * 10 + d2) ^ -eneg) + eneg;
      return p + 4;
    }
  }
  const char* q = p + 1;
  if (q >= end)
    return nullptr;
  const long eneg = *q == '-';
  q += eneg | (*q == '+');
  const char* const exp_begin = q;
  long e = 0;
  while (q < end && q - exp_begin < 5) {
    const unsigned d = static_cast<unsigned char>(*q) - unsigned{'0'};
    if (d > 9)
      break;
    e = e * 10 + static_cast<long>(d);
    ++q;
  }
  if (q == exp_begin || q - exp_begin == 5)
    return nullptr;
  ex = (e ^ -eneg) + eneg;
  return q;
}

// The form the field tables write their field values in, d.ddddddE+dd
// (one digit, the point, six digits, the exponent letter E/e/D/d, its sign
// and two digits), recognised and converted from two loads: the digits as
// w and the power of ten of the last one as k.  Returns the end of the
// number, or nullptr when the text at p has any other form.
[[gnu::always_inline]] inline const char* take_table_form(const char* p,
                                                          const char* end,
                                                          uint64_t& w,
                                                          long& k) {
  if (end - p < 12)
    return nullptr;
  uint64_t a;
  uint32_t b;
  std::memcpy(&a, p, 8);
  std::memcpy(&b, p + 8, 4);
  // The point read as a 0, then all eight bytes must be digits.
  const uint64_t c = a ^ (uint64_t{'.' ^ '0'} << 8);
  const unsigned letter = (b & 0xffu) | 0x20u;
  const unsigned sign = (b >> 8) & 0xffu;
  const unsigned d1 = ((b >> 16) & 0xffu) - unsigned{'0'};
  const unsigned d2 = (b >> 24) - unsigned{'0'};
  if (((a >> 8) & 0xffu) != '.' || non_digit_bytes(c) != 0 ||
      (letter != 'e' && letter != 'd') || (sign != '+' && sign != '-') ||
      d1 > 9 || d2 > 9 || (end - p > 12 && is_digit(p[12])))
    return nullptr;
  // "d0dddddd" as an eight-digit number (first byte the leading digit),
  // then the leading digit moved down one place.
  w = eight_digit_value(c - 0x3030303030303030ull) - (a & 0x0fu) * 9000000u;
  const long ex = static_cast<long>(d1 * 10 + d2);
  k = (sign == '-' ? -ex : ex) - 6;
  return p + 12;
}

// The numbers of a field table's node records, read in one pass: optional
// sign, digits, optional point and digits, optional exponent letter E/e/D/d
// with optional sign and up to four digits; at most 19 digits in all and a
// value w * 10^k with w <= 2^53 and |k| <= 22, so that one correctly rounded
// operation on exact doubles gives the correctly rounded value.  Returns the
// end of the number, or nullptr for anything else (which then goes to
// scan_real_general, errors included).
[[gnu::always_inline]] inline const char* scan_real_common(const char* p,
                                                           const char* end,
                                                           double& out) {
  if (p >= end)
    return nullptr;
  // Signs of field values come in no order: no branch on them.
  const bool neg = *p == '-';
  p += neg | (*p == '+');
  uint64_t w = 0;
  long k = 0;
  if (const char* const q = take_table_form(p, end, w, k)) {
    p = q;
  } else {
    const char* const int_begin = p;
    while (p < end) {
      const unsigned d = static_cast<unsigned char>(*p) - unsigned{'0'};
      if (d > 9)
        break;
      w = w * 10 + d;
      ++p;
    }
    long digits = static_cast<long>(p - int_begin);
    if (p < end && *p == '.') {
      const char* const frac_begin = ++p;
      p = take_digits(p, end, w);
      digits += static_cast<long>(p - frac_begin);
      k = static_cast<long>(frac_begin - p);
    }
    if (digits == 0 || digits > 19)
      return nullptr;
    if (p < end && ((*p | 0x20) == 'e' || (*p | 0x20) == 'd')) {
      long ex = 0;
      p = take_exponent(p, end, ex);
      if (p == nullptr)
        return nullptr;
      k += ex;
    }
  }
  if (w > kExactMantissa || k < -kMaxExactPow10 || k > kMaxExactPow10)
    return nullptr;
  const double x = static_cast<double>(w);
  const double v = k < 0 ? x / kExactPow10[static_cast<std::size_t>(-k)]
                         : x * kExactPow10[static_cast<std::size_t>(k)];
  out = std::bit_cast<double>(std::bit_cast<uint64_t>(v) |
                              (static_cast<uint64_t>(neg) << 63));
  return p;
}

}  // namespace

const char* scan_plain_real(const char* p, const char* end, double& out) {
  return scan_real_common(p, end, out);
}

ScanResult scan_real(std::string_view s, std::size_t pos, double& out) {
  const char* const base = s.data();
  if (const char* e = scan_real_common(base + pos, base + s.size(), out))
    return {static_cast<std::size_t>(e - base), ScanErr::None};
  return scan_real_general(s, pos, out);
}

namespace {

// The 14 columns the tables give each field value: two blanks, or a blank
// and the minus sign, then d.ddddddE+dd or d.ddddddE-dd.  Checked and
// converted from three loads, with the same digits w, power of ten k and
// single rounded operation as take_table_form and scan_real_common, so the
// value is theirs bit for bit.  False for anything else (also for a power
// of ten beyond the exact ones).  Needs 14 readable bytes at p; what
// follows the field is the caller's to check.
[[gnu::always_inline]] inline bool take_field14(const char* p, double& out) {
  uint16_t lead;
  uint64_t m;
  uint32_t e;
  std::memcpy(&lead, p, 2);    // "  " or " -"
  std::memcpy(&m, p + 2, 8);   // "d.dddddd"
  std::memcpy(&e, p + 10, 4);  // "E+dd" or "E-dd"
  // The point read as a 0, then all eight bytes of m must be digits; the
  // exponent's two digits likewise.
  constexpr uint64_t kPoint = uint64_t{'.' ^ '0'} << 8;
  const uint64_t md = m ^ kPoint;
  const unsigned head = e & 0xffffu;
  const bool ok =
      (lead == 0x2020 || lead == 0x2d20) && (m & 0xff00u) == 0x2e00u &&
      (head == 0x2b45 || head == 0x2d45) &&
      (non_digit_bytes(md) |
       non_digit_bytes((e & 0xffff0000u) | 0x3030303000003030ull)) == 0;
  if (!ok)
    return false;
  const unsigned sign = lead >> 8;
  const unsigned esign = head >> 8;
  const uint64_t w =
      eight_digit_value(md - 0x3030303030303030ull) - (m & 0x0fu) * 9000000u;
  const long ex =
      static_cast<long>(((e >> 16) & 0x0fu) * 10 + ((e >> 24) & 0x0fu));
  const long k = (esign == '-' ? -ex : ex) - 6;
  if (k < -kMaxExactPow10 || k > kMaxExactPow10)
    return false;
  const double x = static_cast<double>(w);
  const double v = k < 0 ? x / kExactPow10[static_cast<std::size_t>(-k)]
                         : x * kExactPow10[static_cast<std::size_t>(k)];
  out = std::bit_cast<double>(std::bit_cast<uint64_t>(v) |
                              (static_cast<uint64_t>(sign == '-') << 63));
  return true;
}

}  // namespace

const char* scan_plain_reals(const char* p, const char* end,
                             std::span<double> out) {
  for (std::size_t k = 0; k < out.size(); ++k) {
    // The tables' own 14 columns; a blank, a value or a line end must come
    // next, which the next field's first blank or the record end below
    // makes sure of.
    if (end - p >= 16 && take_field14(p, out[k])) {
      p += 14;
      continue;
    }
    // One blank at least between two values; none needed before the first.
    const char* const before = p;
    while (p < end && *p == ' ')
      ++p;
    if (k > 0 && p == before)
      return nullptr;
    p = scan_real_common(p, end, out[k]);
    if (p == nullptr)
      return nullptr;
  }
  // The record ends right after the last value: LF, CR LF or the end of
  // the text.
  if (p == end)
    return p;
  if (*p == '\n')
    return p + 1;
  if (*p == '\r' && end - p >= 2 && p[1] == '\n')
    return p + 2;
  return nullptr;
}

}  // namespace zereduv
