// Whole runs of the program, from outside: the shipped pillbox example in
// the three layouts, generated pillbox tables whose fields are known in
// closed form, the ways a run stops or fails, and the real field tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "input/symmetry.h"
#include "output/field_file.h"
#include "output/output_grid.h"
#include "output/summary.h"
#include "run/control.h"
#include "run/run_state.h"
#include "support/control_file.h"
#include "support/field_file_reader.h"
#include "support/pillbox.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"
#include "support/shared_tables.h"

namespace zereduv::testing {
namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.141592653589793;

const fs::path kExampleDir =
    fs::path(ZEREDUV_SOURCE_DIR) / "examples" / "pillbox";
const fs::path kRealTables = testing::shared_tables_dir();

const std::string kSep = " " + std::string(kSeparator);
// A list-directed record as the log or the console holds it, from the
// text the phase writes: it opens with a blank.
std::string listed(std::string_view text) {
  return " " + std::string(text);
}
const std::string kSwitchB = listed(kSwitchingB);
const std::string kSwitchE = listed(kSwitchingE);
const std::string kIncompatible = listed(kSignsNotCompatible);

// What a run shows on the console: the table's name, then, when it gets as
// far, the field file's name.
std::string console_of(const std::string& table, bool names_file) {
  std::string out = listed(kReadingFileLabel) + table + "\n";
  if (names_file)
    out += listed(kOutputNameLabel) + "eh_ZIV.#01\n";
  return out;
}

// ---------------------------------------------------------------------------
// Control files

std::string num(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, r.ptr);
  for (char& ch : s) {
    if (ch == 'e')
      ch = 'E';
  }
  if (s.find_first_of(".E") == std::string::npos)
    s += ".0";
  return s;
}

struct Control {
  std::string table = "pillbox.txt";
  int isym_z = 2;
  int file_number = 1;
  int field_format = 0;
  int sym[3] = {0, 0, 0};
  double frequency = 1.3e9;
  double element_length = 12.0;
  double aperture = 2.0;
  int reverse_z = 0;
  double field_scale = 1.0;

  std::string text() const {
    ControlRecords c;
    c.title = "whole-run test";
    c.subtitle = "generated control file";
    c.table = table;
    c.isym_z = std::to_string(isym_z) + "   isym_z";
    c.file_number = std::to_string(file_number) + "   FileNumber";
    c.field_format = std::to_string(field_format) + "   FieldFormat";
    c.sym = std::to_string(sym[0]) + " " + std::to_string(sym[1]) + " " +
            std::to_string(sym[2]) + "   SymX SymY SymZ";
    c.frequency = num(frequency) + "   Frequency [Hz]";
    c.element_length = num(element_length) + "   ElementLength [cm]";
    c.aperture = num(aperture) + "   Aperture [cm]";
    c.reverse_z = std::to_string(reverse_z) + "   ReverseZ";
    c.field_scale = num(field_scale) + "   FieldScale";
    return c.text();
  }
};

// The text with its record n (1-based) replaced.
std::string with_record(const std::string& text, int n,
                        const std::string& rec) {
  std::vector<std::string> recs = split_records(text, true);
  recs.at(static_cast<std::size_t>(n - 1)) = rec;
  std::string t;
  for (const auto& r : recs)
    t += r + "\r\n";
  return t;
}

// ---------------------------------------------------------------------------
// Generated pillbox tables and their closed-form fields

struct Pillbox {
  double frequency = 1.3e9;  // [Hz]
  double length = 11.5;      // cavity length [cm]
  double e0 = 5.0;           // on-axis Ez of the table [MV/m]
  bool half = true;
  bool reverse = false;
  bool mm = false;
  int nz = 60, nr = 20;

  PillboxMode mode() const { return {frequency, std::fabs(e0)}; }
  double k() const { return mode().k(); }               // [1/m]
  double radius() const { return mode().radius_cm(); }  // [cm]

  void write(const fs::path& dir, const std::string& name) const {
    std::vector<std::string> args = {"--frequency", num(frequency),
                                     "--length",    num(length),
                                     "--nz",        std::to_string(nz),
                                     "--nr",        std::to_string(nr),
                                     "--e0",        num(e0),
                                     "--out",       name};
    if (half)
      args.push_back("--half");
    if (reverse)
      args.push_back("--reverse");
    if (mm)
      args.push_back("--mm");
    RunResult g = run_program(PILLBOX_EXE, args, dir);
    ASSERT_EQ(g.status, 0) << g.err;
  }

  // The fields the program must write after its sign correction, which makes
  // Ez positive on the axis and B opposite to it (Ampere-Maxwell with the
  // program's time phase):
  //   Ez = |E0| J0(kr) * 1e4 V/cm,  B_phi = -|E0| 1e6 / eta0 * J1(kr) * mu1 Gs,
  // and mu1 / eta0 = 1e4 / c; both times FieldScale.
  double ez(double r_cm, double scale) const {
    return mode().ez(r_cm) * 1e4 * scale;
  }
  double bphi(double r_cm, double scale) const {
    return -mode().h(r_cm) * (kEta0 * 1e4 / kC) * scale;
  }
};

