// ctest-labels: integration
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/codes/baudot.h"
#include "support/ax25_frames.h"
#include "support/bit_signal.h"
#include "support/fsk_signal.h"
#include "support/psk_signal.h"
#include "support/temp_dir.h"
#include "support/test_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

using test::FskSignalOptions;
using test::ShellQuote;

class VestrelDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tool = test::BenchToolPath("vestrel-decode");
    if (tool.empty()) GTEST_SKIP() << "vestrel-decode is not built";
  }

  // A recording: half a second of silence, then the carrier with the characters.
  std::string Recording(const std::vector<int>& codes, const FskSignalOptions& o) {
    std::vector<int16_t> samples(5512, 0);
    const std::vector<int16_t> signal = test::MakeStartStopSignal(codes, o);
    samples.insert(samples.end(), signal.begin(), signal.end());
    const std::string path = test::TempPath("in.raw");
    EXPECT_TRUE(test::WriteRawSamples(path, samples));
    return path;
  }

  test::ToolResult Decode(const std::string& options, const std::string& file) {
    return test::RunTool(ShellQuote(tool) + " " + options + " " + ShellQuote(file));
  }

  std::string tool;
};

const std::string kText = "RYRY THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 -?:()$!&#'.,/+=\r\n";

TEST_F(VestrelDecodeTest, DefaultsAreRttyAt1700HzWith170HzShift) {
  FskSignalOptions o;  // 45.45 Bd, mark 1785 Hz, space 1615 Hz
  const std::string file = Recording(test::BaudotCodesOf(kText, 0), o);
  const test::ToolResult r = Decode("--mode RTTY", file);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, kText);
  // The same samples on standard input.
  const test::ToolResult s = test::RunTool(ShellQuote(tool) + " --mode 0", file);
  EXPECT_EQ(s.out, r.out);
}

TEST_F(VestrelDecodeTest, SpeedShiftCentreFilterAndReverse) {
  struct Case {
    std::string options;
    int dataBits;
    double baud, centre, shift;
    bool markLow;
  };
  const Case cases[] = {
      {"--mode RTTY --baud 75 --shift 850 --rx-hz 2000 --filter wide", 5, 75, 2000, 850, false},
      {"--mode RTTY --baud 50 --rx-hz 1000 --filter narrow --reverse", 5, 50, 1000, 170, true},
      {"--mode ASCII-7 --baud 110 --shift 425", 7, 110, 1700, 425, false},
      {"--mode 4 --baud 1200 --shift 1000 --reverse", 8, 1200, 1700, 1000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    FskSignalOptions o;
    o.baud = c.baud;
    o.dataBits = c.dataBits;
    o.stopBits = c.dataBits == 5 ? 1.5 : 1.0;
    o.markHz = c.centre + (c.markLow ? -c.shift : c.shift) / 2;
    o.spaceHz = c.centre - (c.markLow ? -c.shift : c.shift) / 2;
    std::vector<int> codes;
    if (c.dataBits == 5) {
      codes = test::BaudotCodesOf(kText, 0);
    } else {
      for (char ch : kText) codes.push_back(static_cast<uint8_t>(ch));
    }
    const test::ToolResult r = Decode(c.options, Recording(codes, o));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kText);
  }
}

