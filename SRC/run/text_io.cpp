#include "run/text_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

#include "run/errors.h"

namespace zereduv {

// ------------------------------------------------------------------------
// Number formatting

namespace {

constexpr char kZero24[] = "  0.000000000000000E+000";
static_assert(sizeof(kZero24) == kDoubleWidth + 1);

// Decimal digits and exponent of |v| rounded to `ndigits` significant digits
// (correctly rounded, ties to even on the exact binary value).
struct Digits {
  char d[24];  // ndigits digits, no point
  int exp10;   // v = d.ddd x 10^exp10
};

Digits round_digits(double v, int ndigits) {
  char buf[40];
  const auto res = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v,
                                 std::chars_format::scientific, ndigits - 1);
  Digits out{};
  const char* p = buf;
  out.d[0] = *p++;
  int n = 1;
  if (*p == '.') {
    ++p;
    while (*p != 'e') out.d[n++] = *p++;
  }
  ++p;  // 'e'
  int e = 0;
  std::from_chars(*p == '+' ? p + 1 : p, res.ptr, e);
  out.exp10 = e;
  return out;
}

char* put_blanks(char* out, int n) {
  std::memset(out, ' ', static_cast<std::size_t>(n));
  return out + n;
}

}  // namespace

char* put_d24(char* out, double v) {
  if (v == 0.0) {
    std::memcpy(out, kZero24, kDoubleWidth);
    return out + kDoubleWidth;
  }
  const bool neg = std::signbit(v);
  const Digits r15 = round_digits(v, 15);
  if (r15.exp10 >= -1 && r15.exp10 <= 14) {
    // Fixed-point form: 15 significant digits, right-justified in 19 columns,
    // then 5 blanks.
    char field[20];
    int n = 0;
    if (neg) field[n++] = '-';
    if (r15.exp10 == -1) {
      field[n++] = '0';
      field[n++] = '.';
      std::memcpy(field + n, r15.d, 15);
      n += 15;
    } else {
      const int before = r15.exp10 + 1;
      std::memcpy(field + n, r15.d, static_cast<std::size_t>(before));
      n += before;
      field[n++] = '.';
      std::memcpy(field + n, r15.d + before, static_cast<std::size_t>(15 - before));
      n += 15 - before;
    }
    out = put_blanks(out, 19 - n);
    std::memcpy(out, field, static_cast<std::size_t>(n));
    out += n;
    return put_blanks(out, 5);
  }
  // Exponent form: 16 significant digits and a three-digit exponent.
  const Digits r16 = round_digits(v, 16);
  char field[24];
  int n = 0;
  if (neg) field[n++] = '-';
  field[n++] = r16.d[0];
  field[n++] = '.';
  std::memcpy(field + n, r16.d + 1, 15);
  n += 15;
  field[n++] = 'E';
  int e = r16.exp10;
  field[n++] = e < 0 ? '-' : '+';
  if (e < 0) e = -e;
  field[n++] = static_cast<char>('0' + e / 100);
  field[n++] = static_cast<char>('0' + (e / 10) % 10);
  field[n++] = static_cast<char>('0' + e % 10);
  out = put_blanks(out, kDoubleWidth - n);
  std::memcpy(out, field, static_cast<std::size_t>(n));
  return out + n;
}

char* put_i12(char* out, int32_t v) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  const int n = static_cast<int>(res.ptr - buf);
  out = put_blanks(out, kIntWidth - n);
  std::memcpy(out, buf, static_cast<std::size_t>(n));
  return out + n;
}

std::string d24(double v) {
  std::string s(kDoubleWidth, ' ');
  put_d24(s.data(), v);
  return s;
}

std::string i12(int32_t v) {
  std::string s(kIntWidth, ' ');
  put_i12(s.data(), v);
  return s;
}

