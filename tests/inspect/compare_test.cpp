// zereduv-inspect compare: the largest difference of each component, where
// it is and its share of the peak, on maps that differ in known ways; and
// the exit statuses of whole comparisons of runs and a table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli.h"
#include "compare.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace zereduv::inspect {
namespace {

/// A map on the grid +-1.5 cm x +-1.5 cm x +-5 cm whose six components all
/// differ and change sign.
FieldFile analytic_map() {
  FieldFile f;
  f.layout = 0;
  for (int i = 0; i < kNx; ++i)
    f.X[static_cast<std::size_t>(i)] = i * (3.0 / 24) - 1.5;
  f.Y = f.X;
  for (int i = 0; i < kNzOut; ++i)
    f.Z[static_cast<std::size_t>(i)] = i * (10.0 / 200) - 5.0;
  for (std::size_t a = 0; a < 6; ++a) {
    f.comp[a].resize(kOutPoints);
    for (int iz = 1; iz <= kNzOut; ++iz)
      for (int iy = 1; iy <= kNy; ++iy)
        for (int ix = 1; ix <= kNx; ++ix)
          f.comp[a][FieldFile::index(ix, iy, iz)] =
              static_cast<double>(a + 1) * 1000.0 *
              std::cos(0.3 * iz + static_cast<double>(a)) *
              (1 + 0.01 * ix - 0.02 * iy);
  }
  return f;
}

struct Case {
  const char* name;
  std::function<void(FieldFile&)> change;
  // Expected per component: the relative difference and its place.
  std::vector<double> rel;
  int ix, iy, iz;  // for the component `at`, when it is >= 0
  int at;
};

TEST(InspectCompare, LargestDifferenceAndWhereItIs) {
  const FieldFile a = analytic_map();
  auto peak_point = [&](std::size_t c, int& ix, int& iy, int& iz) {
    double best = -1;
    for (int z = 1; z <= kNzOut; ++z)
      for (int y = 1; y <= kNy; ++y)
        for (int x = 1; x <= kNx; ++x) {
          const double v = std::abs(a.comp[c][FieldFile::index(x, y, z)]);
          if (v > best) {
            best = v;
            ix = x, iy = y, iz = z;
          }
        }
  };
  int pix = 0, piy = 0, piz = 0;
  peak_point(4, pix, piy, piz);
  double ez_peak = 0;
  for (double v : a.comp[2])
    ez_peak = std::max(ez_peak, std::abs(v));
  const std::vector<Case> cases = {
      {"identical", [](FieldFile&) {}, {0, 0, 0, 0, 0, 0}, 1, 1, 1, -1},
      // Every value 2 % larger: 2 % of the peak, at the peak.
      {"scaled",
       [](FieldFile& f) {
         for (auto& c : f.comp)
           for (double& v : c)
             v *= 1.02;
       },
       {0.02, 0.02, 0.02, 0.02, 0.02, 0.02},
       pix,
       piy,
       piz,
       4},
      // One value of Ez moved by 150 V/cm, at (3, 17, 150).
      {"one point shifted",
       [](FieldFile& f) { f.comp[2][FieldFile::index(3, 17, 150)] += 150.0; },
       {0, 0, 150.0 / ez_peak, 0, 0, 0},
       3,
       17,
       150,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FieldFile b = a;
    c.change(b);
    const CompareReport r = compare_fields(a, b, 0.0);
    for (std::size_t k = 0; k < 6; ++k)
      EXPECT_NEAR(r.comp[k].max_rel, c.rel[k], 1e-4 * c.rel[k] + 1e-15) << k;
    if (c.at >= 0) {
      const ComponentDiff& d = r.comp[static_cast<std::size_t>(c.at)];
      EXPECT_EQ(d.ix, c.ix);
      EXPECT_EQ(d.iy, c.iy);
      EXPECT_EQ(d.iz, c.iz);
      EXPECT_EQ(d.z, a.Z[static_cast<std::size_t>(c.iz - 1)]);
      EXPECT_EQ(d.b - d.a, b.comp[static_cast<std::size_t>(c.at)]
                                 [FieldFile::index(c.ix, c.iy, c.iz)] -
                               a.comp[static_cast<std::size_t>(c.at)]
                                     [FieldFile::index(c.ix, c.iy, c.iz)]);
    }
    EXPECT_EQ(r.within, c.at < 0);
  }
}

TEST(InspectCompare, GridsMustAgreeToTheDigitsOfTheTextLayouts) {
  const FieldFile a = analytic_map();
  FieldFile rounded = a;  // as a text layout carries it: 15 digits
  for (double& z : rounded.Z)
    z *= 1 + 2e-16;
  EXPECT_NO_THROW(compare_fields(a, rounded, 0.0));
  FieldFile shifted = a;  // the grid moved by half a z step
  for (double& z : shifted.Z)
    z += 0.025;
  EXPECT_THROW(compare_fields(a, shifted, 0.0), GridMismatch);
  FieldFile narrower = a;  // another Aperture
  narrower.X[0] = -1.4;
  EXPECT_THROW(compare_fields(a, narrower, 0.0), GridMismatch);
}

#if defined(ZEREDUV_EXE) && defined(ZEREDUV_INSPECT_EXE)
/// The shipped example run with FieldScale 1 and 1.02 and layouts 0 and 2,
/// compared as a user would: statuses 0 within, 1 beyond, 2 on trouble.
TEST(InspectCompare, ExitStatusesOfWholeRuns) {
  testing::ScratchDir dir;
  const std::string src =
      std::string(ZEREDUV_SOURCE_DIR) + "/examples/pillbox/";
  const std::string table = testing::read_file(src + "pillbox.txt");
  const std::string control = testing::read_file(src + "zereduv.dat");
  auto run_with = [&](const std::string& name, const std::string& layout,
                      const std::string& scale) {
    std::string c = control;
    c.replace(c.find("0            FieldFormat"), 1, layout);
    c.replace(c.find("1.0          FieldScale"), 3, scale);
    dir.write("pillbox.txt", table);
    dir.write("zereduv.dat", c);
    auto r = testing::run_program(ZEREDUV_EXE, {}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::filesystem::rename(dir / "eh_ZIV.#01", dir / name);
  };
  run_with("plain0", "0", "1.0");
  run_with("plain2", "2", "1.0");
  run_with("scaled0", "0", "1.02");
  // Cut short, as by a full disk: still a field file, a damaged one.
  dir.write("cut2", dir.read("plain2").substr(0, 100000));
  const std::string p0 = (dir / "plain0").string(),
                    p2 = (dir / "plain2").string(),
                    s0 = (dir / "scaled0").string(),
                    tab = (dir / "pillbox.txt").string();
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* says;  // in the report or the message
  };
  const std::vector<Row> rows = {
      {{"compare", p0, p0}, 0, "0.0000 % of the peak"},
      // Layout 2 holds 15 digits of layout 0's bits.
      {{"compare", p0, p2, "--tolerance", "1e-13"}, 0, "within"},
      {{"compare", p0, p2}, 1, "beyond"},
      {{"compare", p0, s0, "--tolerance", "1%"}, 1, "2.0000 % of the peak"},
      {{"compare", p0, s0, "--tolerance", "0.03"}, 0, "within"},
      // The table evaluated on the file's grid is what the run wrote.
      {{"compare", p0, tab, "--isym", "2"}, 0, "table on the field file's"},
      // Read whole (the key its end planes suggest first), it is another
      // map, and the report says which key it took.
      {{"compare", p0, tab}, 1, "isym_z = 0"},
      {{"compare", tab, s0, "--isym", "2", "--tolerance", "0.01"}, 1, "beyond"},
      {{"compare", p0, (dir / "none").string()}, 2, "no such file"},
      {{"compare", p0, (dir / "cut2").string()}, 2, "cut2\" is damaged at"},
      {{"compare", tab, tab}, 2, "at least one field file"},
      {{"compare", p0}, 2, "two FILEs"},
      {{"compare", p0, p0, "--tolerance", "-1"}, 2, "--tolerance"},
  };
  for (const Row& row : rows) {
    std::string out, err;
    const int status = run_inspect(row.args, out, err);
    SCOPED_TRACE(row.args[1] + " " + (row.args.size() > 2 ? row.args[2] : ""));
    EXPECT_EQ(status, row.status) << out << err;
    EXPECT_NE((out + err).find(row.says), std::string::npos) << out << err;
  }
}
#endif

}  // namespace
}  // namespace zereduv::inspect
