// The field file on its way to disk.  The bytes go to a temporary file in
// the same directory; only when the last one is written and the file is
// closed without error does it take the field file's name (one rename), so
// a failed run never leaves a partial field file behind and never spoils an
// existing one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace zereduv {

/// True for the name of a temporary that a FieldSink makes for a field
/// file eh_ZIV.#NN: ".eh_ZIV.#NN.part<process id>-<k>".  A run that holds
/// the directory's lock removes those left by runs that were killed.
bool is_field_file_temporary(std::string_view name);

/// The head of the names of the temporaries made for the file `name`:
/// "." name ".part", after which come a process id, "-" and a count.  A
/// name so long that the temporary's name would exceed what a directory
/// entry holds gets ".part" alone.
std::string temporary_stem(const std::string& name);

/// True for a temporary's name made from `stem` (temporary_stem).
bool is_temporary_of(std::string_view entry, std::string_view stem);

/// The field file a run is about to replace, its cached pages given back on
/// a helper thread while the run reads and computes.  Its content stays on
/// disk, untouched until the rename; but the rename no longer has to free
/// the thousands of cached pages of an 18 MB file at the very end of the
/// run.  Only a hint to the system: anything but a regular file (or a file
/// that cannot be opened) is left alone, and so is everything on Windows.
class ReplacedFieldFile {
 public:
  explicit ReplacedFieldFile(const std::filesystem::path& target);
  /// Waits for the helper.
  ~ReplacedFieldFile();
  ReplacedFieldFile(const ReplacedFieldFile&) = delete;
  ReplacedFieldFile& operator=(const ReplacedFieldFile&) = delete;

  /// Waits for the helper (done before the field file is written, so that
  /// the two do not share the processors).
  void wait() noexcept;

  /// The system's part (field_sink-posix.cpp, field_sink-win32.cpp).
  static void drop_cached_pages(const std::filesystem::path& target) noexcept;

 private:
  std::thread helper_;
};

class FieldSink {
 public:
  /// Creates the temporary beside `target`.  `unit` and `name` are what an
  /// I/O error report names (unit 7 and the field file's name).
  FieldSink(const std::filesystem::path& target, int unit, std::string name);
  /// Removes the temporary unless commit() has renamed it.
  ~FieldSink();
  FieldSink(const FieldSink&) = delete;
  FieldSink& operator=(const FieldSink&) = delete;

  /// Writes all n bytes (in as many system calls as it takes).  A safe
  /// point for an interruption, which removes the temporary.
  void write(const void* data, std::size_t n);
  /// Flushes to disk, closes and renames the temporary over the target,
  /// unless the run was interrupted while it wrote.
  void commit();

  const std::filesystem::path& temp_path() const { return temp_; }

 private:
  /// Removes the temporary and throws the unit's I/O error; `reason` is
  /// the system's words for the failure.
  [[noreturn]] void fail(std::string_view kind, const std::string& what,
                         const std::string& reason);
  /// Creates the temporary beside the target under a name of this process
  /// (`process_id`) that no file has yet, made from `stem`.
  void create_temporary(const std::string& stem, const std::string& process_id);

  // The system's part, in field_sink-posix.cpp and field_sink-win32.cpp.
  /// One try at creating `temp_` where no file has that name: sets handle_
  /// and gives nothing, or gives the system's words for the failure, with
  /// `taken` set when a file of that name is in the way.
  std::optional<std::string> create_new(bool& taken);
  /// Writes some of the n > 0 bytes at p: how many (at least one); a
  /// failure ends with fail().
  std::size_t write_some(const char* p, std::size_t n);
  void discard() noexcept;

  std::filesystem::path target_;
  std::filesystem::path temp_;
  int unit_;
  std::string name_;
  std::intptr_t handle_ = -1;  // the temporary's descriptor or handle
  std::size_t written_ = 0;    // bytes written so far
  bool committed_ = false;
};

}  // namespace zereduv
