#include "engine/modes/amtor/arq_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "support/amtor_arq_link.h"
#include "support/bit_signal.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"

namespace vestrel {
namespace {

constexpr double kSamplesPerBit = 110.25;
constexpr int kCycleBits = 45;  // 450 ms at 100 Bd

uint32_t MakeBlock(int a, int b, int c) {
  return static_cast<uint32_t>(a << 14 | b << 7 | c);
}

// The text's CCIR-476 codes (a register shift first and where the register changes) three to a
// block, the last filled up with PhasingOne, which prints nothing.
std::vector<uint32_t> BlocksOf(const std::string& text) {
  std::vector<int> codes;
  for (int b : test::BaudotCodesOf(text, 0)) codes.push_back(kCcir476[b & 31]);
  while (codes.size() % 3 != 0) codes.push_back(PhasingOne);
  std::vector<uint32_t> blocks;
  for (size_t i = 0; i < codes.size(); i += 3)
    blocks.push_back(MakeBlock(codes[i], codes[i + 1], codes[i + 2]));
  return blocks;
}

// A block with one bit of each of its first `n` characters turned (five or three 1 bits).
uint32_t Spoiled(uint32_t block, int n) {
  for (int i = 0; i < n; ++i) block ^= 1u << (20 - 7 * i - 3);
  return block;
}

// The sending station's side of a link: a block at the start of every 450 ms cycle, silence
// between (the other station is not heard).
std::vector<int16_t> Link(const std::vector<uint32_t>& blocks, const test::BitSignalOptions& o = {}) {
  std::vector<test::BitBurst> bursts;
  for (size_t i = 0; i < blocks.size(); ++i) {
    test::BitBurst b;
    b.startBits = 20.0 + kCycleBits * static_cast<double>(i);
    test::AppendBits(b.bits, blocks[i], 21, true);
    bursts.push_back(b);
  }
  return test::MakeBitSignal(bursts, 0.0, o);
}

class ArqDecoderTest : public ::testing::Test {
 protected:
  ArqDecoderTest() {
    params.Mode = kModeAmtorArq;
    decoder.Start();
    decoder.SetTones(HzToUnits(1615.0), HzToUnits(1785.0));
  }

  // The samples, then `tailBits` of silence.
  std::string Run(const std::vector<int16_t>& samples, double tailBits = 0.0) {
    sink.text.clear();
    std::vector<float> x(samples.begin(), samples.end());
    x.resize(x.size() + static_cast<size_t>(tailBits * kSamplesPerBit), 0.0f);
    for (size_t at = 0; at < x.size(); at += 2048)
      decoder.ProcessBlock(std::span<const float>(x).subspan(at, std::min<size_t>(2048, x.size() - at)),
                           true);
    return sink.text;
  }

