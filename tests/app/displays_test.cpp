// ctest-labels: gui
// The displays on real off-screen images: spectrum with its markers, the scrolling waterfall,
// the frequency scale, the oscillogram strip and the phase scope.
#include "app/displays.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "app/engine_driver.h"
#include "app/rx_form.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/messages.h"
#include "platform/fake_wave.h"
#include "support/fake_clock.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/qt_test_app.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

QColor Rgb(int32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

struct Rig {
  explicit Rig(int w = 800, int h = 150) {
    box.resize(w, h);
    scale.resize(w, 14);
    strip.resize(w, 15);
    DisplayLinks links;
    links.engine = &engine;
    links.settings = &settings;
    links.window = &window;
    links.clock = &clock;
    links.box = &box;
    links.scalePanel = &scale;
    links.strip = &strip;
    links.scaleMouseUp = [this] { ++scaleClicks; };
    displays.Attach(links);
  }
  // One block of a sine at `hz` through the block processor's transform.
  void Tone(double hz, double amplitude = 0.5) {
    std::vector<float> block(2048);
    for (size_t i = 0; i < block.size(); ++i) {
      block[i] = float(amplitude * std::sin(2 * M_PI * hz * double(phase++) / 11025.0));
    }
    engine.rxBlocks.ProcessInputBlock(block.data());
  }
  QColor Shown(int x, int y) const { return displays.Shown().pixelColor(x, y); }

  QApplication& app = test::TestApp();
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TEngine engine{window, sink};
  TAppSettings settings;
  test::FakeClock clock;
  QWidget box, scale, strip;
  int scaleClicks = 0;
  uint64_t phase = 0;
  TDisplays displays;
};

TEST(Displays, SetZoomTakesOneForAnythingElseAndChecksItsItem) {
  Rig r;
  r.displays.SetZoom(4);
  EXPECT_EQ(r.engine.params.Zoom, 4);
  EXPECT_TRUE(r.window.checked["4:1 (Alt-4)"]);
  r.displays.SetZoom(7);
  EXPECT_EQ(r.engine.params.Zoom, 1);
  EXPECT_TRUE(r.window.checked["1:1 (Alt-1)"]);
  EXPECT_FALSE(r.window.checked["4:1 (Alt-4)"]);
}

TEST(Displays, NothingIsPaintedWhilePausedOrIntoABoxOfNoSize) {
  Rig r;
  r.engine.display.DisplayPause = 3;
  r.displays.PaintSpectrum();
  r.displays.RepaintOscillogram();
  EXPECT_TRUE(r.displays.Shown().isNull());
  EXPECT_TRUE(r.displays.StripShown().isNull());
  r.settings.WaterFall = 1;
  r.displays.PaintSpectrum();
  EXPECT_TRUE(r.displays.Shown().isNull());
  r.engine.display.DisplayPause = 0;
  for (QSize size : {QSize(0, 150), QSize(800, 0), QSize(0, 0)}) {
    r.box.resize(size);
    r.strip.resize(size.width(), size.height() == 0 ? 0 : 15);
    r.displays.PaintSpectrum();
    r.displays.RepaintOscillogram();
    EXPECT_TRUE(r.displays.Shown().isNull());
  }
  r.box.resize(800, 150);
  r.displays.PaintSpectrum();
  EXPECT_FALSE(r.displays.Shown().isNull());
}

TEST(Displays, AToneAtTheReceiveMarkPeaksUnderItsMarker) {
  for (int zoom = 1; zoom <= 5; ++zoom) {
    Rig r;
    r.displays.SetZoom(zoom);
    // Mark and space of the default RTTY pair; the peak-held trace off, to see the current one.
    r.settings.PeakSpectrumColor = r.settings.FFTBackground;
    r.settings.RxMarkColor = 0x00FF00;  // green
    const double hz = r.engine.params.RxTone[0] * 11025.0 / 32768.0;
    for (int i = 0; i < 4; ++i) r.Tone(hz);
    // Scaled to the top of the display, the shape kept.
    auto& avg = r.engine.rxBlocks.Spectrum.SpectrumAvg;
    const float top = *std::max_element(avg.begin() + 55, avg.begin() + 744);
    ASSERT_GT(top, 0.0f);
    for (float& a : avg) a = a * 1.9f / top;
    r.displays.PaintSpectrum();
    const DisplayGeometry& g = r.displays.Geometry();
    const QImage& shown = r.displays.Shown();
    ASSERT_FALSE(shown.isNull());
    // The highest point of the trace (the marker covers the tone's own column).
    const QColor trace = Rgb(r.settings.CurrSpectrumColor);
    int bestX = -1, bestY = shown.height();
    for (int x = 0; x < shown.width(); ++x) {
      for (int y = 0; y < bestY; ++y) {
        if (shown.pixelColor(x, y) == trace) {
          bestX = x;
          bestY = y;
          break;
        }
      }
    }
    const int markerX = g.BoxToneX(r.engine.params.RxTone[0]);
    EXPECT_LE(std::abs(bestX - markerX), zoom) << "zoom " << zoom;
    EXPECT_EQ(g.scopeSide + g.BinX(r.engine.params.RxToneBin[0]), markerX) << "zoom " << zoom;
    EXPECT_EQ(r.Shown(markerX, 3), Rgb(r.settings.RxMarkColor)) << "zoom " << zoom;
    EXPECT_EQ(r.Shown(g.BoxToneX(r.engine.params.RxTone[1]), 3), Rgb(r.settings.RxMarkColor));
    // The transmit markers: three pixels wide in the bottom quarter only.
    const int txX = g.BoxToneX(r.engine.params.TxTone[0]);
    EXPECT_EQ(r.Shown(txX - 1, 145), Rgb(r.settings.TxMarkColor));
    EXPECT_EQ(r.Shown(txX + 1, 145), Rgb(r.settings.TxMarkColor));
    EXPECT_NE(r.Shown(txX + 1, 50), Rgb(r.settings.TxMarkColor));
    EXPECT_EQ(r.window.panels[5], "1700 Hz");
    EXPECT_EQ(r.window.panels[6], "170 Hz");
    EXPECT_EQ(r.window.panels[2], "1700 Hz");
  }
}

TEST(Displays, DtmfMarksItsEightTonesAndPs33x5ItsBandEdges) {
  Rig r;
  r.settings.RxMarkColor = 0x00FF00;
  r.engine.params.Mode = kModeDtmf;
  r.displays.PaintSpectrum();
  const DisplayGeometry& g = r.displays.Geometry();
  for (int hz : {697, 770, 852, 941, 1209, 1336, 1477, 1633}) {
    EXPECT_EQ(r.Shown(g.BoxToneX(HzToUnits(hz)), 2), QColor(0, 255, 0)) << hz;
  }
  r.engine.params.Mode = kModePs33x5;
  r.displays.PaintSpectrum();
  for (double hz : {r.engine.ps33x5.BandLowerHz(), r.engine.ps33x5.BandUpperHz()}) {
    EXPECT_EQ(r.Shown(g.BoxToneX(HzToUnits(hz)), 2), QColor(0, 255, 0)) << hz;
  }
}

TEST(Displays, TheSquelchLineAndTheAfcMarks) {
  Rig r;
  r.settings.RxMarkColor = 0x00FF00;
  r.engine.rxBlocks.IsSquelch = 1;
  r.engine.rxBlocks.AfcOn = 1;
  r.engine.params.AfcRefBin[0] = 400;
  r.displays.PaintSpectrum();
  const DisplayGeometry& g = r.displays.Geometry();
  const int y = LevelToPixelRow(r.engine.rxBlocks.SquelchLevel, 150, true);
  EXPECT_EQ(r.Shown(10, y), Rgb(r.settings.ThresholdColor));
  const int x = g.BinX(400);
  EXPECT_EQ(r.Shown(x, 149), Rgb(r.settings.RxMarkColor));
  EXPECT_EQ(r.Shown(x, 113), Rgb(r.settings.RxMarkColor));
  EXPECT_NE(r.Shown(x, 100), Rgb(r.settings.RxMarkColor));
}

TEST(Displays, TheScopeSquareNeedsAPskModeAndABoxWideEnough) {
  struct Case {
    int mode, w, h, waterfall, side;
  };
  const Case cases[] = {
      {kModeBpsk31, 800, 150, 0, 92}, {kModeBpsk31, 800, 60, 0, 60},   {kModeBpsk125, 800, 150, 0, 92},
      {kModeBpsk125, 800, 150, 1, 0}, {kModeQpsk31, 800, 150, 1, 92},  {kModeRtty, 800, 150, 0, 0},
      {kModeBpsk31, 130, 100, 0, 0},  {kModeBpsk31, 131, 100, 0, 92}, {kModeBpsk31, 100, 150, 0, 0},
  };
  for (const Case& c : cases) {
    Rig r(c.w, c.h);
    r.engine.params.Mode = c.mode;
    r.settings.WaterFall = c.waterfall;
    r.displays.PaintSpectrum();
    EXPECT_EQ(r.displays.Geometry().scopeSide, c.side) << c.mode << " " << c.w << "x" << c.h;
    EXPECT_EQ(r.displays.Geometry().spectrumWidth, c.w - c.side);
    EXPECT_EQ(r.displays.CirTune().Visible(), c.side != 0);
  }
  Rig r;
  r.engine.params.Mode = kModeBpsk31;
  r.settings.PhaseShow = 0;
  r.window.panels[6] = "old";
  r.engine.params.RxTone[0] = r.engine.params.RxTone[1] = 5052;  // one tone: no shift shown
  r.displays.PaintSpectrum();
  EXPECT_EQ(r.displays.Geometry().scopeSide, 0);
  EXPECT_EQ(r.window.panels[5], "1700 Hz");
  EXPECT_EQ(r.window.panels[6], "");
}

TEST(Displays, TheWaterfallScrollsEveryLineOnceNewestFirst) {
  for (int zoom = 1; zoom <= 5; ++zoom) {
    constexpr int kHeight = 20;
    Rig r(600, kHeight);
    r.settings.WaterFall = 1;
    r.displays.SetZoom(zoom);
    r.settings.Waterfall.RxMarkColor = 0x0000FF;
    // Lines of one level each, all different.
    std::vector<int> entries;
    for (int i = 0; i < kHeight + 2; ++i) {
      const float level = float(2.0 * std::pow(0.7, i));
      r.engine.rxBlocks.Spectrum.SpectrumAvg.fill(level);
      r.displays.PaintSpectrum();
      entries.push_back(r.displays.Palette().EntryOf(level));
    }
    ASSERT_EQ(std::set<int>(entries.begin(), entries.end()).size(), entries.size());
    const DisplayGeometry& g = r.displays.Geometry();
    const int x = 590;  // on the line at every zoom, away from the markers
    ASSERT_LT(x, g.BinX(743));
    for (int y = 0; y < kHeight; ++y) {
      const TRgb c = r.displays.Palette().Rgb(entries[size_t(kHeight + 1 - y)]);
      EXPECT_EQ(r.Shown(x, y), QColor(c.r, c.g, c.b)) << "zoom " << zoom << " row " << y;
    }
    // The receive markers stand over the picture and never enter the history.
    const int markerX = g.BoxToneX(r.engine.params.RxTone[0]);
    EXPECT_EQ(r.Shown(markerX, 5), Rgb(r.settings.Waterfall.RxMarkColor));
    r.settings.Waterfall.RxMarkColor = 0x00FF00;
    r.displays.PaintSpectrum();
    EXPECT_EQ(r.Shown(markerX, 5), Rgb(0x00FF00));
    EXPECT_EQ(r.Shown(markerX + 3, 5), r.Shown(markerX - 3, 5));
  }
}

TEST(Displays, TheWaterfallWritesOnlyInsideItsImage) {
  // Run in the AddressSanitizer build: any write past a row or the image is reported.
  for (int zoom = 1; zoom <= 5; ++zoom) {
    for (int width : {200, 4000}) {
      for (int centre : {56, 742}) {
        Rig r(width, 30);
        r.settings.WaterFall = 1;
        r.displays.SetZoom(zoom);
        r.engine.params.FFTCenterFreq = centre;
        r.engine.rxBlocks.Spectrum.SpectrumAvg.fill(0.3f);
        for (int i = 0; i < 70; ++i) r.displays.PaintSpectrum();
        EXPECT_EQ(r.displays.Shown().width(), width);
        EXPECT_GE(r.displays.WaterfallRow(), 0);
        EXPECT_LT(r.displays.WaterfallRow(), 30);
      }
    }
  }
}

TEST(Displays, TheScaleMarksThousandsWithLongTicksAndLabels) {
  Rig r;
  r.displays.PaintSpectrum();
  const QImage& scale = r.displays.ScaleShown();
  ASSERT_EQ(scale.size(), QSize(800, 14));
  const auto dark = [&](int x, int y) { return qGray(scale.pixel(x, y)) < 100; };
  // At zoom 1 the 1000 Hz tick is at column 269 and 17 pixels long (the whole 14-pixel scale).
  for (int y = 0; y < 14; ++y) EXPECT_TRUE(dark(269, y)) << y;
  int ink = 0;
  for (int x = 271; x < 295; ++x)
    for (int y = 5; y < 14; ++y) ink += dark(x, y);
  EXPECT_GT(ink, 10);  // "1000"
  // 1100 Hz: 5 pixels, no label.
  const int x1100 = int(std::floor((1100 * 2048.0 / 11025.0 - 55) + r.displays.Geometry().Origin() + 0.5)) - 1;
  EXPECT_TRUE(dark(x1100, 4));
  EXPECT_FALSE(dark(x1100, 5));
  // Nothing but ticks between 1900 Hz and 2000 Hz (the label of 1000 reaches past 1100).
  const int x1900 = x1100 + int(std::lround(800 * 2048.0 / 11025.0));
  EXPECT_TRUE(dark(x1900, 4));
  ink = 0;
  for (int x = x1900 + 1; x < x1900 + 17; ++x)
    for (int y = 0; y < 14; ++y) ink += dark(x, y);
  EXPECT_EQ(ink, 0);
}

TEST(Displays, TheStripTracesTheLevelRing) {
  Rig r;
  r.settings.LogarithmicOscillogram = 1;
  r.displays.RepaintOscillogram();
  const QImage& strip = r.displays.StripShown();
  ASSERT_EQ(strip.size(), QSize(800, 15));
  const QColor signal = Rgb(r.settings.SignalColor);
  // Zeros: a flat trace on the centre line (the centre line is drawn over it from x = 1).
  for (int x = 1; x < 799; ++x) EXPECT_EQ(strip.pixelColor(x, 7), Rgb(r.settings.ThresholdColor)) << x;
  EXPECT_EQ(strip.pixelColor(0, 7), signal);
  for (int y : {6, 8}) EXPECT_NE(strip.pixelColor(0, y), signal);
  // The strongest negative level lands on the bottom row, the strongest positive on the top.
  r.engine.levels.Write(r.engine.params.LevelRingIndex, 2.0);
  r.engine.levels.Write(r.engine.params.LevelRingIndex, -2.0);
  r.displays.RepaintOscillogram();
  EXPECT_EQ(strip.pixelColor(798, 14), signal);
  EXPECT_EQ(strip.pixelColor(797, 0), signal);
}

TEST(Displays, AWideStripDrawsNoLevelTwice) {
  Rig r(3000, 150);
  r.settings.LogarithmicOscillogram = 0;
  for (uint32_t i = 0; i < LevelRing::kSize; ++i) r.engine.levels.Write(r.engine.params.LevelRingIndex, 1.0);
  r.displays.RepaintOscillogram();
  const QImage& strip = r.displays.StripShown();
  const QColor signal = Rgb(r.settings.SignalColor);
  // The ring's 2048 levels fill the right end; left of them only the background and the centre line.
  for (int x = 0; x < 3000 - 1 - 2048; ++x) EXPECT_NE(strip.pixelColor(x, 0), signal) << x;
  for (int x = 3000 - 1 - 2048; x < 2999; ++x) EXPECT_EQ(strip.pixelColor(x, 0), signal) << x;
}

TEST(Displays, ScopeVectorsOfAnyLengthReachOneRadius) {
  WaterfallPalette palette;
  BuildWaterfallPalette(TWaterfallSettings{}, palette);
  TCirTune scope;
  scope.SetLook(&palette, Qt::white);
  scope.SetSize(92, 150);
  const QImage empty = scope.Image();
  EXPECT_FALSE(scope.DrawVector(0.0, 0.0));
  EXPECT_FALSE(scope.DrawVector(NAN, 1.0));
  EXPECT_EQ(scope.Image(), empty);
  std::vector<QColor> ends;
  for (double m : {0.002, 0.05, 2.0}) {
    scope.SetSize(92, 150);
    ASSERT_TRUE(scope.DrawVector(0.0, m));  // straight right: to (46 + 40, 75)
    ends.push_back(scope.Image().pixelColor(86, 75));
    EXPECT_EQ(scope.Image().pixelColor(87, 75), empty.pixelColor(87, 75));
  }
  EXPECT_NE(ends[0], ends[1]);
  EXPECT_NE(ends[1], ends[2]);
  // Wider than high: hidden, draws nothing.
  scope.SetSize(100, 60);
  EXPECT_FALSE(scope.Visible());
  EXPECT_FALSE(scope.DrawVector(1.0, 0.0));
}

TEST(Displays, PskDecisionsReachTheBoxAtMostEvery50Ms) {
  Rig r;
  r.engine.params.Mode = kModeBpsk31;
  r.displays.PaintSpectrum();
  ASSERT_TRUE(r.displays.CirTune().Visible());
  const QColor background = r.Shown(46 + 40, 75);
  TPskDecoder& psk = r.engine.psk;
  psk.Enabled = 1;
  auto decide = [&](double i, double q) {
    psk.Scope[psk.Decisions & TPskDecoder::kScopeMask] = {i, q};
    ++psk.Decisions;
  };
  decide(0.0, 1.0);
  r.displays.DrawScopeVectors();
  EXPECT_NE(r.Shown(86, 75), background);  // copied to the box
  decide(1.0, 0.0);  // straight up: to (46, 35)
  r.clock.nowMs += 20;
  r.displays.DrawScopeVectors();
  EXPECT_EQ(r.Shown(46, 35), background);  // too soon
  r.clock.nowMs += 40;
  decide(0.0, -1.0);
  r.displays.DrawScopeVectors();
  EXPECT_NE(r.Shown(46, 35), background);  // both since the last copy
  EXPECT_NE(r.Shown(6, 75), background);
}

TEST(Displays, ClicksOnTheStripAndTheScale) {
  Rig r;
  r.displays.PaintSpectrum();
  r.engine.display.DisplayPause = 400;
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(&r.strip, &release);
  EXPECT_EQ(r.engine.display.DisplayPause, 0);
  QWidget* scaleImage = r.scale.findChild<QWidget*>(QStringLiteral("ScaleImage"));
  ASSERT_NE(scaleImage, nullptr);
  EXPECT_EQ(scaleImage->size(), r.scale.size());
  QApplication::sendEvent(scaleImage, &release);
  EXPECT_EQ(r.scaleClicks, 1);
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

// The window with its own displays, shown at 900 x 700 and started.
struct ShownWindow {
  ShownWindow(const char* name, WaveBackend* backend)
      : f(parts, test::UniqueSemaphoreName(name), {}, nullptr, false, backend,
          [](TRxFormDeps& d) { d.display = nullptr; }),
        w(*f.form) {
    w.resize(900, 700);
    w.show();
    f.Ticks(30);
  }
  test::RecordingFormParts parts;
  test::Form f;
  TRxForm& w;
};

TEST(DisplaysInTheWindow, TheSpectrumBoxShowsTheBandWithItsMarkersAndTheStripFollowsOscShow) {
  ShownWindow window("displays", nullptr);
  TRxForm& w = window.w;
  ASSERT_TRUE(w.EngineStarted);
  w.display().SetZoom(2);
  ASSERT_NE(w.MenuItem("2:1 (Alt-2)"), nullptr);
  EXPECT_TRUE(w.MenuItem("2:1 (Alt-2)")->isChecked());
  EXPECT_FALSE(w.MenuItem("1:1 (Alt-1)")->isChecked());
  w.settings().RxMarkColor = 0x00FF00;
  w.Dispatch(WM_SPECTRUM_READY);
  const QImage shown = w.FFTBox->grab().toImage();
  ASSERT_EQ(shown.size(), w.FFTBox->size());
  DisplayGeometry g;
  g.zoom = 2;
  g.spectrumWidth = w.FFTBox->width();
  EXPECT_EQ(w.display().DisplayOrigin(), g.DisplayOrigin());
  const int x = g.BoxToneX(w.engine().params.RxTone[0]);
  EXPECT_EQ(shown.pixelColor(x, 2), QColor(0, 255, 0));
  // A click at the marker's column is at its tone.
  EXPECT_LE(std::abs(g.UnitsAtBoxX(x) - w.engine().params.RxTone[0]), 8);
  // The frequency scale fills the panel under the box.
  auto* scale = w.ScalePanel->findChild<QWidget*>(QStringLiteral("ScaleImage"));
  ASSERT_NE(scale, nullptr);
  EXPECT_EQ(scale->width(), w.ScalePanel->width());
  // The oscillogram strip: 15 pixels across the window, one pixel while hidden.
  EXPECT_EQ(w.PaintBox1->maximumHeight(), 15);
  EXPECT_GT(w.PaintBox1->width(), w.FFTBox->width());
  w.ShowOscillogram(false);
  EXPECT_EQ(w.PaintBox1->maximumHeight(), 1);
  EXPECT_EQ(w.settings().OscShow, 0);
  w.ShowOscillogram(true);
  EXPECT_EQ(w.PaintBox1->maximumHeight(), 15);
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

// A new spectrum is drawn unless the window lags three or more capture buffers behind the
// card; a file decoded in real time is drawn whatever waits.
TEST(DisplaysInTheWindow, TheSpectrumIsSkippedOnlyWhileLiveAudioLags) {
  FakeWaveBackend backend;
  ShownWindow window("lag", &backend);
  TRxForm& w = window.w;
  ASSERT_TRUE(w.EngineStarted);
  auto& driver = dynamic_cast<TEngineDriver&>(w.engineDriver());
  TEngine& e = w.engine();
  DisplayGeometry g;
  g.spectrumWidth = w.FFTBox->width();
  const int x = g.BoxToneX(e.params.RxTone[0]);
  const struct {
    uint32_t waiting;
    int feedMode;
    bool drawn;
  } cases[] = {{2, 0, true}, {3, 0, false}, {3, 1, true}, {8, 1, true}, {8, 2, false}};
  int32_t colour = 0x00FF00;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.waiting << " waiting, feed mode " << c.feedMode);
    colour ^= 0x0000FF;  // a marker colour of its own for each case
    w.settings().RxMarkColor = colour;
    driver.soundDevices().capture.full = c.waiting;
    e.rxBlocks.FeedMode = c.feedMode;
    w.Dispatch(WM_SPECTRUM_READY);
    driver.soundDevices().capture.full = 0;
    e.rxBlocks.FeedMode = 0;
    const QColor shown = w.FFTBox->grab().toImage().pixelColor(x, 2);
    EXPECT_EQ(shown == Rgb(colour), c.drawn) << shown.name().toStdString();
  }
  w.ShutdownEngine();
}

}  // namespace
}  // namespace vestrel