// Grid coordinate (1-based) of axis a (0 x, 1 y, 2 z) as the file gives it.
double coord(const FieldFileData& d, int layout, int a, int i) {
  if (layout != 2) {
    const std::vector<double>& v = a == 0 ? d.x : a == 1 ? d.y : d.z;
    return v.at(static_cast<std::size_t>(i - 1));
  }
  const double n = a == 2 ? 200.0 : 24.0;
  return (i - 1) * ((d.lim[a][1] - d.lim[a][0]) / n) + d.lim[a][0];
}

// Compares every grid point of the file with the closed-form pillbox fields:
// inside the map (r <= Rmax, |z| <= L/2) interpolated values within a small
// fraction of the peak, outside exactly zero; Er of the table is 0, so Ex,
// Ey and Bz are zero everywhere.
void expect_pillbox_fields(const FieldFileData& d, int layout, const Pillbox& p,
                           double scale) {
  const double rmax = p.radius();
  const double zhalf = p.length / 2.0;
  const double ez_tol = 5e-4 * std::fabs(p.ez(0.0, scale));
  const double b_tol = 5e-4 * std::fabs(p.bphi(1.8412 / p.k() * 100.0, scale));
  int bad = 0, inside = 0, outside = 0;
  for (int iz = 1; iz <= kGz && bad < 10; ++iz) {
    for (int iy = 1; iy <= kGy && bad < 10; ++iy) {
      for (int ix = 1; ix <= kGx && bad < 10; ++ix) {
        const double x = coord(d, layout, 0, ix);
        const double y = coord(d, layout, 1, iy);
        const double z = coord(d, layout, 2, iz);
        const double r = std::sqrt(x * x + y * y);
        const double ex = d.at(kEx, ix, iy, iz), ey = d.at(kEy, ix, iy, iz);
        const double ez = d.at(kEz, ix, iy, iz), bx = d.at(kBx, ix, iy, iz);
        const double by = d.at(kBy, ix, iy, iz), bz = d.at(kBz, ix, iy, iz);
        auto where = [&] {
          return "at (" + std::to_string(ix) + "," + std::to_string(iy) + "," +
                 std::to_string(iz) + "), r = " + std::to_string(r) +
                 ", z = " + std::to_string(z);
        };
        EXPECT_EQ(ex, 0.0) << where();
        EXPECT_EQ(ey, 0.0) << where();
        EXPECT_EQ(bz, 0.0) << where();
        if (std::fabs(r - rmax) < 1e-9 ||
            std::fabs(std::fabs(z) - zhalf) < 1e-9)
          continue;
        if (r <= rmax && std::fabs(z) <= zhalf) {
          ++inside;
          const double b = p.bphi(r, scale);
          const double bx_exp = r > 1e-12 ? -((y * b) / r) : 0.0;
          const double by_exp = r > 1e-12 ? (x * b) / r : 0.0;
          if (std::fabs(ez - p.ez(r, scale)) > ez_tol ||
              std::fabs(bx - bx_exp) > b_tol ||
              std::fabs(by - by_exp) > b_tol) {
            ++bad;
            ADD_FAILURE() << where() << ": Ez " << ez << " (expected "
                          << p.ez(r, scale) << "), Bx " << bx << " (" << bx_exp
                          << "), By " << by << " (" << by_exp << ")";
          }
        } else {
          ++outside;
          if (ez != 0.0 || bx != 0.0 || by != 0.0) {
            ++bad;
            ADD_FAILURE() << where() << " lies outside the map but has Ez "
                          << ez << ", Bx " << bx << ", By " << by;
          }
        }
      }
    }
  }
  EXPECT_GT(inside, 0);
  (void)outside;
}

// ---------------------------------------------------------------------------
// Logs

struct Pat {
  enum Kind { Exact, Prefix, D24, I12, Slice } kind;
  std::string s;
};
Pat exact(std::string s) {
  return {Pat::Exact, std::move(s)};
}
Pat prefix(std::string s) {
  return {Pat::Prefix, std::move(s)};
}

::testing::AssertionResult lines_match(const std::vector<std::string>& lines,
                                       const std::vector<Pat>& pats) {
  for (std::size_t n = 0; n < std::max(lines.size(), pats.size()); ++n) {
    if (n >= lines.size()) {
      return ::testing::AssertionFailure()
             << "log ends at line " << n + 1 << ", expected '" << pats[n].s
             << "'";
    }
    if (n >= pats.size()) {
      return ::testing::AssertionFailure()
             << "extra log line " << n + 1 << ": '" << lines[n] << "'";
    }
    const std::string& l = lines[n];
    const Pat& p = pats[n];
    bool ok = false;
    switch (p.kind) {
    case Pat::Exact:
      ok = l == p.s;
      break;
    case Pat::Prefix:
      ok = l.rfind(p.s, 0) == 0;
      break;
    case Pat::D24:
      ok = l.size() == 24 && l.find_first_not_of(' ') != std::string::npos;
      break;
    case Pat::I12:
      ok = l.size() == 12 && l.find_first_not_of(' ') != std::string::npos;
      break;
    case Pat::Slice:
      ok = l.size() == 94 && l.rfind(kSliceLabel, 0) == 0;
      break;
    }
    if (!ok) {
      static const char* kinds[] = {
          "exactly", "beginning with", "a lone 24-character number",
          "a lone 12-character integer", "a 94-character slice line"};
      return ::testing::AssertionFailure()
             << "log line " << n + 1 << " is '" << l << "', expected "
             << kinds[p.kind]
             << (p.kind <= Pat::Prefix ? " '" + p.s + "'" : std::string());
    }
  }
  return ::testing::AssertionSuccess();
}

