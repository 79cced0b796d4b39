// ctest-labels: integration
#include "io/exchange_library.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "io/zozariri/exchange_segment.h"
#include "support/child_process.h"

namespace vestrel {
namespace {

const std::string kPeer = std::string(VESTREL_BINARY_DIR) + "/io/zozariri/zozariri-peer";

// The terminal side is this process, through the library; the other program is the peer
// tool, run as a process of its own.
class ExchangeLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string prefix = "vestrel-libtest-" + std::to_string(getpid());
    setenv("VESTREL_ZOZARIRI_PREFIX", prefix.c_str(), 1);
  }
  void TearDown() override {
    for (int ch = ExchangeSegment::kFirstChannel; ch <= ExchangeSegment::kLastChannel; ++ch)
      shm_unlink(ExchangeSegment::SegmentName(ch).c_str());
  }

  // Bytes the terminal gets, polling until `count` arrived or two seconds passed.
  static std::string GetBytes(ExchangeLibrary& lib, size_t count) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      const int b = lib.Get();
      if (b < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      EXPECT_LE(b, 255);
      got += static_cast<char>(b);
    }
    return got;
  }
};

TEST_F(ExchangeLibraryTest, SymbolsPassBothWaysBetweenProcesses) {
  ExchangeLibrary lib;
  ASSERT_TRUE(lib.Init(3));
  EXPECT_EQ(lib.Get(), -1);

  // Peer to terminal: text and the bytes that stand for negative codes.
  auto put = test::RunProgram({kPeer, "put", "3", "CQ DE\\xC0\\xDB\\x00!"});
  ASSERT_EQ(put.status, 0);
  EXPECT_EQ(GetBytes(lib, 9), std::string("CQ DE\xC0\xDB\x00!", 9));
  EXPECT_EQ(lib.Get(), -1);

  // Terminal to peer: a KISS-style frame with its negative markers.
  const int8_t frame[] = {-64, 0, 'A', -37, -36, 'B', -37, -35, -64};
  for (int8_t s : frame) lib.Put(s);
  auto get = test::RunProgram({kPeer, "get", "3"});
  ASSERT_EQ(get.status, 0);
  ASSERT_EQ(get.out.size(), sizeof frame);
  for (size_t i = 0; i < sizeof frame; ++i) EXPECT_EQ(static_cast<int8_t>(get.out[i]), frame[i]) << i;
}

TEST_F(ExchangeLibraryTest, ChannelsOutsideOneToNineAreRefused) {
  ExchangeLibrary lib;
  EXPECT_FALSE(lib.Init(0));
  EXPECT_FALSE(lib.Active());
  EXPECT_FALSE(lib.Init(10));
  EXPECT_FALSE(lib.Active());
  EXPECT_EQ(lib.Get(), -1);
  EXPECT_EQ(test::RunProgram({kPeer, "put", "0", "x"}).status, 2);
  EXPECT_EQ(test::RunProgram({kPeer, "get", "10"}).status, 2);
}

TEST_F(ExchangeLibraryTest, ReinitialisingSwitchesTheChannel) {
  ExchangeLibrary lib;
  ASSERT_TRUE(lib.Init(1));
  ASSERT_TRUE(lib.Init(2));
  ASSERT_EQ(test::RunProgram({kPeer, "put", "1", "one"}).status, 0);
  ASSERT_EQ(test::RunProgram({kPeer, "put", "2", "two"}).status, 0);
  EXPECT_EQ(GetBytes(lib, 3), "two");
  EXPECT_EQ(lib.Get(), -1);
  lib.Put('z');
  EXPECT_EQ(test::RunProgram({kPeer, "get", "2"}).out, "z");
  EXPECT_EQ(test::RunProgram({kPeer, "get", "1"}).out, "");
}

TEST_F(ExchangeLibraryTest, FullRingDropsWhatDoesNotFit) {
  ExchangeLibrary lib;
  ASSERT_TRUE(lib.Init(4));
  const size_t n = ExchangeRing::kRingSize;
  for (size_t i = 0; i < n + 50; ++i) lib.Put(static_cast<int8_t>('a' + i % 26));
  const auto got = test::RunProgram({kPeer, "get", "4"});
  ASSERT_EQ(got.out.size(), n);
  for (size_t i = 0; i < n; ++i) ASSERT_EQ(got.out[i], static_cast<char>('a' + i % 26)) << i;

  // The peer's own put reports the drop.
  const std::string big(n + 1, 'q');
  EXPECT_EQ(test::RunProgram({kPeer, "put", "4", big}).status, 1);
  EXPECT_EQ(GetBytes(lib, n), std::string(n, 'q'));
}

TEST_F(ExchangeLibraryTest, DeactivatedLinkNeitherPutsNorGets) {
  ExchangeLibrary lib;
  ASSERT_TRUE(lib.Init(5));
  ASSERT_EQ(test::RunProgram({kPeer, "put", "5", "w"}).status, 0);
  lib.Deactivate();
  EXPECT_EQ(lib.Get(), -1);
  lib.Put('v');
  EXPECT_EQ(test::RunProgram({kPeer, "get", "5"}).out, "");
  ASSERT_TRUE(lib.Init(5));
  EXPECT_EQ(GetBytes(lib, 1), "w");
}

}  // namespace
}  // namespace vestrel
