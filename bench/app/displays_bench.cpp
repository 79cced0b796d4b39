// bench-link: vestrel_app
// The displays' work per spectrum block (one every 186 ms): the spectrum view and one waterfall
// line with its markers, for an 800 x 150 box at zoom 1 and 5.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cmath>

#include "app/displays.h"
#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"

namespace vestrel {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "displays-bench";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

void Paint(benchmark::State& state, bool waterfall) {
  App();
  harness::NullEngineWindow window;
  harness::NullRxSink sink;
  TEngine engine(window, sink);
  TAppSettings settings;
  settings.WaterFall = waterfall ? 1 : 0;
  QWidget box, scale, strip;
  box.resize(800, 150);
  scale.resize(800, 14);
  strip.resize(800, 15);
  DisplayLinks links;
  links.engine = &engine;
  links.settings = &settings;
  links.window = &window;
  links.box = &box;
  links.scalePanel = &scale;
  links.strip = &strip;
  TDisplays displays;
  displays.Attach(links);
  displays.SetZoom(int(state.range(0)));
  auto& avg = engine.rxBlocks.Spectrum.SpectrumAvg;
  auto& peak = engine.rxBlocks.Spectrum.SpectrumPeak;
  for (int k = 0; k < 2048; ++k) {
    avg[size_t(k)] = float(0.01 + 0.5 * std::exp(-std::pow((k - 316) / 6.0, 2)));
    peak[size_t(k)] = avg[size_t(k)] * 1.2f;
  }
  displays.PaintSpectrum();  // the layout, once
  for (auto _ : state) {
    displays.PaintSpectrum();
    benchmark::DoNotOptimize(displays.Shown().constBits());
  }
}

void BM_PaintSpectrum(benchmark::State& state) { Paint(state, false); }
void BM_PaintWaterfall(benchmark::State& state) { Paint(state, true); }
BENCHMARK(BM_PaintSpectrum)->Arg(1)->Arg(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintWaterfall)->Arg(1)->Arg(5)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vestrel
