// ctest-labels: integration
// The window's data-exchange port over a pseudo-terminal: the peer's bytes reach the parsers on
// the GUI thread (the test thread here), text and KISS go out, the parameters and frames land
// where the packet transmitter takes them, and the library's channel is pulled with a cap.
#include "app/exchange_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "engine/mode_number.h"
#include "io/exchange_port.h"
#include "support/fake_keying.h"
#include "support/pty_pair.h"
#include "support/queue_poster.h"

namespace vestrel {
namespace {

using namespace std::chrono_literals;
constexpr int kCom = 9;

// "~[name]" becomes "Bob"; the thread of every call is kept.
class FakeMacros final : public MacroPart {
 public:
  bool ExpandMacroEscape(std::string& text) override {
    threads.push_back(std::this_thread::get_id());
    const size_t at = text.find("~[name]");
    if (at == std::string::npos) return false;
    text.replace(at, 7, "Bob");
    return true;
  }
  std::vector<std::thread::id> threads;
};

// A library channel that always has another byte.
class EndlessLibrary final : public ExchangeLibraryPart {
 public:
  int Get() override {
    ++gets;
    return 'a';
  }
  int gets = 0;
};

class RecordingRig final : public KeyingPortHooks {
 public:
  void OpenPttRig() override { log.push_back("OpenPttRig"); }
  void RigSetPtt(bool on) override { log.push_back(on ? "RigSetPtt 1" : "RigSetPtt 0"); }
  void OpenExchangePort() override { log.push_back("OpenExchangePort"); }
  std::vector<std::string> log;
};

class ExchangePortPartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    ASSERT_TRUE(workers_.CreateExTxEvent());
    shared_ = workers_.shared();
    shared_->SetPoster(&poster_);
    settings_.ComPorts[kCom] = pty_.slavePath();
    params_.Mode = kModeRtty;
    port_.Connect({shared_, &boxes_, &poster_, &macros_, nullptr, &params_, &isKiss_, &frames_, &channel_, &rig_});
    PttPortsLinks links;
    links.boxes = &boxes_;
    links.hooks = &port_;
    links.lines = &lines_;
    ports_ = std::make_unique<TPttPorts>(settings_, io_, shared_, links);
    port_.AttachPorts(ports_.get());
    workers_.StartExchangeThreads();
    ports_->SetDataExchangePort(kCom);
    ASSERT_TRUE(port_.IsOpen());
  }
  void TearDown() override {
    test::StopWorkers(workers_);
    ports_->Shutdown(1000ms);
    shared_->SetPoster(nullptr);
  }
  // The window's part of the work: posted messages handled until `done` or a quiet second.
  // The text pump's pulls land in text_.
  void RunUntil(const std::function<bool()>& done) {
    while (!done()) {
      const uint32_t m = poster_.Next(1000ms);
      if (m == 0) break;
      if (m == WM_EXCHANGE_INPUT) port_.TakePortInput();
      if (m == WM_PUMP_TX) port_.PullExchangeText([&](const std::string& t) { text_ += t; });
      if (m == WM_EXCHANGE_WRITE_ERROR) port_.ShowExchangeWriteError();
    }
  }
  void PeerWrites(const std::string& s) { pty_.Write(std::vector<uint8_t>(s.begin(), s.end())); }

  test::PtyPair pty_;
  test::KeyingLog log_;
  test::RecordingLines lines_{log_};
  test::FakePortBackend backend_{log_};
  TPortIO io_{backend_};
  test::RecordingBoxes boxes_{log_};
  KeyingPortSettings settings_;
  SerialWorkers workers_;
  std::shared_ptr<WorkerShared> shared_;
  test::QueuePoster poster_;
  FakeMacros macros_;
  RecordingRig rig_;
  TModemParams params_;
  int32_t isKiss_ = 1;
  BufFifo frames_;
  TPacketChannel channel_;
  TExchangePort port_;
  std::unique_ptr<TPttPorts> ports_;
  std::string text_;
};

