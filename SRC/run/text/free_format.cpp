#include "run/text/free_format.h"

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// w * 10^k (w below 10^19, so every digit of it exact) when one of w and
// 10^k is not an exact double, such as the field values 1.234567E-17 or
// 1.000000E-100: correctly rounded by std::from_chars from the same
// decimal number the general scanner hands it, so the value is that one's
// bit for bit.  False where from_chars finds the value out of range (the
// general scanner then decides between a zero and an overflow).
[[gnu::noinline]] bool wide_value(uint64_t w, long k, bool neg, double& out) {
  char buf[48];
  char* q = buf;
  if (neg)
    *q++ = '-';
  q = std::to_chars(q, buf + 24, w).ptr;
  *q++ = 'e';
  q = std::to_chars(q, buf + sizeof buf, k).ptr;
  double v = 0.0;
  const auto r = std::from_chars(buf, q, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != q)
    return false;
  out = v;
  return true;
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
    return wide_value(w, k, neg, out) ? p : nullptr;
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
[[gnu::always_inline]] inline bool field14_value(const char* p, double& out);
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
  return ok && field14_value(p, out);
}

}  // namespace

namespace {

// The bytes of an eight-byte word equal to `c`: bit 7 of each such byte set,
// the others clear (exact, no borrow from one byte into the next).
constexpr uint64_t bytes_equal(uint64_t chunk, char c) {
  constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full;
  const uint64_t v = chunk ^ (0x0101010101010101ull * static_cast<uint8_t>(c));
  return ~(((v & kLow7) + kLow7) | v | kLow7);
}

// The 14 columns the tables give a coordinate from 0.1 up in fixed point
// (Fortran G14.6): six significant digits around the point in columns
// 4-10 (0.00000, 1.24632, 50.6061, 123456.), or 0.dddddd in columns 3-10;
// a minus sign just before; blanks before it and four blanks after.
// Checked and converted from three loads: the six digits, the point left
// out, as w and the count after the point as the power of ten, the same
// single rounded operation as the general scanner (the leading zero of
// 0.dddddd adds nothing to w).  False for any other writing.  Needs 14
// readable bytes at p.
[[gnu::always_inline]] inline bool take_coord14(const char* p, double& out) {
  uint16_t lead;
  uint64_t x;
  uint32_t tail;
  std::memcpy(&lead, p + 1, 2);  // columns 2 and 3
  std::memcpy(&x, p + 3, 8);     // columns 4-11: byte i is column i + 4
  std::memcpy(&tail, p + 10, 4);
  // Columns 2-3: "  ", " -" or a sign-less or negative 0.dddddd.
  if (p[0] != ' ' || tail != 0x20202020u ||
      (lead != 0x2020 && lead != 0x2d20 && lead != 0x3020 && lead != 0x302d))
    return false;
  // Columns 4-10: six digits and one point (column 11, the first trailing
  // blank, read as a digit).
  const uint64_t z = (x & 0x00ffffffffffffffull) | 0x3000000000000000ull;
  const uint64_t point = bytes_equal(z, '.');
  if (non_digit_bytes(z) != point || point == 0 || (point & (point - 1)) != 0)
    return false;
  const unsigned j = static_cast<unsigned>(std::countr_zero(point)) >> 3;
  // The point taken out by moving the bytes before it up one place, then
  // all up one more (column 11 drops out): two leading zeros and the six
  // digits.
  const uint64_t below_j = (uint64_t{1} << (8 * j)) - 1;
  const uint64_t above_j = ~below_j << 8;
  const uint64_t y = ((z & below_j) << 16) | ((z & above_j) << 8) | 0x3030u;
  const uint64_t w = eight_digit_value(y - 0x3030303030303030ull);
  const bool neg = lead == 0x2d20 || lead == 0x302d;
  const double v =
      static_cast<double>(w) / kExactPow10[static_cast<std::size_t>(6 - j)];
  out = std::bit_cast<double>(std::bit_cast<uint64_t>(v) |
                              (static_cast<uint64_t>(neg) << 63));
  return true;
}

// The value of a field value's 14 columns already checked to be the
// tables' own form ("  d.ddddddE+dd" or " -d.ddddddE-dd"): the same digits
// w, power of ten k and single rounded operation as take_table_form and
// scan_real_common.  False for a power of ten beyond the exact ones.
[[gnu::always_inline]] inline bool field14_value(const char* p, double& out) {
  uint64_t m;
  uint32_t e;
  std::memcpy(&m, p + 2, 8);
  std::memcpy(&e, p + 10, 4);
  const uint64_t md = m ^ (uint64_t{'.' ^ '0'} << 8);
  const uint64_t w =
      eight_digit_value(md - 0x3030303030303030ull) - (m & 0x0fu) * 9000000u;
  const long ex =
      static_cast<long>(((e >> 16) & 0x0fu) * 10 + ((e >> 24) & 0x0fu));
  const long k = ((e >> 8) & 0xffu) == '-' ? -ex - 6 : ex - 6;
  if (k < -kMaxExactPow10 || k > kMaxExactPow10)
    return false;
  const double x = static_cast<double>(w);
  const double v = k < 0 ? x / kExactPow10[static_cast<std::size_t>(-k)]
                         : x * kExactPow10[static_cast<std::size_t>(k)];
  out = std::bit_cast<double>(std::bit_cast<uint64_t>(v) |
                              (static_cast<uint64_t>(p[1] == '-') << 63));
  return true;
}

#if defined(__SSE2__)
// The four field values of a node record, the 56 columns at p, checked
// for the tables' own form at once: each byte must be the character its
// column holds in that form (a blank; a blank or minus; the point; E; a
// plus or minus) or, in a digit's column, a digit.  Four loads of 16
// bytes (the last overlapping the third), each compared with two columns
// of allowed characters and the digit test.
[[gnu::always_inline]] inline bool fields4_in_form(const char* p) {
  // Per column of the 14: the allowed characters (0xff: none, a digit's
  // column).
  static constexpr char kFirst[14] = {' ', ' ', -1, '.', -1,  -1, -1,
                                      -1,  -1,  -1, 'E', '+', -1, -1};
  static constexpr char kSecond[14] = {' ', '-', -1, '.', -1,  -1, -1,
                                       -1,  -1,  -1, 'E', '-', -1, -1};
  struct Pattern {
    alignas(16) char first[16];
    alignas(16) char second[16];
    alignas(16) char digit[16];
  };
  // The pattern of the 16 columns from column `at` of the 56 on.
  constexpr auto pattern = [](std::size_t at) {
    Pattern t{};
    for (std::size_t i = 0; i < 16; ++i) {
      const std::size_t c = (at + i) % 14;
      t.first[i] = kFirst[c];
      t.second[i] = kSecond[c];
      t.digit[i] = kFirst[c] == -1 ? static_cast<char>(0xff) : 0;
    }
    return t;
  };
  static constexpr Pattern kAt[4] = {pattern(0), pattern(16), pattern(32),
                                     pattern(40)};
  static constexpr std::size_t kOffset[4] = {0, 16, 32, 40};
  const __m128i zero = _mm_setzero_si128();
  const __m128i ascii0 = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  __m128i bad = zero;
  for (std::size_t k = 0; k < 4; ++k) {
    const __m128i v =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + kOffset[k]));
    const Pattern& t = kAt[k];
    const __m128i first =
        _mm_load_si128(reinterpret_cast<const __m128i*>(t.first));
    const __m128i second =
        _mm_load_si128(reinterpret_cast<const __m128i*>(t.second));
    const __m128i digit_col =
        _mm_load_si128(reinterpret_cast<const __m128i*>(t.digit));
    // A digit: (byte - '0') at most 9 as an unsigned byte.
    const __m128i is_digit =
        _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(v, ascii0), nine), zero);
    const __m128i ok = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, first), _mm_cmpeq_epi8(v, second)),
        _mm_and_si128(is_digit, digit_col));
    bad = _mm_or_si128(bad, _mm_cmpeq_epi8(ok, zero));
  }
  return _mm_movemask_epi8(bad) == 0;
}
#endif

