#include "run/text/fast_d24.h"

#include "run/text/number_fields.h"

// The fast field needs 128-bit integers and the SSE2 integer instructions of
// a 64-bit x86 processor; everywhere else (a 32-bit build among them) the
// field comes from the reference path, with the same bytes.
#if defined(__SIZEOF_INT128__) && defined(__SSE2__) && \
    (defined(__x86_64__) || defined(_M_X64))
#define ZEREDUV_FAST_D24 1
#else
#define ZEREDUV_FAST_D24 0
#endif

#if ZEREDUV_FAST_D24

#include <emmintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zereduv {

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
  for (int k = kMinFastDecade; k < kMinFastDecade + static_cast<int>(kDecades);
       ++k) {
    double p = 1.0;
    for (int i = 0; i < (k < 0 ? -k : k); ++i)
      p *= 10.0;
    t[static_cast<std::size_t>(k - kMinFastDecade)] = k < 0 ? 1.0 / p : p;
  }
  return t;
}
constexpr std::array<double, kDecades> kPow10 = make_pow10();
constexpr std::array<uint64_t, kDecades> make_exponent_text() {
  std::array<uint64_t, kDecades> t{};
  for (int k = kMinFastDecade; k < kMinFastDecade + static_cast<int>(kDecades);
       ++k) {
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
  const u128 p =
      static_cast<u128>(m) * f.lo + (static_cast<u128>(m * f.hi) << 64);
  const uint64_t lo = static_cast<uint64_t>(p),
                 hi = static_cast<uint64_t>(p >> 64);
  const int s = -(e + q);  // v * 10^q = p * 2^-s
  if (s <= 0) {
    // Already an integer; only small left shifts stay below 10^16.
    if (s < -8 || hi != 0)
      return false;
    out = {lo << -s, 0, false};
  } else if (s < 64) {
    out = {static_cast<uint64_t>(p >> s), lo << (64 - s), false};
  } else if (s == 64) {
    out = {hi, lo, false};
  } else if (s < 128) {
    out = {hi >> (s - 64), (hi << (128 - s)) | (lo >> (s - 64)),
           (lo << (128 - s)) != 0};
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
      if (i <= b && !(i == 0 && b > 0))
        keep |= byte;
      if (i == b + 1)
        point |= static_cast<u128>('.') << (8 * i);
      if (i >= b + 2)
        after |= byte;
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

void store64(char* out, uint64_t w) {
  std::memcpy(out, &w, 8);
}

static_assert(std::endian::native == std::endian::little,
              "the field is laid out in little-endian words");

constexpr uint64_t kBlankWord = 0x2020202020202020ull;

}  // namespace

// The fast field: one exact scaling, both roundings, and a layout without
// branches (the signs, forms and decades of field values come in no order a
// branch predictor could learn).
char* put_d24(char* out, double v) {
  // NaN and infinities leave by the reference path below (their exponent
  // lies outside the fast decades), which writes them.
  if (v == 0.0) {
    std::memcpy(out, kZero24.data(), kDoubleWidth);
    return out + kDoubleWidth;
  }
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
  if (est < kMinFastDecade || est > kMaxFastDecade)
    return put_d24_reference(out, v);
  const double mag = std::bit_cast<double>(bits & ~(uint64_t{1} << 63));
  const int exp10 =
      est + (mag >= kPow10[static_cast<std::size_t>(est + 1 - kMinFastDecade)]);
  // The form follows from |v| alone: fixed when its 15-digit rounding lies
  // in [0.1, 10^15), i.e. from the first double whose rounding reaches 0.1
  // up to (not including) the tie 999999999999999.5, which rounds to 10^15.
  const bool fixed = (mag >= kFixedLow) & (mag < kFixedHigh);
  // n = 15 (fixed) or 16 significant digits: v * 10^q has n whole digits.
  const int q = 15 - static_cast<int>(fixed) - exp10;
  Scaled x{};
  if (!scale(m, e, q, x))
    return put_d24_reference(out, v);
  const uint64_t lowest = fixed ? kTen14 : kTen15;  // 10^(n-1)
  const uint64_t limit = fixed ? kTen15 : kTen16;   // 10^n
  if (x.whole < lowest || x.whole >= limit)
    return put_d24_reference(out, v);
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
  const uint16_t head =
      static_cast<uint16_t>(' ' | ((skip0 ? ' ' : sign) << 8));
  // Column 18: the last digit, or the point of a 15-digit integer part.
  const uint64_t last =
      static_cast<uint64_t>(_mm_extract_epi16(digits, 7)) >> 8;
  const uint64_t col18 = b == 15 ? '.' : last;
  // Columns 19..23: five blanks, or E, the exponent's sign, three digits.
  const uint64_t tail5 =
      fixed
          ? (kBlankWord >> 24)
          : kExponentText[static_cast<std::size_t>(exp_lead - kMinFastDecade)];

  // Columns 0..15: the head and the first 14 bytes of the body; 16..23: the
  // rest of the body, column 18 and the tail.
  const __m128i first =
      _mm_or_si128(_mm_slli_si128(body, 2), _mm_cvtsi32_si128(head));
  const uint64_t rest = static_cast<uint64_t>(_mm_extract_epi16(body, 7)) |
                        (col18 << 16) | (tail5 << 24);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
  store64(out + 16, rest);
  return out + kDoubleWidth;
}

}  // namespace zereduv

#else  // !ZEREDUV_FAST_D24

namespace zereduv {

char* put_d24(char* out, double v) {
  return put_d24_reference(out, v);
}

}  // namespace zereduv

#endif  // ZEREDUV_FAST_D24
