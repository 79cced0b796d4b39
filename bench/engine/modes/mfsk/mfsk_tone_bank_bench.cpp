// The MFSK receiver's tone detectors alone, 16 (MFSK16) or 32 (MFSK8) of them over one symbol,
// with each kernel this processor runs, and the same number of plain TQuadDetector objects for
// comparison: a multiple of real time (11025 samples/s).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/quad_detector.h"
#include "engine/modes/mfsk/mfsk_tone_bank.h"

namespace vestrel {
namespace {

std::vector<float> Signal() {
  std::vector<float> x(22050);
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(8000.0 * std::sin(i * 0.3));
  return x;
}

void Report(benchmark::State& state, size_t n) {
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(n) * state.iterations() / 11025.0, benchmark::Counter::kIsRate);
}

void Bank(benchmark::State& state, int tones, TMfskToneBank::Kernel kernel) {
  if (!TMfskToneBank::Supported(kernel)) {
    state.SkipWithError("kernel not supported here");
    return;
  }
  const SineTable sine;
  TMfskToneBank bank(sine);
  bank.SetKernel(kernel);
  bank.SetLength(tones, tones == 32 ? 1411 : 705);
  for (int i = 0; i < tones; ++i) bank.SetStep(i, 3000 + 23 * i);
  const std::vector<float> x = Signal();
  for (auto _ : state) bank.Process(x);
  Report(state, x.size());
}

// What the receiver would run without the bank: one detector object per tone, each with its
// own average, phase, division and square root every sample.
void Detectors(benchmark::State& state, int tones) {
  const SineTable sine;
  std::vector<TQuadDetector> d(tones, TQuadDetector(sine));
  for (int i = 0; i < tones; ++i) {
    d[i].SetLength(tones == 32 ? 1411 : 705);
    d[i].SetStep(3000 + 23 * i);
  }
  const std::vector<float> x = Signal();
  double sum = 0.0;
  for (auto _ : state) {
    for (float v : x)
      for (TQuadDetector& q : d) sum += q.Step(v);
  }
  benchmark::DoNotOptimize(sum);
  Report(state, x.size());
}

using K = TMfskToneBank::Kernel;
BENCHMARK_CAPTURE(Bank, Mfsk16Plain, 16, K::kPlain);
BENCHMARK_CAPTURE(Bank, Mfsk16Avx2, 16, K::kAvx2);
BENCHMARK_CAPTURE(Bank, Mfsk16Avx512, 16, K::kAvx512);
BENCHMARK_CAPTURE(Bank, Mfsk8Plain, 32, K::kPlain);
BENCHMARK_CAPTURE(Bank, Mfsk8Avx2, 32, K::kAvx2);
BENCHMARK_CAPTURE(Bank, Mfsk8Avx512, 32, K::kAvx512);
BENCHMARK_CAPTURE(Detectors, Mfsk16, 16);
BENCHMARK_CAPTURE(Detectors, Mfsk8, 32);

}  // namespace
}  // namespace vestrel
