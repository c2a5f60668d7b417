// The platform layer's input side: a file that another program cuts short
// between the open and the read is reported, never read as if whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run/channels.h"
#include "run/errors.h"
#include "run/platform.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

TEST(InputFile, CutShortWhileReadIsAnError) {
  testing::ScratchDir dir;
  const std::string table(100000, 'x');
  for (const std::uintmax_t cut : {0u, 1u, 65536u, 99999u}) {
    SCOPED_TRACE(cut);
    dir.write("table.txt", table);
    platform::InputFile file;
    ASSERT_FALSE(file.open(dir / "table.txt"));
    EXPECT_EQ(file.size(), table.size());
    std::filesystem::resize_file(dir / "table.txt", cut);
    platform::FileBytes bytes;
    const platform::FileError e = file.read_all(bytes);
    EXPECT_EQ(e.kind, "file changed while it was read");
    EXPECT_NE(e.reason.find(std::to_string(cut) + " of its 100000 bytes"),
              std::string::npos)
        << e.reason;
  }
  // Uncut, the same file reads whole.
  dir.write("table.txt", table);
  TextIn in(2, "table.txt");
  in.open(dir / "table.txt");
  EXPECT_EQ(in.next_record("the table"), table);
}

}  // namespace
}  // namespace zereduv
