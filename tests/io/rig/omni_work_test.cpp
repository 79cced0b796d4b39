#include "io/rig/omni_work.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "io/rig/rig_params.h"
#include "support/fake_engine_window.h"
#include "support/fake_rig_server.h"
#include "support/fake_rig_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_sound_links.h"

namespace vestrel {
namespace {

using Writes = std::vector<std::pair<std::string, int64_t>>;
using test::FakeRig;

// Receive centre 5350 units (1800.0 Hz), transmit centre 5053 units (1700.1 Hz) at 11025
// samples/s: the signal lies d = 100 Hz above the transmit tones, e = round(100 x 32768 /
// 11025) = 297 units, n = (297 + 8) / 16 = 19 bins.
constexpr int32_t kRxCentre = 5350, kTxCentre = 5053, kHalf = 252;
constexpr int kD = 100, kE = 297, kBins = 19;

class OmniWorkTest : public ::testing::Test {
 public:
  OmniWorkTest() {
    engine_.params.RxTone[0] = kRxCentre - kHalf;
    engine_.params.RxTone[1] = kRxCentre + kHalf;
    engine_.params.TxTone[0] = kTxCentre - kHalf;
    engine_.params.TxTone[1] = kTxCentre + kHalf;
    work_.readGap = work_.startModeGap = std::chrono::milliseconds(0);
  }

  FakeRig& rig() { return server_.rig1; }
  Writes TakeWrites() { return std::exchange(rig().writes, {}); }
  // Connected to rig 1 with the fake's masks.
  void Connect() {
    ASSERT_EQ(work_.OpenTuneRig(), 3);
    rig().writes.clear();
  }

  test::FakeEngineWindow engineWindow_;
  test::FakeRxSink sink_;
  TEngine engine_{engineWindow_, sink_};
  RigControlSettings settings_;
  KeyingPortSettings ports_;
  test::FakeRigServer server_;
  int serversMade_ = 0;
  test::FakeRigWindow window_;
  test::RecordingMessageBox boxes_;
  TOmniWork work_{settings_,
                  ports_,
                  engine_.params,
                  engine_.rates,
                  engine_.rxBlocks,
                  TOmniWork::Links{&window_, &boxes_, [this]() -> RigServer& {
                                     ++serversMade_;
                                     return server_;
                                   }}};
};

// Every result code, through click-to-tune and through the wheel's shift alike.
TEST_F(OmniWorkTest, ResultCodes) {
  struct Case {
    const char* name;
    int kind;
    std::function<void(OmniWorkTest&)> arrange;
    int result;
  };
  const Case cases[] = {
      {"kind 0", 0, [](OmniWorkTest&) {}, TOmniWork::kOff},
      {"not connected", 1,
       [](OmniWorkTest& t) {
         t.settings_.RigNumber = 3;
         t.work_.OpenTuneRig();
       },
       TOmniWork::kNotConnected},
      {"Mode unknown after 3 reads", 1, [](OmniWorkTest& t) { t.rig().modeUnknownReads = 3; },
       TOmniWork::kModeUnknown},
      {"Rit unknown", 1, [](OmniWorkTest& t) { t.rig().rit = kPmUnknown; }, TOmniWork::kRitUnknown},
      {"kind 3", 3, [](OmniWorkTest&) {}, TOmniWork::kBadKind},
      {"Vfo unknown", 2, [](OmniWorkTest& t) { t.rig().vfo = kPmUnknown; }, TOmniWork::kVfoUnknown},
      {"no frequency to tune", 2,
       [](OmniWorkTest& t) {
         t.rig().readable &= ~(kPmFreq | kPmFreqA | kPmFreqB);
         t.work_.OpenTuneRig();
       },
       TOmniWork::kUnsupported},
      {"FreqA not known yet", 2, [](OmniWorkTest& t) { t.rig().freqA = 0; }, TOmniWork::kFreqUnknown},
      {"Freq not known yet", 2,
       [](OmniWorkTest& t) {
         t.rig().readable &= ~(kPmFreqA | kPmFreqB);
         t.work_.OpenTuneRig();
         t.rig().freq = 0;
       },
       TOmniWork::kFreqUnknown},
      {"server lost", 1, [](OmniWorkTest& t) { t.rig().fail = RigStatus::kServerError; },
       TOmniWork::kNotConnected},
  };
  for (const bool qsy : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (qsy ? " (QsyToSignal)" : " (ShiftFrequency)"));
      rig() = FakeRig{};
      settings_.RigNumber = 1;
      Connect();
      c.arrange(*this);
      rig().writes.clear();
      const int32_t tone = engine_.params.RxTone[0];
      EXPECT_EQ(qsy ? work_.QsyToSignal(c.kind) : work_.ShiftFrequency(c.kind, 50), c.result);
      EXPECT_TRUE(rig().writes.empty());
      EXPECT_EQ(engine_.params.RxTone[0], tone);
    }
  }
  // The unknown frequency was read three times before giving up.
  rig() = FakeRig{};
  settings_.RigNumber = 1;
  Connect();
  rig().freqA = 0;
  window_.waits.clear();
  EXPECT_EQ(work_.QsyToSignal(2), TOmniWork::kFreqUnknown);
  EXPECT_EQ(window_.waits.size(), 2u);
}

