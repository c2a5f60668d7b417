// zereduv-inspect: looks at a field table, or at a field file written by
// zereduv, before either is trusted.
#include <exception>
#include <string>
#include <vector>

#include "cli.h"
#include "run/system/platform.h"
#include "run/system/process.h"
#include "run/text/console_text.h"

int main(int argc, char** argv) {
  // Under a file-size limit an output's write fails and its temporary is
  // removed, instead of the process ending with the temporary left behind.
  zereduv::fail_writes_past_size_limit();
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
  out = zereduv::console_text(out);
  platform::OutputFile stream;
  stream.attach_standard_output();
  std::size_t done = 0;
  if (const platform::FileError e =
          stream.write(out.data(), out.size(), done)) {
    err += "zereduv-inspect: cannot write the report to standard output: " +
           e.reason + "\n";
    status = kExitUnreadable;
  }
  err = zereduv::console_text(err);
  stream.attach_standard_error();
  stream.write(err.data(), err.size(), done);
  return status;
}
