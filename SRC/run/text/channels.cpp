#include "run/text/channels.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "run/errors.h"

namespace zereduv {

// ------------------------------------------------------------------------
// Output channels

TextOut::TextOut(int unit, std::string name, LineEnd end)
    : unit_(unit), name_(std::move(name)), end_(end) {}

TextOut::~TextOut() {
  close_quietly();
}

std::string_view TextOut::line_end() const {
  switch (end_) {
  case LineEnd::CrLf:
    return "\r\n";
  case LineEnd::Console:
    return platform::console_line_end();
  case LineEnd::Lf:
    break;
  }
  return "\n";
}

void TextOut::open(const std::filesystem::path& path) {
  if (const platform::FileError e = file_.create(path))
    fail(e);
  flush_each_record_ = false;
  buf_.clear();
}

void TextOut::attach_standard_output() {
  file_.attach_standard_output();
  flush_each_record_ = true;
  buf_.clear();
}

void TextOut::attach_standard_error() {
  file_.attach_standard_error();
  flush_each_record_ = true;
  buf_.clear();
}

void TextOut::end_line() {
  buf_.append(line_end());
  if (file_.is_open() && (flush_each_record_ || buf_.size() >= (1u << 16)))
    flush();
}

void TextOut::record(std::string_view line) {
  buf_.append(line);
  end_line();
}

void TextOut::list(std::initializer_list<ListItem> items) {
  list(std::span<const ListItem>(items.begin(), items.size()));
}

void TextOut::list(std::span<const ListItem> items) {
  ListStatement<TextOut> st(*this);
  st.items(items);
  st.end();
}

void TextOut::flush() {
  // An unopened channel keeps its records in memory.
  if (!file_.is_open())
    return;
  std::size_t done = 0;
  const platform::FileError e = file_.write(buf_.data(), buf_.size(), done);
  buf_.erase(0, done);
  if (e)
    fail(e);
}

void TextOut::close() {
  if (!file_.is_open())
    return;
  flush();
  if (const platform::FileError e = file_.close())
    fail(e);
}

void TextOut::close_quietly() noexcept {
  file_.close_quietly(buf_.data(), buf_.size());
  buf_.clear();
}

void TextOut::fail(const platform::FileError& e) const {
  throw IoError(unit_, name_, e.kind, e.reason);
}

// ------------------------------------------------------------------------
// Input channels

// The window a file is read through: large enough that a table's records
// come in a few hundred reads, small enough to stay in the processor's
// cache while they are parsed.
constexpr std::size_t kWindowBytes = std::size_t{1} << 18;

TextIn::TextIn(int unit, std::string name)
    : unit_(unit), name_(std::move(name)) {}

TextIn::~TextIn() = default;
TextIn::TextIn(TextIn&&) noexcept = default;

void TextIn::open(const std::filesystem::path& path) {
  auto file = std::make_unique<platform::InputFile>();
  if (const platform::FileError e = file->open(path))
    fail(e.kind, e.reason);
  close();
  line_ = 0;
  const std::uint64_t size = file->size();
  if (size >= SIZE_MAX)
    fail("out of memory", "the file is larger than the address space");
  total_ = static_cast<std::size_t>(size);
  // A small file fits the window whole, its end included.
  cap_ = total_ < kWindowBytes ? std::max<std::size_t>(total_ + 1, 64)
                               : kWindowBytes;
  buf_ = BigBlock(cap_);
  file_ = std::move(file);
  eof_ = false;
}

void TextIn::open_memory(std::string_view content) {
  close();
  line_ = 0;
  cap_ = content.size() + 1;
  buf_ = BigBlock(cap_);
  if (!content.empty())
    std::memcpy(buf_.data(), content.data(), content.size());
  end_ = content.size();
  total_ = content.size();
  find_last_lf(0);
}

void TextIn::resize_window(std::size_t cap) {
  BigBlock bigger(cap);
  std::memcpy(bigger.data(), buf_.data(), end_);
  buf_ = std::move(bigger);
  cap_ = cap;
}

void TextIn::find_last_lf(std::size_t from) {
  const char* const b = buf_.data();
  for (const char* p = b + end_; p > b + from;) {
    if (*--p == '\n') {
      lf_end_ = static_cast<std::size_t>(p - b) + 1;
      return;
    }
  }
}

void TextIn::close() {
  file_.reset();
  buf_ = {};
  cap_ = 0;
  pos_ = end_ = lf_end_ = base_ = total_ = 0;
  eof_ = true;
}

bool TextIn::ends_line_lately(const char* b, std::size_t n) const {
  const std::size_t tail = std::min(n, longest_record());
  return std::memchr(b + n - tail, '\r', tail) != nullptr;
}

bool TextIn::in_short_cr_lines(std::string_view rec) const {
  for (std::size_t from = 0;;) {
    const std::size_t cr = rec.find('\r', from);
    const std::size_t end = cr == std::string_view::npos ? rec.size() : cr;
    if (end - from > longest_record())
      return false;
    if (cr == std::string_view::npos)
      return true;
    from = cr + 1;
  }
}

std::size_t TextIn::longest_record() const {
  // Far longer than any real record: a control record holds at most a few
  // values and an 80-character name, a table's record a few numbers.
  return unit_ == 1 ? std::size_t{4} << 10 : std::size_t{64} << 10;
}

void TextIn::refuse_long_record() const {
  std::string detail = "a line longer than " +
                       std::to_string(longest_record()) +
                       " bytes, far longer than any real one";
  const std::string note = line_end_note();
  detail += note.empty() ? "; is this the right file?" : note;
  throw IoError(unit_, name_, "line too long", detail, line_ + 1);
}

std::string TextIn::line_end_note() const {
  // Only while the window holds the file from its start: a file whose
  // lines end in CR alone (an old Macintosh text) reads as one line.
  if (base_ != 0 || end_ == 0)
    return {};
  const char* const b = buf_.data();
  if (std::memchr(b, '\n', end_) != nullptr ||
      std::memchr(b, '\r', end_) == nullptr)
    return {};
  return "; the file has no LF line ends (its lines end in CR alone): save "
         "it with LF or CR LF line ends";
}

void TextIn::fill() {
  // The bytes not taken yet go to the window's front.
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    base_ += pos_;
    end_ -= pos_;
    lf_end_ = lf_end_ > pos_ ? lf_end_ - pos_ : 0;
    pos_ = 0;
  }
  // A record with no end in sight: refused before the window grows for it,
  // so memory stays bounded whatever the file holds.  Older T7 tables end
  // their lines in CR alone, which makes the whole table one record: there
  // the lines between the CRs are what must stay short.
  if (lf_end_ == 0 && end_ > longest_record() &&
      !ends_line_lately(buf_.data(), end_))
    refuse_long_record();
  // A record longer than the window: a larger one.
  if (end_ == cap_) {
    try {
      resize_window(2 * cap_);
    } catch (const std::bad_alloc&) {
      fail("out of memory",
           "for a record longer than " + std::to_string(end_) + " bytes");
    }
  }
  std::size_t got = 0;
  if (const platform::FileError e =
          file_->read_some(buf_.data() + end_, cap_ - end_, got))
    fail(e.kind, e.reason);
  if (got == 0) {
    eof_ = true;
    const std::size_t have = base_ + end_;
    if (have < total_) {
      const platform::FileError e = file_->cut_short(have);
      fail(e.kind, e.reason);
    }
    file_.reset();
    return;
  }
  const std::size_t fresh = end_;
  end_ += got;
  total_ = std::max(total_, base_ + end_);  // a file that grew meanwhile
  find_last_lf(fresh);
}