namespace {

std::string right_justify(const std::string& s, int w) {
  if (static_cast<int>(s.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

}  // namespace

std::string edit_A(std::string_view text, int w) {
  const auto uw = static_cast<std::size_t>(w);
  if (text.size() >= uw) return std::string(text.substr(0, uw));
  return std::string(uw - text.size(), ' ') + std::string(text);
}

std::string edit_I(int64_t v, int w, int m) {
  const uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  std::string digits = std::to_string(mag);
  if (static_cast<int>(digits.size()) < m)
    digits.insert(0, static_cast<std::size_t>(m) - digits.size(), '0');
  if (v < 0) digits.insert(0, 1, '-');
  return right_justify(digits, w);
}

std::string edit_F(double v, int w, int d) {
  if (v == 0.0) v = 0.0;  // an exact zero carries no sign
  if (!std::isfinite(v)) return std::string(static_cast<std::size_t>(w), '*');
  char buf[400];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, d);
  if (res.ec != std::errc()) return std::string(static_cast<std::size_t>(w), '*');
  std::string s(buf, res.ptr);
  if (d == 0) s += '.';  // F edits always show the point
  return right_justify(s, w);
}

std::string edit_E(double v, int w, int d) {
  if (!std::isfinite(v) || d < 1) return std::string(static_cast<std::size_t>(w), '*');
  std::string s;
  int e = 0;
  if (v == 0.0) {
    s = "0." + std::string(static_cast<std::size_t>(d), '0');
  } else {
    const Digits r = round_digits(v, d);
    if (std::signbit(v)) s += '-';
    s += "0.";
    s.append(r.d, static_cast<std::size_t>(d));
    e = r.exp10 + 1;  // mantissa 0.ddd in [0.1, 1)
  }
  const int ae = e < 0 ? -e : e;
  if (ae <= 99) {
    s += 'E';
    s += e < 0 ? '-' : '+';
    s += static_cast<char>('0' + ae / 10);
    s += static_cast<char>('0' + ae % 10);
  } else {
    // A three-digit exponent takes the place of the letter.
    s += e < 0 ? '-' : '+';
    s += std::to_string(ae);
  }
  return right_justify(s, w);
}

std::string edit_X(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// ------------------------------------------------------------------------
// List-directed statements

std::vector<std::string> list_lines(std::span<const ListItem> items) {
  std::vector<std::string> lines;
  std::string cur;
  bool after_number = false;
  for (const ListItem& it : items) {
    if (it.kind != ListItem::Kind::Text) {
      const int width = it.kind == ListItem::Kind::Int ? kIntWidth : kDoubleWidth;
      if (kLineWidth - static_cast<int>(cur.size()) < width) {
        lines.push_back(std::move(cur));
        cur.clear();
      }
      const std::size_t at = cur.size();
      cur.resize(at + static_cast<std::size_t>(width));
      if (it.kind == ListItem::Kind::Int)
        put_i12(cur.data() + at, it.i);
      else
        put_d24(cur.data() + at, it.d);
      after_number = true;
      continue;
    }
    std::string_view t = it.text;
    const std::size_t sep = (cur.empty() || after_number) ? 1 : 0;
    after_number = false;
    if (cur.size() + sep + t.size() <= static_cast<std::size_t>(kLineWidth)) {
      cur.append(sep, ' ');
      cur.append(t);
      continue;
    }
    // Does not fit the rest of this line: begin the next one with a blank.
    if (!cur.empty()) {
      lines.push_back(std::move(cur));
      cur.clear();
    }
    cur.assign(1, ' ');
    // A text longer than a whole line is split; every piece begins a line
    // with one blank.
    while (1 + t.size() > static_cast<std::size_t>(kLineWidth)) {
      const std::size_t room = static_cast<std::size_t>(kLineWidth) - 1;
      cur.append(t.substr(0, room));
      t.remove_prefix(room);
      lines.push_back(cur);
      cur.assign(1, ' ');
    }
    cur.append(t);
  }
  if (!cur.empty() || lines.empty()) lines.push_back(cur.empty() ? " " : cur);
  return lines;
}

// ------------------------------------------------------------------------
// Output channels

TextOut::TextOut(int unit, std::string name, LineEnd end)
    : unit_(unit), name_(std::move(name)), end_(end) {}

TextOut::~TextOut() { close_quietly(); }

std::string_view TextOut::line_end() const {
  return end_ == LineEnd::CrLf ? std::string_view("\r\n") : std::string_view("\n");
}

void TextOut::open(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail("cannot create file", errno);
  fd_ = fd;
  owns_fd_ = true;
  flush_each_record_ = false;
  buf_.clear();
}

void TextOut::attach_fd(int fd) {
  fd_ = fd;
  owns_fd_ = false;
  flush_each_record_ = true;
  buf_.clear();
}

void TextOut::record(std::string_view line) {
  buf_.append(line);
  buf_.append(line_end());
  if (fd_ >= 0 && (flush_each_record_ || buf_.size() >= (1u << 16))) flush();
}

void TextOut::list(std::initializer_list<ListItem> items) {
  list(std::span<const ListItem>(items.begin(), items.size()));
}

void TextOut::list(std::span<const ListItem> items) {
  for (const std::string& line : list_lines(items)) record(line);
}

void TextOut::flush() {
  std::size_t done = 0;
  while (done < buf_.size()) {
    const ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      buf_.erase(0, done);
      fail("write error", err);
    }
    done += static_cast<std::size_t>(n);
  }
  buf_.clear();
}

void TextOut::close() {
  if (fd_ < 0) return;
  flush();
  if (owns_fd_) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("write error", errno);
  }
  fd_ = -1;
}

void TextOut::close_quietly() noexcept {
  if (fd_ < 0) return;
  std::size_t done = 0;
  while (done < buf_.size()) {
    const ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  buf_.clear();
  if (owns_fd_) ::close(fd_);
  fd_ = -1;
}

void TextOut::fail(const char* what, int err) const {
  throw IoError(unit_, name_, what, std::strerror(err));
}

// ------------------------------------------------------------------------
// Free-format reading

const char* scan_error_text(ScanErr e) {
  switch (e) {
    case ScanErr::None: return "no error";
    case ScanErr::EndOfRecord: return "end of record";
    case ScanErr::NotANumber: return "text where a number is expected";
    case ScanErr::BadEnd: return "a number followed by text";
    case ScanErr::BadExponent: return "exponent letter without digits";
    case ScanErr::IntRange: return "integer outside the 32-bit range";
    case ScanErr::RealRange: return "real number too large";
    case ScanErr::NotAnInteger: return "real number where an integer is expected";
    case ScanErr::NullValue: return "empty value between separators";
    case ScanErr::RepeatCount: return "repeat counts are not supported";
    case ScanErr::Slash: return "a slash where a number is expected";
  }
  return "error";
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_exp_letter(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

}  // namespace

ScanResult scan_int(std::string_view s, std::size_t pos, int32_t& out) {
  const std::size_t n = s.size();
  std::size_t p = pos;
  bool neg = false;
  if (p < n && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
  if (p >= n || !is_digit(s[p])) {
    // ".5" and the like are reals, not text.
    if (p < n && s[p] == '.' && p + 1 < n && is_digit(s[p + 1]))
      return {pos, ScanErr::NotAnInteger};
    return {pos, ScanErr::NotANumber};
  }
  int64_t mag = 0;
  bool too_big = false;
  while (p < n && is_digit(s[p])) {
    if (!too_big) {
      mag = mag * 10 + (s[p] - '0');
      if (mag > int64_t{1} << 31) too_big = true;
    }
    ++p;
  }
  if (p < n && (s[p] == '.' || is_exp_letter(s[p])))
    return {pos, ScanErr::NotAnInteger};
  const int64_t v = neg ? -mag : mag;
  if (too_big || v > std::numeric_limits<int32_t>::max() ||
      v < std::numeric_limits<int32_t>::min())
    return {pos, ScanErr::IntRange};
  out = static_cast<int32_t>(v);
  return {p, ScanErr::None};
}

ScanResult scan_real(std::string_view s, std::size_t pos, double& out) {
  const std::size_t n = s.size();
  std::size_t p = pos;
  bool neg = false;
  if (p < n && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
  const std::size_t mant_begin = p;
  std::size_t int_digits = 0, frac_digits = 0;
  while (p < n && is_digit(s[p])) ++p, ++int_digits;
  std::size_t mant_end = p;
  if (p < n && s[p] == '.') {
    ++p;
    while (p < n && is_digit(s[p])) ++p, ++frac_digits;
    mant_end = p;
  }
  if (int_digits + frac_digits == 0) return {pos, ScanErr::NotANumber};
  // Decimal exponent, saturated so that absurd exponents cannot overflow.
  long long exp = 0;
  bool has_exp = false;
  if (p < n && is_exp_letter(s[p])) {
    std::size_t q = p + 1;
    bool eneg = false;
    if (q < n && (s[q] == '+' || s[q] == '-')) eneg = s[q++] == '-';
    if (q >= n || !is_digit(s[q])) return {p, ScanErr::BadExponent};
    while (q < n && is_digit(s[q])) {
      if (exp < 100000) exp = exp * 10 + (s[q] - '0');
      ++q;
    }
    if (eneg) exp = -exp;
    has_exp = true;
    p = q;
  }
  // The mantissa with its point, and the exponent written with 'e', in the
  // form from_chars takes.
  char small[128];
  std::string big;
  const std::size_t mant_len = mant_end - mant_begin;
  char* buf = small;
  if (mant_len + 16 > sizeof small) {
    big.resize(mant_len + 16);
    buf = big.data();
  }
  std::size_t len = 0;
  if (neg) buf[len++] = '-';
  std::memcpy(buf + len, s.data() + mant_begin, mant_len);
  len += mant_len;
  if (has_exp) {
    buf[len++] = 'e';
    const auto r = std::to_chars(buf + len, buf + len + 12, exp);
    len = static_cast<std::size_t>(r.ptr - buf);
  }
  double v = 0.0;
  const auto r = std::from_chars(buf, buf + len, v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow or underflow: which one follows from the decimal exponent of
    // the leading significant digit.
    long long lead = -1;
    std::size_t k = mant_begin;
    long long place = static_cast<long long>(int_digits) - 1;
    for (; k < mant_end; ++k) {
      if (s[k] == '.') continue;
      if (s[k] != '0') {
        lead = place;
        break;
      }
      --place;
    }
    if (lead + exp > 0) return {pos, ScanErr::RealRange};
    v = neg ? -0.0 : 0.0;
  } else if (r.ec != std::errc() || r.ptr != buf + len) {
    return {pos, ScanErr::NotANumber};
  }
  out = v;
  return {p, ScanErr::None};
}

ScanResult scan_items(std::string_view rec, std::size_t pos,
                      std::span<const ReadItem> items, std::size_t& filled) {
  const std::size_t n = rec.size();
  bool after_value = false;
  while (filled < items.size()) {
    while (pos < n && is_blank(rec[pos])) ++pos;
    if (pos >= n) return {pos, ScanErr::EndOfRecord};
    const char c = rec[pos];
    if (c == ',') {
      if (!after_value) return {pos, ScanErr::NullValue};
      after_value = false;
      ++pos;
      continue;
    }
    if (c == '/') return {pos, ScanErr::Slash};
    const ReadItem& item = items[filled];
    ScanResult r{};
    if (item.kind == ReadItem::Kind::Int)
      r = scan_int(rec, pos, *static_cast<int32_t*>(item.target));
    else
      r = scan_real(rec, pos, *static_cast<double*>(item.target));
    if (r.err != ScanErr::None) return r;
    if (r.pos < n && rec[r.pos] == '*') return {pos, ScanErr::RepeatCount};
    ++filled;
    pos = r.pos;
    after_value = true;
    if (filled == items.size()) break;
    if (pos < n && !is_blank(rec[pos]) && rec[pos] != ',')
      return {pos, ScanErr::BadEnd};
  }
  return {pos, ScanErr::None};
}

// ------------------------------------------------------------------------
// Input channel

TextIn::TextIn(int unit, std::string name) : unit_(unit), name_(std::move(name)) {}

void TextIn::open(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    fail(err == ENOENT ? "file not found" : "cannot open file", std::strerror(err));
  }
  data_.clear();
  pos_ = 0;
  line_ = 0;
  char chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      fail("read error", std::strerror(err));
    }
    if (n == 0) break;
    data_.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
}

void TextIn::open_memory(std::string content) {
  data_ = std::move(content);
  pos_ = 0;
  line_ = 0;
}

void TextIn::close() {
  data_.clear();
  data_.shrink_to_fit();
  pos_ = 0;
}

std::string_view TextIn::next_record(std::string_view what) {
  if (pos_ >= data_.size()) fail("end of file", "expected " + std::string(what));
  const std::size_t nl = data_.find('\n', pos_);
  const std::size_t end = nl == std::string::npos ? data_.size() : nl;
  std::string_view rec(data_.data() + pos_, end - pos_);
  if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
  pos_ = nl == std::string::npos ? data_.size() : nl + 1;
  ++line_;
  return rec;
}

std::string TextIn::read_text(std::size_t n, std::string_view what) {
  std::string_view rec = next_record(what);
  std::string out(rec.substr(0, n));
  out.resize(n, ' ');
  return out;
}

void TextIn::skip(std::string_view what) { next_record(what); }

std::string_view TextIn::peek_record() const {
  if (pos_ >= data_.size()) return {};
  const std::size_t nl = data_.find('\n', pos_);
  const std::size_t end = nl == std::string::npos ? data_.size() : nl;
  std::string_view rec(data_.data() + pos_, end - pos_);
  if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
  return rec;
}

namespace {

std::string describe(const ReadItem& item) {
  std::string d = item.kind == ReadItem::Kind::Int ? "an integer" : "a real number";
  if (!item.name.empty()) d += " (" + std::string(item.name) + ")";
  return d;
}

// The text found where a value was expected, for the error report.
std::string found_text(std::string_view rec, std::size_t pos) {
  std::size_t end = pos;
  while (end < rec.size() && end - pos < 24 && !is_blank(rec[end]) && rec[end] != ',')
    ++end;
  std::string t(rec.substr(pos, end - pos));
  for (char& ch : t)
    if (static_cast<unsigned char>(ch) < 32 || static_cast<unsigned char>(ch) > 126) ch = '?';
  return t;
}

}  // namespace

void TextIn::read_list(std::span<const ReadItem> items) {
  std::size_t filled = 0;
  if (items.empty()) return;
  std::string_view rec = next_record(describe(items[0]));
  std::size_t pos = 0;
  for (;;) {
    const ScanResult r = scan_items(rec, pos, items, filled);
    if (r.err == ScanErr::None) return;
    if (r.err == ScanErr::EndOfRecord) {
      rec = next_record(describe(items[filled]));
      pos = 0;
      continue;
    }
    fail(scan_error_text(r.err), "expected " + describe(items[filled]) +
                                     ", found \"" + found_text(rec, r.pos) + "\"");
  }
}

void TextIn::read_from(std::string_view text, std::span<const ReadItem> items) {
  std::size_t filled = 0;
  const ScanResult r = scan_items(text, 0, items, filled);
  if (r.err == ScanErr::None) return;
  if (r.err == ScanErr::EndOfRecord)
    fail("end of record", "expected " + describe(items[filled]));
  fail(scan_error_text(r.err), "expected " + describe(items[filled]) + ", found \"" +
                                   found_text(text, r.pos) + "\"");
}

void TextIn::fail(std::string kind, std::string detail) const {
  throw IoError(unit_, name_, std::move(kind), std::move(detail), line_);
}

}  // namespace zereduv
