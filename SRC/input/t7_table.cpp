#include "input/t7_table.h"

#include <charconv>
#include <cmath>
#include <string>

#include "run/control.h"
#include "run/errors.h"
#include "run/text/channels.h"
#include "run/text/free_format.h"

namespace zereduv {

namespace {

// The shortest text that reads back as the same double.
std::string shortest(double v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == '\r';
}

// A record of the input channel ends at LF (a CR before it dropped); older
// T7 files also end lines with a bare CR, so a record may hold several lines.
std::string_view line_at(std::string_view rec, std::size_t pos) {
  const std::size_t cr = rec.find('\r', pos);
  return rec.substr(
      pos, cr == std::string_view::npos ? std::string_view::npos : cr - pos);
}

// How many numbers a line holds when it holds numbers alone; -1 otherwise.
int numbers_only(std::string_view line) {
  int n = 0;
  std::size_t p = 0;
  for (;;) {
    while (p < line.size() && is_separator(line[p]))
      ++p;
    if (p >= line.size())
      return n;
    double v = 0.0;
    const ScanResult r = scan_real(line, p, v);
    if (r.err != ScanErr::None ||
        (r.pos < line.size() && !is_separator(line[r.pos]))) {
      return -1;
    }
    ++n;
    p = r.pos;
  }
}

}  // namespace

std::optional<std::string_view> T7Table::peek() const {
  if (pending_)
    return line_at(rec_, pos_);
  if (in_.at_end())
    return std::nullopt;
  return line_at(in_.peek_record(), 0);
}

void T7Table::take() {
  if (!pending_) {
    rec_ = in_.next_record("a grid record");
    pos_ = 0;
  }
  const std::size_t cr = rec_.find('\r', pos_);
  pos_ = cr == std::string_view::npos ? rec_.size() : cr + 1;
  pending_ = pos_ < rec_.size();
}

double T7Table::number(std::string_view what) {
  for (;;) {
    if (!pending_) {
      if (in_.at_end())
        in_.fail("end of file", "expected " + std::string(what));
      rec_ = in_.next_record({});
      pos_ = 0;
      pending_ = true;
    }
    while (pos_ < rec_.size() && is_separator(rec_[pos_]))
      ++pos_;
    if (pos_ >= rec_.size()) {
      pending_ = false;
      continue;
    }
    double v = 0.0;
    ScanResult r = scan_real(rec_, pos_, v);
    if (r.err == ScanErr::None && r.pos < rec_.size() &&
        !is_separator(rec_[r.pos])) {
      r.err = ScanErr::BadEnd;
    }
    if (r.err != ScanErr::None) {
      std::size_t e = pos_;
      while (e < rec_.size() && !is_separator(rec_[e]) && e - pos_ < 40)
        ++e;
      in_.fail(scan_error_text(r.err),
               "expected " + std::string(what) + ", found \"" +
                   std::string(rec_.substr(pos_, e - pos_)) + "\"");
    }
    pos_ = r.pos;
    return v;
  }
}

namespace {

// True when the line begins with a number: the start of a T7 grid record
// even where the rest of it is damaged.
bool starts_with_number(std::string_view line) {
  std::size_t p = 0;
  while (p < line.size() && is_separator(line[p]))
    ++p;
  double v = 0.0;
  return p < line.size() && scan_real(line, p, v).err == ScanErr::None;
}

}  // namespace

std::optional<T7Header> T7Table::header(const std::string& file) {
  // The three grid records: three numbers, one, three.  Two of them in
  // place make a T7 table with a damaged grid record, reported at that
  // record, rather than a table of some other form reported somewhere
  // further on.  A record is consumed only when it begins with a number and
  // cannot be the six-column table's limits record (which holds "Zmin").
  const auto first = peek();
  if (!first || !starts_with_number(*first) ||
      first->find("Zmin") != std::string_view::npos)
    return std::nullopt;
  const std::string line1(*first);
  const bool ok1 = numbers_only(line1) == 3;
  take();
  const auto second = peek();
  if (!second)
    return std::nullopt;
  const std::string line2(*second);
  const int n2 = numbers_only(line2);
  if (ok1 && n2 == 3) {
    throw TableRejected(
        file,
        "it opens with two grid records and no frequency record, as T7 "
        "tables of static fields do (two columns per node); only RF T7 "
        "tables (Ez Er |E| H) can be converted");
  }
  const bool ok2 = n2 == 1;
  if (!(ok1 || ok2) || !starts_with_number(line2) ||
      line2.find("Zmin") != std::string::npos)
    return std::nullopt;
  take();
  const auto third = peek();
  if (!third)
    return std::nullopt;
  const std::string line3(*third);
  const bool ok3 = numbers_only(line3) == 3;
  if (ok1 && ok2 && !ok3 && starts_with_number(line3))
    refuse_header_record(2, line3);
  if (!ok3)
    return std::nullopt;
  take();
  if (!ok1)
    refuse_header_record(0, line1);
  if (!ok2)
    refuse_header_record(1, line2);

  T7Header h;
  in_.read_from(line1, {real_item(h.Zmin, "Zmin"), real_item(h.Zmax, "Zmax"),
                        int_item(h.z_intervals, "number of z intervals")});
  in_.read_from(line2, {real_item(h.frequency_MHz, "frequency [MHz]")});
  in_.read_from(line3, {real_item(h.Rmin, "Rmin"), real_item(h.Rmax, "Rmax"),
                        int_item(h.r_intervals, "number of r intervals")});
  if (!(h.frequency_MHz > 0.0)) {
    throw TableRejected(file, "its frequency record (line 2) gives " +
                                  shortest(h.frequency_MHz) +
                                  " MHz; an RF field's frequency is above 0");
  }
  return h;
}

void T7Table::refuse_header_record(int k, const std::string& line) {
  static constexpr const char* kWhat[3] = {
      "Zmin Zmax and the number of z intervals", "the frequency [MHz]",
      "Rmin Rmax and the number of r intervals"};
  // The record read as the header reads it: a damaged number is reported
  // as such; a record that reads yet holds more is reported here.
  try {
    double a = 0.0, b = 0.0;
    int32_t n = 0;
    if (k == 1) {
      in_.read_from(line, {real_item(a, "frequency [MHz]")});
    } else {
      in_.read_from(line, {real_item(a, k == 0 ? "Zmin" : "Rmin"),
                           real_item(b, k == 0 ? "Zmax" : "Rmax"),
                           int_item(n, k == 0 ? "number of z intervals"
                                              : "number of r intervals")});
    }
  } catch (const IoError& e) {
    // The header's records are the file's first three lines.
    throw IoError(e.unit, e.file, e.kind,
                  e.detail + " (T7 grid record " + std::to_string(k + 1) +
                      ": " + kWhat[k] + ")",
                  k + 1);
  }
  throw IoError(in_.unit(), in_.name(), "bad T7 grid record",
                "T7 grid record " + std::to_string(k + 1) + " holds " +
                    kWhat[k] + " alone, found \"" + line.substr(0, 60) + "\"",
                k + 1);
}

void T7Table::nodes(RunState& s) {
  // The same storage and conversions as the six-column table: E in MV/m to
  // V/cm, H in A/m to B in Gauss; |E| is not used (older files write 0).
  for (int32_t i = 1; i <= s.Nr; ++i) {
    for (int32_t n = 1; n <= s.Nz; ++n) {
      const int32_t j = s.ReverseZ != 0 ? s.Nz - n + 1 : n;
      const double ez = number("Ez");
      const double er = number("Er");
      number("|E|");
      const double h = number("H");
      s.Er2D(i, j) = er * 10000.0;
      s.Ez2D(i, j) = ez * 10000.0;
      s.B2D(i, j) = h * s.mu1;
    }
  }
}

void report_t7(RunState& s, const T7Header& h) {
  s.log.list({kT7FrequencyLabel, h.frequency_MHz});
  const double f = h.frequency_MHz * 1.0e6;
  if (std::fabs(s.Frequency - f) > 0.01 * std::fabs(f)) {
    // One line, the same in the log and on standard error; the run goes on
    // with the control file's value.
    const double off =
        std::round(1000.0 * std::fabs(s.Frequency - f) / std::fabs(f)) / 10.0;
    const std::string line =
        " Warning: Frequency " + shortest(s.Frequency / 1.0e6) + " MHz, " +
        shortest(off) + " % off the T7's " + shortest(h.frequency_MHz) + " MHz";
    s.log.list({line});
    try {
      s.errout.record(line);
    } catch (const IoError&) {
      // A warning that standard error cannot take is still in the log.
    }
  }
}

}  // namespace zereduv
