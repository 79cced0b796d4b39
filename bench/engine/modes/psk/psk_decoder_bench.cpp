// The receive chain of the PSK modes: block processing (spectrum, squelch, dispatch) plus the
// PSK receiver, on 10 s of a clean signal of pseudo-random phase steps (half turns or none for
// BPSK, any quarter turn for QPSK) with raised-cosine transitions, in 2048-sample blocks.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace {

using namespace vestrel;

std::vector<float> Signal(double baud, bool qpsk, double toneHz) {
  const size_t n = 11025 * 10 / 2048 * 2048;
  std::vector<float> x(n);
  const double symbol = 11025.0 / baud;
  uint32_t lfsr = 0xACE1u;
  std::complex<double> from(1.0, 0.0), to = from;
  size_t next = 0;
  double start = 0.0;
  for (size_t i = 0; i < n; ++i) {
    if (i >= next) {
      lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
      from = to;
      const int step = qpsk ? static_cast<int>(lfsr & 3u) : static_cast<int>(lfsr & 1u) * 2;
      to = from * std::polar(1.0, step * std::numbers::pi / 2);
      start = static_cast<double>(next);
      next = static_cast<size_t>(std::ceil(start + symbol));
    }
    const double c = std::cos(std::numbers::pi * (static_cast<double>(i) - start) / symbol);
    const std::complex<double> z = from * (1 + c) / 2.0 + to * (1 - c) / 2.0;
    const double ph = 2.0 * std::numbers::pi * toneHz * static_cast<double>(i) / 11025.0;
    x[i] = static_cast<float>(8000.0 * (z.real() * std::sin(ph) + z.imag() * std::cos(ph)));
  }
  return x;
}

void ReceiveChain(benchmark::State& state, int32_t mode) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.params.RxTone[0] = engine.params.RxTone[1] = HzToUnits(1500.0);
  engine.modeSwitch.SetMode(mode);
  const ModeRow& row = ModeRowOf(mode);
  const std::vector<float> x = Signal(row.symbolRate, row.quadrature, 1500.0);
  harness::RunReceiveChain(state, engine, sink, x);
}

BENCHMARK_CAPTURE(ReceiveChain, Bpsk31, kModeBpsk31)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Bpsk63, kModeBpsk63)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Bpsk125, kModeBpsk125)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Qpsk31, kModeQpsk31)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Qpsk63, kModeQpsk63)->Unit(benchmark::kMillisecond);

}  // namespace
