#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "bench/memo/table_measure.h"
#include "memo/byte_stream.h"
#include "memo/styled_memo.h"
#include "memo/styled_memo_strings.h"
#include "tests/support/fake_draw_surface.h"
#include "tests/support/null_memo_window.h"

namespace vestrel {
namespace {

// A window of 600 by 400 pixels measuring with the table font.
class BenchWindow : public testing::NullMemoWindow {
 public:
  BenchWindow() : NullMemoWindow(measure_, 600, 400) {}

 private:
  bench::TableMeasure measure_;
};

// A received-text log of `bytes`: words of 1..10 letters, lines of up to 300 characters.
std::string WriteLog(size_t bytes) {
  std::mt19937 rng(3);
  std::string t;
  t.reserve(bytes + 16);
  size_t line = 0;
  while (t.size() < bytes) {
    const int n = 1 + static_cast<int>(rng() % 10);
    for (int i = 0; i < n; ++i) t.push_back(static_cast<char>('a' + rng() % 26));
    line += static_cast<size_t>(n) + 1;
    if (line > 20 + rng() % 280) {
      t += "\r\n";
      line = 0;
    } else {
      t += ' ';
    }
  }
  const std::string path = "/tmp/vestrel_memo_bench_" + std::to_string(bytes) + ".txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(t.data(), 1, t.size(), f);
  std::fclose(f);
  return path;
}

// Loading a 10 MB file into a memo with a window: reading, and breaking every paragraph into
// lines for the window.
void BM_LoadFileIntoMemo(benchmark::State& state) {
  const size_t bytes = 10u << 20;
  const std::string path = WriteLog(bytes);
  BenchWindow window;
  TStyledMemo memo;
  memo.setUpdateMode(umImmediate);
  memo.CreateHandle(window);
  for (auto _ : state) {
    memo.Lines().LoadFromFileAuto(path);
    benchmark::DoNotOptimize(memo.getTotalLineCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["lines"] = memo.getTotalLineCount();
  std::remove(path.c_str());
}
BENCHMARK(BM_LoadFileIntoMemo)->Unit(benchmark::kMillisecond);

// Text appended at the end of a long receive window a few characters at a time, as the
// decoders hand it over, with a break every tenth time.
void BM_AppendAtTheEnd(benchmark::State& state) {
  BenchWindow window;
  TStyledMemo memo;
  memo.setUpdateMode(umImmediate);
  memo.CreateHandle(window);
  const std::string path = WriteLog(1u << 20);
  memo.Lines().LoadFromFileAuto(path);
  std::remove(path.c_str());
  const TByteString chunk = ToBytes("cq de "), end = ToBytes("k\r\n");
  int n = 0;
  for (auto _ : state) {
    memo.setSelStart(memo.getCharCount());
    memo.SetSelTextBuf(++n % 10 ? chunk : end);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendAtTheEnd)->Unit(benchmark::kMicrosecond);

// A memo of `lines` received lines of about 60 characters in a 600 x 400 window.
void FillLines(TStyledMemo& memo, int64_t lines) {
  std::string t;
  t.reserve(static_cast<size_t>(lines) * 62);
  std::mt19937 rng(11);
  for (int64_t i = 0; i < lines; ++i) {
    if (i) t += "\r\n";
    for (int k = 0; k < 60; ++k) t.push_back(k % 7 == 6 ? ' ' : static_cast<char>('a' + rng() % 26));
  }
  TMemoryStream s(std::vector<unsigned char>(t.begin(), t.end()));
  memo.LoadFromStream(s);
}

// A memo of `lines` lines laid out whole, the caret and the view at its end.
void AtTheEndOf(TStyledMemo& memo, BenchWindow& window, int64_t lines) {
  memo.setUpdateMode(umImmediate);
  memo.CreateHandle(window);
  FillLines(memo, lines);
  memo.setSelStart(memo.getCharCount());
  memo.ScrollInView();
}

// One received character at the end, the way the receive window takes it: inside an update,
// the selection put at the end, the view kept on the text; a break every 60 characters.
void BM_AppendOneCharacterAtTheEnd(benchmark::State& state) {
  BenchWindow window;
  TStyledMemo memo;
  AtTheEndOf(memo, window, state.range(0));
  const TByteString letter = ToBytes("e"), brk = ToBytes("\r\n");
  int n = 0;
  for (auto _ : state) {
    memo.BeginUpdate();
    memo.setSelStart(memo.getCharCount());
    memo.setSelText(++n % 60 ? letter : brk);
    memo.EndUpdate();
    memo.ScrollInView();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["lines"] = memo.getTotalLineCount();
}
BENCHMARK(BM_AppendOneCharacterAtTheEnd)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Painting a whole 600 x 400 view of wrapped text onto the recording surface: every line
// composed and copied, each run measured and drawn.
void BM_PaintOneScreen(benchmark::State& state) {
  BenchWindow window;
  TStyledMemo memo;
  memo.setUpdateMode(umImmediate);
  memo.CreateHandle(window);
  memo.setStaticFormat(true);
  FillLines(memo, 5000);
  memo.setTopLine(2500);
  testing::FakeDrawSurface dc;
  for (auto _ : state) {
    dc.ops.clear();
    dc.lines = 0;
    memo.Paint(dc, {0, 0, 600, 400});
    benchmark::DoNotOptimize(dc.ops.data());
  }
  state.counters["lines"] = dc.lines;
  state.counters["runs"] = static_cast<double>(dc.Of(testing::FakeDrawSurface::Op::Text).size());
}
BENCHMARK(BM_PaintOneScreen)->Unit(benchmark::kMicrosecond);

// Hands the memo the slice its format thread asks for, waiting for the request.
void RunOneSlice(BenchWindow& window, TStyledMemo& memo) {
  uintptr_t token = 0;
  while ((token = window.lastRequest.exchange(0)) == 0) std::this_thread::yield();
  TMemoMessage m;
  m.Msg = SM_UPDATEBKG;
  m.WParam = token;
  memo.WndProc(m);
}

// Background formatting of a 10 MB log: one iteration is one slice (at most 25 ms), the
// counter the paragraphs it lays out. A text laid out to its end is laid out anew.
void BM_BackgroundFormattingSlice(benchmark::State& state) {
  const size_t bytes = 10u << 20;
  const std::string path = WriteLog(bytes);
  BenchWindow window;
  TStyledMemo memo;
  memo.CreateHandle(window);
  memo.Lines().LoadFromFileAuto(path);
  std::remove(path.c_str());
  int64_t paragraphs = 0, slices = 0, wholeTexts = 0;
  for (auto _ : state) {
    if (memo.getFormatCompleted() == 100) {
      state.PauseTiming();
      memo.Reformat();
      ++wholeTexts;
      state.ResumeTiming();
    }
    const int32_t before = memo.Store().FirstUnformatted;
    RunOneSlice(window, memo);
    const int32_t after =
        memo.Store().LastUnformatted < 0 ? memo.GetParCount() : memo.Store().FirstUnformatted;
    paragraphs += after - before;
    ++slices;
  }
  state.counters["paragraphs"] = memo.GetParCount();
  state.counters["paragraphs_per_slice"] =
      slices ? static_cast<double>(paragraphs) / static_cast<double>(slices) : 0;
  state.counters["whole_texts"] = static_cast<double>(wholeTexts);
}
BENCHMARK(BM_BackgroundFormattingSlice)->Unit(benchmark::kMillisecond)->Iterations(200);

// One keystroke at the end of a long memo: the key going down is no movement, the character
// goes in through KeyPress; Enter every 60 characters.
void BM_KeystrokeAtTheEnd(benchmark::State& state) {
  BenchWindow window;
  TStyledMemo memo;
  AtTheEndOf(memo, window, state.range(0));
  int n = 0;
  for (auto _ : state) {
    unsigned char c = ++n % 60 ? 'e' : '\r';
    TMemoKey key = c == '\r' ? kKeyReturn : TMemoKey{'E'};
    memo.KeyDown(key, 0);
    memo.KeyPress(c);
    key = c == '\r' ? kKeyReturn : TMemoKey{'E'};
    memo.KeyUp(key, 0);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["lines"] = memo.getTotalLineCount();
}
BENCHMARK(BM_KeystrokeAtTheEnd)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vestrel
