// The packet receiver on our own transmissions (100-byte frames back to back), alone and as the
// whole receive chain (block processor with spectrum and squelch, then the receiver), as
// samples per second and as a multiple of real time (11025 samples/s).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/engine/modes/packet/packet_signal.h"
#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "engine/modes/packet/ax25_decoder.h"

namespace {

using namespace vestrel;

class CountingSink final : public Ax25FrameSink {
 public:
  void PutAx25Frame(std::span<const uint8_t>) override { ++frames; }
  size_t frames = 0;
};

void Decoder(benchmark::State& state, int baud, double lowerHz, double upperHz) {
  bench::PacketStation station(baud, lowerHz, upperHz);
  station.Queue(baud / 30, 100);  // some 10 s of frames
  const std::vector<int16_t> s = station.Transmit();
  const std::vector<float> x(s.begin(), s.end());
  harness::NullEngineWindow window;
  CountingSink sink;
  TAx25Decoder decoder(station.sine, window, sink);
  decoder.Start();
  decoder.SetBaud(baud);
  decoder.SetTones(HzToUnits(lowerHz), HzToUnits(upperHz));
  for (auto _ : state) decoder.ProcessBlock(x, true);
  state.counters["frames"] = static_cast<double>(sink.frames) / state.iterations();
  const double samples = static_cast<double>(x.size()) * state.iterations();
  state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}

class CountingText final : public RxTextSink {
 public:
  void PutRxChar(uint8_t) override {}
  void PutRxString(std::string_view) override { ++lines; }
  size_t lines = 0;
};

void ReceiveChain(benchmark::State& state, int32_t mode, double lowerHz, double upperHz) {
  const int baud = mode == kModeAx25Uhf ? 1200 : 300;
  bench::PacketStation station(baud, lowerHz, upperHz);
  station.Queue(baud / 30, 100);
  std::vector<int16_t> s = station.Transmit();
  s.resize(s.size() / TRxBlockProcessor::kBlockSize * TRxBlockProcessor::kBlockSize);
  const std::vector<float> x(s.begin(), s.end());
  harness::NullEngineWindow window;
  CountingText text;
  TEngine engine(window, text);
  engine.Start();
  TModemParams& p = engine.params;
  p.RxTone[0] = p.RxTone[1] = HzToUnits((lowerHz + upperHz) / 2);
  p.ShiftHz = static_cast<int32_t>(upperHz - lowerHz);
  p.Baud = baud;
  engine.modeSwitch.SetMode(mode);
  for (auto _ : state) {
    for (size_t i = 0; i < x.size(); i += TRxBlockProcessor::kBlockSize)
      engine.rxBlocks.ProcessInputBlock(&x[i]);
  }
  state.counters["frames"] = static_cast<double>(text.lines) / state.iterations();
  const double samples = static_cast<double>(x.size()) * state.iterations();
  state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Decoder, Hf300, 300, 1600.0, 1800.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decoder, Uhf1200, 1200, 1200.0, 2200.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Hf300, kModeAx25Hf, 1600.0, 1800.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChain, Uhf1200, kModeAx25Uhf, 1200.0, 2200.0)->Unit(benchmark::kMillisecond);

}  // namespace