TEST_F(OmniWorkTest, RitTuning) {
  struct Case {
    const char* name;
    int64_t mode, rit, offset;
    Writes writes;
  };
  const Case cases[] = {
      {"RIT off", kPmSsbU, kPmRitOff, 40, {{"ClearRit", 0}, {"Rit", kPmRitOn}, {"RitOffset", kD}}},
      {"RIT on", kPmSsbU, kPmRitOn, 40, {{"RitOffset", 40 + kD}}},
      {"RIT on, lower sideband", kPmDigL, kPmRitOn, 40, {{"RitOffset", 40 - kD}}},
      {"RIT off, CW lower", kPmCwL, kPmRitOff, 0, {{"ClearRit", 0}, {"Rit", kPmRitOn}, {"RitOffset", -kD}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig() = FakeRig{};
    rig().mode = c.mode;
    rig().rit = c.rit;
    rig().ritOffset = c.offset;
    Connect();
    engine_.rxBlocks.SpectrumFreeze = 0;
    ASSERT_EQ(work_.ShiftFrequency(1, kD), TOmniWork::kDone);
    EXPECT_EQ(TakeWrites(), c.writes);
    EXPECT_EQ(engine_.rxBlocks.SpectrumFreeze, 2);
  }
}

TEST_F(OmniWorkTest, VfoTuning) {
  struct Case {
    const char* name;
    uint32_t readableOff;
    int64_t vfo, mode;
    int btoa;
    Writes writes;
  };
  const int64_t a = 14'070'000, b = 14'080'000;
  const Case cases[] = {
      {"A receives", 0, kPmVfoAA, kPmSsbU, 0, {{"FreqA", a + kD}}},
      {"A, lower sideband", 0, kPmVfoAA, kPmSsbL, 0, {{"FreqA", a - kD}}},
      {"B receives", 0, kPmVfoBA, kPmSsbU, 0, {{"FreqB", b + kD}}},
      {"A with BtoA", 0, kPmVfoAB, kPmSsbU, 1, {{"FreqA", a + kD}, {"FreqB", a + kD + 1000}}},
      {"Freq only", kPmFreqA | kPmFreqB, kPmVfoAA, kPmSsbU, 0, {{"Freq", a + kD}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig() = FakeRig{};
    rig().readable &= ~c.readableOff;
    rig().vfo = c.vfo;
    rig().mode = c.mode;
    rig().freq = rig().freqA = a;
    rig().freqB = b;
    settings_.TuneVFOBtoA = c.btoa;
    settings_.VFOBoffset = 1000;
    Connect();
    ASSERT_EQ(work_.ShiftFrequency(2, kD), TOmniWork::kDone);
    EXPECT_EQ(TakeWrites(), c.writes);
  }
}

// Click-to-tune moves the rig by the signal's distance from the transmit tones, puts the receive
// tones on the transmit tones and shifts the peak-held spectrum with the signal.
TEST_F(OmniWorkTest, QsyToSignalMovesTonesAndSpectrum) {
  Connect();
  auto& peak = engine_.rxBlocks.Spectrum.SpectrumPeak;
  peak[UnitsToBin(kRxCentre)] = 7.0f;
  ASSERT_EQ(work_.QsyToSignal(2), TOmniWork::kDone);
  EXPECT_EQ(TakeWrites(), (Writes{{"FreqA", 14'070'000 + kD}}));
  EXPECT_EQ(engine_.params.RxTone[0], kRxCentre - kHalf - kE);
  EXPECT_EQ(engine_.params.RxTone[1], kRxCentre + kHalf - kE);
  EXPECT_EQ(engine_.params.RxToneBin[0], UnitsToBin(kRxCentre - kHalf - kE));
  EXPECT_EQ(engine_.params.RxToneBin[1], UnitsToBin(kRxCentre + kHalf - kE));
  EXPECT_EQ(peak[UnitsToBin(kRxCentre) - kBins], 7.0f);
}

TEST(ShiftSpectrumPeaksTest, ShiftsInPlaceAndZeroesWhatLeaves) {
  for (const int n : {1, 19, -1, -19, 700, -700}) {
    SCOPED_TRACE(n);
    std::array<float, SpectrumArrays::kSize> peaks{};
    for (size_t i = 0; i < peaks.size(); ++i) peaks[i] = static_cast<float>(i);
    const auto before = peaks;
    ShiftSpectrumPeaks(peaks, n);
    for (int i = 0; i < SpectrumArrays::kSize; ++i) {
      const int src = i + n;
      float want = before[i];  // outside 55..743 nothing changes
      if (i >= 55 && i <= 743) want = src >= 55 && src <= 743 ? before[src] : 0.0f;
      ASSERT_EQ(peaks[i], want) << i;
    }
  }
}

// The three command sets of the split transmit VFO.
TEST_F(OmniWorkTest, SplitWriteSequences) {
  struct Case {
    const char* name;
    uint32_t readableOff, writeableOff;
    Writes writes;
  };
  const int64_t t = 14'070'000 + 1000;
  const Case cases[] = {
      {"FreqB writable", 0, 0, {{"FreqB", t}}},
      {"VFO A and B selectable",
       0,
       kPmFreqB,
       {{"Vfo", kPmVfoB}, {"Freq", t}, {"Vfo", kPmVfoA}, {"Split", kPmSplitOn}}},
      {"swap and split",
       kPmFreqA | kPmFreqB,
       kPmFreqA | kPmFreqB,
       {{"Split", kPmSplitOff},
        {"Vfo", kPmVfoSwap},
        {"Freq", t},
        {"Vfo", kPmVfoSwap},
        {"Split", kPmSplitOn}}},
      {"none", kPmFreqA | kPmFreqB, kPmFreqA | kPmFreqB | kPmVfoSwap, {}},
  };
  settings_.TuneVFOBtoA = 1;
  settings_.VFOBoffset = 1000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig() = FakeRig{};
    rig().readable &= ~c.readableOff;
    rig().writeable &= ~c.writeableOff;
    Connect();
    EXPECT_EQ(work_.SetSplitTxFrequency(2), c.writes.empty() ? TOmniWork::kUnsupported : TOmniWork::kDone);
    EXPECT_EQ(TakeWrites(), c.writes);
  }
}

TEST_F(OmniWorkTest, SplitResults) {
  Connect();
  EXPECT_EQ(work_.SetSplitTxFrequency(2), TOmniWork::kOff);
  settings_.TuneVFOBtoA = 1;
  rig().vfo = kPmVfoBA;
  EXPECT_EQ(work_.SetSplitTxFrequency(2), TOmniWork::kSplitVfoB);
  rig().vfo = kPmVfoAA;
  rig().freqA = 0;
  EXPECT_EQ(work_.SetSplitTxFrequency(0), TOmniWork::kFreqUnknown);
  EXPECT_EQ(work_.SetSplitTxFrequency(2), TOmniWork::kFreqUnknown);
  EXPECT_TRUE(rig().writes.empty());
  // A given frequency is applied as it is.
  EXPECT_EQ(work_.SetSplitTxFrequency(7'040'000), TOmniWork::kDone);
  EXPECT_EQ(TakeWrites(), (Writes{{"FreqB", 7'040'000}}));
  rig().fail = RigStatus::kServerError;
  EXPECT_EQ(work_.SetSplitTxFrequency(2), TOmniWork::kNotConnected);
  EXPECT_EQ(work_.TuneState(), 0);
}

// The periodic check follows a dial only once it has settled: a dial turning 30 Hz a poll is
// never followed, however far it goes.
TEST_F(OmniWorkTest, PeriodicCheckFollowsASettledDial) {
  settings_.TuneVFOBtoA = 1;
  Connect();
  ASSERT_EQ(work_.SetSplitTxFrequency(2), TOmniWork::kDone);
  ASSERT_EQ(TakeWrites(), (Writes{{"FreqB", 14'070'000}}));
  int64_t f = 14'070'000;
  for (int poll = 0; poll < 10; ++poll) {
    f += 30;
    rig().freqA = f;
    ASSERT_EQ(work_.SetSplitTxFrequency(0), TOmniWork::kDone);
    EXPECT_TRUE(rig().writes.empty()) << "poll " << poll;
  }
  // Settled 300 Hz away: followed at the next check.
  ASSERT_EQ(work_.SetSplitTxFrequency(0), TOmniWork::kDone);
  EXPECT_EQ(TakeWrites(), (Writes{{"FreqB", f}}));
  // Settled 40 Hz away: not followed.
  rig().freqA = f + 40;
  for (int poll = 0; poll < 3; ++poll) work_.SetSplitTxFrequency(0);
  EXPECT_TRUE(rig().writes.empty());
  // At transmit switching any change is applied at once.
  EXPECT_EQ(work_.SetSplitTxFrequency(1), TOmniWork::kDone);
  EXPECT_EQ(TakeWrites(), (Writes{{"FreqB", f + 40}}));
}

TEST_F(OmniWorkTest, StartRigControl) {
  struct Case {
    const char* name;
    int tuneRig, btoa;
    std::function<void(FakeRig&)> arrange;
    const char* message;  // null: none
    int tuneRigAfter, btoaAfter, lastTuneRig;
    const char* panel;
    bool txAfcEnabled;
  };
  const Case cases[] = {
      {"VFO", 2, 0, [](FakeRig&) {}, nullptr, 2, 0, 2, "VFO", false},
      {"RIT with BtoA", 1, 1, [](FakeRig&) {}, nullptr, 1, 1, 1, "RIT", false},
      {"no daemon", 2, 1, [](FakeRig& r) { r.fail = RigStatus::kServerError; }, TOmniWork::kStartFailed, 0, 0,
       9, "", true},
      {"Mode unknown for 2 s", 2, 1, [](FakeRig& r) { r.modeUnknownReads = 100; }, TOmniWork::kNoAnswer, 0, 0,
       9, "", true},
      {"RIT not writable", 1, 0, [](FakeRig& r) { r.writeable &= ~kPmRitOffset; }, TOmniWork::kNoRit, 0, 0, 9,
       "", true},
      {"BtoA unsupported", 2, 1,
       [](FakeRig& r) {
         r.readable &= ~(kPmFreqA | kPmFreqB);
         r.writeable &= ~(kPmFreqA | kPmFreqB | kPmVfoSwap);
       },
       TOmniWork::kNoBtoA, 0, 0, 2, "", true},
      {"off", 7, 0, [](FakeRig&) {}, nullptr, 0, 0, 9, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig() = FakeRig{};
    c.arrange(rig());
    boxes_.shown.clear();
    window_.waits.clear();
    settings_.TuneRig = c.tuneRig;
    settings_.TuneVFOBtoA = c.btoa;
    settings_.LastTuneRig = 9;
    work_.StartRigControl();
    if (c.message != nullptr) {
      ASSERT_EQ(boxes_.shown.size(), 1u);
      EXPECT_EQ(boxes_.shown[0], (std::pair<std::string, std::string>{"OmniRig Error", c.message}));
    } else {
      EXPECT_TRUE(boxes_.shown.empty());
    }
    EXPECT_EQ(settings_.TuneRig, c.tuneRigAfter);
    EXPECT_EQ(settings_.TuneVFOBtoA, c.btoaAfter);
    EXPECT_EQ(settings_.LastTuneRig, c.lastTuneRig);
    EXPECT_EQ(window_.panel, c.panel);
    EXPECT_EQ(window_.txAfcEnabled, c.txAfcEnabled);
  }
  // The unanswered Mode was read 6 times, 300 ms apart.
  rig() = FakeRig{};
  rig().modeUnknownReads = 100;
  settings_.TuneRig = 2;
  window_.waits.clear();
  work_.startModeGap = std::chrono::milliseconds(300);
  work_.StartRigControl();
  EXPECT_EQ(window_.waits, std::vector<std::chrono::milliseconds>(5, std::chrono::milliseconds(300)));
}

// A rig whose capabilities arrive only with its first state, as a daemon's do: the masks read
// "unknown" when the rig is taken.
class LateCapsRig : public FakeRig {
 public:
  RigValue ReadableParams() override {
    return modeUnknownReads > 0 ? RigValue{kPmUnknown} : FakeRig::ReadableParams();
  }
  RigValue WriteableParams() override {
    return modeUnknownReads > 0 ? RigValue{kPmUnknown} : FakeRig::WriteableParams();
  }
};

class LateCapsServer : public RigServer {
 public:
  LateCapsRig rig;
  Rig& Rig1() override { return rig; }
  Rig& Rig2() override { return rig; }
  RigStatus SetDialogVisible(bool) override { return RigStatus::kNotSupported; }
};

TEST_F(OmniWorkTest, MasksTakenAgainOnceModeAnswers) {
  LateCapsServer late;
  late.rig.modeUnknownReads = 2;
  TOmniWork work(settings_, ports_, engine_.params, engine_.rates, engine_.rxBlocks,
                 {&window_, &boxes_, [&late]() -> RigServer& { return late; }});
  work.startModeGap = std::chrono::milliseconds(0);
  settings_.TuneRig = 1;
  settings_.TuneVFOBtoA = 1;
  work.StartRigControl();
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(settings_.TuneRig, 1);
  EXPECT_EQ(settings_.TuneVFOBtoA, 1);
  EXPECT_EQ(work.CanWriteParam(kPmRitOffset), kPmRitOffset);
}

TEST_F(OmniWorkTest, MouseWheel) {
  settings_.TuneRig = 2;
  work_.StartRigControl();
  rig().writes.clear();
  settings_.WheelSpeed = 2;
  work_.MouseWheel(120);
  work_.MouseWheel(-120);
  EXPECT_EQ(TakeWrites(), (Writes{{"FreqA", 14'070'060}, {"FreqA", 14'070'000}}));

  settings_.UseWheel = 0;
  work_.MouseWheel(120);
  EXPECT_TRUE(rig().writes.empty());
  settings_.UseWheel = 1;

  settings_.TuneRig = 0;
  work_.MouseWheel(120);
  EXPECT_EQ(window_.rxShifts, std::vector<int>{HzToUnits(60)});  // 178 units
  EXPECT_TRUE(rig().writes.empty());

  // A rig with no way to tune: the message, rig tuning off and started anew.
  settings_.TuneRig = 2;
  work_.StartRigControl();
  rig().readable &= ~(kPmFreq | kPmFreqA | kPmFreqB);
  work_.OpenTuneRig();
  boxes_.shown.clear();
  window_.panel = "VFO";
  work_.MouseWheel(120);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].second, TOmniWork::kNoCommandSet);
  EXPECT_EQ(settings_.TuneRig, 0);
  EXPECT_EQ(window_.panel, "");
  EXPECT_EQ(window_.txAfcEnabled, true);
}

// Click-to-tune's call: nothing with rig tuning off; the rig onto the signal with it on; a rig
// without the commands switches rig tuning off.
TEST_F(OmniWorkTest, TuneToSignal) {
  EXPECT_FALSE(work_.TuneToSignal());
  EXPECT_TRUE(rig().writes.empty());
  settings_.TuneRig = 2;
  work_.StartRigControl();
  rig().writes.clear();
  EXPECT_TRUE(work_.TuneToSignal());
  EXPECT_EQ(TakeWrites(), (Writes{{"FreqA", 14'070'000 + kD}}));
  EXPECT_EQ(engine_.params.RxTone[0], kRxCentre - kHalf - kE);

  rig().readable &= ~(kPmFreq | kPmFreqA | kPmFreqB);
  work_.OpenTuneRig();
  EXPECT_FALSE(work_.TuneToSignal());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].second, TOmniWork::kNoCommandSet);
  EXPECT_EQ(settings_.TuneRig, 0);
  EXPECT_EQ(window_.panel, "");
}