// The node record the solver's post-processor writes, 84 characters: Z and
// R in 14 columns each (a coordinate or a field value's form), the four
// fields in 14 each, then LF or CR LF.  The start of the next record, or
// nullptr for any other record.  Needs 86 readable bytes at p.
[[gnu::always_inline]] inline const char* take_solver_record(const char* p,
                                                             double* out) {
  if (!(take_coord14(p, out[0]) || take_field14(p, out[0])) ||
      !(take_coord14(p + 14, out[1]) || take_field14(p + 14, out[1])))
    return nullptr;
#if defined(__SSE2__)
  if (!fields4_in_form(p + 28) || !field14_value(p + 28, out[2]) ||
      !field14_value(p + 42, out[3]) || !field14_value(p + 56, out[4]) ||
      !field14_value(p + 70, out[5]))
    return nullptr;
#else
  if (!take_field14(p + 28, out[2]) || !take_field14(p + 42, out[3]) ||
      !take_field14(p + 56, out[4]) || !take_field14(p + 70, out[5]))
    return nullptr;
#endif
  if (p[84] == '\n')
    return p + 85;
  if (p[84] == '\r' && p[85] == '\n')
    return p + 86;
  return nullptr;
}

}  // namespace

const char* scan_plain_reals(const char* p, const char* end,
                             std::span<double> out) {
  if (out.size() == 6 && end - p >= 86)
    if (const char* const next = take_solver_record(p, out.data()))
      return next;
  const char* const begin = p;
  for (std::size_t k = 0; k < out.size(); ++k) {
    // The tables' own 14 columns, a field value or a coordinate; what
    // follows must be a blank, a value or a line end, which the next
    // field's first blank or the record end below makes sure of.
    if (end - p >= 16) {
      if (take_field14(p, out[k]) || take_coord14(p, out[k])) {
        p += 14;
        continue;
      }
    }
    // One blank at least between two values (a coordinate's trailing
    // blanks count); none needed before the first.
    while (p < end && *p == ' ')
      ++p;
    if (p > begin && p[-1] != ' ' && k > 0)
      return nullptr;
    p = scan_real_common(p, end, out[k]);
    if (p == nullptr)
      return nullptr;
  }
  // The record ends right after the last value, or after blanks: LF, CR LF
  // or the end of the text.
  while (p < end && *p == ' ')
    ++p;
  if (p == end)
    return p;
  if (*p == '\n')
    return p + 1;
  if (*p == '\r' && end - p >= 2 && p[1] == '\n')
    return p + 2;
  return nullptr;
}

}  // namespace zereduv
