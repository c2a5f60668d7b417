// The pre-flight of a control file on a pillbox map whose radius is the
// output grid's aperture: the points outside the map, and FieldScale
// targets that the report meets once the factor is in record 12.
#include <gtest/gtest.h>

#include <cmath>
#ifdef ZEREDUV_HAVE_JSON
#include <nlohmann/json.hpp>
#endif
#include <numbers>
#include <string>

#include "cli.h"
#include "control_inspect.h"
#include "inspect_tables.h"
#include "support/control_file.h"
#include "support/scratch_dir.h"

namespace zereduv::inspect {
namespace {

using testing::ScratchDir;

struct Pillbox {
  ScratchDir dir;
  testing::TableSpec table = testing::pillbox(1.3e9, 4.0, 40, 30);
  Pillbox() { dir.write("pb.txt", testing::make_table(table)); }
  // The control file with this FieldScale; Aperture is Rmax as the table
  // writes it, the grid as long as the map.
  std::filesystem::path control(const std::string& scale) const {
    testing::ControlRecords c;
    c.title = "pillbox";
    c.table = "pb.txt";
    c.isym_z = "0";
    c.file_number = "7";
    c.field_format = "2";
    c.element_length = "4.0";
    c.aperture = testing::table_number(table.rmax, false);
    c.field_scale = scale;
    dir.write("zereduv.dat", c.text());
    return dir / "zereduv.dat";
  }
};

std::string exact(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

TEST(ControlInspect, PointsOutsideTheMapAndScaleTargets) {
  Pillbox p;
  const ControlReport base = inspect_control(p.control("1.0"), {});
  EXPECT_EQ(base.plane_outside, 184);
  EXPECT_EQ(base.plane_points, 625);
  EXPECT_EQ(base.outside, 184 * 201);
  EXPECT_TRUE(base.corner_past_rmax);
  EXPECT_FALSE(base.z_past_map);
  EXPECT_EQ(base.switched, "B");
  EXPECT_EQ(base.out_name, "eh_ZIV.#07");
  EXPECT_FALSE(base.out_exists);
  EXPECT_NEAR(base.peak_ez, 1.0, 1e-6);
  EXPECT_LT(std::fabs(base.resampling_rel), 1e-3);
  // Ez uniform along the gap: the crest of Ez cos(wt + phi) for a particle
  // entering at t = 0 is phi = -omega (L / 2) / (beta c).
  EXPECT_NEAR(base.crest_deg,
              -2.0 * std::numbers::pi * 1.3e9 * 0.02 /
                  (base.best.beta * testing::kC) * 180.0 / std::numbers::pi,
              1e-6);

  struct Target {
    ControlOptions opt;
    double want;
  };
  const Target targets[] = {{{7.5, {}, {}}, 7.5}, {{{}, 0.8, 0.7}, 0.8}};
  for (const auto& t : targets) {
    const ControlReport first = inspect_control(p.control("1.0"), t.opt);
    const auto scale =
        t.opt.peak_ez ? first.scale_for_peak : first.scale_for_voltage;
    ASSERT_TRUE(scale.has_value());
    const ControlReport again =
        inspect_control(p.control(exact(*scale)), {{}, {}, t.opt.beta});
    const double got =
        t.opt.peak_ez ? std::fabs(again.peak_ez) : again.at_beta.gain;
    EXPECT_NEAR(got / t.want, 1.0, 1e-9) << exact(*scale);
  }

#ifdef ZEREDUV_HAVE_JSON
  // The command line: JSON that parses back, and a field file in the way.
  p.dir.write("eh_ZIV.#07", "");
  std::string out, err;
  ASSERT_EQ(
      run_inspect({"control", p.control("1.0").string(), "--json"}, out, err),
      kExitOk)
      << err;
  const auto j = nlohmann::json::parse(out);
  EXPECT_EQ(j["grid"]["plane_outside_points"], 184);
  EXPECT_EQ(j["field_file"]["exists"], true);
#endif
}

// The same pillbox as a T7 table: `table` checks it at the frequency the
// file states when none is given, and `control` compares with it.
TEST(ControlInspect, T7TableStatesItsFrequency) {
  Pillbox p;
  const auto& t = p.table;
  std::string t7 = "0 4 40\r\n1300\r\n0 " + exact(t.rmax) + " 30\r\n";
  for (int i = 0; i <= t.r_intervals; ++i)
    for (int j = 0; j <= t.z_intervals; ++j) {
      const auto f =
          t.field(4.0 * j / t.z_intervals, t.rmax * i / t.r_intervals);
      t7 += exact(f.ez) + " " + exact(f.er) + " 0\r\n" + exact(f.h) + "\r\n";
    }
  p.dir.write("pb.T7", t7);
  const TableReport tr = inspect_table(p.dir / "pb.T7", {});
  EXPECT_EQ(tr.header.variant, TableHeader::Variant::T7);
  EXPECT_EQ(tr.maxwell.frequency, 1.3e9);
  EXPECT_EQ(tr.tt_frequency_source, "T7 file");
  EXPECT_NEAR(tr.maxwell.implied_frequency / 1.3e9, 1.0, 1e-3);

  std::string control = p.dir.read(p.control("1.0").filename().string());
  control.replace(control.find("pb.txt"), 6, "pb.T7");
  control.replace(control.find("1.3E9"), 5, "1.4E9");
  p.dir.write("zereduv.dat", control);
  const ControlReport r = inspect_control(p.dir / "zereduv.dat", {});
  EXPECT_TRUE(r.t7);
  EXPECT_NEAR(r.t7_percent, 100.0 / 13.0, 1e-9);
}

// The shipped example is a half pillbox whose end planes both look like
// mirror planes: its key 2 is one of the two readings, not a contradiction.
TEST(ControlInspect, ShippedExampleKeyIsOneOfTheTwoReadings) {
  const ControlReport r =
      inspect_control(ZEREDUV_SOURCE_DIR "/examples/pillbox/zereduv.dat", {});
  EXPECT_EQ(r.isym_z, 2);
  EXPECT_EQ(r.half_isym, 2);
  const std::string text = control_text(r);
  EXPECT_NE(text.find("suggest 0 or 2"), std::string::npos) << text;
  EXPECT_EQ(text.find("differs"), std::string::npos) << text;
}

}  // namespace
}  // namespace zereduv::inspect
