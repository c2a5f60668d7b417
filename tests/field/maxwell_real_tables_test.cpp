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
#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"
#include "support/maps.h"
#include "support/shared_tables.h"

namespace zereduv {
namespace {

const std::filesystem::path kTables = testing::shared_tables_dir();

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
    const int32_t ic = s->Nr / 2;
    const double B_centre = s->B2D(ic, s->Nz / 2);
    const double Ez_centre = s->Ez2D(1, s->Nz / 2 + 1);

    const MaxwellCheck c = maxwell_statistics(*s);
    ASSERT_EQ(c.slices.size(), static_cast<std::size_t>(v.Nz));
    EXPECT_NEAR(c.avg, v.avg, 1e-13);
    EXPECT_LT(c.max, 1.0);   // every |ratio|
    EXPECT_GT(c.min, 0.98);  // close to 1
    EXPECT_FALSE(c.stop || c.warn_high || c.warn_low || c.empty_left_out);
    // The first maximum of |Ez| on the axis is the gap centre, 3.727425 MV/m
    // in the table.
    EXPECT_EQ(c.mxEz, 37274.25);
    EXPECT_EQ(c.mxsg, 1.0);
    EXPECT_EQ(c.switched, MaxwellSwitch::B);

    CHECK_MAXWELL(*s);  // no stop
    EXPECT_EQ(s->B2D(ic, s->Nz / 2), -B_centre);
    EXPECT_EQ(s->Ez2D(1, s->Nz / 2 + 1), Ez_centre);
  }
}

}  // namespace
}  // namespace zereduv
