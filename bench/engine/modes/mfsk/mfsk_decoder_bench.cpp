// The receive chain of MFSK16 and MFSK8: block processing (spectrum, squelch, dispatch) plus the
// MFSK receiver, and the receiver alone, on text from the program's own transmitter.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/harness/mfsk_bench_signal.h"
#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace {

using namespace vestrel;

// Blocks of the signal through the block processor (the whole chain) or straight into the
// receiver, with the chain's counters.
void Receive(benchmark::State& state, int32_t mode, bool chain) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.params.RxTone[0] = engine.params.RxTone[1] = HzToUnits(1500.0);
  engine.modeSwitch.SetMode(mode);
  const std::vector<float> x = harness::MfskBenchSignal(mode == kModeMfsk8);
  if (chain) {
    harness::RunReceiveChain(state, engine, sink, x);
    return;
  }
  for (auto _ : state) {
    for (size_t i = 0; i < x.size(); i += TRxBlockProcessor::kBlockSize)
      engine.mfsk.ProcessBlock(std::span<const float>(&x[i], TRxBlockProcessor::kBlockSize), true);
  }
  state.counters["chars"] = static_cast<double>(sink.chars);
  const double samples = static_cast<double>(x.size()) * state.iterations();
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}

void ReceiveChain(benchmark::State& state, int32_t mode) {
  Receive(state, mode, true);
}
void Receiver(benchmark::State& state, int32_t mode) {
  Receive(state, mode, false);
}

BENCHMARK_CAPTURE(ReceiveChain, Mfsk16, kModeMfsk16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Mfsk8, kModeMfsk8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Receiver, Mfsk16, kModeMfsk16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Receiver, Mfsk8, kModeMfsk8)->Unit(benchmark::kMillisecond);

}  // namespace