TEST_F(ExchangePortPartTest, PeerTextIsNormalisedAndExpandedOnTheGuiThread) {
  PeerWrites("ab\r\n~[name] x\n\r~73\r\n");
  const std::string want = "ab\r\nBob x\r\n~73\r\n";
  RunUntil([&] { return text_.size() >= want.size(); });
  EXPECT_EQ(text_, want);
  ASSERT_FALSE(macros_.threads.empty());
  for (const auto& id : macros_.threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(ExchangePortPartTest, KissFramesAndParametersInThePacketModes) {
  params_.Mode = kModeAx25Uhf;
  PeerWrites(std::string("\xC0\x00" "AB\xC0\xC0\x01\x1E\xC0\xC0\x00\xC0", 12));
  RunUntil([&] { return frames_.FrameCount() == 1 && channel_.PacketTxDelay.load() == 300; });
  EXPECT_EQ(frames_.FrameCount(), 1u);
  EXPECT_EQ(channel_.PacketTxDelay.load(), 300);
  std::vector<int> items;
  for (int s; (s = frames_.TakeSymbol()) != -1;) items.push_back(s);
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[1], 'A');
  EXPECT_EQ(items[2], 'B');
  // With IsKISS off the same bytes are text.
  isKiss_ = 0;
  PeerWrites("ok");
  RunUntil([&] { return text_.size() >= 2; });
  EXPECT_EQ(text_, "ok");
}

TEST_F(ExchangePortPartTest, ReceivedTextAndKissLeaveThroughThePort) {
  for (uint8_t c : std::string("de ")) EXPECT_TRUE(port_.QueueExchangeByte(c));
  const uint8_t kiss[] = {0xC0, 0x00, 'X', 0xDB, 0xDC, 0xC0};
  port_.Kiss()->WriteKiss(kiss);
  std::vector<uint8_t> got;
  while (got.size() < 9) {
    const auto part = pty_.Read(3000);
    if (part.empty()) break;
    got.insert(got.end(), part.begin(), part.end());
  }
  EXPECT_EQ(got, (std::vector<uint8_t>{'d', 'e', ' ', 0xC0, 0x00, 'X', 0xDB, 0xDC, 0xC0}));
}

TEST_F(ExchangePortPartTest, APeerThatGoesAwayIsShownOnceAndAReopenWorks) {
  pty_.CloseMaster();
  port_.QueueExchangeByte('x');
  RunUntil([&] { return !port_.IsOpen(); });
  RunUntil([] { return false; });
  int boxes = 0;
  for (const auto& e : log_.Entries()) boxes += e.rfind("box Write to exchange COM-port error! (5)|", 0) == 0;
  EXPECT_EQ(boxes, 1);
  // Closed: the packet receiver's frames wait for no port.
  EXPECT_FALSE(port_.IsOpen());
  test::PtyPair again;
  settings_.ComPorts[kCom] = again.slavePath();
  ports_->ReopenPorts();
  ASSERT_TRUE(port_.IsOpen());
  port_.QueueExchangeByte('y');
  EXPECT_EQ(again.Read(3000), (std::vector<uint8_t>{'y'}));
}

// The rig's keying paths pass through the exchange port's hooks.
TEST_F(ExchangePortPartTest, RigHooksPassOn) {
  port_.OpenPttRig();
  port_.RigSetPtt(true);
  port_.OpenExchangePort();
  EXPECT_EQ(rig_.log, (std::vector<std::string>{"OpenExchangePort", "OpenPttRig", "RigSetPtt 1", "OpenExchangePort"}));
}

// A library peer that never stops sending cannot hold the GUI thread: one pull takes at most
// the cap.
TEST(ExchangePortPullTest, OnePullTakesAtMostTheCap) {
  EndlessLibrary library;
  TExchangePort::Links links;
  links.library = &library;
  TExchangePort port(links);
  std::string text;
  port.PullExchangeText([&](const std::string& t) { text += t; });
  EXPECT_EQ(library.gets, TExchangePort::kMaxPullPerPump);
  EXPECT_EQ(text, std::string(TExchangePort::kMaxPullPerPump, 'a'));
}

}  // namespace
}  // namespace vestrel
