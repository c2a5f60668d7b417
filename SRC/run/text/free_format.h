// The free-format scanner: the numbers of one record (or of a character
// range of one) read into a list of items.  Pure: it sees the record's text
// only; the input channel (channels.h) feeds it record after record.
//
// Grammar of one number (blanks and tabs separate items, or one comma with
// optional blanks around it):
//   number   := [+|-] digits [. [digits]] [exp]  |  [+|-] . digits [exp]
//   exp      := (E|e|D|d) [+|-] digits
// An integer item takes a number without point or exponent, within 32 bits.
// A number ends at the first character that cannot continue it.  The last
// item of a read must be followed directly by a blank, a tab, a comma, ")"
// (the limits records of the field tables close a bracket right after their
// second value) or the end of the record; the rest of the record is then
// skipped.  Any other item must be followed by a blank, a tab, a comma or
// the end of the record.  Text glued to a number (10cm, 1.3GHz, 2..5,
// 0x1p3) is an error, so is a null value, a repeat count (n*), a quote or a
// slash, and so is a real that overflows.
//
// Rounding: a real is the double nearest to the decimal number written
// (ties to even), however many digits it has; one too small for a normal
// double may read as a zero of its sign.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zereduv {

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
  GluedText,     // the last number is followed by text glued to it
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

/// The number at p when it has the common form the quick path converts (at
/// most 19 digits, an exact power of ten): the end of it, with its value in
/// `out`; nullptr for any other number or text, which scan_real decides.
const char* scan_plain_real(const char* p, const char* end, double& out);

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
const char* scan_plain_reals(const char* p, const char* end,
                             std::span<double> out);

}  // namespace zereduv
