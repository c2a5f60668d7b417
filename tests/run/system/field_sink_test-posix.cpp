// The field file reached through a symbolic link: the link stays a link and
// its target gets the new field, whatever the link leads to, and the
// temporaries that killed runs left beside the target are removed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "output/field_file.h"
#include "output/output_fixture.h"
#include "run/errors.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

namespace fs = std::filesystem;
using output_test::dir_names;
using output_test::new_state;
using testing::ScratchDir;

constexpr std::size_t kLayout0Size = 6'032'140;

// The id of a process that has ended.
long ended_process() {
  const pid_t pid = ::fork();
  if (pid == 0)
    ::_exit(0);
  int ws = 0;
  ::waitpid(pid, &ws, 0);
  return static_cast<long>(pid);
}

// Writes layout 0 as eh_ZIV.#01 in the working directory `work`.
void write_field_file(const fs::path& work) {
  auto s = new_state();
  s->WorkDir = work;
  s->FileNumber = 1;
  s->FieldFormat = 0;
  WRITE_FIELD_FILE(*s);
}

struct LinkCase {
  const char* name;
  std::string target;  // the link's text, relative to the working directory
  std::vector<std::string> left;  // abandoned temporaries beside the target
  std::vector<std::string> kept;  // files beside the target that stay
};

TEST(FieldSinkLinks, TheLinkStaysAndTheTargetIsReplaced) {
  const std::string dead = std::to_string(ended_process());
  const std::string alive = std::to_string(static_cast<long>(::getppid()));
  const std::string long_name(250, 'f');
  const std::vector<LinkCase> cases = {
      {"into another folder, abandoned temporaries there",
       "runs/field.bin",
       {".eh_ZIV.#01.part" + dead + "-0", ".eh_ZIV.#01.part" + dead + "-7"},
       {".eh_ZIV.#01.part" + alive + "-0", ".eh_ZIV.#02.part" + dead + "-0",
        "field.bin"}},
      {"to a 250-character name", "runs/" + long_name, {}, {long_name}},
      {"through a second link", "runs/hop", {}, {"field.bin", "hop"}},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    fs::create_directory(dir / "runs");
    const fs::path final_target =
        c.target == "runs/hop" ? dir / "runs/field.bin" : dir / c.target;
    if (c.target == "runs/hop")
      fs::create_symlink("field.bin", dir / "runs/hop");
    testing::write_file(final_target, "older run");
    for (const auto& t : c.left)
      testing::write_file(dir / "runs" / t, "abandoned");
    for (const auto& t : c.kept) {
      if (!fs::exists(fs::symlink_status(dir / "runs" / t)))
        testing::write_file(dir / "runs" / t, "someone else's");
    }
    fs::create_symlink(c.target, dir / "eh_ZIV.#01");
    write_field_file(dir.path());
    EXPECT_TRUE(fs::is_symlink(dir / "eh_ZIV.#01"));
    EXPECT_EQ(fs::file_size(final_target), kLayout0Size);
    std::vector<std::string> expect = c.kept;
    std::sort(expect.begin(), expect.end());
    std::vector<std::string> got = dir_names(dir / "runs");
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expect);
  }
}

// In a working folder deeper than the longest path the system takes, the
// link is still followed, never replaced by a plain file.  The child
// process alone moves down there.
TEST(FieldSinkLinks, ADeepFolderKeepsTheLink) {
  ScratchDir dir;
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::chdir(dir.path().c_str()) != 0)
      ::_exit(10);
    const std::string step(200, 'd');
    for (int k = 0; k < 25; ++k) {
      if (::mkdir(step.c_str(), 0700) != 0 || ::chdir(step.c_str()) != 0)
        ::_exit(11);
    }
    testing::write_file("field.bin", "older run");
    if (::symlink("field.bin", "eh_ZIV.#01") != 0)
      ::_exit(12);
    try {
      write_field_file(".");
    } catch (const IoError&) {
      ::_exit(13);
    }
    struct stat st {};
    if (::lstat("eh_ZIV.#01", &st) != 0 || !S_ISLNK(st.st_mode))
      ::_exit(14);
    if (::stat("field.bin", &st) != 0 ||
        static_cast<std::size_t>(st.st_size) != kLayout0Size)
      ::_exit(15);
    ::_exit(0);
  }
  int ws = 0;
  ASSERT_EQ(::waitpid(pid, &ws, 0), pid);
  ASSERT_TRUE(WIFEXITED(ws));
  EXPECT_EQ(WEXITSTATUS(ws), 0)
      << "10 chdir, 11 mkdir, 12 symlink, 13 I/O error, 14 link replaced, "
         "15 target not written";
  // The scratch directory's own removal needs short paths.
  const pid_t rm = ::fork();
  if (rm == 0) {
    ::execlp("rm", "rm", "-rf", dir.path().c_str(),
             static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::waitpid(rm, &ws, 0);
}

}  // namespace
}  // namespace zereduv
