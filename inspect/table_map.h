// A field table turned into the map a run would use: read, completed by
// mirror symmetry, checked against the Ampere-Maxwell law with its sign
// switch, in the program's own run state.  The openPMD export and the
// comparison of a table with a field file start from it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "field_inspect.h"
#include "run/run_state.h"
#include "table_inspect.h"

namespace zereduv::inspect {

struct TableMap {
  std::unique_ptr<RunState> s;   // the map in V/cm and Gauss, lengths in cm
  int32_t isym = 0;              // the key it was completed with
  double frequency = 0;          // of the check [Hz]
  std::string frequency_source;  // "given", "T7 file" or "implied"
};

/// The map of `file` with the key and frequency of `opt`, or the ones the
/// table suggests and implies, read turned round when `reverse_z` is not 0
/// (as the control key ReverseZ does).  Reader errors pass through.
TableMap table_map(const std::filesystem::path& file, const TableOptions& opt,
                   int32_t reverse_z = 0);

/// Evaluates the map on the grid of a field file as the run resamples it
/// (FieldScale 1): a FieldFile with the file's grid and the map's values.
FieldFile resample_on_grid(TableMap& m, const FieldFile& grid);

}  // namespace zereduv::inspect
