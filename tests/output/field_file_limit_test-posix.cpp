// The field file when the disk fills half way, shown with a file-size limit
// (a POSIX resource limit, so these tests are built on POSIX systems only).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>

#include "output/field_file.h"
#include "output/output_fixture.h"
#include "run/errors.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

using output_test::older_file_alone;
using output_test::set_grid;
using output_test::state_over_older_file;
using testing::ScratchDir;

// A write that fails half way (here: the file-size limit, as a full disk
// would) removes the partial file and leaves the older field file as it
// was.  Runs in a child process, which alone gets the limit.
void write_under_size_limit(int32_t format) {
  ScratchDir dir;
  auto s = state_over_older_file(dir.path(), 1, format);
  set_grid(*s, 10.0, 1.5, 0, 0, 0);
  ::signal(SIGXFSZ, SIG_IGN);
  const rlimit lim{1 << 20, 1 << 20};
  ::setrlimit(RLIMIT_FSIZE, &lim);
  bool reported = false;
  try {
    WRITE_FIELD_FILE(*s);
  } catch (const IoError& e) {
    reported = e.unit == 7 && e.file == "eh_ZIV.#01";
  }
  ::_exit(reported && older_file_alone(dir.path(), "eh_ZIV.#01") ? 0 : 1);
}

TEST(FieldFileErrorsDeathTest, FailedWriteKeepsTheOlderFile) {
  for (const int32_t format : {0, 1, 2}) {
    EXPECT_EXIT(write_under_size_limit(format), ::testing::ExitedWithCode(0),
                "")
        << "layout " << format;
  }
}

}  // namespace
}  // namespace zereduv
