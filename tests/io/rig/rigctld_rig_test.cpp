// ctest-labels: interop tsan
#include "io/rig/rigctld_rig.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "io/rig/rig_params.h"
#include "io/rig/rigctld_server.h"
#include "platform/tcp_line_socket.h"
#include "support/child_process.h"
#include "support/loopback_listener.h"
#include "support/rigctld_daemon.h"

namespace vestrel {
namespace {

using namespace std::chrono_literals;

using test::Eventually;
using test::FreeLoopbackPort;

int OpenFileCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++n;
    closedir(d);
  }
  return n;
}

constexpr RigctldTiming kFast{50ms, 2000ms, 500ms, 100ms};

// A dummy rig (hamlib model 1) behind a real rigctld on a free loopback port, with PTT by
// CAT command so that the daemon keeps the PTT state.
class RigctldRigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int attempt = 0; attempt < 3 && !daemon_; ++attempt) {
      port_ = FreeLoopbackPort();
      StartDaemon();
    }
    ASSERT_TRUE(daemon_) << "rigctld did not start";
  }

  bool StartDaemon() {
    daemon_ = test::StartRigctld(port_, vfoMode_, pttByCat_);
    return daemon_ != nullptr;
  }

  RigctldEndpoint Endpoint() const { return {"127.0.0.1", port_}; }

  // Waits until a rig object is online with its capabilities and first state read.
  static bool Online(RigctldRig& rig) {
    return Eventually([&rig] {
      const RigValue mode = rig.Mode();
      return rig.LinkState() == RigctldRig::Link::kOnline && mode.Ok() && mode.value != kPmUnknown &&
             rig.ReadableParams().value != kPmUnknown;
    });
  }

  // Waits until `read` of a second, independent connection gives `want`: the value has
  // reached the rig, not only this object's cache.
  bool RigShows(RigValue (Rig::*read)(), int64_t want) {
    if (!observer_) {
      observer_ = std::make_unique<RigctldRig>(Endpoint(), kFast);
      if (!Online(*observer_)) return false;
    }
    return Eventually([&] {
      const RigValue v = ((*observer_).*read)();
      return v.Ok() && v.value == want;
    });
  }

  bool vfoMode_ = false;  // daemon started with --vfo: every command names its VFO
  bool pttByCat_ = true;  // false: the daemon has no PTT and refuses every keying
  uint16_t port_ = 0;
  std::unique_ptr<test::ChildProcess> daemon_;
  std::unique_ptr<RigctldRig> observer_;
};

TEST_F(RigctldRigTest, DummyRigCapabilitiesBecomeKnown) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  const auto readable = static_cast<uint32_t>(rig.ReadableParams().value);
  const auto writeable = static_cast<uint32_t>(rig.WriteableParams().value);
  const uint32_t both = kPmFreq | kPmFreqA | kPmFreqB | kPmRitOffset | kPmVfoAA | kPmVfoAB | kPmVfoBA |
                        kPmVfoBB | kPmSplitOn | kPmSplitOff | kPmRitOn | kPmRitOff | kPmRx | kPmTx | kPmSsbU |
                        kPmSsbL | kPmCwU | kPmCwL | kPmDigU | kPmDigL | kPmAm | kPmFm;
  EXPECT_EQ(readable & both, both);
  EXPECT_EQ(writeable & both, both);
  EXPECT_NE(writeable & (kPmVfoA | kPmVfoB | kPmVfoSwap), 0u);
  EXPECT_EQ(readable & kPmUnknown, 0u);
  EXPECT_EQ(rig.Mode().value, kPmFm);  // the dummy starts in FM
  EXPECT_EQ(rig.Vfo().value, kPmVfoAA);
  EXPECT_EQ(rig.Tx().value, kPmRx);
}

