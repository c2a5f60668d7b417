// One run per directory: a run that finds the directory's lock taken leaves
// every file alone, and the next run cleans up after a killed one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "run/example_dir.h"
#include "run/system/process.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace zereduv::testing {
namespace {

TEST(RunLock, ASecondRunTouchesNothingAndTheNextCleansUp) {
  ScratchDir dir;
  lay_out(dir, 0);
  dir.write("zereduv.log", "log of an earlier run\r\n");
  dir.write(".eh_ZIV.#01.part4242-0", "temporary of a killed run");
  dir.write(".eh_ZIV.#01.part-keep", "not a temporary of ours");
  const std::vector<std::string> before = names_in(dir);

  // Another run holds the lock.
  auto held = std::make_unique<RunLock>();
  ASSERT_EQ(held->take(dir / "zereduv.dat"), RunLock::State::Held);
  RunResult r = run_program(ZEREDUV_EXE, {}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("unit 1, file \"zereduv.dat\""), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("in use by another zereduv run"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  EXPECT_EQ(names_in(dir), before);
  EXPECT_EQ(dir.read("zereduv.log"), "log of an earlier run\r\n");
  EXPECT_EQ(dir.read("eh_ZIV.#01"), kOlder);
  held.reset();

  // Free again: the run goes through and removes what the killed run left.
  r = run_program(ZEREDUV_EXE, {}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> after = kRunFiles;
  after.insert(after.begin(), ".eh_ZIV.#01.part-keep");
  EXPECT_EQ(names_in(dir), after);
  EXPECT_NE(dir.read("eh_ZIV.#01"), kOlder);
}

}  // namespace
}  // namespace zereduv::testing