  SineTable sine;
  TModemParams params;
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TBaudotDecoder baudot{params, sink};
  TArqDecoder decoder{sine, params, window, baudot, sink};
};

const std::string kText = "CQ CQ DE TEST TEST 0123456789 RYRY THE QUICK BROWN FOX";

// When the blocks stop, the monitor reads the first silent cycle as an invalid block and prints
// it ("___"); the second reads the same and is suppressed as a repetition, and its 3 invalid
// characters more send the monitor back to searching.
const std::string kEnd = "___";

// Where the last block read can be seen: the monitor reads a block 75 bits after it starts; a
// tail of 62 bits after its end reads the last block but not the silence a cycle later.
constexpr double kReadLast = 62.0;
constexpr double kReadEnd = 4 * kCycleBits;

// 21-bit blocks every 450 ms, from the first block on (the phase needs it and the next one),
// silence between, with a frequency offset and a small clock error: the timing follows one
// sub-sample (0.1 % of a cycle) per block.
TEST_F(ArqDecoderTest, BlocksEveryCyclePrintOnceEach) {
  struct Case {
    double offsetHz, clockError;
    bool reverse;
  };
  for (const Case c : {Case{0, 0, false}, Case{10, 0.0004, false}, Case{-10, -0.0004, true}}) {
    SCOPED_TRACE(testing::Message() << c.offsetHz << " Hz, clock " << c.clockError << " reverse "
                                    << c.reverse);
    test::BitSignalOptions o;
    o.offsetHz = c.offsetHz;
    o.clockError = c.clockError;
    if (c.reverse) std::swap(o.upperHz, o.lowerHz);
    params.Reverse = c.reverse ? 1 : 0;
    decoder.SetBaud(100);
    EXPECT_EQ(Run(Link(BlocksOf(kText), o), kReadEnd), kText + kEnd);
    EXPECT_EQ(decoder.State(), 0);
    EXPECT_EQ(window.panels[9], " ");
  }
}

// The other station asks for a block again: the repetition is not printed, however often it
// comes; nor is a new block whose content equals the last (a monitor cannot tell them apart).
TEST_F(ArqDecoderTest, ABlockRepeatedOnRequestPrintsOnce) {
  const std::vector<uint32_t> text = BlocksOf("ABCDEFGHI");
  const std::vector<uint32_t> blocks = {text[0], text[1], text[1], text[2], text[2], text[2], text[3]};
  EXPECT_EQ(Run(Link(blocks), kReadEnd), "ABCDEFGHI" + kEnd);
  const std::vector<uint32_t> same = BlocksOf("ABCABCDEF");  // LTRS A B, C A B, C D E, F
  decoder.SetBaud(100);
  EXPECT_EQ(Run(Link({same[0], same[1], same[1], same[2], same[3]}), kReadEnd), "ABCABCDEF" + kEnd);
}

// Characters that no reading repairs print "_"; the invalid characters of consecutive bad
// blocks add up, and at 4 the monitor goes back to searching; a valid block starts the count
// again.
TEST_F(ArqDecoderTest, InvalidCharactersOfConsecutiveBadBlocksSendItBackToSearching) {
  const std::vector<uint32_t> t = BlocksOf("ABCDEFGHIJKLMNOPQRSTU");  // LTRS A B, C D E, ...
  // 1 + 2 invalid, a good block, 3 invalid, a good block: never 4 in a row.
  Run(Link({t[0], t[1], Spoiled(t[2], 1), Spoiled(t[3], 2), t[4], Spoiled(t[5], 3), t[6]}), kReadLast);
  EXPECT_EQ(sink.text, "ABCDE_GH__KLMN___RST");
  EXPECT_EQ(decoder.State(), 1);
  EXPECT_EQ(window.panels[9], "*");

  // 2 + 2: back to searching.
  decoder.SetBaud(100);
  Run(Link({t[0], t[1], Spoiled(t[2], 2), Spoiled(t[3], 2)}), kReadLast);
  EXPECT_EQ(sink.text, "ABCDE__H__K");
  EXPECT_EQ(decoder.State(), 0);
  EXPECT_EQ(window.panels[9], " ");
}

// The timing of the sub-sample seam: every bit 22 values of +1 or -1, blocks 990 apart. The
// phase locks on the first position of a block, on the position after it (the first of equal
// confidence after the start), and stays there.
class ArqRingTest : public ArqDecoderTest {
 protected:
  static constexpr int kLead = 100;
  static constexpr size_t kCharacter = 7 * 22;
  // Sub-samples of whole cycles; block n starts at kLead + 990 n.
  std::vector<float> Cycles(const std::vector<uint32_t>& blocks) {
    std::vector<float> v(kLead + TArqDecoder::kCycle * (blocks.size() + 2), 0.0f);
    for (size_t n = 0; n < blocks.size(); ++n)
      for (int i = 0; i < 21; ++i)
        for (int s = 0; s < 22; ++s)
          v[kLead + TArqDecoder::kCycle * n + 22 * i + s] = (blocks[n] >> (20 - i)) & 1u ? 1.0f : -1.0f;
    return v;
  }
  // Where the monitor reads bit i of block n (n >= 1).
  static size_t ReadAt(size_t n, int i) { return kLead + TArqDecoder::kCycle * n + 1 + 22 * i; }
  std::string Feed(const std::vector<float>& v) {
    sink.text.clear();
    for (float x : v) decoder.ProcessSubSample(x);
    return sink.text;
  }
};

// A block read invalid is read again with each bit from the sum of the values one sub-sample
// either side and at the reading position: a bit wrong only there is repaired; one wrong at all
// three positions is not, and its character prints "_".
TEST_F(ArqRingTest, AnInvalidBlockIsRepairedByItsNeighboursWhereTheyCan) {
  const std::vector<uint32_t> t = BlocksOf("ABCDEFGHIJK");  // LTRS A B, C D E, F G H, I J K
  std::vector<float> v = Cycles(t);
  // Block 1, bit 3 (of "C") wrong at the reading position only, held by its neighbours.
  v[ReadAt(1, 3)] = -v[ReadAt(1, 3)] * 0.5f;
  // Block 2, bit 10 (of "G") wrong at all three.
  for (int d = -1; d <= 1; ++d) v[ReadAt(2, 10) + d] = -v[ReadAt(2, 10) + d];
  EXPECT_EQ(Feed(v), "ABCDEF_HIJK" + kEnd);
}

// The link as an independent generator builds it from the code chart, with weak noise in the
// gaps and before the first block. Noise read one character before a block, or after it, makes
// a valid character now and then, so the block shifted by a character can read valid in two
// cycles as well; the monitor must still take the block's own phase, and keep it.
class ArqNoisyLinkTest : public ArqDecoderTest {
 protected:
  const std::string text = "CQ CQ DE TEST 0123456789 THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG";
  std::string Decode(const test::ArqLinkOptions& o) {
    decoder.SetBaud(100);
    baudot.BaudotShift = 0;
    return Run(test::ArqLinkSignal(test::ArqBlocksOf(text), o));
  }
};

TEST_F(ArqNoisyLinkTest, TheCodeChartAgreesWithTheDecodeTable) {
  for (uint32_t block : test::ArqBlocksOf(text)) EXPECT_EQ(InvalidCharacters(block), 0) << std::hex << block;
}

TEST_F(ArqNoisyLinkTest, NoiseInTheGapsDoesNotShiftTheBlockPhase) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    test::ArqLinkOptions o;
    o.seed = seed;
    EXPECT_EQ(Decode(o), text);
    EXPECT_EQ(decoder.State(), 1);
  }
}

