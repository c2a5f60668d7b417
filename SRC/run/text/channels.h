// The run's text channels: sequential streams of records (lines).  Output
// channels (the log, the console) lay out list-directed statements and end
// every record with their line end; input channels (the control file, the
// field table) hand out records and read free-format lists from them.  The
// files themselves are reached through the platform layer (platform.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "run/system/platform.h"
#include "run/text/free_format.h"
#include "run/text/list_layout.h"

namespace zereduv {

/// How a channel ends its records; Console: as the system's console lines
/// end (CR LF on Windows, LF elsewhere).
enum class LineEnd { Lf, CrLf, Console };

/// A sequential text output channel.  Until it is opened on a file or
/// attached to standard output it keeps its records in memory (so phases
/// can be run and checked without files).  Write failures raise IoError
/// naming the channel's unit and file.
class TextOut {
 public:
  TextOut(int unit, std::string name, LineEnd end);
  ~TextOut();
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  /// Creates or truncates the file and writes to it from now on.
  void open(const std::filesystem::path& path);
  /// Writes to standard output (standard error) from now on, flushing
  /// after every record.
  void attach_standard_output();
  void attach_standard_error();

  /// One record holding exactly `line`.
  void record(std::string_view line);
  /// One list-directed output statement.
  void list(std::initializer_list<ListItem> items);
  void list(std::span<const ListItem> items);

  /// Writes the buffered records out now (nothing for a channel kept in
  /// memory); a write error is reported as for close().
  void flush();
  /// Writes the buffered records out and closes the file.
  void close();
  /// Close on an error path: writes out what it can, never throws.
  void close_quietly() noexcept;
  bool is_file() const { return file_.is_file(); }

  /// Everything written while in memory (tests).
  const std::string& memory() const { return buf_; }
  int unit() const { return unit_; }
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }
  std::string_view line_end() const;

  // The output side of a ListStatement on this channel.
  char* room(std::size_t n) {
    const std::size_t at = buf_.size();
    buf_.resize(at + n);
    return buf_.data() + at;
  }
  void advance(char* end) {
    buf_.resize(static_cast<std::size_t>(end - buf_.data()));
  }
  void end_line();

 private:
  [[noreturn]] void fail(const platform::FileError& e) const;

  int unit_;
  std::string name_;
  LineEnd end_;
  platform::OutputFile file_;
  bool flush_each_record_ = false;
  std::string buf_;
};

/// A sequential text input channel.  Records end at LF; a CR right before
/// the LF is dropped; a last line without LF is a record.  The file is read
/// on in blocks as its records are taken, into a window that holds at least
/// the record being read (it grows for a longer one), so that a table of any
/// size takes no more memory than its longest record.  A record handed out
/// as a view stays valid until the channel is next asked for anything that
/// moves on (next_record, peek_record, at_end, the reads).
/// Every failure raises IoError naming the unit, the file and the line.
class TextIn {
 public:
  TextIn(int unit, std::string name);
  ~TextIn();
  TextIn(TextIn&&) noexcept;
  TextIn& operator=(TextIn&&) = delete;

  /// Opens the file (which must exist and be a regular file) for reading.
  void open(const std::filesystem::path& path);
  /// Reads from `content` instead of a file (tests).
  void open_memory(std::string_view content);
  void close();

  /// True when every record has been taken; reads on to know.
  bool at_end() {
    if (pos_ < end_ || eof_)
      return pos_ >= end_;
    fill();
    return pos_ >= end_;
  }
  /// Bytes not taken yet: those of the file as large as it was opened (or
  /// as it has been found since) after the last record taken.
  std::size_t remaining() const { return total_ - (base_ + pos_); }
  /// The next record; at the end of the file an "end of file" error that
  /// says `what` was expected.
  std::string_view next_record(std::string_view what);
  /// The next record's first n characters, padded with blanks to n.
  std::string read_text(std::size_t n, std::string_view what);
  void skip(std::string_view what);
  /// The next record without consuming it (CR dropped); empty at the end
  /// of the file, so look at at_end() first.
  std::string_view peek_record();
  /// Free-format read of `items`, starting on a new record and going on into
  /// the following records while values are missing.
  void read_list(std::span<const ReadItem> items);
  void read_list(std::initializer_list<ReadItem> items) {
    read_list(std::span<const ReadItem>(items.begin(), items.size()));
  }
  /// The next record read as plain reals (scan_plain_reals): true with
  /// the record consumed, false with nothing consumed, when the record has
  /// any other form (read_list then reads it with the same values).
  bool read_plain_reals(std::span<double> out) {
    if (pos_ >= lf_end_ && !eof_)
      fill_record();
    if (pos_ >= end_)
      return false;
    const char* const b = buf_.data();
    const char* const e = scan_plain_reals(b + pos_, b + end_, out);
    if (e == nullptr)
      return false;
    pos_ = static_cast<std::size_t>(e - b);
    ++line_;
    return true;
  }
  /// Free-format read from a text already read (the range acts as one
  /// record of the current line).
  void read_from(std::string_view text, std::span<const ReadItem> items);
  void read_from(std::string_view text, std::initializer_list<ReadItem> items) {
    read_from(text, std::span<const ReadItem>(items.begin(), items.size()));
  }

  /// Number of the last record consumed (1-based; 0 before the first).
  long line() const { return line_; }
  int unit() const { return unit_; }
  const std::string& name() const { return name_; }
  [[noreturn]] void fail(std::string kind, std::string detail) const;

 private:
  // Reads the next block of the file into the window, after moving the
  // bytes not taken yet to its front (and growing it when they fill it).
  void fill();
  // Reads on until the window holds the whole next record (an LF after
  // pos_) or the rest of the file.
  void fill_record() {
    while (pos_ >= lf_end_ && !eof_)
      fill();
  }
  // The next record's extent [pos_, end of record) and where the one after
  // it begins.
  std::string_view record_at(std::size_t& next);
  // Refuses a file whose first record (as read, line end included) shows
  // UTF-16 text.
  void refuse_utf16(std::string_view first_record) const;
  // A window of `cap` bytes holding the present one's.
  void resize_window(std::size_t cap);
  // Notes the last LF among the window's bytes from `from` on.
  void find_last_lf(std::size_t from);
  // The most bytes a record of this channel may hold (4 KiB in the control
  // file, 64 KiB in a table), and the report of one that holds more.
  std::size_t longest_record() const;
  [[noreturn]] void refuse_long_record() const;
  // True when the last longest_record() of the n bytes at b hold a CR;
  // true when every line of `rec` between its CRs is short enough.
  bool ends_line_lately(const char* b, std::size_t n) const;
  bool in_short_cr_lines(std::string_view rec) const;
  // For a report at the start of a file whose lines end in CR alone: what
  // is wrong with it; else empty.
  std::string line_end_note() const;

  int unit_;
  std::string name_;
  std::unique_ptr<platform::InputFile> file_;
  BigBlock buf_;            // the window
  std::size_t cap_ = 0;     // its size
  std::size_t pos_ = 0;     // the next record's start in the window
  std::size_t end_ = 0;     // bytes in the window
  std::size_t lf_end_ = 0;  // just after its last LF (0: none)
  std::size_t base_ = 0;    // offset in the file of the window's start
  std::size_t total_ = 0;   // the file's size as far as known
  bool eof_ = true;         // the window holds the end of the file
  long line_ = 0;
};

}  // namespace zereduv
