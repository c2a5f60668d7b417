// Slow, obviously-correct references for the list-directed double field and
// for the free-format number grammar, built only on std::to_chars and
// std::from_chars.  The sweep tests hold the program's own formatter and
// scanner against them.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"

namespace zereduv::reference {

/// Decimal exponent of a std::to_chars scientific result ("d.ddde-05").
inline int sci_exponent(std::string_view sci) {
  const std::size_t e = sci.find('e');
  int x = 0;
  std::string_view t = sci.substr(e + 1);
  const bool neg = t.front() == '-';
  if (t.front() == '+' || t.front() == '-')
    t.remove_prefix(1);
  std::from_chars(t.data(), t.data() + t.size(), x);
  return neg ? -x : x;
}

/// The 24-character list-directed field of `v`, written at `out`:
///  - any zero: 0.000000000000000E+000;
///  - |v| rounded to 15 significant digits in [0.1, 1e15): those 15 digits in
///    fixed-point form (a 0 before the point below 1), right-justified in 19
///    characters, then 5 blanks;
///  - otherwise 16 significant digits, d.ddddddddddddddd, E, the sign and
///    three exponent digits, right-justified in 24 characters.
inline void d24(char* out, double v) {
  std::memset(out, ' ', 24);
  if (v == 0.0) {
    std::memcpy(out, "  0.000000000000000E+000", 24);
    return;
  }
  const bool neg = std::signbit(v);
  const double a = std::fabs(v);
  char sci[40];
  auto r = std::to_chars(sci, sci + sizeof sci, a,
                         std::chars_format::scientific, 14);
  const int e15 = sci_exponent(std::string_view(sci, r.ptr));
  char body[32];
  std::size_t n = 0;
  if (neg)
    body[n++] = '-';
  if (e15 >= -1 && e15 <= 14) {
    char digits[15];  // the 15 rounded digits, without the point
    digits[0] = sci[0];
    std::memcpy(digits + 1, sci + 2, 14);
    const int before = e15 + 1;  // digits before the point
    if (before == 0)
      body[n++] = '0';
    for (int k = 0; k < 15; ++k) {
      if (k == before)
        body[n++] = '.';
      body[n++] = digits[k];
    }
    if (before == 15)
      body[n++] = '.';
    std::memcpy(out + (19 - n), body, n);
    return;
  }
  r = std::to_chars(sci, sci + sizeof sci, a, std::chars_format::scientific,
                    15);
  const int e16 = sci_exponent(std::string_view(sci, r.ptr));
  const int ae = std::abs(e16);
  std::memcpy(body + n, sci, 17);  // d.ddddddddddddddd
  n += 17;
  body[n++] = 'E';
  body[n++] = e16 < 0 ? '-' : '+';
  body[n++] = static_cast<char>('0' + ae / 100);
  body[n++] = static_cast<char>('0' + ae / 10 % 10);
  body[n++] = static_cast<char>('0' + ae % 10);
  std::memcpy(out + (24 - n), body, n);
}

inline std::string d24(double v) {
  char buf[24];
  d24(buf, v);
  return std::string(buf, 24);
}

/// Outcome of the reference scan of one item.
struct Scan {
  ScanErr err = ScanErr::None;
  double value = 0.0;      // integers widened
  bool underflow = false;  // a real too small for a double: left open
};

inline bool is_digit(char ch) {
  return ch >= '0' && ch <= '9';
}
inline bool ends_item(char ch) {
  return ch == ' ' || ch == '\t' || ch == ',';
}

/// Scans one item at the start of `s` (no leading blanks) by the free-format
/// grammar
///   number := [+|-] digits [. [digits]] [exp] | [+|-] . digits [exp]
///   exp    := (E|e|D|d) [+|-] digits
/// An integer item takes a number without point or exponent within 32 bits;
/// a number without point or exponent followed by '*' is a repeat count; an
/// item that is not the last must be followed by a blank, a tab, a comma or
/// the end, the last one by those or ")".
inline Scan scan_item(std::string_view s, bool integer, bool last) {
  Scan out;
  std::size_t i = 0;
  const std::size_t n = s.size();
  // What std::from_chars reads: no '+', exponent letter 'e'.
  char norm_buf[512];
  std::size_t norm_len = 0;
  if (n >= sizeof norm_buf)
    std::abort();  // test tokens are short
  auto put = [&](char ch) { norm_buf[norm_len++] = ch; };
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-')
      put('-');
    ++i;
  }
  const std::size_t int_begin = i;
  while (i < n && is_digit(s[i]))
    put(s[i++]);
  const std::size_t int_digits = i - int_begin;
  std::size_t frac_digits = 0;
  bool point = false;
  if (i < n && s[i] == '.') {
    point = true;
    put(s[i++]);
    const std::size_t f = i;
    while (i < n && is_digit(s[i]))
      put(s[i++]);
    frac_digits = i - f;
  }
  if (int_digits + frac_digits == 0) {
    out.err = ScanErr::NotANumber;
    return out;
  }
  bool exponent = false;
  long exp_value = 0;
  if (i < n && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    std::size_t j = i + 1;
    put('e');
    bool eneg = false;
    if (j < n && (s[j] == '+' || s[j] == '-')) {
      eneg = s[j] == '-';
      if (eneg)
        put('-');
      ++j;
    }
    const std::size_t d = j;
    while (j < n && is_digit(s[j])) {
      if (exp_value < 100000)
        exp_value = exp_value * 10 + (s[j] - '0');
      put(s[j++]);
    }
    if (j == d) {
      out.err = ScanErr::BadExponent;
      return out;
    }
    if (eneg)
      exp_value = -exp_value;
    exponent = true;
    i = j;
  }
  if (!point && !exponent && i < n && s[i] == '*') {
    out.err = ScanErr::RepeatCount;
    return out;
  }
  if (integer && (point || exponent)) {
    out.err = ScanErr::NotAnInteger;
    return out;
  }
  if (!last && i < n && !ends_item(s[i])) {
    out.err = ScanErr::BadEnd;
    return out;
  }
  if (last && i < n && !ends_item(s[i]) && s[i] != ')') {
    out.err = ScanErr::GluedText;
    return out;
  }
  if (integer) {
    int32_t v = 0;
    const auto r = std::from_chars(norm_buf, norm_buf + norm_len, v);
    if (r.ec == std::errc::result_out_of_range) {
      out.err = ScanErr::IntRange;
      return out;
    }
    out.value = v;
    return out;
  }
  double v = 0.0;
  const auto r = std::from_chars(norm_buf, norm_buf + norm_len, v);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow or underflow, told apart by the decimal exponent of the
    // leading non-zero mantissa digit.
    long lead = 0;
    bool found = false;
    std::string_view m(norm_buf, norm_len);
    m = m.substr(0, m.find('e'));
    long pos_of_point = static_cast<long>(m.find('.'));
    if (pos_of_point < 0)
      pos_of_point = static_cast<long>(m.size());
    for (long k = 0; k < static_cast<long>(m.size()); ++k) {
      const char ch = m[static_cast<std::size_t>(k)];
      if (is_digit(ch) && ch != '0') {
        lead = k < pos_of_point ? pos_of_point - k - 1 : pos_of_point - k;
        found = true;
        break;
      }
    }
    if (found && lead + exp_value > 0) {
      out.err = ScanErr::RealRange;
    } else {
      out.underflow = true;
    }
    return out;
  }
  out.value = v;
  return out;
}

}  // namespace zereduv::reference
