// Packet transmit synthesis: whole transmissions of ten 100-byte frames through the
// transmitter, as samples per second and as a multiple of real time (11025 samples/s).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/engine/modes/packet/packet_signal.h"

namespace {

using namespace vestrel;

void Transmission(benchmark::State& state, int baud, double lowerHz, double upperHz) {
  bench::PacketStation station(baud, lowerHz, upperHz);
  std::vector<int16_t> scratch(station.pump.MaxSymbolSamples());
  std::string text;
  int64_t samples = 0;
  for (auto _ : state) {
    station.Queue(10, 100);
    station.tx.TxState = 1;
    int32_t endMark = 0;
    while (endMark == 0) {
      text.clear();
      samples += station.pump.NextSymbol(scratch.data(), text, endMark);
    }
    station.tx.TxState = station.tx.TxEnding = 0;
    benchmark::DoNotOptimize(scratch.data());
  }
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Transmission, Hf300, 300, 1600.0, 1800.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Transmission, Uhf1200, 1200, 1200.0, 2200.0)->Unit(benchmark::kMillisecond);

}  // namespace
