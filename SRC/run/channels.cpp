#include "run/channels.h"

#include <cstring>
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

TextIn::TextIn(int unit, std::string name)
    : unit_(unit), name_(std::move(name)) {}

void TextIn::open(const std::filesystem::path& path) {
  platform::InputFile file;
  if (const platform::FileError e = file.open(path))
    fail(e.kind, e.reason);
  close();
  line_ = 0;
  try {
    if (const platform::FileError e = file.read_all(bytes_))
      fail(e.kind, e.reason);
  } catch (const std::bad_alloc&) {
    fail("out of memory", "while reading the file (" +
                              std::to_string(file.size()) +
                              " bytes) into memory");
  }
  size_ = bytes_.size;
}

void TextIn::open_memory(std::string_view content) {
  close();
  line_ = 0;
  bytes_.data = BigBlock(content.size());
  if (!content.empty())
    std::memcpy(bytes_.data.data(), content.data(), content.size());
  bytes_.size = content.size();
  size_ = content.size();
}

void TextIn::close() {
  bytes_ = {};
  size_ = 0;
  pos_ = 0;
}

std::string_view TextIn::next_record(std::string_view what) {
  const std::string_view all = text();
  if (pos_ >= all.size())
    fail("end of file", "expected " + std::string(what));
  const std::size_t nl = all.find('\n', pos_);
  const std::size_t end = nl == std::string_view::npos ? all.size() : nl;
  std::string_view rec(all.data() + pos_, end - pos_);
  if (!rec.empty() && rec.back() == '\r')
    rec.remove_suffix(1);
  pos_ = nl == std::string_view::npos ? all.size() : nl + 1;
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

std::string_view TextIn::peek_record() const {
  const std::string_view all = text();
  if (pos_ >= all.size())
    return {};
  const std::size_t nl = all.find('\n', pos_);
  const std::size_t end = nl == std::string_view::npos ? all.size() : nl;
  std::string_view rec(all.data() + pos_, end - pos_);
  if (!rec.empty() && rec.back() == '\r')
    rec.remove_suffix(1);
  return rec;
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

bool TextIn::read_plain_reals(std::span<double> out) {
  const std::string_view all = text();
  const char* const b = all.data();
  const char* const e = scan_plain_reals(b + pos_, b + all.size(), out);
  if (e == nullptr || pos_ >= all.size())
    return false;
  pos_ = static_cast<std::size_t>(e - b);
  ++line_;
  return true;
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

void TextIn::fail(std::string kind, std::string detail) const {
  throw IoError(unit_, name_, std::move(kind), std::move(detail), line_);
}

}  // namespace zereduv
