// The one way the tests write a control file: its twelve records, each the
// text of one line (a value, and any comment after it), joined with the
// line end a test asks for.
#pragma once

#include <string>
#include <vector>

namespace zereduv::testing {

/// `records`, each followed by `eol` (the last one only when `last_eol`).
inline std::string join_records(const std::vector<std::string>& records,
                                const std::string& eol = "\r\n",
                                bool last_eol = true) {
  std::string out;
  for (std::size_t k = 0; k < records.size(); ++k) {
    out += records[k];
    if (k + 1 < records.size() || last_eol)
      out += eol;
  }
  return out;
}

/// The twelve records in file order; the defaults are a pillbox run.
struct ControlRecords {
  std::string title = "zereduv test run";
  std::string subtitle;
  std::string table = "pillbox.txt";
  std::string isym_z = "2";
  std::string file_number = "1";
  std::string field_format = "0";
  std::string sym = "0 0 0";  // SymX SymY SymZ
  std::string frequency = "1.3E9";
  std::string element_length = "12.0";
  std::string aperture = "2.0";
  std::string reverse_z = "0";
  std::string field_scale = "1.0";

  std::vector<std::string> records() const {
    return {title,          subtitle,     table,     isym_z,
            file_number,    field_format, sym,       frequency,
            element_length, aperture,     reverse_z, field_scale};
  }
  /// The control file's text, CR LF line ends.
  std::string text() const { return join_records(records()); }
};

}  // namespace zereduv::testing
