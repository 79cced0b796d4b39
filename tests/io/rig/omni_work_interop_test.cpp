// ctest-labels: interop tsan
// The rig-control client against a real rigctld with the dummy rig; every result is read back
// through a second, independent connection to the daemon.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "engine/engine.h"
#include "io/rig/omni_work.h"
#include "io/rig/rig_params.h"
#include "io/rig/rigctld_server.h"
#include "support/fake_engine_window.h"
#include "support/fake_rig_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_sound_links.h"
#include "support/rigctld_daemon.h"

namespace vestrel {
namespace {

using namespace std::chrono_literals;
using test::Eventually;

constexpr RigctldTiming kFast{50ms, 2000ms, 500ms, 100ms};

class OmniWorkInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int attempt = 0; attempt < 3 && !daemon_; ++attempt) {
      port_ = test::FreeLoopbackPort();
      daemon_ = test::StartRigctld(port_);
    }
    ASSERT_TRUE(daemon_) << "rigctld did not start";
    observer_ = std::make_unique<RigctldRig>(RigctldEndpoint{"127.0.0.1", port_}, kFast);
    ASSERT_TRUE(Online(*observer_));
    // The signal 100 Hz above the transmit tones (see omni_work_test.cpp).
    engine_.params.RxTone[0] = 5350 - 252;
    engine_.params.RxTone[1] = 5350 + 252;
    engine_.params.TxTone[0] = 5053 - 252;
    engine_.params.TxTone[1] = 5053 + 252;
    // The waits are real: the daemon answers on its own time.
    window_.onWait = [this] { std::this_thread::sleep_for(window_.waits.back()); };
  }

  static bool Online(RigctldRig& rig) {
    return Eventually([&rig] {
      const RigValue mode = rig.Mode();
      return rig.LinkState() == RigctldRig::Link::kOnline && mode.Ok() && mode.value != kPmUnknown &&
             rig.FreqA().value != 0;
    });
  }

  // The client over a server at `port` (the daemon's, or a proxy's).
  void MakeWork(uint16_t port) {
    server_ =
        std::make_unique<RigctldServer>(RigctldSettings{{"127.0.0.1", port}, {"127.0.0.1", port}, kFast});
    work_ = std::make_unique<TOmniWork>(
        settings_, ports_, engine_.params, engine_.rates, engine_.rxBlocks,
        TOmniWork::Links{&window_, &boxes_, [this]() -> RigServer& { return *server_; }});
  }

  // The rig as the second connection sees it.
  bool RigShows(RigValue (Rig::*read)(), int64_t want) {
    return Eventually([&] {
      const RigValue v = ((*observer_).*read)();
      return v.Ok() && v.value == want;
    });
  }
  // Waits until the client's own cache has caught up with the rig.
  bool ClientSees(RigValue (Rig::*read)(), int64_t want) {
    Rig& rig = server_->Rig1();
    return Eventually([&] {
      const RigValue v = (rig.*read)();
      return v.Ok() && v.value == want;
    });
  }

  uint16_t port_ = 0;
  std::unique_ptr<test::ChildProcess> daemon_;
  std::unique_ptr<RigctldRig> observer_;
  test::FakeEngineWindow engineWindow_;
  test::FakeRxSink sink_;
  TEngine engine_{engineWindow_, sink_};
  RigControlSettings settings_;
  KeyingPortSettings ports_;
  test::FakeRigWindow window_;
  test::RecordingMessageBox boxes_;
  std::unique_ptr<RigctldServer> server_;
  std::unique_ptr<TOmniWork> work_;
};

TEST_F(OmniWorkInteropTest, RitTuningSetsRitOnWithTheOffset) {
  ASSERT_EQ(observer_->SetMode(kPmSsbU), RigStatus::kOk);
  ASSERT_TRUE(RigShows(&Rig::Mode, kPmSsbU));
  MakeWork(port_);
  settings_.TuneRig = 1;
  work_->StartRigControl();
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown[0].second;
  ASSERT_EQ(settings_.TuneRig, 1);
  EXPECT_EQ(window_.panel, "RIT");
  ASSERT_TRUE(ClientSees(&Rig::Rit, kPmRitOff));
  ASSERT_EQ(work_->QsyToSignal(1), TOmniWork::kDone);
  EXPECT_TRUE(RigShows(&Rig::Rit, kPmRitOn));
  EXPECT_TRUE(RigShows(&Rig::RitOffset, 100));
}

TEST_F(OmniWorkInteropTest, VfoTuningMovesVfoA) {
  ASSERT_EQ(observer_->SetMode(kPmDigU), RigStatus::kOk);
  ASSERT_EQ(observer_->SetFreqA(14'070'000), RigStatus::kOk);
  ASSERT_TRUE(RigShows(&Rig::FreqA, 14'070'000));
  MakeWork(port_);
  settings_.TuneRig = 2;
  work_->StartRigControl();
  ASSERT_EQ(settings_.TuneRig, 2);
  ASSERT_TRUE(ClientSees(&Rig::FreqA, 14'070'000));
  ASSERT_EQ(work_->QsyToSignal(2), TOmniWork::kDone);
  EXPECT_TRUE(RigShows(&Rig::FreqA, 14'070'100));
  // In a lower-sideband mode the rig moves the other way.
  ASSERT_EQ(observer_->SetMode(kPmDigL), RigStatus::kOk);
  ASSERT_TRUE(ClientSees(&Rig::Mode, kPmDigL));
  ASSERT_EQ(work_->ShiftFrequency(2, 60), TOmniWork::kDone);
  EXPECT_TRUE(RigShows(&Rig::FreqA, 14'070'040));
}

