// The control file: any bytes as zereduv.dat.  Reads to the end or stops
// with an I/O error naming unit 1.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "run/control.h"
#include "run/errors.h"
#include "run/run_state.h"
#include "scratch_dir.h"

using namespace zereduv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string dir = fuzz_scratch_dir("control");
  {
    std::ofstream f(dir + "/zereduv.dat", std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data),
            static_cast<std::streamsize>(size));
  }
  auto s = std::make_unique<RunState>();
  s->WorkDir = dir;
  try {
    READ_CONTROL(*s);
    DERIVE_CONSTANTS(*s);
  } catch (const IoError& e) {
    if (e.unit != 1)
      std::abort();
  }
  return 0;
}
