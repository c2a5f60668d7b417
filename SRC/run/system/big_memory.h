// Storage of the run's large arrays (the field maps, the six output arrays,
// the field file's write buffers, the table's bytes).  Fresh memory costs a
// page fault per 4 KiB page on first touch, and on virtual machines such a
// fault costs tens of microseconds: a run touches some 30 MB.  These blocks
// are therefore 2 MiB aligned and marked for transparent huge pages, so one
// fault maps 2 MiB, where the system offers them; elsewhere they are plain
// zeroed heap blocks.  Every block comes zero-filled.
#pragma once

#include <cstddef>

namespace zereduv {

/// One zeroed block of at least `bytes` bytes, 2 MiB aligned and marked for
/// huge pages where the system has them (from 256 KiB on; a smaller block,
/// or any block elsewhere, comes from the heap, 64-byte aligned).  Owns its
/// memory.
class BigBlock {
 public:
  BigBlock() = default;
  /// Throws std::bad_alloc when the memory cannot be had.
  explicit BigBlock(std::size_t bytes);
  ~BigBlock();
  BigBlock(BigBlock&& other) noexcept;
  BigBlock& operator=(BigBlock&& other) noexcept;
  BigBlock(const BigBlock&) = delete;
  BigBlock& operator=(const BigBlock&) = delete;

  char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void release() noexcept;
  char* data_ = nullptr;
  std::size_t size_ = 0;
  void* heap_ = nullptr;  // the heap block to free; null when mapped
};

/// Many large arrays carved out of one block in turn, so that they share
/// huge pages instead of each rounding up to its own.  The block is address
/// space reserved once for the largest run (only the pages touched take
/// memory); where the system cannot reserve without committing, each array
/// gets its own zeroed heap block instead.  Nothing is given back before the
/// region goes; every array it hands out is zero-filled and 64-byte aligned.
class BigRegion {
 public:
  /// Room for `capacity` bytes of arrays (each counted rounded up to 64).
  explicit BigRegion(std::size_t capacity);
  BigRegion(const BigRegion&) = delete;
  BigRegion& operator=(const BigRegion&) = delete;
  ~BigRegion();

  /// `bytes` zeroed bytes; throws std::bad_alloc beyond the capacity.
  void* take(std::size_t bytes);
  template <class T>
  T* take_array(std::size_t n) {
    return static_cast<T*>(take(n * sizeof(T)));
  }

 private:
  BigBlock block_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  struct Extra;
  Extra* extra_ = nullptr;  // heap blocks where nothing could be reserved
};

}  // namespace zereduv
