#include "output/text_layouts.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "output/field_file.h"
#include "output/output_fixture.h"
#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"
#include "support/scratch_dir.h"

namespace zereduv {
namespace {

using output_test::dir_names;
using output_test::fill_tagged;
using output_test::new_state;
using output_test::set_grid;
using output_test::slurp;
using output_test::split_lines;
using output_test::tag;
using testing::ScratchDir;

constexpr std::size_t kLayout1Size = 18'598'808;
constexpr std::size_t kLayout2Size = 18'592'724;
const std::string kZero = "  0.000000000000000E+000";

class TextLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    s->WorkDir = dir.path();
    s->FileNumber = 12;
    set_grid(*s, 10.0, 1.5, 1, 1, 0);
    fill_tagged(*s);
  }
  std::string write(int32_t format) {
    s->FieldFormat = format;
    WRITE_FIELD_FILE(*s);
    EXPECT_EQ(dir_names(dir.path()), std::vector<std::string>{"eh_ZIV.#12"});
    return slurp(dir / "eh_ZIV.#12");
  }
  ScratchDir dir;
  std::unique_ptr<RunState> s = new_state();
};

// Every line ends in CR LF, with no bare CR or LF anywhere.
std::vector<std::string> crlf_lines(const std::string& text) {
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  const auto lines = split_lines(text, "\r\n");
  for (const auto& l : lines) {
    EXPECT_EQ(l.find_first_of("\r\n"), std::string::npos);
  }
  return lines;
}

TEST_F(TextLayout, Layout1LineKinds) {
  const std::string text = write(1);
  ASSERT_EQ(text.size(), kLayout1Size);
  const auto lines = crlf_lines(text);
  ASSERT_EQ(lines.size(), 2u + 9 + 9 + 67 + 6 * 41875 + 1);

  EXPECT_EQ(lines[0],
            "   10.0000000000000        1.50000000000000     "
            "           0");
  EXPECT_EQ(lines[1], "           1           1           0");
  // x and y: eight full lines, then the 25th value alone.
  for (std::size_t l = 2; l < 20; ++l) {
    EXPECT_EQ(lines[l].size(), (l == 10 || l == 19) ? 24u : 72u) << l;
  }
  EXPECT_EQ(lines[2].substr(0, 24), kZero);  // XOut(1) with SymX set
  EXPECT_EQ(lines[10], "   1.50000000000000     ");
  for (std::size_t l = 20; l + 1 < lines.size(); ++l) {
    ASSERT_EQ(lines[l].size(), 72u) << l;
  }
  EXPECT_EQ(lines.back(), "         -99");
}

TEST_F(TextLayout, Layout1ValuesInLayout0Order) {
  const auto lines = crlf_lines(write(1));
  const std::size_t first = 2 + 9 + 9 + 67;
  for (int k = 1; k <= 6; ++k) {
    const std::size_t group = first + static_cast<std::size_t>(k - 1) * 41875;
    for (const std::size_t n :
         {std::size_t{0}, std::size_t{2}, std::size_t{3}, std::size_t{25},
          std::size_t{626}, std::size_t{99999}, kOutPoints - 1}) {
      const auto ix = static_cast<int32_t>(n % 25 + 1);
      const auto iy = static_cast<int32_t>(n / 25 % 25 + 1);
      const auto iz = static_cast<int32_t>(n / 625 + 1);
      EXPECT_EQ(lines[group + n / 3].substr(24 * (n % 3), 24),
                d24(tag(k, ix, iy, iz)))
          << "component " << k << " n " << n;
    }
  }
  for (int32_t iz = 1; iz <= kNzOut; ++iz) {
    const auto n = static_cast<std::size_t>(iz - 1);
    EXPECT_EQ(lines[20 + n / 3].substr(24 * (n % 3), 24), d24(s->ZOut(iz)));
  }
}

TEST_F(TextLayout, Layout2HeaderAndNodeOffsets) {
  const std::string text = write(2);
  ASSERT_EQ(text.size(), kLayout2Size);
  const auto head = split_lines(text.substr(0, 224), "\r\n");
  ASSERT_EQ(head.size(), 4u);
  EXPECT_EQ(head[0], kZero + "   1.50000000000000               25");
  EXPECT_EQ(head[1], kZero + "   1.50000000000000               25");
  EXPECT_EQ(head[2],
            "  -5.00000000000000        5.00000000000000     "
            "         201");
  EXPECT_EQ(head[3], "           1           1           0");

  const Field3D* f[6] = {&s->Ex3D, &s->Ey3D, &s->Ez3D,
                         &s->Bx3D, &s->By3D, &s->Bz3D};
  for (const auto& [ix, iy, iz] :
       std::vector<std::array<int32_t, 3>>{{1, 1, 1},
                                           {1, 1, 2},
                                           {1, 2, 1},
                                           {2, 1, 1},
                                           {13, 7, 150},
                                           {25, 25, 201}}) {
    const std::size_t m = static_cast<std::size_t>(ix - 1) * 25 * 201 +
                          static_cast<std::size_t>(iy - 1) * 201 +
                          static_cast<std::size_t>(iz - 1);
    std::string expect;
    for (int k = 0; k < 6; ++k) {
      expect += d24((*f[k])(ix, iy, iz));
      if (k == 2 || k == 5)
        expect += "\r\n";
    }
    EXPECT_EQ(text.substr(224 + 148 * m, 148), expect)
        << ix << "," << iy << "," << iz;
  }
}

TEST_F(TextLayout, NegativeZeroIsWrittenAsZero) {
  s->Ex3D(1, 1, 1) = -0.0;
  s->Bz3D(1, 1, 1) = -0.0;
  s->Bx3D(1, 1, 1) = 0.0;
  const auto lines1 = crlf_lines(write(1));
  EXPECT_EQ(lines1[87].substr(0, 24), kZero);
  EXPECT_EQ(lines1[87 + 3 * 41875].substr(0, 24), kZero);
  EXPECT_EQ(lines1[87 + 5 * 41875].substr(0, 24), kZero);
  const std::string text2 = write(2);
  EXPECT_EQ(text2.substr(224, 24), kZero);
  EXPECT_EQ(text2.substr(224 + 74, 24), kZero);
  EXPECT_EQ(text2.substr(224 + 74 + 48, 24), kZero);
}

TEST_F(TextLayout, SizesDoNotDependOnValuesOrKeys) {
  // Wide values in both forms, another grid, over an older, longer file.
  for (auto* f : {&s->Ex3D, &s->By3D}) {
    (*f)(3, 4, 5) = -1.234e-300;
    (*f)(5, 4, 3) = 9.99e299;
  }
  set_grid(*s, -123456.0, 1e-7, 0, 0, -1);
  s->SymX = -2147483647 - 1;
  {
    std::ofstream old(dir / "eh_ZIV.#12", std::ios::binary);
    old << std::string(kLayout1Size + 999, 'x');
  }
  EXPECT_EQ(write(2).size(), kLayout2Size);
  EXPECT_EQ(write(1).size(), kLayout1Size);
}

}  // namespace
}  // namespace zereduv
