// The command line: exit statuses, the JSON that parses back, the CSV, and
// the SVG picture parsed as XML (and rendered by a headless browser where
// one is installed).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifdef ZEREDUV_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

#ifdef ZEREDUV_HAVE_EXPAT
#include <expat.h>
#endif
#ifdef ZEREDUV_HAVE_ZLIB
#include <zlib.h>

#include <cstdint>
#include <set>
#endif

#include "cli.h"
#include "inspect_tables.h"
#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"
#include "support/scratch_dir.h"
#include "svg.h"

namespace zereduv::inspect {
namespace {

using testing::ScratchDir;

struct CliRun {
  int status;
  std::string out, err;
};

CliRun run(std::vector<std::string> args) {
  CliRun r;
  r.status = run_inspect(args, r.out, r.err);
  return r;
}

/// A whole pillbox table at 1.3 GHz, and a small damaged field file.
struct Files {
  ScratchDir dir;
  std::string table, field;
  Files() {
    dir.write("pillbox.txt",
              testing::make_table(testing::pillbox(1.3e9, 4.0, 40, 30)));
    table = (dir / "pillbox.txt").string();
    TextOut out(7, "field", LineEnd::CrLf);
    out.list({10.0, 1.5, int32_t{0}});
    out.list({int32_t{0}, int32_t{0}});  // two keys: a short line
    dir.write("eh_ZIV.#01", out.memory());
    field = (dir / "eh_ZIV.#01").string();
  }
};

TEST(InspectCli, ExitStatuses) {
  Files f;
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* out;  // part of stdout
    const char* err;  // part of stderr
  };
  const Row rows[] = {
      {{"--help"}, kExitOk, "Usage: zereduv-inspect table FILE", ""},
      {{"table", "x", "--help"}, kExitOk, "Usage:", ""},
      {{"--version"}, kExitOk, "zereduv-inspect ", ""},
      {{}, kExitUsage, "", "no command given"},
      {{"frobnicate", "x"}, kExitUsage, "", "unknown command"},
      {{"table"}, kExitUsage, "", "table needs a FILE"},
      {{"table", f.table, "--frequency", "1.3 GHz"},
       kExitUsage,
       "",
       "--frequency wants a frequency in Hz"},
      {{"table", f.table, "--frequency"}, kExitUsage, "", "needs a value"},
      {{"table", f.table, "--isym", "two"}, kExitUsage, "", "--isym wants"},
      {{"field", f.field, "--isym", "2"}, kExitUsage, "", "applies to table"},
      {{"control", "--scale-voltage", "2"}, kExitUsage, "", "needs --beta"},
      {{"control", "--beta", "1.5"}, kExitUsage, "", "a beta in (0, 1]"},
      {{"table", f.table, "--scale-peak-ez", "5"},
       kExitUsage,
       "",
       "apply to control only"},
      {{"control", (f.dir / "none.dat").string()},
       kExitUnreadable,
       "",
       "cannot read control file"},
      {{"table", f.table, "--bogus"}, kExitUsage, "", "unknown option --bogus"},
      {{"table", (f.dir / "missing.txt").string()},
       kExitUnreadable,
       "",
       "cannot read table"},
      {{"field", (f.dir / "missing").string()},
       kExitUnreadable,
       "",
       "cannot open"},
      {{"field", f.field},
       kExitDamaged,
       "",
       "is damaged at line 2 (byte offset 62): expected 36 characters"},
      {{"field", f.table}, kExitDamaged, "", "not a field file"},
      {{"table", f.table, "--frequency=1.3e9"},
       kExitOk,
       "Suggested isym_z    0",
       ""},
      {{"table", f.table, "--frequency", "1.4e9"},
       kExitOk,
       "Warning: the frequency given, 1400 MHz, differs",
       ""},
  };
  for (const auto& r : rows) {
    CliRun got = run(r.args);
    std::string name;
    for (const auto& a : r.args)
      name += a + " ";
    EXPECT_EQ(got.status, r.status) << name << "\n" << got.err;
    EXPECT_NE(got.out.find(r.out), std::string::npos) << name << got.out;
    EXPECT_NE(got.err.find(r.err), std::string::npos) << name << got.err;
    if (r.status != kExitOk) {
      EXPECT_EQ(got.out, "") << name;
    }
  }
}

TEST(InspectCli, PoissonTableIsRejected) {
  ScratchDir dir;
  // A static table: limits record names Rmin first, columns R Z Er Ez |E| V.
  std::string t =
      "Poisson test\r\n(Rmin,Zmin) = (0.0,0.0)\r\n(Rmax,Zmax) = (1,2)\r\n"
      "R and Z increments:     2     2\r\n\r\n"
      "      R             Z              Er            Ez            |E|"
      "           V \r\n    (cm)          (cm)           (V/cm)        (V/cm)"
      "        (V/cm)        (V) \r\n";
  for (int k = 0; k < 9; ++k)
    t += "  0.0  0.0  1.0  1.0  1.0  1.0\r\n";
  dir.write("poisson.txt", t);
  CliRun got = run({"table", (dir / "poisson.txt").string()});
  EXPECT_EQ(got.status, kExitUnusable) << got.err << got.out;
  EXPECT_NE(got.err.find("cannot be used"), std::string::npos) << got.err;
}

TEST(InspectCli, JsonParsesBack) {
  Files f;
  CliRun t = run({"table", f.table, "--json", "--frequency", "1.3e9"});
#ifndef ZEREDUV_HAVE_JSON
  // Built without nlohmann-json: --json is refused as a bad command line.
  EXPECT_EQ(t.status, kExitUsage);
  EXPECT_EQ(t.out, "");
  EXPECT_NE(t.err.find("--json is not available in this build"),
            std::string::npos)
      << t.err;
  GTEST_SKIP() << "built without nlohmann-json: no JSON to parse back";
#else
  ASSERT_EQ(t.status, kExitOk) << t.err;
  nlohmann::json j = nlohmann::json::parse(t.out);
  EXPECT_EQ(j["kind"], "field table");
  EXPECT_EQ(j["grid"]["nz"], 41);
  EXPECT_EQ(j["grid"]["nr"], 31);
  EXPECT_EQ(j["suggested_isym_z"], 0);
  // Both end planes of a pillbox look like mirror planes: it may be a half.
  EXPECT_EQ(j["half_isym_z"], 2);
  EXPECT_EQ(j["length_unit"], "cm");
  EXPECT_NEAR(j["maxwell"]["implied_frequency_Hz"].get<double>() / 1.3e9, 1.0,
              1e-3);
  EXPECT_NEAR(j["maxwell"]["median_frequency_Hz"].get<double>() / 1.3e9, 1.0,
              1e-3);
  EXPECT_NEAR(j["maxwell"]["avg_ratio"].get<double>(), -1.0, 1e-3);
  EXPECT_EQ(j["maxwell"]["switched"], "B");
  ASSERT_EQ(j["transit"]["table"].size(), 20u);
  EXPECT_DOUBLE_EQ(j["transit"]["table"][19]["beta"].get<double>(), 1.0);

  // The text report and the JSON tell the same numbers.
  CliRun text = run({"table", f.table, "--frequency", "1.3e9"});
  EXPECT_NE(text.out.find("isym_z = 0 (suggested)"), std::string::npos);
#endif
}

TEST(InspectCli, CsvAndOnAxisFileHoldTheAxis) {
  Files f;
  std::string csv = (f.dir / "axis.csv").string();
  std::string onaxis = (f.dir / "axis.dat").string();
  CliRun t = run({"table", f.table, "--csv", csv, "--onaxis", onaxis,
                  "--frequency", "1.3e9"});
  ASSERT_EQ(t.status, kExitOk) << t.err;
  std::string c = f.dir.read("axis.csv");
  ASSERT_EQ(c.rfind("z_cm,Ez_MV_per_m\n", 0), 0u);
  EXPECT_EQ(std::count(c.begin(), c.end(), '\n'), 42);
  // First node: z = -2 cm (centred), Ez = E0 J0(0) = 1 MV/m; in SI units
  // after the comment line.
  EXPECT_EQ(c.substr(17, 5), "-2,1\n");
  std::string a = f.dir.read("axis.dat");
  const std::string head =
      "# on-axis Ez: z [m], Ez [V/m]; frequency 1300000000 Hz (given); "
      "source field table " +
      f.table + ", isym_z 0, z centred on the map\n";
  ASSERT_EQ(a.rfind(head, 0), 0u) << a.substr(0, 200);
  EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 42);
  EXPECT_EQ(a.substr(head.size(), 14), "-0.02 1000000\n");
}

