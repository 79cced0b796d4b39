// ctest-labels: interop
// vestrel-encode against minimodem (through sox for the WAV container) and against our own
// vestrel-decode with white noise mixed in by sox; its packet transmissions against direwolf's
// atest and multimon-ng.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/ax25_frames.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

using test::RunTool;
using test::ShellQuote;

// What a receiver shows of our text: the ASCII modes send a NUL before blanks and line ends
// and idle on NUL; a line end goes out as CR LF.
std::string Shown(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\0') continue;
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
    out.push_back(s[i]);
  }
  return out;
}

class VestrelEncodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    encoder_ = test::BenchToolPath("vestrel-encode");
    if (encoder_.empty()) GTEST_SKIP() << "vestrel-encode is not built";
    for (const char* p : {"sox", "minimodem"}) {
      if (!test::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
    }
  }

  // The transmission of `text` as a WAV file; with noise > 0 at half scale with sox's uniform
  // white noise of amplitude `noise` (share of full scale) added, so nothing clips. The noise
  // is seeded (-R), so a run is repeatable.
  std::string Wav(const std::string& text, const std::string& encodeArgs, double noise = 0.0) {
    const std::string txt = test::TempPath("in.txt"), raw = test::TempPath("tx.raw");
    const std::string wav = test::TempPath("tx.wav"), clean = test::TempPath("clean.wav");
    const std::string hiss = test::TempPath("noise.wav");
    std::ofstream(txt, std::ios::binary) << text;
    const test::ToolResult tx =
        RunTool(ShellQuote(encoder_) + " " + encodeArgs + " " + ShellQuote(txt) + " > " + ShellQuote(raw));
    EXPECT_EQ(tx.exitCode, 0) << tx.err;
    const std::string fromRaw = "sox -q -t raw -r 11025 -e signed -b 16 -c 1 " + ShellQuote(raw) + " ";
    if (noise <= 0) {
      EXPECT_EQ(RunTool(fromRaw + ShellQuote(wav)).exitCode, 0);
      return wav;
    }
    EXPECT_EQ(RunTool(fromRaw + ShellQuote(clean)).exitCode, 0);
    EXPECT_EQ(RunTool("sox -R -q " + ShellQuote(clean) + " " + ShellQuote(hiss) + " synth whitenoise vol " +
                      std::to_string(noise))
                  .exitCode,
              0);
    EXPECT_EQ(
        RunTool("sox -q -m -v 1 " + ShellQuote(clean) + " -v 1 " + ShellQuote(hiss) + " " + ShellQuote(wav))
            .exitCode,
        0);
    return wav;
  }

  std::string Minimodem(const std::string& wav, const std::string& peerArgs) {
    return RunTool("minimodem --rx " + peerArgs + " -q -f " + ShellQuote(wav)).out;
  }

  std::string encoder_;
};

const std::string kText = "CQ CQ CQ DE TEST TEST TEST PSE K\nRYRYRYRY 0123456789 ?/-.,\n";

TEST_F(VestrelEncodeTest, Rtty45BaudDecodesInMinimodem) {
  // minimodem's RTTY: 45.45 Bd, 5 data bits, 1.5 stop bits, mark on the upper tone as ours.
  const std::string wav = Wav(kText, "--mode RTTY --baud 45.45 --tx-hz 1500 --shift 170");
  EXPECT_EQ(Shown(Minimodem(wav, "rtty -M 1585 -S 1415")), kText);
}

TEST_F(VestrelEncodeTest, Rtty45BaudInNoiseDecodesInMinimodem) {
  // Eb/N0 = 1968 / (baud x v^2) (see below): 22 dB at 45.45 Bd with v = 0.5.
  const std::string wav = Wav(kText, "--mode RTTY --baud 45.45 --tx-hz 1500 --shift 170", 0.5);
  EXPECT_EQ(Shown(Minimodem(wav, "rtty -M 1585 -S 1415")), kText);
}

