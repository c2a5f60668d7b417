// Microbenchmarks of the field model and the resampling on a 200 x 1000-node
// map of the TM010 pillbox mode (as the whole-run benchmark's table holds),
// resampled onto the 25 x 25 x 201 output grid over +-2 cm x +-2 cm x
// +-6 cm.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "field/eb2d_appr.h"
#include "output/output_grid.h"
#include "output/resample.h"
#include "run/run_state.h"

namespace zereduv {
namespace {

constexpr double kFrequency = 1.3e9;  // [Hz]
constexpr double kC = 299792458.0;    // [m/s]

// The map as the reader and the symmetry completion leave it: Ez = E0 J0(kr)
// and B_phi = B0 J1(kr) in V/cm and Gauss, Er = 0, on r = 0 .. Rc,
// z = -5.75 .. 5.75 cm, and the output grid laid out by SCALE_AND_GRID.
std::unique_ptr<RunState> pillbox_state() {
  auto s = std::make_unique<RunState>();
  const double k = 2.0 * 3.141592653589793 * kFrequency / kC / 100.0;  // [1/cm]
  const double rc = 2.404825557695773 / k;
  s->Nr = 200;
  s->Nz = 1000;
  s->Rmin = 0.0;
  s->Rmax = rc;
  s->Zmax = 5.75;
  s->Zmin = -5.75;
  s->Er2D.allocate(s->Nr, s->Nz);
  s->Ez2D.allocate(s->Nr, s->Nz);
  s->B2D.allocate(s->Nr, s->Nz);
  s->Rgrid.allocate(s->Nr);
  s->Zgrid.allocate(s->Nz);
  const double dr = (s->Rmax - s->Rmin) / (s->Nr - 1);
  const double dz = (s->Zmax - s->Zmin) / (s->Nz - 1);
  for (int32_t i = 1; i <= s->Nr; ++i)
    s->Rgrid(i) = (i - 1) * dr + s->Rmin;
  for (int32_t j = 1; j <= s->Nz; ++j)
    s->Zgrid(j) = (j - 1) * dz + s->Zmin;
  for (int32_t i = 1; i <= s->Nr; ++i) {
    const double kr = k * s->Rgrid(i);
    for (int32_t j = 1; j <= s->Nz; ++j) {
      s->Ez2D(i, j) = 50000.0 * std::cyl_bessel_j(0.0, kr);
      s->B2D(i, j) = 0.6 * std::cyl_bessel_j(1.0, kr);
      s->Er2D(i, j) = 0.0;
    }
  }
  s->ElementLength = 12.0;
  s->Aperture = 2.0;
  s->FieldScale = 1.0;
  SCALE_AND_GRID(*s);
  return s;
}

void BM_EB2D_APPR(benchmark::State& state) {
  const auto s = pillbox_state();
  // The resampling's (r, z) points, in its storage order.
  std::vector<std::array<double, 2>> points;
  for (int32_t iz = 1; iz <= kNzOut; ++iz)
    for (int32_t iy = 1; iy <= kNy; ++iy)
      for (int32_t ix = 1; ix <= kNx; ++ix) {
        const double x = s->XOut(ix), y = s->YOut(iy);
        points.push_back({std::sqrt(x * x + y * y), s->ZOut(iz)});
      }
  std::array<double, 3> E{}, B{};
  for (auto _ : state) {
    double sum = 0.0;
    for (const auto& p : points) {
      EB2D_APPR(*s, p[0], p[1], E, B);
      sum += E[2] + B[1];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() *
                          static_cast<int64_t>(points.size()));
}
BENCHMARK(BM_EB2D_APPR)->Unit(benchmark::kMillisecond);

void BM_RESAMPLE(benchmark::State& state) {
  const auto s = pillbox_state();
  for (auto _ : state) {
    RESAMPLE(*s);
    benchmark::DoNotOptimize(s->Ez3D.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() *
                          static_cast<int64_t>(kOutPoints));
}
BENCHMARK(BM_RESAMPLE)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zereduv
