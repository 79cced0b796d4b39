// The receive chain of PACTOR-I FEC: block processing (spectrum, squelch, dispatch) plus both
// receivers (100 and 200 Bd), on 10 s of packets at either speed (each with its inverted
// repetition) and on noise alone, where headers are found at random and every failed check
// tries the combination with the copy before.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/codes/fcs16.h"
#include "engine/engine.h"

namespace {

using namespace vestrel;

// Packets of random letters behind the 0x55 header, counters running on, each followed by its
// inverted copy, least significant bit first.
std::vector<uint8_t> Bits(int baud) {
  std::mt19937 rng(3);
  const int data = baud == 100 ? 8 : 20;
  std::vector<uint8_t> bits;
  for (int p = 0; p < 8; ++p) {
    std::vector<uint8_t> packet{0x55};
    for (int i = 0; i < data; ++i) packet.push_back(static_cast<uint8_t>('A' + rng() % 26));
    packet.push_back(static_cast<uint8_t>(p & 3));
    const uint16_t fcs = CalcFcs16(std::span<const uint8_t>(packet).subspan(1));
    packet.push_back(static_cast<uint8_t>(fcs & 0xFF));
    packet.push_back(static_cast<uint8_t>(fcs >> 8));
    for (int copy = 0; copy < 2; ++copy)
      for (uint8_t b : packet)
        for (int k = 0; k < 8; ++k) bits.push_back(static_cast<uint8_t>(((copy ? ~b : b) >> k) & 1));
  }
  return bits;
}

std::vector<float> Signal(int baud, bool noise) {
  const size_t n = 11025 * 10 / 2048 * 2048;
  std::vector<float> x(n);
  std::mt19937 rng(7);
  std::normal_distribution<double> gauss(0.0, 3000.0);
  const std::vector<uint8_t> bits = Bits(baud);
  const double spb = 11025.0 / baud;
  double phase = 0.0;
  for (size_t i = 0; i < n; ++i) {
    if (noise) {
      x[i] = static_cast<float>(gauss(rng));
      continue;
    }
    const uint8_t bit = bits[static_cast<size_t>(i / spb) % bits.size()];
    phase += 2.0 * std::numbers::pi * (bit ? 1800.0 : 1600.0) / 11025.0;
    x[i] = static_cast<float>(8000.0 * std::sin(phase));
  }
  return x;
}

void ReceiveChain(benchmark::State& state, int baud, bool noise) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.params.Baud = 100;
  engine.params.ShiftHz = 200;
  engine.modeSwitch.SetMode(kModePactorFec);
  const std::vector<float> x = Signal(baud, noise);
  harness::RunReceiveChain(state, engine, sink, x);
}

BENCHMARK_CAPTURE(ReceiveChain, Pactor100, 100, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Pactor200, 200, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, PactorNoise, 100, true)->Unit(benchmark::kMillisecond);

}  // namespace
