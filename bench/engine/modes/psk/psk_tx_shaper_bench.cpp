// PSK transmit synthesis: varicode characters through the BPSK carrier writer or the QPSK
// encoder and symbol shaper, one after another into one buffer, at 11025 samples/s and at
// 48000 (where the symbols are 4.35 times longer). Samples per second and a multiple of real
// time at that rate.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "engine/modes/psk/psk_tx_shaper.h"
#include "engine/tone_synth.h"

namespace vestrel {
namespace {

void SynthPsk(benchmark::State& state, int32_t mode, int rateCode, double outRate) {
  SineTable sine;
  TModemParams params;
  params.Mode = mode;
  params.TxTone[0] = params.TxTone[1] = HzToUnits(1000.0, outRate);
  TSampleRates rates;
  rates.OutSamplingFreq = outRate;
  TToneSynth synth(sine, params);
  TPskTxShaper shaper(sine, params, rates);
  shaper.SetPskRate(rateCode);
  synth.SetPskShaper(&shaper);
  const bool qpsk = mode == kModeQpsk31 || mode == kModeQpsk63;
  std::vector<int16_t> out(synth.MaxSymbolSamples());
  uint32_t phase = 0;
  int64_t samples = 0;
  int c = 'a';
  for (auto _ : state) {
    samples += qpsk ? synth.SynthQpskChar(c, out.data(), phase) : synth.SynthBpskChar(c, out.data(), phase);
    c = c == 'z' ? 'a' : c + 1;
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["samples_per_second"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(samples) / outRate, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(SynthPsk, bpsk31, kModeBpsk31, 31, 11025.0);
BENCHMARK_CAPTURE(SynthPsk, bpsk125, kModeBpsk125, 125, 11025.0);
BENCHMARK_CAPTURE(SynthPsk, qpsk31, kModeQpsk31, 31, 11025.0);
BENCHMARK_CAPTURE(SynthPsk, qpsk63, kModeQpsk63, 63, 11025.0);
BENCHMARK_CAPTURE(SynthPsk, bpsk31_48k, kModeBpsk31, 31, 48000.0);
BENCHMARK_CAPTURE(SynthPsk, qpsk31_48k, kModeQpsk31, 31, 48000.0);

}  // namespace
}  // namespace vestrel
