// The check on real field-solver tables: the SNS rebuncher half maps
// (402.5 MHz nominal) are read, completed with isym_z = 2 and checked.  The
// solver writes E and H with the opposite time phase to the program's, so
// the mean ratio is near -1; the axial search then walks up the mirrored
// lower half to the gap centre, where Ez is positive, and B is switched.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "input/symmetry.h"
#include "run/channels.h"
#include "run/fast_d24.h"
#include "run/number_fields.h"
#include "support/maps.h"

namespace zereduv {
namespace {

const std::filesystem::path kTables =
    std::filesystem::path(ZEREDUV_SOURCE_DIR "/../shared/data/superfish");

struct Verdict {
  const char* file;
  int32_t Nr, Nz;  // after the completion
  double avg;      // mean ratio from a separate transcription of the check
};

TEST(MaxwellRealTables, SnsRebuncherPassesAndSwitchesB) {
  const Verdict rows[] = {
      {"sns-mebt-rebuncher-402mhz-201x51.txt", 51, 401, -0.9912175150870479},
      {"sns-mebt-rebuncher-402mhz-301x101-large.txt", 101, 601,
       -0.9912827791989265},
  };
  for (const Verdict& v : rows) {
    SCOPED_TRACE(v.file);
    if (!std::filesystem::exists(kTables / v.file)) {
      GTEST_SKIP() << "table not available: " << (kTables / v.file);
    }
    auto s = std::make_unique<RunState>();
    testing::set_constants(*s, 402.5e6);
    s->WorkDir = kTables;
    s->FieldFileName = v.file;
    s->FieldFileName.resize(80, ' ');
    s->isym_z = 2;
    READ_FIELD_TABLE(*s);
    COMPLETE_SYMMETRY(*s);
    ASSERT_EQ(s->Nr, v.Nr);
    ASSERT_EQ(s->Nz, v.Nz);
    const std::size_t before = testing::log_lines(*s).size();
    const int32_t ic = s->Nr / 2;
    const double B_centre = s->B2D(ic, s->Nz / 2);
    const double Ez_centre = s->Ez2D(1, s->Nz / 2 + 1);

    CHECK_MAXWELL(*s);  // no stop

    const std::vector<std::string> all = testing::log_lines(*s);
    const std::vector<std::string> lines(all.begin() + before, all.end());
    ASSERT_EQ(lines.size(), 2u + static_cast<std::size_t>(v.Nz) + 3u + 3u);
    EXPECT_EQ(lines[0], "  Checking Maxwell Equations ... ");
    for (int32_t iz = 1; iz <= v.Nz; ++iz) {
      EXPECT_EQ(lines[static_cast<std::size_t>(iz + 1)].size(), 94u);
    }
    const std::size_t st = 2 + static_cast<std::size_t>(v.Nz);
    EXPECT_EQ(lines[st].substr(0, 12), "  avg_rRL1= ");
    EXPECT_NEAR(std::stod(lines[st].substr(12)), v.avg, 1e-13);
    EXPECT_LT(std::stod(lines[st + 1].substr(12)), 1.0);  // every |ratio|
    EXPECT_GT(std::stod(lines[st + 2].substr(12)), 0.98);  // close to 1
    // No warning: |avg| < 1.5.  The first maximum of |Ez| on the axis is the
    // gap centre, 3.727425 MV/m in the table.
    EXPECT_EQ(lines[st + 3],
              "  Maxwell Equations: E and B Signs Not Compatible");
    EXPECT_EQ(lines[st + 4],
              "  1st Max of Ez: mxEz, mxsg = " + d24(37274.25) + d24(1.0));
    EXPECT_EQ(lines[st + 5], "  Maxwell Equations: -> Switching B-field sign");
    EXPECT_EQ(s->B2D(ic, s->Nz / 2), -B_centre);
    EXPECT_EQ(s->Ez2D(1, s->Nz / 2 + 1), Ez_centre);
  }
}

}  // namespace
}  // namespace zereduv
