// The start of a run: the log, the twelve records of "zereduv.dat", the
// physical constants and their block in the log, on real files in a scratch
// working directory.
#include "run/control.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "run/errors.h"
#include "run/run_state.h"
#include "support/control_file.h"
#include "support/io_error.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

using zereduv::testing::io_error_of;
using zereduv::testing::ScratchDir;

// The control file of a 2856 MHz pillbox run, one string per record.
std::vector<std::string> standard_records() {
  return testing::ControlRecords{
      "zereduv control file: 2856 MHz pillbox",
      "table, symmetry, file number, layout, keys, frequency, lengths",
      "pillbox-2856mhz-mm.txt",
      "2      isym_z",
      "7      file number",
      "1      layout",
      "1 1 0  SymX SymY SymZ",
      "2856.0e6   frequency [Hz]",
      "10.0   element length",
      "1.5    aperture",
      "0      reverse z",
      "1.0    field scale"}
      .records();
}

std::string join(const std::vector<std::string>& records,
                 const std::string& eol = "\r\n", bool last_eol = true) {
  return testing::join_records(records, eol, last_eol);
}

std::unique_ptr<RunState> state_in(const ScratchDir& dir) {
  auto s = std::make_unique<RunState>();
  s->WorkDir = dir.path();
  return s;
}

// Runs the start of the run on the control file `content` and closes the
// log, as the end of a run does.
std::unique_ptr<RunState> start_run(const ScratchDir& dir,
                                    const std::string& content) {
  dir.write("zereduv.dat", content);
  auto s = state_in(dir);
  OPEN_LOG(*s);
  READ_CONTROL(*s);
  DERIVE_CONSTANTS(*s);
  s->log.close();
  return s;
}

// The constants as the program derives them, to the bit.
constexpr double kPi = 0x1.921fb54442d18p+1;
constexpr double kMu0 = 0x1.515370f99f6cbp-20;   // (pi*4)*1e-7
constexpr double kMu1 = 0x1.9bc65b68b71c3p-7;    // mu0*1e4
constexpr double kEps0 = 0x1.37876f14ded30p-37;  // 1/((c*c)*mu0)

std::string constant_block(const std::string& omeg_field) {
  return "  mu0 =   1.256637061435917E-006  T*m/A \r\n"
         "  mu1 =   1.256637061435917E-002  Gs*m/A \r\n"
         "  eps0=   8.854187817620389E-012  F/m \r\n"
         "  omeg= " +
         omeg_field +
         "  Hz \r\n"
         "  ------------------------------ \r\n";
}

TEST(ControlFile, ReadsTheTwelveRecords) {
  ScratchDir dir;
  std::vector<std::string> recs = standard_records();
  recs.push_back("a thirteenth record is never read: x y z");
  const auto s = start_run(dir, join(recs));
  EXPECT_EQ(s->FieldFileName.size(), 80u);
  EXPECT_EQ(s->FieldFileName,
            "pillbox-2856mhz-mm.txt" + std::string(80 - 22, ' '));
  EXPECT_EQ(trimmed(s->FieldFileName), "pillbox-2856mhz-mm.txt");
  EXPECT_EQ(s->isym_z, 2);
  EXPECT_EQ(s->FileNumber, 7);
  EXPECT_EQ(s->FieldFormat, 1);
  EXPECT_EQ(s->SymX, 1);
  EXPECT_EQ(s->SymY, 1);
  EXPECT_EQ(s->SymZ, 0);
  EXPECT_EQ(s->Frequency, 2856.0e6);
  EXPECT_EQ(s->ElementLength, 10.0);
  EXPECT_EQ(s->Aperture, 1.5);
  EXPECT_EQ(s->ReverseZ, 0);
  EXPECT_EQ(s->FieldScale, 1.0);
}

TEST(ControlFile, LineEndsDoNotMatter) {
  for (const char* eol : {"\r\n", "\n"}) {
    for (bool last_eol : {true, false}) {
      SCOPED_TRACE(std::string(eol == std::string("\n") ? "LF" : "CR LF") +
                   (last_eol ? "" : ", last line without end"));
      ScratchDir dir;
      const auto s = start_run(dir, join(standard_records(), eol, last_eol));
      EXPECT_EQ(trimmed(s->FieldFileName), "pillbox-2856mhz-mm.txt");
      EXPECT_EQ(s->SymZ, 0);
      EXPECT_EQ(s->Frequency, 2856.0e6);
      EXPECT_EQ(s->FieldScale, 1.0);
    }
  }
}