TEST_F(RigctldRigTest, FrequenciesOfBothVfos) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  ASSERT_EQ(rig.SetFreqA(7'040'000), RigStatus::kOk);
  ASSERT_EQ(rig.SetFreqB(7'045'500), RigStatus::kOk);
  // The cache shows a write at once; the rig shows it once the poller has sent it.
  EXPECT_EQ(rig.FreqA().value, 7'040'000);
  EXPECT_EQ(rig.FreqB().value, 7'045'500);
  EXPECT_EQ(rig.Freq().value, 7'040'000);  // VFO A receives
  EXPECT_TRUE(RigShows(&Rig::FreqA, 7'040'000));
  EXPECT_TRUE(RigShows(&Rig::FreqB, 7'045'500));
  EXPECT_TRUE(RigShows(&Rig::Freq, 7'040'000));
  EXPECT_TRUE(RigShows(&Rig::Vfo, kPmVfoAA));  // writing B went there and back

  ASSERT_EQ(rig.SetFreq(14'070'000), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::FreqA, 14'070'000));
  EXPECT_EQ(rig.SetFreq(0), RigStatus::kInvalidValue);
  EXPECT_EQ(rig.SetFreq(-5), RigStatus::kInvalidValue);
}

TEST_F(RigctldRigTest, SplitOnAndOff) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  ASSERT_EQ(rig.SetSplit(kPmSplitOn), RigStatus::kOk);
  EXPECT_EQ(rig.Split().value, kPmSplitOn);
  EXPECT_TRUE(RigShows(&Rig::Split, kPmSplitOn));
  EXPECT_TRUE(RigShows(&Rig::Vfo, kPmVfoAB));
  ASSERT_EQ(rig.SetSplit(kPmSplitOff), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Split, kPmSplitOff));
  EXPECT_TRUE(RigShows(&Rig::Vfo, kPmVfoAA));
  EXPECT_EQ(rig.SetSplit(kPmSplitOn | kPmSplitOff), RigStatus::kInvalidValue);

  // Receive on B, transmit on A, and back.
  ASSERT_EQ(rig.SetVfo(kPmVfoBA), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Vfo, kPmVfoBA));
  ASSERT_EQ(rig.SetVfo(kPmVfoAA), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Vfo, kPmVfoAA));
}

// The split transmit frequency as the client sets it on a rig that has only Freq and a VFO
// swap: split off, swap, write, swap back, split on.
TEST_F(RigctldRigTest, SwapWriteSwapReachesTheOtherVfo) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  ASSERT_EQ(rig.SetFreqA(3'580'000), RigStatus::kOk);
  ASSERT_EQ(rig.SetFreqB(3'590'000), RigStatus::kOk);
  ASSERT_EQ(rig.SetSplit(kPmSplitOff), RigStatus::kOk);
  ASSERT_EQ(rig.SetVfo(kPmVfoSwap), RigStatus::kOk);
  ASSERT_EQ(rig.SetFreq(3'581'000), RigStatus::kOk);
  ASSERT_EQ(rig.SetVfo(kPmVfoSwap), RigStatus::kOk);
  ASSERT_EQ(rig.SetSplit(kPmSplitOn), RigStatus::kOk);
  EXPECT_EQ(rig.FreqB().value, 3'581'000);
  EXPECT_EQ(rig.Freq().value, 3'580'000);
  EXPECT_TRUE(RigShows(&Rig::FreqB, 3'581'000));
  EXPECT_TRUE(RigShows(&Rig::FreqA, 3'580'000));
  EXPECT_TRUE(RigShows(&Rig::Split, kPmSplitOn));
}

TEST_F(RigctldRigTest, RitOnOffsetAndClear) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  EXPECT_EQ(rig.Rit().value, kPmRitOff);
  ASSERT_EQ(rig.SetRit(kPmRitOn), RigStatus::kOk);
  ASSERT_EQ(rig.SetRitOffset(-120), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Rit, kPmRitOn));
  EXPECT_TRUE(RigShows(&Rig::RitOffset, -120));
  ASSERT_EQ(rig.ClearRit(), RigStatus::kOk);
  EXPECT_EQ(rig.RitOffset().value, 0);
  EXPECT_TRUE(RigShows(&Rig::RitOffset, 0));
  ASSERT_EQ(rig.SetRit(kPmRitOff), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Rit, kPmRitOff));
}

TEST_F(RigctldRigTest, PttOnAndOff) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  ASSERT_EQ(rig.SetTx(kPmTx), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Tx, kPmTx));
  ASSERT_EQ(rig.SetTx(kPmRx), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Tx, kPmRx));
  EXPECT_EQ(rig.SetTx(1), RigStatus::kInvalidValue);
}

