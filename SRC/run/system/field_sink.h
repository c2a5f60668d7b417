// The field file (and each of zereduv-inspect's outputs) on its way to
// disk.  The bytes go to a temporary file in the same directory; only when
// the last one is written and the file is closed without error does it take
// the target's name (one rename), so a failed run never leaves a partial
// file behind and never spoils an existing one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "run/errors.h"

namespace zereduv {

/// The I/O error a FieldSink throws: `reason` is the system's own words for
/// the failure, for a caller that words its report itself.
class SinkError : public IoError {
 public:
  SinkError(int unit_, std::string file_, std::string kind_,
            std::string detail_, std::string reason_)
      : IoError(unit_, std::move(file_), std::move(kind_), std::move(detail_)),
        reason(std::move(reason_)) {}
  std::string reason;
};

/// True for the name of a temporary that a FieldSink makes for a field
/// file eh_ZIV.#NN: ".eh_ZIV.#NN.part<process id>-<k>".  A run that holds
/// the directory's lock removes those left by runs that were killed.
bool is_field_file_temporary(std::string_view name);

/// What a FieldSink does with a target that is neither a regular file nor a
/// directory: the field file refuses it; an inspection output writes a
/// device named on purpose (/dev/stdout, NUL) directly.
enum class SinkDevices { refuse, write_directly };

/// The head of the names of the temporaries made for the file `name`:
/// "." name ".part", after which come a process id, "-" and a count.  A
/// name so long that the temporary's name would exceed what a directory
/// entry holds gets ".part" alone.
std::string temporary_stem(const std::string& name);

/// True for a temporary's name made from `stem` (temporary_stem).
bool is_temporary_of(std::string_view entry, std::string_view stem);

class FieldSink {
 public:
  /// Creates the temporary beside `target`.  `unit` and `name` are what an
  /// I/O error report names (unit 7 and the field file's name).
  FieldSink(const std::filesystem::path& target, int unit, std::string name,
            SinkDevices devices = SinkDevices::refuse);
  /// Removes the temporary unless commit() has renamed it.
  ~FieldSink();
  FieldSink(const FieldSink&) = delete;
  FieldSink& operator=(const FieldSink&) = delete;

  /// Writes all n bytes (in as many system calls as it takes).  A safe
  /// point for an interruption, which removes the temporary.
  void write(const void* data, std::size_t n);
  /// Flushes to disk, closes and renames the temporary over the target,
  /// unless the run was interrupted while it wrote (a device written
  /// directly is only closed).
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
  /// With SinkDevices::write_directly, opens a target that is a device (or
  /// a FIFO) for writing in place and gives true; false for anything else.
  bool open_device();
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
  bool direct_ = false;  // a device, written without a temporary
};

}  // namespace zereduv
