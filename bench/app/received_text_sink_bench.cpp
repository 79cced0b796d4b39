// The received-text sink into a receive window that already holds text, in characters per
// second: with the view following the text at the bottom, and with the view scrolled back and
// a selection made by the operator. Decoding a file at full speed hands the sink characters
// far faster than any mode on the air; what the window holds must not slow it down.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "app/received_text_sink.h"
#include "bench/memo/table_measure.h"
#include "memo/byte_stream.h"
#include "memo/styled_memo.h"
#include "tests/support/null_memo_window.h"

namespace vestrel {
namespace {

class Host : public ReceivedTextHost {
 public:
  bool ExchangeLibraryOn() const override { return false; }
  int CurrentMode() const override { return 0; }
  bool Transmitting() const override { return false; }
  bool BeaconRunning() const override { return false; }
  void StopBeacon() override {}
  void ReportReceiveWindowFailure(const std::string&) override {}
};

// Received text: words of 1..8 letters, a line break (CR LF) after 40..80 characters.
std::string ReceivedText(size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::string t;
  t.reserve(bytes + 16);
  size_t line = 0, lineEnd = 40 + rng() % 40;
  while (t.size() < bytes) {
    const int n = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < n; ++i) t.push_back(static_cast<char>('A' + rng() % 26));
    line += static_cast<size_t>(n) + 1;
    if (line > lineEnd) {
      t += "\r\n";
      line = 0;
      lineEnd = 40 + rng() % 40;
    } else {
      t += ' ';
    }
  }
  return t;
}

// 64 KB of text to hand over, as a ring indexed with a mask.
std::string Incoming() {
  std::string t = ReceivedText(1 << 16, 9);
  t.resize(1 << 16);
  return t;
}

struct Window {
  explicit Window(size_t holding) {
    memo.setScrollTime(0);
    memo.CreateHandle(window);
    const std::string text = ReceivedText(holding, 7);
    TMemoryStream s(std::vector<unsigned char>(text.begin(), text.end()));
    memo.LoadFromStream(s);
    memo.setSelStart(memo.getCharCount());
    memo.ScrollInView();
  }
  bench::TableMeasure measure;
  testing::NullMemoWindow window{measure, 600, 400};
  TStyledMemo memo;
  TAppSettings settings;
  SystemClock clock;
  TextCaptureStream capture;
  Host host;
  ExchangeLibraryPart library;
  ExchangePortPart port;
  CallsignPart calls;
  AutomationPart automation;
  LoggerLinkPart logger;
  ReceivedTextSink sink{memo, {host, settings, clock, capture, library, port, calls, automation, logger}};
};

// One character at a time, for as long as the benchmark runs.
void Feed(benchmark::State& state, Window& w) {
  const std::string incoming = Incoming();
  size_t i = 0;
  for (auto _ : state) {
    w.sink.PutRxChar(static_cast<uint8_t>(incoming[i]));
    i = (i + 1) & (incoming.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}

// Into a window holding state.range(0) bytes, the view at the bottom.
void BM_PutRxCharAtTheBottom(benchmark::State& state) {
  Window w(static_cast<size_t>(state.range(0)));
  Feed(state, w);
  state.counters["lines"] = w.memo.getTotalLineCount();
}
BENCHMARK(BM_PutRxCharAtTheBottom)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);

// The same with the operator's view a thousand lines back and a word selected there.
void BM_PutRxCharScrolledBack(benchmark::State& state) {
  Window w(static_cast<size_t>(state.range(0)));
  const int32_t top = w.memo.getTotalLineCount() - 1000;
  w.memo.setTopLine(top);
  int32_t start = 0, stop = 0;
  bool ends = false;
  w.memo.GetLineBounds(top + 3, start, stop, ends);
  w.memo.setSelStart(start);
  w.memo.setSelLength(5);
  Feed(state, w);
  if (w.memo.getTopLine() != top || w.memo.getSelStart() != start) state.SkipWithError("the view moved");
}
BENCHMARK(BM_PutRxCharScrolledBack)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vestrel
