// The field solver's real output tables (kept outside the repository):
// every node the reader stores is checked against the file's own records,
// split here by a separate, plain parser.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "input/field_table.h"
#include "input/symmetry.h"
#include "support/input_tables.h"
#include "support/shared_tables.h"

namespace zereduv {
namespace {

const std::filesystem::path kTables = testing::shared_tables_dir();

struct RealTable {
  const char* file;
  int32_t isym_z;
  int32_t nz, nr;           // nodes in the table
  double zmin, zmax, rmax;  // limits as written (Rmin is 0 in all)
  int first_node_line;      // 1-based record number of the first node
  double unit = 1.0;        // 10 for the tables in mm
};

// The six values of each of `count` records from record `first` on.
std::vector<std::vector<double>> node_values(const std::filesystem::path& p,
                                             int first, long count) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  const std::string text = ss.str();
  std::vector<std::vector<double>> rows;
  std::size_t pos = 0;
  for (int line = 1;
       pos < text.size() && static_cast<long>(rows.size()) < count; ++line) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string::npos)
      eol = text.size();
    if (line >= first) {
      std::vector<double> v;
      const char* c = text.data() + pos;
      const char* end = text.data() + eol;
      while (c < end) {
        while (c < end && (*c == ' ' || *c == '\r'))
          ++c;
        if (c == end)
          break;
        double x = 0.0;
        auto r = std::from_chars(c, end, x);
        if (r.ec != std::errc())
          break;
        v.push_back(x);
        c = r.ptr;
      }
      rows.push_back(v);
    }
    pos = eol + 1;
  }
  return rows;
}

// Short test names in the listing: the file, not the object's bytes.
void PrintTo(const RealTable& t, std::ostream* os) {
  *os << t.file;
}

class RealTableTest : public ::testing::TestWithParam<RealTable> {};

TEST_P(RealTableTest, ReadsCompletesAndReports) {
  const RealTable& t = GetParam();
  const auto path = kTables / t.file;
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << path << " is absent";

  test::InputScratchDir dir;
  std::filesystem::copy_file(path, dir.path() / t.file);
  auto s = test::table_run(dir, t.file, t.isym_z);
  s->mu1 = 4.0e-3 * 3.14159265358979323846;
  const TableHeader header = READ_FIELD_TABLE(*s).header;
  ASSERT_EQ(s->Nz, t.nz);
  ASSERT_EQ(s->Nr, t.nr);
  EXPECT_EQ(s->Rmin, 0.0);
  EXPECT_EQ(s->Rmax, t.rmax / t.unit);
  const double zmax = (t.zmax / t.unit - t.zmin / t.unit) / 2.0;
  EXPECT_EQ(s->Zmax, zmax);
  EXPECT_EQ(s->Zmin, -s->Zmax);
  const std::string log = s->log.memory();
  EXPECT_NE(log.find(kCentredZLabel), std::string::npos);
  EXPECT_EQ(header.unit == TableHeader::LengthUnit::Mm, t.unit == 10.0);

  // Every node record where it belongs, in field units.
  const auto rows =
      node_values(path, t.first_node_line, static_cast<long>(t.nz) * t.nr);
  ASSERT_EQ(rows.size(),
            static_cast<std::size_t>(t.nz) * static_cast<std::size_t>(t.nr));
  for (std::size_t n = 0; n < rows.size(); ++n) {
    ASSERT_EQ(rows[n].size(), 6u) << "record " << n;
    const int32_t i = static_cast<int32_t>(n) / t.nz + 1;
    const int32_t j = static_cast<int32_t>(n) % t.nz + 1;
    ASSERT_EQ(s->Ez2D(i, j), rows[n][2] * 10000.0) << i << "," << j;
    ASSERT_EQ(s->Er2D(i, j), rows[n][3] * 10000.0) << i << "," << j;
    ASSERT_EQ(s->B2D(i, j), rows[n][5] * s->mu1) << i << "," << j;
  }

  // The completion keeps the table at the upper or lower half.
  const Map2D ez = s->Ez2D, er = s->Er2D, b = s->B2D;
  COMPLETE_SYMMETRY(*s);
  const bool mirrored =
      t.isym_z == 2 || t.isym_z == -2 || t.isym_z == 1 || t.isym_z == -1;
  const int32_t full = mirrored ? 2 * t.nz - 1 : t.nz;
  ASSERT_EQ(s->Nz, full);
  EXPECT_EQ(s->Zgrid.size(), full);
  EXPECT_EQ(s->Rgrid.size(), t.nr);
  EXPECT_EQ(s->Zgrid(1), s->Zmin);
  EXPECT_EQ(s->Zmax, mirrored ? zmax * 2.0 : zmax);
  if (t.isym_z == 2) {
    // Ez and B even, Er odd about the first table node, now at index nz.
    for (int32_t i = 1; i <= t.nr; ++i) {
      for (int32_t k = 0; k < t.nz; ++k) {
        ASSERT_EQ(s->Ez2D(i, t.nz + k), ez(i, 1 + k));
        ASSERT_EQ(s->Ez2D(i, t.nz - k), ez(i, 1 + k));
        ASSERT_EQ(s->B2D(i, t.nz - k), b(i, 1 + k));
        ASSERT_EQ(s->Er2D(i, t.nz + k), er(i, 1 + k));
        if (k > 0) {
          ASSERT_EQ(s->Er2D(i, t.nz - k), -er(i, 1 + k));
        }
      }
    }
  }
  EXPECT_NE(s->log.memory().find(kFullGridHeading), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Sns, RealTableTest,
    ::testing::Values(RealTable{"sns-mebt-rebuncher-402mhz-201x51.txt", 2, 201,
                                51, 0.0, 5.048, 1.5, 35},
                      RealTable{"sns-mebt-rebuncher-402mhz-301x101-large.txt",
                                2, 301, 101, 0.0, 5.0, 1.5, 34}),
    [](const ::testing::TestParamInfo<RealTable>& p) {
      return std::string(p.param.nz == 201 ? "Grid201x51" : "Grid301x101");
    });

// The gun map has two normalisation records before its column titles; the
// three 2856 MHz maps give their lengths in mm.
INSTANTIATE_TEST_SUITE_P(
    Variants, RealTableTest,
    ::testing::Values(RealTable{"swifel-qwr-gun-176mhz.txt", 0, 100, 20, 50.0,
                                70.0, 3.0, 37},
                      RealTable{"dlc-3cell-2856mhz-mm.txt", 0, 106, 11, 0.0,
                                104.865, 10.0, 35, 10.0},
                      RealTable{"buncher-3cell-2856mhz-beta056-open-mm.txt", 0,
                                101, 11, 0.0, 58.782, 10.0, 35, 10.0},
                      RealTable{"pillbox-2856mhz-mm.txt", 0, 201, 23, 0.0,
                                83.0880279, 11.0, 35, 10.0}),
    [](const ::testing::TestParamInfo<RealTable>& p) {
      std::string name;
      for (const char* c = p.param.file; *c != '-'; ++c)
        name += *c;
      return name;
    });

}  // namespace
}  // namespace zereduv
