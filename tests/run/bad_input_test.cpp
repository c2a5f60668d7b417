// Whole runs on damaged inputs: the shipped pillbox example with one thing
// broken at a time in the control file or the field table.  Every such run
// must end with a non-zero status and one line on standard error that names
// the file (and the unit and line for an I/O error), keep its log, and
// neither create a field file nor touch one left by an earlier run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace zereduv::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kExampleDir =
    fs::path(ZEREDUV_SOURCE_DIR) / "examples" / "pillbox";

// The example's own files, split into records at CR LF.
std::vector<std::string> records_of(const std::string& text) {
  std::vector<std::string> recs;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      recs.push_back(text.substr(pos));
      break;
    }
    recs.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return recs;
}

std::string join(const std::vector<std::string>& recs) {
  std::string t;
  for (const auto& r : recs)
    t += r + "\r\n";
  return t;
}

using Edit = std::function<std::string(const std::string&)>;

// The first n records only, each with its line end.
Edit first_records(int n) {
  return [n](const std::string& text) {
    std::vector<std::string> recs = records_of(text);
    recs.resize(static_cast<std::size_t>(n));
    return join(recs);
  };
}

// Record n (1-based) replaced by `rec`.
Edit record(int n, std::string rec) {
  return [n, rec](const std::string& text) {
    std::vector<std::string> recs = records_of(text);
    recs.at(static_cast<std::size_t>(n - 1)) = rec;
    return join(recs);
  };
}

// In record n, the first occurrence of `from` replaced by `to`.
Edit in_record(int n, std::string from, std::string to) {
  return [n, from, to](const std::string& text) {
    std::vector<std::string> recs = records_of(text);
    std::string& r = recs.at(static_cast<std::size_t>(n - 1));
    const std::size_t at = r.find(from);
    if (at == std::string::npos)
      throw std::runtime_error("no \"" + from + "\" in record");
    r.replace(at, from.size(), to);
    return join(recs);
  };
}

// Every line end made a bare CR.
Edit cr_only() {
  return [](const std::string& text) {
    std::string t;
    for (const std::string& r : records_of(text))
      t += r + "\r";
    return t;
  };
}

Edit whole(std::string content) {
  return [content](const std::string&) { return content; };
}

// Deterministic bytes of every value, NUL included, no line structure.
std::string garbage(std::size_t n) {
  std::string g(n, '\0');
  std::uint32_t x = 12345u;
  for (char& c : g) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return g;
}

const std::string kMissing = "<missing>";
Edit missing() {
  return [](const std::string&) { return kMissing; };
}

struct BadInput {
  const char* name;
  Edit control;  // null: the example's control file unchanged
  Edit table;    // null: the example's table unchanged
  int status;    // 2 I/O error, 3 rejected table
  std::string file;
  int unit;                       // 0 for a rejected table
  long line;                      // 0: no line in the message
  std::vector<std::string> says;  // further texts the message must hold
  std::size_t lines = 1;          // lines on standard error
};

std::ostream& operator<<(std::ostream& os, const BadInput& b) {
  return os << b.name;
}

constexpr const char* kCtl = "zereduv.dat";
constexpr const char* kTab = "pillbox.txt";
const std::string kEof = "(end of file)";
const std::string kText = "(text where a number is expected)";
const std::string kReal = "(real number where an integer is expected)";
const std::string kBig = "(integer outside the 32-bit range)";
const std::string kMB(1 << 20, 'x');
const std::string kName80 = std::string(76, 'A') + ".txt";

// The interval-count record of the example is "Z and R increments:    60 20".
Edit counts(const std::string& z, const std::string& r) {
  return record(11, "Z and R increments:    " + z + "    " + r);
}

