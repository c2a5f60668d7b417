// The command line: a run takes no argument or its folder (the folder, or
// the path of its zereduv.dat); --help and --version print and end, any
// other argument is refused.  Those refused touch no file of the working
// directory, not even the log.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace zereduv::testing {
namespace {

namespace fs = std::filesystem;

struct Args {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::vector<std::string> out;  // texts standard output must hold
  std::vector<std::string> err;  // texts standard error must hold
};

std::ostream& operator<<(std::ostream& os, const Args& a) {
  return os << a.name;
}

const std::vector<std::string> kHelpHolds = {"usage: zereduv",
                                             "zereduv.dat",
                                             "zereduv.log",
                                             "eh_ZIV.#NN",
                                             "  1  title",
                                             "  3  name of the field table",
                                             "  12  FieldScale",
                                             "  0  normal end",
                                             "  1  an argument",
                                             "  2  an I/O error",
                                             "  3  input that cannot be used",
                                             "see zereduv(1)"};

std::vector<Args> rows() {
  return {
      {"Help", {"--help"}, 0, kHelpHolds, {}},
      {"ShortHelp", {"-h"}, 0, kHelpHolds, {}},
      {"Version", {"--version"}, 0, {"zereduv "}, {}},
      {"UnknownOption",
       {"--frequency"},
       1,
       {},
       {"\"--frequency\"", "usage: zereduv"}},
      {"FileName",
       {"pillbox.txt"},
       1,
       {},
       {"\"pillbox.txt\"", "usage: zereduv"}},
      {"MissingFolder",
       {"no-such-folder"},
       1,
       {},
       {"\"no-such-folder\"", "usage: zereduv"}},
      {"ControlFileOfMissingFolder",
       {"no-such-folder/zereduv.dat"},
       1,
       {},
       {"usage: zereduv"}},
      {"EmptyArgument", {""}, 1, {}, {"\"\"", "usage: zereduv"}},
      {"HelpWithMore",
       {"--help", "x\ny"},
       1,
       {},
       {"\"x?y\"", "usage: zereduv"}},
  };
}

class CommandLine : public ::testing::TestWithParam<Args> {};

TEST_P(CommandLine, PrintsOrRefusesAndTouchesNothing) {
  const Args& a = GetParam();
  ScratchDir dir;
  const std::string ctl =
      read_file(fs::path(ZEREDUV_SOURCE_DIR) / "examples/pillbox/zereduv.dat");
  dir.write("zereduv.dat", ctl);
  dir.write("zereduv.log", "log of an earlier run\r\n");
  const RunResult r = run_program(ZEREDUV_EXE, a.args, dir.path());
  EXPECT_EQ(r.status, a.status);
  for (const auto& t : a.out)
    EXPECT_NE(r.out.find(t), std::string::npos) << t << "\n" << r.out;
  for (const auto& t : a.err)
    EXPECT_NE(r.err.find(t), std::string::npos) << t << "\n" << r.err;
  if (a.status == 0) {
    EXPECT_EQ(r.err, "");
  } else {
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "not one line: " << r.err;
  }
  if (a.args[0] == "--version") {
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
  }
  EXPECT_EQ(dir.read("zereduv.dat"), ctl);
  EXPECT_EQ(dir.read("zereduv.log"), "log of an earlier run\r\n");
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, 2);
}

INSTANTIATE_TEST_SUITE_P(Args, CommandLine, ::testing::ValuesIn(rows()),
                         [](const auto& tp) {
                           return std::string(tp.param.name);
                         });

// The folder argument: each form runs in the folder it names exactly as a
// run started there, whatever the working directory.
TEST(CommandLine, FolderArgumentRunsThere) {
  const struct {
    const char* what;
    const char* cwd;  // below the scratch folder
    std::vector<std::string> args;
  } cases[] = {
      {"the folder", "", {"run"}},
      {"its control file", "", {"run/zereduv.dat"}},
      {"the working folder's control file", "run", {"zereduv.dat"}},
      {"the working folder", "run", {"."}},
  };
  const fs::path example = fs::path(ZEREDUV_SOURCE_DIR) / "examples/pillbox";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    fs::create_directory(dir / "run");
    fs::copy_file(example / "zereduv.dat", dir / "run/zereduv.dat");
    fs::copy_file(example / "pillbox.txt", dir / "run/pillbox.txt");
    const RunResult r = run_program(ZEREDUV_EXE, c.args, dir / c.cwd);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Reading file: pillbox.txt"), std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::is_regular_file(dir / "run/zereduv.log"));
    EXPECT_EQ(fs::file_size(dir / "run/eh_ZIV.#01"), 6032140u);
    EXPECT_FALSE(fs::exists(dir / "zereduv.log"));
  }
}

}  // namespace
}  // namespace zereduv::testing
