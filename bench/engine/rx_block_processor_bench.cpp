// Receive spine throughput: 2048-sample blocks through the spectrum, squelch and dispatch,
// with no demodulator behind it and with a trivial one (a one-pole filter per sample).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"
#include "engine/mode_receiver.h"
#include "engine/mode_registry.h"

namespace vestrel {
namespace {

constexpr double kRealTime = 11025.0;  // samples per second of the receive chain

// A receiver that touches every sample: y += 0.01 (x - y).
class TrivialReceiver final : public ModeReceiver {
 public:
  void Reset() override { state = 0.0f; }
  bool SelectMode(const ModeRow&) override { return true; }
  bool SetTones(int32_t, int32_t) override { return true; }
  bool SetSpeed(double, int) override { return true; }
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override {
    open = squelchOpen;
    float y = state;
    for (float x : block) y += 0.01f * (x - y);
    state = y;
    benchmark::DoNotOptimize(state);
  }
  float state = 0.0f;
  bool open = false;
};

std::vector<int16_t> Capture() {
  std::vector<int16_t> v(TRxBlockProcessor::kBlockSize * 8);
  for (size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<int16_t>(8000 * std::sin(i * 0.97) + 300 * std::sin(i * 0.31));
  return v;
}

void Report(benchmark::State& state, size_t samplesPerIteration) {
  const double samples = static_cast<double>(state.iterations()) * samplesPerIteration;
  state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(samples / kRealTime, benchmark::Counter::kIsRate);
}

// Captured 16-bit samples through the input converter (11025 -> 11025) and the block processor.
template <bool kTrivial>
void BM_ProcessInputBlock(benchmark::State& state) {
  harness::NullEngineWindow window;
  harness::NullRxSink sink;
  TEngine engine(window, sink);
  // Alone: a registry with no receiver; with the trivial receiver as the start-stop family.
  ModeRegistry modes;
  TrivialReceiver trivial;
  if (kTrivial) modes.SetReceiver(RxFamily::kStartStop, &trivial);
  TRxBlockProcessor processor(engine.params, window, modes);
  processor.IsSquelch = 1;
  processor.AfcOn = 1;
  const std::vector<int16_t> capture = Capture();
  for (auto _ : state) processor.PushCaptured(std::span<const int16_t>(capture));
  Report(state, capture.size());
}
BENCHMARK(BM_ProcessInputBlock<false>)->Name("ProcessInputBlock/no_demodulator");
BENCHMARK(BM_ProcessInputBlock<true>)->Name("ProcessInputBlock/trivial_demodulator");

// The block processor alone, blocks handed in directly (no converter).
void BM_ProcessInputBlockDirect(benchmark::State& state) {
  harness::NullEngineWindow window;
  harness::NullRxSink sink;
  TEngine engine(window, sink);
  std::vector<float> block(TRxBlockProcessor::kBlockSize);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<float>(8000 * std::sin(i * 0.97));
  for (auto _ : state) engine.rxBlocks.ProcessInputBlock(block.data());
  Report(state, block.size());
}
BENCHMARK(BM_ProcessInputBlockDirect)->Name("ProcessInputBlock/direct_no_demodulator");

}  // namespace
}  // namespace vestrel
