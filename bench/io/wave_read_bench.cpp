#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "io/wave_read.h"

namespace vestrel {
namespace {

// A 10 s mono 16-bit tone as a WAV file in memory, at `rate` frames per second.
std::vector<uint8_t> ToneFile(uint32_t rate) {
  const uint32_t frames = rate * 10;
  const uint32_t dataBytes = frames * 2;
  std::vector<uint8_t> f(44 + dataBytes);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&f[at], &v, 2); };
  std::memcpy(&f[0], "RIFF", 4);
  put32(4, 36 + dataBytes);
  std::memcpy(&f[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 1);
  put32(24, rate);
  put32(28, rate * 2);
  put16(32, 2);
  put16(34, 16);
  std::memcpy(&f[36], "data", 4);
  put32(40, dataBytes);
  for (uint32_t i = 0; i < frames; ++i) {
    const auto s = static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * 1000.0 * i / rate)));
    std::memcpy(&f[44 + 2 * size_t{i}], &s, 2);
  }
  return f;
}

// ReadSample over a whole file from memory (parsing, the buffered stream, the decimators):
// output samples at 11025 Hz, and as a multiple of real time.
void BM_ReadSample(benchmark::State& state) {
  std::vector<uint8_t> file = ToneFile(static_cast<uint32_t>(state.range(0)));
  TWaveRead reader;
  double samples = 0;
  int64_t sum = 0;
  for (auto _ : state) {
    if (reader.Open(fmemopen(file.data(), file.size(), "rb")) != 0) {
      state.SkipWithError("open failed");
      break;
    }
    while (reader.FramesRemaining() > 0) {
      sum += reader.ReadSample();
      ++samples;
    }
    reader.Close();
  }
  benchmark::DoNotOptimize(sum);
  state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadSample)->Arg(11025)->Arg(22050)->Arg(44100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestrel
