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
    // On Windows the arguments come in UTF-8 from the wide command line,
    // and "/?" is the system's own way to ask for help.
    std::vector<std::string> args = zereduv::platform::arguments(argc, argv);
    for (std::string& a : args) {
      if (a == "/?" && zereduv::platform::console_line_end() == "\r\n")
        a = "--help";
    }
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
  // Started from Explorer, the window would close before the report is
  // read.
  if (zereduv::console_owned_alone()) {
    const std::string note = zereduv::console_text(
        "zereduv-inspect: ended with exit status " + std::to_string(status) +
        ". Press a key to close this window.\n");
    stream.write(note.data(), note.size(), done);
    zereduv::wait_for_key();
  }
  return status;
}
