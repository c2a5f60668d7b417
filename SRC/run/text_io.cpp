#include "run/text_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "run/errors.h"

namespace zereduv {

// ------------------------------------------------------------------------
// Number formatting

namespace {

constexpr char kZero24[] = "  0.000000000000000E+000";
static_assert(sizeof(kZero24) == kDoubleWidth + 1);

// Decimal digits and exponent of |v| rounded to `ndigits` significant digits
// (correctly rounded, ties to even on the exact binary value).
struct Digits {
  char d[24];  // ndigits digits, no point
  int exp10;   // v = d.ddd x 10^exp10
};

Digits round_digits(double v, int ndigits) {
  char buf[40];
  const auto res = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v,
                                 std::chars_format::scientific, ndigits - 1);
  Digits out{};
  const char* p = buf;
  out.d[0] = *p++;
  int n = 1;
  if (*p == '.') {
    ++p;
    while (*p != 'e') out.d[n++] = *p++;
  }
  ++p;  // 'e'
  int e = 0;
  std::from_chars(*p == '+' ? p + 1 : p, res.ptr, e);
  out.exp10 = e;
  return out;
}

char* put_blanks(char* out, int n) {
  std::memset(out, ' ', static_cast<std::size_t>(n));
  return out + n;
}

}  // namespace

// A value that is not a number or infinite (only a sum that overflowed can
// give one) is written as Fortran does, right-justified in its field.
char* put_nonfinite(char* out, double v) {
  const char* t = std::isnan(v) ? "NaN" : (v < 0 ? "-Infinity" : "Infinity");
  const int n = static_cast<int>(std::strlen(t));
  std::memset(out, ' ', static_cast<std::size_t>(kDoubleWidth - n));
  std::memcpy(out + kDoubleWidth - n, t, static_cast<std::size_t>(n));
  return out + kDoubleWidth;
}

char* put_d24_reference(char* out, double v) {
  if (!std::isfinite(v)) return put_nonfinite(out, v);
  if (v == 0.0) {
    std::memcpy(out, kZero24, kDoubleWidth);
    return out + kDoubleWidth;
  }
  const bool neg = std::signbit(v);
  const Digits r15 = round_digits(v, 15);
  if (r15.exp10 >= -1 && r15.exp10 <= 14) {
    // Fixed-point form: 15 significant digits, right-justified in 19 columns,
    // then 5 blanks.
    char field[20];
    int n = 0;
    if (neg) field[n++] = '-';
    if (r15.exp10 == -1) {
      field[n++] = '0';
      field[n++] = '.';
      std::memcpy(field + n, r15.d, 15);
      n += 15;
    } else {
      const int before = r15.exp10 + 1;
      std::memcpy(field + n, r15.d, static_cast<std::size_t>(before));
      n += before;
      field[n++] = '.';
      std::memcpy(field + n, r15.d + before, static_cast<std::size_t>(15 - before));
      n += 15 - before;
    }
    out = put_blanks(out, 19 - n);
    std::memcpy(out, field, static_cast<std::size_t>(n));
    out += n;
    return put_blanks(out, 5);
  }
  // Exponent form: 16 significant digits and a three-digit exponent.
  const Digits r16 = round_digits(v, 16);
  char field[24];
  int n = 0;
  if (neg) field[n++] = '-';
  field[n++] = r16.d[0];
  field[n++] = '.';
  std::memcpy(field + n, r16.d + 1, 15);
  n += 15;
  field[n++] = 'E';
  int e = r16.exp10;
  field[n++] = e < 0 ? '-' : '+';
  if (e < 0) e = -e;
  field[n++] = static_cast<char>('0' + e / 100);
  field[n++] = static_cast<char>('0' + (e / 10) % 10);
  field[n++] = static_cast<char>('0' + e % 10);
  out = put_blanks(out, kDoubleWidth - n);
  std::memcpy(out, field, static_cast<std::size_t>(n));
  return out + n;
}

// ------------------------------------------------------------------------
// Fast list-directed double field
//
// A finite normal double is v = m * 2^e with m < 2^53.  With its decade
// E = floor(log10 |v|) and q = 15 - E, the scaled value v * 10^q =
// m * 5^q * 2^(e+q) lies in [10^15, 10^16).  For 0 <= q <= kMaxFastQ the
// integer m * 5^q fits in 128 bits, so the 16-digit whole part and the
// fraction are known exactly; the 15 and the 16 significant digits are both
// rounded from them, half to even on the exact tail: the digits
// std::to_chars gives.  Other values (subnormals, magnitudes below 1e-17 or
// from 1e16 up) take the reference path.

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr int kMaxFastQ = 32;

struct Pow5 {
  uint64_t lo, hi;
};
constexpr std::array<Pow5, kMaxFastQ + 1> make_pow5() {
  std::array<Pow5, kMaxFastQ + 1> t{};
  u128 p = 1;
  for (auto& x : t) {
    x = {static_cast<uint64_t>(p), static_cast<uint64_t>(p >> 64)};
    p *= 5;
  }
  return t;
}
constexpr std::array<Pow5, kMaxFastQ + 1> kPow5 = make_pow5();

constexpr uint64_t kTen14 = 100000000000000ull;
constexpr uint64_t kTen15 = 1000000000000000ull;
constexpr uint64_t kTen16 = 10000000000000000ull;

