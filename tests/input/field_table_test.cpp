#include "input/field_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "run/errors.h"
#include "support/console.h"
#include "support/input_tables.h"
#include "support/io_error.h"

namespace zereduv {
namespace {

using test::InputScratchDir;
using test::sf7_header;
using test::sf7_table;
using test::Sf7Header;
using test::Sf7Node;
using test::table_run;
using test::tagged_node;
using testing::io_error_of;

constexpr const char* kSep = "  ------------------------------ \r\n";

// ---------------------------------------------------------------------
// Header scan

TEST(FieldTableHeader, TakesTheFirstRecordHoldingZminInItsFirst100Columns) {
  struct Case {
    const char* what;
    std::vector<std::string> preamble;
    long error_line;  // 0: the table reads
  };
  const std::vector<Case> cases = {
      {"decoys in other case", {"zmin ZMIN zMin Z min", "  RMIN zmax"}, 0},
      {"Zmin beyond column 100", {std::string(97, ' ') + "Zmin -9 -9"}, 0},
      {"Zmin in a comment", {"Title", "Zmin is given below", "Next"}, 2},
      {"Zmin in the first record", {"Zmin: see below"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InputScratchDir dir;
    Sf7Header h = sf7_header(-2.0, 0.0, 2.0, 1.0, 2, 2);
    h.preamble = c.preamble;
    dir.write("t.txt", sf7_table(h, 3, 3, tagged_node));
    auto s = table_run(dir, "t.txt");
    if (c.error_line == 0) {
      READ_FIELD_TABLE(*s);
      EXPECT_EQ(s->Zmin, -2.0);
      EXPECT_EQ(s->Zmax, 2.0);
      EXPECT_EQ(s->Rmax, 1.0);
      EXPECT_EQ(s->Nz, 3);
    } else {
      const IoError e = io_error_of([&] { READ_FIELD_TABLE(*s); });
      EXPECT_EQ(e.unit, 2);
      EXPECT_EQ(e.line, c.error_line);
    }
  }
}

TEST(FieldTableHeader, ValuesFollowTheFixedColumns) {
  // Limits from column 16, counts from column 23, whatever the text before;
  // separators may be blanks or a comma, and text after the second value
  // (the glued ")" of real headers, a comment) is ignored.
  struct Case {
    std::string a, b, counts;
    double zmin, rmin, zmax, rmax;
    int32_t nz, nr;
  };
  const std::vector<Case> cases = {
      {"(Zmin,Rmin) = (0.0,0.0)", "(Zmax,Rmax) = (5.048,1.5)",
       "Z and R increments:   200    50", 0.0, 0.0, 5.048, 1.5, 201, 51},
      {"Zmin Rmin here  -1.5E+01   2.5  cm", "Zmax Rmax here  1.5e1 , 4 cm",
       "counts for z and r:   7 3 intervals", -15.0, 2.5, 15.0, 4.0, 8, 4},
      {"(Zmin,Rmin) = (50,0.0)", "(Zmax,Rmax) = (70,3)",
       "Z and R increments:    99    19", 50.0, 0.0, 70.0, 3.0, 100, 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a);
    InputScratchDir dir;
    Sf7Header h;
    h.limits_a = c.a;
    h.limits_b = c.b;
    h.counts = c.counts;
    h.zmin = c.zmin;
    h.rmin = c.rmin;
    h.zmax = c.zmax;
    h.rmax = c.rmax;
    h.z_intervals = c.nz - 1;
    h.r_intervals = c.nr - 1;
    dir.write("t.txt", sf7_table(h, c.nr, c.nz, tagged_node, "\n"));
    auto s = table_run(dir, "t.txt");
    READ_FIELD_TABLE(*s);
    EXPECT_EQ(s->Nz, c.nz);
    EXPECT_EQ(s->Nr, c.nr);
    EXPECT_EQ(s->Rmin, c.rmin);
    EXPECT_EQ(s->Rmax, c.rmax);
    EXPECT_EQ(s->Zmax - s->Zmin, c.zmax - c.zmin);
  }
}

// ---------------------------------------------------------------------
// Grid report and centring

TEST(FieldTableGrid, ReportsTheGridAndCentresZ) {
  struct Case {
    double zmin, zmax;
    std::string log;  // from " Input Grid parameters " to the end
    double zmin_after, zmax_after;
  };
  const std::string grid_head = "  Input Grid parameters \r\n";
  const std::string r_line =
      "  Rmin, Rmax, Nr =   0.000000000000000E+000   2.00000000000000     "
      "          21\r\n";
  const std::vector<Case> cases = {
      {0.0, 10.0,
       grid_head +
           "  Zmin, Zmax, Nz =   0.000000000000000E+000   10.0000000000000     "
           "          41\r\n" +
           r_line + kSep +
           "  Shifted & Centered Z: Zmin, Zmax=   -5.00000000000000     \r\n"
           "   5.00000000000000     \r\n" +
           kSep,
       -5.0, 5.0},
      {-5.0, 5.0,
       grid_head +
           "  Zmin, Zmax, Nz =   -5.00000000000000        5.00000000000000     "
           "          41\r\n" +
           r_line + kSep,
       -5.0, 5.0},
      {50.0, 70.0,
       grid_head +
           "  Zmin, Zmax, Nz =    50.0000000000000        70.0000000000000     "
           "          41\r\n" +
           r_line + kSep +
           "  Shifted & Centered Z: Zmin, Zmax=   -10.0000000000000     \r\n"
           "   10.0000000000000     \r\n" +
           kSep,
       -10.0, 10.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zmin);
    InputScratchDir dir;
    dir.write("grid.txt",
              sf7_table(sf7_header(c.zmin, 0.0, c.zmax, 2.0, 40, 20), 21, 41,
                        tagged_node));
    auto s = table_run(dir, "grid.txt");
    READ_FIELD_TABLE(*s);
    EXPECT_EQ(s->console.memory(),
              testing::console_lines("  Reading file: grid.txt\n"));
    EXPECT_EQ(s->log.memory(), "  Reading file: grid.txt\r\n" + c.log);
    EXPECT_EQ(s->Zmin, c.zmin_after);
    EXPECT_EQ(s->Zmax, c.zmax_after);
    EXPECT_EQ(s->Rmin, 0.0);
    EXPECT_EQ(s->Rmax, 2.0);

    // A table announcing more nodes than it holds ends where the node
    // reads begin: after the same lines.
    dir.write("short.txt",
              sf7_table(sf7_header(c.zmin, 0.0, c.zmax, 2.0, 40, 20), 1, 41,
                        tagged_node));
    auto cut = table_run(dir, "short.txt");
    try {
      READ_FIELD_TABLE(*cut);
      ADD_FAILURE() << "no error";
    } catch (const IoError& e) {
      EXPECT_EQ(e.kind, "table too short for its nodes");
    }
    EXPECT_EQ(cut->log.memory(), "  Reading file: short.txt\r\n" + c.log);
  }
}

// ---------------------------------------------------------------------
// Node loop

TEST(FieldTableNodes, StoresEachRecordAtItsNodeInFieldUnits) {
  constexpr int32_t kNr = 3, kNz = 4;
  for (int32_t reverse : {0, 1, -7}) {
    SCOPED_TRACE(reverse);
    InputScratchDir dir;
    Sf7Header h = sf7_header(0, 0, 3, 2, kNz - 1, kNr - 1);
    h.decreasing_z = reverse != 0;
    dir.write("n.txt", sf7_table(h, kNr, kNz, tagged_node));
    auto s = table_run(dir, "n.txt");
    s->ReverseZ = reverse;
    READ_FIELD_TABLE(*s);
    ASSERT_EQ(s->Nr, kNr);
    ASSERT_EQ(s->Nz, kNz);
    for (int32_t i = 1; i <= kNr; ++i) {
      for (int32_t n = 1; n <= kNz; ++n) {
        // The n-th record of row i; with ReverseZ the first goes to Nz.
        const int32_t j = reverse != 0 ? kNz - n + 1 : n;
        const double t = 100.0 * i + n;
        EXPECT_EQ(s->Ez2D(i, j), t * 10000.0) << i << "," << j;
        EXPECT_EQ(s->Er2D(i, j), -t * 10000.0) << i << "," << j;
        EXPECT_EQ(s->B2D(i, j), (1000.0 * i + n) * 2.0) << i << "," << j;
      }
    }
  }
}

// Each record's Z and R, as written, must stand on the node the header
// puts it at (within half a step); rows in the wrong z order for ReverseZ
// are named as such before any record is found off its node.
TEST(FieldTableNodes, RecordsOffTheHeadersGridStopTheRun) {
  // Nodes z = 0..4 (dz 1), r = 0..2 (dr 1); the first node record is on
  // table line 9.
  const auto on_grid = [](double dz, double dr) {
    return [dz, dr](int32_t i, int32_t n) {
      Sf7Node v = tagged_node(i, n);
      v.z = (n - 1) + (i == 1 && n == 1 ? dz : 0.0);
      v.r = (i - 1) + (i == 1 && n == 1 ? dr : 0.0);
      return v;
    };
  };
  struct Case {
    const char* what;
    bool decreasing_z;
    int32_t ReverseZ;
    std::function<Sf7Node(int32_t, int32_t)> node;
    const char* stop;  // part of the stop message; "" when the table reads
  };
  const std::vector<Case> cases = {
      {"in order", false, 0, on_grid(0, 0), ""},
      {"half a step off", false, 0, on_grid(0.5, -0.5), ""},
      {"decreasing z read as increasing", true, 0, tagged_node,
       "run in decreasing z, but ReverseZ (record 11 of zereduv.dat) is 0: "
       "set it to 1"},
      {"increasing z read as decreasing", false, 1, tagged_node,
       "run in increasing z, but ReverseZ (record 11 of zereduv.dat) is not "
       "0: set it to 0"},
      {"first record off in z", false, 0, on_grid(0.6, 0),
       "on line 9 of \"t.txt\" (Z = 0.6, R = 0) is off the header's grid"},
      {"first record off in r", false, 0, on_grid(0, 0.75),
       "on line 9 of \"t.txt\" (Z = 0, R = 0.75) is off the header's grid"},
      {"r varying fastest", false, 0,
       [](int32_t i, int32_t n) {
         const int32_t k = (i - 1) * 5 + (n - 1);
         Sf7Node v = tagged_node(i, n);
         v.z = k / 3;
         v.r = k % 3;
         return v;
       },
       "on line 10 of \"t.txt\" (Z = 0, R = 1) is off the header's grid"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InputScratchDir dir;
    Sf7Header h = sf7_header(0, 0, 4, 2, 4, 2);
    h.decreasing_z = c.decreasing_z;
    dir.write("t.txt", sf7_table(h, 3, 5, c.node));
    auto s = table_run(dir, "t.txt");
    s->ReverseZ = c.ReverseZ;
    try {
      READ_FIELD_TABLE(*s);
      EXPECT_STREQ(c.stop, "") << "read without a stop";
    } catch (const RunStop& e) {
      EXPECT_NE(*c.stop, '\0') << e.message;
      EXPECT_NE(e.message.find(c.stop), std::string::npos) << e.message;
    }
  }
}

TEST(FieldTableNodes, SizesTheMapForItsMirrorImage) {
  for (int32_t key : {0, 1, -1, 2, -2, 3}) {
    SCOPED_TRACE(key);
    InputScratchDir dir;
    dir.write("m.txt",
              sf7_table(sf7_header(0, 0, 4, 2, 4, 2), 3, 5, tagged_node));
    auto s = table_run(dir, "m.txt", key);
    READ_FIELD_TABLE(*s);
    const int32_t full = key == 0 || key == 3 ? 5 : 9;
    EXPECT_EQ(s->Ez2D.nz_capacity(), full);
    EXPECT_EQ(s->Er2D.nz_capacity(), full);
    EXPECT_EQ(s->B2D.nz_capacity(), full);
    EXPECT_EQ(s->B2D.nr_capacity(), 3);
    EXPECT_EQ(s->Nz, 5);  // the completion itself is the next phase's
  }
}

// ---------------------------------------------------------------------
// Maps the program refuses

TEST(FieldTableReject, RefusesMapsItCannotHoldBeforeReadingNodes) {
  struct Case {
    const char* what;
    int64_t z_intervals, r_intervals;
    double zmin, zmax, rmin, rmax;
    int32_t isym_z;
    const char* problem;  // part of the message
  };
  const std::vector<Case> cases = {
      {"two r nodes", 10, 1, 0, 1, 0, 1, 0, "only 2 r nodes"},
      {"one z node", 0, 10, 0, 1, 0, 1, 0, "only 1 z nodes"},
      {"one z node mirrored", 0, 10, 0, 1, 0, 1, 1, "only 1 z nodes"},
      {"two z nodes", 1, 10, 0, 1, 0, 1, 0, "only 2 z nodes"},
      {"negative z count", -5, 10, 0, 1, 0, 1, 0,
       "z interval count is -5; a count of intervals cannot be negative"},
      {"negative r count", 10, -1, 0, 1, 0, 1, 0, "r interval count is -1"},
      {"empty r range", 10, 10, 0, 1, 1.5, 1.5, 0, "Rmax (1.5)"},
      {"reversed r range", 10, 10, 0, 1, 2, 1, 0, "not above Rmin"},
      {"empty z range", 10, 10, 3, 3, 0, 1, 0, "Zmax (3)"},
      {"reversed z range", 10, 10, 1, -1, 0, 1, 2, "not above Zmin"},
      {"too many nodes", 10000, 5000, 0, 1, 0, 1, 0, "more than the 50000000"},
      {"too many once mirrored", 5000, 5000, 0, 1, 0, 1, -2,
       "10001 nodes after"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InputScratchDir dir;
    // No node records at all: a reader that went on would fail with an
    // I/O error instead of the rejection.
    Sf7Header h = sf7_header(c.zmin, c.rmin, c.zmax, c.rmax, c.z_intervals,
                             c.r_intervals);
    // Counts from column 23 on, however many digits they have.
    h.counts = "Z and R increments:   " + std::to_string(c.z_intervals) + " " +
               std::to_string(c.r_intervals);
    dir.write("bad.txt", sf7_table(h, 0, 0, tagged_node));
    auto s = table_run(dir, "bad.txt", c.isym_z);
    try {
      READ_FIELD_TABLE(*s);
      ADD_FAILURE() << "not rejected";
    } catch (const TableRejected& e) {
      EXPECT_EQ(e.file, "bad.txt");
      EXPECT_NE(e.problem.find(c.problem), std::string::npos) << e.problem;
      EXPECT_NE(std::string(e.what()).find("bad.txt"), std::string::npos);
    }
    // Nothing after the input-grid lines.
    const std::string log = s->log.memory();
    EXPECT_EQ(log.rfind(kSep), log.size() - std::string(kSep).size());
    EXPECT_EQ(log.find("Shifted"), std::string::npos);
  }
}

TEST(FieldTableReject, SmallestUsableMapsAreRead) {
  // Three nodes each way, or two z nodes that the mirror makes three.
  for (int32_t key : {0, 1, -2}) {
    SCOPED_TRACE(key);
    const int32_t nz = key == 0 ? 3 : 2;
    InputScratchDir dir;
    dir.write("min.txt",
              sf7_table(sf7_header(0, 0, 1, 1, nz - 1, 2), 3, nz, tagged_node));
    auto s = table_run(dir, "min.txt", key);
    READ_FIELD_TABLE(*s);
    EXPECT_EQ(s->Nz, nz);
    EXPECT_EQ(s->Ez2D(3, nz), (300.0 + nz) * 10000.0);
  }
}

// ---------------------------------------------------------------------
// I/O errors on the table (unit 2)

TEST(FieldTableErrors, EndTheRunWithAnIoErrorOnUnit2) {
  const Sf7Header h = sf7_header(0, 0, 2, 1, 2, 2);
  const std::string good = sf7_table(h, 3, 3, tagged_node);
  auto cut_after = [&](std::string_view marker) {
    return good.substr(0, good.find(marker) + marker.size()) + "\r\n";
  };
  auto with = [&](std::string_view from, std::string_view to) {
    std::string t = good;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  struct Case {
    const char* what;
    std::string table;  // empty: no file at all
    const char* kind;   // part of the kind of error
  };
  const std::vector<Case> cases = {
      {"missing file", "", ""},
      {"no Zmin", "Program SF7\r\nno table here\r\n", "end of file"},
      {"ends after limits A", cut_after("(Zmin,Rmin) = (0,0)"), "end of file"},
      {"ends after the counts", cut_after("increments:     2     2"),
       "end of file"},
      {"ends before the last node",
       good.substr(0,
                   good.rfind("\r\n", good.find("\r\n\r\nTable ends") - 1) + 2),
       "end of file"},
      {"one limit value", with("(Zmax,Rmax) = (2,1)", "(Zmax,Rmax) = 2"), ""},
      {"one limit value and text",
       with("(Zmax,Rmax) = (2,1)", "(Zmax,Rmax) = (2)"), ""},
      {"text for a count", with("     2     2", "     2  two"), ""},
      {"text in a node", with("1.020000E+02", "1.02OOOOE+02"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InputScratchDir dir;
    if (!c.table.empty())
      dir.write("e.txt", c.table);
    auto s = table_run(dir, "e.txt");
    const IoError e = io_error_of([&] { READ_FIELD_TABLE(*s); });
    EXPECT_EQ(e.unit, 2);
    EXPECT_EQ(e.file, "e.txt");
    EXPECT_NE(e.kind.find(c.kind), std::string::npos) << e.kind;
    // The table is named before anything can go wrong with it.
    EXPECT_EQ(s->console.memory(),
              testing::console_lines(" " + std::string(kReadingFileLabel) +
                                     "e.txt\n"));
    EXPECT_EQ(s->log.memory().rfind(
                  " " + std::string(kReadingFileLabel) + "e.txt\r\n", 0),
              0u);
  }
}

TEST(FieldTableErrors, NameWithoutTrailingBlanks) {
  InputScratchDir dir;
  auto s = table_run(dir, "  lead blank.txt");
  EXPECT_THROW(READ_FIELD_TABLE(*s), IoError);
  EXPECT_EQ(s->console.memory(),
            testing::console_lines(" " + std::string(kReadingFileLabel) +
                                   "  lead blank.txt\n"));
}

}  // namespace
}  // namespace zereduv
