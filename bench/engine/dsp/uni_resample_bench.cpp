// The rate converter: capture rates down to 11025 samples/s and 11025 up to 12800.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/uni_resample.h"

namespace vestrel {
namespace {

void BM_UniResample(benchmark::State& state) {
  const double in = static_cast<double>(state.range(0));
  const double out = static_cast<double>(state.range(1));
  TUniResample r;
  r.Setup(in, out);
  std::vector<float> block(4096);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<float>(std::sin(i * 0.37));
  double sum = 0.0;
  for (auto _ : state) {
    r.PushBlockTo(std::span<const float>(block), [&sum](double y) { sum += y; });
    benchmark::DoNotOptimize(sum);
  }
  // Input samples per second, and seconds of input audio per second (real time is the input rate).
  const double samples = static_cast<double>(state.iterations()) * block.size();
  state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(samples / in, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UniResample)->Args({48000, 11025})->Args({11025, 12800})->Args({11025, 11025});

}  // namespace
}  // namespace vestrel