// Decades of |v| the fast path handles, first guesses (so that the true
// decade, one higher at most, keeps q = 15 - decade within 0..kMaxFastQ);
// the nearest doubles to the powers of ten around them (exact up to 10^22,
// the negative ones correctly rounded quotients of exact ones), and the
// exponent text E+ddd of the exponent form for each (a rounding carry can
// add one more decade).
constexpr int kMinFastDecade = 15 - kMaxFastQ;
constexpr int kMaxFastDecade = 14;
constexpr std::size_t kDecades = kMaxFastDecade - kMinFastDecade + 3;
constexpr std::array<double, kDecades> make_pow10() {
  std::array<double, kDecades> t{};
  for (int k = kMinFastDecade; k < kMinFastDecade + static_cast<int>(kDecades); ++k) {
    double p = 1.0;
    for (int i = 0; i < (k < 0 ? -k : k); ++i) p *= 10.0;
    t[static_cast<std::size_t>(k - kMinFastDecade)] = k < 0 ? 1.0 / p : p;
  }
  return t;
}
constexpr std::array<double, kDecades> kPow10 = make_pow10();
constexpr std::array<uint64_t, kDecades> make_exponent_text() {
  std::array<uint64_t, kDecades> t{};
  for (int k = kMinFastDecade; k < kMinFastDecade + static_cast<int>(kDecades); ++k) {
    const int a = k < 0 ? -k : k;
    t[static_cast<std::size_t>(k - kMinFastDecade)] =
        uint64_t{'E'} | (static_cast<uint64_t>(k < 0 ? '-' : '+') << 8) |
        (static_cast<uint64_t>('0' + a / 100) << 16) |
        (static_cast<uint64_t>('0' + a / 10 % 10) << 24) |
        (static_cast<uint64_t>('0' + a % 10) << 32);
  }
  return t;
}
constexpr std::array<uint64_t, kDecades> kExponentText = make_exponent_text();

// The first double whose 15-digit rounding is 0.1 (0.09999999999999995 and
// a little), and 999999999999999.5, the first that rounds to 10^15.
constexpr double kFixedLow = 0x1.9999999999996p-4;
constexpr double kFixedHigh = 999999999999999.5;
constexpr uint64_t kHalf64 = uint64_t{1} << 63;

// v * 10^q split exactly: whole part, the first 64 bits of the fraction,
// and whether any fraction bit lies beyond those.
struct Scaled {
  uint64_t whole;
  uint64_t frac;
  bool sticky;
};

bool scale(uint64_t m, int e, int q, Scaled& out) {
  const Pow5 f = kPow5[static_cast<std::size_t>(q)];
  // m * 5^q; the high word of 5^q is below 2^11, so m * hi cannot overflow.
  const u128 p = static_cast<u128>(m) * f.lo + (static_cast<u128>(m * f.hi) << 64);
  const uint64_t lo = static_cast<uint64_t>(p), hi = static_cast<uint64_t>(p >> 64);
  const int s = -(e + q);  // v * 10^q = p * 2^-s
  if (s <= 0) {
    // Already an integer; only small left shifts stay below 10^16.
    if (s < -8 || hi != 0) return false;
    out = {lo << -s, 0, false};
  } else if (s < 64) {
    out = {static_cast<uint64_t>(p >> s), lo << (64 - s), false};
  } else if (s == 64) {
    out = {hi, lo, false};
  } else if (s < 128) {
    out = {hi >> (s - 64), (hi << (128 - s)) | (lo >> (s - 64)), (lo << (128 - s)) != 0};
  } else {
    return false;
  }
  return true;
}

// whole rounded half to even by its fraction: with the sticky bits folded
// into the lowest fraction bit, frac + (2^63 - 1) + (whole & 1) carries out
// of 64 bits exactly when the fraction is above one half, or one half and
// whole odd.
uint64_t round_frac(const Scaled& x) {
  const uint64_t f = x.frac | static_cast<uint64_t>(x.sticky);
  const u128 t = static_cast<u128>(f) + (kHalf64 - 1) + (x.whole & 1);
  return x.whole + static_cast<uint64_t>(t >> 64);
}

#if defined(__SSE2__)

// The 16 decimal digits of d < 10^16 as ASCII in reading order.  Both
// halves of eight digits are split at once, lane by lane: by 10^4 in 64-bit
// lanes, by 100 in 32-bit lanes and by 10 in 16-bit lanes, each quotient by
// multiply-high and shift (exact for the lane values that occur: below 10^8,
// 10^4 and 100), each remainder by multiply and subtract.
__m128i ascii_16digits(uint64_t d) {
  const uint64_t hi = d / 100000000, lo = d % 100000000;
  __m128i x = _mm_unpacklo_epi64(_mm_cvtsi64_si128(static_cast<long long>(hi)),
                                 _mm_cvtsi64_si128(static_cast<long long>(lo)));
  __m128i q = _mm_srli_epi64(_mm_mul_epu32(x, _mm_set1_epi64x(0xD1B71759)), 45);
  __m128i r = _mm_sub_epi64(x, _mm_mul_epu32(q, _mm_set1_epi64x(10000)));
  x = _mm_or_si128(q, _mm_slli_epi64(r, 32));
  q = _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(5243)), 3);
  r = _mm_sub_epi16(x, _mm_mullo_epi16(q, _mm_set1_epi16(100)));
  x = _mm_or_si128(q, _mm_slli_epi32(r, 16));
  q = _mm_mulhi_epu16(x, _mm_set1_epi16(6554));
  r = _mm_sub_epi16(x, _mm_mullo_epi16(q, _mm_set1_epi16(10)));
  x = _mm_or_si128(q, _mm_slli_epi16(r, 8));
  return _mm_add_epi8(x, _mm_set1_epi8('0'));
}

