#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "memo/byte_stream.h"
#include "memo/paragraphs_list.h"

namespace vestrel {
namespace {

// A received-text log: lines of 20..80 characters with CR LF breaks.
std::vector<unsigned char> LogText(size_t bytes) {
  std::mt19937 rng(1);
  std::vector<unsigned char> t;
  t.reserve(bytes + 100);
  while (t.size() < bytes) {
    const int n = 20 + static_cast<int>(rng() % 61);
    for (int i = 0; i < n; ++i) t.push_back(static_cast<unsigned char>(i % 6 == 5 ? ' ' : 'a' + rng() % 26));
    t.push_back('\r');
    t.push_back('\n');
  }
  return t;
}

void LoadInto(TParagraphsList& s, const std::vector<unsigned char>& text) {
  TMemoryStream m(text);
  TStyledLineBreak lb = psbCRLF;
  s.LoadFromStream(m, 0, false, lb);
}

void BM_LoadFromStream(benchmark::State& state) {
  const std::vector<unsigned char> text = LogText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    TParagraphsList s;
    LoadInto(s, text);
    benchmark::DoNotOptimize(s.CharCount);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LoadFromStream)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

void BM_SaveToStream(benchmark::State& state) {
  const std::vector<unsigned char> text = LogText(16 << 20);
  TParagraphsList s;
  LoadInto(s, text);
  for (auto _ : state) {
    TMemoryStream out;
    s.SaveToStream(out, false, false, psbCRLF);
    benchmark::DoNotOptimize(out.Size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SaveToStream)->Unit(benchmark::kMillisecond);

// Random single edits (typing, short deletions, an occasional break) in a text of
// state.range(0) bytes; every edit shifts the offsets of the paragraphs after it.
void BM_RandomInsertBuf(benchmark::State& state) {
  const std::vector<unsigned char> text = LogText(static_cast<size_t>(state.range(0)));
  TParagraphsList s;
  LoadInto(s, text);
  std::mt19937 rng(2);
  const TByteString typed = ToBytes("x"), brk = ToBytes("\r\n"), none;
  for (auto _ : state) {
    const int32_t pos = static_cast<int32_t>(rng() % static_cast<unsigned>(s.CharCount + 1));
    switch (rng() % 4) {
      case 0:
        s.InsertBuf(none, pos, pos + 1, false, false);
        break;
      case 1:
        s.InsertBuf(brk, pos, pos, false, false);
        break;
      default:
        s.InsertBuf(typed, pos, pos, false, false);
        break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomInsertBuf)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);

// Typing at the end, as the received-text window does.
void BM_AppendAtEnd(benchmark::State& state) {
  const std::vector<unsigned char> text = LogText(1 << 20);
  TParagraphsList s;
  LoadInto(s, text);
  const TByteString typed = ToBytes("x");
  for (auto _ : state) s.InsertBuf(typed, s.CharCount, s.CharCount, false, false);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendAtEnd);

// Typing in the middle of one long wrapped and highlighted paragraph: 200000 characters in
// lines of 70 with an attribute every 20 characters. Each keystroke renumbers the attribute
// counts of all 2858 lines.
void BM_TypingInLongHighlightedParagraph(benchmark::State& state) {
  constexpr int32_t kLen = 200000;
  TParagraphsList s;
  s.InsertBuf(TByteString(kLen, 'a'), 0, 0, false, false);
  ParInfo& p = s[0];
  std::vector<DynInfoRec> dyns;
  for (int32_t at = 0; at < kLen; at += 20) {
    DynInfoRec r;
    r.Start = at;
    r.Flags = kDynActive;
    dyns.push_back(r);
  }
  SetParDyns(p, dyns);
  std::vector<LineInfo> lines;
  for (int32_t at = 0; at < kLen; at += 70) {
    LineInfo l;
    l.Start = l.JustifyFrom = at;
    l.Stop = std::min(at + 70, kLen);
    l.StartDyn = (at + 19) / 20;
    lines.push_back(l);
  }
  lines.back().JustifyFrom = lines.back().Stop;
  p.Line0 = lines.front();
  p.Lines.assign(lines.begin() + 1, lines.end());
  s.TotalLineCount = s.VisibleLineCount = static_cast<int32_t>(lines.size());
  const TByteString typed = ToBytes("b");
  for (auto _ : state) s.InsertBuf(typed, kLen / 2, kLen / 2, false, false);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TypingInLongHighlightedParagraph);

}  // namespace
}  // namespace vestrel
