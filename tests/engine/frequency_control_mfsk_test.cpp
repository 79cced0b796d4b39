// ctest-labels: integration
// The MFSK AFC against the same receiver without it: our own MFSK16 and MFSK8 transmissions in
// white noise, and noise alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"
#include "support/mfsk_signal.h"

namespace vestrel {
namespace {

// The receive chain at `centreHz` with AFC on or off, as the program runs it with its defaults
// (local deviation 50 Hz, global 300 Hz, squelch off). `text` gets what it prints (NUL left
// out); the return value is the receive band's lower edge at the end, Hz.
// With `clickAt` > 0 the receive band is clicked `clickHz` above where it was after that many
// samples (AfcAtClick on, its six passes).
double Receive(int32_t mode, std::span<const int16_t> samples, bool afc, std::string* text,
               double centreHz = 1500.0, size_t clickAt = 0, double clickHz = 0.0) {
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  auto engine = std::make_unique<TEngine>(window, sink);
  engine->Start();
  engine->params.RxTone[0] = engine->params.RxTone[1] = HzToUnits(centreHz);
  engine->modeSwitch.SetMode(mode);
  const double lower = centreHz - (ModeRowOf(mode).mfskTones - 1) * ModeRowOf(mode).symbolRate / 2.0;
  engine->freq.SetRxFrequency(lower);
  engine->rxBlocks.AfcOn = afc ? 1 : 0;
  if (clickAt > 0) {
    engine->rxBlocks.PushCaptured(samples.first(clickAt));
    engine->freq.SetRxFrequency(lower + clickHz);
    engine->freq.AfterClick(true, false);
    samples = samples.subspan(clickAt);
  }
  engine->rxBlocks.PushCaptured(samples);
  const std::vector<int16_t> silence(static_cast<size_t>(80 * 11025.0 / ModeRowOf(mode).symbolRate) + 2048,
                                     0);
  engine->rxBlocks.PushCaptured(std::span<const int16_t>(silence));
  if (text != nullptr)
    for (char c : sink.text)
      if (c != '\0') text->push_back(c);
  return UnitsToHz(engine->params.RxTone[0]);
}

std::string Text(size_t length) {
  const char* words[] = {"the",   "quick",  "brown",   "fox",     "jumps",  "over", "lazy",  "dog",
                         "radio", "signal", "station", "weather", "report", "band", "noise", "antenna"};
  std::mt19937 rng(7);
  std::string t;
  while (t.size() < length) t += std::string(words[rng() % 16]) + " ";
  t.resize(length);
  return t;
}

// The noise ladder, on a text of 700 characters: at every rung the receiver without AFC reads
// with less than 20 % of the characters wrong, and AFC costs at most half a point of that; the
// last rung of each mode is where errors begin (the three seeds' rates with AFC sum to at least
// 2 %), so the ladder reaches the receiver's threshold, where a tone moved by a fraction of a
// hertz changes them. Measured, off and on alike: MFSK16 -14 dB 6.1, 5.1, 5.1 %; MFSK8 -16 dB
// 2.4, 4.4, 6.4 %; one decibel lower both pass 20 %. The AFC that put the band on the best
// spectrum position every block read MFSK16 at -6 dB with 10 %, at -13 dB with 77 %, MFSK8 at
// -6 dB with 56 %.
TEST(MfskAfc, NoiseLadderCostsNothing) {
  const std::string text = Text(700);
  struct Rung {
    int32_t mode;
    double snrDb;
    double lowSum;  // of the three rates with AFC
  };
  const Rung rungs[] = {{kModeMfsk16, -3, 0},     {kModeMfsk16, -8, 0},   {kModeMfsk16, -13, 0},
                        {kModeMfsk16, -14, 0.02}, {kModeMfsk8, -3, 0},    {kModeMfsk8, -8, 0},
                        {kModeMfsk8, -14, 0},     {kModeMfsk8, -16, 0.02}};
  for (const Rung& r : rungs) {
    test::MfskTxOptions tx;
    tx.mode = r.mode;
    const std::vector<int16_t> clean = test::TransmitMfsk(text, tx);
    double sum = 0.0;
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE(testing::Message() << "mode " << r.mode << " at " << r.snrDb << " dB, seed " << seed);
      const std::vector<int16_t> noisy = test::AddNoise(clean, r.snrDb, seed);
      std::string off, on;
      Receive(r.mode, noisy, false, &off);
      Receive(r.mode, noisy, true, &on);
      const double cerOff = test::CharacterErrorRateWithin(text, off);
      const double cerOn = test::CharacterErrorRateWithin(text, on);
      std::printf("mode %d %+.0f dB seed %u: off %.3f on %.3f\n", r.mode, r.snrDb, seed, cerOff, cerOn);
      ASSERT_LT(cerOff, 0.2);
      EXPECT_LE(cerOn, cerOff + 0.005);
      sum += cerOn;
    }
    EXPECT_GE(sum, r.lowSum) << "mode " << r.mode << " at " << r.snrDb << " dB";
  }
}

// Five minutes of noise alone: the tones stay within a few hertz of where they were put.
TEST(MfskAfc, NoiseAloneLeavesTheTones) {
  for (const int32_t mode : {kModeMfsk16, kModeMfsk8}) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    std::mt19937 rng(mode);
    std::normal_distribution<double> noise(0.0, 3000.0);
    std::vector<int16_t> x(static_cast<size_t>(300 * 11025));
    for (int16_t& v : x) v = static_cast<int16_t>(std::lround(noise(rng)));
    const double start = 1500.0 - (ModeRowOf(mode).mfskTones - 1) * ModeRowOf(mode).symbolRate / 2.0;
    EXPECT_NEAR(Receive(mode, x, true, nullptr), start, 3.0);
  }
}