// One record changed from the standard file, and what it sets.
TEST(ControlFile, RecordVariants) {
  using Check = std::function<void(const RunState&)>;
  const std::string name80 =
      "a-very-long-directory-name/and-an-even-longer-sub-directory/table.txt"
      "0123456789A";  // 80 characters
  const struct {
    const char* what;
    std::size_t record;  // 1-based
    std::string text;
    Check check;
  } cases[] = {
      {"record 3 longer than 80 characters, a blank in column 81", 3,
       name80 + " table",
       [&](const RunState& s) { EXPECT_EQ(s.FieldFileName, name80); }},
      {"record 3 of exactly 80 characters", 3, name80,
       [&](const RunState& s) { EXPECT_EQ(s.FieldFileName, name80); }},
      {"record 3 keeps inner and trailing blanks", 3, "my table.txt   ",
       [](const RunState& s) {
         EXPECT_EQ(s.FieldFileName, "my table.txt" + std::string(68, ' '));
         EXPECT_EQ(trimmed(s.FieldFileName), "my table.txt");
       }},
      {"record 3 that looks like numbers is text", 3, "1 2 3",
       [](const RunState& s) { EXPECT_EQ(trimmed(s.FieldFileName), "1 2 3"); }},
      {"records 1 and 2 may hold anything", 1, "1.5E) ,, 3*2 / 'x'",
       [](const RunState& s) { EXPECT_EQ(s.isym_z, 2); }},
      {"comma separators with blanks and a comment", 7, "1 , -1,0   ! x y z",
       [](const RunState& s) {
         EXPECT_EQ(s.SymX, 1);
         EXPECT_EQ(s.SymY, -1);
         EXPECT_EQ(s.SymZ, 0);
       }},
      {"tabs between the keys", 7, "\t-1\t1\t1",
       [](const RunState& s) {
         EXPECT_EQ(s.SymX, -1);
         EXPECT_EQ(s.SymY, 1);
         EXPECT_EQ(s.SymZ, 1);
       }},
      {"keys are not validated", 4, "-7",
       [](const RunState& s) { EXPECT_EQ(s.isym_z, -7); }},
      {"a layout that the run will refuse is read as it is", 6, "9",
       [](const RunState& s) { EXPECT_EQ(s.FieldFormat, 9); }},
      {"a negative file number", 5, "-1",
       [](const RunState& s) { EXPECT_EQ(s.FileNumber, -1); }},
      {"reverse z set", 11, "-1  reversed",
       [](const RunState& s) { EXPECT_EQ(s.ReverseZ, -1); }},
      {"an integer for a real", 8, "402500000",
       [](const RunState& s) { EXPECT_EQ(s.Frequency, 402.5e6); }},
      {"a D exponent", 12, "2.5d0",
       [](const RunState& s) { EXPECT_EQ(s.FieldScale, 2.5); }},
      {"a point without digits", 9, "10.",
       [](const RunState& s) { EXPECT_EQ(s.ElementLength, 10.0); }},
      {"digits after the point only", 10, ".75",
       [](const RunState& s) { EXPECT_EQ(s.Aperture, 0.75); }},
      {"a second value on a one-value record is ignored", 10, "1.5 2.5",
       [](const RunState& s) {
         EXPECT_EQ(s.Aperture, 1.5);
         EXPECT_EQ(s.ReverseZ, 0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    std::vector<std::string> recs = standard_records();
    recs[c.record - 1] = c.text;
    const auto s = start_run(dir, join(recs));
    c.check(*s);
  }
}

TEST(ControlFile, ShortRecord7ShiftsTheLaterReads) {
  ScratchDir dir;
  const auto s = start_run(dir, join({
                                    "title",
                                    "title",
                                    "table.txt",
                                    "2",
                                    "7",
                                    "1",
                                    "1 1",
                                    "0       the third key",
                                    "2856e6",
                                    "10.0",
                                    "1.5",
                                    "0",
                                    "1.0",
                                }));
  EXPECT_EQ(s->SymX, 1);
  EXPECT_EQ(s->SymY, 1);
  EXPECT_EQ(s->SymZ, 0);
  EXPECT_EQ(s->Frequency, 2856e6);
  EXPECT_EQ(s->ElementLength, 10.0);
  EXPECT_EQ(s->Aperture, 1.5);
  EXPECT_EQ(s->ReverseZ, 0);
  EXPECT_EQ(s->FieldScale, 1.0);
  EXPECT_EQ(s->omeg, (kPi * 2.0) * 2856e6);
}

TEST(ControlFile, ShortRecord7WithTwelveRecordsEndsTheFile) {
  ScratchDir dir;
  std::vector<std::string> recs = standard_records();
  recs[6] = "1 1";
  dir.write("zereduv.dat", join(recs));
  auto s = state_in(dir);
  OPEN_LOG(*s);
  const IoError e = io_error_of([&] { READ_CONTROL(*s); });
  EXPECT_EQ(e.unit, 1);
  EXPECT_EQ(e.file, "zereduv.dat");
  s->log.close_quietly();
  EXPECT_EQ(dir.read("zereduv.log"), "");
}

TEST(ControlFile, BadRecordsEndTheRunWithTheirLine) {
  const struct {
    std::size_t record;
    const char* text;
  } cases[] = {
      {4, "two"},
      {5, "7.0"},
      {6, "1e0"},
      {7, "1 x 0"},
      {8, "1.5E) Hz"},
      {8, "2.0deg"},
      {8, "1.3GHz"},
      {9, "10cm"},
      {4, "2isym_z"},
      {9, "ten"},
      {10, ",1.5"},
      {11, "3000000000"},
      {12, "1e999"},
      {7, "1 1 0.5"},
      {12, "3*1.0"},
      // A comment may follow the values only once all are read.
      {7, "1 1   keys x and y"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("record " + std::to_string(c.record) + ": " + c.text);
    ScratchDir dir;
    std::vector<std::string> recs = standard_records();
    recs[c.record - 1] = c.text;
    dir.write("zereduv.dat", join(recs));
    auto s = state_in(dir);
    OPEN_LOG(*s);
    const IoError e = io_error_of([&] {
      READ_CONTROL(*s);
      DERIVE_CONSTANTS(*s);
    });
    EXPECT_EQ(e.unit, 1);
    EXPECT_EQ(e.file, "zereduv.dat");
    EXPECT_EQ(e.line, static_cast<long>(c.record));
    s->log.close_quietly();
    EXPECT_EQ(dir.read("zereduv.log"), "");
  }
}

TEST(ControlFile, EndsEarly) {
  for (std::size_t n : {0u, 2u, 3u, 8u, 11u}) {
    SCOPED_TRACE(std::to_string(n) + " records");
    ScratchDir dir;
    std::vector<std::string> recs = standard_records();
    recs.resize(n);
    dir.write("zereduv.dat", join(recs));
    auto s = state_in(dir);
    OPEN_LOG(*s);
    const IoError e = io_error_of([&] { READ_CONTROL(*s); });
    EXPECT_EQ(e.unit, 1);
    EXPECT_EQ(e.file, "zereduv.dat");
    s->log.close_quietly();
    EXPECT_EQ(dir.read("zereduv.log"), "");
  }
}

TEST(ControlFile, MissingFileLeavesAnEmptyLog) {
  ScratchDir dir;
  auto s = state_in(dir);
  OPEN_LOG(*s);
  EXPECT_TRUE(dir.exists("zereduv.log"));
  const IoError e = io_error_of([&] { READ_CONTROL(*s); });
  EXPECT_EQ(e.unit, 1);
  EXPECT_EQ(e.file, "zereduv.dat");
  const std::string msg = e.what();
  EXPECT_NE(msg.find("zereduv.dat"), std::string::npos) << msg;
  s->log.close_quietly();
  ASSERT_TRUE(dir.exists("zereduv.log"));
  EXPECT_EQ(dir.read("zereduv.log"), "");
}

TEST(Constants, BitsAndLogBlock) {
  const struct {
    const char* freq_text;
    double freq;
    double omeg;
    const char* omeg_field;
  } cases[] = {
      {"2856.0e6", 2856e6, 0x1.0b65e48553837p+34, "   17944777237.3049     "},
      {"402.5e6", 402.5e6, 0x1.2d7a688c4791bp+31, "   2528982086.13978     "},
      {"1", 1.0, 0x1.921fb54442d18p+2, "   6.28318530717959     "},
      {"-176e6", -176e6, -0x1.07a7279841224p+30, "  -1105840614.06361     "},
      {"0", 0.0, 0.0, "  0.000000000000000E+000"},
      {"0.0", 0.0, 0.0, "  0.000000000000000E+000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.freq_text);
    ScratchDir dir;
    // A log left by an earlier, longer run is rewritten from its start.
    dir.write("zereduv.log", std::string(4096, 'x') + "\r\n");
    std::vector<std::string> recs = standard_records();
    recs[7] = std::string(c.freq_text) + "   Hz";
    const auto s = start_run(dir, join(recs));
    EXPECT_EQ(s->Frequency, c.freq);
    EXPECT_EQ(s->pi, kPi);
    EXPECT_EQ(s->c, 299792458.0);
    EXPECT_EQ(s->mu0, kMu0);
    EXPECT_EQ(s->mu1, kMu1);
    EXPECT_EQ(s->eps0, kEps0);
    EXPECT_EQ(s->omeg, c.omeg);
    EXPECT_EQ(dir.read("zereduv.log"), constant_block(c.omeg_field));
  }
}

// Only omeg depends on the control file: 2*pi*f in double precision, for
// any frequency.
TEST(Constants, OmegFollowsTheFrequency) {
  const double pi = 3.141592653589793;
  const double c = 299792458.0;
  const double mu0 = (pi * 4.0) * 1e-7;
  EXPECT_EQ(kPi, pi);
  EXPECT_EQ(kMu0, mu0);
  EXPECT_EQ(kMu1, mu0 * 1e4);
  EXPECT_EQ(kEps0, 1.0 / ((c * c) * mu0));
  for (double f : {2856e6, 176.0e6, 402.5e6, 1.3e9, 3.0, 7.77e8}) {
    SCOPED_TRACE(f);
    ScratchDir dir;
    std::vector<std::string> recs = standard_records();
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, f);
    recs[7] = std::string(buf, r.ptr);
    const auto s = start_run(dir, join(recs));
    ASSERT_EQ(s->Frequency, f);
    EXPECT_EQ(s->omeg, (pi * 2.0) * f);
  }
}

}  // namespace
}  // namespace zereduv