const std::string* find_line(const std::vector<std::string>& lines,
                             const std::string& label) {
  for (const auto& l : lines) {
    if (l.rfind(label, 0) == 0)
      return &l;
  }
  return nullptr;
}

// The run state of the run in `dir` up to the Maxwell check: its control
// file and constants, the table's header as written, and the map completed
// in memory as the run completes it.
struct InputOfRun {
  std::unique_ptr<RunState> s = std::make_unique<RunState>();
  TableHeader header;
};
InputOfRun input_of_run(const fs::path& dir) {
  InputOfRun in;
  in.s->WorkDir = dir;
  read_control_file(*in.s, "zereduv.dat");
  DERIVE_CONSTANTS(*in.s);
  in.header = READ_FIELD_TABLE(*in.s).header;
  COMPLETE_SYMMETRY(*in.s);
  return in;
}

// The Maxwell check's statistics and decision for the run in `dir`.
zereduv::MaxwellCheck maxwell_of_run(const fs::path& dir) {
  return maxwell_statistics(*input_of_run(dir).s);
}

double mean_ratio(const fs::path& dir) {
  return maxwell_of_run(dir).avg;
}

// A record of the log that begins with `text`, followed by numbers.
Pat record(std::string_view text) {
  return prefix(listed(text));
}

// The block of constants that opens every log, and its separator.
std::vector<Pat> constants_block() {
  return {record(kMu0Label), record(kMu1Label), record(kEps0Label),
          record(kOmegLabel), exact(kSep)};
}

struct LogShape {
  std::string table;
  int nz_full;      // z nodes after symmetry completion
  bool shifted;     // table z range not centred
  bool warning;     // |mean ratio| > 1.5
  int switched;     // 0 none, 'B' or 'E'
  bool mm = false;  // lengths converted from mm
};

// Everything a run logs up to the end of the Maxwell check's statistics.
std::vector<Pat> log_head(const LogShape& g) {
  std::vector<Pat> p = constants_block();
  p.push_back(exact(listed(kReadingFileLabel) + g.table));
  if (g.mm)
    p.push_back(exact(listed(kMmConverted)));
  for (Pat q : {exact(listed(kInputGridHeading)), record(kInputZLabel),
                record(kInputRLabel), exact(kSep)}) {
    p.push_back(q);
  }
  if (g.shifted) {
    p.push_back(record(kCentredZLabel));
    p.push_back({Pat::D24, ""});
    p.push_back(exact(kSep));
  }
  for (Pat q : {record(kSymmetryKeyLabel), exact(listed(kFullGridHeading)),
                record(kFullRLabel), Pat{Pat::I12, ""}, record(kFullZLabel),
                Pat{Pat::I12, ""}, exact(kSep), exact(listed(kMaxwellHeading)),
                exact(" ")}) {
    p.push_back(q);
  }
  for (int iz = 0; iz < g.nz_full; ++iz)
    p.push_back({Pat::Slice, ""});
  p.push_back(record(kAvgRatioLabel));
  p.push_back(record(kMaxRatioLabel));
  p.push_back(record(kMinRatioLabel));
  return p;
}

std::vector<Pat> output_grid_block() {
  return {exact(kSep),           exact(listed(kOutputGridHeading)),
          record(kOutputXLabel), record(kOutputYLabel),
          record(kOutputZLabel), exact(kSep)};
}

// The log of a run that gets past the Maxwell check, up to the output grid.
std::vector<Pat> log_to_output_grid(const LogShape& g) {
  std::vector<Pat> p = log_head(g);
  if (g.warning)
    p.push_back(exact(listed(kMaxwellWarnHigh)));
  if (g.switched != 0) {
    p.push_back(exact(kIncompatible));
    p.push_back(record(kFirstMaxLabel));
    p.push_back(exact(g.switched == 'B' ? kSwitchB : kSwitchE));
  }
  for (Pat q : output_grid_block())
    p.push_back(q);
  return p;
}

// The log of a complete run.
std::vector<Pat> full_log(const LogShape& g) {
  std::vector<Pat> p = log_to_output_grid(g);
  for (std::string_view l : {kLengthApertureLabel, kSymmetryKeysLabel,
                             kXLimitsLabel, kYLimitsLabel, kZLimitsLabel}) {
    p.push_back(record(l));
  }
  return p;
}

// Files in a directory, by name.
std::vector<std::string> dir_names(const fs::path& dir) {
  std::vector<std::string> v;
  for (const auto& e : fs::directory_iterator(dir))
    v.push_back(e.path().filename().string());
  std::sort(v.begin(), v.end());
  return v;
}

