// TFskDetector::Step throughput per path, as samples per second and as a multiple of real time
// (11025 samples/s), with the plain four-arm chain beside it for comparison.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/dsp/fsk_detector.h"
#include "engine/dsp/fsk_detector_reference.h"
#include "engine/frequency_unit.h"

namespace vestrel {
namespace {

// Hamming-windowed sinc of the lengths the decoders use on each path.
std::vector<double> LowPass(int n, double fc) {
  std::vector<double> h(n);
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double t = i - (n - 1) / 2.0;
    h[i] = (t == 0.0 ? 2.0 * fc : std::sin(2.0 * std::numbers::pi * fc * t) / (std::numbers::pi * t)) *
           (0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * i / (n - 1)));
    sum += h[i];
  }
  for (double& v : h) v /= sum;
  return h;
}

std::vector<float> Signal() {
  std::vector<float> x(11025);
  for (size_t n = 0; n < x.size(); ++n)
    x[n] = static_cast<float>(10000.0 * std::sin(2.0 * std::numbers::pi * 2125.0 * n / kRxRate) +
                              300.0 * std::sin(0.37 * n * n));
  return x;
}

struct PathCase {
  int path, taps, average;
};
// 45.45 Bd narrow, 45.45 Bd optimal-with-average (10 Bd rows), 150 Bd, 1200 Bd.
constexpr PathCase kCases[] = {{919, 113, 0}, {919, 113, 1103}, {2756, 77, 0}, {11025, 43, 0}};

template <class Detector>
void BM_Step(benchmark::State& state) {
  const PathCase c = kCases[state.range(0)];
  static const SineTable sine;
  Detector d(sine);
  d.SetTones(HzToUnits(2125.0), HzToUnits(2295.0));
  const std::vector<double> fir = LowPass(c.taps, 0.03);
  d.SetupWithAverage(c.path, fir, c.average);
  const std::vector<float> x = Signal();
  int64_t samples = 0;
  for (auto _ : state) {
    int ready = 0;
    for (float v : x) ready += d.Step(v);
    benchmark::DoNotOptimize(ready);
    benchmark::DoNotOptimize(d.OutBSin);
    samples += static_cast<int64_t>(x.size());
  }
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(samples) / kRxRate, benchmark::Counter::kIsRate);
  state.SetLabel("path " + std::to_string(c.path) + " taps " + std::to_string(c.taps) + " average " +
                 std::to_string(c.average));
}

BENCHMARK_TEMPLATE(BM_Step, TFskDetector)->DenseRange(0, 3);
BENCHMARK_TEMPLATE(BM_Step, TFskDetectorReference)->DenseRange(0, 3);

}  // namespace
}  // namespace vestrel