// Our transmitter into our receiver: vestrel-encode's whole transmission (preamble, text,
// tail) through vestrel-decode at every speed and filter width. The ASCII modes send a NUL
// before each blank, which the receiver shows as the byte it is.
TEST_F(VestrelDecodeTest, RoundTripFromVestrelEncode) {
  const std::string encoder = test::BenchToolPath("vestrel-encode");
  if (encoder.empty()) GTEST_SKIP() << "vestrel-encode is not built";
  std::string ascii;
  for (int c = 33; c < 127; ++c) ascii.push_back(static_cast<char>(c));
  ascii += " The quick brown fox";
  const std::string baudot = "RYRY THE QUICK BROWN FOX 0123456789 -?:()$!&#'.,/+=";
  // An AMTOR FEC transmission opens with CR LF behind the phasing signals.
  const std::string amtor = "\r\n" + baudot;
  struct Case {
    std::string options;
    const std::string* text;  // what comes out
  };
  const Case cases[] = {
      {"--mode RTTY", &baudot},
      {"--mode RTTY --baud 50", &baudot},
      {"--mode RTTY --baud 75 --shift 425", &baudot},
      {"--mode RTTY --baud 100 --shift 850 --reverse", &baudot},
      {"--mode ASCII-7 --baud 110 --shift 425", &ascii},
      {"--mode ASCII-8 --baud 300 --shift 500", &ascii},
      {"--mode ASCII-8 --baud 1200 --shift 1000", &ascii},
      {"--mode AMT-FEC", &amtor},
      {"--mode AMT-FEC --reverse", &amtor},
      {"--mode AMT-FEC --baud 200 --shift 425", &amtor},
  };
  const std::string textPath = test::TempPath("text.txt");
  const std::string raw = test::TempPath("tx.raw");
  for (const Case& c : cases) {
    FILE* f = std::fopen(textPath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string& sent = c.text == &amtor ? baudot : *c.text;
    std::fwrite(sent.data(), 1, sent.size(), f);
    std::fclose(f);
    const test::ToolResult tx = test::RunTool(ShellQuote(encoder) + " " + c.options + " " +
                                              ShellQuote(textPath) + " > " + ShellQuote(raw));
    ASSERT_EQ(tx.exitCode, 0) << c.options << ": " << tx.err;
    for (const char* filter : {"optimal", "wide", "narrow"}) {
      SCOPED_TRACE(c.options + " --filter " + filter);
      const test::ToolResult r = Decode(c.options + " --filter " + filter, raw);
      EXPECT_EQ(r.exitCode, 0);
      std::string shown;
      for (char ch : r.out) {
        if (ch != '\0') shown.push_back(ch);
      }
      EXPECT_EQ(shown, *c.text);
    }
  }
}

// The block modes through both tools: vestrel-encode's transmission (the text, the block end,
// the end) into vestrel-decode, clean at the speeds and steps, and through the channel: white
// noise, a clock error of 0.1 % either way (synthesised at 11036 or 11014 samples/s, read as
// 11025), the transmit tones moved off the receive centre, reversed tones.
class BlockModeTools : public VestrelDecodeTest {
 protected:
  void SetUp() override {
    VestrelDecodeTest::SetUp();
    if (IsSkipped()) return;
    encoder = test::BenchToolPath("vestrel-encode");
    if (encoder.empty()) GTEST_SKIP() << "vestrel-encode is not built";
  }
  // Encodes text with the options; noiseRms adds white Gaussian noise to the samples, taken
  // down to 2000 peak first.
  std::string Encode(const std::string& text, const std::string& options, double noiseRms = 0.0) {
    const std::string textPath = test::TempPath("blocks.txt");
    const std::string raw = test::TempPath("blocks.raw");
    FILE* f = std::fopen(textPath.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return raw;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    const test::ToolResult tx = test::RunTool(ShellQuote(encoder) + " " + options + " " + ShellQuote(textPath) +
                                              " > " + ShellQuote(raw));
    EXPECT_EQ(tx.exitCode, 0) << options << ": " << tx.err;
    if (noiseRms > 0.0) {
      const std::string bytes = test::ReadWholeFile(raw);
      std::vector<int16_t> samples(bytes.size() / 2);
      std::mt19937 rng(7);
      std::normal_distribution<double> noise(0.0, noiseRms);
      for (size_t i = 0; i < samples.size(); ++i) {
        const int16_t s = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (bytes[2 * i + 1] << 8));
        samples[i] = static_cast<int16_t>(std::clamp(std::lround(s / 16.0 + noise(rng)), -32767L, 32767L));
      }
      EXPECT_TRUE(test::WriteRawSamples(raw, samples));
    }
    return raw;
  }
  std::string encoder;
};

const std::string kBlockText = "CQ CQ DE TEST TEST, THE QUICK BROWN FOX 0123456789 <end>";

TEST_F(BlockModeTools, RoundTripsAtTheSpeedsAndSteps) {
  struct Case {
    std::string tx, rx, text;
  };
  const Case cases[] = {
      {"--mode PS2x5", "--mode PS2x5", kBlockText},
      {"--mode PS2x5 --baud 2", "--mode PS2x5 --baud 2", "2 Bd"},
      {"--mode PS2x5 --baud 100 --shift 200", "--mode 20 --baud 100 --shift 200", kBlockText},
      {"--mode PS33x5 --baud 1.5625", "--mode PS33x5 --baud 1.5625", "step 1"},
      {"--mode PS33x5 --baud 3.125", "--mode PS33x5 --baud 3.125", "step 2"},
      {"--mode PS33x5", "--mode PS33x5", kBlockText},
      {"--mode PS33x5 --baud 12.5", "--mode PS33x5 --baud 12.5", kBlockText},
      {"--mode PS33x5 --baud 25", "--mode PS33x5 --baud 25", kBlockText},
      {"--mode 22 --baud 50", "--mode PS33x5 --baud 50", kBlockText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tx);
    const test::ToolResult r = Decode(c.rx, Encode(c.text, c.tx));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "\r\n" + c.text + "{ER=0.0%}");
  }
}

