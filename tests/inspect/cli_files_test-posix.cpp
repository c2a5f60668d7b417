// The files of zereduv-inspect: what it refuses to read or to overwrite,
// text that is not UTF-8 in its JSON and SVG, and output files that a full
// disk leaves as they were.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#ifdef ZEREDUV_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

#include "cli.h"
#include "inspect_tables.h"
#include "output/field_layout.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"
#include "svg.h"

namespace zereduv::inspect {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

/// A scratch directory with a pillbox table (its name holds a Latin-1 e
/// acute, as written by a Windows tool) and an earlier picture.
struct Dir {
  ScratchDir dir;
  std::string table, old_svg;
  Dir() {
    table = (dir /
             "pill\xE9"
             "box.txt")
                .string();
    dir.write(
        "pill\xE9"
        "box.txt",
        testing::make_table(testing::pillbox(1.3e9, 4.0, 40, 30)));
    old_svg = (dir / "old.svg").string();
    dir.write("old.svg", "earlier picture");
  }
  std::string path(const std::string& name) const {
    return (dir / name).string();
  }
  std::vector<std::string> names() const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir.path()))
      v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
};

TEST(InspectFiles, RefusedFilesAreMessages) {
  Dir d;
  const std::string table_bytes = d.dir.read(
      "pill\xE9"
      "box.txt");
  ASSERT_EQ(::mkfifo(d.path("fifo").c_str(), 0600), 0);
  fs::create_symlink(d.table, d.path("link.svg"));
  // A sparse file one byte longer than the longest layout.
  d.dir.write("long", "");
  fs::resize_file(d.path("long"), kLargestLayoutBytes + 1);
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string err;  // part of standard error
  };
  const Row rows[] = {
      {{"table", d.path("fifo")},
       kExitUnreadable,
       "it is a FIFO, not a regular file"},
      {{"field", d.dir.path().string()}, kExitUnreadable, "it is a directory"},
      {{"field", "/dev/zero"}, kExitUnreadable, "it is a character device"},
      {{"field", d.path("long")},
       kExitDamaged,
       "the file has " + std::to_string(kLargestLayoutBytes + 1) +
           " bytes, more than any field file"},
      {{"table", d.table, "--csv", d.table},
       kExitUsage,
       "being read; it would be overwritten"},
      {{"table", d.table, "--svg", d.path("link.svg")},
       kExitUsage,
       "being read"},
      {{"table", d.table, "--csv", d.old_svg, "--svg", d.old_svg},
       kExitUsage,
       "--csv and --svg name the same file"},
      {{"table", d.table, "--svg", "/dev/full"},
       kExitUnreadable,
       "cannot write \"/dev/full\": No space left on device"},
      {{"table", d.table, "--csv", d.path("none/axis.csv")},
       kExitUnreadable,
       "No such file or directory"},
      {{"table", d.table, "--svg", d.dir.path().string()},
       kExitUnreadable,
       "Is a directory"},
  };
  for (const auto& r : rows) {
    std::string out, err, name;
    for (const auto& a : r.args)
      name += a + " ";
    EXPECT_EQ(run_inspect(r.args, out, err), r.status) << name << err;
    EXPECT_NE(err.find(r.err), std::string::npos) << name << err;
    EXPECT_EQ(d.dir.read("pill\xE9"
                         "box.txt"),
              table_bytes)
        << name;
    EXPECT_EQ(d.dir.read("old.svg"), "earlier picture") << name;
  }
  EXPECT_EQ(d.names(),
            (std::vector<std::string>{"fifo", "link.svg", "long", "old.svg",
                                      "pill\xE9"
                                      "box.txt"}));
}

TEST(InspectFiles, TextNotUtf8IsEscaped) {
  Dir d;
  // A units record with a Latin-1 degree sign, beside the file name's e.
  std::string t = d.dir.read(
      "pill\xE9"
      "box.txt");
  const std::size_t at = t.find("(A/m) ");
  ASSERT_NE(at, std::string::npos);
  t.insert(at + 5, " \xB0");
  d.dir.write(
      "pill\xE9"
      "box.txt",
      t);

  std::string out, err;
#ifdef ZEREDUV_HAVE_JSON
  ASSERT_EQ(
      run_inspect({"table", d.table, "--json", "--svg", d.old_svg}, out, err),
      kExitOk)
      << err;
  const auto j =
      nlohmann::json::parse(out);  // throws on bytes that are not UTF-8
  EXPECT_EQ(j["file"], d.dir.path().string() +
                           "/pill\xEF\xBF\xBD"
                           "box.txt");
#else
  ASSERT_EQ(run_inspect({"table", d.table, "--svg", d.old_svg}, out, err),
            kExitOk)
      << err;
#endif
  const std::string svg = d.dir.read("old.svg");
  EXPECT_NE(svg.find("pill\xEF\xBF\xBD"
                     "box.txt"),
            std::string::npos);
  EXPECT_EQ(svg.find("pill\xE9"), std::string::npos);
  // A surrogate, a five-byte form and an overlong slash: one U+FFFD a byte.
  std::string ten;
  for (int k = 0; k < 10; ++k)
    ten += "\xEF\xBF\xBD";
  EXPECT_EQ(xml_escape("a\xC3\xA9<\xED\xA0\x80\xF8\x88\x80\x80\x80\xC0\xAF"),
            "a\xC3\xA9&lt;" + ten);
}

