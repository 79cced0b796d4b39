#include "io/input_feed.h"

#include <gtest/gtest.h>

#include <vector>

namespace vestrel {
namespace {

// Stands in for the block processor's converter callback.
struct Collector {
  static void Take(void* self, double x) { static_cast<Collector*>(self)->out.push_back(x); }
  static void Clear(void* self) { ++static_cast<Collector*>(self)->clears; }
  std::vector<double> out;
  int clears = 0;
};

TEST(InputFeed, PushesEverySampleThroughTheConverterAndKeepsTheSource) {
  Collector c;
  TUniResample converter;
  ASSERT_EQ(converter.Setup(11025.0, 11025.0, &Collector::Take, &c), 0);
  InputFeed feed(converter, &Collector::Clear, &c);
  std::vector<int16_t> block(2048);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<int16_t>(i * 13 - 9000);
  feed.FeedInputBlock(block.data(), 2048, 2);
  EXPECT_EQ(feed.InputSource(), 2);
  ASSERT_EQ(c.out.size(), 2048u);  // equal rates: one output per input, the input itself
  for (size_t i = 0; i < block.size(); ++i) ASSERT_EQ(c.out[i], block[i]);
  feed.FeedInputBlock(block.data(), 2048, 0);
  EXPECT_EQ(feed.InputSource(), 0);
  feed.ClearPeakHold();
  EXPECT_EQ(c.clears, 1);
}

TEST(InputFeed, CalibratedCardRateIsConvertedTo11025) {
  Collector c;
  TUniResample converter;
  ASSERT_EQ(converter.Setup(11000.0, 11025.0, &Collector::Take, &c), 0);
  InputFeed feed(converter);
  std::vector<int16_t> block(2048, 100);
  for (int b = 0; b < 44; ++b) feed.FeedInputBlock(block.data(), 2048, 0);
  // 44 x 2048 = 90112 inputs at 11000/s last 8.192 s, which hold 90316.8 outputs at 11025/s.
  EXPECT_NEAR(static_cast<double>(c.out.size()), 90316.8, 1.0);
  feed.ClearPeakHold();  // without a target: nothing to do
}

}  // namespace
}  // namespace vestrel