TEST_F(VestrelEncodeTest, Ascii8At1200BaudDecodesAsBell202) {
  // Bell 202 puts mark on 1200 Hz, our lower tone: Reverse.
  const std::string text = "Hello, world! The quick brown fox jumps over the lazy dog.\n0123456789\n";
  const std::string wav = Wav(text, "--mode ASCII-8 --baud 1200 --tx-hz 1700 --shift 1000 --reverse");
  EXPECT_EQ(Shown(Minimodem(wav, "1200")), text);
}

TEST_F(VestrelEncodeTest, Ascii8At300BaudDecodesAsBell103) {
  // Bell 103 (originate) puts mark on 1270 Hz, our upper tone: no Reverse.
  const std::string text = "Bell 103 at 300 Bd from an ASCII-8 transmitter.\n";
  const std::string wav = Wav(text, "--mode ASCII-8 --baud 300 --tx-hz 1170 --shift 200");
  EXPECT_EQ(Shown(Minimodem(wav, "300")), text);
}

TEST_F(VestrelEncodeTest, InNoiseThroughVestrelDecode) {
  const std::string decoder = test::BenchToolPath("vestrel-decode");
  if (decoder.empty()) GTEST_SKIP() << "vestrel-decode is not built";
  // The transmission at half scale (A = 0.488, Eb = A^2 / 2 / baud) plus sox's uniform white
  // noise of amplitude v (variance v^2 / 3, N0 = 2 x variance / 11025 per Hz), so nothing
  // clips: Eb/N0 = 1968 / (baud x v^2). v = 0.5 gives 22 dB at 45.45 Bd, 20 dB at 75, 18.5 dB
  // at 110 and 14 dB at 300 Bd; v = 0.256 gives 14 dB at 1200 Bd. Non-coherent FSK at 14 dB
  // errs in 0.5 exp(-12.6) = 1.7e-6 of the bits, and still under 1e-3 at 11 dB: no error in
  // the 600 bits sent holds the receiver within about 3 dB of theory.
  struct Case {
    const char* options;
    double noise;
  };
  for (const Case c : {Case{"--mode RTTY", 0.5}, Case{"--mode RTTY --baud 50", 0.5},
                       Case{"--mode RTTY --baud 75", 0.5}, Case{"--mode ASCII-7 --baud 110 --shift 425", 0.5},
                       Case{"--mode ASCII-7 --baud 300 --shift 500", 0.5},
                       Case{"--mode ASCII-8 --baud 1200 --shift 1000", 0.256}}) {
    SCOPED_TRACE(c.options);
    const std::string text = "CQ CQ DE TEST 599 73 RYRY THE QUICK BROWN FOX 0123456789\n";
    const std::string wav = Wav(text, c.options, c.noise);
    const std::string raw = test::TempPath("noisy.raw");
    ASSERT_EQ(RunTool("sox -q " + ShellQuote(wav) + " -t raw -e signed -b 16 " + ShellQuote(raw)).exitCode,
              0);
    const test::ToolResult r = RunTool(ShellQuote(decoder) + " " + c.options + " " + ShellQuote(raw));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Noise alone, before the carrier and after the tail, may print a character or two.
    const std::string got = Shown(r.out);
    EXPECT_NE(got.find(text), std::string::npos) << got;
  }
}

TEST_F(VestrelEncodeTest, BadArgumentsGiveOneLineAndStatusTwo) {
  for (const std::string args :
       {"", "--mode NOPE", "--mode RTTY --baud 33", "--mode RTTY --shift 171", "--mode RTTY --tx-hz 5000",
        "--mode DTMF", "--mode RTTY --bogus", "--mode RTTY /nonexistent/file",
        "--mode BPSK31 --out-rate 7999", "--mode BPSK31 --out-rate fast", "--mode BPSK31 --out-rate 200000",
        "--mode BPSK31 --cw"}) {
    const test::ToolResult r = RunTool(ShellQuote(encoder_) + " " + args);
    EXPECT_EQ(r.exitCode, 2) << args;
    ASSERT_FALSE(r.err.empty()) << args;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << args;
  }
}

