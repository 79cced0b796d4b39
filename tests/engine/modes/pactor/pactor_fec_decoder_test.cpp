#include "engine/modes/pactor/pactor_fec_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/codes/fcs16.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "support/bit_signal.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"
#include "support/pactor_packets.h"

namespace vestrel {
namespace {

using test::PactorPacket;

constexpr double kLeadBits = 20.0;

// Data of `n` characters, different for each packet number.
std::string Data(int n, int packet) {
  std::string s;
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('A' + (packet * 7 + i) % 26));
  return s;
}

class PactorTest : public ::testing::Test {
 protected:
  PactorTest() {
    engine->Start();
    TModemParams& p = engine->params;
    p.RxTone[0] = p.RxTone[1] = HzToUnits(1700.0);
    p.ShiftHz = 200;
    p.Baud = 100;
    engine->modeSwitch.SetMode(kModePactorFec);  // tones 1600 and 1800 Hz
  }

  // PACTOR FEC at `baud` on the receive pair (mark upper), after kLeadBits of silence.
  std::vector<int16_t> Signal(const std::vector<uint8_t>& bits, int baud, test::BitSignalOptions o = {}) {
    o.baud = baud;
    o.upperHz = 1800.0;
    o.lowerHz = 1600.0;
    return test::MakeBitSignal(bits, kLeadBits, 0.0, o);
  }

