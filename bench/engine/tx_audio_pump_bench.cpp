// Transmit synthesis per mode: a whole transmission through the pump, in samples per second
// and as a multiple of real time (11025 samples/s).
#include <benchmark/benchmark.h>

#include <memory>
#include <string_view>

#include "bench/harness/tx_harness.h"
#include "bench/harness/tx_setup.h"
#include "engine/engine.h"
#include "engine/mode_number.h"

namespace vestrel {
namespace {

void Transmission(benchmark::State& state, int32_t mode, double baud, int shift) {
  harness::NullEngineWindow window;
  harness::NullRxSink rx;
  auto engine = std::make_unique<TEngine>(window, rx);
  SetTxModeForHarness(*engine, mode, baud, 1700, shift, false);
  harness::HarnessPlayback device(engine->txBuffers, nullptr);
  TxPumpLinks links;
  links.sound = &device;
  engine->txPump.Connect(links);
  constexpr std::string_view kText = "CQ CQ CQ DE TEST TEST TEST THE QUICK BROWN FOX 0123456789 PSE K ";
  for (auto _ : state) {
    device.OpenSoundOutput();  // the end of transmission closes it
    engine->tx.TxState = 1;
    for (int r = 0; r < 4; ++r) {
      for (unsigned char c : kText) engine->TxQueue.QueueTxSymbol(c);
    }
    engine->TxQueue.QueueTxSymbol(kTxEnd);
    while (engine->tx.TxState != 0) {
      engine->txPump.PumpTxAudio();
      device.PlayAll();
    }
  }
  state.counters["samples_per_second"] =
      benchmark::Counter(static_cast<double>(device.samples), benchmark::Counter::kIsRate);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(device.samples) / 11025.0, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Transmission, rtty_45, kModeRtty, 45.0, 170)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Transmission, ascii7_110, kModeAscii7, 110.0, 425)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Transmission, ascii8_1200, kModeAscii8, 1200.0, 1000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Transmission, amtor_fec_100, kModeAmtorFec, 100.0, 170)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestrel
