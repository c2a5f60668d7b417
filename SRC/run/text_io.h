// Text input and output of the run: list-directed and formatted writing,
// free-format and fixed-width reading, record (line) ends.
//
// List-directed layout of one output statement:
//   integer  12 characters, right-justified;
//   double   24 characters: fixed-point with 15 significant digits in the
//            first 19 characters and 5 blanks, when the value rounded to 15
//            digits lies in [0.1, 1e15); otherwise (and for any zero) the
//            exponent form d.dddddddddddddddE+ddd (16 digits) right-justified;
//   text     as it stands; one blank goes before a text that begins a line or
//            follows a number;
//   lines    at most 80 columns: a number that does not fit begins the next
//            line with no blank; a text that does not fit begins the next line
//            with its blank; a text longer than a line is split over lines,
//            each continuation line beginning with one blank.
//
// Free-format input grammar of one number (blanks and tabs separate items,
// or one comma with optional blanks around it):
//   number   := [+|-] digits [. [digits]] [exp]  |  [+|-] . digits [exp]
//   exp      := (E|e|D|d) [+|-] digits
// An integer item takes a number without point or exponent, within 32 bits.
// A number ends at the first character that cannot continue it; after the
// last item of a read anything may follow (the rest of the record is
// skipped), while any other item must be followed by a blank, a comma or the
// end of the record.  Null values, repeat counts (n*), quotes and a slash are
// errors, and so is a real that overflows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zereduv {

// ------------------------------------------------------------------------
// Number formatting (pure functions)

inline constexpr int kIntWidth = 12;
inline constexpr int kDoubleWidth = 24;
inline constexpr int kLineWidth = 80;

/// Writes the 24-character list-directed field of `v` at `out`; returns
/// out + 24.
char* put_d24(char* out, double v);
/// The same field built the slow, obvious way from std::to_chars; put_d24
/// must agree with it byte for byte (tests and benchmarks).
char* put_d24_reference(char* out, double v);
/// Writes the 12-character list-directed field of `v`; returns out + 12.
char* put_i12(char* out, int32_t v);
std::string d24(double v);
std::string i12(int32_t v);

/// Formatted edits.  All give exactly w characters (w asterisks when the
/// value does not fit).  An exact zero prints without a sign.
std::string edit_A(std::string_view text, int w);   // Aw: first w chars, padded
std::string edit_I(int64_t v, int w, int m = 1);    // Iw / Iw.m
std::string edit_F(double v, int w, int d);         // Fw.d, with leading 0
std::string edit_E(double v, int w, int d);         // Ew.d: 0.ddd E+dd
std::string edit_X(int n);                          // nX

// ------------------------------------------------------------------------
// List-directed statements

/// One item of a list-directed output statement.
struct ListItem {
  enum class Kind { Text, Int, Double };
  Kind kind;
  std::string_view text{};
  int32_t i = 0;
  double d = 0.0;

  ListItem(const char* s) : kind(Kind::Text), text(s) {}
  ListItem(std::string_view s) : kind(Kind::Text), text(s) {}
  ListItem(const std::string& s) : kind(Kind::Text), text(s) {}
  ListItem(int32_t v) : kind(Kind::Int), i(v) {}
  ListItem(double v) : kind(Kind::Double), d(v) {}
};

/// The lines (without line ends) that one list-directed statement writes.
std::vector<std::string> list_lines(std::span<const ListItem> items);

// ------------------------------------------------------------------------
// Output channels

enum class LineEnd { Lf, CrLf };

/// A sequential text output channel.  Until it is opened on a file or
/// attached to a descriptor it keeps its records in memory (so phases can be
/// run and checked without files).  Write failures raise IoError naming the
/// channel's unit and file.
class TextOut {
 public:
  TextOut(int unit, std::string name, LineEnd end);
  ~TextOut();
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  /// Creates or truncates the file and writes to it from now on.
  void open(const std::filesystem::path& path);
  /// Writes to an already open descriptor (standard output), flushing after
  /// every record.
  void attach_fd(int fd);

  /// One record holding exactly `line`.
  void record(std::string_view line);
  /// One list-directed output statement.
  void list(std::initializer_list<ListItem> items);
  void list(std::span<const ListItem> items);
  /// One list-directed output statement of doubles only, laid out straight
  /// into the buffer: the same records as list() with those items (three
  /// 24-character fields a line), without building the items (the field
  /// files' arrays).
  void list_doubles(std::span<const double> values);

  /// Writes the buffered records out now (nothing for a channel kept in
  /// memory); a write error is reported as for close().
  void flush();
  /// Writes the buffered records out and closes the file.
  void close();
  /// Close on an error path: writes out what it can, never throws.
  void close_quietly() noexcept;
  bool is_file() const { return fd_ >= 0 && owns_fd_; }

