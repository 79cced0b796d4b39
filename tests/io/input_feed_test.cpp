#include "io/input_feed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/engine.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"

namespace vestrel {
namespace {

std::vector<int16_t> Tone(size_t n, double hz) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<int16_t>(
        std::lround(16000.0 * std::sin(2 * M_PI * hz * static_cast<double>(i) / 11025.0)));
  return s;
}

int PeakBin(const SpectrumArrays& s) {
  auto first = s.SpectrumPeak.begin() + SpectrumArrays::kFirstBin;
  auto last = s.SpectrumPeak.begin() + SpectrumArrays::kLastBin + 1;
  return static_cast<int>(std::max_element(first, last) - s.SpectrumPeak.begin());
}

class InputFeedTest : public testing::Test {
 protected:
  void Feed(const std::vector<int16_t>& samples, int source) {
    for (size_t at = 0; at + 2048 <= samples.size(); at += 2048)
      feed.FeedInputBlock(samples.data() + at, 2048, source);
  }
  test::FakeEngineWindow window;
  test::FakeRxSink rx;
  TEngine engine{window, rx};
  InputFeed feed{engine.rxBlocks};
};

// 1000 Hz lies at 1000 / (11025 / 2048) = 185.8 bins.
TEST_F(InputFeedTest, BlocksReachTheBlockProcessor) {
  Feed(Tone(3 * 2048, 1000.0), 0);
  EXPECT_EQ(window.PostCount(WM_SPECTRUM_READY), 3);
  EXPECT_NEAR(PeakBin(engine.rxBlocks.Spectrum), 186, 1);
  EXPECT_EQ(engine.rxBlocks.FeedMode, 0);

  feed.ClearPeakHold();
  EXPECT_EQ(*std::max_element(engine.rxBlocks.Spectrum.SpectrumPeak.begin(),
                              engine.rxBlocks.Spectrum.SpectrumPeak.end()),
            0.0f);

  // With three or more buffers waiting the display is skipped, the samples never.
  feed.SetCaptureBuffersWaiting(3);
  Feed(Tone(2048, 1000.0), 0);
  EXPECT_EQ(window.PostCount(WM_SPECTRUM_READY), 3);
  EXPECT_NEAR(PeakBin(engine.rxBlocks.Spectrum), 186, 1);
  Feed(Tone(2048, 1000.0), 1);  // a file decoded in real time is always shown
  EXPECT_EQ(engine.rxBlocks.FeedMode, 1);
  EXPECT_EQ(window.PostCount(WM_SPECTRUM_READY), 4);
}

// A card at 8000 samples/s: 16 x 2048 inputs last 4.096 s, which hold 45158 samples at 11025/s,
// 22 whole blocks; the tone keeps its frequency.
TEST_F(InputFeedTest, TheCardRateIsConvertedTo11025) {
  ASSERT_TRUE(engine.rxBlocks.InputResampler.Setup(8000.0, 11025.0));
  std::vector<int16_t> tone(16 * 2048);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(
        std::lround(16000.0 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(i) / 8000.0)));
  Feed(tone, 0);
  EXPECT_EQ(window.PostCount(WM_SPECTRUM_READY), 22);
  EXPECT_NEAR(PeakBin(engine.rxBlocks.Spectrum), 186, 1);
}

}  // namespace
}  // namespace vestrel