TEST_F(RigctldRigTest, ModesByTheirBits) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  for (uint32_t mode : {kPmSsbL, kPmSsbU, kPmCwL, kPmCwU, kPmDigL, kPmDigU, kPmAm, kPmFm}) {
    ASSERT_EQ(rig.SetMode(mode), RigStatus::kOk) << std::hex << mode;
    EXPECT_EQ(rig.Mode().value, mode);
    EXPECT_TRUE(RigShows(&Rig::Mode, mode)) << std::hex << mode;
  }
  EXPECT_EQ(rig.SetMode(kPmSsbL | kPmSsbU), RigStatus::kInvalidValue);
  EXPECT_EQ(rig.SetMode(kPmFreq), RigStatus::kInvalidValue);
}

TEST_F(RigctldRigTest, WritesReachTheRigInOrder) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  for (int64_t f = 10'100'000; f <= 10'100'900; f += 100) ASSERT_EQ(rig.SetFreq(f), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Freq, 10'100'900));
  // Nothing older overtakes the last write later.
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(rig.Freq().value, 10'100'900);
}

TEST_F(RigctldRigTest, LostDaemonGivesServerErrorsAndTheLinkComesBack) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  ASSERT_TRUE(RigShows(&Rig::Tx, kPmRx));  // the observer's connection is up as well
  const int filesOnline = OpenFileCount();

  daemon_->Kill();
  EXPECT_TRUE(Eventually([&] { return rig.Mode().status == RigStatus::kServerError; }));
  EXPECT_EQ(rig.LinkState(), RigctldRig::Link::kOffline);
  EXPECT_EQ(rig.Freq().status, RigStatus::kServerError);
  EXPECT_EQ(rig.ReadableParams().status, RigStatus::kServerError);
  EXPECT_EQ(rig.SetTx(kPmTx), RigStatus::kServerError);

  ASSERT_TRUE(StartDaemon());
  ASSERT_TRUE(Online(rig));
  EXPECT_EQ(rig.SetFreqA(21'080'000), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::FreqA, 21'080'000));
  // Both objects re-opened; the old connections were closed, not left behind.
  EXPECT_EQ(OpenFileCount(), filesOnline);
}

class RigctldVfoModeTest : public RigctldRigTest {
 protected:
  RigctldVfoModeTest() { vfoMode_ = true; }
};

TEST_F(RigctldVfoModeTest, VfosSplitAndPttByName) {
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  const auto readable = static_cast<uint32_t>(rig.ReadableParams().value);
  EXPECT_EQ(readable & (kPmFreqA | kPmFreqB), kPmFreqA | kPmFreqB);
  ASSERT_EQ(rig.SetFreqA(1'838'000), RigStatus::kOk);
  ASSERT_EQ(rig.SetFreqB(1'840'000), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::FreqA, 1'838'000));
  EXPECT_TRUE(RigShows(&Rig::FreqB, 1'840'000));
  ASSERT_EQ(rig.SetSplit(kPmSplitOn), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Vfo, kPmVfoAB));
  ASSERT_EQ(rig.SetTx(kPmTx), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Tx, kPmTx));
  ASSERT_EQ(rig.SetTx(kPmRx), RigStatus::kOk);
  EXPECT_TRUE(RigShows(&Rig::Tx, kPmRx));
}

