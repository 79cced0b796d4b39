// ctest-labels: integration
#include "app/linked_exchange_library.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "io/zozariri/exchange_segment.h"
#include "support/child_process.h"

namespace vestrel {
namespace {

const std::string kPeer = std::string(VESTREL_BINARY_DIR) + "/io/zozariri/zozariri-peer";

class LinkedExchangeLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string prefix = "vestrel-kisstest-" + std::to_string(getpid());
    setenv("VESTREL_ZOZARIRI_PREFIX", prefix.c_str(), 1);
  }
  void TearDown() override {
    for (int ch = ExchangeSegment::kFirstChannel; ch <= ExchangeSegment::kLastChannel; ++ch)
      shm_unlink(ExchangeSegment::SegmentName(ch).c_str());
  }
};

// A received frame's KISS bytes reach the program on the other end of the channel, the
// markers as their negative symbols.
TEST_F(LinkedExchangeLibraryTest, KissFramesGoOutAsSignedSymbols) {
  LinkedExchangeLibrary link;
  ASSERT_TRUE(link.Init(4));
  KissOutput& out = link;
  const std::vector<uint8_t> kiss = {0xC0, 0x00, 'A', 0xDB, 0xDC, 0xF0, 0xDB, 0xDD, 0xC0};
  out.WriteKiss(kiss);
  auto get = test::RunProgram({kPeer, "get", "4"});
  ASSERT_EQ(get.status, 0);
  const int8_t want[] = {-64, 0, 'A', -37, -36, -16, -37, -35, -64};
  ASSERT_EQ(get.out.size(), sizeof want);
  for (size_t i = 0; i < sizeof want; ++i) EXPECT_EQ(static_cast<int8_t>(get.out[i]), want[i]) << i;

  // Out of use, nothing goes.
  link.Deactivate();
  out.WriteKiss(kiss);
  EXPECT_TRUE(test::RunProgram({kPeer, "get", "4"}).out.empty());
}

}  // namespace
}  // namespace vestrel
