// The MFSK AFC: one pass on a receiver that holds a signal 3 Hz off its tones (the pass the
// block processor runs each block), and the receive chains of MFSK16 and MFSK8 on that signal
// with AFC off and on, as multiples of real time.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/harness/mfsk_bench_signal.h"
#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace {

using namespace vestrel;

constexpr double kOffsetHz = 3.0;

void Start(TEngine& engine, int32_t mode, bool afc) {
  engine.Start();
  engine.params.RxTone[0] = engine.params.RxTone[1] = HzToUnits(1500.0);
  engine.modeSwitch.SetMode(mode);
  engine.rxBlocks.AfcOn = afc ? 1 : 0;
}

void Pass(benchmark::State& state, int32_t mode) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  Start(engine, mode, false);
  const std::vector<float> x = harness::MfskBenchSignal(mode == kModeMfsk8, 1500.0 + kOffsetHz);
  for (size_t i = 0; i + TRxBlockProcessor::kBlockSize <= x.size(); i += TRxBlockProcessor::kBlockSize)
    engine.rxBlocks.ProcessInputBlock(&x[i]);
  TModemParams& p = engine.params;
  const int32_t start = p.RxTone[0];
  int moved = 0;
  for (auto _ : state) {
    moved += engine.freq.AfcTuneMfsk() ? 1 : 0;
    // Back without a retune, so that the pass has the same work each time.
    p.RxTone[0] = start;
    benchmark::DoNotOptimize(p.RxTone[0]);
  }
  state.counters["locked"] = engine.mfsk.FrequencyError().Locked() ? 1 : 0;
  state.counters["moved"] = benchmark::Counter(moved, benchmark::Counter::kAvgIterations);
}

void ReceiveChain(benchmark::State& state, int32_t mode, bool afc) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  Start(engine, mode, afc);
  harness::RunReceiveChain(state, engine, sink,
                           harness::MfskBenchSignal(mode == kModeMfsk8, 1500.0 + kOffsetHz));
}

BENCHMARK_CAPTURE(Pass, Mfsk16, kModeMfsk16);
BENCHMARK_CAPTURE(Pass, Mfsk8, kModeMfsk8);
BENCHMARK_CAPTURE(ReceiveChain, Mfsk16AfcOff, kModeMfsk16, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Mfsk16AfcOn, kModeMfsk16, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Mfsk8AfcOff, kModeMfsk8, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Mfsk8AfcOn, kModeMfsk8, true)->Unit(benchmark::kMillisecond);

}  // namespace
