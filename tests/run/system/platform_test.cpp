// The platform layer's input side: a file that another program cuts short
// between the open and the read is reported, never read as if whole; a file
// read on in blocks hands out the records a whole read finds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run/errors.h"
#include "run/system/platform.h"
#include "run/text/channels.h"
#include "support/io_error.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

// n characters c, every thousandth a CR: lines that end in CR alone, as
// older T7 tables have them, which make one record of a whole table.
std::string cr_lines(std::size_t n, char c) {
  std::string s(n, c);
  for (std::size_t k = 999; k < n; k += 1000)
    s[k] = '\r';
  return s;
}

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
  // Uncut, the same file reads whole (as one record of lines that end in
  // CR alone, the only records longer than a line may be).
  const std::string cr_table = cr_lines(table.size() + 500, 'x');
  dir.write("table.txt", cr_table);
  TextIn in(2, "table.txt");
  in.open(dir / "table.txt");
  EXPECT_EQ(in.next_record("the table"), cr_table);
}

// Every record of `in`, taken one by one (peeking first, as the table
// reader does).
std::vector<std::string> records_of(TextIn& in) {
  std::vector<std::string> out;
  while (!in.at_end()) {
    const std::string peeked(in.peek_record());
    out.emplace_back(in.next_record("a record"));
    EXPECT_EQ(out.back(), peeked);
  }
  return out;
}

TEST(TextIn, FileReadInBlocksGivesTheRecordsOfAWholeRead) {
  // Records across the window's edges (including a CR LF split by one), a
  // record longer than the window (lines that end in CR alone), a last
  // record without LF, and a table of plain node records read by the quick
  // path.
  std::string plain;
  for (int k = 0; k < 6000; ++k)
    plain += "  1.00000E+00 " + std::to_string(k * 7) + ".25 -3.5E-01\r\n";
  const std::string cases[] = {
      cr_lines(262143, 'a') + "\r\n" + std::string(10, 'b') + "\n",
      cr_lines(262142, 'a') + "\r\nb\r\n\r\nlast",
      "head\n" + cr_lines(700000, 'c') + "\ntail\n",
      plain,
  };
  testing::ScratchDir dir;
  for (const std::string& content : cases) {
    SCOPED_TRACE(content.size());
    dir.write("table.txt", content);
    TextIn file(2, "table.txt");
    file.open(dir / "table.txt");
    TextIn whole(2, "table.txt");
    whole.open_memory(content);
    if (&content == &cases[3]) {
      double a[3] = {}, b[3] = {};
      while (!whole.at_end()) {
        ASSERT_TRUE(whole.read_plain_reals(a));
        ASSERT_TRUE(file.read_plain_reals(b));
        ASSERT_EQ(std::vector<double>(a, a + 3), std::vector<double>(b, b + 3));
      }
      EXPECT_TRUE(file.at_end());
      EXPECT_EQ(file.line(), 6000);
      continue;
    }
    EXPECT_EQ(records_of(file), records_of(whole));
  }
}

TEST(TextIn, FileCutShortOrGrownWhileReadInBlocks) {
  testing::ScratchDir dir;
  std::string table;
  while (table.size() < 1000000)
    table += std::string(99, 'x') + "\n";
  // Cut after the first block was read: the records read so far stand, the
  // end is refused.
  dir.write("table.txt", table);
  TextIn in(2, "table.txt");
  in.open(dir / "table.txt");
  in.next_record("a record");
  std::filesystem::resize_file(dir / "table.txt", 300000);
  const IoError e = testing::io_error_of([&] {
    while (!in.at_end())
      in.next_record("a record");
  });
  EXPECT_EQ(e.kind, "file changed while it was read");
  EXPECT_NE(e.detail.find("to 300000 of its 1000000 bytes"), std::string::npos)
      << e.detail;
  // Grown after the open: read on to the new end.
  dir.write("table.txt", table);
  in.open(dir / "table.txt");
  std::ofstream(dir / "table.txt", std::ios::binary | std::ios::app)
      << "grown\n";
  const std::vector<std::string> rec = records_of(in);
  ASSERT_EQ(rec.size(), 10001u);
  EXPECT_EQ(rec.back(), "grown");
}

// Reads node records of six reals as the table reader does (the quick path,
// else the general scanner), from the file through the input window or
// from its text held whole: every value and line number, or the error.
std::string read_nodes(const std::filesystem::path& file,
                       const std::string* whole) {
  TextIn in(2, "table.txt");
  if (whole != nullptr)
    in.open_memory(*whole);
  else
    in.open(file);
  double v[6] = {};
  const ReadItem node[] = {real_item(v[0], "Z"),   real_item(v[1], "R"),
                           real_item(v[2], "Ez"),  real_item(v[3], "Er"),
                           real_item(v[4], "|E|"), real_item(v[5], "H")};
  std::string out;
  try {
    while (!in.at_end()) {
      if (!in.read_plain_reals(v))
        in.read_list(node);
      out += std::to_string(in.line());
      for (double x : v)
        out += " " + std::to_string(x);
      out += "\n";
    }
  } catch (const IoError& e) {
    out += e.what();
  }
  return out;
}

TEST(TextIn, NodesReadThroughTheWindowAreThoseOfTheWholeText) {
  // 30,000 plain records (2.4 MB, ten windows); then the same with records
  // the quick path leaves to the general scanner or refuses, here and there
  // among the windows.
  std::vector<std::string> rec;
  for (int k = 0; k < 30000; ++k)
    rec.push_back(" " + std::to_string(k) + ".5E-01 2.5 -3.25E+02 " +
                  std::to_string(k % 977) + ".125 0.5 1.0E-05\r");
  struct Change {
    int at;
    std::string text;
  };
  const std::vector<std::vector<Change>> cases = {
      {},
      {{4000, "1,2,3,4,5,6"}, {9500, "1 2 3\n4 5 6"}, {19000, "7 8 9 1 2 3 4"}},
      {{6300, "1 2 3 4\n5 6"}, {6301, "1d0 2 3 4 5 6"}, {27000, "1 2 x 4 5 6"}},
      {{12345, "1 2 3 4 5 6 ,"}, {29999, "1 2 3 4 5 6E"}},
  };
  testing::ScratchDir dir;
  for (const auto& changes : cases) {
    std::vector<std::string> r = rec;
    for (const Change& c : changes)
      r[static_cast<std::size_t>(c.at)] = c.text;
    std::string content;
    for (const std::string& line : r)
      content += line + "\n";
    SCOPED_TRACE(changes.size());
    dir.write("table.txt", content);
    const std::string whole = read_nodes(dir / "table.txt", &content);
    EXPECT_EQ(read_nodes(dir / "table.txt", nullptr), whole);
    EXPECT_GT(whole.size(), 30000u);
  }
}

}  // namespace
}  // namespace zereduv
