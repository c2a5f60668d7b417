#include "run/text/number_fields.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <system_error>

#include "run/text/fast_d24.h"

namespace zereduv {

namespace {

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
    while (*p != 'e')
      out.d[n++] = *p++;
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

// A value that is not a number or infinite (only a sum that overflowed can
// give one) is written as NaN, Infinity or -Infinity, right-justified in its
// field.
char* put_nonfinite(char* out, double v) {
  const char* t = std::isnan(v) ? "NaN" : (v < 0 ? "-Infinity" : "Infinity");
  const int n = static_cast<int>(std::strlen(t));
  std::memset(out, ' ', static_cast<std::size_t>(kDoubleWidth - n));
  std::memcpy(out + kDoubleWidth - n, t, static_cast<std::size_t>(n));
  return out + kDoubleWidth;
}

}  // namespace

char* put_d24_reference(char* out, double v) {
  if (!std::isfinite(v))
    return put_nonfinite(out, v);
  if (v == 0.0) {
    std::memcpy(out, kZero24.data(), kDoubleWidth);
    return out + kDoubleWidth;
  }
  const bool neg = std::signbit(v);
  const Digits r15 = round_digits(v, 15);
  if (r15.exp10 >= -1 && r15.exp10 <= 14) {
    // Fixed-point form: 15 significant digits, right-justified in 19 columns,
    // then 5 blanks.
    char field[20];
    int n = 0;
    if (neg)
      field[n++] = '-';
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
      std::memcpy(field + n, r15.d + before,
                  static_cast<std::size_t>(15 - before));
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
  if (neg)
    field[n++] = '-';
  field[n++] = r16.d[0];
  field[n++] = '.';
  std::memcpy(field + n, r16.d + 1, 15);
  n += 15;
  field[n++] = 'E';
  int e = r16.exp10;
  field[n++] = e < 0 ? '-' : '+';
  if (e < 0)
    e = -e;
  field[n++] = static_cast<char>('0' + e / 100);
  field[n++] = static_cast<char>('0' + (e / 10) % 10);
  field[n++] = static_cast<char>('0' + e % 10);
  out = put_blanks(out, kDoubleWidth - n);
  std::memcpy(out, field, static_cast<std::size_t>(n));
  return out + n;
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
  if (static_cast<int>(s.size()) > w)
    return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

}  // namespace

std::string edit_A(std::string_view text, int w) {
  const auto uw = static_cast<std::size_t>(w);
  if (text.size() >= uw)
    return std::string(text.substr(0, uw));
  return std::string(uw - text.size(), ' ') + std::string(text);
}

std::string edit_I(int64_t v, int w, int m) {
  const uint64_t mag =
      v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  std::string digits = std::to_string(mag);
  if (static_cast<int>(digits.size()) < m)
    digits.insert(0, static_cast<std::size_t>(m) - digits.size(), '0');
  if (v < 0)
    digits.insert(0, 1, '-');
  return right_justify(digits, w);
}

std::string edit_F(double v, int w, int d) {
  if (v == 0.0)
    v = 0.0;  // an exact zero carries no sign
  if (!std::isfinite(v))
    return std::string(static_cast<std::size_t>(w), '*');
  char buf[400];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, d);
  if (res.ec != std::errc())
    return std::string(static_cast<std::size_t>(w), '*');
  std::string s(buf, res.ptr);
  if (d == 0)
    s += '.';  // F edits always show the point
  return right_justify(s, w);
}

std::string edit_E(double v, int w, int d) {
  if (!std::isfinite(v) || d < 1)
    return std::string(static_cast<std::size_t>(w), '*');
  std::string s;
  int e = 0;
  if (v == 0.0) {
    s = "0." + std::string(static_cast<std::size_t>(d), '0');
  } else {
    const Digits r = round_digits(v, d);
    if (std::signbit(v))
      s += '-';
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

std::string edit_X(int n) {
  return std::string(static_cast<std::size_t>(n), ' ');
}

}  // namespace zereduv
