// The receive chain of PS33X5: block processing, the 11025 -> 12800 converter and the PS33X5
// receiver (a transform of the symbol window 11 times a symbol, the symbol clock, a block search
// with a Reed-Solomon decode at every symbol), on a clean transmission at the speed steps.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/harness/block_signal.h"
#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace {

using namespace vestrel;

void ReceiveChain(benchmark::State& state, int step) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.blockCapture.save = false;
  engine.Start();
  engine.params.Ps33x5SpeedX = step;
  engine.params.RxTone[0] = engine.params.RxTone[1] = HzToUnits(1500.0);
  engine.modeSwitch.SetMode(kModePs33x5);
  // At least 20 s, two blocks at least.
  const double baud = 1.5625 * step;
  std::string text;
  while (text.size() < 7 * (20 * baud / 31 + 2)) text += "THE QUICK BROWN FOX ";
  TFsk33x5Transmitter tx(engine.sine, engine.params);
  tx.SetSpeed(step, 1500.0, 11025.0);
  const std::vector<float> x = harness::BlockModeSignal(tx, text);
  for (auto _ : state) {
    for (size_t i = 0; i < x.size(); i += TRxBlockProcessor::kBlockSize) engine.rxBlocks.ProcessInputBlock(&x[i]);
  }
  state.counters["chars"] = static_cast<double>(sink.chars) / state.iterations();
  const double samples = static_cast<double>(x.size()) * state.iterations();
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(ReceiveChain, Ps33x5Step1, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Ps33x5Step4, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Ps33x5Step8, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Ps33x5Step32, 32)->Unit(benchmark::kMillisecond);

}  // namespace
