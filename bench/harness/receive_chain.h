#pragma once
// For the receive benchmarks: the chain of a mode from block processing to the received text.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/engine.h"

namespace vestrel::harness {

// A received-text sink that counts the characters.
class CountingRxSink final : public RxTextSink {
 public:
  void PutRxChar(uint8_t) override { ++chars; }
  void PutRxString(std::string_view s) override { chars += s.size(); }
  size_t chars = 0;
};

// Each iteration hands x (whole blocks of 2048 samples at 11025 samples/s) to the engine's
// block processor; the counters give the characters received, samples per second and the
// multiple of real time.
inline void RunReceiveChain(benchmark::State& state, TEngine& engine, const CountingRxSink& sink,
                            const std::vector<float>& x) {
  for (auto _ : state) {
    for (size_t i = 0; i + TRxBlockProcessor::kBlockSize <= x.size(); i += TRxBlockProcessor::kBlockSize)
      engine.rxBlocks.ProcessInputBlock(&x[i]);
  }
  state.counters["chars"] = static_cast<double>(sink.chars);
  const double samples = static_cast<double>(x.size()) * state.iterations();
  state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}

}  // namespace vestrel::harness