// A scratch copy of the shipped example with its control file changed.
struct ExampleRun {
  ScratchDir dir;
  std::string control;
  ExampleRun() {
    fs::copy_file(kExampleDir / "pillbox.txt", dir / "pillbox.txt");
    control = read_file(kExampleDir / "zereduv.dat");
  }
  RunResult run() {
    write_file(dir / "zereduv.dat", control);
    return run_program(ZEREDUV_EXE, {}, dir.path());
  }
  std::vector<std::string> log() const {
    return split_records(read_file(dir / "zereduv.log"), true);
  }
};

// ---------------------------------------------------------------------------
// The shipped example, in each layout

class ExampleLayout : public ::testing::TestWithParam<int> {};

TEST_P(ExampleLayout, RunsToTheEndWithTheClosedFormFields) {
  const int layout = GetParam();
  ExampleRun ex;
  ex.control =
      with_record(ex.control, 6, std::to_string(layout) + "   FieldFormat");
  const RunResult r = ex.run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, console_of("pillbox.txt", true));

  // Log: the half table (61 z nodes from z = 0) is centred and mirrored into
  // 121 nodes; the table's H has the solver's sign, so B is switched.
  const std::vector<std::string> log = ex.log();
  EXPECT_TRUE(
      lines_match(log, full_log({"pillbox.txt", 121, true, false, 'B'})));
  // The values those records carry, from the run's own state.
  const InputOfRun in = input_of_run(ex.dir.path());
  const double omeg = kPi * 2.0 * 1.3e9;
  EXPECT_NEAR(in.s->omeg, omeg, 1e-14 * omeg);
  EXPECT_EQ(in.header.Zmin, 0.0);
  EXPECT_EQ(in.header.Zmax, 5.75);
  EXPECT_EQ(in.header.z_intervals, 60);
  EXPECT_NEAR(in.header.Rmax, Pillbox{}.radius(), 1e-12);
  EXPECT_EQ(in.header.r_intervals, 20);
  EXPECT_EQ(in.s->Nr, 21);
  EXPECT_EQ(in.s->Zmin, -5.75);
  EXPECT_EQ(in.s->Zmax, 5.75);
  EXPECT_EQ(in.s->Nz, 121);
  EXPECT_EQ(in.s->ElementLength, 12.0);
  EXPECT_EQ(in.s->Aperture, 2.0);
  const zereduv::MaxwellCheck check = maxwell_statistics(*in.s);
  EXPECT_NEAR(check.avg, -1.0, 0.01);
  EXPECT_EQ(check.mxEz, 5e4);
  EXPECT_EQ(check.mxsg, 1.0);

  // The field file: fixed size, its header, and the fields.
  const fs::path file = ex.dir / "eh_ZIV.#01";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), layout_bytes(layout));
  EXPECT_EQ(dir_names(ex.dir.path()),
            (std::vector<std::string>{"eh_ZIV.#01", "pillbox.txt",
                                      "zereduv.dat", "zereduv.log"}));
  FieldFileData d;
  ASSERT_NO_THROW(d = read_field_file(file, layout));
  if (layout == 2) {
    EXPECT_EQ(d.lim[0][0], -2.0);
    EXPECT_EQ(d.lim[0][1], 2.0);
    EXPECT_EQ(d.lim[2][0], -6.0);
    EXPECT_EQ(d.lim[2][1], 6.0);
    EXPECT_EQ(d.counts[0], 25);
    EXPECT_EQ(d.counts[1], 25);
    EXPECT_EQ(d.counts[2], 201);
  } else {
    EXPECT_EQ(d.element_length, 12.0);
    EXPECT_EQ(d.aperture, 2.0);
    EXPECT_EQ(d.header, 0);
    EXPECT_EQ(d.end_marker, -99);
    EXPECT_EQ(d.x.front(), -2.0);
    EXPECT_NEAR(d.x.back(), 2.0, 1e-14);
    EXPECT_EQ(d.z.front(), -6.0);
    EXPECT_NEAR(d.z.back(), 6.0, 1e-14);
  }
  for (int a = 0; a < 3; ++a)
    EXPECT_EQ(d.sym[a], 0);

  // On the axis at the cavity centre Ez = E0 = 5 MV/m = 5e4 V/cm (J0(0) = 1);
  // at x = 2 cm on the centre plane By = B_phi(2 cm).
  const Pillbox p;
  EXPECT_NEAR(d.at(kEz, 13, 13, 101), 5e4, 5e4 * 1e-6);
  EXPECT_NEAR(d.at(kBy, 25, 13, 101), p.bphi(2.0, 1.0),
              5e-4 * std::fabs(p.bphi(2.0, 1.0)));
  EXPECT_LT(d.at(kBy, 25, 13, 101), 0.0);
  expect_pillbox_fields(d, layout, p, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExampleLayout, ::testing::Values(0, 1, 2),
                         [](const auto& tp) {
                           return "Layout" + std::to_string(tp.param);
                         });