// Failures leave the one server object in place: the rigs are taken from it again.
TEST_F(OmniWorkTest, OneServerObjectThroughFailures) {
  ports_.PttPortType = 5;
  rig().fail = RigStatus::kServerError;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(work_.OpenTuneRig(), 0);
    work_.OpenPttRig();
    EXPECT_EQ(work_.PttState(), 0);
    settings_.TuneRig = 2;
    work_.StartRigControl();
  }
  rig().fail = RigStatus::kOk;
  EXPECT_EQ(work_.OpenTuneRig(), 3);
  work_.OpenPttRig();
  EXPECT_EQ(work_.PttState(), 3);
  EXPECT_EQ(serversMade_, 1);
}

TEST_F(OmniWorkTest, CatKeying) {
  ports_.PttPortType = 5;
  ports_.PttPortNumber = 2;
  FakeRig& ptt = server_.rig2;
  EXPECT_EQ(work_.SetPtt(true), 2);  // not opened
  work_.OpenPttRig();
  ASSERT_EQ(work_.PttState(), 3);
  EXPECT_EQ(work_.SetPtt(true), 0);
  EXPECT_EQ(work_.SetPtt(false), 0);
  EXPECT_EQ(ptt.writes, (Writes{{"Tx", kPmTx}, {"Tx", kPmRx}}));
  work_.EverySecond();
  EXPECT_FALSE(work_.UnkeyOwed());
  EXPECT_TRUE(server_.rig1.writes.empty());
}

