// Reading the field table written by the field solver's post-processor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_state.h"

namespace zereduv {

/// The header of a field table as the reader found it.
struct TableHeader {
  enum class Variant {
    Plain,  // three records between the interval counts and the first node
    Ezero,  // the records naming the solver's EZERO normalisation added
    Other,  // some other count of records there
    T7,     // the T7 form: z range, frequency, r range, then Ez Er |E| H
  };
  enum class LengthUnit { Cm, Mm };

  long limits_line = 0;         // record of "Zmin" (1-based)
  long first_node_line = 0;     // first node record; 0 when the file ends first
  int32_t records_between = 0;  // between the counts and the first node
  Variant variant = Variant::Plain;
  bool wide_counts = false;  // a count of 1000 or more reaches left of col. 23
  double Zmin = 0.0, Rmin = 0.0, Zmax = 0.0, Rmax = 0.0;  // as written
  int32_t z_intervals = 0, r_intervals = 0;
  std::vector<std::string> columns;  // the column titles' words, if any
  std::vector<std::string> units;    // the units record's words, if any
  LengthUnit unit = LengthUnit::Cm;  // lengths converted to cm when Mm
  bool unit_stated = false;          // the units record names the unit
  double frequency_MHz = 0.0;        // T7 only: the solved RF frequency
};

/// The reader's log texts: the table's name (on the console as well), the
/// note of a conversion from mm, the input grid as read (z, then r: limits
/// and node count) and the z range once centred on 0.
inline constexpr std::string_view kReadingFileLabel = " Reading file: ";
inline constexpr std::string_view kMmConverted =
    " Table lengths in mm converted to cm ";
inline constexpr std::string_view kInputGridHeading = " Input Grid parameters ";
inline constexpr std::string_view kInputZLabel = " Zmin, Zmax, Nz = ";
inline constexpr std::string_view kInputRLabel = " Rmin, Rmax, Nr = ";
inline constexpr std::string_view kCentredZLabel =
    " Shifted & Centered Z: Zmin, Zmax= ";

/// The table as the reader took it: its header, the node grid in cm as read
/// (the limits converted from mm when the table is in mm) and the z range
/// once centred on 0.  The node values themselves go to Er2D, Ez2D, B2D.
struct FieldTable {
  TableHeader header;
  double Zmin = 0.0, Zmax = 0.0, Rmin = 0.0, Rmax = 0.0;  // [cm], as read
  int32_t Nz = 0, Nr = 0;  // node counts: interval counts + 1
  bool shifted = false;    // the z range was moved to centre it on 0
  double Zmin_centred = 0.0, Zmax_centred = 0.0;  // [cm]
};

/// The grid report of the log, from the table as read: the note of a
/// conversion from mm, then the input grid (heading, z line, r line,
/// separator).
void log_input_grid(TextOut& log, const FieldTable& t);

/// The centred z range's two lines, when the range was shifted.
void log_centred_z(TextOut& log, const FieldTable& t);

/// Reads the table named by FieldFileName (unit 2): names it on the console
/// and in the log, finds the "Zmin" limits record, reads the limits and the
/// interval counts, reports the input grid, rejects maps the program cannot
/// hold, centres the z range on 0, and reads the Nr x Nz node records into
/// Er2D, Ez2D [V/cm] and B2D [Gauss] (r slowest; z reversed when ReverseZ).
/// Each node record's Z and R must lie on the node the header puts it at:
/// rows in the wrong z order for ReverseZ, or a record off the header's
/// grid, stop the run.  The map arrays are sized for the map after symmetry
/// completion.  Returns the table as read.
FieldTable READ_FIELD_TABLE(RunState& s);

}  // namespace zereduv
