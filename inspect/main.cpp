// zereduv-inspect: looks at a field table, or at a field file written by
// zereduv, before either is trusted.
#include <cerrno>
#include <cstdio>
#include <exception>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"

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
  // error of its own, said on standard error.
  errno = 0;
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() ||
      std::fflush(stdout) != 0) {
    const int e = errno;
    err += "zereduv-inspect: cannot write the report to standard output" +
           (e != 0 ? ": " + std::generic_category().message(e) : "") + "\n";
    status = kExitUnreadable;
  }
  std::fwrite(err.data(), 1, err.size(), stderr);
  return status;
}