// Stands between the rig object and the daemon and adds one stray "RPRT 0" record after
// the daemon's first reply to `after`, as a daemon does that answers a command twice. With
// `refuseAboveHz`, it answers a frequency write above that itself, as a rig's daemon does
// that cannot tune there: "set_freq: <hz>", "RPRT -9" (rejected by the rig).
class StrayRecordProxy {
 public:
  StrayRecordProxy(uint16_t daemonPort, std::string after, int64_t refuseAboveHz = 0)
      : daemonPort_(daemonPort), after_(std::move(after)), refuseAboveHz_(refuseAboveHz) {
    listen_ = test::LoopbackListener(port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StrayRecordProxy() {
    stop_ = true;
    thread_.join();
    close(listen_);
  }
  uint16_t Port() const { return port_; }
  bool Injected() const { return injected_; }

 private:
  void Serve() {
    int client = -1;
    TcpLineSocket daemon;
    std::string fromClient, lastCommand;
    while (!stop_) {
      if (client < 0) {
        pollfd p{listen_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0 || !daemon.Connect("127.0.0.1", daemonPort_, 5000ms)) break;
        continue;
      }
      pollfd p{client, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char buf[4096];
      const ssize_t n = recv(client, buf, sizeof buf, 0);
      if (n <= 0) break;
      fromClient.append(buf, static_cast<size_t>(n));
      // One command at a time: the rig object waits for each reply.
      for (size_t eol; (eol = fromClient.find('\n')) != std::string::npos;) {
        const std::string command = fromClient.substr(0, eol);
        fromClient.erase(0, eol + 1);
        if (refuseAboveHz_ != 0 && command.rfind("+F ", 0) == 0 &&
            std::stoll(command.substr(3)) > refuseAboveHz_) {
          const std::string refusal = "set_freq: " + command.substr(3) + "\nRPRT -9\n";
          if (send(client, refusal.data(), refusal.size(), MSG_NOSIGNAL) < 0) break;
          continue;
        }
        if (!daemon.WriteAll(command + "\n", 5000ms)) {
          stop_ = true;
          break;
        }
        std::string reply;
        for (std::string line; reply.find("RPRT") == std::string::npos || command[0] != '+';) {
          if (!daemon.ReadLine(line, 10000ms)) break;
          reply += line + "\n";
          if (command[0] != '+') break;  // the one-line answer of \chk_vfo
        }
        if (command == after_ && !injected_) {
          reply += "RPRT 0\n";
          injected_ = true;
        }
        if (send(client, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) break;
      }
    }
    if (client >= 0) close(client);
  }

  const uint16_t daemonPort_;
  const std::string after_;
  const int64_t refuseAboveHz_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false}, injected_{false};
  std::thread thread_;
};

// Left in the stream, a stray record would pair every later command with the reply to the
// one before: VFO B's frequency would read VFO A's, the mode VFO B's, for good.
TEST_F(RigctldRigTest, StrayRecordDoesNotShiftLaterReplies) {
  {
    RigctldRig setter(Endpoint(), kFast);
    ASSERT_TRUE(Online(setter));
    ASSERT_EQ(setter.SetFreqA(7'040'000), RigStatus::kOk);
    ASSERT_EQ(setter.SetFreqB(10'140'000), RigStatus::kOk);
    ASSERT_EQ(setter.SetMode(kPmSsbU), RigStatus::kOk);
    ASSERT_TRUE(RigShows(&Rig::FreqB, 10'140'000));
    ASSERT_TRUE(RigShows(&Rig::Mode, kPmSsbU));
  }
  for (const char* after : {"+v", "+\\dump_caps", "+s"}) {
    StrayRecordProxy proxy(port_, after);
    ASSERT_NE(proxy.Port(), 0);
    // The proxy serves one connection only, so the rig must not time out and reconnect on a
    // loaded machine: a patient reply time-out.
    RigctldRig rig({"127.0.0.1", proxy.Port()}, {50ms, 10000ms, 5000ms, 100ms});
    EXPECT_TRUE(Eventually([&] {
      return proxy.Injected() && rig.FreqA().value == 7'040'000 && rig.FreqB().value == 10'140'000 &&
             rig.Mode().value == kPmSsbU && rig.Vfo().value == kPmVfoAA;
    })) << after
        << ": A " << rig.FreqA().value << " B " << rig.FreqB().value << " mode " << std::hex
        << rig.Mode().value;
  }
}

// A frequency the rig's daemon refuses is reported once, with its answer, and again only
// after a frequency write has gone through.
TEST_F(RigctldRigTest, RefusedFrequencyIsReportedOnceUntilOneGoesThrough) {
  StrayRecordProxy proxy(port_, "", 30'000'000);
  ASSERT_NE(proxy.Port(), 0);
  RigctldRig rig({"127.0.0.1", proxy.Port()}, {50ms, 10000ms, 5000ms, 100ms});
  ASSERT_TRUE(Online(rig));
  // A write the daemon takes, after the ones under test, shows they have all been sent.
  auto sentUpTo = [&](int64_t mode) {
    return rig.SetMode(mode) == RigStatus::kOk && RigShows(&Rig::Mode, mode);
  };

  ASSERT_EQ(rig.SetFreq(50'000'000), RigStatus::kOk);
  ASSERT_EQ(rig.SetFreq(52'000'000), RigStatus::kOk);
  ASSERT_TRUE(sentUpTo(kPmSsbU));
  std::optional<RigRefusal> refusal = rig.TakeRefusal();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->param, RigRefusal::Param::kFreq);
  EXPECT_EQ(refusal->answer, "set_freq: 50000000 RPRT -9");
  EXPECT_FALSE(rig.TakeRefusal());

  ASSERT_EQ(rig.SetFreq(14'070'000), RigStatus::kOk);
  ASSERT_TRUE(RigShows(&Rig::Freq, 14'070'000));
  ASSERT_EQ(rig.SetFreq(54'000'000), RigStatus::kOk);
  ASSERT_TRUE(sentUpTo(kPmSsbL));
  refusal = rig.TakeRefusal();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->answer, "set_freq: 54000000 RPRT -9");
  EXPECT_FALSE(rig.KeyRefused());
}

// rigctld started without a PTT (-P) answers every keying with RPRT -1: said once, and the
// rig is known not to be keyed for as long as each keying lasts.
TEST_F(RigctldRigTest, KeyingADaemonWithoutPttIsRefused) {
  daemon_.reset();
  pttByCat_ = false;
  ASSERT_TRUE(StartDaemon());
  RigctldRig rig(Endpoint(), kFast);
  ASSERT_TRUE(Online(rig));
  ASSERT_EQ(rig.SetTx(kPmTx), RigStatus::kOk);
  ASSERT_TRUE(Eventually([&] { return rig.KeyRefused(); }));
  const std::optional<RigRefusal> refusal = rig.TakeRefusal();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->param, RigRefusal::Param::kTx);
  EXPECT_EQ(refusal->answer, "set_ptt: 1 RPRT -1");
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(rig.SetTx(kPmRx), RigStatus::kOk);
    ASSERT_TRUE(Eventually([&] { return !rig.KeyRefused(); })) << round;
    ASSERT_EQ(rig.SetTx(kPmTx), RigStatus::kOk);
    ASSERT_TRUE(Eventually([&] { return rig.KeyRefused(); })) << round;
  }
  EXPECT_FALSE(rig.TakeRefusal());
}