// Byte masks that lay out the 16-character digit string S of the field.
// With S placed at column 3 (0-based) the digits after the point are in
// place; the digits before it go one column further left, and the point
// fills the gap.  For b digits before the point (0 for 0.ddd, where S[0] is
// the leading 0, and for the exponent form, where S[0] is the leading digit)
// the 16 bytes of columns 2..17 are
//   (S & keep[b]) | ((S << 8) & after[b]) | point[b],
// where keep leaves out S[0] (the unused leading 0) when b > 0.
struct alignas(16) FieldMasks {
  uint64_t keep[2], after[2], point[2];
};
constexpr std::array<FieldMasks, 16> make_field_masks() {
  std::array<FieldMasks, 16> t{};
  for (int b = 0; b < 16; ++b) {
    u128 keep = 0, after = 0, point = 0;
    for (int i = 0; i < 16; ++i) {
      const u128 byte = static_cast<u128>(0xff) << (8 * i);
      if (i <= b && !(i == 0 && b > 0)) keep |= byte;
      if (i == b + 1) point |= static_cast<u128>('.') << (8 * i);
      if (i >= b + 2) after |= byte;
    }
    t[static_cast<std::size_t>(b)] = {
        {static_cast<uint64_t>(keep), static_cast<uint64_t>(keep >> 64)},
        {static_cast<uint64_t>(after), static_cast<uint64_t>(after >> 64)},
        {static_cast<uint64_t>(point), static_cast<uint64_t>(point >> 64)}};
  }
  return t;
}
constexpr std::array<FieldMasks, 16> kFieldMasks = make_field_masks();

__m128i load128(const uint64_t* p) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

void store64(char* out, uint64_t w) { std::memcpy(out, &w, 8); }

static_assert(std::endian::native == std::endian::little,
              "the field is laid out in little-endian words");

constexpr uint64_t kBlankWord = 0x2020202020202020ull;

#endif  // __SSE2__

}  // namespace

// The fast field: one exact scaling, both roundings, and a layout without
// branches (the signs, forms and decades of field values come in no order a
// branch predictor could learn).
char* put_d24(char* out, double v) {
  // NaN and infinities leave by the reference path below (their exponent
  // lies outside the fast decades), which writes them.
  if (v == 0.0) {
    std::memcpy(out, kZero24, kDoubleWidth);
    return out + kDoubleWidth;
  }
#if defined(__SSE2__)
  const uint64_t bits = std::bit_cast<uint64_t>(v);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const bool neg = (bits >> 63) != 0;
  const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
  const int e = biased - 1075;
  // The decade of |v|: floor(log10(2^(e+52))) is it or one below it, and
  // one comparison with the nearest double to the next power of ten decides
  // (that double can lie below the power itself; then the whole part below
  // comes out with 15 digits and the reference path takes over).
  // Subnormals, infinities and NaNs lie far outside the fast decades.
  const int est = ((e + 52) * 78913) >> 18;
  if (est < kMinFastDecade || est > kMaxFastDecade) return put_d24_reference(out, v);
  const double mag = std::bit_cast<double>(bits & ~(uint64_t{1} << 63));
  const int exp10 = est + (mag >= kPow10[static_cast<std::size_t>(est + 1 - kMinFastDecade)]);
  // The form follows from |v| alone: fixed when its 15-digit rounding lies
  // in [0.1, 10^15), i.e. from the first double whose rounding reaches 0.1
  // up to (not including) the tie 999999999999999.5, which rounds to 10^15.
  const bool fixed = (mag >= kFixedLow) & (mag < kFixedHigh);
  // n = 15 (fixed) or 16 significant digits: v * 10^q has n whole digits.
  const int q = 15 - static_cast<int>(fixed) - exp10;
  Scaled x{};
  if (!scale(m, e, q, x)) return put_d24_reference(out, v);
  const uint64_t lowest = fixed ? kTen14 : kTen15;  // 10^(n-1)
  const uint64_t limit = fixed ? kTen15 : kTen16;   // 10^n
  if (x.whole < lowest || x.whole >= limit) return put_d24_reference(out, v);
  // Round half to even; a carry to 10^n moves the leading digit into the
  // next decade.
  uint64_t d = round_frac(x);
  const int carry = d == limit;
  d = carry ? lowest : d;
  const int exp_lead = exp10 + carry;

  // Fixed form: S = 0 and the 15 digits, with exp_lead + 1 digits before
  // the point; exponent form: S = the 16 digits, one before the point.
  const int b = fixed ? exp_lead + 1 : 0;
  const __m128i digits = ascii_16digits(d);
  const FieldMasks& fm = kFieldMasks[static_cast<std::size_t>(b)];
  __m128i body = _mm_or_si128(
      _mm_or_si128(_mm_and_si128(digits, load128(fm.keep)),
                   _mm_and_si128(_mm_slli_si128(digits, 1), load128(fm.after))),
      load128(fm.point));
  // The sign goes right before the first character: column 1 when that is
  // S[0], column 2 (over the unused leading 0 of S) otherwise.
  const int sign = ' ' + ('-' - ' ') * static_cast<int>(neg);
  const bool skip0 = b > 0;
  body = _mm_or_si128(body, _mm_cvtsi32_si128(skip0 ? sign : 0));
  const uint16_t head = static_cast<uint16_t>(' ' | ((skip0 ? ' ' : sign) << 8));
  // Column 18: the last digit, or the point of a 15-digit integer part.
  const uint64_t last = static_cast<uint64_t>(_mm_extract_epi16(digits, 7)) >> 8;
  const uint64_t col18 = b == 15 ? '.' : last;
  // Columns 19..23: five blanks, or E, the exponent's sign, three digits.
  const uint64_t tail5 =
      fixed ? (kBlankWord >> 24)
            : kExponentText[static_cast<std::size_t>(exp_lead - kMinFastDecade)];

  // Columns 0..15: the head and the first 14 bytes of the body; 16..23: the
  // rest of the body, column 18 and the tail.
  const __m128i first = _mm_or_si128(_mm_slli_si128(body, 2), _mm_cvtsi32_si128(head));
  const uint64_t rest = static_cast<uint64_t>(_mm_extract_epi16(body, 7)) | (col18 << 16) |
                        (tail5 << 24);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
  store64(out + 16, rest);
  return out + kDoubleWidth;
#else
  return put_d24_reference(out, v);
#endif
}