// A recording that starts inside a block: the phase is found on the blocks after it.
TEST_F(ArqNoisyLinkTest, ASignalThatStartsMidBlockIsPickedUp) {
  const std::vector<uint32_t> blocks = test::ArqBlocksOf(text);
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    for (double cut : {4.0, 10.0, 17.0}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << ", cut " << cut << " bits");
      test::ArqLinkOptions o;
      o.seed = seed;
      o.cutBits = cut;
      decoder.SetBaud(100);
      baudot.BaudotShift = 0;
      // The first whole block holds "CQ " after the LTRS of the first.
      EXPECT_EQ(Run(test::ArqLinkSignal(blocks, o)), text.substr(2));
    }
  }
}

// The signal fades for 5 s; the station repeats its block meanwhile and goes on when it is heard
// again. Whatever the noise of the fade prints, the monitor finds the phase again and the rest
// of the text comes through whole.
TEST_F(ArqNoisyLinkTest, AFadeOfFiveSecondsIsRiddenOut) {
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    test::ArqLinkOptions o;
    o.seed = seed;
    // After the fifth block, "CQ CQ DE TEST "; the next sets figures itself, whatever shift the
    // noise of the fade printed.
    o.fadeStartMs = 300.0 + 450.0 * 4 + 300.0;
    o.fadeMs = 5000.0;
    const std::string got = Decode(o);
    const std::string before = "CQ CQ DE TEST ";
    ASSERT_GE(got.size(), text.size());
    EXPECT_EQ(got.substr(0, before.size()), before);
    EXPECT_EQ(got.substr(got.size() - (text.size() - before.size())), text.substr(before.size()));
  }
}

// A character right before the first two blocks (the other station heard) makes the block read
// a character early valid, and as strong: the monitor takes that phase, and at the first block
// that reads invalid there moves to the block a character on, which reads whole.
TEST_F(ArqRingTest, ALockACharacterEarlyMovesToTheWholeBlock) {
  const std::vector<uint32_t> t = BlocksOf("ABCDEFGHIJK");  // LTRS A B, C D E, F G H, I J K
  const std::vector<float> cycles = Cycles(t);
  std::vector<float> v(kCharacter, 0.0f);  // room for the character before the first block
  v.insert(v.end(), cycles.begin(), cycles.end());
  for (size_t n = 0; n < 2; ++n)
    for (int i = 0; i < 7; ++i)
      for (int s = 0; s < 22; ++s)
        v[kLead + TArqDecoder::kCycle * n + 22 * i + s] = (0x71 >> (6 - i)) & 1 ? 1.0f : -1.0f;  // "A"
  // "A" LTRS "A", "A" "C" "D", then on the blocks' own phase.
  EXPECT_EQ(Feed(v), "AAACDFGHIJK" + kEnd);
}

// Blocks with an invalid character, three of every four, never 4 in a row: invalid characters
// that persist lose the phase all the same.
TEST_F(ArqRingTest, InvalidCharactersThatPersistLoseThePhase) {
  std::vector<uint32_t> t = BlocksOf("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHI");
  t.resize(12);
  for (size_t n = 2; n < t.size(); ++n)
    if (n % 4 != 1) t[n] = Spoiled(t[n], 1);  // two whole blocks lock the phase
  std::vector<float> v = Cycles(t);
  v.resize(v.size() - 2 * TArqDecoder::kCycle);  // up to the read of the last block but one
  EXPECT_EQ(Feed(v).substr(0, 5), "ABCDE");
  EXPECT_EQ(decoder.State(), 0);
  EXPECT_EQ(window.panels[9], " ");
}

TEST_F(ArqDecoderTest, SetBaudTakesThePathOfTheSpeedAndResets) {
  Run(Link(BlocksOf("ABCDEF")));
  EXPECT_EQ(decoder.State(), 1);
  EXPECT_TRUE(decoder.SetBaud(50));
  EXPECT_EQ(decoder.State(), 0);
  EXPECT_EQ(window.panels[9], " ");
  EXPECT_EQ(decoder.Front().PathRate(), 919);
  EXPECT_FALSE(decoder.SetBaud(-1));
  EXPECT_EQ(decoder.Front().Baud(), 50);
  EXPECT_EQ(InvalidCharacters(MakeBlock(0x71, 0x00, 0x7F)), 2);
}

}  // namespace
}  // namespace vestrel
