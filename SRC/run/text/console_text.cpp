#include "run/text/console_text.h"

#include "run/system/platform.h"

namespace zereduv {

std::string console_text(std::string_view text) {
  const std::string_view eol = platform::console_line_end();
  if (eol == "\n")
    return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') {
      out += eol;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace zereduv