std::vector<BadInput> rows() {
  std::vector<BadInput> v = {
      // The control file.
      // The report, and a line that says where the file is looked for.
      {"ControlMissing",
       missing(),
       nullptr,
       2,
       kCtl,
       1,
       0,
       {"(file not found)",
        "\nzereduv reads \"zereduv.dat\" from the working directory",
        "zereduv --help"},
       2},
      {"ControlEmpty",
       whole(""),
       nullptr,
       2,
       kCtl,
       1,
       0,
       {kEof, "title record 1"}},
      {"ControlCut1",
       first_records(1),
       nullptr,
       2,
       kCtl,
       1,
       1,
       {kEof, "title record 2"}},
      {"ControlCut2",
       first_records(2),
       nullptr,
       2,
       kCtl,
       1,
       2,
       {kEof, "field-table name"}},
      {"ControlCut3",
       first_records(3),
       nullptr,
       2,
       kCtl,
       1,
       3,
       {kEof, "(isym_z)"}},
      {"ControlCut4",
       first_records(4),
       nullptr,
       2,
       kCtl,
       1,
       4,
       {kEof, "(FileNumber)"}},
      {"ControlCut5",
       first_records(5),
       nullptr,
       2,
       kCtl,
       1,
       5,
       {kEof, "(FieldFormat)"}},
      {"ControlCut6",
       first_records(6),
       nullptr,
       2,
       kCtl,
       1,
       6,
       {kEof, "(SymX)"}},
      {"ControlCut7",
       first_records(7),
       nullptr,
       2,
       kCtl,
       1,
       7,
       {kEof, "(Frequency)"}},
      {"ControlCut8",
       first_records(8),
       nullptr,
       2,
       kCtl,
       1,
       8,
       {kEof, "(ElementLength)"}},
      {"ControlCut9",
       first_records(9),
       nullptr,
       2,
       kCtl,
       1,
       9,
       {kEof, "(Aperture)"}},
      {"ControlCut10",
       first_records(10),
       nullptr,
       2,
       kCtl,
       1,
       10,
       {kEof, "(ReverseZ)"}},
      {"ControlCut11",
       first_records(11),
       nullptr,
       2,
       kCtl,
       1,
       11,
       {kEof, "(FieldScale)"}},
      {"ControlCutInsideSymmetryRecord",
       record(7, "0 0"),
       nullptr,
       2,
       kCtl,
       1,
       8,
       {"(SymZ)"}},
      {"ControlMegabyteLine",
       record(5, kMB),
       nullptr,
       2,
       kCtl,
       1,
       5,
       {"(line too long)", "longer than 4096 bytes"}},
      {"ControlLoneCr",
       record(4, "\r2    isym_z"),
       nullptr,
       2,
       kCtl,
       1,
       4,
       {kText, "(isym_z)"}},
      // A table name runs to column 80; one that goes on past it is not cut.
      {"ControlTableNamePast80",
       record(3, kName80 + ".new"),
       nullptr,
       2,
       kCtl,
       1,
       3,
       {"longer than 80 characters"}},
      {"ControlTableName80ThenComment",
       record(3, kName80 + " the table"),
       nullptr,
       2,
       kName80,
       2,
       0,
       {"(file not found)"}},
      // The field table.
      {"TableMissing", nullptr, missing(), 2, kTab, 2, 0, {"(file not found)"}},
      {"TableEmpty", nullptr, whole(""), 2, kTab, 2, 0, {kEof, "Zmin"}},
      {"TableGarbage", nullptr, whole(garbage(4096)), 2, kTab, 2, -1, {}},
      {"TableCutAfterTitles",
       nullptr,
       first_records(8),
       2,
       kTab,
       2,
       8,
       {kEof, "Zmin"}},
      {"TableCutAfterLowerLimits",
       nullptr,
       first_records(9),
       2,
       kTab,
       2,
       9,
       {kEof, "Zmax"}},
      {"TableCutAfterUpperLimits",
       nullptr,
       first_records(10),
       2,
       kTab,
       2,
       10,
       {kEof, "interval counts"}},
      {"TableCutAfterCounts",
       nullptr,
       first_records(11),
       2,
       kTab,
       2,
       11,
       {kEof, "column titles"}},
      // Node 86 (line 100) keeps Z, R and Ez only: far too little is left
      // for the 1281 nodes the header announces.
      {"TableCutInsideNode",
       nullptr,
       [](const std::string& t) {
         std::vector<std::string> recs = records_of(t);
         recs.resize(100);
         recs.push_back("  1.0E+00  0.0E+00  5.0E+00");
         return join(recs);
       },
       2,
       kTab,
       2,
       14,
       {"(table too short for its nodes)", "21 x 61 = 1281 node records"}},
      // Node 1260 keeps Z, R and Ez only; its Er is never found.
      {"TableCutInsideLateNode",
       nullptr,
       [](const std::string& t) {
         std::vector<std::string> recs = records_of(t);
         recs.resize(14 + 1259);
         recs.push_back("  1.0E+00  0.0E+00  5.0E+00");
         return join(recs);
       },
       2,
       kTab,
       2,
       14 + 1260,
       {kEof, "(Er)"}},
      // 14 header records, then 61 x 21 nodes: the last node is line 1295.
      {"TableCutBeforeLastNode",
       nullptr,
       first_records(14 + 61 * 21 - 1),
       2,
       kTab,
       2,
       14 + 61 * 21 - 1,
       {kEof, "(Z)"}},
      {"TableMegabyteNode",
       nullptr,
       record(20, kMB),
       2,
       kTab,
       2,
       20,
       {"(line too long)", "longer than 65536 bytes"}},
      {"TableLoneCrInNode",
       nullptr,
       in_record(20, "5.000000E+00", "5.0\r00000E+00"),
       2,
       kTab,
       2,
       20,
       {"(a number followed by text)", "(Ez), found \"5.0?00000E+00\""}},
      // A number glued to text names the value at fault, not the next one.
      {"ControlGluedSymmetryKey",
       record(7, "0 0x 0"),
       nullptr,
       2,
       kCtl,
       1,
       7,
       {"(a number followed by text)", "(SymY), found \"0x\""}},
      {"TableNaN",
       nullptr,
       in_record(20, "5.000000E+00", "NaN"),
       2,
       kTab,
       2,
       20,
       {"(Ez)", "\"NaN\""}},
      {"TableInf",
       nullptr,
       in_record(20, "5.000000E+00", "Inf"),
       2,
       kTab,
       2,
       20,
       {"(Ez)", "\"Inf\""}},
      {"TableMinusInfinity",
       nullptr,
       in_record(20, "5.000000E+00", "-Infinity"),
       2,
       kTab,
       2,
       20,
       {"(Ez)", "\"-Infinity\""}},
      {"TableOverflowingReal",
       nullptr,
       in_record(20, "5.000000E+00", "1e999"),
       2,
       kTab,
       2,
       20,
       {"(Ez)", "\"1e999\""}},
      {"TableCountText", nullptr, counts("sixty", "20"), 2, kTab, 2, 11, {}},
      {"TableCountReal", nullptr, counts("60.5", "20"), 2, kTab, 2, 11, {}},
      {"TableCountOverflow",
       nullptr,
       counts("99999999999", "20"),
       2,
       kTab,
       2,
       11,
       {}},
      // More node records announced than the rest of the file can hold.
      {"TableCountsBeyondTheFile",
       nullptr,
       counts("60000", "20"),
       2,
       kTab,
       2,
       14,
       {"(table too short for its nodes)",
        "21 x 60001 = 1260021 node records"}},
      // Counts that leave no usable map are rejected, not read.
      {"ZCountNegative",
       nullptr,
       counts("-60", "20"),
       3,
       kTab,
       0,
       0,
       {"z interval count is -60", "cannot be negative"}},
      {"ZCountZero", nullptr, counts("0", "20"), 3, kTab, 0, 0, {"z nodes"}},
      // Without the mirror image two z nodes stay two.
      {"ZCountOne",
       record(4, "0    isym_z"),
       counts("1", "20"),
       3,
       kTab,
       0,
       0,
       {"z nodes"}},
      {"ZCountHuge",
       nullptr,
       counts("2147483647", "20"),
       3,
       kTab,
       0,
       0,
       {"z interval count is too large"}},
      {"RCountNegative",
       nullptr,
       counts("60", "-20"),
       3,
       kTab,
       0,
       0,
       {"r interval count is -20", "cannot be negative"}},
      {"RCountZero", nullptr, counts("60", "0"), 3, kTab, 0, 0, {"r nodes"}},
      {"RCountOne", nullptr, counts("60", "1"), 3, kTab, 0, 0, {"r nodes"}},
      {"RCountHuge",
       nullptr,
       counts("60", "2147483647"),
       3,
       kTab,
       0,
       0,
       {"r interval count is too large"}},
      // Lines that end in CR alone read as one line: said so.
      {"ControlCrOnly", cr_only(), nullptr, 2, kCtl, 1, 1, {"no LF line ends"}},
      {"TableCrOnly", nullptr, cr_only(), 2, kTab, 2, -1, {"no LF line ends"}},
      // A name holding a NUL byte would open the file named up to the NUL;
      // the message shows the byte as '?'.
      {"TableNameHoldsNul",
       record(3, std::string("pillbox.txt\0old", 15)),
       nullptr,
       2,
       "pillbox.txt?old",
       2,
       0,
       {"NUL byte"}},
      {"ZminEqualsZmax",
       nullptr,
       record(10, "(Zmax,Rmax) = (0.0,8.826348295016158)"),
       3,
       kTab,
       0,
       0,
       {"Zmax", "Zmin"}},
  };
  return v;
}

