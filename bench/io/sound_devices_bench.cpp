#include <benchmark/benchmark.h>

#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"
#include "io/input_feed.h"
#include "io/sound_devices.h"
#include "platform/fake_wave.h"

namespace vestrel {
namespace {

struct NullMessages final : MessageBoxSink {
  void ShowMessage(std::string_view, std::string_view) override {}
};
struct NullTermination final : TerminationRequest {
  void RequestTermination() override {}
};

// One captured buffer per iteration, as in steady reception: the callback's count, the channel
// reduction, the rate converter, the block processor (spectrum; mode RTTY's demodulator as
// started) and the re-queue. Samples are 2048 frames a buffer.
void BM_ProcessSoundInput(benchmark::State& state) {
  harness::NullEngineWindow window;
  harness::NullRxSink rx;
  TEngine engine(window, rx);
  FakeWaveBackend backend;
  auto tx = std::make_unique<TxAudioBuffers>();
  InputFeed feed(engine.rxBlocks);
  NullMessages messages;
  NullTermination termination;
  SoundDevices devices(engine.window, engine.tx, backend, *tx, feed, messages, termination);
  devices.settings.InputCardChannel = static_cast<int>(state.range(0));
  devices.OpenSoundInput();
  for (auto _ : state) {
    backend.DeliverInput(1);
    devices.ProcessSoundInput();
  }
  benchmark::DoNotOptimize(engine.rxBlocks.Spectrum.SpectrumAvg[100]);
  const double samples = static_cast<double>(state.iterations()) * CaptureRing::kFrames;
  state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
  devices.CloseSoundInput();
}
BENCHMARK(BM_ProcessSoundInput)->Arg(0)->Arg(2);

}  // namespace
}  // namespace vestrel
