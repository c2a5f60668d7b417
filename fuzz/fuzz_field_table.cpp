// The field table with its symmetry completion: any bytes as the table, any
// key.  Ends with a complete map, an I/O error on unit 2 or a rejection.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "input/field_table.h"
#include "input/symmetry.h"
#include "run/control.h"
#include "run/errors.h"
#include "run/run_state.h"
#include "scratch_dir.h"

using namespace zereduv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string dir = fuzz_scratch_dir("table");
  if (size < 1)
    return 0;
  {
    std::ofstream f(dir + "/table.txt", std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data + 1),
            static_cast<std::streamsize>(size - 1));
  }
  auto s = std::make_unique<RunState>();
  s->WorkDir = dir;
  s->FieldFileName = "table.txt" + std::string(71, ' ');
  const int keys[] = {0, 1, -1, 2, -2};
  s->isym_z = keys[data[0] % 5];
  s->ReverseZ = (data[0] >> 3) & 1;
  DERIVE_CONSTANTS(*s);
  try {
    READ_FIELD_TABLE(*s);
    COMPLETE_SYMMETRY(*s);
    if (s->Nr < 3 || s->Nz < 3)
      std::abort();
  } catch (const IoError& e) {
    if (e.unit != 2)
      std::abort();
  } catch (const TableRejected&) {
  } catch (const RunStop&) {
    // Node records in the wrong z order or off the header's grid.
  }
  return 0;
}