class BadInputRun : public ::testing::TestWithParam<BadInput> {};

// Writes the damaged example into `dir`.
void lay_out(const BadInput& b, const ScratchDir& dir) {
  auto place = [&dir](const Edit& edit, const char* name) {
    const std::string good = read_file(kExampleDir / name);
    const std::string text = edit ? edit(good) : good;
    if (text != kMissing)
      dir.write(name, text);
  };
  place(b.control, kCtl);
  place(b.table, kTab);
}

std::vector<std::string> field_files(const ScratchDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    const std::string n = e.path().filename().string();
    if (n.rfind("eh_ZIV.#", 0) == 0)
      names.push_back(n);
  }
  return names;
}

// Only the run's own files are in the directory: no temporary of the field
// file is left behind.
void expect_nothing_left_behind(const ScratchDir& dir) {
  for (const auto& e : fs::directory_iterator(dir.path())) {
    const std::string n = e.path().filename().string();
    EXPECT_TRUE(n == "eh_ZIV.#01" || n == "zereduv.log" || n == kCtl ||
                n == kTab)
        << "left behind: " << n;
  }
}

void check_message(const BadInput& b, const RunResult& r) {
  EXPECT_EQ(r.status, b.status);
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(
      static_cast<std::size_t>(std::count(r.err.begin(), r.err.end(), '\n')),
      b.lines)
      << r.err;
  EXPECT_EQ(r.err.back(), '\n') << r.err;
  EXPECT_NE(r.err.find("\"" + b.file + "\""), std::string::npos) << r.err;
  if (b.unit > 0) {
    EXPECT_NE(r.err.find("I/O error"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("unit " + std::to_string(b.unit) + ","),
              std::string::npos)
        << r.err;
  } else {
    EXPECT_NE(r.err.find("cannot be used"), std::string::npos) << r.err;
  }
  if (b.line > 0) {
    EXPECT_NE(r.err.find(", line " + std::to_string(b.line) + ":"),
              std::string::npos)
        << r.err;
  } else if (b.line == 0) {
    EXPECT_EQ(r.err.find(", line "), std::string::npos) << r.err;
  }
  for (const auto& s : b.says)
    EXPECT_NE(r.err.find(s), std::string::npos) << s << " / " << r.err;
  // No dump of a megabyte of input onto the console.
  EXPECT_LT(r.err.size(), 400u);
}

TEST_P(BadInputRun, FailsClearlyAndWritesNoFieldFile) {
  const BadInput& b = GetParam();
  ScratchDir dir;
  lay_out(b, dir);
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  check_message(b, r);
  EXPECT_TRUE(dir.exists("zereduv.log"));
  EXPECT_TRUE(field_files(dir).empty());
  EXPECT_TRUE(r.out.find("eh_ZIV") == std::string::npos) << r.out;
}

TEST_P(BadInputRun, LeavesAnEarlierFieldFileAlone) {
  const BadInput& b = GetParam();
  ScratchDir dir;
  lay_out(b, dir);
  const std::string earlier = "field file of an earlier run\r\n" + garbage(64);
  dir.write("eh_ZIV.#01", earlier);
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  check_message(b, r);
  EXPECT_TRUE(dir.exists("zereduv.log"));
  EXPECT_EQ(field_files(dir), std::vector<std::string>{"eh_ZIV.#01"});
  EXPECT_EQ(dir.read("eh_ZIV.#01"), earlier);
}

std::string row_name(const ::testing::TestParamInfo<BadInput>& row) {
  return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(BadInput, BadInputRun, ::testing::ValuesIn(rows()),
                         row_name);

// Faults while the field file is written: the name taken by a directory, and
// a file-size limit that stands in for a full disk (the limit's signal is
// ignored, so the write itself fails).  The earlier field file, or the
// directory, stays as it was, and no temporary is left behind.
struct WriteFault {
  const char* name;
  int field_format;
  bool directory;  // else a size limit of `blocks`
  int blocks;
};

std::ostream& operator<<(std::ostream& os, const WriteFault& w) {
  return os << w.name;
}

class BadInputWrite : public ::testing::TestWithParam<WriteFault> {};

TEST_P(BadInputWrite, EndsWithTheUnit7ReportAndKeepsWhatWasThere) {
  const WriteFault& w = GetParam();
  ScratchDir dir;
  const Edit layout =
      record(6, std::to_string(w.field_format) + "   FieldFormat");
  lay_out({"", layout, nullptr, 0, "", 0, 0, {}}, dir);
  const std::string earlier = "field file of an earlier run\r\n";
  RunResult r;
  if (w.directory) {
    fs::create_directory(dir / "eh_ZIV.#01");
    dir.write("eh_ZIV.#01/inside", earlier);
    r = run_program(ZEREDUV_EXE, {}, dir.path());
    EXPECT_TRUE(fs::is_directory(dir / "eh_ZIV.#01"));
    EXPECT_EQ(dir.read("eh_ZIV.#01/inside"), earlier);
  } else {
    dir.write("eh_ZIV.#01", earlier);
    const std::string script = "trap '' XFSZ; ulimit -f " +
                               std::to_string(w.blocks) +
                               " || exit 99; exec \"$0\"";
    r = run_program("/bin/sh", {"-c", script, ZEREDUV_EXE}, dir.path());
    if (r.status == 99)
      GTEST_SKIP() << "no file-size limit available";
    EXPECT_EQ(dir.read("eh_ZIV.#01"), earlier);
  }
  const BadInput expect{w.name, nullptr, nullptr, 2, "eh_ZIV.#01", 7, 0, {}};
  check_message(expect, r);
  EXPECT_TRUE(dir.exists("zereduv.log"));
  EXPECT_EQ(field_files(dir), std::vector<std::string>{"eh_ZIV.#01"});
  expect_nothing_left_behind(dir);
}

std::string write_fault_name(const ::testing::TestParamInfo<WriteFault>& row) {
  return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, BadInputWrite,
    ::testing::Values(WriteFault{"DirectoryLayout0", 0, true, 0},
                      WriteFault{"DirectoryLayout1", 1, true, 0},
                      WriteFault{"SizeLimitLayout0", 0, false, 100},
                      WriteFault{"SizeLimitLayout1", 1, false, 100},
                      WriteFault{"SizeLimitLayout2", 2, false, 100}),
    write_fault_name);

// Files and directories the run may not read or write.  Root reads and
// writes whatever the permission bits say, so when the tests run as root
// the program runs as the unprivileged user "nobody" (setpriv), in a
// directory that user may write unless the row takes that away.
struct PermissionFault {
  const char* name;
  std::function<void(const ScratchDir&)> deny;  // after the files are laid out
  BadInput expect;
  bool log_has_run;  // the log holds the run up to the field file
};

std::ostream& operator<<(std::ostream& os, const PermissionFault& p) {
  return os << p.name;
}

class BadInputPermission : public ::testing::TestWithParam<PermissionFault> {};

void set_mode(const fs::path& p, fs::perms mode) {
  fs::permissions(p, mode, fs::perm_options::replace);
}

TEST_P(BadInputPermission, EndsWithTheReportAndKeepsWhatWasThere) {
  const PermissionFault& p = GetParam();
  const bool root = running_as_superuser();
  if (root && !fs::exists("/usr/bin/setpriv"))
    GTEST_SKIP() << "running as root and no setpriv to drop privileges";
  ScratchDir dir;
  lay_out({"", nullptr, nullptr, 0, "", 0, 0, {}}, dir);
  const std::string earlier = "field file of an earlier run\r\n";
  dir.write("eh_ZIV.#01", earlier);
  set_mode(dir.path(), fs::perms::all);
  p.deny(dir);
  RunResult r;
  if (root) {
    r = run_program(
        "/usr/bin/setpriv",
        {"--reuid=65534", "--regid=65534", "--clear-groups", "--", ZEREDUV_EXE},
        dir.path());
  } else {
    r = run_program(ZEREDUV_EXE, {}, dir.path());
  }
  set_mode(dir.path(), fs::perms::owner_all);
  check_message(p.expect, r);
  EXPECT_EQ(dir.read("eh_ZIV.#01"), earlier);
  EXPECT_EQ(field_files(dir), std::vector<std::string>{"eh_ZIV.#01"});
  if (p.log_has_run) {
    EXPECT_NE(dir.read("zereduv.log").find("Maxwell"), std::string::npos)
        << "the log of the run is not on disk";
  }
}

std::vector<PermissionFault> permission_rows() {
  const auto file_mode = [](const char* name, fs::perms mode) {
    return [name, mode](const ScratchDir& d) { set_mode(d / name, mode); };
  };
  // The log is there from an earlier run and may be rewritten, but nothing
  // new can be created beside it: the field file's temporary cannot.
  const auto read_only_dir = [](const ScratchDir& d) {
    d.write("zereduv.log", "log of an earlier run\r\n");
    set_mode(d / "zereduv.log",
             fs::perms::owner_read | fs::perms::owner_write |
                 fs::perms::group_read | fs::perms::group_write |
                 fs::perms::others_read | fs::perms::others_write);
    set_mode(d.path(), fs::perms::owner_all | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read |
                           fs::perms::others_exec);
  };
  const auto read_only_dir_no_log = [](const ScratchDir& d) {
    set_mode(d.path(), fs::perms::owner_all | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read |
                           fs::perms::others_exec);
  };
  constexpr auto kNone = fs::perms::none;
  return {
      {"ControlUnreadable",
       file_mode(kCtl, kNone),
       {"",
        nullptr,
        nullptr,
        2,
        kCtl,
        1,
        0,
        {"(cannot open file)", "Permission denied"}},
       false},
      {"TableUnreadable",
       file_mode(kTab, kNone),
       {"",
        nullptr,
        nullptr,
        2,
        kTab,
        2,
        0,
        {"(cannot open file)", "Permission denied"}},
       false},
      {"FieldFileDirectoryReadOnly",
       read_only_dir,
       {"", nullptr, nullptr, 2, "eh_ZIV.#01", 7, 0, {"Permission denied"}},
       true},
      {"LogDirectoryReadOnly",
       read_only_dir_no_log,
       {"",
        nullptr,
        nullptr,
        2,
        "zereduv.log",
        8,
        0,
        {"(cannot create file)", "Permission denied"}},
       false},
  };
}

std::string permission_name(
    const ::testing::TestParamInfo<PermissionFault>& row) {
  return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(BadInput, BadInputPermission,
                         ::testing::ValuesIn(permission_rows()),
                         permission_name);

// Faults while the log or the console is written: a log on a full device,
// a log that reaches a file-size limit part way through the run (a table
// with a long Maxwell-check block, so the log is written out before the
// field file), and standard output on a full device.  The run ends with the
// report of the unit at fault, the log keeps what was written before the
// fault, and the earlier field file stays as it was.
struct LogFault {
  const char* name;
  const char* script;  // /bin/sh -c script, with $0 the program
  bool long_log;       // the example's table replaced by a 1000-node half map
  BadInput expect;
};

std::ostream& operator<<(std::ostream& os, const LogFault& l) {
  return os << l.name;
}

class BadInputLogWrite : public ::testing::TestWithParam<LogFault> {};

// The example with, if asked, the 1000-node half map of the same cavity.
void lay_out_for_log(const ScratchDir& dir, bool long_log) {
  lay_out({"", nullptr, nullptr, 0, "", 0, 0, {}}, dir);
#ifdef PILLBOX_EXE
  if (long_log) {
    const RunResult g =
        run_program(PILLBOX_EXE,
                    {"--frequency", "1.3e9", "--length", "11.5", "--nz", "999",
                     "--nr", "20", "--e0", "5", "--half", "--out", kTab},
                    dir.path());
    ASSERT_EQ(g.status, 0) << g.err;
  }
#else
  (void)long_log;
#endif
}

TEST_P(BadInputLogWrite, EndsWithTheReportAndKeepsTheLogSoFar) {
  const LogFault& l = GetParam();
#ifndef PILLBOX_EXE
  if (l.long_log)
    GTEST_SKIP() << "the table generator is not built";
#endif
  if (!fs::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full here";
  // The whole log of the undamaged run, for the prefix check.
  ScratchDir good;
  lay_out_for_log(good, l.long_log);
  ASSERT_EQ(run_program(ZEREDUV_EXE, {}, good.path()).status, 0);
  const std::string full_log = good.read("zereduv.log");

  ScratchDir dir;
  lay_out_for_log(dir, l.long_log);
  const std::string earlier = "field file of an earlier run\r\n";
  dir.write("eh_ZIV.#01", earlier);
  if (l.expect.unit == 8 && !l.long_log)
    fs::create_symlink("/dev/full", dir / "zereduv.log");
  const RunResult r =
      run_program("/bin/sh", {"-c", l.script, ZEREDUV_EXE}, dir.path());
  if (r.status == 99)
    GTEST_SKIP() << "no file-size limit available";
  check_message(l.expect, r);
  EXPECT_EQ(dir.read("eh_ZIV.#01"), earlier);
  EXPECT_EQ(field_files(dir), std::vector<std::string>{"eh_ZIV.#01"});
  if (l.long_log) {
    const std::string log = dir.read("zereduv.log");
    EXPECT_GT(log.size(), 0u);
    EXPECT_LT(log.size(), full_log.size());
    EXPECT_EQ(log, full_log.substr(0, log.size()))
        << "the log kept is not the run's own";
  }
  expect_nothing_left_behind(dir);
}

std::string log_fault_name(const ::testing::TestParamInfo<LogFault>& row) {
  return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, BadInputLogWrite,
    ::testing::Values(
        LogFault{"LogOnFullDevice",
                 "exec \"$0\"",
                 false,
                 {"",
                  nullptr,
                  nullptr,
                  2,
                  "zereduv.log",
                  8,
                  0,
                  {"(write error)", "No space left on device"}}},
        LogFault{
            "LogSizeLimit",
            "trap '' XFSZ; ulimit -f 100 || exit 99; exec \"$0\"",
            true,
            {"", nullptr, nullptr, 2, "zereduv.log", 8, 0, {"(write error)"}}},
        LogFault{"ConsoleOnFullDevice",
                 "exec \"$0\" >/dev/full",
                 false,
                 {"",
                  nullptr,
                  nullptr,
                  2,
                  "standard output",
                  6,
                  0,
                  {"(write error)", "No space left on device"}}}),
    log_fault_name);

// Special files in place of the control file or the table: refused for what
// they are, at once (a FIFO with no writer must not stall the run).
struct SpecialFile {
  const char* name;
  const char* file;  // kCtl or kTab
  int kind;          // 0 FIFO, 1 directory, 2 link to a character device
  const char* says;
};

std::ostream& operator<<(std::ostream& os, const SpecialFile& f) {
  return os << f.name;
}

class BadInputSpecialFile : public ::testing::TestWithParam<SpecialFile> {};

TEST_P(BadInputSpecialFile, IsRefusedForWhatItIs) {
  const SpecialFile& f = GetParam();
  ScratchDir dir;
  lay_out({"", nullptr, nullptr, 0, "", 0, 0, {}}, dir);
  fs::remove(dir / f.file);
  if (f.kind == 0) {
    if (!make_fifo(dir / f.file))
      GTEST_SKIP() << "no FIFOs on this system";
  } else if (f.kind == 1) {
    fs::create_directory(dir / f.file);
  } else {
    fs::create_symlink("/dev/null", dir / f.file);
  }
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  const int unit = std::string(f.file) == kCtl ? 1 : 2;
  check_message({"",
                 nullptr,
                 nullptr,
                 2,
                 f.file,
                 unit,
                 0,
                 {"(not a regular file)", f.says}},
                r);
  EXPECT_TRUE(field_files(dir).empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, BadInputSpecialFile,
    ::testing::Values(SpecialFile{"ControlFifo", kCtl, 0, "FIFO"},
                      SpecialFile{"ControlDirectory", kCtl, 1, "directory"},
                      SpecialFile{"TableFifo", kTab, 0, "FIFO"},
                      SpecialFile{"TableDirectory", kTab, 1, "directory"},
                      SpecialFile{"TableLinkToDevice", kTab, 2,
                                  "character device"}),
    [](const ::testing::TestParamInfo<SpecialFile>& row) {
      return std::string(row.param.name);
    });

// An output that is one of the run's inputs, however it is named: the run
// ends with the report of the output's unit and every file stays as it was.
struct SameFile {
  const char* name;
  const char* table_name;  // record 3, and where the table lies
  const char* link;        // made to name the same file: "from>to"
  bool hard;               // a hard link, else a symbolic one
  BadInput expect;
};

std::ostream& operator<<(std::ostream& os, const SameFile& f) {
  return os << f.name;
}

class BadInputSameFile : public ::testing::TestWithParam<SameFile> {};

TEST_P(BadInputSameFile, IsRefusedAndEveryFileStays) {
  const SameFile& f = GetParam();
  ScratchDir dir;
  lay_out({"", record(3, f.table_name), nullptr, 0, "", 0, 0, {}}, dir);
  fs::create_directory(dir / "sub");
  if (std::string(f.table_name) != kTab && std::string(f.table_name) != "")
    fs::rename(dir / kTab, dir / fs::path(f.table_name).filename().string());
  if (*f.link != '\0') {
    const std::string l = f.link;
    const std::string from = l.substr(0, l.find('>'));
    const std::string to = l.substr(l.find('>') + 1);
    std::error_code ec;
    if (f.hard)
      fs::create_hard_link(dir / to, dir / from, ec);
    else
      fs::create_symlink(to, dir / from, ec);
    if (ec)
      GTEST_SKIP() << "no such link here: " << ec.message();
  }
  std::vector<std::pair<std::string, std::string>> before;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    if (e.is_regular_file())
      before.emplace_back(e.path().filename().string(), read_file(e.path()));
  }
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  check_message(f.expect, r);
  for (const auto& [name, bytes] : before) {
    if (name != "zereduv.log") {
      EXPECT_EQ(dir.read(name), bytes) << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, BadInputSameFile,
    ::testing::Values(
        SameFile{"TableIsTheFieldFile",
                 "eh_ZIV.#01",
                 "",
                 false,
                 {"",
                  nullptr,
                  nullptr,
                  2,
                  "eh_ZIV.#01",
                  7,
                  0,
                  {"the field table \"eh_ZIV.#01\""}}},
        SameFile{
            "TableThroughDotDotIsTheFieldFile",
            "sub/../eh_ZIV.#01",
            "",
            false,
            {"", nullptr, nullptr, 2, "eh_ZIV.#01", 7, 0, {"the field table"}}},
        SameFile{"FieldFileLinksToTheTable",
                 kTab,
                 "eh_ZIV.#01>pillbox.txt",
                 false,
                 {"",
                  nullptr,
                  nullptr,
                  2,
                  "eh_ZIV.#01",
                  7,
                  0,
                  {"the field table \"pillbox.txt\""}}},
        SameFile{"FieldFileHardLinkToTheTable",
                 kTab,
                 "eh_ZIV.#01>pillbox.txt",
                 true,
                 {"",
                  nullptr,
                  nullptr,
                  2,
                  "eh_ZIV.#01",
                  7,
                  0,
                  {"the field table \"pillbox.txt\""}}},
        SameFile{"FieldFileHardLinkToTheControlFile",
                 kTab,
                 "eh_ZIV.#01>zereduv.dat",
                 true,
                 {"",
                  nullptr,
                  nullptr,
                  2,
                  "eh_ZIV.#01",
                  7,
                  0,
                  {"the control file"}}},
        SameFile{"LogLinksToTheControlFile",
                 kTab,
                 "zereduv.log>zereduv.dat",
                 false,
                 {"",
                  nullptr,
                  nullptr,
                  2,
                  "zereduv.log",
                  8,
                  0,
                  {"the control file"}}}),
    [](const ::testing::TestParamInfo<SameFile>& row) {
      return std::string(row.param.name);
    });

// The base the rows damage must itself run through, else every row above
// could pass for the wrong reason.
TEST(BadInputBase, TheUndamagedExampleRuns) {
  ScratchDir dir;
  lay_out({"Good", nullptr, nullptr, 0, "", 0, 0, {}}, dir);
  const RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(field_files(dir), std::vector<std::string>{"eh_ZIV.#01"});
}

}  // namespace
}  // namespace zereduv::testing
