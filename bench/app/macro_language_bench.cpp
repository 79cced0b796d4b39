// The macro language: a typical macro expanded, and the worst cases the bounds stop (a macro
// that includes itself, and 36 macros each including the next twice with 2 KB of text each,
// which runs into the size bound).
#include <benchmark/benchmark.h>

#include <string>

#include "app/macro_language.h"
#include "tests/support/null_macro_host.h"

namespace vestrel {
namespace {

struct Setup {
  Setup() { host.fields = {"DK2XY", "599", "Hans", "0042"}; }
  test::NullMacroHost host;
  TMacroTable table;
  TAppSettings settings;
  test::StillClock clock;
  TMacroLanguage lang{host, table, settings, clock};
};

// Expands `macro` once an iteration; the size of the last result as a counter.
void ExpandEach(benchmark::State& state, Setup& s, const std::string& macro) {
  size_t size = 0;
  for (auto _ : state) {
    std::string text = macro;
    s.lang.ExpandAll(text);
    size = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["result_bytes"] = double(size);
  state.SetItemsProcessed(state.iterations());
}

void BM_TypicalMacro(benchmark::State& state) {
  Setup s;
  ExpandEach(state, s, "~[lf]~[ec] DE XX0XXX ~[tu] UR RST ~[er] ~[er] NAME ~[en]~[lf]~[ec] DE XX0XXX K ");
}
BENCHMARK(BM_TypicalMacro);

void BM_SelfIncludingMacro(benchmark::State& state) {
  Setup s;
  s.table.Macro[1] = "CQ ~[m1]";
  ExpandEach(state, s, s.table.Macro[1]);
}
BENCHMARK(BM_SelfIncludingMacro);

void BM_DoublingMacros(benchmark::State& state) {
  Setup s;
  for (int n = 1; n < 36; ++n) {
    const std::string next = "~[m" + std::to_string(n + 1) + "]";
    s.table.Macro[size_t(n)] = std::string(2048, 'x') + next + next;
  }
  s.table.Macro[36] = "end";
  ExpandEach(state, s, s.table.Macro[1]);
}
BENCHMARK(BM_DoublingMacros);

}  // namespace
}  // namespace vestrel
