// The receive chain of the start-stop modes: block processing (spectrum, squelch, dispatch)
// plus the start-stop decoder, on a clean signal of back-to-back characters.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/engine.h"

namespace {

using namespace vestrel;

// Continuous-phase FSK of pseudo-random bits, 10 s at 11025 samples/s, in 2048-sample blocks.
std::vector<float> Signal(double baud, double lowHz, double highHz) {
  const size_t n = 11025 * 10 / 2048 * 2048;
  std::vector<float> x(n);
  double phase = 0.0;
  uint32_t lfsr = 0xACE1u;
  const double spb = 11025.0 / baud;
  bool bit = true;
  for (size_t i = 0; i < n; ++i) {
    if (std::fmod(static_cast<double>(i), spb) < 1.0) {
      lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
      bit = (lfsr & 1u) != 0;
    }
    phase += 2.0 * std::numbers::pi * (bit ? highHz : lowHz) / 11025.0;
    x[i] = static_cast<float>(8000.0 * std::sin(phase));
  }
  return x;
}

void ReceiveChain(benchmark::State& state, int32_t mode, double baud, int shift, int width) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.params.FilterWidth = width;
  engine.params.Baud = baud;
  engine.params.ShiftHz = shift;
  engine.modeSwitch.SetMode(mode);
  const std::vector<float> x = Signal(baud == 45.0 ? 45.45 : baud, 1700.0 - shift / 2, 1700.0 + shift / 2);
  harness::RunReceiveChain(state, engine, sink, x);
}

BENCHMARK_CAPTURE(ReceiveChain, Rtty45Optimal, kModeRtty, 45.0, 170, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Rtty45Wide, kModeRtty, 45.0, 170, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Rtty45Narrow, kModeRtty, 45.0, 170, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Rtty4Optimal, kModeRtty, 4.0, 170, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Ascii1200Optimal, kModeAscii8, 1200.0, 1000, 0)
    ->Unit(benchmark::kMillisecond);

}  // namespace