#ifdef ZEREDUV_HAVE_EXPAT
struct XmlCount {
  int elements = 0, polylines = 0, rects = 0;
  std::string root;
};

void XMLCALL on_start(void* data, const XML_Char* name, const XML_Char**) {
  auto* c = static_cast<XmlCount*>(data);
  if (c->elements++ == 0)
    c->root = name;
  std::string n = name;
  if (n == "http://www.w3.org/2000/svg polyline")
    ++c->polylines;
  if (n == "http://www.w3.org/2000/svg rect")
    ++c->rects;
}
#endif

TEST(InspectCli, SvgIsWellFormed) {
#ifndef ZEREDUV_HAVE_EXPAT
  GTEST_SKIP() << "built without expat: no XML parser for the check";
#else
  Files f;
  std::string svg = (f.dir / "table.svg").string();
  CliRun t = run({"table", f.table, "--svg", svg});
  ASSERT_EQ(t.status, kExitOk) << t.err;
  std::string doc = f.dir.read("table.svg");
  XML_Parser p = XML_ParserCreateNS("UTF-8", ' ');
  XmlCount count;
  XML_SetUserData(p, &count);
  XML_SetStartElementHandler(p, on_start);
  XML_Status st = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1);
  std::string error = st == XML_STATUS_OK
                          ? ""
                          : std::string(XML_ErrorString(XML_GetErrorCode(p))) +
                                " at line " +
                                std::to_string(XML_GetCurrentLineNumber(p));
  XML_ParserFree(p);
  ASSERT_EQ(error, "");
  EXPECT_EQ(count.root, "http://www.w3.org/2000/svg svg");
  EXPECT_EQ(count.polylines, 1);
  // Background, the tile of the no-field hatching, three frames, two maps
  // of 41 x 31 cells, each with its colour bar of 50 cells and a frame.
  EXPECT_EQ(count.rects, 1 + 1 + 3 + 2 * (41 * 31 + 51));
