#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/modes/mfsk/mfsk_tone_bank.h"
using namespace vestrel;
template <int N>
void Bank(benchmark::State& state) {
  SineTable sine;
  TMfskToneBank b(sine);
  b.SetLength(N, N == 32 ? 1411 : 705);
  for (int i = 0; i < N; ++i) b.SetStep(i, 3000 + 23 * i);
  std::vector<float> x(22050);
  for (size_t i = 0; i < x.size(); ++i) x[i] = 8000 * std::sin(i * 0.3);
  for (auto _ : state) {
    b.Process(x);
  }
  state.counters["x_realtime"] =
      benchmark::Counter(double(x.size()) * state.iterations() / 11025.0, benchmark::Counter::kIsRate);
}
BENCHMARK(Bank<16>);
BENCHMARK(Bank<32>);