char* put_i12(char* out, int32_t v) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  const int n = static_cast<int>(res.ptr - buf);
  out = put_blanks(out, kIntWidth - n);
  std::memcpy(out, buf, static_cast<std::size_t>(n));
  return out + n;
}

std::string d24(double v) {
  std::string s(kDoubleWidth, ' ');
  put_d24(s.data(), v);
  return s;
}

std::string i12(int32_t v) {
  std::string s(kIntWidth, ' ');
  put_i12(s.data(), v);
  return s;
}

namespace {

std::string right_justify(const std::string& s, int w) {
  if (static_cast<int>(s.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

}  // namespace

std::string edit_A(std::string_view text, int w) {
  const auto uw = static_cast<std::size_t>(w);
  if (text.size() >= uw) return std::string(text.substr(0, uw));
  return std::string(uw - text.size(), ' ') + std::string(text);
}

std::string edit_I(int64_t v, int w, int m) {
  const uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  std::string digits = std::to_string(mag);
  if (static_cast<int>(digits.size()) < m)
    digits.insert(0, static_cast<std::size_t>(m) - digits.size(), '0');
  if (v < 0) digits.insert(0, 1, '-');
  return right_justify(digits, w);
}

std::string edit_F(double v, int w, int d) {
  if (v == 0.0) v = 0.0;  // an exact zero carries no sign
  if (!std::isfinite(v)) return std::string(static_cast<std::size_t>(w), '*');
  char buf[400];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, d);
  if (res.ec != std::errc()) return std::string(static_cast<std::size_t>(w), '*');
  std::string s(buf, res.ptr);
  if (d == 0) s += '.';  // F edits always show the point
  return right_justify(s, w);
}

std::string edit_E(double v, int w, int d) {
  if (!std::isfinite(v) || d < 1) return std::string(static_cast<std::size_t>(w), '*');
  std::string s;
  int e = 0;
  if (v == 0.0) {
    s = "0." + std::string(static_cast<std::size_t>(d), '0');
  } else {
    const Digits r = round_digits(v, d);
    if (std::signbit(v)) s += '-';
    s += "0.";
    s.append(r.d, static_cast<std::size_t>(d));
    e = r.exp10 + 1;  // mantissa 0.ddd in [0.1, 1)
  }
  const int ae = e < 0 ? -e : e;
  if (ae <= 99) {
    s += 'E';
    s += e < 0 ? '-' : '+';
    s += static_cast<char>('0' + ae / 10);
    s += static_cast<char>('0' + ae % 10);
  } else {
    // A three-digit exponent takes the place of the letter.
    s += e < 0 ? '-' : '+';
    s += std::to_string(ae);
  }
  return right_justify(s, w);
}

std::string edit_X(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// ------------------------------------------------------------------------
// List-directed statements

std::vector<std::string> list_lines(std::span<const ListItem> items) {
  std::vector<std::string> lines;
  std::string cur;
  bool after_number = false;
  for (const ListItem& it : items) {
    if (it.kind != ListItem::Kind::Text) {
      const int width = it.kind == ListItem::Kind::Int ? kIntWidth : kDoubleWidth;
      if (kLineWidth - static_cast<int>(cur.size()) < width) {
        lines.push_back(std::move(cur));
        cur.clear();
      }
      const std::size_t at = cur.size();
      cur.resize(at + static_cast<std::size_t>(width));
      if (it.kind == ListItem::Kind::Int)
        put_i12(cur.data() + at, it.i);
      else
        put_d24(cur.data() + at, it.d);
      after_number = true;
      continue;
    }
    std::string_view t = it.text;
    const std::size_t sep = (cur.empty() || after_number) ? 1 : 0;
    after_number = false;
    if (cur.size() + sep + t.size() <= static_cast<std::size_t>(kLineWidth)) {
      cur.append(sep, ' ');
      cur.append(t);
      continue;
    }
    // Does not fit the rest of this line: begin the next one with a blank.
    if (!cur.empty()) {
      lines.push_back(std::move(cur));
      cur.clear();
    }
    cur.assign(1, ' ');
    // A text longer than a whole line is split; every piece begins a line
    // with one blank.
    while (1 + t.size() > static_cast<std::size_t>(kLineWidth)) {
      const std::size_t room = static_cast<std::size_t>(kLineWidth) - 1;
      cur.append(t.substr(0, room));
      t.remove_prefix(room);
      lines.push_back(cur);
      cur.assign(1, ' ');
    }
    cur.append(t);
  }
  if (!cur.empty() || lines.empty()) lines.push_back(cur.empty() ? " " : cur);
  return lines;
}

// ------------------------------------------------------------------------
// Output channels

TextOut::TextOut(int unit, std::string name, LineEnd end)
    : unit_(unit), name_(std::move(name)), end_(end) {}

TextOut::~TextOut() { close_quietly(); }

std::string_view TextOut::line_end() const {
  return end_ == LineEnd::CrLf ? std::string_view("\r\n") : std::string_view("\n");
}

void TextOut::open(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail("cannot create file", errno);
  fd_ = fd;
  owns_fd_ = true;
  flush_each_record_ = false;
  buf_.clear();
}

void TextOut::attach_fd(int fd) {
  fd_ = fd;
  owns_fd_ = false;
  flush_each_record_ = true;
  buf_.clear();
}

void TextOut::record(std::string_view line) {
  buf_.append(line);
  buf_.append(line_end());
  if (fd_ >= 0 && (flush_each_record_ || buf_.size() >= (1u << 16))) flush();
}

void TextOut::list(std::initializer_list<ListItem> items) {
  list(std::span<const ListItem>(items.begin(), items.size()));
}

void TextOut::list(std::span<const ListItem> items) {
  for (const std::string& line : list_lines(items)) record(line);
}

void TextOut::list_doubles(std::span<const double> values) {
  if (values.empty()) {
    record(" ");
    return;
  }
  const std::string_view eol = line_end();
  constexpr std::size_t kPerLine = static_cast<std::size_t>(kLineWidth / kDoubleWidth);
  constexpr std::size_t kBatchLines = 512;
  std::size_t i = 0;
  while (i < values.size()) {
    const std::size_t lines = std::min((values.size() - i + kPerLine - 1) / kPerLine, kBatchLines);
    const std::size_t at = buf_.size();
    buf_.resize(at + lines * (kPerLine * kDoubleWidth + eol.size()));
    char* p = buf_.data() + at;
    for (std::size_t l = 0; l < lines; ++l) {
      const std::size_t k = std::min(kPerLine, values.size() - i);
      for (std::size_t j = 0; j < k; ++j) p = put_d24(p, values[i++]);
      std::memcpy(p, eol.data(), eol.size());
      p += eol.size();
    }
    buf_.resize(static_cast<std::size_t>(p - buf_.data()));
    if (fd_ >= 0 && (flush_each_record_ || buf_.size() >= (1u << 16))) flush();
  }
}

void TextOut::flush() {
  // An unopened channel keeps its records in memory.
  if (fd_ < 0) return;
  std::size_t done = 0;
  while (done < buf_.size()) {
    const ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      buf_.erase(0, done);
      fail("write error", err);
    }
    done += static_cast<std::size_t>(n);
  }
  buf_.clear();
}

void TextOut::close() {
  if (fd_ < 0) return;
  flush();
  if (owns_fd_) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("write error", errno);
  }
  fd_ = -1;
}

void TextOut::close_quietly() noexcept {
  if (fd_ < 0) return;
  std::size_t done = 0;
  while (done < buf_.size()) {
    const ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  buf_.clear();
  if (owns_fd_) ::close(fd_);
  fd_ = -1;
}

void TextOut::fail(const char* what, int err) const {
  throw IoError(unit_, name_, what, std::strerror(err));
}

// ------------------------------------------------------------------------
// Free-format reading

const char* scan_error_text(ScanErr e) {
  switch (e) {
    case ScanErr::None: return "no error";
    case ScanErr::EndOfRecord: return "end of record";
    case ScanErr::NotANumber: return "text where a number is expected";
    case ScanErr::BadEnd: return "a number followed by text";
    case ScanErr::BadExponent: return "exponent letter without digits";
    case ScanErr::IntRange: return "integer outside the 32-bit range";
    case ScanErr::RealRange: return "real number too large";
    case ScanErr::NotAnInteger: return "real number where an integer is expected";
    case ScanErr::NullValue: return "empty value between separators";
    case ScanErr::RepeatCount: return "repeat counts are not supported";
    case ScanErr::Slash: return "a slash where a number is expected";
  }
  return "error";
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

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
constexpr std::array<double, kMaxExactPow10 + 1> kExactPow10 = make_exact_pow10();
constexpr uint64_t kExactMantissa = uint64_t{1} << 53;
constexpr std::array<uint64_t, 9> kPow10u = {1, 10, 100, 1000, 10000, 100000,
                                             1000000, 10000000, 100000000};
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round to double");
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_exp_letter(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

}  // namespace

ScanResult scan_int(std::string_view s, std::size_t pos, int32_t& out) {
  const std::size_t n = s.size();
  std::size_t p = pos;
  bool neg = false;
  if (p < n && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
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
      if (mag > int64_t{1} << 31) too_big = true;
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
[[gnu::always_inline]] inline const char* take_digits(const char* p, const char* end,
                                                     uint64_t& w) {
  while (end - p >= 8) {
    uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    // countr_zero(0) is 64: eight digits.
    const int n = std::countr_zero(non_digit_bytes(chunk)) >> 3;
    if (n == 0) return p;
    const uint64_t t = (chunk - 0x3030303030303030ull) << (8 * (8 - n));
    w = w * kPow10u[static_cast<std::size_t>(n)] + eight_digit_value(t);
    p += n;
    if (n < 8) return p;
  }
  while (p < end && is_digit(*p)) w = w * 10 + static_cast<unsigned>(*p++ - '0');
  return p;
}

// Every number of the grammar, with its errors; the values it gives agree
// with scan_real_common wherever that one answers.
[[gnu::noinline]] ScanResult scan_real_general(std::string_view s, std::size_t pos,
                                               double& out) {
  const char* const base = s.data();
  const char* const end = base + s.size();
  const char* p = base + pos;
  bool neg = false;
  if (p < end && (*p == '+' || *p == '-')) neg = *p++ == '-';
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
  if (int_digits + frac_digits == 0) return {pos, ScanErr::NotANumber};
  // Decimal exponent, saturated so that absurd exponents cannot overflow.
  long long exp = 0;
  bool has_exp = false;
  if (p < end && is_exp_letter(*p)) {
    const char* q = p + 1;
    bool eneg = false;
    if (q < end && (*q == '+' || *q == '-')) eneg = *q++ == '-';
    if (q >= end || !is_digit(*q)) return {static_cast<std::size_t>(p - base), ScanErr::BadExponent};
    while (q < end && is_digit(*q)) {
      if (exp < 100000) exp = exp * 10 + (*q - '0');
      ++q;
    }
    if (eneg) exp = -exp;
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
  if (neg) buf[len++] = '-';
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
      if (*k == '.') continue;
      if (*k != '0') {
        lead = place;
        break;
      }
      --place;
    }
    if (lead + exp > 0) return {pos, ScanErr::RealRange};
    v = neg ? -0.0 : 0.0;
  } else if (r.ec != std::errc() || r.ptr != buf + len) {
    return {pos, ScanErr::NotANumber};
  }
  out = v;
  return {stop, ScanErr::None};
}


// The exponent whose letter is at p (p < end), up to four digits: its value
// in ex and the end of it, or nullptr for anything else.
[[gnu::always_inline]] inline const char* take_exponent(const char* p, const char* end,
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
  if (q >= end) return nullptr;
  const long eneg = *q == '-';
  q += eneg | (*q == '+');
  const char* const exp_begin = q;
  long e = 0;
  while (q < end && q - exp_begin < 5) {
    const unsigned d = static_cast<unsigned char>(*q) - unsigned{'0'};
    if (d > 9) break;
    e = e * 10 + d;
    ++q;
  }
  if (q == exp_begin || q - exp_begin == 5) return nullptr;
  ex = (e ^ -eneg) + eneg;
  return q;
}

// The form the field tables write their field values in, d.ddddddE+dd
// (one digit, the point, six digits, the exponent letter E/e/D/d, its sign
// and two digits), recognised and converted from two loads: the digits as
// w and the power of ten of the last one as k.  Returns the end of the
// number, or nullptr when the text at p has any other form.
[[gnu::always_inline]] inline const char* take_table_form(const char* p, const char* end,
                                                         uint64_t& w, long& k) {
  if (end - p < 12) return nullptr;
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
  if (((a >> 8) & 0xffu) != '.' || non_digit_bytes(c) != 0 || (letter != 'e' && letter != 'd') ||
      (sign != '+' && sign != '-') || d1 > 9 || d2 > 9 || (end - p > 12 && is_digit(p[12])))
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
[[gnu::always_inline]] inline const char* scan_real_common(const char* p, const char* end,
                                                          double& out) {
  if (p >= end) return nullptr;
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
      if (d > 9) break;
      w = w * 10 + d;
      ++p;
    }
    long digits = p - int_begin;
    if (p < end && *p == '.') {
      const char* const frac_begin = ++p;
      p = take_digits(p, end, w);
      digits += p - frac_begin;
      k = frac_begin - p;
    }
    if (digits == 0 || digits > 19) return nullptr;
    if (p < end && ((*p | 0x20) == 'e' || (*p | 0x20) == 'd')) {
      long ex = 0;
      p = take_exponent(p, end, ex);
      if (p == nullptr) return nullptr;
      k += ex;
    }
  }
  if (w > kExactMantissa || k < -kMaxExactPow10 || k > kMaxExactPow10) return nullptr;
  const double x = static_cast<double>(w);
  const double v = k < 0 ? x / kExactPow10[static_cast<std::size_t>(-k)]
                         : x * kExactPow10[static_cast<std::size_t>(k)];
  out = std::bit_cast<double>(std::bit_cast<uint64_t>(v) | (static_cast<uint64_t>(neg) << 63));
  return p;
}

// The first position at or after pos that holds no blank; eight columns at
// a time where the record has them.
std::size_t skip_blanks(std::string_view rec, std::size_t pos) {
  const char* const b = rec.data();
  const std::size_t n = rec.size();
  while (n - pos >= 8) {
    uint64_t chunk;
    std::memcpy(&chunk, b + pos, 8);
    const uint64_t x = chunk ^ 0x2020202020202020ull;
    if (x == 0) {
      pos += 8;
      continue;
    }
    pos += static_cast<std::size_t>(std::countr_zero(x) / 8);
    if (b[pos] != '\t') return pos;
    ++pos;
  }
  while (pos < n && is_blank(b[pos])) ++pos;
  return pos;
}

}  // namespace

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
  std::memcpy(&lead, p, 2);   // "  " or " -"
  std::memcpy(&m, p + 2, 8);  // "d.dddddd"
  std::memcpy(&e, p + 10, 4); // "E+dd" or "E-dd"
  // The point read as a 0, then all eight bytes of m must be digits; the
  // exponent's two digits likewise.
  constexpr uint64_t kPoint = uint64_t{'.' ^ '0'} << 8;
  const uint64_t md = m ^ kPoint;
  const unsigned head = e & 0xffffu;
  const bool ok = (lead == 0x2020 || lead == 0x2d20) && (m & 0xff00u) == 0x2e00u &&
                  (head == 0x2b45 || head == 0x2d45) &&
                  (non_digit_bytes(md) | non_digit_bytes((e & 0xffff0000u) | 0x3030303000003030ull)) == 0;
  if (!ok) return false;
  const unsigned sign = lead >> 8;
  const unsigned esign = head >> 8;
  const uint64_t w = eight_digit_value(md - 0x3030303030303030ull) - (m & 0x0fu) * 9000000u;
  const long ex = static_cast<long>(((e >> 16) & 0x0fu) * 10 + ((e >> 24) & 0x0fu));
  const long k = (esign == '-' ? -ex : ex) - 6;
  if (k < -kMaxExactPow10 || k > kMaxExactPow10) return false;
  const double x = static_cast<double>(w);
  const double v = k < 0 ? x / kExactPow10[static_cast<std::size_t>(-k)]
                         : x * kExactPow10[static_cast<std::size_t>(k)];
  out = std::bit_cast<double>(std::bit_cast<uint64_t>(v) |
                              (static_cast<uint64_t>(sign == '-') << 63));
  return true;
}

}  // namespace

