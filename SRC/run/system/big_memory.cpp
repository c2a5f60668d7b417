#include "run/system/big_memory.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#define ZEREDUV_HUGE_PAGES 1
#endif

namespace zereduv {

namespace {

constexpr std::size_t kHuge = std::size_t{2} << 20;  // 2 MiB
constexpr std::size_t kAlign = 64;

std::size_t round_up(std::size_t n, std::size_t to) {
  return (n + to - 1) / to * to;
}

}  // namespace

BigBlock::BigBlock(std::size_t bytes) {
  if (bytes == 0)
    return;
#if defined(ZEREDUV_HUGE_PAGES)
  // Below a quarter of a huge page a block is no faster in one and would
  // take a whole one: the heap serves it.
  if (bytes >= kHuge / 8) {
    const std::size_t size = round_up(bytes, kHuge);
    // Address space for the block plus 2 MiB, the block placed on the first
    // 2 MiB boundary and the ends given back.  Anonymous memory reads as zero
    // and takes physical memory only where it is touched.
    const std::size_t span = size + kHuge;
    void* const m = ::mmap(nullptr, span, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (m != MAP_FAILED) {
      char* const base = static_cast<char*>(m);
      const auto at = reinterpret_cast<std::uintptr_t>(base);
      char* const start = base + (round_up(at, kHuge) - at);
      if (start > base)
        ::munmap(base, static_cast<std::size_t>(start - base));
      char* const tail = start + size;
      if (tail < base + span)
        ::munmap(tail, static_cast<std::size_t>(base + span - tail));
      // Advice only: without transparent huge pages the block still works.
      (void)::madvise(start, size, MADV_HUGEPAGE);
      data_ = start;
      size_ = size;
      return;
    }
  }
#endif
  // The heap's own alignment (16 bytes) is less than the arrays are
  // promised: take kAlign more and start on the first 64-byte boundary.
  if (bytes > SIZE_MAX - kAlign)
    throw std::bad_alloc();
  heap_ = std::calloc(bytes + kAlign, 1);
  if (heap_ == nullptr)
    throw std::bad_alloc();
  const auto at = reinterpret_cast<std::uintptr_t>(heap_);
  data_ = static_cast<char*>(heap_) + (round_up(at, kAlign) - at);
  size_ = bytes;
}

BigBlock::~BigBlock() {
  release();
}

BigBlock::BigBlock(BigBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      heap_(std::exchange(other.heap_, nullptr)) {}

BigBlock& BigBlock::operator=(BigBlock&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    heap_ = std::exchange(other.heap_, nullptr);
  }
  return *this;
}

void BigBlock::release() noexcept {
  if (data_ == nullptr)
    return;
  if (heap_ != nullptr) {
    std::free(heap_);
    heap_ = nullptr;
  }
#if defined(ZEREDUV_HUGE_PAGES)
  else {
    ::munmap(data_, size_);
  }
#endif
  data_ = nullptr;
}

struct BigRegion::Extra {
  std::vector<BigBlock> blocks;
};

BigRegion::BigRegion(std::size_t capacity) : capacity_(capacity) {
#if defined(ZEREDUV_HUGE_PAGES)
  try {
    block_ = BigBlock(capacity);
    if (block_.size() >= capacity)
      return;
  } catch (const std::bad_alloc&) {
  }
#else
  (void)capacity;
#endif
  extra_ = new Extra;
}

BigRegion::~BigRegion() {
  delete extra_;
}

void* BigRegion::take(std::size_t bytes) {
  const std::size_t n = round_up(bytes == 0 ? 1 : bytes, kAlign);
  if (n > capacity_ - used_)
    throw std::bad_alloc();
  if (extra_ != nullptr) {
    extra_->blocks.emplace_back(n);
    used_ += n;
    return extra_->blocks.back().data();
  }
  char* const p = block_.data() + used_;
  used_ += n;
  return p;
}

}  // namespace zereduv
