#include "engine/modes/mfsk/mfsk_frequency_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/mfsk_signal.h"

namespace vestrel {
namespace {

// The MFSK receiver's own offset estimate, fed our own transmission sent off its tones.
struct Receiver {
  explicit Receiver(int32_t mode) : engine(std::make_unique<TEngine>(window, sink)) {
    engine->Start();
    engine->params.RxTone[0] = engine->params.RxTone[1] = HzToUnits(1500.0);
    engine->modeSwitch.SetMode(mode);
    engine->freq.SetRxFrequency(1500.0 - (rx().Tones() - 1) * rx().SpacingHz() / 2.0);
  }
  TMfskDecoder& rx() { return engine->mfsk; }
  const TMfskFrequencyError& error() { return engine->mfsk.FrequencyError(); }
  void Feed(const std::vector<int16_t>& s) {
    const std::vector<float> x(s.begin(), s.end());
    for (size_t i = 0; i < x.size(); i += 2048)
      rx().ProcessBlock(std::span<const float>(x).subspan(i, std::min<size_t>(2048, x.size() - i)), true);
  }
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine;
};

// Within the tone spacing either way the estimate reads the offset, in noise too (-10 dB in
// 3 kHz): near the tones to a few tenths of a hertz, further off short of it (when a neighbour
// detector wins a symbol it sees the signal on its other side), never the wrong way. A retune
// turns what was summed: moved 1 Hz towards the signal, the tones read about 1 Hz less at once.
TEST(MfskFrequencyError, ReadsTheOffsetAndFollowsARetune) {
  struct Case {
    int32_t mode;
    double offsetHz;
    double snrDb;
    double within;  // Hz
  };
  const Case cases[] = {{kModeMfsk16, 3.0, 99, 0.3},
                        {kModeMfsk16, -5.0, -10, 1.0},
                        {kModeMfsk16, 6.5, 99, 1.2},
                        {kModeMfsk8, 2.0, 99, 0.3},
                        {kModeMfsk8, -3.0, -10, 0.6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " offset " << c.offsetHz << " at " << c.snrDb);
    test::MfskTxOptions tx;
    tx.mode = c.mode;
    tx.centreHz = 1500.0 + c.offsetHz;
    Receiver r(c.mode);
    r.Feed(test::AddNoise(test::TransmitMfsk("the quick brown fox jumps over the lazy dog", tx), c.snrDb, 5));
    EXPECT_TRUE(r.error().Locked());
    EXPECT_NEAR(r.error().ErrorHz(), c.offsetHz, c.within);
    const int32_t step = c.offsetHz > 0 ? HzToUnits(1.0) : -HzToUnits(1.0);
    r.rx().SetTones(r.rx().FirstStep() + step);
    EXPECT_NEAR(r.error().ErrorHz(), c.offsetHz - UnitsToHz(step), c.within);
    // A move by a whole spacing keeps the estimate (the AFC's grid step); one of a spacing and
    // a half starts again.
    const double before = r.error().ErrorHz();
    r.rx().SetTones(r.rx().FirstStep() + HzToUnits(r.rx().SpacingHz()));
    EXPECT_TRUE(r.error().Locked());
    EXPECT_NEAR(r.error().ErrorHz(), before, 0.2);
    r.rx().SetTones(r.rx().FirstStep() + HzToUnits(1.5 * r.rx().SpacingHz()));
    EXPECT_FALSE(r.error().Locked());
    EXPECT_EQ(r.error().Symbols(), 0u);
  }
}

// Noise alone: the strongest detector leads the others by little, so no tone is heard.
TEST(MfskFrequencyError, NoiseIsNoTone) {
  for (const int32_t mode : {kModeMfsk16, kModeMfsk8}) {
    SCOPED_TRACE(mode);
    Receiver r(mode);
    std::mt19937 rng(static_cast<uint32_t>(mode));
    std::normal_distribution<double> noise(0.0, 3000.0);
    std::vector<int16_t> x(11025 * 60);
    int lockedBlocks = 0;
    for (size_t i = 0; i < x.size(); i += 2048) {
      std::vector<int16_t> block(std::min<size_t>(2048, x.size() - i));
      for (int16_t& v : block) v = static_cast<int16_t>(std::lround(noise(rng)));
      r.Feed(block);
      lockedBlocks += r.error().Locked() ? 1 : 0;
    }
    EXPECT_GT(r.error().Symbols(), 400u);
    EXPECT_EQ(lockedBlocks, 0);
    EXPECT_LT(r.error().Lead(), 0.6);
  }
}

}  // namespace
}  // namespace vestrel