const char* scan_plain_reals(const char* p, const char* end, std::span<double> out) {
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
    while (p < end && *p == ' ') ++p;
    if (k > 0 && p == before) return nullptr;
    p = scan_real_common(p, end, out[k]);
    if (p == nullptr) return nullptr;
  }
  // The record ends right after the last value: LF, CR LF or the end of
  // the text.
  if (p == end) return p;
  if (*p == '\n') return p + 1;
  if (*p == '\r' && end - p >= 2 && p[1] == '\n') return p + 2;
  return nullptr;
}

ScanResult scan_items(std::string_view rec, std::size_t pos,
                      std::span<const ReadItem> items, std::size_t& filled) {
  const std::size_t n = rec.size();
  bool after_value = false;
  while (filled < items.size()) {
    pos = skip_blanks(rec, pos);
    if (pos >= n) return {pos, ScanErr::EndOfRecord};
    const ReadItem& item = items[filled];
    if (item.kind == ReadItem::Kind::Real) {
      // A plain number followed by a blank or the end of the record, as in
      // every node record; anything else is scanned again below.
      const char* const b = rec.data();
      const char* const e = scan_real_common(b + pos, b + n, *static_cast<double*>(item.target));
      if (e != nullptr) {
        const auto after = static_cast<std::size_t>(e - b);
        if (after >= n || rec[after] == ' ' ||
            (filled + 1 == items.size() && rec[after] != '*')) {
          pos = after;
          after_value = true;
          if (++filled == items.size()) break;
          continue;
        }
      }
    }
    const char c = rec[pos];
    if (c == ',') {
      if (!after_value) return {pos, ScanErr::NullValue};
      after_value = false;
      ++pos;
      continue;
    }
    if (c == '/') return {pos, ScanErr::Slash};
    ScanResult r{};
    if (item.kind == ReadItem::Kind::Int)
      r = scan_int(rec, pos, *static_cast<int32_t*>(item.target));
    else
      r = scan_real(rec, pos, *static_cast<double*>(item.target));
    if (r.err != ScanErr::None) return r;
    if (r.pos < n && rec[r.pos] == '*') return {pos, ScanErr::RepeatCount};
    // A number glued to text before the last item: the item at fault is
    // this one, and the report shows its whole text from its first column.
    if (filled + 1 < items.size() && r.pos < n && !is_blank(rec[r.pos]) && rec[r.pos] != ',')
      return {pos, ScanErr::BadEnd};
    ++filled;
    pos = r.pos;
    after_value = true;
    if (filled == items.size()) break;
  }
  return {pos, ScanErr::None};
}