// The link goes while keyed by CAT: the unkey is sent again every second until the rig shows it.
TEST_F(OmniWorkTest, LostUnkeyIsSentAgain) {
  ports_.PttPortType = 5;
  FakeRig& ptt = rig();
  work_.OpenPttRig();
  ASSERT_EQ(work_.SetPtt(true), 0);
  ptt.fail = RigStatus::kServerError;
  work_.SetPtt(false);
  EXPECT_EQ(work_.PttState(), 0);
  EXPECT_EQ(work_.SetPtt(false), 2);
  for (int s = 0; s < 3; ++s) work_.EverySecond();
  EXPECT_TRUE(work_.UnkeyOwed());
  ptt.fail = RigStatus::kOk;  // the daemon is back, the rig still transmitting
  ASSERT_EQ(ptt.tx, kPmTx);
  work_.EverySecond();
  EXPECT_EQ(ptt.tx, kPmRx);
  work_.EverySecond();
  EXPECT_FALSE(work_.UnkeyOwed());
  EXPECT_EQ(work_.PttState(), 3);
  EXPECT_EQ(work_.SetPtt(true), 0);  // keys again without reopening the port
  EXPECT_EQ(ptt.tx, kPmTx);
}

TEST_F(OmniWorkTest, PortLineKeying) {
  ports_.PttPortType = 4;
  ports_.PttPin = 2;     // RTS
  ports_.PowerPin1 = 1;  // DTR
  work_.OpenPttRig();
  ASSERT_EQ(work_.PttState(), 3);
  EXPECT_EQ(rig().writes, (Writes{{"Rts", 0}, {"Dtr", 1}}));
  rig().writes.clear();
  work_.SetPtt(true);
  work_.SetPtt(false);
  EXPECT_EQ(rig().writes, (Writes{{"Rts", 1}, {"Rts", 0}}));

  // A server that cannot reach the lines (rigctld): failed, and said once.
  rig().portBitsSupported = false;
  work_.OpenPttRig();
  work_.OpenPttRig();
  EXPECT_EQ(work_.PttState(), 0);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].second, TOmniWork::kNoPortLines);
}

