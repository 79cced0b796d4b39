// The receive chain of MFSK16 and MFSK8: block processing (spectrum, squelch, dispatch) plus the
// MFSK receiver, and the receiver alone, on text from the program's own transmitter.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace {

using namespace vestrel;

// About 20 s of text at 11025 samples/s, 1500 Hz centre, in whole 2048-sample blocks.
std::vector<float> Signal(bool mfsk8) {
  const SineTable sine;
  TModemParams params;
  TSampleRates rates;
  TMfskTransmitter tx(sine, params, rates);
  tx.SetMode(mfsk8);
  tx.SetTones(HzToUnits(1500.0 - (mfsk8 ? 121.0 : 117.0)));
  std::vector<int16_t> out(tx.MaxSymbolSamples());
  std::vector<float> x;
  const std::string text = "the quick brown fox jumps over the lazy dog 0123456789 ";
  for (size_t i = 0; x.size() < 11025 * 20; ++i) {
    const uint32_t n = tx.EncodeSymbol(static_cast<unsigned char>(text[i % text.size()]), out.data());
    for (uint32_t k = 0; k < n; ++k) x.push_back(0.25f * out[k]);
  }
  x.resize(x.size() / 2048 * 2048);
  return x;
}

// Blocks of the signal through the block processor (the whole chain) or straight into the
// receiver, with the chain's counters.
void Receive(benchmark::State& state, int32_t mode, bool chain) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.params.RxTone[0] = engine.params.RxTone[1] = HzToUnits(1500.0);
  engine.modeSwitch.SetMode(mode);
  const std::vector<float> x = Signal(mode == kModeMfsk8);
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
