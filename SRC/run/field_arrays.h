// The arrays of the run state: the 2-D map components and their node
// coordinates (sized once to fit the table), and the fixed 25 x 25 x 201
// output grid with its coordinates and field components.  All access is
// 1-based, as in the field-map notation (i = r node, j = z node; ix, iy, iz
// on the output grid).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "run/system/big_memory.h"

namespace zereduv {

/// One component of the 2-D map, indexed (i, j): i the r node (1..Nr),
/// j the z node (1..Nz).  Sized once to fit the table (and its mirror image),
/// z nodes contiguous for each r node.
class Map2D {
 public:
  Map2D() = default;
  /// A map whose values will come from the run's large-array region.
  explicit Map2D(BigRegion& region) : region_(&region) {}
  /// A copy holds its values in storage of its own.
  Map2D(const Map2D& o) { *this = o; }
  Map2D& operator=(const Map2D& o) {
    if (this != &o) {
      nr_cap_ = o.nr_cap_;
      nz_cap_ = o.nz_cap_;
      own_.assign(o.v_, o.v_ + o.count());
      v_ = own_.data();
      region_ = nullptr;  // the values are the copy's own from now on
    }
    return *this;
  }
  Map2D(Map2D&&) = default;
  Map2D& operator=(Map2D&&) = default;

  /// Zeroed storage for nr_cap x nz_cap values: from the large-array
  /// region the map was made with, else of its own.
  void allocate(int32_t nr_cap, int32_t nz_cap) {
    nr_cap_ = nr_cap;
    nz_cap_ = nz_cap;
    if (region_ != nullptr) {
      own_.clear();
      v_ = region_->take_array<double>(count());
    } else {
      own_.assign(count(), 0.0);
      v_ = own_.data();
    }
  }
  double& operator()(int32_t i, int32_t j) { return v_[index(i, j)]; }
  double operator()(int32_t i, int32_t j) const { return v_[index(i, j)]; }
  int32_t nr_capacity() const { return nr_cap_; }
  int32_t nz_capacity() const { return nz_cap_; }

 private:
  std::size_t index(int32_t i, int32_t j) const {
    return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(nz_cap_) +
           static_cast<std::size_t>(j - 1);
  }
  std::size_t count() const {
    return static_cast<std::size_t>(nr_cap_) *
           static_cast<std::size_t>(nz_cap_);
  }
  int32_t nr_cap_ = 0;
  int32_t nz_cap_ = 0;
  double* v_ = nullptr;          // own_ or the region's
  std::vector<double> own_;      // empty when the region holds the values
  BigRegion* region_ = nullptr;  // none in a copy: it holds its own values
};

/// A 1-based array of node coordinates.
class Coord1D {
 public:
  void allocate(int32_t n) { v_.assign(static_cast<std::size_t>(n), 0.0); }
  double& operator()(int32_t i) { return v_[static_cast<std::size_t>(i - 1)]; }
  double operator()(int32_t i) const {
    return v_[static_cast<std::size_t>(i - 1)];
  }
  int32_t size() const { return static_cast<int32_t>(v_.size()); }
  const double* data() const { return v_.data(); }

 private:
  std::vector<double> v_;
};

/// Fixed output grid sizes: 25 x 25 x 201 points.
inline constexpr int32_t kNx = 25;
inline constexpr int32_t kNy = 25;
inline constexpr int32_t kNzOut = 201;
inline constexpr std::size_t kOutPoints =
    static_cast<std::size_t>(kNx) * kNy * kNzOut;

/// A 1-based fixed-size coordinate array of the output grid.
template <int32_t N>
struct OutCoord {
  std::array<double, static_cast<std::size_t>(N)> v{};
  double& operator()(int32_t i) { return v[static_cast<std::size_t>(i - 1)]; }
  double operator()(int32_t i) const {
    return v[static_cast<std::size_t>(i - 1)];
  }
};

/// One Cartesian output component on the 25 x 25 x 201 grid, indexed
/// (ix, iy, iz) and stored with ix fastest, then iy, then iz: the order in
/// which every field-file layout walks it.
class Field3D {
 public:
  // Zeroed storage that comes as untouched zero pages, so nothing is
  // written twice (the resampling fills every point) and a run state built
  // for the earlier phases alone costs no 6 MB of stores: the run's
  // large-array region, or a calloc'd block of its own.
  explicit Field3D(BigRegion& region)
      : v_(region.take_array<double>(kOutPoints)) {}
  Field3D()
      : own_(static_cast<double*>(std::calloc(kOutPoints, sizeof(double)))),
        v_(own_.get()) {
    if (v_ == nullptr)
      throw std::bad_alloc();
  }
  double& operator()(int32_t ix, int32_t iy, int32_t iz) {
    return v_[index(ix, iy, iz)];
  }
  double operator()(int32_t ix, int32_t iy, int32_t iz) const {
    return v_[index(ix, iy, iz)];
  }
  static std::size_t index(int32_t ix, int32_t iy, int32_t iz) {
    return static_cast<std::size_t>(ix - 1) +
           static_cast<std::size_t>(kNx) *
               (static_cast<std::size_t>(iy - 1) +
                static_cast<std::size_t>(kNy) *
                    static_cast<std::size_t>(iz - 1));
  }
  const double* data() const { return v_; }
  double* data() { return v_; }

 private:
  struct Free {
    void operator()(double* p) const { std::free(p); }
  };
  std::unique_ptr<double[], Free> own_;
  double* v_;  // own_ or the region's
};

}  // namespace zereduv
