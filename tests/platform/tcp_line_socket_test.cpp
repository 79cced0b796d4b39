// ctest-labels: unit tsan
#include "platform/tcp_line_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <string>

#include "support/loopback_listener.h"

namespace vestrel {
namespace {

using namespace std::chrono_literals;

// A loopback listener and the server end of one accepted connection.
class TcpLineSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    uint16_t port = 0;
    listen_ = test::LoopbackListener(port);
    ASSERT_NE(port, 0);
    ASSERT_TRUE(client_.Connect("127.0.0.1", port, 2s));
    server_ = accept(listen_, nullptr, nullptr);
    ASSERT_GE(server_, 0);
  }
  void TearDown() override {
    if (server_ >= 0) close(server_);
    close(listen_);
  }
  void Send(const std::string& s) { ASSERT_EQ(send(server_, s.data(), s.size(), 0), ssize_t(s.size())); }

  int listen_ = -1;
  int server_ = -1;
  TcpLineSocket client_;
};

TEST_F(TcpLineSocketTest, LinesAcrossChunksWithoutTheirEnds) {
  Send("Frequency: 14");
  Send("070000\r\nRPRT 0\n\nlast");
  std::string line;
  ASSERT_TRUE(client_.ReadLine(line, 2s));
  EXPECT_EQ(line, "Frequency: 14070000");
  ASSERT_TRUE(client_.ReadLine(line, 2s));
  EXPECT_EQ(line, "RPRT 0");
  ASSERT_TRUE(client_.ReadLine(line, 2s));
  EXPECT_EQ(line, "");
  EXPECT_FALSE(client_.ReadLine(line, 50ms));  // "last" has no end yet
  Send("\n");
  ASSERT_TRUE(client_.ReadLine(line, 2s));
  EXPECT_EQ(line, "last");

  ASSERT_TRUE(client_.WriteAll("+f\n", 2s));
  char buf[8] = {};
  EXPECT_EQ(recv(server_, buf, sizeof buf, 0), 3);
  EXPECT_EQ(std::string(buf), "+f\n");
}

TEST_F(TcpLineSocketTest, EndOfStreamAndOverlongLinesFail) {
  Send(std::string(TcpLineSocket::kMaxLine + 10, 'x'));
  std::string line;
  EXPECT_FALSE(client_.ReadLine(line, 2s));
  close(server_);
  server_ = -1;
  client_.Close();
  EXPECT_FALSE(client_.IsOpen());
  EXPECT_FALSE(client_.ReadLine(line, 10ms));
  EXPECT_FALSE(client_.WriteAll("x\n", 10ms));
}

TEST_F(TcpLineSocketTest, PeerClosingEndsTheRead) {
  close(server_);
  server_ = -1;
  std::string line;
  EXPECT_FALSE(client_.ReadLine(line, 2s));
  EXPECT_FALSE(client_.WriteAll(std::string(1 << 20, 'y'), 2s));  // no SIGPIPE either
}

TEST_F(TcpLineSocketTest, InterruptedSocketRefusesEveryCall) {
  Send("waiting line\n");
  client_.Interrupt();
  std::string line;
  EXPECT_FALSE(client_.ReadLine(line, 2s));
  EXPECT_FALSE(client_.WriteAll("x\n", 2s));
  EXPECT_FALSE(client_.Connect("127.0.0.1", 1, 100ms));
}

// The shutdown path: a read that would wait a minute returns once another thread interrupts.
TEST_F(TcpLineSocketTest, InterruptWakesABlockedReadOnAnotherThread) {
  auto read = std::async(std::launch::async, [this] {
    std::string line;
    return client_.ReadLine(line, 60s);
  });
  EXPECT_EQ(read.wait_for(100ms), std::future_status::timeout);  // nothing sent: it waits
  client_.Interrupt();
  ASSERT_EQ(read.wait_for(10s), std::future_status::ready);
  EXPECT_FALSE(read.get());
}

// Names go through the bounded lookup; the same socket resolves again after a failure.
TEST(TcpLineSocketConnectTest, NamesResolveAndReconnect) {
  uint16_t port = 0;
  const int listener = test::LoopbackListener(port);
  ASSERT_NE(port, 0);
  TcpLineSocket s;
  for (int round = 0; round < 3; ++round) {
    EXPECT_TRUE(s.Connect("localhost", port, 2s)) << round;
    EXPECT_FALSE(s.Connect("no-such-host.invalid", 4532, 500ms)) << round;
  }
  close(listener);
}

TEST(TcpLineSocketConnectTest, RefusedAndUnknownHosts) {
  TcpLineSocket s;
  EXPECT_FALSE(s.Connect("127.0.0.1", 1, 500ms));  // nothing listens on port 1
  EXPECT_FALSE(s.Connect("no-such-host.invalid", 4532, 500ms));
  EXPECT_FALSE(s.IsOpen());
}

}  // namespace
}  // namespace vestrel
