// The PS33X5 hop transform (the search band's bins of the padded window) against the plain
// RealFft of the same padded window, at the receiver's sizes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/fft.h"
#include "engine/modes/ps33x5/hop_transform.h"

namespace vestrel {
namespace {

// n, window, and a search band of about 220 bins (steps 4 and 8) or 360 (steps 16, 32).
void BM_HopTransform(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int w = static_cast<int>(state.range(1));
  std::vector<float> x(w), re(n), im(n);
  for (int i = 0; i < w; ++i) x[i] = static_cast<float>(8000 * std::sin(i * 0.37));
  TPs33x5HopTransform t;
  t.Setup(n, w);
  const int first = n * 1155 / 12800, last = std::min(n / 2 - 1, n * 1845 / 12800);
  for (auto _ : state) {
    t.Run(x.data(), first, last, re.data(), im.data());
    benchmark::DoNotOptimize(re.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_PlainRealFft(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int w = static_cast<int>(state.range(1));
  std::vector<float> x(n, 0.0f), re(n), im(n);
  for (int i = 0; i < w; ++i) x[i] = static_cast<float>(8000 * std::sin(i * 0.37));
  for (auto _ : state) {
    RealFft(n, x.data(), re.data(), im.data());
    benchmark::DoNotOptimize(re.data());
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_HopTransform)->Args({16384, 8192})->Args({4096, 2048})->Args({4096, 1024})->Args({1024, 256});
BENCHMARK(BM_PlainRealFft)->Args({16384, 8192})->Args({4096, 2048})->Args({4096, 1024})->Args({1024, 256});

}  // namespace
}  // namespace vestrel