TEST_F(BlockModeTools, NoiseClockErrorOffsetAndReverse) {
  struct Case {
    std::string tx, rx;
    double noise;
  };
  const Case cases[] = {
      // Eb = 2000^2 / 2 / 25 Bd, N0 = noise^2 / 5512.5: 12 dB.
      {"--mode PS2x5", "--mode PS2x5", 5275.0},
      {"--mode PS2x5 --out-rate 11036", "--mode PS2x5", 0.0},
      {"--mode PS2x5 --out-rate 11014", "--mode PS2x5", 0.0},
      {"--mode PS2x5 --tx-hz 1705", "--mode PS2x5", 0.0},
      {"--mode PS2x5 --reverse", "--mode PS2x5 --reverse", 0.0},
      // Eb = 2000^2 / 2 / (6.25 Bd x 5 bits): 8 dB.
      {"--mode PS33x5", "--mode PS33x5", 7477.0},
      {"--mode PS33x5 --out-rate 11036", "--mode PS33x5", 0.0},
      {"--mode PS33x5 --out-rate 11014", "--mode PS33x5", 0.0},
      {"--mode PS33x5 --tx-hz 1600", "--mode PS33x5 --rx-hz 1500", 0.0},
      {"--mode PS33x5 --tx-hz 1400 --baud 25", "--mode PS33x5 --rx-hz 1500 --baud 25", 0.0},
      {"--mode PS33x5 --reverse", "--mode PS33x5 --reverse", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tx);
    const test::ToolResult r = Decode(c.rx, Encode(kBlockText, c.tx, c.noise));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 2 + kBlockText.size()), "\r\n" + kBlockText);
    EXPECT_EQ(r.out.find('_'), std::string::npos) << r.out;
  }
}

// --save-blocks keeps each message in a file of its own, named by its start time, O for no
// lost block and the rate; without it nothing is written.
TEST_F(BlockModeTools, SaveBlocksWritesTheMessageFile) {
  const std::string raw = Encode("FIRST MESSAGE", "--mode PS2x5 --baud 100 --shift 200");
  test::TempDir dir;
  const std::filesystem::path blocks = dir.path() / "rec";
  const test::ToolResult r =
      Decode("--mode PS2x5 --baud 100 --shift 200 --save-blocks " + ShellQuote(blocks.string()), raw);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(blocks)) names.push_back(e.path().filename().string());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), std::string("00000000000-RO-0000.TXT").size());
  EXPECT_EQ(names[0].substr(11), "-RO-0000.TXT");
  EXPECT_EQ(test::ReadWholeFile((blocks / names[0]).string()), "FIRST MESSAGE");
}

