#include "input/t7_table.h"

#include <charconv>
#include <cmath>
#include <string>

#include "run/text/channels.h"
#include "run/control.h"
#include "run/errors.h"
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

std::optional<T7Header> T7Table::header(const std::string& file) {
  const auto first = peek();
  if (!first || numbers_only(*first) != 3)
    return std::nullopt;
  const std::string line1(*first);
  take();
  const auto second = peek();
  if (!second)
    return std::nullopt;
  const int n2 = numbers_only(*second);
  if (n2 == 3) {
    throw TableRejected(
        file,
        "it opens with two grid records and no frequency record, as T7 "
        "tables of static fields do (two columns per node); only RF T7 "
        "tables (Ez Er |E| H) can be converted");
  }
  if (n2 != 1)
    return std::nullopt;
  const std::string line2(*second);
  take();
  const auto third = peek();
  if (!third || numbers_only(*third) != 3)
    return std::nullopt;
  const std::string line3(*third);
  take();

  T7Header h;
  in_.read_from(line1, {real_item(h.Zmin, "Zmin"), real_item(h.Zmax, "Zmax"),
                        int_item(h.z_intervals, "number of z intervals")});
  in_.read_from(line2, {real_item(h.frequency_MHz, "frequency [MHz]")});
  in_.read_from(line3, {real_item(h.Rmin, "Rmin"), real_item(h.Rmax, "Rmax"),
                        int_item(h.r_intervals, "number of r intervals")});
  return h;
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
