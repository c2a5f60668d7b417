// Tables in the solver's T7 form: three grid records, then Ez Er |E| H per
// node as one stream of numbers, whatever the line layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "input/field_table.h"
#include "run/errors.h"
#include "support/console.h"
#include "support/field_file_reader.h"
#include "support/input_tables.h"
#include "support/run_program.h"
#include "support/shared_tables.h"

namespace zereduv {
namespace {

using test::InputScratchDir;
using test::table_run;

// A T7 table of 3 r x 5 z nodes whose values tell where they stand
// (Ez = 100 i + n, Er = -Ez [MV/m], H = 1000 i + n [A/m]); `node` lays
// out the four values of one node, `head` the three grid records.
std::string t7(const std::string& head,
               const std::function<std::string(double, double, double)>& node) {
  std::string t = head;
  for (int i = 1; i <= 3; ++i) {
    for (int n = 1; n <= 5; ++n) {
      const double ez = 100.0 * i + n;
      t += node(ez, -ez, 1000.0 * i + n);
    }
  }
  return t;
}

std::string d_exponent(double v) {
  std::string s = test::e6(v);
  std::replace(s.begin(), s.end(), 'E', 'D');
  return s;
}

TEST(T7Tables, ReadsEveryLineLayoutAlike) {
  using test::g;
  struct Case {
    const char* what;
    std::string table;
  };
  int k = 0;
  const std::vector<Case> cases = {
      {"one line per node, CR LF", t7("50 70 4\r\n175.715180667\r\n0.0 3 2\r\n",
                                      [](double ez, double er, double h) {
                                        return "  " + g(ez) + "  " + g(er) +
                                               "  " + g(std::hypot(ez, er)) +
                                               "  " + g(h) + "    \r\n";
                                      })},
      {"Ez Er |E| then H, tabs, D exponents, |E| as 0",
       t7("50\t70\t4\n175.715180667\n0.0\t3\t2\n",
          [](double ez, double er, double h) {
            return "\t" + d_exponent(ez) + "\t" + d_exponent(er) + "\t0\n\t" +
                   d_exponent(h) + "\n";
          })},
      {"bare CR and CR LF mixed", t7("50 70 4\r175.715180667\r\n0.0 3 2\r",
                                     [&k](double ez, double er, double h) {
                                       return g(ez) + " " + g(er) + " 0 " +
                                              g(h) + (++k % 2 ? "\r" : "\r\n");
                                     }) +
                                      "\r\nnotes after the table\r\n"},
  };
  const std::string head =
      " " + std::string(kReadingFileLabel) +
      "gun.T7\r\n"
      "  Table read as T7: frequency [MHz] =    175.715180667000     \r\n " +
      std::string(kInputGridHeading) + "\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InputScratchDir dir;
    dir.write("gun.T7", c.table);
    auto s = table_run(dir, "gun.T7");
    s->Frequency = 175.0e6;
    s->ReverseZ = 1;
    READ_FIELD_TABLE(*s);
    ASSERT_EQ(s->Nz, 5);
    ASSERT_EQ(s->Nr, 3);
    EXPECT_EQ(s->Zmax, 10.0);
    EXPECT_EQ(s->Rmax, 3.0);
    EXPECT_EQ(s->log.memory().rfind(head, 0), 0u) << s->log.memory();
    EXPECT_EQ(s->errout.memory(), "");
    for (int32_t i = 1; i <= 3; ++i) {
      for (int32_t n = 1; n <= 5; ++n) {
        EXPECT_EQ(s->Ez2D(i, 6 - n), (100.0 * i + n) * 10000.0);
        EXPECT_EQ(s->Er2D(i, 6 - n), -(100.0 * i + n) * 10000.0);
        EXPECT_EQ(s->B2D(i, 6 - n), (1000.0 * i + n) * 2.0);
      }
    }
  }
}

TEST(T7Tables, WarnsOnTheFrequencyAndRefusesWhatItCannotRead) {
  const auto node = [](double ez, double er, double h) {
    return test::g(ez) + " " + test::g(er) + " 0 " + test::g(h) + "\n";
  };
  std::string glued = t7("0 4 4\n200\n0 2 2\n", node);
  glued.replace(glued.find("1001\n"), 4, "1001x");
  struct Case {
    const char* what;
    std::string table;
    double frequency;
    const char* outcome;  // the warning, or part of the error
  };
  const std::vector<Case> cases = {
      {"2 % off", t7("0 4 4\n200\n0 2 2\n", node), 204.0e6,
       " Warning: Frequency 204 MHz, 2 % off the T7's 200 MHz"},
      {"within 1 %", t7("0 4 4\n200\n0 2 2\n", node), 201.9e6, ""},
      {"static field", "0 2 2\r\n0 4 4\r\n1 2\r\n3 4\r\n", 1.0e9,
       "as T7 tables of static fields do"},
      {"text after the table", t7("0 4 4\n200\n0 2 2\n", node) + "x", 200.0e6,
       ""},
      {"cut short", t7("0 4 4\n200\n0 2 3\n", node), 200.0e6,
       "end of file: expected Ez"},
      {"glued", glued, 200.0e6, "expected H, found \"1001x\""},
      // A frequency that no RF field has, and a damaged grid record
      // reported at its own line rather than read as some other table.
      {"frequency 0", t7("0 4 4\n0\n0 2 2\n", node), 200.0e6,
       "frequency record (line 2) gives 0 MHz"},
      {"frequency negative", t7("0 4 4\n-200\n0 2 2\n", node), 200.0e6,
       "gives -200 MHz"},
      {"frequency with its unit", t7("0 4 4\n200 MHz\n0 2 2\n", node), 200.0e6,
       "T7 grid record 2 holds the frequency [MHz] alone, found \"200 MHz\" "
       "(line 2)"},
      {"first record glued", t7("0 4 4x\n200\n0 2 2\n", node), 200.0e6,
       "found \"4x\" (T7 grid record 1: Zmin Zmax and the number of z "
       "intervals) (line 1)"},
      {"third record short", t7("0 4 4\n200\n0 2\n", node), 200.0e6,
       "expected an integer (number of r intervals) (T7 grid record 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InputScratchDir dir;
    dir.write("t.T7", c.table);
    auto s = table_run(dir, "t.T7");
    s->Frequency = c.frequency;
    try {
      READ_FIELD_TABLE(*s);
      const std::string line =
          *c.outcome ? std::string(c.outcome) : std::string();
      EXPECT_EQ(s->errout.memory(),
                testing::console_lines(line.empty() ? "" : line + "\n"));
      EXPECT_NE(s->log.memory().find(line.empty()
                                         ? std::string(kInputGridHeading)
                                         : " " + line + "\r\n " +
                                               std::string(kInputGridHeading)),
                std::string::npos);
      EXPECT_EQ(s->log.memory().find("Warning") != std::string::npos,
                !line.empty());
    } catch (const TableRejected& e) {
      EXPECT_NE(e.problem.find(c.outcome), std::string::npos) << e.problem;
    } catch (const IoError& e) {
      const std::string msg =
          e.kind + ": " + e.detail + " (line " + std::to_string(e.line) + ")";
      EXPECT_NE(msg.find(c.outcome), std::string::npos) << msg;
      EXPECT_NE(*c.outcome, '\0') << msg;
    }
  }
}

// The gun's T7 file and its six-column table from the same solver run
// print different digits of the same field: the two field files agree to
// 1e-6 of each field's peak.
TEST(T7Tables, GunT7RunAgreesWithItsSixColumnTable) {
  const std::filesystem::path tables = testing::shared_tables_dir();
  const std::string names[2] = {"swifel-qwr-gun-176mhz.T7",
                                "swifel-qwr-gun-176mhz.txt"};
  for (const auto& n : names) {
    if (!std::filesystem::exists(tables / n)) {
      GTEST_SKIP() << "the real tables are absent: " << (tables / n);
    }
  }
  std::vector<testing::FieldFileData> files;
  for (const auto& n : names) {
    testing::ScratchDir dir;
    std::filesystem::copy_file(tables / n, dir / n);
    dir.write("zereduv.dat",
              "gun\r\n\r\n" + n +
                  "\r\n0\r\n1\r\n0\r\n0 0 0\r\n175.715180667E6\r\n20.0\r\n"
                  "1.5\r\n0\r\n1.0\r\n");
    const auto r = testing::run_program(ZEREDUV_EXE, {}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    files.push_back(testing::read_field_file(dir / "eh_ZIV.#01", 0));
  }
  for (std::size_t c = 0; c < 6; c += 3) {
    double peak = 0.0, worst = 0.0;
    for (std::size_t k = c; k < c + 3; ++k) {
      for (std::size_t p = 0; p < files[1].f[k].size(); ++p) {
        peak = std::max(peak, std::fabs(files[1].f[k][p]));
        worst = std::max(worst, std::fabs(files[0].f[k][p] - files[1].f[k][p]));
      }
    }
    EXPECT_GT(peak, 0.0);
    EXPECT_LE(worst, 1e-6 * peak) << (c == 0 ? "E" : "B");
  }
}

}  // namespace
}  // namespace zereduv
