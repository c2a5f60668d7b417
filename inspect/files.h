// What zereduv-inspect asks of the file system: what a name stands for
// (nothing, a regular file or something else), whether two names are one
// file, and an output file written whole through a temporary.  The system
// calls are in files-posix.cpp and files-win32.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace zereduv::inspect {

/// A failure to read or write a file, already worded for the user.
struct FileError {
  std::string message;
};

/// What a name stands for, after symbolic links.
struct PathFacts {
  bool exists = false;
  const char* kind =
      nullptr;  // "a directory", "a FIFO", ...; null: a regular file
  std::uint64_t device = 0;  // with `file`, the file's identity
  std::uint64_t file = 0;
};

PathFacts path_facts(const std::string& path);

inline bool same_file(const PathFacts& a, const PathFacts& b) {
  return a.exists && b.exists && a.device == b.device && a.file == b.file;
}

/// Writes `content` to `path`.  A regular file (or a new one) is written to
/// a temporary beside it and moved into place once complete, so a full
/// disk or a failed write leaves the earlier file as it was and no cut one;
/// a device named on purpose (/dev/stdout, NUL) is written directly.
/// Throws FileError.
void write_output(const std::string& path, const std::string& content);

}  // namespace zereduv::inspect
