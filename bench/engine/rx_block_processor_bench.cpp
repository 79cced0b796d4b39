// Receive spine throughput: 2048-sample blocks through the spectrum, squelch and dispatch,
// with no demodulator behind it and with a trivial one (a one-pole filter per sample).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"
#include "engine/receive_targets.h"

namespace vestrel {
namespace {

constexpr double kRealTime = 11025.0;  // samples per second of the receive chain

// A demodulator that touches every sample: y += 0.01 (x - y).
class TrivialTargets : public ReceiveTargets {
 public:
  void AfcTuneFsk() override {}
  void AfcTuneFskSeparate() override {}
  void AfcTunePsk() override {}
  void AfcTuneMfsk() override {}
  void AfcTunePs33x5() override {}
  void SyncTxFrequencyToRx() override {}
  void StartStopDemodulate(std::span<const float> block, int squelchOpen) override {
    SquelchOpen = squelchOpen;
    float y = state;
    for (float x : block) y += 0.01f * (x - y);
    state = y;
    benchmark::DoNotOptimize(state);
  }
  void PskBpskDemodulate(std::span<const float>, int) override {}
  void PskQpskDemodulate(std::span<const float>, int) override {}
  void AmtorFecDemodulate(std::span<const float>, int) override {}
  void PacketDemodulate(std::span<const float>, int) override {}
  void DtmfDemodulate(std::span<const float>) override {}
  void MfskDemodulate(std::span<const float>, int) override {}
  void AmtorArqDemodulate(std::span<const float>, int) override {}
  void PactorDemodulate(std::span<const float>, int) override {}
  void Ps2x5Demodulate(std::span<const float>, int) override {}
  void Ps33x5Demodulate(std::span<const double>, int) override {}
  float state = 0.0f;
  int SquelchOpen = 0;
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
  TrivialTargets trivial;
  TRxBlockProcessor rx(engine.params, window, trivial);
  TRxBlockProcessor& processor = kTrivial ? rx : engine.rxBlocks;
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

// PS33X5: the block plus the 11025 -> 12800 converter.
void BM_ProcessInputBlockPs33x5(benchmark::State& state) {
  harness::NullEngineWindow window;
  harness::NullRxSink sink;
  TEngine engine(window, sink);
  engine.params.Mode = 22;
  std::vector<float> block(TRxBlockProcessor::kBlockSize);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<float>(8000 * std::sin(i * 0.97));
  for (auto _ : state) engine.rxBlocks.ProcessInputBlock(block.data());
  Report(state, block.size());
}
BENCHMARK(BM_ProcessInputBlockPs33x5)->Name("ProcessInputBlock/ps33x5_converter");

}  // namespace
}  // namespace vestrel