TEST(InspectFiles, FullDiskKeepsTheEarlierFile) {
  Dir d;
  // The child may write files of at most 1 KB: the picture's write fails
  // with EFBIG as on a full disk.
  int pipe_fd[2];
  ASSERT_EQ(::pipe(pipe_fd), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(pipe_fd[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{1024, 1024};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    std::string out, err;
    const int status =
        run_inspect({"table", d.table, "--svg", d.old_svg}, out, err);
    if (::write(pipe_fd[1], err.data(), err.size()) < 0)
      ::_exit(99);
    ::_exit(status);
  }
  ::close(pipe_fd[1]);
  std::string err;
  char buf[512];
  for (ssize_t k; (k = ::read(pipe_fd[0], buf, sizeof buf)) > 0;)
    err.append(buf, static_cast<std::size_t>(k));
  ::close(pipe_fd[0]);
  int wstatus = 0;
  ASSERT_EQ(::waitpid(pid, &wstatus, 0), pid);
  ASSERT_TRUE(WIFEXITED(wstatus));
  EXPECT_EQ(WEXITSTATUS(wstatus), kExitUnreadable) << err;
  EXPECT_NE(err.find("cannot write \"" + d.old_svg + "\": File too large"),
            std::string::npos)
      << err;
  EXPECT_EQ(d.dir.read("old.svg"), "earlier picture");
  EXPECT_EQ(d.names(), (std::vector<std::string>{"old.svg",
                                                 "pill\xE9"
                                                 "box.txt"}));
}

// What zereduv-inspect reads is never written, however the output is named
// and whether it is an output file or standard output (a shell's `>>`):
// the control file's table and the field file it names count as read.  A
// file-size limit, with its signal at the default, fails the picture's
// write and leaves no temporary.  Every file of the directory stays.
TEST(InspectFiles, NothingReadIsWritten) {
  const fs::path example = fs::path(ZEREDUV_SOURCE_DIR) / "examples/pillbox";
  struct Row {
    const char* what;
    const char* cwd;     // the folder it runs in, under the scratch folder
    std::string script;  // for /bin/sh -c, with $0 the program
    int status;
    const char* err;  // part of standard error
  };
  const Row rows[] = {
      {"control --onaxis the table", "",
       "exec \"$0\" control zereduv.dat --onaxis pillbox.txt", kExitUsage,
       "--onaxis pillbox.txt is the field table pillbox.txt"},
      {"control --onaxis the table from a subfolder", "sub",
       "exec \"$0\" control ../zereduv.dat --onaxis ../pillbox.txt", kExitUsage,
       "is the field table pillbox.txt"},
      {"control --onaxis the field file", "",
       "exec \"$0\" control zereduv.dat --onaxis eh_ZIV.#01", kExitUsage,
       "is the field file eh_ZIV.#01"},
      {"table >> the table", "", "exec \"$0\" table pillbox.txt >> pillbox.txt",
       kExitUsage, "standard output is the file pillbox.txt being read"},
      {"control >> the control file", "",
       "exec \"$0\" control zereduv.dat >> zereduv.dat", kExitUsage,
       "standard output is the file zereduv.dat being read"},
      {"control >> its table through a link", "",
       "exec \"$0\" control zereduv.dat >> link.txt", kExitUsage,
       "standard output is the field table pillbox.txt"},
      {"--svg under a file-size limit", "",
       "ulimit -f 1 || exit 99; exec \"$0\" table pillbox.txt --svg old.svg",
       kExitUnreadable, "File too large"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ScratchDir dir;
    for (const char* name : {"zereduv.dat", "pillbox.txt"})
      fs::copy_file(example / name, dir / name);
    dir.write("eh_ZIV.#01", "field file of an earlier run");
    dir.write("old.svg", "earlier picture");
    fs::create_directory(dir / "sub");
    fs::create_symlink("pillbox.txt", dir / "link.txt");
    std::vector<std::pair<std::string, std::string>> before;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      if (e.is_regular_file() && !e.is_symlink())
        before.emplace_back(e.path().filename().string(),
                            dir.read(e.path().filename().string()));
    }
    std::sort(before.begin(), before.end());
    const testing::RunResult res = testing::run_program(
        "/bin/sh", {"-c", r.script, ZEREDUV_INSPECT_EXE}, dir / r.cwd);
    if (res.status == 99)
      GTEST_SKIP() << "no file-size limit available";
    EXPECT_EQ(res.status, r.status) << res.err;
    EXPECT_NE(res.err.find(r.err), std::string::npos) << res.err;
    std::vector<std::pair<std::string, std::string>> after;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      if (e.is_regular_file() && !e.is_symlink())
        after.emplace_back(e.path().filename().string(),
                           dir.read(e.path().filename().string()));
    }
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
  }
}

}  // namespace
}  // namespace zereduv::inspect
