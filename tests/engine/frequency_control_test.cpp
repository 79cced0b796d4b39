// ctest-labels: unit
#include "engine/frequency_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"
#include "support/psk_signal.h"

namespace vestrel {
namespace {

class FrequencyControlTest : public ::testing::Test {
 protected:
  void SetUp() override { engine.Start(); }

  void Mode(int mode, double baud = 45.0, int shift = 170) {
    p.Baud = baud;
    p.ShiftHz = shift;
    p.RttySpeed = static_cast<int32_t>(baud);
    engine.modeSwitch.SetMode(mode);
    if (ModeRowOf(mode).speedMenu) {
      engine.modeSwitch.SetBaudRate(baud);
      engine.modeSwitch.SetShift(shift);
    }
  }
  // The peak spectrum: zero but at the given bins.
  void Peaks(std::initializer_list<std::pair<int, float>> bins) {
    engine.rxBlocks.Spectrum.SpectrumPeak.fill(0.0f);
    for (auto [k, v] : bins) engine.rxBlocks.Spectrum.SpectrumPeak[k] = v;
  }
  // A tone's hump in the peak spectrum: a triangle of half-width hw bins around bin c, as wide
  // as a keyed tone's spectrum (wider than the half signal width W the FSK passes sum over).
  void Hump(int c, int hw, float h = 1.0f) {
    for (int d = -hw; d <= hw; ++d)
      engine.rxBlocks.Spectrum.SpectrumPeak[c + d] += h * static_cast<float>(hw + 1 - std::abs(d)) / (hw + 1);
  }
  void Clear() { engine.rxBlocks.Spectrum.SpectrumPeak.fill(0.0f); }
  void Limits(int localHz, int globalHz) {
    f.LocalDeviationHz = localHz;
    f.GlobalDeviationHz = globalHz;
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TEngine engine{window, sink};
  TModemParams& p = engine.params;
  TFrequencyControl& f = engine.freq;
};

// The PSK pass finds the two sidebands of the idle signal, s = round(baud x 2048/11025) bins
// apart, and puts the tone between them, within a bin of the carrier, in the receiver too.
TEST_F(FrequencyControlTest, PskPassCentresBetweenTheSidebandsAtEverySpeed) {
  struct Case {
    int mode;
    int s;
  };
  for (const Case& c : {Case{kModeBpsk31, 6}, Case{kModeBpsk63, 12}, Case{kModeBpsk125, 23}, Case{kModeQpsk31, 6}}) {
    SCOPED_TRACE(c.mode);
    Mode(c.mode);
    f.SetRxPosition(300 * 16);
    const int carrier = 304;
    Peaks({{carrier - c.s / 2, 1.0f}, {carrier - c.s / 2 + c.s, 1.0f}});
    ASSERT_TRUE(f.AfcTunePsk());
    EXPECT_NEAR(p.RxTone[0], carrier * 16, 16);
    EXPECT_EQ(p.RxTone[0], p.RxTone[1]);
    EXPECT_EQ(p.RxToneBin[0], UnitsToBin(p.RxTone[0]));
    EXPECT_EQ(engine.psk.Step(), p.RxTone[0]);
    EXPECT_EQ(p.AfcRefBin[0], 300);  // the AFC never moves the reference
  }
}

// Every pass gives up without change when its window is empty (the local window around the
// tones and the global one around the reference do not meet), when the squelch test fails,
// and when there is nothing in the spectrum at all.
TEST_F(FrequencyControlTest, PassesGiveUpOnEmptyWindowsSquelchAndSilence) {
  struct Case {
    int mode;
    double baud;
    int shift;
    AfcPass pass;
  };
  const Case cases[] = {
      {kModeBpsk31, 45, 170, AfcPass::kPsk},       {kModeRtty, 100, 170, AfcPass::kFsk},
      {kModeRtty, 45, 170, AfcPass::kFskSeparate}, {kModeMfsk16, 45, 170, AfcPass::kMfsk},
      {kModePs33x5, 6.25, 170, AfcPass::kPs33x5},
  };
  auto run = [this](AfcPass pass) {
    switch (pass) {
      case AfcPass::kPsk: return f.AfcTunePsk();
      case AfcPass::kFsk: return f.AfcTuneFsk();
      case AfcPass::kFskSeparate: return f.AfcTuneFskSeparate();
      case AfcPass::kMfsk: return f.AfcTuneMfsk();
      case AfcPass::kPs33x5: return f.AfcTunePs33x5();
      default: return false;
    }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Mode(c.mode, c.baud, c.shift);
    f.SetRxPosition(300 * 16);
    const int lo = p.RxToneBin[0];
    const int hi = p.RxToneBin[1];
    const TModemParams before = p;
    auto unchanged = [&] {
      EXPECT_EQ(p.RxTone[0], before.RxTone[0]);
      EXPECT_EQ(p.RxTone[1], before.RxTone[1]);
      EXPECT_EQ(p.RxToneBin[0], before.RxToneBin[0]);
      EXPECT_EQ(p.AfcRefBin[0], before.AfcRefBin[0]);
    };
    // A signal 4 bins up, everywhere on its tones' bins and around.
    std::vector<std::pair<int, float>> signal;
    engine.rxBlocks.Spectrum.SpectrumPeak.fill(0.0f);
    for (int k = lo + 1; k <= hi + 8; ++k) engine.rxBlocks.Spectrum.SpectrumPeak[k] = 0.01f + (k == lo + 4) * 0.5f;

    // Windows that do not meet: deviations and reference positions.
    const int refs[] = {lo + 100, lo - 100};
    for (int ref : refs) {
      p.AfcRefBin[0] = ref;
      p.AfcRefBin[1] = ref + (hi - lo);
      Limits(20, 50);
      EXPECT_FALSE(run(c.pass));
      EXPECT_EQ(p.RxTone[0], before.RxTone[0]);
      EXPECT_EQ(p.AfcRefBin[0], ref);
    }
    p.AfcRefBin[0] = before.AfcRefBin[0];
    p.AfcRefBin[1] = before.AfcRefBin[1];
    Limits(0, 0);  // both windows the present position alone: nothing to gain
    run(c.pass);
    EXPECT_NEAR(p.RxTone[0], before.RxTone[0], 16);
    p = before;

    // Squelch on, level above everything.
    Limits(50, 300);
    engine.rxBlocks.IsSquelch = 1;
    engine.rxBlocks.SquelchLevel = 1.0;
    EXPECT_FALSE(run(c.pass));
    unchanged();
    engine.rxBlocks.IsSquelch = 0;

    // An empty spectrum: weight sum 0.
    engine.rxBlocks.Spectrum.SpectrumPeak.fill(0.0f);
    EXPECT_FALSE(run(c.pass));
    unchanged();
  }
}

// The FSK pass moves the pair together, at most the local deviation per pass and never
// further than the global deviation from the reference.
TEST_F(FrequencyControlTest, FskPassClampsToLocalThenGlobalWindow) {
  Mode(kModeRtty, 100, 170);
  f.SetRxPosition(5052);
  const int lo = p.RxToneBin[0], S = p.RxShiftBin;
  const int32_t lower0 = p.RxTone[0];
  // A signal 7 bins up: within reach of 50 Hz (9 bins), and found.
  Clear();
  Hump(lo + 7, 11);
  Hump(lo + 7 + S, 11);
  Limits(50, 300);
  ASSERT_TRUE(f.AfcTuneFsk());
  EXPECT_NEAR(p.RxTone[0], (lo + 7) * 16, 8);
  EXPECT_EQ(p.RxTone[1] - p.RxTone[0], p.RxShift);
  EXPECT_EQ(p.AfcRefBin[0], lo);
  // Local: 10 Hz (2 bins) a pass.
  f.SetRxPosition(5052);
  Limits(10, 300);
  Clear();
  Hump(lo + 4, 11);
  Hump(lo + 4 + S, 11);
  ASSERT_TRUE(f.AfcTuneFsk());
  EXPECT_EQ(p.RxTone[0], lower0 + 2 * 16);
  // Global: 10 Hz from the reference, whatever the local deviation allows.
  f.SetRxPosition(5052);
  Limits(100, 10);
  Clear();
  Hump(lo + 12, 11);
  Hump(lo + 12 + S, 11);
  for (int n = 0; n < 6; ++n) f.AfcTuneFsk();
  EXPECT_EQ(p.RxTone[0], (p.AfcRefBin[0] + 2) * 16);
  EXPECT_EQ(p.AfcRefBin[0], lo);
}

// The separate pass follows each tone alone: the shift may drift, within 2S/3..4S/3.
TEST_F(FrequencyControlTest, SeparatePassLetsTheShiftDriftWithinLimits) {
  Mode(kModeRtty, 45, 170);
  f.SetRxPosition(5052);
  const int lo = p.RxToneBin[0], hi = p.RxToneBin[1], S = p.RxShiftBin;
  Limits(50, 300);
  Clear();
  Hump(lo + 1, 7);
  Hump(hi + 4, 7);
  ASSERT_TRUE(f.AfcTuneFskSeparate());
  f.AfcTuneFskSeparate();
  EXPECT_NEAR(p.RxTone[0], (lo + 1) * 16, 8);
  EXPECT_NEAR(p.RxTone[1], (hi + 4) * 16, 8);
  EXPECT_EQ(p.AfcRefBin[1], hi);
  // An upper tone far beyond 4S/3 is not followed past it.
  f.SetRxPosition(5052);
  Limits(100, 300);
  Clear();
  Hump(lo, 7);
  Hump(lo + 46, 7);
  for (int n = 0; n < 6; ++n) f.AfcTuneFskSeparate();
  const int shift = p.RxToneBin[1] - p.RxToneBin[0];
  EXPECT_GT(shift, S);
  EXPECT_LE(shift, 4 * S / 3 + 1);
}

// MFSK: the spectrum only captures. One pass on a band three bins above the tones leaves them
// while the receiver has heard nothing; the six passes of a click take the band's centroid
// once five passes in a row have found it clear of the noise beside it.
TEST_F(FrequencyControlTest, MfskSpectrumCapturesOnlyAClearBandAfterAClick) {
  Mode(kModeMfsk16);
  Limits(50, 300);
  const int lo = p.RxToneBin[0];
  const int32_t before = p.RxTone[0];
  const int b = lo + 3;
  auto& P = engine.rxBlocks.Spectrum.SpectrumPeak;
  P.fill(0.0f);
  for (int k = 0; k < 16; ++k) P[b + HzToBins(k * 15.625)] = 1.0f;
  engine.rxBlocks.Spectrum.SpectrumAvg = P;  // the band sounds in this block too
  EXPECT_FALSE(f.AfcTuneMfsk());
  EXPECT_EQ(p.RxTone[0], before);
  f.AfterClick(true, false);
  EXPECT_NEAR(p.RxTone[0], 16 * b, 4);
  EXPECT_EQ(engine.mfsk.FirstStep(), p.RxTone[0]);
  EXPECT_EQ(p.AfcRefBin[0], lo);
  // Noise as strong beside the band as in it: nothing to capture.
  Mode(kModeMfsk16);
  const int32_t still = p.RxTone[0];
  P.fill(0.5f);
  for (int k = 0; k < 16; ++k) P[p.RxToneBin[0] + 3 + HzToBins(k * 15.625)] = 0.6f;
  engine.rxBlocks.Spectrum.SpectrumAvg = P;
  f.AfterClick(true, false);
  EXPECT_EQ(p.RxTone[0], still);
}

// PS33X5: the lower edge stays within 65..733 - S however wide the deviations.
TEST_F(FrequencyControlTest, Ps33x5PassClampsTheLowerEdge) {
  Mode(kModePs33x5, 6.25);
  Limits(4000, 4000);
  const int S = p.RxShiftBin;
  f.SetRxPosition(120 * 16 + p.RxShift / 2);
  engine.rxBlocks.Spectrum.SpectrumPeak.fill(0.0f);
  for (int k = 40; k < 40 + S; ++k) engine.rxBlocks.Spectrum.SpectrumPeak[k] = 1.0f;
  for (int n = 0; n < 6; ++n) f.AfcTunePs33x5();
  EXPECT_NEAR(p.RxToneBin[0], 65, 1);
  f.SetRxPosition(700 * 16);
  engine.rxBlocks.Spectrum.SpectrumPeak.fill(0.0f);
  for (int k = 720; k < 743; ++k) engine.rxBlocks.Spectrum.SpectrumPeak[k] = 1.0f;
  for (int n = 0; n < 6; ++n) f.AfcTunePs33x5();
  EXPECT_LE(p.RxToneBin[0], 733 - S + 1);
  EXPECT_NEAR(engine.ps33x5.CentreHz(), UnitsToHz((p.RxTone[0] + p.RxTone[1]) / 2), 1.0);
}

// Manual moves keep the whole pair in the band; the reference follows them.
TEST_F(FrequencyControlTest, ClicksKeepTheFullShiftInsideTheBand) {
  Mode(kModeRtty, 45, 850);
  for (int32_t position : {0, 900, 1200, 11000, 11856, 20000}) {
    SCOPED_TRACE(position);
    f.SetRxPosition(position);
    EXPECT_GE(p.RxTone[0], kMinToneUnits);
    EXPECT_LE(p.RxTone[1], kMaxToneUnits);
    EXPECT_EQ(p.RxTone[1] - p.RxTone[0], p.RxShift / 2 * 2);
    EXPECT_EQ(p.AfcRefBin[0], p.RxToneBin[0]);
    EXPECT_EQ(p.AfcRefBin[1], p.RxToneBin[1]);
  }
}

TEST_F(FrequencyControlTest, ShiftRxRefusesInFskClampsInPskAndMfsk) {
  Mode(kModeRtty, 45, 170);
  f.SetRxPosition(11856);
  const TModemParams before = p;
  f.ShiftRxFrequency(3);
  EXPECT_EQ(p.RxTone[0], before.RxTone[0]);
  EXPECT_EQ(p.RxTone[1], before.RxTone[1]);
  f.ShiftRxFrequency(-16);
  EXPECT_EQ(p.RxTone[0], before.RxTone[0] - 16);
  EXPECT_EQ(p.AfcRefBin[0], p.RxToneBin[0]);

  Mode(kModeBpsk31);
  f.SetRxPosition(11850);
  f.ShiftRxFrequency(16);
  EXPECT_EQ(p.RxTone[0], kMaxToneUnits);
  EXPECT_EQ(engine.psk.Step(), kMaxToneUnits);

  Mode(kModeMfsk16);
  f.SetRxPosition(11000);
  f.ShiftRxFrequency(2000);
  EXPECT_LE(p.RxTone[1], kMaxToneUnits + 16);
  EXPECT_EQ(engine.mfsk.FirstStep(), p.RxTone[0]);
  // With AFC on the reference stays.
  const int32_t ref = p.AfcRefBin[0];
  engine.rxBlocks.AfcOn = 1;
  f.ShiftRxFrequency(-100);
  EXPECT_EQ(p.AfcRefBin[0], ref);
}

TEST_F(FrequencyControlTest, MfskReverseTakesTheClickAsTheUpperEdge) {
  Mode(kModeMfsk16);
  p.Reverse = 1;
  f.SetRxPosition(6000);
  EXPECT_EQ(p.RxTone[0], PlanMfskTones(6000 - p.RxShift, 16, 15.625, kRxRate).firstStep);
  EXPECT_NEAR(p.RxTone[1], 6000, 2);
  f.SetRxPosition(100);  // the upper edge at least 912 + span
  EXPECT_GE(p.RxTone[0], kMinToneUnits - 1);
}

// With TxAFC off only the receive pair moves; on, the transmit pair follows at the output rate
// unless a transmission runs; ShiftTxFrequency does nothing while transmitting or with TxAFC.
TEST_F(FrequencyControlTest, TransmitPairFollowsOnlyWithTxAfc) {
  engine.rates.OutSamplingFreq = 48000.0;
  Mode(kModeBpsk31);
  const int32_t tx0 = p.TxTone[0];
  f.SetRxPosition(4000);
  f.SyncTxFrequencyToRx();
  EXPECT_EQ(p.TxTone[0], tx0);
  f.TxAfc = 1;
  f.SyncTxFrequencyToRx();
  EXPECT_EQ(p.TxTone[0], RoundToInt32(11025.0 / 48000.0 * 4000));
  EXPECT_EQ(p.TxTone[1], p.TxTone[0]);
  f.ShiftTxFrequency(16);
  EXPECT_EQ(p.TxTone[0], RoundToInt32(11025.0 / 48000.0 * 4000));
  engine.tx.TxState = 2;
  f.SetRxPosition(5000);
  f.SyncTxFrequencyToRx();
  EXPECT_EQ(p.TxTone[0], RoundToInt32(11025.0 / 48000.0 * 4000));
  f.TxAfc = 0;
  f.ShiftTxFrequency(16);
  EXPECT_EQ(p.TxTone[0], RoundToInt32(11025.0 / 48000.0 * 4000));
  engine.tx.TxState = 0;
  f.ShiftTxFrequency(16);
  EXPECT_EQ(p.TxTone[0], RoundToInt32(11025.0 / 48000.0 * 4000) + 16);

  // A pair follows at its centre with the transmit shift.
  Mode(kModeRtty, 45, 170);
  f.TxAfc = 1;
  f.SetRxPosition(6000);
  f.SyncTxFrequencyToRx();
  EXPECT_EQ(p.TxTone[0] + p.TxTone[1], 2 * RoundToInt32(11025.0 / 48000.0 * 6000.0));
  EXPECT_EQ(p.TxTone[1] - p.TxTone[0], p.TxShift / 2 * 2);
}

// A click runs the mode's AFC six times (each here at most a bin), none with Ctrl.
TEST_F(FrequencyControlTest, SixPassesAfterAClickNoneWithCtrl) {
  Mode(kModeRtty, 100, 170);
  f.SetRxPosition(5052);
  const int lo = p.RxToneBin[0], S = p.RxShiftBin;
  const int32_t start = p.RxTone[0];
  Limits(5, 300);  // one bin a pass
  Clear();
  Hump(lo + 10, 11);
  Hump(lo + 10 + S, 11);
  f.AfterClick(true, true);
  EXPECT_EQ(p.RxTone[0], start);
  f.AfterClick(false, false);  // on the scale
  EXPECT_EQ(p.RxTone[0], start);
  f.AfcAtClick = 0;
  f.AfterClick(true, false);
  EXPECT_EQ(p.RxTone[0], start);
  f.AfcAtClick = 1;
  f.AfterClick(true, false);
  EXPECT_EQ(p.RxTone[0], start + 6 * 16);
}

// Absolute frequencies from outside: NaN, negative and huge values clamp like any position.
TEST_F(FrequencyControlTest, AbsoluteFrequenciesClamp) {
  Mode(kModeBpsk31);
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double hz;
    int32_t tone;
  };
  for (const Case& c : {Case{1000.0, HzToUnits(1000.0)}, Case{std::nan(""), kMinToneUnits}, Case{-50.0, kMinToneUnits},
                        Case{1e300, kMaxToneUnits}, Case{inf, kMaxToneUnits}, Case{-inf, kMinToneUnits}}) {
    SCOPED_TRACE(c.hz);
    f.SetRxFrequency(c.hz);
    EXPECT_EQ(p.RxTone[0], c.tone);
    EXPECT_EQ(p.AfcRefBin[0], p.RxToneBin[0]);
    f.SetTxFrequency(c.hz);
    EXPECT_EQ(p.TxTone[0], c.tone);
  }
}

// The AFC button's pass is the mode's own: in BPSK31 and MFSK16 the receiver moves with the
// slots; DTMF has none.
TEST_F(FrequencyControlTest, ModePassMovesTheReceiverInUse) {
  Mode(kModeBpsk31);
  f.SetRxPosition(300 * 16);
  Peaks({{301, 1.0f}, {307, 1.0f}});
  EXPECT_TRUE(f.RunModePass());
  EXPECT_NE(p.RxTone[0], 300 * 16);
  EXPECT_EQ(engine.psk.Step(), p.RxTone[0]);

  Mode(kModeMfsk16);
  const int b = p.RxToneBin[0] + 3;
  engine.rxBlocks.Spectrum.SpectrumPeak.fill(0.0f);
  for (int k = 0; k < 16; ++k) engine.rxBlocks.Spectrum.SpectrumPeak[b + HzToBins(k * 15.625)] = 1.0f;
  engine.rxBlocks.Spectrum.SpectrumAvg = engine.rxBlocks.Spectrum.SpectrumPeak;
  f.AfterClick(true, false);  // the spectrum captures on a click
  EXPECT_EQ(p.RxToneBin[0], b);
  EXPECT_EQ(engine.mfsk.FirstStep(), p.RxTone[0]);

  Mode(kModeDtmf);
  EXPECT_FALSE(f.RunModePass());
}

// Pixels and positions: the display's centre bin in the middle, 1/Zoom bin a pixel; the drag
// moves the centre by whole bins within 56..742.
TEST(SpectrumScaleTest, PixelsAndDrag) {
  const SpectrumScale s = SpectrumScale::Of(600, 316, 1);
  EXPECT_EQ(s.PositionAt(300), 316 * 16);
  EXPECT_EQ(s.PixelOf(316 * 16), 300);
  const SpectrumScale z = SpectrumScale::Of(600, 316, 4);
  EXPECT_EQ(z.PositionAt(304), 317 * 16);
  EXPECT_EQ(z.PixelOf(z.PositionAt(123)), 123);
  EXPECT_EQ(SpectrumScale::Of(600, 316, 0).zoom, 1);

  TModemParams p;
  p.Zoom = 2;
  int start = 100;
  EXPECT_TRUE(DragSpectrumCentre(p, start, 120));
  EXPECT_EQ(p.FFTCenterFreq, 306);
  EXPECT_EQ(start, 120);
  p.FFTCenterFreq = 60;
  EXPECT_FALSE(DragSpectrumCentre(p, start, 140));
  EXPECT_EQ(p.FFTCenterFreq, 60);
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

// Round trips: a signal sent 20-40 Hz off the receive tones is pulled in by the AFC of its
// mode, decoded, and the tones end within a bin of it; never further than the global deviation.
// The PSK pass holds the carrier while text is sent (the spectrum then a hump around a strong
// carrier line), not only on the idle's two sidebands.
class AfcRoundTripTest : public FrequencyControlTest {
 protected:
  template <class Sample>
  void Receive(const std::vector<Sample>& x) {
    engine.rxBlocks.AfcOn = 1;
    engine.rxBlocks.PushCaptured(std::span<const Sample>(x));
    const std::vector<Sample> tail(4 * 2048, Sample{});
    engine.rxBlocks.PushCaptured(std::span<const Sample>(tail));
  }
};

const char kPskText[] = "  the quick brown fox jumps over the lazy dog 0123456789  ";

TEST_F(AfcRoundTripTest, PskFollowsAnOffsetSignal) {
  struct Case {
    int mode;
    double baud;
    bool qpsk;
    double offsetHz;
  };
  for (const Case& c : {Case{kModeBpsk31, 31.25, false, 25.0}, Case{kModeBpsk63, 62.5, false, -30.0},
                        Case{kModeBpsk125, 125.0, false, 40.0}, Case{kModeQpsk31, 31.25, true, 20.0}}) {
    SCOPED_TRACE(c.mode);
    sink.text.clear();
    Mode(c.mode);
    f.SetRxFrequency(1000.0);
    test::PskSignalOptions o;
    o.baud = c.baud;
    o.qpsk = c.qpsk;
    o.toneHz = 1000.0 + c.offsetHz;
    o.noiseRms = 300.0;
    o.leadSymbols = static_cast<int>(c.baud * 2);  // two seconds of idle to pull in on
    Receive(test::MakePskSignal(kPskText, o));
    // The noise before and after the signal prints its characters too (no squelch here).
    EXPECT_NE(sink.text.find("the quick brown fox jumps over the lazy dog 0123456789"), std::string::npos)
        << sink.text;
    EXPECT_NEAR(UnitsToHz(p.RxTone[0]), o.toneHz, 5.4);
    EXPECT_EQ(p.AfcRefBin[0], HzToBins(1000.0));
  }
}

TEST_F(AfcRoundTripTest, RttyFollowsAnOffsetSignal) {
  struct Case {
    double baud;
    double offsetHz;
  };
  const std::string text = "RYRYRY THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789\r\n";
  for (const Case& c : {Case{45.0, 30.0}, Case{100.0, -35.0}}) {
    SCOPED_TRACE(c.baud);
    sink.text.clear();
    Mode(kModeRtty, c.baud, 170);
    f.SetRxFrequency(1700.0);
    test::FskSignalOptions o;
    o.baud = c.baud == 45.0 ? 45.45 : c.baud;
    o.offsetHz = c.offsetHz;
    o.noiseRms = 800.0;
    o.leadBits = 2.0 * o.baud;  // two seconds of mark
    Receive(test::MakeStartStopSignal(test::BaudotCodesOf(text, 0), o));
    EXPECT_NE(sink.text.find("THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG"), std::string::npos) << sink.text;
    EXPECT_NEAR(UnitsToHz(p.RxTone[0]), 1615.0 + c.offsetHz, 5.4);
    EXPECT_NEAR(UnitsToHz(p.RxTone[1]), 1785.0 + c.offsetHz, 5.4);
  }
}

// Farther off than the global deviation: followed up to it, never past; with the squelch on
// and nothing above its level the tones stay.
TEST_F(AfcRoundTripTest, GlobalDeviationAndSquelchHold) {
  Mode(kModeBpsk31);
  f.SetRxFrequency(1000.0);
  f.LocalDeviationHz = 50;
  f.GlobalDeviationHz = 20;
  test::PskSignalOptions o;
  o.toneHz = 1060.0;
  o.leadSymbols = 62;
  Receive(test::MakePskSignal(kPskText, o));
  EXPECT_LE(UnitsToHz(p.RxTone[0]), 1000.0 + 20.0 + 5.4);

  f.SetRxFrequency(1000.0);
  const int32_t tone = p.RxTone[0];
  engine.rxBlocks.IsSquelch = 1;
  engine.rxBlocks.SetSquelchPosition(100);  // level 2: above any signal
  o.toneHz = 1010.0;
  Receive(test::MakePskSignal(kPskText, o));
  EXPECT_EQ(p.RxTone[0], tone);
}

}  // namespace
}  // namespace vestrel
