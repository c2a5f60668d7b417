// Header variants of real solver outputs: long interval counts, extra
// normalisation records, lengths in mm, and tables of the wrong kind.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "input/field_table.h"
#include "run/errors.h"
#include "support/input_tables.h"

namespace zereduv {
namespace {

using test::InputScratchDir;
using test::sf7_header;
using test::sf7_table;
using test::Sf7Header;
using test::table_run;
using test::tagged_node;

TEST(TableVariants, CountsOfAThousandIntervalsAndMore) {
  struct Case {
    std::string counts;
    int32_t nz, nr;
  };
  const std::vector<Case> cases = {
      {"Z and R increments:    99     2", 100, 3},
      {"Z and R increments:   999     2", 1000, 3},
      {"Z and R increments:  1000     2", 1001, 3},
      {"Z and R increments:  1200     2", 1201, 3},
      {"Z and R increments: 12000     2", 12001, 3},
      {"Z and R increments:   300  1000", 301, 1001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.counts);
    InputScratchDir dir;
    Sf7Header h = sf7_header(0, 0, 1, 1, 0, 0);
    h.counts = c.counts;
    h.z_intervals = c.nz - 1;
    h.r_intervals = c.nr - 1;
    dir.write("long.txt", sf7_table(h, c.nr, c.nz, tagged_node, "\n"));
    auto s = table_run(dir, "long.txt");
    const TableHeader header = READ_FIELD_TABLE(*s).header;
    EXPECT_EQ(header.wide_counts, c.nz > 1000);
    EXPECT_EQ(header.z_intervals, c.nz - 1);
    EXPECT_EQ(s->Nz, c.nz);
    EXPECT_EQ(s->Nr, c.nr);
    EXPECT_EQ(s->Ez2D(c.nr, c.nz), (100.0 * c.nr + c.nz) * 10000.0);
  }
}

TEST(TableVariants, GeneratedPillboxOf1200IntervalsIsACavityField) {
  InputScratchDir dir;
  dir.write("pb.txt", test::pillbox_table_1200());
  auto s = table_run(dir, "pb.txt");
  s->mu1 = 4.0e-3 * 3.14159265358979323846;
  READ_FIELD_TABLE(*s);
  ASSERT_EQ(s->Nz, 1201);
  ASSERT_EQ(s->Nr, 21);
  EXPECT_EQ(s->Zmin, -6.0);
  EXPECT_EQ(s->Ez2D(1, 600), 10000.0);  // 1 MV/m on the axis
  // Ampere-Maxwell on the circle r = 1.5 cm in SI units:
  // 2 pi r H = omega eps0 * flux of Ez, up to the trapezoid's error.  The
  // table's H comes with the solver's sign, opposite to E.
  const double w = 2.0 * 3.14159265358979323846 * test::kPillbox1200Frequency;
  const double eps0 = 8.8541878128e-12;
  const int32_t ic = 11;
  const double dr = 0.0015;  // m
  double flux = 0.0;
  for (int32_t k = 1; k < ic; ++k) {
    const double ez = (s->Ez2D(k, 600) + s->Ez2D(k + 1, 600)) * 50.0;  // V/m
    flux += ez * 2.0 * 3.14159265358979323846 * (k - 0.5) * dr * dr;
  }
  const double ih =
      2.0 * 3.14159265358979323846 * (ic - 1) * dr * (s->B2D(ic, 600) / s->mu1);
  EXPECT_GT(ih, 0.0);
  EXPECT_NEAR(w * eps0 * flux / ih, 1.0, 2e-3);
}

TEST(TableVariants, PassesNotesBeforeTheColumnTitles) {
  // Solver runs that normalise the fields add records before the titles.
  using V = TableHeader::Variant;
  const std::vector<std::pair<std::vector<std::string>, V>> extras = {
      {{"EZERO computed by SFO =    0.79521E+07 MV/m",
        "Interpolated fields normalized to E0 =    0.79521E+07 MV/m", ""},
       V::Ezero},
      {{"EZERO computed by SFO =    0.79521E+07 MV/m", ""}, V::Ezero},
      {{"Interpolated fields normalized to E0 = 1.0", "", "", "Note: (cm)"},
       V::Ezero},
      {{""}, V::Plain},
      {{"", ""}, V::Other},
  };
  std::string plain_log;
  for (const auto& [extra, variant] : extras) {
    SCOPED_TRACE(extra.size());
    InputScratchDir dir;
    Sf7Header h = sf7_header(50, 0, 70, 3, 4, 2);
    h.before_titles = extra;
    h.decreasing_z = true;
    dir.write("gun.txt", sf7_table(h, 3, 5, tagged_node));
    auto s = table_run(dir, "gun.txt");
    s->ReverseZ = 1;
    const TableHeader header = READ_FIELD_TABLE(*s).header;
    EXPECT_EQ(header.variant, variant);
    EXPECT_EQ(header.records_between, 2 + static_cast<int32_t>(extra.size()));
    EXPECT_EQ(header.first_node_line,
              header.limits_line + 3 + header.records_between);
    EXPECT_EQ(header.Zmax, 70.0);  // as written, before the centring
    for (int32_t i = 1; i <= 3; ++i) {
      for (int32_t n = 1; n <= 5; ++n) {
        EXPECT_EQ(s->Ez2D(i, 6 - n), (100.0 * i + n) * 10000.0);
      }
    }
    // The log is the same as for the plain layout.
    if (plain_log.empty())
      plain_log = s->log.memory();
    EXPECT_EQ(s->log.memory(), plain_log);
  }
}

TEST(TableVariants, ConvertsLengthsInMmToCm) {
  struct Case {
    const char* units;
    bool mm;
  };
  const std::vector<Case> cases = {
      {"    (mm)          (mm)           (MV/m)        (MV/m)        (MV/m)  "
       "      (A/m) ",
       true},
      {"(mm) (mm)", true},
      {"    (cm)          (cm)           (MV/m)", false},
      {"    (mm)          (cm)           (MV/m)", false},
      {"    (cm)          (mm)           (MV/m)", false},
      {"    mm            mm             (MV/m)", false},
  };
  const std::string grid_mm =
      "  Table lengths in mm converted to cm \r\n " +
      std::string(kInputGridHeading) + "\r\n " + std::string(kInputZLabel) +
      "  0.000000000000000E+000   8.00000000000000                5\r\n " +
      std::string(kInputRLabel) +
      "  0.000000000000000E+000   1.10000000000000                3\r\n " +
      kSeparator + "\r\n " + std::string(kCentredZLabel) +
      "  -4.00000000000000     \r\n   4.00000000000000     \r\n " + kSeparator +
      "\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.units);
    InputScratchDir dir;
    Sf7Header h = sf7_header(0, 0, 80, 11, 4, 2);
    h.units = c.units;
    dir.write("mm.txt", sf7_table(h, 3, 5, tagged_node));
    auto s = table_run(dir, "mm.txt");
    const TableHeader header = READ_FIELD_TABLE(*s).header;
    EXPECT_EQ(header.unit == TableHeader::LengthUnit::Mm, c.mm);
    EXPECT_EQ(s->Zmax, c.mm ? 4.0 : 40.0);
    EXPECT_EQ(s->Rmax, c.mm ? 1.1 : 11.0);
    if (c.mm) {
      EXPECT_EQ(s->log.memory(),
                " " + std::string(kReadingFileLabel) + "mm.txt\r\n" + grid_mm);
    } else {
      EXPECT_EQ(s->log.memory().find("in mm"), std::string::npos);
    }
    // Fields keep their units.
    EXPECT_EQ(s->Ez2D(2, 3), 203.0 * 10000.0);
    EXPECT_EQ(s->B2D(2, 3), 2003.0 * 2.0);
  }
}

TEST(TableVariants, RefusesTablesOfOtherFields) {
  struct Case {
    const char* what;
    std::string table;
    const char* problem;  // part of the message; "" when the table reads
  };
  auto with_titles = [](const char* titles) {
    Sf7Header h = sf7_header(0, 0, 2, 1, 2, 2);
    h.titles = titles;
    return sf7_table(h, 3, 3, tagged_node);
  };
  const std::vector<Case> cases = {
      {"static-field table", test::poisson_table(), "Rmin before Zmin"},
      {"planar fields", with_titles("  X   Y   Ex   Ey   |E|   Hz"),
       "its columns are X Y Ex Ey |E| Hz;"},
      {"static columns", with_titles("R Z Er Ez |E| V"),
       "its columns are R Z Er Ez |E| V;"},
      {"five columns", with_titles("Z R Ez Er |E|"), "its columns are Z R"},
      {"RF columns", with_titles("Z R Ez Er |E| H"), ""},
      {"RF columns and more", with_titles(" Z  R  Ez  Er  |E|  H  B"), ""},
      {"other titles", with_titles("zz rr ez er e h"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InputScratchDir dir;
    dir.write("k.txt", c.table);
    auto s = table_run(dir, "k.txt");
    if (*c.problem == '\0') {
      EXPECT_NO_THROW(READ_FIELD_TABLE(*s));
      continue;
    }
    try {
      READ_FIELD_TABLE(*s);
      ADD_FAILURE() << "not rejected";
    } catch (const TableRejected& e) {
      EXPECT_EQ(e.file, "k.txt");
      EXPECT_NE(e.problem.find(c.problem), std::string::npos) << e.problem;
    }
    // The grid report is the last thing written.
    const std::string log = s->log.memory();
    const std::string sep = " " + std::string(kSeparator) + "\r\n";
    EXPECT_EQ(log.find(kInputGridHeading), log.find("\r\n") + 3);
    EXPECT_EQ(log.find(sep) + sep.size(), log.size());
  }
}

}  // namespace
}  // namespace zereduv