// The capability dumps of real backends, as the daemon's own tool prints them: the dummy's
// VFOs are targetable, the FT-817's (model 1020) are not, so only the dummy's A and B are
// polled; both can still be written.
TEST(RigctldRealDumpTest, OtherVfoReadOnlyWhereTargetable) {
  struct Row {
    const char* model;
    bool readsAB;
  };
  for (const Row& row : {Row{"1", true}, Row{"1020", false}}) {
    const auto dump = test::RunProgram({"rigctl", "-m", row.model, "--dump-caps"});
    ASSERT_EQ(dump.status, 0) << row.model;
    const RigctldCaps caps = ParseDumpCaps(dump.out);
    EXPECT_EQ(caps.targetableVfo, row.readsAB) << row.model;
    const RigParamMasks m = BuildParamMasks(caps, {false, true});
    EXPECT_EQ((m.readable & kPmFreqA) != 0, row.readsAB) << row.model;
    EXPECT_NE(m.readable & kPmFreq, 0u) << row.model;
    EXPECT_NE(m.writeable & kPmFreqB, 0u) << row.model;
  }
}

// A daemon gone wrong: it accepts, then answers in one of several broken ways.
class BrokenDaemon {
 public:
  enum class Way { kSilent, kEndlessLines, kHugeLine, kHangUp, kLongLines };
  explicit BrokenDaemon(Way way) : way_(way) {
    listen_ = test::LoopbackListener(port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~BrokenDaemon() {
    stop_ = true;
    thread_.join();
    close(listen_);
  }
  uint16_t Port() const { return port_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const int c = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (c < 0) continue;
      const std::string junk = way_ == Way::kHugeLine    ? std::string(8192, 'x')
                               : way_ == Way::kLongLines ? std::string(60000, 'x') + "\n"
                                                         : "Frequency: junk\n";
      while (!stop_ && way_ != Way::kHangUp) {
        char buf[256];
        [[maybe_unused]] ssize_t n = recv(c, buf, sizeof buf, 0);
        if (way_ == Way::kSilent) {
          std::this_thread::sleep_for(5ms);
          continue;
        }
        if (way_ == Way::kLongLines) {
          // Whole lines only: a partial send would run two lines together past the limit.
          if (!SendAll(c, junk)) break;
          continue;
        }
        if (send(c, junk.data(), junk.size(), MSG_NOSIGNAL) < 0 && errno != EAGAIN) break;
        std::this_thread::sleep_for(1ms);
      }
      close(c);
    }
  }

  bool SendAll(int c, std::string_view data) {
    while (!data.empty() && !stop_) {
      const ssize_t n = send(c, data.data(), data.size(), MSG_NOSIGNAL);
      if (n > 0) {
        data.remove_prefix(static_cast<size_t>(n));
      } else if (n < 0 && errno == EAGAIN) {
        pollfd p{c, POLLOUT, 0};
        poll(&p, 1, 20);
      } else {
        return false;
      }
    }
    return data.empty();
  }

  const Way way_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(RigctldBrokenDaemonTest, BrokenRepliesCountAsALostLink) {
  const RigctldTiming timing{50ms, 300ms, 300ms, 50ms};
  for (auto way : {BrokenDaemon::Way::kSilent, BrokenDaemon::Way::kEndlessLines, BrokenDaemon::Way::kHugeLine,
                   BrokenDaemon::Way::kHangUp}) {
    BrokenDaemon daemon(way);
    ASSERT_NE(daemon.Port(), 0);
    RigctldRig rig({"127.0.0.1", daemon.Port()}, timing);
    EXPECT_TRUE(Eventually([&] { return rig.LinkState() == RigctldRig::Link::kOffline; }))
        << static_cast<int>(way);
    EXPECT_EQ(rig.Freq().status, RigStatus::kServerError);
    // Leaving the scope stops the poller, whatever it was waiting on.
  }
}

// Lines just under the line limit, as fast as loopback carries them, within a long reply
// time-out: a reply is capped at 1 MB of text, so the link is dropped holding a few MB at
// most; the line count alone (5000) would let it hold 5000 x 60 kB = 300 MB.
TEST(RigctldBrokenDaemonTest, LongLinesWithoutEndAreCutShort) {
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  {
    BrokenDaemon daemon(BrokenDaemon::Way::kLongLines);
    ASSERT_NE(daemon.Port(), 0);
    RigctldRig rig({"127.0.0.1", daemon.Port()}, {50ms, 5000ms, 300ms, 5000ms});
    EXPECT_TRUE(Eventually([&] { return rig.LinkState() == RigctldRig::Link::kOffline; }, 15s));
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kB";
}

TEST(RigctldUnreachableTest, EveryCallFailsCleanly) {
  const uint16_t port = FreeLoopbackPort();  // nothing listens there
  RigctldServer server({{"127.0.0.1", port}, {"127.0.0.1", port}, kFast});
  Rig& rig = server.Rig1();
  auto& concrete = static_cast<RigctldRig&>(rig);
  ASSERT_TRUE(Eventually([&] { return concrete.LinkState() == RigctldRig::Link::kOffline; }));
  EXPECT_EQ(rig.Mode().status, RigStatus::kServerError);
  EXPECT_EQ(rig.WriteableParams().status, RigStatus::kServerError);
  EXPECT_EQ(rig.SetFreq(7'000'000), RigStatus::kServerError);
  EXPECT_EQ(rig.GetPortBits().SetRts(true), RigStatus::kNotSupported);
  EXPECT_EQ(rig.GetPortBits().SetDtr(false), RigStatus::kNotSupported);
  EXPECT_EQ(server.SetDialogVisible(true), RigStatus::kNotSupported);
  EXPECT_NE(&server.Rig2(), &server.Rig1());
}

}  // namespace
}  // namespace vestrel
