// zereduv-inspect: looks at a field table, or at a field file written by
// zereduv, before either is trusted.
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "run/platform.h"

namespace {

// Report text with the system's console line ends.
std::string console_text(const std::string& text) {
  const std::string_view eol = zereduv::platform::console_line_end();
  if (eol == "\n")
    return text;
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

}  // namespace

int main(int argc, char** argv) {
  using namespace zereduv::inspect;
  std::string out, err;
  int status = kExitUnreadable;
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    status = run_inspect(args, out, err);
  } catch (const std::exception& e) {
    err += std::string("zereduv-inspect: ") + e.what() + "\n";
  }
  // A report that cannot be written (a full disk, a closed pipe) is an
  // error of its own, said on standard error.  Both go out as bytes, with
  // the line ends made here.
  namespace platform = zereduv::platform;
  out = console_text(out);
  platform::OutputFile stream;
  stream.attach_standard_output();
  std::size_t done = 0;
  if (const platform::FileError e =
          stream.write(out.data(), out.size(), done)) {
    err += "zereduv-inspect: cannot write the report to standard output: " +
           e.reason + "\n";
    status = kExitUnreadable;
  }
  err = console_text(err);
  stream.attach_standard_error();
  stream.write(err.data(), err.size(), done);
  return status;
}
