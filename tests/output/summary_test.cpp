#include "output/summary.h"

#include <gtest/gtest.h>

#include "output/output_fixture.h"
#include "output/output_grid.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

using output_test::new_state;
using output_test::slurp;
using output_test::split_lines;
using testing::ScratchDir;

TEST(Summary, FiveLinesEndTheLog) {
  ScratchDir dir;
  auto s = new_state();
  s->log.open(dir / "zereduv.log");
  s->FieldScale = 1.0;
  s->ElementLength = 10.0;
  s->Aperture = 1.5;
  s->SymX = 1;
  s->SymY = 1;
  SCALE_AND_GRID(*s);
  WRITE_SUMMARY(*s);
  const auto lines = split_lines(slurp(dir / "zereduv.log"), "\r\n");
  ASSERT_EQ(lines.size(), 6u + 5u);
  const std::vector<std::string> expect = {
      " Element Length & Aperture =    10.0000000000000     "
      "   1.50000000000000     ",
      " Symmetry Keys: X, Y, Z =            1           1           0",
      " Field X limits =   0.000000000000000E+000   1.50000000000000     ",
      " Field Y limits =   0.000000000000000E+000   1.50000000000000     ",
      " Field Z limits =   -5.00000000000000        5.00000000000000     "};
  for (std::size_t k = 0; k < 5; ++k)
    EXPECT_EQ(lines[6 + k], expect[k]);
  EXPECT_EQ(lines[6].size(), 77u);
  EXPECT_EQ(lines[7].size(), 62u);
  EXPECT_EQ(lines[8].size(), 66u);
  EXPECT_EQ(s->console.memory(), "");
}

TEST(Summary, ShowsTheStoredCoordinatesNotTheLimits) {
  auto s = new_state();
  s->FieldScale = 1.0;
  s->ElementLength = 0.3;
  s->Aperture = 0.7;
  SCALE_AND_GRID(*s);
  s->XOut(kNx) = 0.75;  // as if rounding had moved the last plane
  WRITE_SUMMARY(*s);
  const auto lines = split_lines(s->log.memory(), "\r\n");
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[lines.size() - 3],
            " " + std::string(kXLimitsLabel) + d24(-0.7) + d24(0.75));
}

}  // namespace
}  // namespace zereduv