// ------------------------------------------------------------------------
// Input channel

TextIn::TextIn(int unit, std::string name) : unit_(unit), name_(std::move(name)) {}

TextIn::~TextIn() { unmap(); }

TextIn::TextIn(TextIn&& other) noexcept
    : unit_(other.unit_),
      name_(std::move(other.name_)),
      data_(std::move(other.data_)),
      map_(std::exchange(other.map_, nullptr)),
      map_size_(std::exchange(other.map_size_, 0)),
      pos_(std::exchange(other.pos_, 0)),
      line_(std::exchange(other.line_, 0)) {}

TextIn& TextIn::operator=(TextIn&& other) noexcept {
  if (this != &other) {
    unmap();
    unit_ = other.unit_;
    name_ = std::move(other.name_);
    data_ = std::move(other.data_);
    map_ = std::exchange(other.map_, nullptr);
    map_size_ = std::exchange(other.map_size_, 0);
    pos_ = std::exchange(other.pos_, 0);
    line_ = std::exchange(other.line_, 0);
  }
  return *this;
}

void TextIn::unmap() noexcept {
  if (map_ != nullptr) ::munmap(const_cast<char*>(map_), map_size_);
  map_ = nullptr;
  map_size_ = 0;
}

void TextIn::open(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    fail(err == ENOENT ? "file not found" : "cannot open file", std::strerror(err));
  }
  unmap();
  data_.clear();
  pos_ = 0;
  line_ = 0;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
  if (regular) {
    // A regular file is mapped: its pages are read where the page cache
    // holds them, with no copy and no buffer to fill.
    const auto size = static_cast<std::size_t>(st.st_size);
    void* m = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (m != MAP_FAILED) {
      map_ = static_cast<const char*>(m);
      map_size_ = size;
      ::close(fd);
      return;
    }
  }
  // Anything else (a pipe, an empty file, a file that cannot be mapped) is
  // read into the buffer.
  std::size_t have = 0;
  data_.resize(regular ? static_cast<std::size_t>(st.st_size) + 1 : std::size_t{1} << 16);
  for (;;) {
    if (have == data_.size()) data_.resize(2 * data_.size());
    const ssize_t n = ::read(fd, data_.data() + have, data_.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      data_.clear();
      fail("read error", std::strerror(err));
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  ::close(fd);
  data_.resize(have);
}

void TextIn::open_memory(std::string content) {
  unmap();
  data_ = std::move(content);
  pos_ = 0;
  line_ = 0;
}

void TextIn::close() {
  unmap();
  data_.clear();
  data_.shrink_to_fit();
  pos_ = 0;
}

std::string_view TextIn::next_record(std::string_view what) {
  const std::string_view all = text();
  if (pos_ >= all.size()) fail("end of file", "expected " + std::string(what));
  const std::size_t nl = all.find('\n', pos_);
  const std::size_t end = nl == std::string_view::npos ? all.size() : nl;
  std::string_view rec(all.data() + pos_, end - pos_);
  if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
  pos_ = nl == std::string_view::npos ? all.size() : nl + 1;
  ++line_;
  return rec;
}

std::string TextIn::read_text(std::size_t n, std::string_view what) {
  std::string_view rec = next_record(what);
  std::string out(rec.substr(0, n));
  out.resize(n, ' ');
  return out;
}

void TextIn::skip(std::string_view what) { next_record(what); }

std::string_view TextIn::peek_record() const {
  const std::string_view all = text();
  if (pos_ >= all.size()) return {};
  const std::size_t nl = all.find('\n', pos_);
  const std::size_t end = nl == std::string_view::npos ? all.size() : nl;
  std::string_view rec(all.data() + pos_, end - pos_);
  if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
  return rec;
}

namespace {

std::string describe(const ReadItem& item) {
  std::string d = item.kind == ReadItem::Kind::Int ? "an integer" : "a real number";
  if (!item.name.empty()) d += " (" + std::string(item.name) + ")";
  return d;
}

// The text found where a value was expected, for the error report.
std::string found_text(std::string_view rec, std::size_t pos) {
  std::size_t end = pos;
  while (end < rec.size() && end - pos < 24 && !is_blank(rec[end]) && rec[end] != ',')
    ++end;
  std::string t(rec.substr(pos, end - pos));
  for (char& ch : t)
    if (static_cast<unsigned char>(ch) < 32 || static_cast<unsigned char>(ch) > 126) ch = '?';
  return t;
}

}  // namespace

void TextIn::read_list(std::span<const ReadItem> items) {
  std::size_t filled = 0;
  if (items.empty()) return;
  // The description of the awaited item is only built for an error report:
  // this runs once per node record of the field table.
  if (at_end()) next_record(describe(items[0]));
  std::string_view rec = next_record({});
  std::size_t pos = 0;
  for (;;) {
    const ScanResult r = scan_items(rec, pos, items, filled);
    if (r.err == ScanErr::None) return;
    if (r.err == ScanErr::EndOfRecord) {
      if (at_end()) next_record(describe(items[filled]));
      rec = next_record({});
      pos = 0;
      continue;
    }
    fail(scan_error_text(r.err), "expected " + describe(items[filled]) +
                                     ", found \"" + found_text(rec, r.pos) + "\"");
  }
}

bool TextIn::read_plain_reals(std::span<double> out) {
  const std::string_view all = text();
  const char* const b = all.data();
  const char* const e = scan_plain_reals(b + pos_, b + all.size(), out);
  if (e == nullptr || pos_ >= all.size()) return false;
  pos_ = static_cast<std::size_t>(e - b);
  ++line_;
  return true;
}

void TextIn::read_from(std::string_view text, std::span<const ReadItem> items) {
  std::size_t filled = 0;
  const ScanResult r = scan_items(text, 0, items, filled);
  if (r.err == ScanErr::None) return;
  if (r.err == ScanErr::EndOfRecord)
    fail("end of record", "expected " + describe(items[filled]));
  fail(scan_error_text(r.err), "expected " + describe(items[filled]) + ", found \"" +
                                   found_text(text, r.pos) + "\"");
}

void TextIn::fail(std::string kind, std::string detail) const {
  throw IoError(unit_, name_, std::move(kind), std::move(detail), line_);
}

}  // namespace zereduv
