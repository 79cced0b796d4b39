// The receive chain of DTMF: block processing (spectrum, dispatch) plus the DTMF decoder, on
// 10 s of digits (70 ms tones, 70 ms digital silence) and on noise alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/engine.h"

namespace {

using namespace vestrel;

std::vector<float> Signal(bool noise) {
  const size_t n = 11025 * 10 / 2048 * 2048;
  std::vector<float> x(n);
  std::mt19937 rng(7);
  std::normal_distribution<double> gauss(0.0, 3000.0);
  const size_t slot = 11025 * 70 / 1000;
  for (size_t i = 0; i < n; ++i) {
    if (noise) {
      x[i] = static_cast<float>(gauss(rng));
      continue;
    }
    const size_t digit = i / (2 * slot);
    if (i % (2 * slot) >= slot) continue;
    const double low = TDtmfDecoder::kToneHz[digit % 4], high = TDtmfDecoder::kToneHz[4 + (digit / 4) % 4];
    const double t = static_cast<double>(i) / 11025.0;
    x[i] = static_cast<float>(6000.0 * (std::sin(2 * std::numbers::pi * low * t) +
                                        std::sin(2 * std::numbers::pi * high * t)));
  }
  return x;
}

void ReceiveChain(benchmark::State& state, bool noise) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.modeSwitch.SetMode(kModeDtmf);
  const std::vector<float> x = Signal(noise);
  harness::RunReceiveChain(state, engine, sink, x);
}

BENCHMARK_CAPTURE(ReceiveChain, DtmfDigits, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, DtmfNoise, true)->Unit(benchmark::kMillisecond);

}  // namespace
