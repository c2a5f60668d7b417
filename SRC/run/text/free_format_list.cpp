// The list side of the free-format scanner (free_format.h): the items of a
// read taken in turn from a record, the separators between them, and the
// words for what stopped a scan.  The numbers themselves are scanned in
// free_format.cpp.
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "run/text/free_format.h"

namespace zereduv {

const char* scan_error_text(ScanErr e) {
  switch (e) {
  case ScanErr::None:
    return "no error";
  case ScanErr::EndOfRecord:
    return "end of record";
  case ScanErr::NotANumber:
    return "text where a number is expected";
  case ScanErr::BadEnd:
    return "a number followed by text";
  case ScanErr::GluedText:
    return "text glued to a number";
  case ScanErr::BadExponent:
    return "exponent letter without digits";
  case ScanErr::IntRange:
    return "integer outside the 32-bit range";
  case ScanErr::RealRange:
    return "real number too large";
  case ScanErr::NotAnInteger:
    return "real number where an integer is expected";
  case ScanErr::NullValue:
    return "empty value between separators";
  case ScanErr::RepeatCount:
    return "repeat counts are not supported";
  case ScanErr::Slash:
    return "a slash where a number is expected";
  }
  return "error";
}

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// What may follow the last item of a read right after its last character.
bool ends_last_item(char c) {
  return is_blank(c) || c == ',' || c == ')';
}

// The first position at or after pos that holds no blank; eight columns at
// a time where the record has them.
std::size_t skip_blanks(std::string_view rec, std::size_t pos) {
  const char* const b = rec.data();
  const std::size_t n = rec.size();
  while (n - pos >= 8) {
    uint64_t chunk;
    std::memcpy(&chunk, b + pos, 8);
    const uint64_t x = chunk ^ 0x2020202020202020ull;
    if (x == 0) {
      pos += 8;
      continue;
    }
    pos += static_cast<std::size_t>(std::countr_zero(x) / 8);
    if (b[pos] != '\t')
      return pos;
    ++pos;
  }
  while (pos < n && is_blank(b[pos]))
    ++pos;
  return pos;
}

}  // namespace

ScanResult scan_items(std::string_view rec, std::size_t pos,
                      std::span<const ReadItem> items, std::size_t& filled) {
  const std::size_t n = rec.size();
  bool after_value = false;
  while (filled < items.size()) {
    pos = skip_blanks(rec, pos);
    if (pos >= n)
      return {pos, ScanErr::EndOfRecord};
    const ReadItem& item = items[filled];
    if (item.kind == ReadItem::Kind::Real) {
      // A plain number followed by a blank or the end of the record, as in
      // every node record; anything else is scanned again below.
      const char* const b = rec.data();
      const char* const e =
          scan_plain_real(b + pos, b + n, *static_cast<double*>(item.target));
      if (e != nullptr) {
        const auto after = static_cast<std::size_t>(e - b);
        if (after >= n || rec[after] == ' ' ||
            (filled + 1 == items.size() && ends_last_item(rec[after]))) {
          pos = after;
          after_value = true;
          if (++filled == items.size())
            break;
          continue;
        }
      }
    }
    const char c = rec[pos];
    if (c == ',') {
      if (!after_value)
        return {pos, ScanErr::NullValue};
      after_value = false;
      ++pos;
      continue;
    }
    if (c == '/')
      return {pos, ScanErr::Slash};
    ScanResult r{};
    if (item.kind == ReadItem::Kind::Int)
      r = scan_int(rec, pos, *static_cast<int32_t*>(item.target));
    else
      r = scan_real(rec, pos, *static_cast<double*>(item.target));
    if (r.err != ScanErr::None)
      return r;
    if (r.pos < n && rec[r.pos] == '*')
      return {pos, ScanErr::RepeatCount};
    // A number glued to text before the last item: the item at fault is
    // this one, and the report shows its whole text from its first column.
    if (filled + 1 < items.size() && r.pos < n && !is_blank(rec[r.pos]) &&
        rec[r.pos] != ',')
      return {pos, ScanErr::BadEnd};
    // Text glued to the last item: the report shows all of it.
    if (filled + 1 == items.size() && r.pos < n && !ends_last_item(rec[r.pos]))
      return {pos, ScanErr::GluedText};
    ++filled;
    pos = r.pos;
    after_value = true;
    if (filled == items.size())
      break;
  }
  return {pos, ScanErr::None};
}

}  // namespace zereduv
