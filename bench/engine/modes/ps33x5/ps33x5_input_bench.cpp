// The front of the PS33X5 receiver: 2048-sample blocks through the 11025 -> 12800 converter.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/modes/ps33x5/ps33x5_input.h"

namespace vestrel {
namespace {

class Sum final : public TPs33x5Input {
 public:
  bool SelectMode(const ModeRow&) override { return true; }
  bool SetTones(int32_t, int32_t) override { return true; }
  bool SetSpeed(double, int) override { return true; }
  double sum = 0.0;

 protected:
  void ProcessConverted(std::span<const double> samples, bool) override {
    for (double x : samples) sum += x;
  }
};

void BM_Ps33x5Input(benchmark::State& state) {
  Sum input;
  std::vector<float> block(2048);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<float>(8000 * std::sin(i * 0.97));
  for (auto _ : state) input.ProcessBlock(block, true);
  benchmark::DoNotOptimize(input.sum);
  const double samples = static_cast<double>(state.iterations()) * block.size();
  state.counters["x_realtime"] = benchmark::Counter(samples / 11025.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Ps33x5Input);

}  // namespace
}  // namespace vestrel