std::string_view TextIn::record_at(std::size_t& next) {
  fill_record();
  const char* const b = buf_.data();
  const void* nl =
      pos_ < end_ ? std::memchr(b + pos_, '\n', end_ - pos_) : nullptr;
  const std::size_t end =
      nl == nullptr
          ? end_
          : static_cast<std::size_t>(static_cast<const char*>(nl) - b);
  if (base_ + pos_ == 0)
    refuse_utf16(std::string_view(b, end));
  std::string_view rec(b + pos_, end - pos_);
  if (rec.size() > longest_record() && !in_short_cr_lines(rec))
    refuse_long_record();
  if (!rec.empty() && rec.back() == '\r')
    rec.remove_suffix(1);
  next = nl == nullptr ? end_ : end + 1;
  return rec;
}

std::string_view TextIn::next_record(std::string_view what) {
  if (at_end())
    fail("end of file", "expected " + std::string(what) + line_end_note());
  std::size_t next = 0;
  const std::string_view rec = record_at(next);
  pos_ = next;
  ++line_;
  return rec;
}

std::string TextIn::read_text(std::size_t n, std::string_view what) {
  std::string_view rec = next_record(what);
  std::string out(rec.substr(0, n));
  out.resize(n, ' ');
  return out;
}

void TextIn::skip(std::string_view what) {
  next_record(what);
}

