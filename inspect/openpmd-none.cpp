// The openPMD export in a build without HDF5: the command line refuses
// --openpmd before anything is read, so these are never reached.
#include <stdexcept>

#include "openpmd.h"

namespace zereduv::inspect {

bool openpmd_available() {
  return false;
}

std::string openpmd_field(const FieldFile&, double, const std::string&) {
  throw std::logic_error("built without HDF5: no openPMD export");
}

std::string openpmd_table(const TableMap&, const std::string&) {
  throw std::logic_error("built without HDF5: no openPMD export");
}

}  // namespace zereduv::inspect