TEST_F(VestrelEncodeTest, EmptyTextIsAWholeTransmission) {
  // Preamble 4112, the two opening LTRS, the closing LTRS (1820 each) and the 2012-sample tail.
  const test::ToolResult r = RunTool(ShellQuote(encoder_) + " --mode RTTY");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.size(), 2u * (4112 + 3 * 1820 + 2012));
}

// --- PSK: the length of a transmission at a calibrated output rate, and CW identification ---

class VestrelEncodePsk : public ::testing::Test {
 protected:
  void SetUp() override {
    encoder_ = test::BenchToolPath("vestrel-encode");
    if (encoder_.empty()) GTEST_SKIP() << "vestrel-encode is not built";
  }
  // The samples of a transmission of `text`.
  size_t Samples(const std::string& text, const std::string& args) {
    const std::string txt = test::TempPath("in.txt");
    std::ofstream(txt, std::ios::binary) << text;
    const test::ToolResult r = RunTool(ShellQuote(encoder_) + " " + args + " " + ShellQuote(txt));
    EXPECT_EQ(r.exitCode, 0) << args << ": " << r.err;
    return r.out.size() / 2;
  }
  std::string encoder_;
};

// With --out-rate the symbols last rate / baud samples, written as they are: an empty text in
// BPSK31 is the 3600-sample gap and 512-sample rise, three idles of four zero bits and the
// 2012-sample tail; in QPSK31 the gap, a ramp symbol and 16 zero bits, three idles of six, and
// 16 bits and a ramp symbol. Symbols of 352.8 samples at 11025 alternate 353 and 352, so 12 or
// 52 of them are within a sample of 12 x 352.8 or 52 x 352.8.
TEST_F(VestrelEncodePsk, OutputRateSetsTheSymbolLength) {
  for (double rate : {11025.0, 11025.3, 22050.0, 48000.0}) {
    SCOPED_TRACE(rate);
    const std::string r = " --out-rate " + std::to_string(rate);
    EXPECT_NEAR(static_cast<double>(Samples("", "--mode BPSK31" + r)), 3600 + 512 + 12 * rate / 31.25 + 2012,
                1.0);
    EXPECT_NEAR(static_cast<double>(Samples("", "--mode QPSK31" + r)), 3600 + 52 * rate / 31.25, 1.0);
    EXPECT_NEAR(static_cast<double>(Samples("", "--mode BPSK125" + r)), 3600 + 512 + 12 * rate / 125 + 2012,
                1.0);
  }
}

// A CW identification adds the tail that stops the carrier, its elements at the PSK symbol
// length (a dit and its gap 4 symbols, a dah 7, the gap after a character 4, a space two
// gaps) and makes the end a silence of 2002 samples in place of the tail.
TEST_F(VestrelEncodePsk, CwIdentificationAfterTheText) {
  const double plain = static_cast<double>(Samples("73", "--mode BPSK31"));
  struct Case {
    const char* cw;
    int symbols;
  };
  for (const Case c : {Case{"E", 4 + 4}, Case{"T", 7 + 4}, Case{"EE", 2 * (4 + 4)}, Case{"E E", 8 + 8 + 8}}) {
    SCOPED_TRACE(c.cw);
    const double with = static_cast<double>(Samples("73", std::string("--mode BPSK31 --cw '") + c.cw + "'"));
    EXPECT_NEAR(with - plain, 2012 + c.symbols * 352.8 + 2002 - 2012, 1.0);
  }
  // At 62.5 Bd the elements are half as long.
  EXPECT_NEAR(static_cast<double>(Samples("", "--mode BPSK63 --cw T")) - Samples("", "--mode BPSK63"),
              11 * 176.4 + 2002, 1.0);
}

class PacketPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    encoder = test::BenchToolPath("vestrel-encode");
    if (encoder.empty()) GTEST_SKIP() << "vestrel-encode is not built";
    for (const char* p : {"sox", "atest", "multimon-ng"}) {
      if (!test::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
    }
  }

  // Our transmission of the frames (UI commands built from the monitor lines) in `mode`, as
  // a WAV file at 11025 samples/s.
  std::string Wav(const std::vector<std::string>& lines, const std::string& mode) {
    std::string kiss;
    for (const std::string& l : lines) {
      test::MonitorText m;
      EXPECT_TRUE(test::ParseMonitorText(l, m)) << l;
      m.dest.cBit = true;
      const std::vector<uint8_t> k =
          test::KissOf(test::BuildAx25Frame(m.dest, m.src, m.digis, 0x03, true, 0xF0, m.info));
      kiss.append(k.begin(), k.end());
    }
    const std::string in = test::TempPath("frames.kiss"), raw = test::TempPath("packet.raw");
    const std::string wav = test::TempPath("packet.wav");
    std::ofstream(in, std::ios::binary) << kiss;
    const test::ToolResult tx =
        RunTool(ShellQuote(encoder) + " --mode " + mode + " " + ShellQuote(in) + " > " + ShellQuote(raw));
    EXPECT_EQ(tx.exitCode, 0) << tx.err;
    EXPECT_EQ(
        RunTool("sox -q -t raw -r 11025 -e signed -b 16 -c 1 " + ShellQuote(raw) + " " + ShellQuote(wav))
            .exitCode,
        0);
    return wav;
  }

  std::string encoder;
};

const std::vector<std::string> kPackets = {
    "N0CALL-7>APRS,WIDE1-1,WIDE2-2:!4237.14NS07120.83W# via two digipeaters",
    "VE3XYZ-15>CQ:The quick brown fox jumps over the lazy dog 0123456789 {} ~ |",
    "K1ABC>BEACON-3,RELAY:" + std::string(150, 'x'),
};

// atest prints each frame it decodes in the monitor notation ("[0] N0CALL-7>APRS,...").
std::vector<std::string> AtestLines(const std::string& out) {
  std::vector<std::string> lines;
  std::string clean;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\x1b') {  // colour codes
      while (i < out.size() && out[i] != 'm' && out[i] != 'J') ++i;
      continue;
    }
    clean.push_back(out[i]);
  }
  for (size_t at = 0; (at = clean.find("[0] ", at)) != std::string::npos;) {
    const size_t end = clean.find('\n', at);
    lines.push_back(clean.substr(at + 4, end - at - 4));
    at = end;
  }
  return lines;
}

TEST_F(PacketPeers, OurPacketsDecodeInAtest) {
  for (const char* mode : {"AX25-U", "AX25-H"}) {
    SCOPED_TRACE(mode);
    const std::string wav = Wav(kPackets, mode);
    const test::ToolResult r =
        RunTool(std::string("atest ") + (std::string(mode) == "AX25-H" ? "-B 300 " : "") + ShellQuote(wav));
    EXPECT_EQ(AtestLines(r.out), kPackets) << r.out;
  }
}

// multimon-ng reads raw samples at 22050/s; 3 dB down keeps sox's conversion from clipping.
TEST_F(PacketPeers, OurPacketsDecodeInMultimonAt1200Baud) {
  const std::string wav = Wav(kPackets, "AX25-U");
  const std::string raw = test::TempPath("packet22.raw");
  ASSERT_EQ(RunTool("sox -q " + ShellQuote(wav) + " -t raw -r 22050 -e signed -b 16 -c 1 " + ShellQuote(raw) +
                    " gain -3")
                .exitCode,
            0);
  const test::ToolResult r = RunTool("multimon-ng -q -c -a AFSK1200 -t raw " + ShellQuote(raw));
  std::string want;
  auto call = [](const test::Ax25Address& a) { return a.call + "-" + std::to_string(a.ssid); };
  for (const std::string& l : kPackets) {
    test::MonitorText m;
    ASSERT_TRUE(test::ParseMonitorText(l, m));
    want += "AFSK1200: fm " + call(m.src) + " to " + call(m.dest);
    for (size_t i = 0; i < m.digis.size(); ++i) want += (i == 0 ? " via " : ",") + call(m.digis[i]);
    want += " UI^ pid=F0\n" + m.info + "\n";
  }
  EXPECT_EQ(r.out, want);
}

}  // namespace
}  // namespace vestrel
