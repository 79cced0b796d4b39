// The synthesisers alone, one character after another into one buffer: samples per second
// and a multiple of real time (11025 samples/s).
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/mode_number.h"
#include "engine/tone_synth.h"

namespace vestrel {
namespace {

void SynthFsk(benchmark::State& state, int32_t mode, int32_t samplesPerBitMilli) {
  SineTable sine;
  TModemParams params;
  params.Mode = mode;
  params.TxSamplesPerBitMilli = samplesPerBitMilli;
  TToneSynth synth(sine, params);
  std::vector<int16_t> out(synth.MaxSymbolSamples());
  uint32_t phase = 0;
  int64_t samples = 0;
  int code = 0;
  for (auto _ : state) {
    samples += synth.SynthFskChar(code, out.data(), phase);
    code = (code + 7) & 31;
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["samples_per_second"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(samples) / 11025.0, benchmark::Counter::kIsRate);
}

void SynthAmtor(benchmark::State& state) {
  SineTable sine;
  TModemParams params;
  params.Mode = kModeAmtorFec;
  params.TxSamplesPerBitMilli = 110250;
  TToneSynth synth(sine, params);
  std::vector<int16_t> out(synth.MaxSymbolSamples());
  uint32_t phase = 0;
  int64_t samples = 0;
  for (auto _ : state) {
    samples += synth.SynthAmtorChar(0x5A, out.data(), phase);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["samples_per_second"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(samples) / 11025.0, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(SynthFsk, rtty_45, kModeRtty, 242574);
BENCHMARK_CAPTURE(SynthFsk, ascii8_1200, kModeAscii8, 9188);
BENCHMARK(SynthAmtor);

}  // namespace
}  // namespace vestrel