#endif
}

#ifdef ZEREDUV_HAVE_ZLIB
// The distinct colours of an 8-bit RGB or RGBA PNG (0 for other kinds).
std::size_t png_colours(const std::string& png) {
  auto be32 = [&](std::size_t at) {
    return (std::uint32_t(std::uint8_t(png[at])) << 24) |
           (std::uint32_t(std::uint8_t(png[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(png[at + 2])) << 8) |
           std::uint32_t(std::uint8_t(png[at + 3]));
  };
  std::uint32_t w = be32(16), h = be32(20);
  const int depth = png[24], type = png[25];
  if (depth != 8 || (type != 2 && type != 6))
    return 0;
  const std::size_t bpp = type == 6 ? 4 : 3;
  std::string idat;
  for (std::size_t at = 8; at + 8 <= png.size();) {
    const std::uint32_t len = be32(at);
    if (png.compare(at + 4, 4, "IDAT") == 0)
      idat += png.substr(at + 8, len);
    at += 12 + len;
  }
  const std::size_t stride = w * bpp;
  std::vector<unsigned char> raw((stride + 1) * h), img(stride * h);
  uLongf n = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &n, reinterpret_cast<const Bytef*>(idat.data()),
                 static_cast<uLong>(idat.size())) != Z_OK)
    return 0;
  for (std::size_t y = 0; y < h; ++y) {
    const unsigned char* in = &raw[y * (stride + 1) + 1];
    unsigned char* out = &img[y * stride];
    const unsigned char* up = y ? out - stride : nullptr;
    for (std::size_t x = 0; x < stride; ++x) {
      int a = x >= bpp ? out[x - bpp] : 0, b = up ? up[x] : 0,
          c = up && x >= bpp ? up[x - bpp] : 0;
      int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
          pc = std::abs(p - c);
      int pred[] = {0, a, b, (a + b) / 2,
                    pa <= pb && pa <= pc ? a
                    : pb <= pc           ? b
                                         : c};
      out[x] =
          static_cast<unsigned char>(in[x] + pred[raw[y * (stride + 1)] % 5]);
    }
  }
  std::set<std::uint32_t> colours;
  for (std::size_t k = 0; k + 2 < img.size(); k += bpp)
    colours.insert((std::uint32_t{img[k]} << 16) |
                   (std::uint32_t{img[k + 1]} << 8) |
                   std::uint32_t{img[k + 2]});
  return colours.size();
}
#endif

TEST(InspectCli, SvgRendersInHeadlessChromium) {
  const char* chromium = "/usr/bin/chromium";
  if (!std::filesystem::exists(chromium))
    GTEST_SKIP() << chromium << " is not installed: no rendering check";
  Files f;
  std::string svg = (f.dir / "table.svg").string();
  ASSERT_EQ(run({"table", f.table, "--svg", svg}).status, kExitOk);
  std::string png = (f.dir / "table.png").string();
  std::string cmd = std::string(chromium) +
                    " --headless --no-sandbox --disable-gpu "
                    "--window-size=900,930 --screenshot=" +
                    png + " file://" + svg + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::string image = f.dir.read("table.png");
  ASSERT_GT(image.size(), 1000u);
  EXPECT_EQ(image.substr(1, 3), "PNG");
#ifdef ZEREDUV_HAVE_ZLIB
  // Not blank: the colour maps alone bring dozens of colours.
  EXPECT_GT(png_colours(image), 30u);
#endif
}

TEST(InspectSvg, ShortNamesKeepTheirEnd) {
  const std::string e = "\xE2\x80\xA6";
  EXPECT_EQ(short_name("pillbox.txt", 12), "pillbox.txt");
  EXPECT_EQ(short_name("/work/shared/data/gun.T7", 12), e + "/gun.T7");
  EXPECT_EQ(short_name("/d/caf\xC3\xA9-pillbox.txt", 16),
            e + "-pillbox.txt");  // not inside the two bytes of the e acute
}

TEST(InspectCli, ProgramPrintsItsVersion) {
  std::FILE* p = ::popen(ZEREDUV_INSPECT_EXE " --version", "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p))
    out += buf;
  EXPECT_EQ(::pclose(p), 0);
  EXPECT_EQ(out, version_text());
}

}  // namespace
}  // namespace zereduv::inspect