  // Through the block processor, then 1.5 s of silence: a packet is read 104 (200) bits after
  // its header.
  std::string Run(const std::vector<int16_t>& samples) {
    sink.text.clear();
    std::vector<float> x(samples.begin(), samples.end());
    x.resize((x.size() + 16538 + 2047) / 2048 * 2048, 0.0f);
    for (size_t at = 0; at < x.size(); at += 2048) engine->rxBlocks.ProcessInputBlock(&x[at]);
    return sink.text;
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
};

TEST_F(PactorTest, TheModeSwitchSetsTheSecondReceiverTo200BdAndBothToThePair) {
  EXPECT_EQ(engine->pactor.Slow().Speed(), 100);
  EXPECT_EQ(engine->pactor.Fast().Speed(), 200);
  EXPECT_EQ(engine->pactor.Slow().Length(), 11);
  EXPECT_EQ(engine->pactor.Fast().Length(), 23);
  for (TPactorFecDecoder* d : {&engine->pactor.Slow(), &engine->pactor.Fast()}) {
    EXPECT_EQ(d->Front().ToneAStep(), engine->params.RxTone[0]);
    EXPECT_EQ(d->Front().ToneBStep(), engine->params.RxTone[1]);
    EXPECT_NEAR(UnitsToHz(d->Front().ToneBStep() - d->Front().ToneAStep()), 200.0, 0.5);
  }
  // The engine start alone leaves both at 100 Bd on 2100 and 2300 Hz.
  TEngine fresh(window, sink);
  fresh.Start();
  EXPECT_EQ(fresh.pactor.Fast().Speed(), 100);
  EXPECT_EQ(fresh.pactor.Fast().Front().ToneAStep(), 6242);
  EXPECT_EQ(fresh.pactor.Fast().Front().ToneBStep(), 6836);
}

// The frame check of a packet, data and status through the check bytes: the complement of the
// residue on a good packet, a value of its own for each length when the bytes after the header
// are complemented.
TEST_F(PactorTest, CheckValuesOfGoodAndInvertedPackets) {
  const std::vector<uint8_t> digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(test::BitwiseFcs16(digits), 0x906E);
  EXPECT_EQ(CalcFcs16(digits), 0x906E);
  for (int n : {8, 20}) {
    for (int counter = 0; counter < 4; ++counter) {
      SCOPED_TRACE(testing::Message() << n << " bytes, counter " << counter);
      const std::vector<uint8_t> good = PactorPacket(Data(n, counter), counter);
      const std::vector<uint8_t> inverted = PactorPacket(Data(n, counter), counter, true);
      const std::span<const uint8_t> g(good.data() + 1, good.size() - 1);
      const std::span<const uint8_t> i(inverted.data() + 1, inverted.size() - 1);
      EXPECT_EQ(CalcFcs16(g), TPactorFecDecoder::kGoodCheck);
      EXPECT_EQ(CalcFcs16(i), n == 8 ? 0xC438 : 0x77FF);
    }
  }
}

struct SpeedCase {
  int baud;
  int dataBytes;
};
const SpeedCase kSpeeds[] = {{100, 8}, {200, 20}};

// Packets with counters 0, 1, 2, 3, 0, each followed by its inverted repetition, at both
// speeds through both receivers: each prints its data once, the repetition nothing, and the
// receiver of the other speed nothing at all. Also through a channel with a frequency offset,
// a clock error and some noise (Eb/N0 14 dB).
TEST_F(PactorTest, EachPacketPrintsItsDataOnceAtBothSpeeds) {
  for (const SpeedCase& s : kSpeeds) {
    std::vector<std::vector<uint8_t>> packets;
    std::string expected;
    for (int n = 0; n < 5; ++n) {
      packets.push_back(PactorPacket(Data(s.dataBytes, n), n));
      expected += Data(s.dataBytes, n);
    }
    for (bool channel : {false, true}) {
      SCOPED_TRACE(testing::Message() << s.baud << " Bd, channel " << channel);
      test::BitSignalOptions o;
      if (channel) {
        o.offsetHz = 8.0;
        o.clockError = 0.001;
        o.noiseRms = test::NoiseRmsFor(o.amplitude, s.baud, 14.0);
      }
      engine->pactor.SelectMode(ModeRowOf(kModePactorFec));
      EXPECT_EQ(Run(Signal(test::PactorBits(packets), s.baud, o)), expected);
    }
  }
}

// Data sent inverted (the check then gives the inverted value) prints as sent; so does a
// packet whose first copy has the other header.
TEST_F(PactorTest, InvertedDataPrintsRight) {
  for (const SpeedCase& s : kSpeeds) {
    SCOPED_TRACE(s.baud);
    const std::vector<std::vector<uint8_t>> packets = {
        PactorPacket(Data(s.dataBytes, 0), 0, true),
        PactorPacket(Data(s.dataBytes, 1), 1, false, 0xAA),
        PactorPacket(Data(s.dataBytes, 2), 2, true, 0xAA),
    };
    engine->pactor.SelectMode(ModeRowOf(kModePactorFec));
    EXPECT_EQ(Run(Signal(test::PactorBits(packets), s.baud)),
              Data(s.dataBytes, 0) + Data(s.dataBytes, 1) + Data(s.dataBytes, 2));
  }
}

// Counters 0, 1, 3: packet 2 was lost, and its place shows as one "_" per data byte.
TEST_F(PactorTest, ASkippedCounterPrintsTheLostBytesAsUnderscores) {
  for (const SpeedCase& s : kSpeeds) {
    SCOPED_TRACE(s.baud);
    const std::vector<std::vector<uint8_t>> packets = {
        PactorPacket(Data(s.dataBytes, 0), 0),
        PactorPacket(Data(s.dataBytes, 1), 1),
        PactorPacket(Data(s.dataBytes, 3), 3),
    };
    engine->pactor.SelectMode(ModeRowOf(kModePactorFec));
    EXPECT_EQ(Run(Signal(test::PactorBits(packets), s.baud)),
              Data(s.dataBytes, 0) + Data(s.dataBytes, 1) + std::string(s.dataBytes, '_') + Data(s.dataBytes, 3));
  }
}

// Packet 1's first copy lost its header (a drop-out: it is never found on its own) and its
// repetition lost part of its data (it fails the check): the repetition is matched with the copy
// before it, and the bits taken from both check. Without the first copy nothing repairs it.
TEST_F(PactorTest, ADamagedPacketIsRepairedByItsIntactRepetition) {
  for (const SpeedCase& s : kSpeeds) {
    for (bool firstCopy : {true, false}) {
      SCOPED_TRACE(testing::Message() << s.baud << " Bd, first copy " << firstCopy);
      const std::vector<std::vector<uint8_t>> packets = {
          PactorPacket(Data(s.dataBytes, 0), 0),
          PactorPacket(Data(s.dataBytes, 1), 1),
          PactorPacket(Data(s.dataBytes, 2), 2),
      };
      std::vector<int16_t> x = Signal(test::PactorBits(packets), s.baud);
      const double spb = 11025.0 / s.baud;
      const int bytes = s.dataBytes + 4;
      auto zero = [&](double fromBit, double bits) {
        const size_t from = static_cast<size_t>((kLeadBits + fromBit) * spb);
        std::fill(x.begin() + from, x.begin() + from + static_cast<size_t>(bits * spb), 0);
      };
      const double packet1 = 2.0 * 8 * bytes;  // packet 1's first copy
      zero(packet1, firstCopy ? 8 : 8 * bytes);  // its header, or all of it
      zero(packet1 + 8 * bytes + 8 * 3, 6);       // six bits of the repetition's third byte
      engine->pactor.SelectMode(ModeRowOf(kModePactorFec));
      EXPECT_EQ(Run(x), Data(s.dataBytes, 0) + (firstCopy ? Data(s.dataBytes, 1) : std::string(s.dataBytes, '_')) +
                            Data(s.dataBytes, 2));
    }
  }
}

TEST_F(PactorTest, AClosedSquelchPrintsNothing) {
  const std::vector<std::vector<uint8_t>> packets = {PactorPacket(Data(8, 0), 0), PactorPacket(Data(8, 1), 1)};
  const std::vector<int16_t> x = Signal(test::PactorBits(packets), 100);
  engine->rxBlocks.IsSquelch = 1;
  engine->rxBlocks.SetSquelchPosition(100);  // a peak of 2, far above this signal's
  EXPECT_EQ(Run(x), "");
  engine->rxBlocks.SetSquelchPosition(50);
  EXPECT_EQ(Run(x), Data(8, 0) + Data(8, 1));
}

// Two transmissions a minute apart: the last counter of the first is forgotten once eight packet
// lengths pass without a good packet, so the second starts afresh whatever its first counter:
// equal to the last one heard (which would otherwise pass for a repetition and be dropped) or
// not its successor (which would otherwise print a run of "_" for a pause).
TEST_F(PactorTest, ANewTransmissionStartsAfreshAfterAPause) {
  for (const SpeedCase& s : kSpeeds) {
    for (int next : {2, 3, 0}) {
      SCOPED_TRACE(testing::Message() << s.baud << " Bd, next counter " << next);
      std::vector<std::vector<uint8_t>> first, second;
      std::string expected;
      for (int n = 0; n < 3; ++n) {
        first.push_back(PactorPacket(Data(s.dataBytes, n), n));
        expected += Data(s.dataBytes, n);
      }
      for (int n = 0; n < 2; ++n) {
        second.push_back(PactorPacket(Data(s.dataBytes, 10 + n), next + n));
        expected += Data(s.dataBytes, 10 + n);
      }
      std::vector<int16_t> x = Signal(test::PactorBits(first), s.baud);
      x.resize(x.size() + 60 * 11025, 0);
      const std::vector<int16_t> y = Signal(test::PactorBits(second), s.baud);
      x.insert(x.end(), y.begin(), y.end());
      engine->pactor.SelectMode(ModeRowOf(kModePactorFec));
      EXPECT_EQ(Run(x), expected);
    }
  }
}

// Noise ladders: 20 packets (counters running on, each with its repetition) in white Gaussian
// noise at falling Eb/N0 (= SNR in 3 kHz + 14.8 dB at 100 Bd, + 11.8 dB at 200 Bd). Non-coherent
// FSK loses a bit with p = exp(-Eb/2N0)/2; a copy of n bits (96 or 192) survives with
// (1 - p)^n. A packet prints when either copy checks, or, at best, when the two copies combined
// bit by bit do, which is worth 3 dB; the counts lie between the two:
//   Eb/N0             10 dB         8 dB          7 dB         6 dB
//   100 Bd either     18.5          4.7           0.7          0.1
//          combined   20            18            14.5         8
//   200 Bd either     15.5          0.6           0            0
//          combined   20            17            10           3
// The counts are of packets printed right; the audio is seeded, so each count is exact. The
// bounds allow 2 packets either way around the measured count: a count above its bound means
// the generator changed or the decoder improved; measure again and move the bounds on purpose.
TEST_F(PactorTest, NoiseLadders) {
  struct Rung {
    double ebN0Db;
    int low, high;
  };
  struct Ladder {
    SpeedCase speed;
    std::vector<Rung> rungs;
  };
  const Ladder ladders[] = {
      // measured 20, 14, 6, 2
      {{100, 8}, {{10, 18, 20}, {8, 12, 16}, {7, 4, 8}, {6, 0, 4}}},
      // measured 20, 13, 5, 1
      {{200, 20}, {{10, 18, 20}, {8, 11, 15}, {7, 3, 7}, {6, 0, 3}}},
  };
  for (const Ladder& l : ladders) {
    std::vector<std::vector<uint8_t>> packets;
    std::vector<std::string> data;
    for (int n = 0; n < 20; ++n) {
      data.push_back(Data(l.speed.dataBytes, n));
      packets.push_back(PactorPacket(data.back(), n));
    }
    for (const Rung& r : l.rungs) {
      test::BitSignalOptions o;
      o.amplitude = 1000.0;
      o.noiseRms = test::NoiseRmsFor(o.amplitude, l.speed.baud, r.ebN0Db);
      o.seed = static_cast<uint32_t>(l.speed.baud * 10 + r.ebN0Db);
      o.offsetHz = 3.0;
      engine->pactor.SelectMode(ModeRowOf(kModePactorFec));
      const std::string got = Run(Signal(test::PactorBits(packets), l.speed.baud, o));
      int right = 0;
      for (const std::string& d : data) right += got.find(d) != std::string::npos ? 1 : 0;
      std::printf("PACTOR %d Bd Eb/N0 %.0f dB: %d of 20 packets\n", l.speed.baud, r.ebN0Db, right);
      EXPECT_GE(right, r.low) << l.speed.baud << " " << r.ebN0Db;
      EXPECT_LE(right, r.high) << l.speed.baud << " " << r.ebN0Db;
    }
  }
}

}  // namespace
}  // namespace vestrel