// The text layouts carry the values of layout 0 rounded to 15 digits.
TEST(ExampleLayouts, TextLayoutsHoldTheUnformattedValues) {
  std::vector<FieldFileData> d(3);
  for (int layout = 0; layout < 3; ++layout) {
    ExampleRun ex;
    ex.control = with_record(ex.control, 6, std::to_string(layout));
    ASSERT_EQ(ex.run().status, 0);
    ASSERT_NO_THROW(d[static_cast<std::size_t>(layout)] =
                        read_field_file(ex.dir / "eh_ZIV.#01", layout));
  }
  for (std::size_t layout = 1; layout < 3; ++layout) {
    int bad = 0;
    for (std::size_t c = 0; c < 6 && bad < 5; ++c) {
      for (std::size_t n = 0; n < kGridPoints && bad < 5; ++n) {
        const double want = d[0].f[c][n];
        const double got = d[layout].f[c][n];
        if (std::fabs(got - want) > 1e-14 * std::fabs(want)) {
          ++bad;
          ADD_FAILURE() << "layout " << layout << ", component " << c
                        << ", value " << n << ": " << got << " vs " << want;
        }
      }
    }
  }
  for (std::size_t i = 0; i < 25; ++i)
    EXPECT_NEAR(d[1].x[i], d[0].x[i], 1e-14);
  for (std::size_t i = 0; i < 201; ++i)
    EXPECT_NEAR(d[1].z[i], d[0].z[i], 1e-14);
}

// Whatever stands under the field file's name beforehand: a longer file is
// replaced by exactly this run's bytes; a directory cannot be replaced, and
// the run ends with the unit-7 report, without summary lines and without
// leaving a partial or temporary file behind.
class ExistingTarget : public ::testing::TestWithParam<int> {};

TEST_P(ExistingTarget, LongerFileIsReplacedExactly) {
  const int layout = GetParam();
  std::string fresh;
  {
    ExampleRun ex;
    ex.control = with_record(ex.control, 6, std::to_string(layout));
    ASSERT_EQ(ex.run().status, 0);
    fresh = read_file(ex.dir / "eh_ZIV.#01");
  }
  ExampleRun ex;
  ex.control = with_record(ex.control, 6, std::to_string(layout));
  write_file(ex.dir / "eh_ZIV.#01", std::string(20'000'000, 'x'));
  const RunResult r = ex.run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string now = read_file(ex.dir / "eh_ZIV.#01");
  EXPECT_EQ(now.size(), layout_bytes(layout));
  EXPECT_TRUE(now == fresh) << "the run over a longer file wrote other bytes";
  EXPECT_EQ(dir_names(ex.dir.path()),
            (std::vector<std::string>{"eh_ZIV.#01", "pillbox.txt",
                                      "zereduv.dat", "zereduv.log"}));
}

