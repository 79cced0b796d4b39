// ctest-labels: integration tsan
// The data-exchange port on a pseudo-terminal: opening it with the keying port, the writer and
// the reader threads, and a peer that goes away.
#include "io/exchange_port.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "io/ptt_ports.h"
#include "support/fake_keying.h"
#include "support/pty_pair.h"
#include "support/queue_poster.h"

namespace vestrel {
namespace {

using namespace std::chrono_literals;
constexpr int kCom = 7;
constexpr int kPttCom = 8;

class ExchangePortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    ASSERT_TRUE(workers_.CreateExTxEvent());
    shared_ = workers_.shared();
    shared_->SetPoster(&poster_);
    settings_.ComPorts[kCom] = pty_.slavePath();
    settings_.ComPorts[kPttCom] = pttPty_.slavePath();
    hooks_.onOpenExchange = [this] { ports_->OpenExchangePort(); };
    PttPortsLinks links;
    links.boxes = &boxes_;
    links.hooks = &hooks_;
    links.lines = &lines_;
    ports_ = std::make_unique<TPttPorts>(settings_, io_, shared_, links);
    ports_->semaphoreWait = 2000ms;
  }
  void TearDown() override {
    test::StopWorkers(workers_);
    ports_->Shutdown(1000ms);
    shared_->SetPoster(nullptr);
  }
  // Everything that reaches the master within `limit` of the last byte, up to n bytes.
  std::vector<uint8_t> ReadMaster(test::PtyPair& pty, size_t n, int limitMs = 3000) {
    std::vector<uint8_t> got;
    while (got.size() < n) {
      const auto part = pty.Read(limitMs);
      if (part.empty()) break;
      got.insert(got.end(), part.begin(), part.end());
    }
    return got;
  }

  test::PtyPair pty_;
  test::PtyPair pttPty_;
  test::KeyingLog log_;
  test::RecordingLines lines_{log_};
  test::FakePortBackend backend_{log_};
  TPortIO io_{backend_};
  test::RecordingHooks hooks_{log_};
  test::RecordingBoxes boxes_{log_};
  KeyingPortSettings settings_;
  SerialWorkers workers_;
  std::shared_ptr<WorkerShared> shared_;
  test::QueuePoster poster_;
  std::unique_ptr<TPttPorts> ports_;
};

TEST_F(ExchangePortTest, OpensAtItsSpeedWithRtsAndDtrOn) {
  settings_.ExchangeSpeed = 57600;
  ports_->SetDataExchangePort(kCom);
  auto port = shared_->ExchangeComHandle.Get();
  ASSERT_TRUE(port);
  EXPECT_EQ(port->path(), pty_.slavePath());
  SerialFormat f;
  ASSERT_TRUE(port->ReadFormat(f));
  EXPECT_EQ(f.baud, 57600);
  EXPECT_EQ(f.dataBits, 8);
  EXPECT_EQ(f.stopBits, SerialStopBits::kOne);
  EXPECT_EQ(port->timeouts().readMs, 200);
  EXPECT_TRUE(lines_.rts());
  EXPECT_TRUE(lines_.dtr());
  // Any rate, not only the standard ones. (Our reference let go: the port closes.)
  port.reset();
  settings_.ExchangeSpeed = 31250;
  ports_->ReopenPorts();
  port = shared_->ExchangeComHandle.Get();
  ASSERT_TRUE(port);
  ASSERT_TRUE(port->ReadFormat(f));
  port.reset();
  EXPECT_EQ(f.baud, 31250);
  // None: closed.
  ports_->SetDataExchangePort(0);
  EXPECT_FALSE(shared_->ExchangeComHandle.IsOpen());
}

TEST_F(ExchangePortTest, AMissingDeviceIsReportedAndStaysClosed) {
  settings_.ComPorts[kCom] = "/nonexistent/vestrel-exchange";
  ports_->SetDataExchangePort(kCom);
  EXPECT_FALSE(shared_->ExchangeComHandle.IsOpen());
  EXPECT_EQ(log_.Entries().back(), "box Vestrel - COM-port error|COM-port open error!");
}

// The exchange port equal to the keying port opens nothing and writes through its handle.
TEST_F(ExchangePortTest, SharedWithTheKeyingPort) {
  workers_.StartExchangeThreads();
  settings_.ExchangePortNumber = kPttCom;
  ports_->SetPttPort(1, kPttCom, 2, 0, 0);
  ASSERT_TRUE(ports_->SharedComPort);
  ASSERT_TRUE(shared_->PttComHandle.IsOpen());
  EXPECT_EQ(shared_->ExchangeComHandle.Get(), shared_->PttComHandle.Get());
  for (uint8_t c : std::string("shared")) QueueExchangeByte(*shared_, c);
  const auto got = ReadMaster(pttPty_, 6);
  EXPECT_EQ(std::string(got.begin(), got.end()), "shared");
}

