#include "engine/codes/baudot.h"

#include <gtest/gtest.h>

#include <bit>
#include <set>
#include <string>

#include "engine/mode_number.h"
#include "support/fake_rx_sink.h"

namespace vestrel {
namespace {

class BaudotTest : public ::testing::Test {
 protected:
  std::string Decode(std::initializer_list<int> codes) {
    std::string out;
    for (int code : codes) out.append(decoder.DecodeBaudot(code));
    return out;
  }

  TModemParams params;
  test::FakeRxSink sink;
  TBaudotDecoder decoder{params, sink};
};

// Sends one character the way the transmit pump does: the register shift its classes ask for,
// then the code, and returns what the receiver makes of it.
std::string RoundTrip(TBaudotDecoder& decoder, int c, int codeSet, bool extended) {
  std::string out;
  const bool letters = BaudotLettersClass(c, codeSet) != 0;
  const bool third = (extended || codeSet == 3) && BaudotThirdClass(c, codeSet) != 0;
  out.append(decoder.DecodeBaudot(CharToBaudot(letters ? -1 : -2, kModeRtty, codeSet)));
  if (third) out.append(decoder.DecodeBaudot(CharToBaudot(-16, kModeRtty, codeSet)));
  out.append(decoder.DecodeBaudot(CharToBaudot(c, kModeRtty, codeSet)));
  return out;
}

TEST_F(BaudotTest, EveryCodeSetRoundTripsThroughCharToBaudotAndDecodeBaudot) {
  for (int set = 0; set < kBaudotCodeSets; ++set) {
    for (bool extended : {false, true}) {
      params.BaudotCodeSet = set;
      decoder.ExtendedBaudot = extended;
      const auto& table = BaudotCodeTable(set);
      // Without the third register only its first 64 entries are reachable (set 3 always has it).
      const int reach = extended || set == 3 ? 128 : 64;
      for (int i = 0; i < reach; ++i) {
        const int c = table[i];
        if (c == 0) continue;
        decoder.BaudotShift = decoder.BaudotThird = 0;
        // '*' is received (figures J) but sent as ".": figures J is BEL's.
        const char sent = c == '*' ? '.' : static_cast<char>(c);
        EXPECT_EQ(RoundTrip(decoder, c, set, extended), std::string(1, sent))
            << "set " << set << " extended " << extended << " entry " << i << " char " << c;
      }
    }
  }
}

TEST_F(BaudotTest, EnglishDecodeTablesSpellTheAlphabetAndFigures) {
  const auto& t = BaudotCodeTable(0);
  std::string letters, figures;
  for (int code :
       {3, 25, 14, 9, 1, 13, 26, 20, 6, 11, 15, 18, 28, 12, 24, 22, 23, 10, 5, 16, 7, 30, 19, 29, 21, 17}) {
    letters.push_back(static_cast<char>(t[code]));
  }
  for (int code : {22, 23, 19, 1, 10, 16, 21, 7, 6, 24}) figures.push_back(static_cast<char>(t[32 + code]));
  EXPECT_EQ(letters, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(figures, "0123456789");
  // A..Z in AMTOR symbol order is the same alphabet.
  for (int i = 0; i < 26; ++i) EXPECT_EQ(t[kAmtorSymbolOrder[i]], 'A' + i);
}

TEST_F(BaudotTest, FiguresShiftThenUnshiftOnSpace) {
  EXPECT_EQ(Decode({27, 1}), "3");
  EXPECT_EQ(Decode({4, 1}), " 3");  // stays in figures
  decoder.UnshiftOnSpace = 1;
  EXPECT_EQ(Decode({27, 1, 4, 1}), "3 E");
  EXPECT_EQ(Decode({27, 1, 2, 1}), "3\nE");
  EXPECT_EQ(Decode({27, 8, 1}), "\r3");  // CR keeps the register
}

TEST_F(BaudotTest, ThirdRegister) {
  // Extended set: code 0 selects the Russian capitals until the next LTRS or FIGS.
  params.BaudotCodeSet = 3;
  EXPECT_EQ(Decode({3, 0, 3, 4, 3, 31, 3}),
            "A\xC0 \xC0"
            "A");
  EXPECT_EQ(Decode({27, 0, 3, 27, 3}), "\xC0-");  // code 0 also drops figures
  // Other sets: code 0 toggles the third register only with ExtendedBaudot on.
  params.BaudotCodeSet = 0;
  decoder.BaudotShift = decoder.BaudotThird = 0;
  EXPECT_EQ(Decode({0, 3}), "A");
  decoder.ExtendedBaudot = 1;
  EXPECT_EQ(Decode({0, 3, 27, 0, 5, 0, 5}), "a\"'");
  EXPECT_EQ(Decode({31, 0}), "");
  decoder.ResetThird();
  EXPECT_EQ(Decode({3}), "A");
}

TEST(CharToBaudot, NonBaudotModesAndControlCodes) {
  struct Case {
    int32_t symbol, mode, expected;
  };
  const Case cases[] = {
      {200, kModeAscii7, '.'}, {200, kModeAscii8, 200}, {127, kModeAscii7, 127}, {256, kModeAscii8, '.'},
      {-1, kModeAscii8, 0},    {'A', kModeRtty, 3},     {'a', kModeRtty, 3},     {-16, kModeRtty, 0},
      {-1, kModeRtty, 31},     {-3, kModeAmtorFec, 31}, {-2, kModeRtty, 27},     {-5, kModeRtty, 28},
      {300, kModeRtty, 28},    {'%', kModeRtty, 28},    {'@', kModeRtty, 28},    {7, kModeRtty, 11},
      {'*', kModeRtty, 28},    {0xD7, kModeRtty, 10},   {0xFA, kModeRtty, 29},   {0x80, kModeRtty, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CharToBaudot(c.symbol, c.mode, 0), c.expected) << c.symbol << " mode " << c.mode;
  }
  // The Swedish table differs in its three letters, × ÷ and Ё.
  EXPECT_EQ(CharToBaudot(0xC5, kModeRtty, 2), 13);
  EXPECT_EQ(CharToBaudot(0xE4, kModeRtty, 2), 26);
  EXPECT_EQ(CharToBaudot(0xD7, kModeRtty, 2), 28);
  EXPECT_EQ(CharToBaudot(0xA8, kModeRtty, 2), 0);
  EXPECT_EQ(CharToBaudot(0xA8, kModeRtty, 1), 1);
  EXPECT_EQ(CharToBaudot(0xC5, kModeRtty, 1), 1);
}

TEST(BaudotClasses, Registers) {
  EXPECT_EQ(BaudotLettersClass('q', 0), 1);
  EXPECT_EQ(BaudotLettersClass('?', 0), 0);
  EXPECT_EQ(BaudotLettersClass(0xDE, 1), 0);  // Ю is a Russian figure
  EXPECT_EQ(BaudotLettersClass(0xC4, 1), 1);  // Д
  EXPECT_EQ(BaudotLettersClass(0xC4, 2), 0);  // Ä
  // Ё goes out as Е in letters: in figures its code would print "3".
  EXPECT_EQ(BaudotLettersClass(0xA8, 1), 1);
  EXPECT_EQ(BaudotLettersClass(0xB8, 1), 1);
  EXPECT_EQ(BaudotLettersClass(-1, 0), 0);
  EXPECT_EQ(BaudotLettersClass(256, 0), 0);
  EXPECT_EQ(BaudotThirdClass('q', 0), 1);
  EXPECT_EQ(BaudotThirdClass('Q', 0), 0);
  // < and > live only in the third figures (12, 28); in figures those codes print "," and ".".
  EXPECT_EQ(BaudotThirdClass('<', 0), 1);
  EXPECT_EQ(BaudotThirdClass('>', 0), 1);
  EXPECT_EQ(BaudotThirdClass(0xB8, 0), 1);  // ё
  EXPECT_EQ(BaudotThirdClass(0xB8, 2), 0);
  EXPECT_EQ(BaudotThirdClass(0xF7, 1), 0);  // ч goes as figures "4"
  EXPECT_EQ(BaudotThirdClass(0xC0, 3), 1);
  EXPECT_EQ(BaudotThirdClass(0xDE, 3), 0);
  EXPECT_EQ(BaudotThirdClass('a', 3), 0);
}

TEST(Ccir476, ThirtyFiveCodesOfFourOnes) {
  std::set<int> codes;
  for (uint8_t c : kCcir476) {
    EXPECT_EQ(std::popcount(c), 4) << int(c);
    EXPECT_LT(c, 0x80);
    codes.insert(c);
  }
  EXPECT_EQ(codes.size(), 32u);
  codes.insert(kCcir476Alpha);
  codes.insert(kCcir476Beta);
  EXPECT_EQ(codes.size(), 34u);
  // Every 7-bit word of weight four is used but one, which ARQ keeps as its request signal.
  int unused = -1, weightFour = 0;
  for (int c = 0; c < 128; ++c) {
    if (std::popcount(static_cast<unsigned>(c)) != 4) continue;
    ++weightFour;
    if (!codes.count(c)) unused = c;
  }
  EXPECT_EQ(weightFour, 35);
  EXPECT_EQ(unused, 0x66);

  EXPECT_EQ(BaudotToCcir476('A', 0), 0x71);
  EXPECT_EQ(BaudotToCcir476(256, 0), 0x4E);
  EXPECT_EQ(BaudotToCcir476(-16, 0), 0x2B);
  EXPECT_EQ(BaudotToCcir476(-14, 0), 0x78);
  EXPECT_EQ(BaudotToCcir476(-13, 0), 0x33);
  EXPECT_EQ(BaudotToCcir476(-3, 0), 0x2D);
  EXPECT_EQ(BaudotToCcir476(-2, 0), 0x36);
  EXPECT_EQ(BaudotToCcir476(-9, 0), 0x4E);
}

// The receivers' table against the codes by symbol index as the AMTOR tables list them.
TEST(Ccir476, DecodeTableGivesTheSymbolOfEveryValidCode) {
  const int bySymbol[kAmtorSymbols] = {
      0x71, 0x27, 0x5C, 0x65, 0x35, 0x6C, 0x56, 0x4B, 0x59, 0x74, 0x3C, 0x53, 0x4E, 0x4D, 0x47, 0x5A, 0x3A, 0x55,
      0x69, 0x17, 0x39, 0x1E, 0x72, 0x2E, 0x6A, 0x63, 0x0F, 0x1B, 0x2D, 0x36, 0x1D, 0x2B, 0x66, 0x78, 0x33,
  };
  int valid = 0;
  for (int code = 0; code < 128; ++code) {
    const int symbol = Ccir476DecodeTable[code];
    if (std::popcount(static_cast<unsigned>(code)) != 4) {
      EXPECT_EQ(symbol, -1) << code;
      continue;
    }
    ++valid;
    ASSERT_GE(symbol, 0) << code;
    EXPECT_EQ(bySymbol[symbol], code) << symbol;
  }
  EXPECT_EQ(valid, kAmtorSymbols);
  EXPECT_EQ(Ccir476DecodeTable[PhasingOne], 34);
  EXPECT_EQ(Ccir476DecodeTable[PhasingTwo], 33);
}

TEST_F(BaudotTest, PutBaudotCharAndAmtorSymbol) {
  params.Mode = kModeRtty;
  decoder.PutBaudotChar(27);
  decoder.PutBaudotChar(1);
  decoder.PutAmtorSymbol(28);  // LTRS
  decoder.PutAmtorSymbol(0);   // A
  decoder.PutAmtorSymbol(32);  // RQ and the phasing signals print nothing
  decoder.PutAmtorSymbol(33);
  decoder.PutAmtorSymbol(34);
  decoder.PutAmtorSymbol(-1);
  params.Mode = kModeAmtorArq;
  decoder.PutBaudotChar(1);
  params.Mode = kModeAscii8;
  decoder.PutBaudotChar(0xE9);
  EXPECT_EQ(sink.text, "3AE\xE9");
}

}  // namespace
}  // namespace vestrel
