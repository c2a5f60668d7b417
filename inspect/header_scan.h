// What the header of a field table says about the table: which variant of
// the post-processor's header it is, the length unit, the column titles.
// The reader takes what it needs from the same records; this scan only
// describes them for the inspection report.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zereduv::inspect {

struct TableHeader {
  bool found = false;         // a record holding "Zmin" was found
  bool poisson = false;       // limits record names Rmin before Zmin
  long limits_line = 0;       // 1-based record numbers
  long first_node_line = 0;   // 0 when no node record follows the header
  int records_between = 0;    // records between the counts and the first node
  bool ezero = false;         // "EZERO computed by SFO" records present
  bool wide_counts = false;   // a count of 1000 or more starts before col. 23
  double zmin = 0, rmin = 0, zmax = 0, rmax = 0;  // as written, table unit
  int z_intervals = 0, r_intervals = 0;
  bool limits_ok = false;     // the four limits and two counts parsed
  std::vector<std::string> columns;  // column titles, when a title record
  std::vector<std::string> units;    // the units record's words
  std::string length_unit = "cm";    // "cm" or "mm"
  bool unit_stated = false;          // the units record names the unit

  /// One of "plain", "EZERO", "Poisson", "other" (with the record count).
  std::string variant() const;
  /// A sentence for the report.
  std::string variant_text() const;
};

/// Scans the records of a table's text (LF or CR LF line ends).
TableHeader scan_table_header(std::string_view text);

}  // namespace zereduv::inspect
