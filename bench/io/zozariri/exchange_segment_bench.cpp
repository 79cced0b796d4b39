#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "io/zozariri/exchange_segment.h"

namespace {

// One symbol through a channel: the terminal's put and the peer's get, in one process.
void BM_SymbolRoundTrip(benchmark::State& state) {
  const std::string prefix = "vestrel-bench-" + std::to_string(getpid());
  setenv("VESTREL_ZOZARIRI_PREFIX", prefix.c_str(), 1);
  vestrel::ExchangeSegment terminal, peer;
  if (!terminal.Open(1, vestrel::ExchangeSegment::Side::kTerminal) ||
      !peer.Open(1, vestrel::ExchangeSegment::Side::kPeer)) {
    state.SkipWithError("cannot open a channel");
    return;
  }
  uint8_t b = 0;
  for (auto _ : state) {
    terminal.Put(b++);
    benchmark::DoNotOptimize(peer.Get());
  }
  state.SetItemsProcessed(state.iterations());
  shm_unlink(vestrel::ExchangeSegment::SegmentName(1).c_str());
}
BENCHMARK(BM_SymbolRoundTrip);

}  // namespace
