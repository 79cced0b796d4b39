#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

// 1 MB of words of 2..8 letters in paragraphs of about 60 characters, without a window (no
// layout): only the highlighting is timed.
std::vector<unsigned char> Text(size_t bytes) {
  std::mt19937 rng(7);
  std::vector<unsigned char> t;
  size_t par = 0;
  while (t.size() < bytes) {
    const int n = 2 + static_cast<int>(rng() % 7);
    for (int i = 0; i < n; ++i) t.push_back(static_cast<unsigned char>('a' + rng() % 8));
    par += static_cast<size_t>(n) + 1;
    if (par > 60) {
      t.insert(t.end(), {'\r', '\n'});
      par = 0;
    } else {
      t.push_back(' ');
    }
  }
  return t;
}

// 100 keywords of 2..5 letters from the same alphabet, half of them whole words, half
// ignoring case; every paragraph is coloured from scratch.
void BM_ApplyKeywords1MB(benchmark::State& state) {
  std::mt19937 rng(3);
  TStyledMemo memo;
  for (int k = 0; k < 100; ++k) {
    std::string w;
    const int n = 2 + static_cast<int>(rng() % 4);
    for (int i = 0; i < n; ++i) w += static_cast<char>('a' + rng() % 8);
    memo.Keywords().AddKeyWord(ToBytes(w), (k & 1 ? woWholeWordsOnly : 0) | (k & 2 ? woMatchCase : 0),
                               kDynBold, 1, 0, clNone, 0x0000FF);
  }
  const std::vector<unsigned char> text = Text(size_t{1} << 20);
  int64_t hits = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TMemoryStream s(text);
    memo.setApplyKeyWords(false);
    memo.LoadFromStream(s);
    memo.setApplyKeyWords(true);
    TStyledNavigator a(&memo.NavContext()), b(&memo.NavContext());
    b.SetPos(memo.getCharCount());
    state.ResumeTiming();
    memo.ApplyKeywordsListP(a, b);
    state.PauseTiming();
    hits = 0;
    for (int32_t i = 0; i < memo.GetParCount(); ++i)
      hits += static_cast<int64_t>(GetDynArray(memo.Store()[i]).size());
    state.ResumeTiming();
  }
  state.counters["attributes"] = static_cast<double>(hits);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ApplyKeywords1MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// 10 start/stop keys of 3-letter texts (some ending at the paragraph's end) and the same 100
// keywords laid again inside and around their ranges: the whole text parsed from the top.
void BM_ApplyStartStopKeys1MB(benchmark::State& state) {
  std::mt19937 rng(5);
  auto word = [&](int n) {
    std::string w;
    for (int i = 0; i < n; ++i) w += static_cast<char>('a' + rng() % 8);
    return w;
  };
  TStyledMemo memo;
  for (int k = 0; k < 100; ++k)
    memo.Keywords().AddKeyWord(ToBytes(word(2 + static_cast<int>(rng() % 4))), k & 1 ? woWholeWordsOnly : 0,
                               kDynBold, k & 2 ? 1 : 0, 0, clNone, 0x0000FF);
  for (int k = 0; k < 10; ++k)
    memo.StartStopKeys().AddStartStopKey(ToBytes(word(3)), ToBytes(word(3)), 0, kDynItalic, 0, 0, clNone,
                                         0x808080, k % 3 == 0);
  const std::vector<unsigned char> text = Text(size_t{1} << 20);
  int64_t attributes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TMemoryStream s(text);
    memo.setApplyKeyWords(false);
    memo.setApplyStartStopKeys(false);
    memo.LoadFromStream(s);
    memo.setApplyKeyWords(true);
    memo.setApplyStartStopKeys(true);
    TStyledNavigator a(&memo.NavContext()), b(&memo.NavContext());
    b.SetPos(memo.getCharCount());
    state.ResumeTiming();
    memo.ApplyStartStopKeyListP(a, b);
    state.PauseTiming();
    attributes = 0;
    for (int32_t i = 0; i < memo.GetParCount(); ++i)
      attributes += static_cast<int64_t>(GetDynArray(memo.Store()[i]).size());
    state.ResumeTiming();
  }
  state.counters["attributes"] = static_cast<double>(attributes);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ApplyStartStopKeys1MB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vestrel
