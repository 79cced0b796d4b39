// MFSK transmit synthesis: characters through the varicode, the encoder, the interleaver and the
// tone writer, one after another into one buffer; samples per second and a multiple of real
// time at the output rate.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/modes/mfsk/mfsk_transmitter.h"

namespace vestrel {
namespace {

void Synth(benchmark::State& state, bool mfsk8, double rate) {
  const SineTable sine;
  TModemParams params;
  TSampleRates rates;
  rates.OutSamplingFreq = rate;
  TMfskTransmitter tx(sine, params, rates);
  tx.SetMode(mfsk8);
  std::vector<int16_t> out(tx.MaxSymbolSamples());
  const std::string text = "the quick brown fox jumps over the lazy dog 0123456789 ";
  int64_t samples = 0;
  size_t i = 0;
  for (auto _ : state) {
    samples += tx.EncodeSymbol(static_cast<unsigned char>(text[i]), out.data());
    i = (i + 1) % text.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["samples_per_second"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(samples) / rate, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Synth, Mfsk16, false, 11025.0);
BENCHMARK_CAPTURE(Synth, Mfsk8, true, 11025.0);
BENCHMARK_CAPTURE(Synth, Mfsk16At48000, false, 48000.0);

}  // namespace
}  // namespace vestrel
