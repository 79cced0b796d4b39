// The receive chain of PS2X5: block processing (spectrum, squelch, dispatch) plus the PS2X5
// receiver (front end, bit clock, a block search with a Reed-Solomon decode at every bit), on a
// clean transmission of back-to-back blocks, and on noise alone (every search fails).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/harness/block_signal.h"
#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"

namespace {

using namespace vestrel;

void ReceiveChain(benchmark::State& state, double baud, int shift, bool noise) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.blockCapture.save = false;
  engine.Start();
  engine.params.Baud = baud;
  engine.params.ShiftHz = shift;
  engine.modeSwitch.SetMode(kModePs2x5);
  std::vector<float> x;
  if (noise) {
    std::mt19937 rng(1);
    std::normal_distribution<float> n(0.0f, 3000.0f);
    x.resize(2048 * 54);  // 10 s
    for (float& v : x) v = n(rng);
  } else {
    // About 10 s at every speed.
    std::string text;
    while (text.size() < 7 * (10 * baud / 155 + 1)) text += "THE QUICK BROWN FOX ";
    TFsk2x5Transmitter tx(engine.sine, engine.params, engine.rates);
    tx.SetSpeed(baud);
    x = harness::BlockModeSignal(tx, text);
  }
  for (auto _ : state) {
    for (size_t i = 0; i < x.size(); i += TRxBlockProcessor::kBlockSize) engine.rxBlocks.ProcessInputBlock(&x[i]);
  }
  state.counters["chars"] = static_cast<double>(sink.chars) / state.iterations();
  const double samples = static_cast<double>(x.size()) * state.iterations();
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(ReceiveChain, Ps2x5At25, 25.0, 50, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Ps2x5At1200, 1200.0, 1000, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Ps2x5At25Noise, 25.0, 50, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Ps2x5At1200Noise, 1200.0, 1000, true)->Unit(benchmark::kMillisecond);

}  // namespace