TEST_F(BlockModeTools, BlockModeOptionsAreChecked) {
  for (const std::string c : {"--mode PS33x5 --baud 45", "--mode PS33x5 --baud 2", "--mode PS2x5 --save-blocks"}) {
    SCOPED_TRACE(c);
    const test::ToolResult r = test::RunTool(ShellQuote(tool) + " " + c);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.rfind("vestrel-decode: ", 0), 0u);
  }
  const test::ToolResult e = test::RunTool(ShellQuote(encoder) + " --mode PS2x5 --out-rate 100", "");
  EXPECT_EQ(e.exitCode, 2);
  EXPECT_EQ(e.err.rfind("vestrel-encode: --out-rate", 0), 0u);
}

// MFSK16 and MFSK8 from vestrel-encode into vestrel-decode: every byte 1..255 (the encoder
// sends a line end, 10 or 13, as CR LF; the idle NULs are left out), with the band's centre
// moved by a third of the tone spacing and with Reverse on both sides.
TEST_F(VestrelDecodeTest, MfskRoundTripFromVestrelEncode) {
  const std::string encoder = test::BenchToolPath("vestrel-encode");
  if (encoder.empty()) GTEST_SKIP() << "vestrel-encode is not built";
  std::string text;
  std::string expected;
  for (int c = 1; c < 256; ++c) {
    text.push_back(static_cast<char>(c));
    expected += (c == 10 || c == 13) ? std::string("\r\n") : std::string(1, static_cast<char>(c));
  }
  struct Case {
    std::string tx;
    std::string rx;
  };
  const Case cases[] = {
      {"--mode MFSK16", "--mode MFSK16"},
      {"--mode MFSK16 --tx-hz 1005", "--mode MFSK16 --rx-hz 1000"},
      {"--mode MFSK16 --tx-hz 2195 --reverse", "--mode MFSK16 --rx-hz 2200 --reverse"},
      {"--mode MFSK8", "--mode MFSK8"},
      {"--mode MFSK8 --tx-hz 1002.5", "--mode MFSK8 --rx-hz 1000"},
      {"--mode 16 --tx-hz 2197.5 --reverse", "--mode 16 --rx-hz 2200 --reverse"},
      // The sound card's clock 0.1 % off either way.
      {"--mode MFSK16 --tx-hz 1504 --out-rate 11036", "--mode MFSK16 --rx-hz 1500"},
      {"--mode MFSK16 --out-rate 11014 --reverse", "--mode MFSK16 --reverse"},
      {"--mode MFSK8 --tx-hz 1001.5 --out-rate 11014", "--mode MFSK8 --rx-hz 1000"},
      {"--mode MFSK8 --out-rate 11036 --reverse", "--mode MFSK8 --reverse"},
  };
  const std::string textPath = test::TempPath("text.txt");
  const std::string raw = test::TempPath("tx.raw");
  test::WriteFile(textPath, text);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tx + " | " + c.rx);
    const test::ToolResult tx = test::RunTool(ShellQuote(encoder) + " " + c.tx + " " + ShellQuote(textPath) +
                                              " > " + ShellQuote(raw));
    ASSERT_EQ(tx.exitCode, 0) << tx.err;
    const test::ToolResult r = Decode(c.rx, raw);
    EXPECT_EQ(r.exitCode, 0);
    std::string shown;
    for (char ch : r.out) {
      if (ch != '\0') shown.push_back(ch);
    }
    EXPECT_EQ(shown, expected);
  }
}

