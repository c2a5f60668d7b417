// What a run needs from the operating system besides reading and writing
// its files: standard streams that are safe to write, an end on an
// interruption that leaves the directory consistent, one run at a time per
// directory, and the removal of field-file temporaries that a killed run
// left behind.  One implementation per system family (process-posix.cpp,
// ...); nothing in this interface is specific to one of them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "run/errors.h"

namespace zereduv {

/// First thing in main.  Standard input, output or error that are closed
/// are opened on the null device, so that no file the run opens later takes
/// their place; a closed pipe on standard output becomes a write error on
/// unit 6 instead of ending the process without a word.
void prepare_standard_streams() noexcept;

/// True when the process is alone on its console: started from Explorer
/// (by a double-click or a file dropped on it), not from a console or a
/// script.  Then the window closes when the process ends.
bool console_owned_alone() noexcept;

/// Waits for a key on the console (nothing when there is none).
void wait_for_key() noexcept;

/// From now on an interruption (Ctrl-C, a termination request, a closed
/// terminal, a processor-time limit, ...) is only noted; the run looks at it at
/// safe points through check_interrupted() and ends there.  A second
/// interruption ends the process at once.
void catch_interruptions() noexcept;

/// A file-size limit (ulimit -f) makes a write that would pass it fail
/// (EFBIG), to be reported as any write error, instead of ending the
/// process without a word and leaving its temporaries behind.  Part of
/// catch_interruptions(); on its own for zereduv-inspect.
void fail_writes_past_size_limit() noexcept;

/// The signal number of the interruption noted so far, 0 while there is
/// none.  The run's exit status after an interruption is 128 + this number.
int interruption_signal() noexcept;

/// A safe point: throws RunInterrupted when an interruption has been noted.
inline void check_interrupted() {
  if (const int sig = interruption_signal(); sig != 0)
    throw RunInterrupted{sig};
}

/// The exclusive lock that keeps two runs out of one directory, taken on
/// the control file and held until the object goes.
class RunLock {
 public:
  enum class State {
    Held,         // this run holds the lock
    Absent,       // there is no control file, so nothing to lock
    Unavailable,  // the file system cannot lock it: the run goes on unlocked
    InUse,        // another run holds it
  };

  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  /// Tries once, without waiting.
  State take(const std::filesystem::path& control);

 private:
  std::intptr_t handle_ = -1;
};

/// Removes every file directly in `dir` whose name `is_ours` accepts.  A
/// file that cannot be removed stays; nothing is reported.
void remove_files(const std::filesystem::path& dir,
                  bool (*is_ours)(std::string_view name)) noexcept;

}  // namespace zereduv
