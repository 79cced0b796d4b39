// The waterfall colours: one row of the setup dialog's preview (redrawn at every keystroke in a
// coefficient edit) and the 10000 steps a whole palette takes.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/waterfall_palette.h"

namespace vestrel {
namespace {

void BM_WaterfallColours(benchmark::State& state) {
  const int width = int(state.range(0));
  const TWaterfallSettings w;
  std::vector<TRgb> row(static_cast<size_t>(width));
  for (auto _ : state) {
    for (int x = 0; x < width; ++x) row[size_t(x)] = WaterfallColour(w, double(x) / width);
    benchmark::DoNotOptimize(row.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * width);
}
BENCHMARK(BM_WaterfallColours)->Arg(360)->Arg(10000);

}  // namespace
}  // namespace vestrel
