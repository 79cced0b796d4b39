#pragma once
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"

namespace vestrel::harness {

// The receive benchmarks' loop: every iteration runs the engine's block processor (spectrum,
// squelch, dispatch, the mode's receiver) over x in 2048-sample blocks (x holds whole blocks at
// 11025 samples/s); reports the characters received, samples per second and the multiple of
// real time.
inline void RunReceiveChain(benchmark::State& state, TEngine& engine, const std::vector<float>& x,
                            const CountingRxSink& sink) {
  for (auto _ : state) {
    for (size_t i = 0; i < x.size(); i += TRxBlockProcessor::kBlockSize)
      engine.rxBlocks.ProcessInputBlock(&x[i]);
  }
  state.counters["chars"] = static_cast<double>(sink.chars);
  const double samples = static_cast<double>(x.size()) * state.iterations();
  state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}

}  // namespace vestrel::harness