TEST_F(ExchangePortTest, WriterSendsEveryQueuedByteInOrder) {
  // Queued before the port opens: they wait, and go when it does.
  std::vector<uint8_t> sent;
  for (int i = 0; i < 5000; ++i) sent.push_back(static_cast<uint8_t>(i * 13 + i / 256));
  for (uint8_t b : sent) ASSERT_EQ(QueueExchangeByte(*shared_, b), 1);
  workers_.StartExchangeThreads();
  ports_->SetDataExchangePort(kCom);
  EXPECT_EQ(ReadMaster(pty_, sent.size()), sent);
}

TEST_F(ExchangePortTest, ReaderMovesBytesInOrderThroughItsBoundedRing) {
  workers_.StartExchangeThreads();
  ports_->SetDataExchangePort(kCom);
  // More than the ring holds: the reader waits while the test thread does not look.
  std::vector<uint8_t> sent;
  for (uint32_t i = 0; i < 3 * ComByteRing::kSize; ++i) sent.push_back(static_cast<uint8_t>(i ^ (i >> 8)));
  std::thread peer([&] { pty_.Write(sent); });
  std::vector<uint8_t> got;
  int posts = 0;
  while (got.size() < sent.size()) {
    const uint32_t m = poster_.Next(5000ms);
    ASSERT_EQ(m, WM_EXCHANGE_INPUT) << got.size();
    ++posts;
    // While more is still to come, look only once the ring is full, so the reader has to wait.
    if (sent.size() - got.size() > ComByteRing::kMaxPending) {
      const auto until = std::chrono::steady_clock::now() + 5s;
      while (shared_->ExchangeIn.Pending() < ComByteRing::kMaxPending && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
      ASSERT_EQ(shared_->ExchangeIn.Pending(), ComByteRing::kMaxPending) << got.size();
    }
    shared_->ExchangeInPosted.store(false);
    EXPECT_LE(shared_->ExchangeIn.Pending(), ComByteRing::kMaxPending);
    for (int b; (b = shared_->ExchangeIn.Take()) >= 0;) got.push_back(static_cast<uint8_t>(b));
  }
  peer.join();
  EXPECT_EQ(got, sent);
  EXPECT_GE(posts, 3);
}

TEST_F(ExchangePortTest, APeerThatGoesAwayIsReportedOnceAndAReopenWorks) {
  workers_.StartExchangeThreads();
  ports_->SetDataExchangePort(kCom);
  ASSERT_TRUE(shared_->ExchangeComHandle.IsOpen());
  pty_.CloseMaster();
  // One byte: the writer may wake for each byte, and bytes queued after the failure wait.
  QueueExchangeByte(*shared_, 'x');
  EXPECT_EQ(poster_.Next(5000ms), WM_EXCHANGE_WRITE_ERROR);
  const int error = shared_->ExchangeWriteError.exchange(0);
  EXPECT_EQ(error, EIO);
  EXPECT_FALSE(shared_->ExchangeComHandle.IsOpen());
  EXPECT_EQ(ExchangeWriteErrorCaption(error), "Write to exchange COM-port error! (5)");
  // Nothing more is written, so nothing more is reported.
  for (uint8_t c : std::string("more")) QueueExchangeByte(*shared_, c);
  EXPECT_EQ(poster_.Next(500ms), 0u);
  // A new peer: the port opens again and carries what waited.
  test::PtyPair again;
  settings_.ComPorts[kCom] = again.slavePath();
  ports_->ReopenPorts();
  ASSERT_TRUE(shared_->ExchangeComHandle.IsOpen());
  QueueExchangeByte(*shared_, '!');
  const auto got = ReadMaster(again, 5);
  EXPECT_EQ(std::string(got.begin(), got.end()), "more!");
}

// A shared port that fails is given up under both names.
TEST_F(ExchangePortTest, ASharedPortThatFailsIsForgottenAsKeyingPortToo) {
  workers_.StartExchangeThreads();
  settings_.ExchangePortNumber = kPttCom;
  ports_->SetPttPort(1, kPttCom, 2, 0, 0);
  ASSERT_TRUE(shared_->ExchangeComHandle.IsOpen());
  pttPty_.CloseMaster();
  QueueExchangeByte(*shared_, 'x');
  EXPECT_EQ(poster_.Next(5000ms), WM_EXCHANGE_WRITE_ERROR);
  EXPECT_FALSE(shared_->ExchangeComHandle.IsOpen());
  EXPECT_FALSE(shared_->PttComHandle.IsOpen());
}

}  // namespace
}  // namespace vestrel