TEST_F(OmniWorkTest, ModeMasksAndSetupDialog) {
  EXPECT_EQ(work_.GetMode(), 1);
  EXPECT_EQ(work_.CanWriteParam(kPmFreq), 0u);
  EXPECT_EQ(work_.ShowSetupDialog(), 0);  // connects first
  EXPECT_TRUE(server_.dialogShown);
  EXPECT_EQ(work_.GetMode(), kPmSsbU);
  EXPECT_EQ(work_.CanWriteParam(kPmFreq | kPmUnknown), kPmFreq);
  server_.dialogStatus = RigStatus::kNotSupported;
  EXPECT_EQ(work_.ShowSetupDialog(), 1);
  rig().fail = RigStatus::kServerError;
  EXPECT_EQ(work_.GetMode(), 1);
  EXPECT_EQ(work_.ShowSetupDialog(), 1);
}

// The waits process messages: what arrives meanwhile does not run a second call inside the
// first. A restart asked for during a wait runs once the first has ended.
TEST_F(OmniWorkTest, WaitsGuardAgainstReentry) {
  settings_.TuneRig = 2;
  settings_.TuneVFOBtoA = 1;
  work_.StartRigControl();
  rig().writes.clear();
  rig().modeUnknownReads = 1;
  std::vector<int> inner;
  int restarts = 0;
  window_.onWait = [&] {
    inner.push_back(work_.SetSplitTxFrequency(0));
    inner.push_back(work_.ShiftFrequency(2, 10));
    if (restarts++ == 0) work_.StartRigControl();
  };
  EXPECT_EQ(work_.QsyToSignal(2), TOmniWork::kDone);
  EXPECT_EQ(inner, (std::vector<int>{TOmniWork::kSplitRunning, TOmniWork::kBusy}));
  window_.onWait = nullptr;
  rig().modeUnknownReads = 2;  // the first read is the one made when the rig is taken
  inner.clear();
  restarts = 0;
  window_.onWait = [&] {
    if (restarts++ == 0) work_.StartRigControl();
  };
  window_.panel.clear();
  work_.StartRigControl();
  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(window_.panel, "VFO");
}

}  // namespace
}  // namespace vestrel
