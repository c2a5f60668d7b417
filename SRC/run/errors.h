// The ways a run can end early.  They travel as exceptions and are caught
// only in main, which writes the message, closes what is open and sets the
// exit status.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zereduv {

/// Exit statuses of the program, one per kind of end.
inline constexpr int kExitNormal = 0;  // normal end (warnings included)
inline constexpr int kExitCommandLine =
    1;                                  // an argument the program does not take
inline constexpr int kExitIoError = 2;  // an I/O error on any unit
inline constexpr int kExitRejected = 3;  // input the program cannot use: a
                                         // rejected table, the stops

/// An I/O error on one of the run's units (1 control file, 2 field table,
/// 6 console, 7 field file, 8 log).  `kind` names the kind of error
/// ("end of file", "bad number", ...), `line` the record (0 when none).
class IoError : public std::runtime_error {
 public:
  IoError(int unit, std::string file, std::string kind, std::string detail,
          long line = 0);
  int unit;
  std::string file;
  std::string kind;
  std::string detail;
  long line;
};

/// The stop: a fixed message for standard error, exit status 3 (the map
/// fails the Maxwell check, the layout number is not one of the three).
struct RunStop {
  std::string message;
};

/// A field table that is read correctly but cannot be used (too small, too
/// large, empty range, wrong kind of table).
class TableRejected : public std::runtime_error {
 public:
  TableRejected(std::string file, std::string problem);
  std::string file;
  std::string problem;
};

/// An interruption (Ctrl-C, a termination request) found at a safe point.
/// The log gets a last line saying so; the exit status is 128 + `signal`.
struct RunInterrupted {
  int signal;
};

/// Ends the run with the stop message, exactly as given.
[[noreturn]] void stop_run(std::string_view message);

}  // namespace zereduv
