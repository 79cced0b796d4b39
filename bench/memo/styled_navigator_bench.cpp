#include <benchmark/benchmark.h>

#include <random>

#include "memo/byte_stream.h"
#include "memo/styled_navigator.h"

namespace vestrel {
namespace {

struct Memo {
  explicit Memo(size_t bytes) : ctx(store) {
    std::mt19937 rng(1);
    std::vector<unsigned char> t;
    while (t.size() < bytes) {
      const int n = 20 + static_cast<int>(rng() % 61);
      for (int i = 0; i < n; ++i) t.push_back(static_cast<unsigned char>('a' + rng() % 26));
      t.push_back('\r');
      t.push_back('\n');
    }
    TMemoryStream m(t);
    TStyledLineBreak lb = psbCRLF;
    store.LoadFromStream(m, 0, false, lb);
  }
  TParagraphsList store;
  TNavigatorContext ctx;
};

// A jump to a random offset: proportional guess, short walk or binary search.
void BM_RandomPositionLookup(benchmark::State& state) {
  Memo m(static_cast<size_t>(state.range(0)));
  TStyledNavigator n(&m.ctx);
  std::mt19937 rng(2);
  for (auto _ : state) {
    n.SetPos(static_cast<int32_t>(rng() % static_cast<unsigned>(m.store.CharCount + 1)));
    benchmark::DoNotOptimize(n.GetParNb());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomPositionLookup)->Arg(1 << 20)->Arg(16 << 20);

// Stepping one character at a time through the text, as scanners do.
void BM_SequentialSteps(benchmark::State& state) {
  Memo m(1 << 20);
  TStyledNavigator n(&m.ctx);
  int32_t pos = 0;
  for (auto _ : state) {
    pos = pos >= m.store.CharCount ? 0 : pos + 1;
    n.SetPos(pos);
    benchmark::DoNotOptimize(n.GetText());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SequentialSteps);

}  // namespace
}  // namespace vestrel
