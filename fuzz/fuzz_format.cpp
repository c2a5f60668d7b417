// The list-directed double field: always 24 characters; it reads back as the
// value rounded to 15 significant digits (fixed-point form, for rounded
// magnitudes in [0.1, 1e15)) or to 16 digits (exponent form, otherwise).
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"

using namespace zereduv;

namespace {

// The value rounded to `digits` significant digits, as the decimal text
// to_chars gives, read back (out of range: the text itself differs).
std::string rounded_text(double v, int digits) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, v,
                               std::chars_format::scientific, digits - 1);
  return std::string(buf, r.ptr);
}

// Digits and exponent of a decimal text in a canonical scientific form.
std::string canonical(const std::string& text, int digits) {
  double x = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), x);
  if (r.ec == std::errc::result_out_of_range)
    return "overflow:" + text;
  if (r.ec != std::errc())
    std::abort();
  return rounded_text(x, digits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 8)
    return 0;
  double v;
  std::memcpy(&v, data, 8);
  if (!std::isfinite(v))
    return 0;
  const std::string f = d24(v);
  if (f.size() != 24)
    std::abort();
  if (v == 0.0) {
    if (f != "  0.000000000000000E+000")
      std::abort();
    return 0;
  }
  std::size_t b = f.find_first_not_of(' ');
  std::size_t e = f.find_last_not_of(' ');
  std::string field = f.substr(b, e - b + 1);
  const bool has_e = field.find('E') != std::string::npos;

  double r15 = 0;
  const std::string t15 = rounded_text(v, 15);
  std::from_chars(t15.data(), t15.data() + t15.size(), r15);
  const bool fixed = std::fabs(r15) >= 0.1 && std::fabs(r15) < 1e15;
  if (fixed == has_e)
    std::abort();
  if (fixed) {
    if (f.substr(19) != "     " || f.size() - f.find_last_not_of(' ') - 1 != 5)
      std::abort();
    if (canonical(field, 15) != t15)
      std::abort();
  } else {
    // d.dddddddddddddddE+ddd: 16 digits and a three-digit exponent.
    const std::size_t epos = field.find('E');
    if (field.size() - epos != 5)
      std::abort();
    std::string text = field.substr(0, epos) + "e" + field.substr(epos + 1);
    const std::string t16 = rounded_text(v, 16);
    const std::string got = canonical(text, 16);
    if (got.rfind("overflow:", 0) == 0) {
      // Rounding up past the largest double: compare the digits themselves.
      if (std::stod(t16.substr(0, t16.find('e'))) !=
          std::stod(text.substr(0, text.find('e'))))
        std::abort();
    } else if (got != t16) {
      std::abort();
    }
  }
  return 0;
}
