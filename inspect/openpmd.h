// Export of a field map to an openPMD file with the BeamPhysics extension's
// field mesh: SI units, E and B as complex amplitudes of fields that
// oscillate as Re(F exp(-i w t)), the fundamental frequency, harmonic 1.
// The file is built in memory (HDF5's core driver) and returned as bytes,
// so that it reaches the disk through the same temporary and rename as
// every other output of the tool.
#pragma once

#include <string>

#include "field_inspect.h"
#include "table_map.h"

namespace zereduv::inspect {

/// Whether this build can write openPMD files (it needs HDF5).
bool openpmd_available();

/// The 3-D map of a field file on its rectangular grid.  The written E is
/// E cos(wt), B is B sin(wt): in complex form E and i B.
std::string openpmd_field(const FieldFile& f, double frequency,
                          const std::string& name);

/// The completed 2-D map of a table on its cylindrical (r, theta, z) grid,
/// one theta plane: E_r, E_z and B_theta.
std::string openpmd_table(const TableMap& m, const std::string& name);

}  // namespace zereduv::inspect
