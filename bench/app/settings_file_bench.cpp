// The settings file of every key: parsing it, loading every value (with the tone pairs), and
// a save into the same file and into an empty one.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

#include "app/settings_file.h"

namespace vestrel {
namespace {

std::string AllKeys() {
  std::ifstream in(VESTREL_SOURCE_DIR "/fuzz/app/settings_file_fuzz_corpus/all_keys.ini", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Loaded : SettingsValues {
  TModemParams p;
};

void BM_ParseFile(benchmark::State& state) {
  const std::string text = AllKeys();
  for (auto _ : state) benchmark::DoNotOptimize(IniFile::FromText(text));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ParseFile);

void BM_LoadSettings(benchmark::State& state) {
  const IniFile ini = IniFile::FromText(AllKeys());
  for (auto _ : state) {
    Loaded l;
    ReadSettings(ini, l.Targets());
    ApplyToModemParams(l.settings, l.p);
    benchmark::DoNotOptimize(l.p);
  }
}
BENCHMARK(BM_LoadSettings);

void BM_SaveSettings(benchmark::State& state) {
  const bool empty = state.range(0) != 0;
  const IniFile ini = IniFile::FromText(AllKeys());
  Loaded l;
  ReadSettings(ini, l.Targets());
  ApplyToModemParams(l.settings, l.p);
  for (auto _ : state) {
    IniFile out = empty ? IniFile() : ini;
    TakeFromModemParams(l.p, l.settings);
    WriteSettings(l.Targets(), out);
    WriteMacros(l.macros, out);
    benchmark::DoNotOptimize(out.Text());
  }
}
BENCHMARK(BM_SaveSettings)->Arg(0)->Arg(1)->ArgName("into_empty");

}  // namespace
}  // namespace vestrel
