#include "engine/modes/packet/packet_frame_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "support/ax25_frames.h"

namespace vestrel {
namespace {

// Every output writes into one log, so the order shows.
struct Log {
  std::vector<std::string> entries;
};

class LoggingKiss : public KissOutput {
 public:
  LoggingKiss(Log& log, std::string name) : log_(log), name_(std::move(name)) {}
  void WriteKiss(std::span<const uint8_t> kiss) override {
    frames.emplace_back(kiss.begin(), kiss.end());
    log_.entries.push_back(name_);
  }
  std::vector<std::vector<uint8_t>> frames;

 private:
  Log& log_;
  std::string name_;
};

class LoggingRx : public RxTextSink {
 public:
  explicit LoggingRx(Log& log) : log_(log) {}
  void PutRxChar(uint8_t c) override { text.push_back(static_cast<char>(c)); }
  void PutRxString(std::string_view s) override {
    text.append(s);
    log_.entries.push_back("monitor");
  }
  std::string text;

 private:
  Log& log_;
};

class PacketFrameOutputTest : public ::testing::Test {
 protected:
  PacketFrameOutputTest() {
    output.SetExchangeOutputs(&library, &port);
    output.SetCaptureOutput(&capture);
  }
  Log log;
  LoggingKiss library{log, "library"}, port{log, "port"}, capture{log, "capture"};
  LoggingRx rx{log};
  TPacketFrameOutput output{rx};
};

TEST_F(PacketFrameOutputTest, AGoodFrameGoesToEveryOutputInOrder) {
  const std::vector<uint8_t> frame = test::BuildUiFrame("N0CALL", "APRS",
                                                        "ab\xC0\xDB"
                                                        "cd");
  output.PutAx25Frame(test::WithCheckBytes(frame));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"library", "port", "capture", "monitor"}));
  // 0xC0 as DB DC, 0xDB as DB DD, and no check bytes.
  const std::vector<uint8_t> kiss = test::KissOf(frame);
  const uint8_t escaped[] = {0xDB, 0xDC, 0xDB, 0xDD};
  EXPECT_NE(std::search(kiss.begin(), kiss.end(), std::begin(escaped), std::end(escaped)), kiss.end());
  ASSERT_EQ(capture.frames.size(), 1u);
  EXPECT_EQ(capture.frames[0], kiss);
  EXPECT_EQ(library.frames[0], kiss);
  EXPECT_EQ(port.frames[0], kiss);
  EXPECT_EQ(rx.text,
            "\r\nN0CALL-0 -> APRS-0  UI^ Pid=F0\r\nab\xC0\xDB"
            "cd\r\n");
}

TEST_F(PacketFrameOutputTest, WithKissOffOnlyTheCaptureAndTheMonitorLine) {
  output.IsKISS = false;
  output.PutAx25Frame(test::WithCheckBytes(test::BuildUiFrame("N0CALL", "APRS", "x")));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"capture", "monitor"}));
}

TEST_F(PacketFrameOutputTest, UnsetOutputsAreSkipped) {
  output.SetExchangeOutputs(nullptr, &port);
  output.SetCaptureOutput(nullptr);
  output.PutAx25Frame(test::WithCheckBytes(test::BuildUiFrame("N0CALL", "APRS", "x")));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"port", "monitor"}));
}

TEST_F(PacketFrameOutputTest, TheLongestFrameWithEveryByteEscaped) {
  std::vector<uint8_t> frame = test::BuildUiFrame("N0CALL", "APRS", "");
  frame.resize(328, 0xC0);
  output.PutAx25Frame(test::WithCheckBytes(frame));
  ASSERT_EQ(capture.frames.size(), 1u);
  EXPECT_EQ(capture.frames[0], test::KissOf(frame));
}

}  // namespace
}  // namespace vestrel