// AMTOR FEC joined in mid-text: only fast sync finds the phase without the phasing signals.
TEST_F(VestrelDecodeTest, FastSyncReadsATransmissionJoinedInMidText) {
  const std::string encoder = test::BenchToolPath("vestrel-encode");
  if (encoder.empty()) GTEST_SKIP() << "vestrel-encode is not built";
  const std::string text = "NOW IS THE TIME FOR ALL GOOD MEN TO COME TO THE AID OF THE PARTY";
  const std::string textPath = test::TempPath("text.txt");
  const std::string raw = test::TempPath("tx.raw");
  FILE* f = std::fopen(textPath.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  // Preamble, phasing and the first 13 characters (two places of 7 bits each) cut off.
  const size_t cut = 3600 + 512 + static_cast<size_t>((6 + 3 + 13) * 14 * 110.25);
  const test::ToolResult tx = test::RunTool(ShellQuote(encoder) + " --mode AMT-FEC " + ShellQuote(textPath) +
                                            " | tail -c +" + std::to_string(2 * cut + 1) + " > " + ShellQuote(raw));
  ASSERT_EQ(tx.exitCode, 0) << tx.err;
  EXPECT_EQ(Decode("--mode AMT-FEC", raw).out, "");
  const std::string got = Decode("--mode AMT-FEC --fast-sync", raw).out;
  EXPECT_NE(got.find(text.substr(text.size() - 40)), std::string::npos) << got;
}

// The sending station of an AMTOR ARQ link: three CCIR-476 characters a block every 450 ms,
// a block repeated once on request; 100 Bd by default.
TEST_F(VestrelDecodeTest, AmtorArqMonitorPrintsEachBlockOnce) {
  std::vector<int> codes;
  for (int b : test::BaudotCodesOf("CQ CQ DE TEST K", 0)) codes.push_back(kCcir476[b & 31]);
  while (codes.size() % 3 != 0) codes.push_back(PhasingOne);
  std::vector<test::BitBurst> bursts;
  for (size_t i = 0; i < codes.size(); i += 3) {
    for (int copy = 0; copy < (i == 3 ? 2 : 1); ++copy) {
      test::BitBurst b;
      b.startBits = 20.0 + 45.0 * bursts.size();
      for (size_t j = i; j < i + 3; ++j) test::AppendBits(b.bits, static_cast<unsigned>(codes[j]), 7, true);
      bursts.push_back(b);
    }
  }
  const std::string path = test::TempPath("arq.raw");
  ASSERT_TRUE(test::WriteRawSamples(path, test::MakeBitSignal(bursts, 0.0, test::BitSignalOptions{})));
  // When the blocks stop, the first silent cycle reads as an invalid block.
  EXPECT_EQ(Decode("--mode AMT-ARQ", path).out, "CQ CQ DE TEST K___");
}

// FIGS 1 space A, with no LTRS after the space: only unshift-on-space gets the letter back.
TEST_F(VestrelDecodeTest, UnshiftOnSpace) {
  const std::string file = Recording({kBaudotFigs, 23, 4, 3}, FskSignalOptions{});
  EXPECT_EQ(Decode("--mode RTTY", file).out, "1 -");
  EXPECT_EQ(Decode("--mode RTTY --unshift-on-space", file).out, "1 A");
}

TEST_F(VestrelDecodeTest, SquelchClosedPrintsNothing) {
  FskSignalOptions o;
  o.amplitude = 2000;
  const std::string file = Recording(test::BaudotCodesOf(kText, 0), o);
  // Position 100 asks for a peak of 2, far above this signal's; 50 (0.036) lets it through.
  const test::ToolResult closed = Decode("--mode RTTY --squelch 100", file);
  EXPECT_EQ(closed.exitCode, 0);
  EXPECT_EQ(closed.out, "");
  EXPECT_EQ(Decode("--mode RTTY --squelch 50", file).out, kText);
}

// --- PSK: vestrel-encode into vestrel-decode ---

// What the receiver shows of a text the encoder sent: a line end goes out as CR LF.
std::string SentAsPsk(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

class PskRoundTrip : public VestrelDecodeTest {
 protected:
  void SetUp() override {
    VestrelDecodeTest::SetUp();
    encoder = test::BenchToolPath("vestrel-encode");
    if (encoder.empty()) GTEST_SKIP() << "vestrel-encode is not built";
  }

  std::string Encode(const std::string& text, const std::string& options) {
    const std::string textPath = test::TempPath("text.txt");
    const std::string raw = test::TempPath("tx.raw");
    FILE* f = std::fopen(textPath.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    const test::ToolResult tx = test::RunTool(ShellQuote(encoder) + " " + options + " " +
                                              ShellQuote(textPath) + " > " + ShellQuote(raw));
    EXPECT_EQ(tx.exitCode, 0) << options << ": " << tx.err;
    return raw;
  }

  std::string encoder;
};

const char* const kPskModes[] = {"BPSK31", "BPSK63", "BPSK125", "QPSK31", "QPSK63"};

// Every byte but NUL (no varicode receiver shows it) in each of the five modes.
TEST_F(PskRoundTrip, EveryByteInEveryMode) {
  std::string text;
  for (int c = 1; c < 256; ++c) text.push_back(static_cast<char>(c));
  for (const char* mode : kPskModes) {
    SCOPED_TRACE(mode);
    const std::string raw = Encode(text, std::string("--mode ") + mode);
    const test::ToolResult r = Decode(std::string("--mode ") + mode, raw);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(test::FramedByKeyNoise(r.out, SentAsPsk(text)));
  }
}

// The receiver tuned off the carrier (no AFC here): the differential detector sees the offset
// as 360 x offset / baud degrees a symbol; BPSK holds 55 of its 90, QPSK 28 of its 45, either
// way. And the sender's sound card 0.1 % fast or slow: synthesised for a calibrated playback
// rate of 11025 x (1 +- 0.001) and read at 11025, symbols and tone are 0.1 % off.
TEST_F(PskRoundTrip, OffsetAndClockError) {
  const std::string text = "CQ CQ de VESTREL: the quick brown fox jumps over the lazy dog 0123456789\n";
  struct Case {
    const char* mode;
    double baud;
    double degrees;
  };
  const Case cases[] = {{"BPSK31", 31.25, 55},
                        {"BPSK63", 62.5, 55},
                        {"BPSK125", 125, 55},
                        {"QPSK31", 31.25, 28},
                        {"QPSK63", 62.5, 28}};
  for (const Case& c : cases) {
    const double offset = c.degrees / 360.0 * c.baud;
    for (double sign : {1.0, -1.0}) {
      const std::string rx = std::to_string(1500.0 + sign * offset);
      SCOPED_TRACE(std::string(c.mode) + " rx " + rx);
      const std::string raw = Encode(text, std::string("--mode ") + c.mode + " --tx-hz 1500");
      EXPECT_TRUE(test::FramedByKeyNoise(Decode(std::string("--mode ") + c.mode + " --rx-hz " + rx, raw).out,
                                         SentAsPsk(text)));
    }
    for (const char* rate : {"11036.025", "11013.975"}) {
      SCOPED_TRACE(std::string(c.mode) + " out-rate " + rate);
      const std::string raw = Encode(text, std::string("--mode ") + c.mode + " --out-rate " + rate);
      EXPECT_TRUE(test::FramedByKeyNoise(Decode(std::string("--mode ") + c.mode, raw).out, SentAsPsk(text)));
    }
  }
}

// QPSK from the other sideband: with --reverse on both sides the text comes through; with it
// on one side only, every quarter turn is read the wrong way round.
TEST_F(PskRoundTrip, QpskReverseOnBothSides) {
  const std::string text = "QPSK on the other sideband, 0123456789";
  for (const char* mode : {"QPSK31", "QPSK63"}) {
    SCOPED_TRACE(mode);
    const std::string raw = Encode(text, std::string("--mode ") + mode + " --reverse");
    EXPECT_TRUE(test::FramedByKeyNoise(Decode(std::string("--mode ") + mode + " --reverse", raw).out, text));
    EXPECT_GT(test::CharacterErrorRateWithin(text, Decode(std::string("--mode ") + mode, raw).out), 0.5);
  }
}

// The PSK squelch: a character passes only while the spectrum peak at the carrier's bin is above
// the level. A transmission at a tenth of full scale peaks near 0.3: position 100 (level 2)
// passes nothing, position 30 (level 0.007) the text.
TEST_F(PskRoundTrip, SquelchGatesCharacters) {
  const std::string text = "squelch test text";
  const std::string raw = Encode(text, "--mode BPSK31");
  std::ifstream in(raw, std::ios::binary);
  std::vector<int16_t> samples;
  for (char b[2]; in.read(b, 2);)
    samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(b[0]) | (static_cast<uint8_t>(b[1]) << 8)));
  for (int16_t& v : samples) v = static_cast<int16_t>(v / 10);
  const std::string quiet = test::TempPath("quiet.raw");
  ASSERT_TRUE(test::WriteRawSamples(quiet, samples));
  EXPECT_EQ(Decode("--mode BPSK31 --squelch 100", quiet).out, "");
  EXPECT_TRUE(test::FramedByKeyNoise(Decode("--mode BPSK31 --squelch 30", quiet).out, text));
}

// AFC: transmissions sent 20-40 Hz off the receive tones decode with --afc; one farther off
// than the global deviation is not followed.
TEST_F(PskRoundTrip, AfcFollowsAnOffsetTransmission) {
  const std::string psk = "CQ CQ de VESTREL: the quick brown fox jumps over the lazy dog 0123456789\n";
  const std::string rtty = "RYRY THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789\r\n";
  struct Case {
    std::string tx, rx;
    const std::string* text;
  };
  const Case cases[] = {
      {"--mode BPSK31 --tx-hz 1525", "--mode BPSK31 --rx-hz 1500 --afc", &psk},
      {"--mode BPSK63 --tx-hz 1470", "--mode BPSK63 --rx-hz 1500 --afc", &psk},
      {"--mode BPSK125 --tx-hz 1540", "--mode BPSK125 --rx-hz 1500 --afc --afc-local 50 --afc-global 300", &psk},
      {"--mode QPSK31 --tx-hz 1520", "--mode QPSK31 --rx-hz 1500 --afc", &psk},
      {"--mode RTTY --tx-hz 1735", "--mode RTTY --rx-hz 1700 --afc", &rtty},
      {"--mode RTTY --baud 100 --tx-hz 1665", "--mode RTTY --baud 100 --rx-hz 1700 --afc", &rtty},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tx + " | " + c.rx);
    const test::ToolResult r = Decode(c.rx, Encode(*c.text, c.tx));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    if (c.text == &psk)
      EXPECT_TRUE(test::FramedByKeyNoise(r.out, SentAsPsk(psk)));
    else
      EXPECT_NE(r.out.find(rtty), std::string::npos) << r.out;
  }
  // 40 Hz off with a global deviation of 10 Hz: the receiver stays 30 Hz off.
  const test::ToolResult far =
      Decode("--mode BPSK31 --rx-hz 1500 --afc --afc-global 10", Encode(psk, "--mode BPSK31 --tx-hz 1540"));
  EXPECT_EQ(far.out.find("quick brown fox"), std::string::npos) << far.out;
}

