// The radix-2 transform at the receive block size and at the PS33X5 and extreme sizes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/fft.h"

namespace vestrel {
namespace {

constexpr double kRealTime = 11025.0;  // samples per second of the receive chain

void BM_RealFft(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<float> src(n), re(n), im(n);
  for (int i = 0; i < n; ++i) src[i] = static_cast<float>(std::sin(i * 0.37));
  for (auto _ : state) {
    RealFft(n, src.data(), re.data(), im.data());
    benchmark::DoNotOptimize(re.data());
    benchmark::ClobberMemory();
  }
  // Each transform consumes n input samples of the stream it serves.
  const double samples = static_cast<double>(state.iterations()) * n;
  state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(samples / kRealTime, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RealFft)->Arg(256)->Arg(2048)->Arg(16384);

void BM_ComplexFftRoundTrip(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int log2N = Log2PowerOfTwo(n);
  std::vector<float> re(n), im(n);
  for (int i = 0; i < n; ++i) re[i] = static_cast<float>(std::sin(i * 0.37));
  for (auto _ : state) {
    ComplexFft(re.data(), im.data(), n, log2N, -1);
    ComplexFft(re.data(), im.data(), n, log2N, +1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ComplexFftRoundTrip)->Arg(2048);

}  // namespace
}  // namespace vestrel
