// The receive chains of AMTOR: block processing (spectrum, squelch, dispatch) plus the AMTOR FEC
// decoder or the ARQ monitor, on 10 s of a 100 Bd transmission of random letters (FEC: DX and
// RX interleaved after six phasing signals; ARQ: a block of three every 450 ms) and on noise
// alone (searching at every sub-sample).
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/codes/baudot.h"
#include "engine/engine.h"

namespace {

using namespace vestrel;

// The bits of the mode's transmission, first bit of a character most significant; 2 stands for
// silence (the ARQ pauses).
std::vector<uint8_t> Bits(int32_t mode) {
  std::mt19937 rng(11);
  auto letter = [&] { return static_cast<int>(kCcir476[kAmtorSymbolOrder[rng() % 26]]); };
  std::vector<uint8_t> bits;
  auto code = [&](int c) {
    for (int b = 6; b >= 0; --b) bits.push_back(static_cast<uint8_t>((c >> b) & 1));
  };
  if (mode == kModeAmtorFec) {
    std::vector<int> dx(6, PhasingOne);
    while (dx.size() < 80) dx.push_back(letter());
    for (size_t m = 0; m < dx.size(); ++m) {
      code(dx[m]);
      const int earlier = m >= 2 ? dx[m - 2] : PhasingTwo;
      code(earlier == PhasingOne ? PhasingTwo : earlier);
    }
  } else {
    while (bits.size() < 1000) {
      for (int i = 0; i < 3; ++i) code(letter());
      bits.resize(bits.size() + 24, 2);
    }
  }
  return bits;
}

// The transmission repeated, as continuous-phase FSK on 1615/1785 Hz, or white noise, 10 s at
// 11025 samples/s in 2048-sample blocks.
std::vector<float> Signal(int32_t mode, bool noise) {
  const size_t n = 11025 * 10 / 2048 * 2048;
  std::vector<float> x(n);
  std::mt19937 rng(7);
  std::normal_distribution<double> gauss(0.0, 3000.0);
  const std::vector<uint8_t> bits = Bits(mode);
  double phase = 0.0;
  for (size_t i = 0; i < n; ++i) {
    if (noise) {
      x[i] = static_cast<float>(gauss(rng));
      continue;
    }
    const uint8_t bit = bits[static_cast<size_t>(i / 110.25) % bits.size()];
    phase += 2.0 * std::numbers::pi * (bit ? 1785.0 : 1615.0) / 11025.0;
    x[i] = bit == 2 ? 0.0f : static_cast<float>(8000.0 * std::sin(phase));
  }
  return x;
}

void ReceiveChain(benchmark::State& state, int32_t mode, bool noise) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.params.Baud = 100;
  engine.params.ShiftHz = 170;
  engine.modeSwitch.SetMode(mode);
  const std::vector<float> x = Signal(mode, noise);
  harness::RunReceiveChain(state, engine, sink, x);
}

BENCHMARK_CAPTURE(ReceiveChain, AmtorFecSignal, kModeAmtorFec, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, AmtorFecNoise, kModeAmtorFec, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, AmtorArqSignal, kModeAmtorArq, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, AmtorArqNoise, kModeAmtorArq, true)->Unit(benchmark::kMillisecond);

}  // namespace
