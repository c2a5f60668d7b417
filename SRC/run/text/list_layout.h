// The layout of list-directed output statements: where each item of a
// statement goes and where its lines end.  One engine for every channel:
// the log and the console (TextOut) and the text field files.
//
//   integer  12-character field (number_fields.h);
//   double   24-character field (fast_d24.h);
//   text     as it stands; one blank goes before a text that begins a line or
//            follows a number;
//   lines    at most 80 columns: a number that does not fit begins the next
//            line with no blank; a text that does not fit begins the next line
//            with its blank; a text longer than a line is split over lines,
//            each continuation line beginning with one blank.  A statement
//            with no items writes a line holding one blank.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"

namespace zereduv {

inline constexpr int kLineWidth = 80;

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

/// One list-directed output statement laid out onto `Out`, which gives room
/// for the characters of a line and ends lines:
///   char* room(std::size_t n);  // at least n (at most 80) bytes to fill
///   void advance(char* end);    // the bytes up to `end` are written
///   void end_line();            // the current line ends here
template <class Out>
class ListStatement {
 public:
  explicit ListStatement(Out& out) : out_(out) {}
  ListStatement(const ListStatement&) = delete;
  ListStatement& operator=(const ListStatement&) = delete;

  void real(double v) { out_.advance(put_d24(place(kDoubleWidth), v)); }
  void integer(int32_t v) { out_.advance(put_i12(place(kIntWidth), v)); }
  void reals(const double* v, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k)
      real(v[k]);
  }
  void text(std::string_view t) {
    const int sep = (col_ == 0 || after_number_) ? 1 : 0;
    after_number_ = false;
    any_ = true;
    if (col_ + sep + static_cast<int>(t.size()) <= kLineWidth) {
      put_text(sep, t);
      return;
    }
    // Does not fit the rest of this line: begin the next one with a blank.
    if (col_ > 0)
      new_line();
    // A text longer than a whole line is split; every piece begins a line
    // with one blank.
    constexpr std::size_t kRoom = kLineWidth - 1;
    while (t.size() > kRoom) {
      put_text(1, t.substr(0, kRoom));
      t.remove_prefix(kRoom);
      new_line();
    }
    put_text(1, t);
  }
  void item(const ListItem& it) {
    switch (it.kind) {
    case ListItem::Kind::Text:
      text(it.text);
      break;
    case ListItem::Kind::Int:
      integer(it.i);
      break;
    case ListItem::Kind::Double:
      real(it.d);
      break;
    }
  }
  void items(std::span<const ListItem> list) {
    for (const ListItem& it : list)
      item(it);
  }
  /// Ends the statement, and with it its last line.
  void end() {
    if (!any_)
      put_text(1, {});
    out_.end_line();
    col_ = 0;
    after_number_ = false;
    any_ = false;
  }

 private:
  char* place(int width) {
    if (col_ + width > kLineWidth)
      new_line();
    col_ += width;
    after_number_ = true;
    any_ = true;
    return out_.room(static_cast<std::size_t>(width));
  }
  void put_text(int sep, std::string_view t) {
    char* p = out_.room(static_cast<std::size_t>(sep) + t.size());
    if (sep > 0)
      *p++ = ' ';
    if (!t.empty())
      std::memcpy(p, t.data(), t.size());
    out_.advance(p + t.size());
    col_ += sep + static_cast<int>(t.size());
  }
  void new_line() {
    out_.end_line();
    col_ = 0;
  }

  Out& out_;
  int col_ = 0;
  bool after_number_ = false;
  bool any_ = false;
};

}  // namespace zereduv