TEST_P(ExistingTarget, DirectoryEndsWithTheUnit7Report) {
  const int layout = GetParam();
  ExampleRun ex;
  ex.control = with_record(ex.control, 6, std::to_string(layout));
  fs::create_directory(ex.dir / "eh_ZIV.#01");
  const RunResult r = ex.run();
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("unit 7"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("eh_ZIV.#01"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(ex.dir / "eh_ZIV.#01"));
  EXPECT_TRUE(fs::is_empty(ex.dir / "eh_ZIV.#01"));
  EXPECT_EQ(dir_names(ex.dir.path()),
            (std::vector<std::string>{"eh_ZIV.#01", "pillbox.txt",
                                      "zereduv.dat", "zereduv.log"}));
  EXPECT_TRUE(lines_match(
      ex.log(), log_to_output_grid({"pillbox.txt", 121, true, false, 'B'})));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExistingTarget, ::testing::Values(0, 1, 2),
                         [](const auto& tp) {
                           return "Layout" + std::to_string(tp.param);
                         });

// ---------------------------------------------------------------------------
// Generated tables: both sign branches, scaling, half grids, reversed rows

struct GenCase {
  const char* name;
  Pillbox table;
  Control control;
  int switched;  // 'B' or 'E'
};

void PrintTo(const GenCase& c, std::ostream* os) {
  *os << c.name;
}

class GeneratedPillbox : public ::testing::TestWithParam<GenCase> {};

TEST_P(GeneratedPillbox, FieldsFollowTheClosedForm) {
  const GenCase& c = GetParam();
  ScratchDir dir;
  c.table.write(dir.path(), c.control.table);
  Control ctl = c.control;
  ctl.frequency = c.table.frequency;
  write_file(dir / "zereduv.dat", ctl.text());
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const int nz_table = c.table.nz + 1;
  const int nz_full = c.control.isym_z == 2 ? 2 * nz_table - 1 : nz_table;
  const std::vector<std::string> log =
      split_records(read_file(dir / "zereduv.log"), true);
  EXPECT_TRUE(lines_match(
      log, full_log({c.control.table, nz_full, true, false, c.switched})));
  EXPECT_NEAR(mean_ratio(dir.path()), -1.0, 0.01);

  char name[16];
  std::snprintf(name, sizeof name, "eh_ZIV.#%02d", c.control.file_number);
  FieldFileData d;
  ASSERT_NO_THROW(d = read_field_file(dir / name, 0));
  for (int a = 0; a < 3; ++a)
    EXPECT_EQ(d.sym[a], c.control.sym[a]);
  // A set key starts the axis at 0; the upper end is never moved.
  EXPECT_EQ(d.x.front(), c.control.sym[0] != 0 ? 0.0 : -c.control.aperture);
  EXPECT_EQ(d.y.front(), c.control.sym[1] != 0 ? 0.0 : -c.control.aperture);
  EXPECT_EQ(d.z.front(),
            c.control.sym[2] != 0 ? 0.0 : -(c.control.element_length / 2.0));
  expect_pillbox_fields(d, 0, c.table, c.control.field_scale);
}

Control control_with(int isym_z, int fileno, std::array<int, 3> sym,
                     double length, double aperture, int reverse,
                     double scale) {
  Control c;
  c.isym_z = isym_z;
  c.file_number = fileno;
  c.sym[0] = sym[0];
  c.sym[1] = sym[1];
  c.sym[2] = sym[2];
  c.element_length = length;
  c.aperture = aperture;
  c.reverse_z = reverse;
  c.field_scale = scale;
  return c;
}

Pillbox table_with(double e0, bool half, bool reverse, double freq = 1.3e9) {
  Pillbox p;
  p.e0 = e0;
  p.half = half;
  p.reverse = reverse;
  p.frequency = freq;
  return p;
}

const GenCase kGenCases[] = {
    // Ez negative in the table: the E field is switched, B kept.  Quarter
    // grid out to 8 cm, so its far corner (r = 11.3 cm) lies beyond the
    // cavity radius (8.83 cm) and gets zeros.
    {"NegativeE0QuarterGridBeyondTheWall", table_with(-3.0, false, false),
     control_with(0, 7, {1, 1, 0}, 12.0, 8.0, 0, 0.5), 'E'},
    // Negative scale, half grid in z, a longer element than the cavity.
    {"NegativeScaleHalfZ", table_with(2.0, true, false),
     control_with(2, 12, {0, 0, 1}, 14.0, 3.0, 0, -2.0), 'B'},
    // Rows written in decreasing z and read with ReverseZ.
    {"ReversedRows", table_with(4.0, false, true, 2.0e9),
     control_with(0, 0, {0, 1, 0}, 9.0, 1.5, 1, 1.0), 'B'},
};

INSTANTIATE_TEST_SUITE_P(Cases, GeneratedPillbox,
                         ::testing::ValuesIn(kGenCases), [](const auto& tp) {
                           return std::string(tp.param.name);
                         });

// A table in mm holds the same cavity: after the reader's conversion the
// field file matches that of the table in cm.
TEST(MillimetreTable, MatchesTheSameTableInCentimetres) {
  std::vector<FieldFileData> d;
  for (bool mm : {false, true}) {
    ScratchDir dir;
    Pillbox p;
    p.mm = mm;
    p.write(dir.path(), "pillbox.txt");
    write_file(dir / "zereduv.dat", Control{}.text());
    const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> log =
        split_records(read_file(dir / "zereduv.log"), true);
    EXPECT_TRUE(
        lines_match(log, full_log({"pillbox.txt", 121, true, false, 'B', mm})));
    d.push_back(read_field_file(dir / "eh_ZIV.#01", 0));
  }
  for (std::size_t c = 0; c < 6; ++c) {
    for (std::size_t n = 0; n < kGridPoints; n += 7) {
      ASSERT_NEAR(d[1].f[c][n], d[0].f[c][n],
                  1e-9 * (1.0 + std::fabs(d[0].f[c][n])))
          << "component " << c << ", value " << n;
    }
  }
}

// ---------------------------------------------------------------------------
// The Maxwell check decides from the frequency in the control file

struct MaxwellCase {
  const char* name;
  double factor;  // control-file frequency / the table's frequency
  bool warning;
  bool stops;
};

void PrintTo(const MaxwellCase& c, std::ostream* os) {
  *os << c.name;
}

class MaxwellCheck : public ::testing::TestWithParam<MaxwellCase> {};

TEST_P(MaxwellCheck, MeanRatioScalesWithTheFrequency) {
  const MaxwellCase& c = GetParam();
  ExampleRun ex;
  ex.control =
      with_record(ex.control, 8, num(1.3e9 * c.factor) + "  Frequency [Hz]");
  const RunResult r = ex.run();
  EXPECT_EQ(r.status, c.stops ? 3 : 0);
  const std::vector<std::string> log = ex.log();
  // I_E grows with omega, so the mean ratio is about -factor.
  EXPECT_NEAR(mean_ratio(ex.dir.path()), -c.factor, 0.01 * c.factor);
  const LogShape shape{"pillbox.txt", 121, true, c.warning, 'B'};
  if (c.stops) {
    EXPECT_EQ(r.err, std::string(zereduv::kMaxwellStop) + "\n");
    EXPECT_EQ(r.out, console_of("pillbox.txt", false));
    EXPECT_TRUE(lines_match(log, log_head(shape)));  // the statistics last
    EXPECT_FALSE(fs::exists(ex.dir / "eh_ZIV.#01"));
  } else {
    // The warning goes to standard error as well.
    EXPECT_EQ(r.err, c.warning ? std::string(kMaxwellWarnHigh) + "\n" : "");
    EXPECT_TRUE(lines_match(log, full_log(shape)));
    EXPECT_EQ(fs::file_size(ex.dir / "eh_ZIV.#01"), kLayout0Bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Frequencies, MaxwellCheck,
    ::testing::Values(MaxwellCase{"Right", 1.0, false, false},
                      MaxwellCase{"Warns", 1.8, true, false},
                      MaxwellCase{"FiveTimesTooHigh", 5.0, false, true}),
    [](const auto& tp) { return std::string(tp.param.name); });

// ---------------------------------------------------------------------------
// The format stop

class FormatStop : public ::testing::TestWithParam<bool> {};

TEST_P(FormatStop, StopsBeforeAnyFieldFileIsTouched) {
  const bool existing = GetParam();
  ExampleRun ex;
  ex.control = with_record(ex.control, 6, "5   FieldFormat");
  if (existing)
    write_file(ex.dir / "eh_ZIV.#01", "an older field file\n");
  const RunResult r = ex.run();
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, std::string(kFormatStop) + "\n");
  EXPECT_EQ(r.out, console_of("pillbox.txt", true));
  EXPECT_TRUE(lines_match(
      ex.log(), log_to_output_grid({"pillbox.txt", 121, true, false, 'B'})));
  if (existing) {
    EXPECT_EQ(read_file(ex.dir / "eh_ZIV.#01"), "an older field file\n");
  }
  std::vector<std::string> names = {"pillbox.txt", "zereduv.dat",
                                    "zereduv.log"};
  if (existing)
    names.insert(names.begin(), "eh_ZIV.#01");
  EXPECT_EQ(dir_names(ex.dir.path()), names);
}

INSTANTIATE_TEST_SUITE_P(OldFile, FormatStop, ::testing::Bool(),
                         [](const auto& tp) {
                           return std::string(tp.param ? "OverExistingFile"
                                                       : "NoFile");
                         });

// ---------------------------------------------------------------------------
// Values that overflow to Infinity or NaN on their way to the field file end
// the run after the output-grid block, before the file name and any field
// file, whatever the layout number.

struct Overflow {
  const char* name;
  int record;
  const char* text;
  int layout;
};

class NonFiniteFields : public ::testing::TestWithParam<Overflow> {};

TEST_P(NonFiniteFields, StopBeforeTheFieldFile) {
  const Overflow& o = GetParam();
  ExampleRun ex;
  ex.control =
      with_record(ex.control, 6, std::to_string(o.layout) + "   FieldFormat");
  ex.control = with_record(ex.control, o.record, o.text);
  write_file(ex.dir / "eh_ZIV.#01", "an older field file\n");
  const RunResult r = ex.run();
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  for (const char* v : {"FieldScale", "Aperture", "ElementLength"}) {
    EXPECT_NE(r.err.find(v), std::string::npos) << r.err;
  }
  EXPECT_EQ(r.out, console_of("pillbox.txt", false));
  EXPECT_TRUE(lines_match(
      ex.log(), log_to_output_grid({"pillbox.txt", 121, true, false, 'B'})));
  EXPECT_EQ(read_file(ex.dir / "eh_ZIV.#01"), "an older field file\n");
  EXPECT_EQ(dir_names(ex.dir.path()),
            (std::vector<std::string>{"eh_ZIV.#01", "pillbox.txt",
                                      "zereduv.dat", "zereduv.log"}));
}

INSTANTIATE_TEST_SUITE_P(
    Overflows, NonFiniteFields,
    ::testing::Values(
        Overflow{"FieldScaleLayout0", 12, "1e308   FieldScale", 0},
        Overflow{"ApertureLayout2", 10, "1e308   Aperture", 2},
        Overflow{"FieldScaleInvalidLayout", 12, "-1e308   FieldScale", 5}),
    [](const auto& tp) { return std::string(tp.param.name); });

// ---------------------------------------------------------------------------
// Missing inputs

TEST(MissingInput, ControlFile) {
  ScratchDir dir;
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("unit 1"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("zereduv.dat"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  ASSERT_TRUE(fs::exists(dir / "zereduv.log"));
  EXPECT_EQ(fs::file_size(dir / "zereduv.log"), 0u);
}

TEST(MissingInput, FieldTable) {
  ScratchDir dir;
  Control c;
  c.table = "nosuch.txt";
  write_file(dir / "zereduv.dat", c.text());
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out, console_of("nosuch.txt", false));
  EXPECT_NE(r.err.find("unit 2"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nosuch.txt"), std::string::npos) << r.err;
  const std::vector<std::string> log =
      split_records(read_file(dir / "zereduv.log"), true);
  std::vector<Pat> head = constants_block();
  head.push_back(exact(listed(kReadingFileLabel) + "nosuch.txt"));
  EXPECT_TRUE(lines_match(log, head));
  EXPECT_FALSE(fs::exists(dir / "eh_ZIV.#01"));
}

// ---------------------------------------------------------------------------
// Real field tables

struct RealCase {
  const char* name;
  const char* file;
  int isym_z;
  double frequency;       // [Hz]
  double element_length;  // [cm]
  double aperture;        // [cm]
  bool mm;                // lengths in mm
  bool needs_new_reader;  // mm units or the longer header
  bool centre_is_gap;     // z = 0 of the map is the gap centre
};

void PrintTo(const RealCase& c, std::ostream* os) {
  *os << c.name;
}

class RealTable : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealTable, ConvertsWithTheCheckPassing) {
  const RealCase& c = GetParam();
  const fs::path src = kRealTables / c.file;
  if (!fs::exists(src))
    GTEST_SKIP() << "no " << src;
  ScratchDir dir;
  fs::copy_file(src, dir / c.file);
  Control ctl;
  ctl.table = c.file;
  ctl.isym_z = c.isym_z;
  ctl.frequency = c.frequency;
  ctl.element_length = c.element_length;
  ctl.aperture = c.aperture;
  write_file(dir / "zereduv.dat", ctl.text());
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, console_of(c.file, true));
  const std::vector<std::string> log =
      split_records(read_file(dir / "zereduv.log"), true);
  EXPECT_NEAR(mean_ratio(dir.path()), -1.0, 0.05);
  EXPECT_NE(find_line(log, kIncompatible), nullptr);
  EXPECT_TRUE(find_line(log, kSwitchB) != nullptr ||
              find_line(log, kSwitchE) != nullptr);
  EXPECT_EQ(find_line(log, listed(kMaxwellWarnHigh)), nullptr);
  EXPECT_EQ(find_line(log, listed(kMaxwellWarnLow)), nullptr);
  EXPECT_EQ(find_line(log, listed(kMmConverted)) != nullptr, c.mm);
  EXPECT_EQ(log.at(log.size() - 5).rfind(listed(kLengthApertureLabel), 0), 0u);
  ASSERT_TRUE(fs::exists(dir / "eh_ZIV.#01"));
  EXPECT_EQ(fs::file_size(dir / "eh_ZIV.#01"), kLayout0Bytes);
  if (c.centre_is_gap) {
    // After the correction B is opposite to the Ez whose flux it encloses:
    // on the centre plane By at x > 0 has the sign opposite to Ez on the axis.
    FieldFileData d;
    ASSERT_NO_THROW(d = read_field_file(dir / "eh_ZIV.#01", 0));
    const double ez = d.at(kEz, 13, 13, 101);
    const double by = d.at(kBy, 19, 13, 101);
    EXPECT_NE(ez, 0.0);
    EXPECT_LT(ez * by, 0.0) << "Ez " << ez << ", By " << by;
  }
}

const RealCase kRealCases[] = {
    {"SnsRebuncher201x51", "sns-mebt-rebuncher-402mhz-201x51.txt", 2, 402.5e6,
     10.0, 1.0, false, false, true},
    {"SnsRebuncher301x101", "sns-mebt-rebuncher-402mhz-301x101-large.txt", 2,
     402.5e6, 10.0, 1.0, false, false, true},
    {"SwifelGun", "swifel-qwr-gun-176mhz.txt", 0, 175.715180667e6, 20.0, 2.0,
     false, true, false},
    {"DiskLoaded3CellMm", "dlc-3cell-2856mhz-mm.txt", 0, 2857.97761e6, 10.0,
     0.7, true, true, false},
    {"Buncher3CellMm", "buncher-3cell-2856mhz-beta056-open-mm.txt", 0, 2856e6,
     5.8, 0.7, true, true, false},
    {"Pillbox2856Mm", "pillbox-2856mhz-mm.txt", 0, 2856e6, 8.0, 0.7, true, true,
     true},
};

INSTANTIATE_TEST_SUITE_P(Tables, RealTable, ::testing::ValuesIn(kRealCases),
                         [](const auto& tp) {
                           return std::string(tp.param.name);
                         });

// On the SNS rebuncher the axis value at the gap centre is the table's first
// node, 3.727425 MV/m, taken over unchanged by the mirror completion.
TEST(SnsRebuncher, GapCentreKeepsTheTableValue) {
  const fs::path src = kRealTables / "sns-mebt-rebuncher-402mhz-201x51.txt";
  if (!fs::exists(src))
    GTEST_SKIP() << "no " << src;
  ScratchDir dir;
  fs::copy_file(src, dir / "sns.txt");
  Control ctl;
  ctl.table = "sns.txt";
  ctl.isym_z = 2;
  ctl.frequency = 402.5e6;
  ctl.element_length = 10.0;
  ctl.aperture = 1.0;
  write_file(dir / "zereduv.dat", ctl.text());
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> log =
      split_records(read_file(dir / "zereduv.log"), true);
  const bool e_switched = find_line(log, kSwitchE) != nullptr;
  EXPECT_TRUE(lines_match(
      log, full_log({"sns.txt", 401, true, false, e_switched ? 'E' : 'B'})));
  FieldFileData d;
  ASSERT_NO_THROW(d = read_field_file(dir / "eh_ZIV.#01", 0));
  const double want = (e_switched ? -1.0 : 1.0) * 3.727425e4;
  EXPECT_NEAR(d.at(kEz, 13, 13, 101), want, 1e-6 * 3.727425e4);
}

}  // namespace
}  // namespace zereduv::testing
