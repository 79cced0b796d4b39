// Packet transmit synthesis: whole transmissions of ten 100-byte frames through the
// transmitter alone and through the engine's transmit pump (playback buffers, echo), as
// samples per second and as a multiple of real time (11025 samples/s).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/engine/modes/packet/packet_signal.h"
#include "bench/harness/tx_harness.h"
#include "engine/engine.h"
#include "engine/mode_number.h"

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

void ThroughThePump(benchmark::State& state, int32_t mode) {
  harness::NullEngineWindow window;
  harness::NullRxSink rx;
  auto engine = std::make_unique<TEngine>(window, rx);
  TModemParams& p = engine->params;
  p.TxTone[0] = p.TxTone[1] = HzToUnits(1700.0);
  p.ShiftHz = mode == kModeAx25Uhf ? 1000 : 200;
  p.Baud = mode == kModeAx25Uhf ? 1200 : 300;
  engine->modeSwitch.SetMode(mode);
  harness::HarnessPlayback device(engine->txBuffers, nullptr);
  TxPumpLinks links;
  links.sound = &device;
  engine->txPump.Connect(links);
  engine->packetChannel.PacketFullDuplex = 1;
  const std::vector<std::vector<int16_t>> frames = bench::BenchFrames(10, 100);
  for (auto _ : state) {
    for (const std::vector<int16_t>& f : frames) engine->bufFifo.PutFrame(f);
    device.OpenSoundOutput();
    engine->packetAccess.Ax25SlotTimerTimer();
    while (engine->tx.TxState != 0) {
      engine->txPump.PumpTxAudio();
      device.PlayAll();
    }
  }
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(device.samples), benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(device.samples / 11025.0, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Transmission, Hf300, 300, 1600.0, 1800.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Transmission, Uhf1200, 1200, 1200.0, 2200.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThroughThePump, Hf300, kModeAx25Hf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThroughThePump, Uhf1200, kModeAx25Uhf)->Unit(benchmark::kMillisecond);

}  // namespace