std::string_view TextIn::peek_record() {
  if (at_end())
    return {};
  std::size_t next = 0;
  return record_at(next);
}

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::string describe(const ReadItem& item) {
  std::string d =
      item.kind == ReadItem::Kind::Int ? "an integer" : "a real number";
  if (!item.name.empty())
    d += " (" + std::string(item.name) + ")";
  return d;
}

// The text found where a value was expected, for the error report: up to
// 24 characters, or for text glued to a number all of it.
std::string found_text(std::string_view rec, ScanResult r) {
  const std::size_t pos = r.pos;
  const std::size_t most = r.err == ScanErr::GluedText ? rec.size() : 24;
  std::size_t end = pos;
  while (end < rec.size() && end - pos < most && !is_blank(rec[end]) &&
         rec[end] != ',')
    ++end;
  std::string t(rec.substr(pos, end - pos));
  for (char& ch : t)
    if (static_cast<unsigned char>(ch) < 32 ||
        static_cast<unsigned char>(ch) > 126)
      ch = '?';
  return t;
}

}  // namespace

void TextIn::read_list(std::span<const ReadItem> items) {
  std::size_t filled = 0;
  if (items.empty())
    return;
  // The description of the awaited item is only built for an error report:
  // this runs once per node record of the field table.
  if (at_end())
    next_record(describe(items[0]));
  std::string_view rec = next_record({});
  std::size_t pos = 0;
  for (;;) {
    const ScanResult r = scan_items(rec, pos, items, filled);
    if (r.err == ScanErr::None)
      return;
    if (r.err == ScanErr::EndOfRecord) {
      if (at_end())
        next_record(describe(items[filled]));
      rec = next_record({});
      pos = 0;
      continue;
    }
    fail(scan_error_text(r.err), "expected " + describe(items[filled]) +
                                     ", found \"" + found_text(rec, r) + "\"");
  }
}

void TextIn::read_from(std::string_view text, std::span<const ReadItem> items) {
  std::size_t filled = 0;
  const ScanResult r = scan_items(text, 0, items, filled);
  if (r.err == ScanErr::None)
    return;
  if (r.err == ScanErr::EndOfRecord)
    fail("end of record", "expected " + describe(items[filled]));
  fail(scan_error_text(r.err), "expected " + describe(items[filled]) +
                                   ", found \"" + found_text(text, r) + "\"");
}

// Text saved as UTF-16 (Windows editors' "Unicode") starts with its byte
// order mark, or has a NUL beside every ASCII character: read as bytes, its
// numbers and names would be garbage, so it is refused whole, saying how to
// save it instead.
void TextIn::refuse_utf16(std::string_view first_record) const {
  const bool bom = first_record.starts_with("\xFF\xFE") ||
                   first_record.starts_with("\xFE\xFF");
  if (bom || first_record.find('\0') != std::string_view::npos) {
    fail("UTF-16 text",
         "the file is saved as UTF-16 (\"Unicode\"), which zereduv does not "
         "read: save it as UTF-8 or ANSI text (in Notepad: Save As, "
         "Encoding UTF-8)");
  }
}

void TextIn::fail(std::string kind, std::string detail) const {
  throw IoError(unit_, name_, std::move(kind), std::move(detail), line_);
}

}  // namespace zereduv
