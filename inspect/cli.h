// The command line of zereduv-inspect.
#pragma once

#include <string>
#include <vector>

namespace zereduv::inspect {

/// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;       // bad command line
inline constexpr int kExitUnreadable = 2;  // a file cannot be read or written
inline constexpr int kExitUnusable = 3;    // a table the program cannot use
inline constexpr int kExitDamaged = 4;     // a damaged or unknown field file

/// Runs one command (arguments without the program name); what goes to
/// standard output and standard error is returned in `out` and `err`.
int run_inspect(const std::vector<std::string>& args, std::string& out,
                std::string& err);

std::string help_text();
std::string version_text();

}  // namespace zereduv::inspect
