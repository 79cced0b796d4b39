#include <benchmark/benchmark.h>

#include <random>

#include "bench/memo/table_measure.h"
#include "memo/byte_stream.h"
#include "memo/line_breaker.h"

namespace vestrel {
namespace {

// Words of 1..10 letters in paragraphs of 20 to 20 + parMax characters; parMax 0: one paragraph.
std::vector<unsigned char> Text(size_t bytes, size_t parMax) {
  std::mt19937 rng(1);
  std::vector<unsigned char> t;
  size_t par = 0;
  while (t.size() < bytes) {
    const int n = 1 + static_cast<int>(rng() % 10);
    for (int i = 0; i < n; ++i) t.push_back(static_cast<unsigned char>('a' + rng() % 26));
    par += static_cast<size_t>(n) + 1;
    if (parMax && par > 20 + rng() % parMax) {
      t.push_back('\r');
      t.push_back('\n');
      par = 0;
    } else {
      t.push_back(' ');
    }
  }
  return t;
}

struct Memo {
  Memo(size_t bytes, size_t parMax) : ctx(store) {
    TMemoryStream m(Text(bytes, parMax));
    TStyledLineBreak lb = psbCRLF;
    store.LoadFromStream(m, 0, false, lb);
    ctx.Measure = &measure;
    ctx.SpaceWidth = 4;
  }
  // Breaks paragraph i as the memo does after an edit, keeping the line totals.
  void Break(int32_t i, bool whole, int32_t fromLine = 0, int32_t oldLine = 0) {
    int32_t delta = 0, count = 0;
    ReformatParP(ctx, &measure, true, kClient, nullptr, i, fromLine, oldLine, whole, spaceWidth, overhang,
                 delta, count);
    store.TotalLineCount += delta;
    store.VisibleLineCount += delta;
    store.UpdateLines(i + 1, delta);
  }

  static constexpr int32_t kClient = 600;  // some 85 characters a line
  TParagraphsList store;
  bench::TableMeasure measure;
  TNavigatorContext ctx;
  int32_t spaceWidth = 0, overhang = 0;
};

// Every paragraph of a 1 MB text broken into lines, as formatting a loaded file does.
void BM_BreakText(benchmark::State& state) {
  Memo m(1 << 20, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    // Each paragraph's line count changes once, then stays: the totals are kept apart from it.
    for (int32_t i = 0; i < m.store.Count(); ++i) {
      int32_t from = 0, old = 0, delta = 0, count = 0;
      ReformatParP(m.ctx, &m.measure, true, Memo::kClient, nullptr, i, from, old, true, m.spaceWidth,
                   m.overhang, delta, count);
      benchmark::DoNotOptimize(count);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * m.store.CharCount);
  state.counters["chars_per_s"] = benchmark::Counter(static_cast<double>(m.store.CharCount),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BreakText)->Arg(80)->Arg(2000)->Unit(benchmark::kMillisecond);

// One keystroke in the middle of a wrapped 100 KB paragraph: the store's edit and the relayout
// from the edited line, which stops where the breaks meet the old ones again. Typing and
// deleting alternate so the paragraph stays the same.
void BM_KeystrokeInLongParagraph(benchmark::State& state) {
  Memo m(100 << 10, 0);
  m.Break(0, true);
  const int32_t at = m.store[0].Length() / 2;
  bool typed = false;
  for (auto _ : state) {
    m.store.LastModPar = -1;
    m.store.FirstModPar = m.store.Count();
    const auto r = typed ? m.store.InsertBuf(TByteView(), at, at + 1, false, true)
                         : m.store.InsertBuf(TByteView(reinterpret_cast<const unsigned char*>("x"), 1), at,
                                             at, false, true);
    typed = !typed;
    int32_t line = 0;
    const ParInfo& p = m.store[0];
    while (line + 1 < GetLineCount(p) && GetLine(p, line + 1).Start <= r.StopPos) ++line;
    m.Break(0, !m.store.LinesShifted, m.store.FirstModLine, line);
  }
  state.counters["lines"] = static_cast<double>(GetLineCount(m.store[0]));
}
BENCHMARK(BM_KeystrokeInLongParagraph)->Unit(benchmark::kMicrosecond);

// The same paragraph laid out whole, for comparison.
void BM_WholeLongParagraph(benchmark::State& state) {
  Memo m(100 << 10, 0);
  for (auto _ : state) m.Break(0, true);
}
BENCHMARK(BM_WholeLongParagraph)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vestrel
