#include "output/field_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "output/output_fixture.h"
#include "run/errors.h"
#include "run/system/field_sink.h"
#include "support/console.h"
#include "support/io_error.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

namespace fs = std::filesystem;
using output_test::dir_names;
using output_test::fill_tagged;
using output_test::le_f64;
using output_test::le_i32;
using output_test::new_state;
using output_test::older_file_alone;
using output_test::set_grid;
using output_test::slurp;
using output_test::state_over_older_file;
using output_test::tag;
using testing::io_error_of;
using testing::ScratchDir;

constexpr std::size_t kLayout0Size = 6'032'140;
constexpr const char* kInvalidFormatStop =
    " Not a valid VELTA 3D field format: use 0, 1 or 2 ";

struct NameCase {
  int32_t file_number;
  const char* name;
};

class FileName : public ::testing::TestWithParam<NameCase> {};

// An invalid layout number shows the name and stops without touching the
// directory, which makes the name testable without writing a file.
TEST_P(FileName, TemplateThenTwoDigits) {
  const NameCase& c = GetParam();
  ScratchDir dir;
  auto s = new_state();
  s->WorkDir = dir.path();
  s->FileNumber = c.file_number;
  s->FieldFormat = 3;
  try {
    WRITE_FIELD_FILE(*s);
    FAIL() << "no stop";
  } catch (const RunStop& stop) {
    EXPECT_EQ(stop.message, kInvalidFormatStop);
  }
  EXPECT_EQ(s->OutFileName, std::string(c.name) + std::string(70, ' '));
  EXPECT_EQ(s->console.memory(),
            testing::console_lines(std::string(" Output field file name = ") +
                                   c.name + "\n"));
  EXPECT_EQ(s->log.memory(), "");
  EXPECT_TRUE(dir_names(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Output, FileName,
    ::testing::Values(NameCase{0, "eh_ZIV.#00"}, NameCase{1, "eh_ZIV.#01"},
                      NameCase{7, "eh_ZIV.#07"}, NameCase{12, "eh_ZIV.#12"},
                      NameCase{99, "eh_ZIV.#99"}, NameCase{100, "eh_ZIV.#**"},
                      NameCase{-1, "eh_ZIV.#**"}));

TEST(FormatStop, AnyOtherLayoutLeavesAnExistingFileAlone) {
  for (const int32_t format : {-1, 3, 10}) {
    ScratchDir dir;
    auto s = state_over_older_file(dir.path(), 5, format);
    EXPECT_THROW(WRITE_FIELD_FILE(*s), RunStop) << format;
    EXPECT_TRUE(older_file_alone(dir.path(), "eh_ZIV.#05"));
    EXPECT_EQ(s->HeaderInt, 0);
    EXPECT_EQ(s->EndMarker, -99);
  }
}

// Record k starts at these byte offsets (length, data, length).
constexpr std::size_t kRec3 = 28 + 20;
constexpr std::size_t kRec5 = kRec3 + 2 * 208;
constexpr std::size_t kRec6 = kRec5 + 8 + 8 * 201;
constexpr std::size_t kArrayRec = 8 + 8 * kOutPoints;

class Layout0 : public ::testing::Test {
 protected:
  void SetUp() override {
    s->WorkDir = dir.path();
    s->FileNumber = 1;
    s->FieldFormat = 0;
    set_grid(*s, 10.0, 1.5, 1, -2, 0);
    fill_tagged(*s);
  }
  std::string write() {
    WRITE_FIELD_FILE(*s);
    return slurp(dir / "eh_ZIV.#01");
  }
  ScratchDir dir;
  std::unique_ptr<RunState> s = new_state();
};

TEST_F(Layout0, HeaderBytes) {
  const std::string b = write();
  ASSERT_EQ(b.size(), kLayout0Size);
  // L = 20; ElementLength 10.0 and Aperture 1.5 as little-endian doubles.
  const std::string head(
      "\x14\0\0\0"
      "\0\0\0\0\0\0\x24\x40"
      "\0\0\0\0\0\0\xF8\x3F"
      "\0\0\0\0"
      "\x14\0\0\0",
      28);
  EXPECT_EQ(b.substr(0, 28), head);
  EXPECT_EQ(le_i32(b, 28), 12);
  EXPECT_EQ(le_i32(b, 32), 1);
  EXPECT_EQ(le_i32(b, 36), -2);
  EXPECT_EQ(le_i32(b, 40), 0);
  EXPECT_EQ(le_i32(b, 44), 12);
  // The end marker record.
  EXPECT_EQ(b.substr(b.size() - 12), std::string("\x04\0\0\0\x9D\xFF\xFF\xFF"
                                                 "\x04\0\0\0",
                                                 12));
  EXPECT_EQ(dir_names(dir.path()).size(), 1u);
}

TEST_F(Layout0, RecordFramesAndCoordinates) {
  const std::string b = write();
  ASSERT_EQ(b.size(), kLayout0Size);
  const struct {
    std::size_t at;
    int32_t length;
  } frames[] = {{kRec3, 200}, {kRec3 + 208, 200}, {kRec5, 1608}};
  for (const auto& f : frames) {
    EXPECT_EQ(le_i32(b, f.at), f.length) << f.at;
    EXPECT_EQ(le_i32(b, f.at + 4 + static_cast<std::size_t>(f.length)),
              f.length)
        << f.at;
  }
  for (int32_t i = 1; i <= kNx; ++i) {
    const auto at = 8 * static_cast<std::size_t>(i - 1);
    EXPECT_EQ(le_f64(b, kRec3 + 4 + at), s->XOut(i));
    EXPECT_EQ(le_f64(b, kRec3 + 212 + at), s->YOut(i));
  }
  for (int32_t i = 1; i <= kNzOut; ++i) {
    EXPECT_EQ(le_f64(b, kRec5 + 4 + 8 * static_cast<std::size_t>(i - 1)),
              s->ZOut(i));
  }
  EXPECT_EQ(le_f64(b, kRec3 + 4), 0.0);
  EXPECT_EQ(le_f64(b, kRec3 + 212 + 8 * 24), 1.5);
}

TEST_F(Layout0, ArraysXFastestOneRecordEach) {
  const std::string b = write();
  ASSERT_EQ(b.size(), kLayout0Size);
  for (int k = 1; k <= 6; ++k) {
    const std::size_t at = kRec6 + static_cast<std::size_t>(k - 1) * kArrayRec;
    ASSERT_EQ(le_i32(b, at), 8 * 125625) << k;
    ASSERT_EQ(le_i32(b, at + kArrayRec - 4), 8 * 125625) << k;
    for (const std::size_t n :
         {std::size_t{0}, std::size_t{1}, std::size_t{24}, std::size_t{25},
          std::size_t{624}, std::size_t{625}, std::size_t{70001},
          kOutPoints - 1}) {
      const auto ix = static_cast<int32_t>(n % 25 + 1);
      const auto iy = static_cast<int32_t>(n / 25 % 25 + 1);
      const auto iz = static_cast<int32_t>(n / 625 + 1);
      EXPECT_EQ(le_f64(b, at + 4 + 8 * n), tag(k, ix, iy, iz))
          << "component " << k << " n " << n;
    }
  }
}

TEST_F(Layout0, KeepsTheBitsOfNegativeZero) {
  s->Ex3D(1, 1, 1) = -0.0;
  const std::string b = write();
  EXPECT_EQ(b.substr(kRec6 + 4, 8), std::string("\0\0\0\0\0\0\0\x80", 8));
}

TEST_F(Layout0, ReplacesALongerFileExactly) {
  {
    std::ofstream old(dir / "eh_ZIV.#01", std::ios::binary);
    old << std::string(kLayout0Size + 12345, 'x');
  }
  EXPECT_EQ(write().size(), kLayout0Size);
  EXPECT_EQ(dir_names(dir.path()).size(), 1u);
}

// Overwriting keeps what the user set up: the permissions of the older file,
// and a symbolic link keeps pointing at the (new) field file.
TEST(FieldFileReplace, KeepsPermissionsAndSymbolicLinks) {
  ScratchDir dir;
  fs::create_directory(dir / "runs");
  std::ofstream(dir / "runs" / "field.bin") << "older run";
  fs::permissions(dir / "runs" / "field.bin", fs::perms::owner_read |
                                                  fs::perms::owner_write |
                                                  fs::perms::group_read);
  fs::create_symlink("runs/field.bin", dir / "eh_ZIV.#01");
  auto s = new_state();
  s->WorkDir = dir.path();
  s->FileNumber = 1;
  s->FieldFormat = 0;
  WRITE_FIELD_FILE(*s);
  EXPECT_TRUE(fs::is_symlink(dir / "eh_ZIV.#01"));
  EXPECT_EQ(fs::file_size(dir / "runs" / "field.bin"), kLayout0Size);
  EXPECT_EQ(
      fs::status(dir / "runs" / "field.bin").permissions(),
      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(dir_names(dir / "runs"), std::vector<std::string>{"field.bin"});
}

// A directory where the field file should go cannot be replaced: unit 7
// reports it, and nothing is left behind in the directory.
TEST(FieldFileErrors, DirectoryOfThatNameIsAnIoErrorOnUnit7) {
  for (const int32_t format : {0, 1, 2}) {
    ScratchDir dir;
    fs::create_directory(dir / "eh_ZIV.#01");
    auto s = new_state();
    s->WorkDir = dir.path();
    s->FileNumber = 1;
    s->FieldFormat = format;
    SCOPED_TRACE(format);
    const IoError e = io_error_of([&] { WRITE_FIELD_FILE(*s); });
    EXPECT_EQ(e.unit, 7);
    EXPECT_EQ(e.file, "eh_ZIV.#01");
    EXPECT_EQ(dir_names(dir.path()), std::vector<std::string>{"eh_ZIV.#01"});
    EXPECT_TRUE(fs::is_directory(dir / "eh_ZIV.#01"));
  }
}

TEST(FieldFileErrors, MissingDirectoryIsAnIoErrorOnUnit7) {
  auto s = new_state();
  s->WorkDir = "/nonexistent/zereduv/dir";
  s->FileNumber = 1;
  s->FieldFormat = 0;
  const IoError e = io_error_of([&] { WRITE_FIELD_FILE(*s); });
  EXPECT_EQ(e.unit, 7);
  EXPECT_EQ(e.file, "eh_ZIV.#01");
}

}  // namespace
}  // namespace zereduv
