// Storage of the large arrays: zeroed, aligned, apart, and bounded.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>

#include "run/system/big_memory.h"

namespace zereduv {
namespace {

TEST(BigRegion, HandsOutZeroedAlignedArraysThatDoNotOverlapUpToItsCapacity) {
  BigRegion r(3u << 20);
  const std::size_t sizes[] = {1, 1005000, 64, 1u << 20, 3};
  char* taken[std::size(sizes)];
  for (std::size_t t = 0; t < std::size(sizes); ++t) {
    const std::size_t n = sizes[t];
    char* const p = static_cast<char*>(r.take(n));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u) << n;
    for (std::size_t k = 0; k < n; ++k)
      ASSERT_EQ(p[k], 0) << n << " at " << k;
    std::memset(p, static_cast<int>(t + 1), n);
    taken[t] = p;
  }
  // Each array still holds its own mark: none overlaps another, whatever
  // order the storage came in.
  for (std::size_t t = 0; t < std::size(sizes); ++t)
    for (std::size_t k = 0; k < sizes[t]; ++k)
      ASSERT_EQ(taken[t][k], static_cast<char>(t + 1))
          << sizes[t] << " at " << k;
  EXPECT_THROW(r.take(2u << 20), std::bad_alloc);
}

}  // namespace
}  // namespace zereduv
