// What the data-exchange port costs the GUI thread: queueing one received byte for the peer
// (LongFifo::Put under its lock, and the writer's event), and the inward parser per byte in
// each form (text with its line ends and words; KISS frames with their check sequence). A
// 9600 Bd line carries 960 bytes per second.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "io/exchange_input.h"
#include "io/exchange_port.h"

namespace vestrel {
namespace {

void BM_QueueExchangeByte(benchmark::State& state) {
  WorkerShared shared;
  shared.exTxEvent = std::make_shared<AutoResetEvent>();
  uint8_t b = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(QueueExchangeByte(shared, b++));
    benchmark::DoNotOptimize(shared.ExchangeOut.Get());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QueueExchangeByte);

class NullTarget final : public ExchangeInputTarget {
 public:
  bool kiss = false;
  size_t sink = 0;
  bool KissInput() const override { return kiss; }
  void QueueFrame(std::span<const int16_t> items) override { sink += items.size(); }
  void KissCommand(int, uint8_t value) override { sink += value; }
  bool ExpandMacroEscape(std::string&) override { return false; }
  void AppendText(const std::string& text) override { sink += text.size(); }
};

void Parse(benchmark::State& state, bool kiss, const std::vector<uint8_t>& input) {
  NullTarget target;
  target.kiss = kiss;
  TExtInputHandler handler;
  for (auto _ : state) {
    for (uint8_t b : input) handler.PutByte(b, target);
  }
  benchmark::DoNotOptimize(target.sink);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_ParseText(benchmark::State& state) {
  const std::string line = "CQ CQ de ~[mycall] ~[mycall] pse k\r\n";
  Parse(state, false, std::vector<uint8_t>(line.begin(), line.end()));
}
BENCHMARK(BM_ParseText);

void BM_ParseKiss(benchmark::State& state) {
  std::vector<uint8_t> frame{0xC0, 0x00};
  for (int i = 0; i < 256; ++i) frame.push_back(static_cast<uint8_t>(i == 0xC0 || i == 0xDB ? 'x' : i));
  frame.push_back(0xC0);
  Parse(state, true, frame);
}
BENCHMARK(BM_ParseKiss);

}  // namespace
}  // namespace vestrel
