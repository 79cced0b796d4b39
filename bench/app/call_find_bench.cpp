// The callsign catcher and the own-call watch on received text, in characters per second, and
// the search of a call among the last thousand characters of a receive window holding 1 MB
// (the automation's and the logger's colour requests for a call that is not the current one).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "app/call_find.h"
#include "bench/memo/table_measure.h"
#include "memo/byte_stream.h"
#include "memo/styled_memo.h"
#include "tests/support/null_memo_window.h"

namespace vestrel {
namespace {

class NoHighlight : public CallHighlighter {
 public:
  void HighlightRange(int32_t start, int32_t, int32_t) override { benchmark::DoNotOptimize(start); }
};

// Words of 1..8 letters with a call sign every tenth word, a line break after about 60
// characters; exactly `bytes` long.
std::string ReceivedText(size_t bytes) {
  std::mt19937 rng(11);
  std::string t;
  size_t word = 0;
  while (t.size() < bytes) {
    if (++word % 10 == 0) {
      t += "DL" + std::to_string(rng() % 10) + "ABC";
    } else {
      const int n = 1 + static_cast<int>(rng() % 8);
      for (int i = 0; i < n; ++i) t.push_back(static_cast<char>('A' + rng() % 26));
    }
    t += word % 12 == 0 ? "\r\n" : " ";
  }
  t.resize(bytes);
  return t;
}

struct Window {
  explicit Window(size_t holding) {
    memo.CreateHandle(window);
    const std::string text = ReceivedText(holding);
    TMemoryStream s(std::vector<unsigned char>(text.begin(), text.end()));
    memo.LoadFromStream(s);
  }
  bench::TableMeasure measure;
  testing::NullMemoWindow window{measure, 600, 400};
  TStyledMemo memo;
  NoHighlight highlight;
  TCallFind calls{memo, highlight};
};

void BM_CallFindFeedChar(benchmark::State& state) {
  Window w(1 << 20);
  const std::string incoming = ReceivedText(1 << 16);
  size_t i = 0;
  int found = 0;
  for (auto _ : state) {
    found += w.calls.FeedChar(static_cast<uint8_t>(incoming[i]), false);
    i = (i + 1) & (incoming.size() - 1);
  }
  benchmark::DoNotOptimize(found);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CallFindFeedChar);

void BM_MyCallFindFeedChar(benchmark::State& state) {
  TMyCallFind watch;
  watch.SetPattern("DL7ABC");
  const std::string incoming = ReceivedText(1 << 16);
  size_t i = 0;
  int fired = 0;
  for (auto _ : state) {
    fired += watch.FeedChar(static_cast<uint8_t>(incoming[i]), false, true) ? 1 : 0;
    i = (i + 1) & (incoming.size() - 1);
  }
  benchmark::DoNotOptimize(fired);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MyCallFindFeedChar);

// A call that is nowhere: the whole thousand characters are searched.
void BM_HighlightSearchesBack(benchmark::State& state) {
  Window w(1 << 20);
  for (auto _ : state) w.calls.Highlight("XX0XXX", 255);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HighlightSearchesBack)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vestrel