TEST_F(VestrelDecodeTest, BadOptionsAndFilesExitWithStatusTwo) {
  const std::string file = Recording({31}, FskSignalOptions{});
  const std::string cases[] = {
      "",
      "--mode",
      "--mode FOO",
      "--mode 13",
      "--mode RTTY --baud 47",
      "--mode RTTY --baud fast",
      "--mode RTTY --shift 171",
      "--mode RTTY --filter medium",
      "--mode RTTY --squelch 101",
      "--mode RTTY --squelch -1",
      "--mode RTTY --rx-hz 12k",
      "--mode RTTY --rx-hz 9000",
      "--mode RTTY --reverse=1",
      "--mode RTTY --bogus",
      "--mode RTTY -x",
      "--mode RTTY " + ShellQuote(file) + " " + ShellQuote(file),
      "--mode RTTY /nonexistent/input.raw",
      "--mode RTTY --kiss",
      "--mode AX25-U --baud 300",
      "--mode AX25-H --baud 1200",
      "--mode RTTY --afc-local 20",
      "--mode RTTY --afc --afc-global -1",
      "--mode RTTY --afc --afc-local many",
  };
  for (const std::string& c : cases) {
    SCOPED_TRACE(c);
    const test::ToolResult r = test::RunTool(ShellQuote(tool) + " " + c);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.rfind("vestrel-decode: ", 0), 0u);
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line";
  }
  const test::ToolResult help = test::RunTool(ShellQuote(tool) + " --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("usage: vestrel-decode --mode MODE"), std::string::npos);
}