// VFO B follows A plus 1000 Hz: at the start, and after a change made at the rig once the dial
// has settled, never while it moves.
TEST_F(OmniWorkInteropTest, SplitFollowsASettledDial) {
  ASSERT_EQ(observer_->SetFreqA(7'040'000), RigStatus::kOk);
  ASSERT_TRUE(RigShows(&Rig::FreqA, 7'040'000));
  MakeWork(port_);
  settings_.TuneVFOBtoA = 1;
  settings_.VFOBoffset = 1000;
  work_->StartRigControl();
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown[0].second;
  ASSERT_EQ(settings_.TuneVFOBtoA, 1);
  EXPECT_TRUE(RigShows(&Rig::FreqB, 7'041'000));

  int64_t f = 7'040'000;
  for (int poll = 0; poll < 5; ++poll) {
    f += 30;
    ASSERT_EQ(observer_->SetFreqA(f), RigStatus::kOk);
    ASSERT_TRUE(ClientSees(&Rig::FreqA, f));
    work_->EverySecond();
  }
  ASSERT_TRUE(RigShows(&Rig::FreqB, 7'041'000));
  std::this_thread::sleep_for(200ms);  // anything sent would have arrived by now
  EXPECT_EQ(observer_->FreqB().value, 7'041'000);
  work_->EverySecond();  // settled 150 Hz away
  EXPECT_TRUE(RigShows(&Rig::FreqB, f + 1000));
}

TEST_F(OmniWorkInteropTest, CatKeyingKeysAndUnkeys) {
  MakeWork(port_);
  ports_.PttPortType = 5;
  work_->OpenPttRig();
  ASSERT_EQ(work_->PttState(), 3);
  ASSERT_EQ(work_->SetPtt(true), 0);
  EXPECT_TRUE(RigShows(&Rig::Tx, kPmTx));
  ASSERT_EQ(work_->SetPtt(false), 0);
  EXPECT_TRUE(RigShows(&Rig::Tx, kPmRx));
  EXPECT_TRUE(Eventually([&] {
    work_->EverySecond();
    return !work_->UnkeyOwed();
  }));
}

// The link goes while the rig is keyed and comes back with the daemon still keying it: the
// unkey is sent again until the rig is unkeyed.
TEST_F(OmniWorkInteropTest, LinkCutWhileKeyedEndsUnkeyed) {
  test::LinkProxy proxy(port_);
  ASSERT_NE(proxy.Port(), 0);
  MakeWork(proxy.Port());
  ports_.PttPortType = 5;
  work_->OpenPttRig();
  ASSERT_TRUE(ClientSees(&Rig::Tx, kPmRx));
  ASSERT_EQ(work_->SetPtt(true), 0);
  ASSERT_TRUE(RigShows(&Rig::Tx, kPmTx));

  proxy.Cut();
  ASSERT_TRUE(Eventually([&] { return server_->Rig1().Tx().status == RigStatus::kServerError; }));
  work_->SetPtt(false);
  for (int s = 0; s < 3; ++s) work_->EverySecond();
  EXPECT_TRUE(work_->UnkeyOwed());
  EXPECT_EQ(observer_->Tx().value, kPmTx);  // the daemon keeps the rig keyed

  proxy.Restore();
  EXPECT_TRUE(Eventually([&] {
    work_->EverySecond();
    std::this_thread::sleep_for(100ms);
    return !work_->UnkeyOwed();
  }));
  EXPECT_TRUE(RigShows(&Rig::Tx, kPmRx));
  EXPECT_EQ(work_->PttState(), 3);
}

TEST(OmniWorkNoDaemonTest, ProblemWithStarting) {
  test::FakeEngineWindow engineWindow;
  test::FakeRxSink sink;
  TEngine engine{engineWindow, sink};
  RigControlSettings settings;
  KeyingPortSettings ports;
  test::FakeRigWindow window;
  window.onWait = [&window] { std::this_thread::sleep_for(window.waits.back()); };
  test::RecordingMessageBox boxes;
  const uint16_t port = test::FreeLoopbackPort();  // nothing listens there
  RigctldServer server({{"127.0.0.1", port}, {"127.0.0.1", port}, kFast});
  TOmniWork work(settings, ports, engine.params, engine.rates, engine.rxBlocks,
                 {&window, &boxes, [&server]() -> RigServer& { return server; }});
  settings.TuneRig = 2;
  settings.TuneVFOBtoA = 1;
  work.StartRigControl();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0],
            (std::pair<std::string, std::string>{"OmniRig Error", "Problem with OmniRig starting!"}));
  EXPECT_EQ(settings.TuneRig, 0);
  EXPECT_EQ(settings.TuneVFOBtoA, 0);
  EXPECT_EQ(window.panel, "");
}

}  // namespace
}  // namespace vestrel