// Pull-in: a signal sent 40 Hz above the receive band, clean and at -10 dB, is found and then
// read as well as the same signal on frequency (the last third of the text, 50 to 70 s of it;
// the rest is left for the pull-in); the band ends within a hertz of the signal's. A weak
// signal that the receiver hears well enough to hold on the wrong grid is brought home one
// spacing at a time, as the detectors beyond the band's ends tell: MFSK8 at -10 dB, five
// spacings off, takes about a minute.
TEST(MfskAfc, PullsInASignal40HzOff) {
  for (const int32_t mode : {kModeMfsk16, kModeMfsk8}) {
    const std::string text = Text(mode == kModeMfsk8 ? 660 : 900);
    for (const double snrDb : {99.0, -10.0}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " at " << snrDb << " dB");
      test::MfskTxOptions tx;
      tx.mode = mode;
      const std::vector<int16_t> steady = test::AddNoise(test::TransmitMfsk(text, tx), snrDb, 3);
      tx.centreHz = 1540.0;
      const std::vector<int16_t> off = test::AddNoise(test::TransmitMfsk(text, tx), snrDb, 3);
      std::string onFrequency, pulled;
      Receive(mode, steady, false, &onFrequency);
      const double lower = Receive(mode, off, true, &pulled);
      const std::string tail = text.substr(2 * text.size() / 3);
      const double want = test::CharacterErrorRateWithin(tail, onFrequency);
      const double got = test::CharacterErrorRateWithin(tail, pulled);
      std::printf("mode %d %+.0f dB: on frequency %.3f, pulled in %.3f, lower %.2f Hz\n", mode, snrDb, want,
                  got, lower);
      EXPECT_LE(got, want + 0.005);
      EXPECT_NEAR(lower, 1540.0 - (ModeRowOf(mode).mfskTones - 1) * ModeRowOf(mode).symbolRate / 2.0, 1.0);
    }
  }
}

// A signal drifting 0.5 Hz a second for two minutes (60 Hz in all) is followed with no more
// errors than the same signal held steady, at -10 dB; so is a click 10 Hz beside a signal,
// after which the band settles on it (the errors counted from the click on).
TEST(MfskAfc, FollowsADriftAndSettlesAfterAClick) {
  for (const int32_t mode : {kModeMfsk16, kModeMfsk8}) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    const std::string text = Text(mode == kModeMfsk8 ? 440 : 720);  // two minutes
    test::MfskTxOptions tx;
    tx.mode = mode;
    const std::vector<int16_t> steady = test::AddNoise(test::TransmitMfsk(text, tx), -10.0, 4);
    tx.driftHzPerSecond = 0.5;
    const std::vector<int16_t> drifting = test::AddNoise(test::TransmitMfsk(text, tx), -10.0, 4);
    ASSERT_GT(drifting.size(), size_t{120 * 11025});
    std::string still, followed, clicked;
    Receive(mode, steady, false, &still);
    const double end = Receive(mode, drifting, true, &followed);
    const double want = test::CharacterErrorRateWithin(text, still);
    const double got = test::CharacterErrorRateWithin(text, followed);
    const double lower = 1500.0 - (ModeRowOf(mode).mfskTones - 1) * ModeRowOf(mode).symbolRate / 2.0;
    std::printf("mode %d: steady %.3f, drifting %.3f, band %.2f Hz above the start\n", mode, want, got,
                end - lower);
    EXPECT_LE(got, want + 0.005);

    const size_t at = 20 * 11025;
    const double settled = Receive(mode, steady, true, &clicked, 1500.0, at, 10.0);
    const std::string tail = text.substr(text.size() / 3);
    const double afterClick = test::CharacterErrorRateWithin(tail, clicked);
    std::printf("mode %d: after a click 10 Hz beside %.3f (steady %.3f), band %.2f Hz off\n", mode,
                afterClick, test::CharacterErrorRateWithin(tail, still), settled - lower);
    EXPECT_LE(afterClick, test::CharacterErrorRateWithin(tail, still) + 0.005);
    EXPECT_NEAR(settled, lower, 1.0);
  }
}

}  // namespace
}  // namespace vestrel