// KISS in through vestrel-encode, out of vestrel-decode: with --kiss the data frames byte for
// byte (0xC0 and 0xDB escaped, no check bytes), the parameter commands applied but not sent;
// without it one monitor line a frame. Both modes with their menu's tones and speed.
TEST_F(VestrelDecodeTest, PacketRoundTripFromVestrelEncode) {
  const std::string encoder = test::BenchToolPath("vestrel-encode");
  if (encoder.empty()) GTEST_SKIP() << "vestrel-encode is not built";
  std::mt19937 rng(44);
  const std::vector<std::vector<uint8_t>> frames = {
      test::BuildUiFrame("N0CALL-7", "APRS", "!4237.14NS07120.83W#", {"WIDE1-1", "WIDE2-2"}),
      test::RandomAx25Frame(200, rng),
      test::BuildUiFrame("N0CALL", "CQ", std::string("\xC0\xDB\xC0", 3)),
  };
  std::string kissIn = "\xC0\x01\x0A\xC0";  // TXDELAY 100 ms
  std::string kissOut, lines;
  for (const auto& f : frames) {
    const std::vector<uint8_t> k = test::KissOf(f);
    kissIn.append(k.begin(), k.end());
    kissOut.append(k.begin(), k.end());
  }
  kissIn += "\xC0\x05\x01\xC0";  // full duplex, nothing to send
  lines = "\r\nN0CALL-7 -> APRS-0 via WIDE1-1 , WIDE2-2  UI^ Pid=F0\r\n!4237.14NS07120.83W#\r\n";
  const std::string kissPath = test::TempPath("in.kiss");
  {
    FILE* f = std::fopen(kissPath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(kissIn.data(), 1, kissIn.size(), f);
    std::fclose(f);
  }
  const std::string raw = test::TempPath("packet.raw");
  for (const char* mode : {"AX25-H", "AX25-U"}) {
    SCOPED_TRACE(mode);
    const test::ToolResult tx = test::RunTool(ShellQuote(encoder) + " --mode " + mode + " " +
                                              ShellQuote(kissPath) + " > " + ShellQuote(raw));
    ASSERT_EQ(tx.exitCode, 0) << tx.err;
    const test::ToolResult k = Decode(std::string("--mode ") + mode + " --kiss", raw);
    EXPECT_EQ(k.exitCode, 0);
    EXPECT_EQ(k.out, kissOut);
    const test::ToolResult m = Decode(std::string("--mode ") + mode, raw);
    EXPECT_EQ(m.exitCode, 0);
    EXPECT_EQ(m.out.rfind(lines, 0), 0u) << m.out;
    EXPECT_NE(m.out.find("\r\nN0CALL-0 -> CQ-0  UI^ Pid=F0\r\n\xC0\xDB\xC0\r\n"), std::string::npos);
  }
  // No data frame, no transmission.
  const std::string commandsOnly = test::TempPath("commands.kiss");
  {
    FILE* f = std::fopen(commandsOnly.c_str(), "wb");
    std::fputs("\xC0\x01\x05\xC0", f);
    std::fclose(f);
  }
  const test::ToolResult none =
      test::RunTool(ShellQuote(encoder) + " --mode AX25-U " + ShellQuote(commandsOnly));
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_EQ(none.out, "");
}

}  // namespace
}  // namespace vestrel
