// The start of a run: log, control file and constant block, checked on the
// bytes of the log file.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "run/control.h"
#include "run/errors.h"
#include "run/run_state.h"
#include "support/control_file.h"
#include "support/io_error.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

using testing::io_error_of;
using testing::ScratchDir;

std::string control_file(const std::string& frequency) {
  testing::ControlRecords c;
  c.title = "pillbox test";
  c.subtitle = "second title";
  c.table = "table.txt";
  c.frequency = frequency;
  c.element_length = "10.0";
  c.aperture = "1.5";
  return c.text();
}

TEST(RunStart, ConstantBlockBytes) {
  ScratchDir dir;
  dir.write("zereduv.dat", control_file("1.0e9"));
  RunState s;
  s.WorkDir = dir.path();
  OPEN_LOG(s);
  READ_CONTROL(s);
  DERIVE_CONSTANTS(s);
  s.log.close();
  // mu0 = 4 pi 1e-7, mu1 = 4 pi 1e-3, eps0 = 1/(c^2 mu0), omeg = 2 pi 1e9,
  // each in its 24-character list-directed field; a text after a number
  // gets a separating blank on top of its own.
  const auto rec = [](std::string_view label, const char* field,
                      std::string_view unit) {
    return " " + std::string(label) + field + " " + std::string(unit) + "\r\n";
  };
  const std::string expected =
      rec(kMu0Label, "  1.256637061435917E-006", kMu0Unit) +
      rec(kMu1Label, "  1.256637061435917E-002", kMu1Unit) +
      rec(kEps0Label, "  8.854187817620389E-012", kEps0Unit) +
      rec(kOmegLabel, "   6283185307.17959     ", kOmegUnit) + " " +
      std::string(kSeparator) + "\r\n";
  EXPECT_EQ(dir.read("zereduv.log"), expected);
  EXPECT_EQ(trimmed(s.FieldFileName), "table.txt");
  EXPECT_EQ(s.isym_z, 2);
  EXPECT_EQ(s.FieldScale, 1.0);
}

TEST(RunStart, MissingControlFileNamesUnitOneAndLeavesEmptyLog) {
  ScratchDir dir;
  RunState s;
  s.WorkDir = dir.path();
  OPEN_LOG(s);
  const IoError e = io_error_of([&] { READ_CONTROL(s); });
  EXPECT_EQ(e.unit, 1);
  EXPECT_EQ(e.file, "zereduv.dat");
  EXPECT_NE(std::string(e.what()).find("unit 1"), std::string::npos);
  s.log.close_quietly();
  EXPECT_TRUE(dir.exists("zereduv.log"));
  EXPECT_EQ(dir.read("zereduv.log"), "");
}

}  // namespace
}  // namespace zereduv
