// The pictures read at a glance: no text overlaps another, measured from
// the picture's own attributes; nodes without field are hatched, with a
// legend entry; the control picture has the output grid over the map.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli.h"
#include "field_inspect.h"
#include "inspect_tables.h"
#include "report.h"
#include "support/scratch_dir.h"

namespace zereduv::inspect {
namespace {

struct Box {
  double x0, y0, x1, y1;
  std::string text;
};

std::string attr(const std::string& tag, const std::string& name) {
  const std::size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos)
    return "";
  const std::size_t from = at + name.size() + 3;
  return tag.substr(from, tag.find('"', from) - from);
}

/// Every <text>'s box as a sans-serif renderer lays it out: 0.6 em per
/// character, 0.75 em above the baseline and 0.25 em below; turned with
/// its rotate(-90 cx cy) when it has one.
std::vector<Box> text_boxes(const std::string& svg) {
  std::vector<Box> boxes;
  for (std::size_t at = svg.find("<text "); at != std::string::npos;
       at = svg.find("<text ", at + 1)) {
    const std::size_t close = svg.find('>', at);
    const std::string tag = svg.substr(at, close - at);
    std::string s =
        svg.substr(close + 1, svg.find("</text>", close) - close - 1);
    std::size_t chars = 0;
    for (std::size_t k = 0; k < s.size(); ++k) {
      if (s[k] == '&')
        k = s.find(';', k);
      if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80)
        ++chars;
    }
    const double x = std::stod(attr(tag, "x")), y = std::stod(attr(tag, "y"));
    const double em = std::stod(attr(tag, "font-size"));
    const double w = 0.6 * em * static_cast<double>(chars);
    const std::string anchor = attr(tag, "text-anchor");
    const double left = anchor == "end"      ? -w
                        : anchor == "middle" ? -w / 2
                                             : 0.0;
    Box b{x + left, y - 0.75 * em, x + left + w, y + 0.25 * em, s};
    if (attr(tag, "transform").rfind("rotate(-90", 0) == 0)
      b = {x - 0.75 * em, y - left - w, x + 0.25 * em, y - left, s};
    boxes.push_back(b);
  }
  return boxes;
}

void expect_clear(const std::string& svg, const char* what) {
  SCOPED_TRACE(what);
  const std::vector<Box> b = text_boxes(svg);
  ASSERT_GT(b.size(), 20u);
  const double width = std::stod(attr(svg.substr(svg.find("<svg")), "width"));
  for (std::size_t i = 0; i < b.size(); ++i) {
    EXPECT_GE(b[i].x0, 0.0) << b[i].text;
    EXPECT_LE(b[i].x1, width) << b[i].text;
    for (std::size_t j = i + 1; j < b.size(); ++j) {
      const bool overlap = b[i].x0 < b[j].x1 && b[j].x0 < b[i].x1 &&
                           b[i].y0 < b[j].y1 && b[j].y0 < b[i].y1;
      EXPECT_FALSE(overlap)
          << "\"" << b[i].text << "\" and \"" << b[j].text << "\"";
    }
  }
}

std::size_t count(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = s.find(what); at != std::string::npos;
       at = s.find(what, at + 1))
    ++n;
  return n;
}

TEST(InspectSvg, NoTextOverlapsAnother) {
  testing::ScratchDir dir;
  // A table with a metal block: E and H zero at r >= 3 cm for z >= 2 cm.
  testing::TableSpec t = testing::pillbox(1.3e9, 4.0, 40, 30);
  auto field = t.field;
  t.field = [field](double z, double r) {
    return z >= 2.0 && r >= 3.0 ? testing::NodeField{} : field(z, r);
  };
  dir.write("cavity.txt", testing::make_table(t));
  dir.write("zereduv.dat",
            "title\r\ntitle\r\ncavity.txt\r\n2\r\n1\r\n0\r\n0 0 0\r\n1.3E9\r\n"
            "12.0\r\n2.0\r\n0\r\n1.0\r\n");
  std::string out, err;
  ASSERT_EQ(run_inspect({"table", (dir / "cavity.txt").string(), "--isym", "0",
                         "--svg", (dir / "table.svg").string()},
                        out, err),
            kExitOk)
      << err;
  ASSERT_EQ(run_inspect({"control", (dir / "zereduv.dat").string(), "--svg",
                         (dir / "control.svg").string()},
                        out, err),
            kExitOk)
      << err;
  // A field file's picture with six-digit values in V/cm.
  FieldFile f;
  f.layout = 0;
  for (int i = 0; i < kNx; ++i)
    f.X[static_cast<std::size_t>(i)] = f.Y[static_cast<std::size_t>(i)] =
        i / 12.0 - 1.0;
  for (int i = 0; i < kNzOut; ++i)
    f.Z[static_cast<std::size_t>(i)] = i / 20.0 - 5.0;
  for (auto& c : f.comp)
    c.assign(kOutPoints, 0.0);
  for (int iz = 1; iz <= kNzOut; ++iz)
    for (int iy = 1; iy <= kNy; ++iy)
      for (int ix = 1; ix <= kNx - 3; ++ix)  // the last x lines outside
        f.comp[2][FieldFile::index(ix, iy, iz)] =
            -123456.0 * std::cos(iz / 30.0);
  const std::string field_pic = field_svg(field_report("eh_ZIV.#01", f));

  const std::string table = dir.read("table.svg");
  const std::string control = dir.read("control.svg");
  expect_clear(table, "table");
  expect_clear(control, "control");
  expect_clear(field_pic, "field");

  // One set of units: MV/m and mT, in every picture.
  for (const std::string* pic : {&table, &control, &field_pic}) {
    EXPECT_EQ(count(*pic, "V/cm"), 0u);
    EXPECT_EQ(count(*pic, "Gauss"), 0u);
    EXPECT_GE(count(*pic, "[MV/m]"), 2u);
    EXPECT_GE(count(*pic, "[mT]"), 1u);
  }
  // Metal hatched in both maps, and said so: the table's nodes without
  // field, in each map, and one legend swatch per map.
  int metal = 0;
  for (int j = 0; j <= 40; ++j)
    for (int i = 0; i <= 30; ++i) {
      const testing::NodeField n =
          t.field(t.zmin + j * (t.zmax - t.zmin) / t.z_intervals,
                  t.rmin + i * (t.rmax - t.rmin) / t.r_intervals);
      metal += n.ez == 0 && n.er == 0 && n.h == 0;
    }
  ASSERT_GT(metal, 100);
  EXPECT_EQ(count(table, "fill=\"url(#nofield)\""),
            2u * static_cast<std::size_t>(metal) + 2u);
  EXPECT_EQ(count(table, "no field (metal, or outside the map)"), 2u);
  // The last three x lines of the field file are outside the map.
  EXPECT_EQ(count(field_pic, "fill=\"url(#nofield)\""), 2u * 3u * kNzOut + 2u);
  // The control picture: the output box and its grid over both maps.
  EXPECT_EQ(count(control, "output grid (every x line"), 2u);
  EXPECT_EQ(count(control, "stroke=\"#e8352b\""), 2u + 2u);
}

}  // namespace
}  // namespace zereduv::inspect
