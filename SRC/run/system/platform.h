// What the run needs from the operating system, behind one small interface:
// reading a whole input file, writing an output file, what a name stands
// for, and the system's own words for a failure.  One implementation per
// system, in the files platform-posix.cpp and platform-win32.cpp; the build
// picks the one that fits.  Every file is handled as bytes (binary mode): line
// ends come from the text layer alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "run/system/big_memory.h"

namespace zereduv::platform {

/// The path of the file that the control file names `name`: its bytes as
/// they stand (on Windows read as UTF-8 when they are valid UTF-8, as
/// editors save text today, otherwise in the ANSI code page, as older
/// programs write it).
std::filesystem::path file_path(std::string_view name);

/// The operating system's words for the error number `code` (errno on
/// POSIX systems, GetLastError() on Windows).
std::string system_error_text(unsigned long code);

/// The words for the failure `code` of an operation on the file at `path`:
/// on Windows a sharing violation says that another program has the file
/// open, and a refusal on a read-only file says that it is read-only;
/// otherwise system_error_text(code).
std::string file_error_text(const std::filesystem::path& path,
                            unsigned long code);

/// The program's arguments (without its own name): on Windows taken from
/// the wide command line and given in UTF-8, so that any name survives;
/// elsewhere the bytes of argv.
std::vector<std::string> arguments(int argc, char** argv);

/// True when `a` and `b` name the same file in one folder: byte for byte
/// on POSIX systems, regardless of case on Windows.
bool same_file_name(std::string_view a, std::string_view b);

/// `path` as the system writes it (on Windows with backslashes), for a
/// message on the console: UTF-8 where the path is not plain bytes.
std::string shown_path(const std::filesystem::path& path);

/// The end of a console line (standard output and standard error): CR LF
/// on Windows, LF elsewhere.
std::string_view console_line_end() noexcept;

/// What a name stands for, after symbolic links: nothing, a regular file or
/// something else, and which file it is.
struct PathFacts {
  bool exists = false;
  /// Null for a regular file; otherwise what the name is, for a message:
  /// "a directory", "a FIFO", "a character device", ...
  const char* kind = nullptr;
  bool directory = false;
  std::uint64_t device = 0;  // with `file`, the file's identity
  std::uint64_t file = 0;
};

PathFacts path_facts(const std::filesystem::path& path);

/// True when both names stand for one existing file.
inline bool same_file(const PathFacts& a, const PathFacts& b) {
  return a.exists && b.exists && a.device == b.device && a.file == b.file;
}

/// True when `a` and `b` name one existing file, however named: the same
/// path, a symbolic or hard link, a path through "..".
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

/// True when the process's standard output is the existing file `path`
/// (a shell's `>> file`).
bool is_standard_output(const std::filesystem::path& path);

/// The outcome of a file operation: empty when it succeeded, otherwise the
/// kind of I/O error ("file not found", "read error", ...) and the reason
/// in the operating system's words.
struct FileError {
  std::string kind;
  std::string reason;
  explicit operator bool() const { return !kind.empty(); }
};

/// The bytes of a whole input file.
struct FileBytes {
  BigBlock data;  // a large table's bytes in huge pages where there are some
  std::size_t size = 0;
};

/// An input file open for reading.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  /// Opens the file at `path` (through symbolic links), never waiting for
  /// a writer; anything but a regular file is refused ("not a regular
  /// file", saying what it is).
  FileError open(const std::filesystem::path& path);
  /// The size of the file when it was opened.
  std::uint64_t size() const { return size_; }
  /// Reads the next bytes of the file, at most n of them, into `to`;
  /// `got` says how many (0 at the end of the file).
  FileError read_some(char* to, std::size_t n, std::size_t& got);
  /// Reads the whole file into `out` and closes it.  A file found shorter
  /// than when it was opened is "file changed while it was read".
  FileError read_all(FileBytes& out);
  /// The error for a file that ended after `have` bytes, fewer than it held
  /// when it was opened.
  FileError cut_short(std::uint64_t have) const;
  void close() noexcept;

 private:
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
};

/// An output file (or standard output) written in order.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  /// Creates the file at `path`, or truncates it, never waiting on a
  /// special file: a FIFO or socket is refused ("not a regular file").
  FileError create(const std::filesystem::path& path);
  /// Writes to the process's standard output (standard error) from now on.
  void attach_standard_output();
  void attach_standard_error();
  bool is_open() const { return handle_ != -1; }
  /// True for a file created by create() (not standard output).
  bool is_file() const { return is_open() && owned_; }

  /// Writes all n bytes; `done` counts those written, failure or not.
  FileError write(const char* data, std::size_t n, std::size_t& done);
  /// Closes the file (standard output stays open).
  FileError close();
  /// Writes what it can of the n bytes and closes, never failing.
  void close_quietly(const char* data, std::size_t n) noexcept;

 private:
  std::intptr_t handle_ = -1;
  bool owned_ = false;
};

}  // namespace zereduv::platform
