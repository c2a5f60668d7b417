#include "run/control.h"

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

void READ_CONTROL(RunState& s) {
  read_control_file(s, "zereduv.dat");
}

void read_control_file(RunState& s, std::string_view name) {
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
  in.read_list({real_item(s.Frequency, "Frequency")});
  in.read_list({real_item(s.ElementLength, "ElementLength")});
  in.read_list({real_item(s.Aperture, "Aperture")});
  in.read_list({int_item(s.ReverseZ, "ReverseZ")});
  in.read_list({real_item(s.FieldScale, "FieldScale")});
  in.close();
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
