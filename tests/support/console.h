// Console text as this system writes it: the lines given with LF end with
// the system's console line end (CR LF on Windows, LF elsewhere).
#pragma once

#include <string>
#include <string_view>

#include "run/system/platform.h"

namespace zereduv::testing {

inline std::string console_lines(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') {
      out += platform::console_line_end();
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace zereduv::testing
