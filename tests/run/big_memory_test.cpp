// Storage of the large arrays: zeroed, aligned, apart, and bounded.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "run/big_memory.h"

namespace zereduv {
namespace {

TEST(BigRegion, HandsOutZeroedAlignedArraysThatDoNotOverlapUpToItsCapacity) {
  BigRegion r(3u << 20);
  const std::size_t sizes[] = {1, 1005000, 64, 1u << 20, 3};
  char* last_end = nullptr;
  for (std::size_t n : sizes) {
    char* const p = static_cast<char*>(r.take(n));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u) << n;
    for (std::size_t k = 0; k < n; ++k) ASSERT_EQ(p[k], 0) << n << " at " << k;
    if (last_end != nullptr) {
      EXPECT_GE(p, last_end);
    }
    std::memset(p, 0x5a, n);
    last_end = p + n;
  }
  EXPECT_THROW(r.take(2u << 20), std::bad_alloc);
}

}  // namespace
}  // namespace zereduv
