#include "run/control.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <utility>
#include <vector>

#include "run/errors.h"
#include "run/text/channels.h"

namespace zereduv {

std::string_view trimmed(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view()
                                       : s.substr(0, end + 1);
}

void OPEN_LOG(RunState& s) {
  s.log.open(s.path(s.log.name()));
}

namespace {

// A real value of the control file as the user typed it: the first word of
// its record (up to a blank, a comma or a slash, the separators of free
// format), the record's line number, and whether a comma and a digit follow
// the word directly, as in a decimal comma (11,5 reads as 11).
struct TypedReal {
  long line = 0;  // 0: the value was not read from one record alone
  std::string text;
  bool decimal_comma = false;
};

TypedReal read_typed_real(TextIn& in, double& v, const char* name) {
  const long before = in.line();
  const std::string rec = in.at_end() ? "" : std::string(in.peek_record());
  in.read_list({real_item(v, name)});
  TypedReal typed;
  if (in.line() != before + 1)
    return typed;
  const std::size_t b = rec.find_first_not_of(" \t");
  if (b == std::string::npos)
    return typed;
  const std::size_t e = std::min(rec.find_first_of(" \t,/", b), rec.size());
  if (e == b)
    return typed;
  typed.line = in.line();
  typed.text = rec.substr(b, e - b);
  typed.decimal_comma = e + 1 < rec.size() && rec[e] == ',' &&
                        rec[e + 1] >= '0' && rec[e + 1] <= '9';
  return typed;
}

// The shortest text that reads back as v.
std::string shortest(double v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

}  // namespace

void READ_CONTROL(RunState& s) {
  for (const std::string& line : read_control_file(s, "zereduv.dat"))
    write_warning(s, line);
}

void write_warning(RunState& s, std::string_view line) {
  try {
    s.errout.record(line);
  } catch (const IoError&) {
    // A warning that standard error cannot take does not end the run.
  }
}

std::vector<std::string> read_control_file(RunState& s, std::string_view name) {
  TextIn in(1, std::string(name));
  in.open(s.path(name));
  in.skip("title record 1");
  in.skip("title record 2");
  // The name is the first 80 characters of record 3.  One more is read so
  // that a name running on past column 80 ends the run instead of being cut
  // to the name of some other file; a blank in column 80 or 81 separates
  // the name from a comment.
  const std::string rec3 = in.read_text(81, "the field-table name (record 3)");
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t'; };
  if (!blank(rec3[79]) && !blank(rec3[80])) {
    in.fail("table name too long",
            "the table name is longer than 80 characters");
  }
  s.FieldFileName = rec3.substr(0, 80);
  in.read_list({int_item(s.isym_z, "isym_z")});
  in.read_list({int_item(s.FileNumber, "FileNumber")});
  in.read_list({int_item(s.FieldFormat, "FieldFormat")});
  in.read_list({int_item(s.SymX, "SymX"), int_item(s.SymY, "SymY"),
                int_item(s.SymZ, "SymZ")});
  const TypedReal frequency = read_typed_real(in, s.Frequency, "Frequency");
  const TypedReal length =
      read_typed_real(in, s.ElementLength, "ElementLength");
  const TypedReal aperture = read_typed_real(in, s.Aperture, "Aperture");
  in.read_list({int_item(s.ReverseZ, "ReverseZ")});
  const TypedReal scale = read_typed_real(in, s.FieldScale, "FieldScale");
  in.close();

  // Values that read without error but are plainly not what the user
  // meant: the run goes on with them, and says so.
  std::vector<std::string> warnings;
  const std::string file(name);
  const std::pair<const TypedReal*, const char*> reals[] = {
      {&frequency, "Frequency"},
      {&length, "ElementLength"},
      {&aperture, "Aperture"},
      {&scale, "FieldScale"}};
  for (const auto& [typed, label] : reals) {
    if (typed->decimal_comma) {
      warnings.push_back("zereduv: warning: line " +
                         std::to_string(typed->line) + " of \"" + file +
                         "\" reads " + label + " = " + typed->text +
                         " and ignores what follows the comma: write a "
                         "decimal point, not a comma");
    }
  }
  if (s.FieldScale == 0.0) {
    warnings.push_back("zereduv: warning: FieldScale (record 12 of " + file +
                       ") is 0: every field value in the file is 0");
  }
  if (s.Frequency > 0.0 && s.Frequency < 1.0e6) {
    const std::string typed =
        frequency.line > 0 ? frequency.text : shortest(s.Frequency);
    warnings.push_back("zereduv: warning: Frequency (record 8 of " + file +
                       ") is " + typed + " Hz: give it in Hz, not MHz");
  }
  return warnings;
}

Constants physical_constants(double Frequency) {
  Constants k;
  k.pi = 3.141592653589793;
  k.c = 299792458.0;
  k.mu0 = (k.pi * 4.0) * 1e-7;
  k.mu1 = k.mu0 * 1e4;
  k.eps0 = 1.0 / ((k.c * k.c) * k.mu0);
  k.omeg = (k.pi * 2.0) * Frequency;
  return k;
}

void set_constants(RunState& s, const Constants& k) {
  s.pi = k.pi;
  s.c = k.c;
  s.mu0 = k.mu0;
  s.mu1 = k.mu1;
  s.eps0 = k.eps0;
  s.omeg = k.omeg;
}

void log_constants(TextOut& log, const Constants& k) {
  log.list({kMu0Label, k.mu0, kMu0Unit});
  log.list({kMu1Label, k.mu1, kMu1Unit});
  log.list({kEps0Label, k.eps0, kEps0Unit});
  log.list({kOmegLabel, k.omeg, kOmegUnit});
  log.list({kSeparator});
}

void DERIVE_CONSTANTS(RunState& s) {
  const Constants k = physical_constants(s.Frequency);
  set_constants(s, k);
  log_constants(s.log, k);
}

}  // namespace zereduv