  /// Everything written while in memory (tests).
  const std::string& memory() const { return buf_; }
  int unit() const { return unit_; }
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }
  std::string_view line_end() const;

 private:
  [[noreturn]] void fail(const char* what, int err) const;

  int unit_;
  std::string name_;
  LineEnd end_;
  int fd_ = -1;
  bool owns_fd_ = false;
  bool flush_each_record_ = false;
  std::string buf_;
};

// ------------------------------------------------------------------------
// Free-format reading

/// One item of a free-format read: where the value goes and what it is, for
/// the error report.
struct ReadItem {
  enum class Kind { Int, Real };
  Kind kind;
  void* target;
  std::string_view name;
};
inline ReadItem int_item(int32_t& v, std::string_view name) {
  return {ReadItem::Kind::Int, &v, name};
}
inline ReadItem real_item(double& v, std::string_view name) {
  return {ReadItem::Kind::Real, &v, name};
}

/// Why a scan stopped.
enum class ScanErr {
  None,          // all items filled
  EndOfRecord,   // the record ended before all items were filled
  NotANumber,    // text where a number is expected
  BadEnd,        // a number is followed by something that cannot end it
  BadExponent,   // an exponent letter without its digits
  IntRange,      // integer outside 32 bits
  RealRange,     // real that overflows
  NotAnInteger,  // a point or exponent where an integer is expected
  NullValue,     // two separators with no value between them
  RepeatCount,   // n*value
  Slash,         // a slash ending the list
};
const char* scan_error_text(ScanErr e);

struct ScanResult {
  std::size_t pos;  // where the scan stopped
  ScanErr err;
};

/// Scans items[filled..] from `rec` starting at `pos`, advancing `filled`.
/// Stops with None once the last item is filled (the rest of the record is
/// not looked at), or with EndOfRecord when the record holds no more values,
/// or with the error found.
ScanResult scan_items(std::string_view rec, std::size_t pos,
                      std::span<const ReadItem> items, std::size_t& filled);

/// Scans one number at `pos` (no leading blanks): the position after it.
ScanResult scan_real(std::string_view s, std::size_t pos, double& out);
ScanResult scan_int(std::string_view s, std::size_t pos, int32_t& out);

/// The record at `p` read as `out.size()` reals when it has the plain form
/// the field tables write: each value a number the common path converts
/// (such as -1.234567E+00 or 0.587820), blanks alone before and between
/// them, and the line end (LF, CR LF, or the end of the text) right after
/// the last.  Returns the start of the next record, or nullptr for any
/// other record, which the general scanner must then read: every value it
/// gives is the one scan_items gives, bit for bit.
const char* scan_plain_reals(const char* p, const char* end, std::span<double> out);

/// A sequential text input channel over a whole file.  Records end at LF;
/// a CR right before the LF is dropped; a last line without LF is a record.
/// Every failure raises IoError naming the unit, the file and the line.
class TextIn {
 public:
  TextIn(int unit, std::string name);
  ~TextIn();
  TextIn(TextIn&& other) noexcept;
  TextIn& operator=(TextIn&& other) noexcept;
  TextIn(const TextIn&) = delete;
  TextIn& operator=(const TextIn&) = delete;

  /// Reads the whole file (which must exist).  A regular file is mapped
  /// into memory rather than copied (a field table runs to megabytes); it
  /// must not be cut short while it is open.
  void open(const std::filesystem::path& path);
  /// Reads from `content` instead of a file (tests).
  void open_memory(std::string content);
  void close();

  bool at_end() const { return pos_ >= text().size(); }
  /// The next record; at the end of the file an "end of file" error that
  /// says `what` was expected.
  std::string_view next_record(std::string_view what);
  /// The next record's first n characters, padded with blanks to n.
  std::string read_text(std::size_t n, std::string_view what);
  void skip(std::string_view what);
  /// The next record without consuming it (CR dropped); empty at the end
  /// of the file, so look at at_end() first.
  std::string_view peek_record() const;
  /// Free-format read of `items`, starting on a new record and going on into
  /// the following records while values are missing.
  void read_list(std::span<const ReadItem> items);
  void read_list(std::initializer_list<ReadItem> items) {
    read_list(std::span<const ReadItem>(items.begin(), items.size()));
  }
  /// The next record read as plain reals (scan_plain_reals): true with
  /// the record consumed, false with nothing consumed, when the record has
  /// any other form (read_list then reads it with the same values).
  bool read_plain_reals(std::span<double> out);
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
  /// The whole input: the mapped file, or the text held in data_.
  std::string_view text() const {
    return map_ != nullptr ? std::string_view(map_, map_size_) : std::string_view(data_);
  }
  void unmap() noexcept;

  int unit_;
  std::string name_;
  std::string data_;
  const char* map_ = nullptr;  // a regular file mapped read-only
  std::size_t map_size_ = 0;
  std::size_t pos_ = 0;
  long line_ = 0;
};

}  // namespace zereduv
