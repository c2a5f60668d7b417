#include "numfmt.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace zereduv::inspect {

namespace {

std::string finish(char* first, std::to_chars_result r) {
  if (r.ec != std::errc())
    return "?";
  return std::string(first, r.ptr);
}

}  // namespace

std::string num_exact(double v) {
  if (v == 0.0)
    return "0";  // no "-0" in a report
  char buf[40];
  return finish(buf, std::to_chars(buf, buf + sizeof buf, v));
}

std::string num(double v, int digits) {
  if (v == 0.0)
    return "0";
  if (!std::isfinite(v))
    return std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
  char buf[64];
  return finish(buf, std::to_chars(buf, buf + sizeof buf, v,
                                   std::chars_format::general, digits));
}

std::string num_fixed(double v, int decimals) {
  if (!std::isfinite(v))
    return num(v);
  char buf[400];
  std::string s =
      finish(buf, std::to_chars(buf, buf + sizeof buf, v,
                                std::chars_format::fixed, decimals));
  // A value that rounds to zero prints without its sign.
  if (s.front() == '-' && s.find_first_not_of("-0.") == std::string::npos)
    s.erase(0, 1);
  return s;
}

}  // namespace zereduv::inspect
