// ctest-labels: interop
// vestrel-encode against minimodem, through sox for the WAV container.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

const std::string kEncoder = std::string(VESTREL_BENCH_DIR) + "/vestrel-encode";

struct Result {
  int status = -1;
  std::string out;
};

Result Shell(const std::string& command) {
  Result r;
  std::FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// What a receiver shows of our text: the ASCII modes send a NUL before blanks and line ends
// and idle on NUL; a line end goes out as CR LF.
std::string Shown(std::string s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\0') continue;
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
    out.push_back(s[i]);
  }
  return out;
}

class VestrelEncodeInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "vestrel_encode_" + std::to_string(::getpid());
    ASSERT_EQ(Shell("mkdir -p " + dir_).status, 0);
  }
  void TearDown() override { Shell("rm -rf " + dir_); }

  // Encodes the text, wraps it as WAV (optionally with white noise mixed in) and decodes it
  // with minimodem.
  std::string Through(const std::string& text, const std::string& encodeArgs, const std::string& peerArgs,
                      double noiseAmplitude = 0.0) {
    const std::string txt = dir_ + "/in.txt", raw = dir_ + "/tx.raw", wav = dir_ + "/tx.wav";
    std::ofstream(txt, std::ios::binary) << text;
    EXPECT_EQ(Shell(kEncoder + " " + encodeArgs + " " + txt + " > " + raw).status, 0);
    std::string sox = "sox -q -t raw -r 11025 -e signed -b 16 -c 1 " + raw + " ";
    if (noiseAmplitude > 0) {
      const std::string noise = dir_ + "/noise.wav", clean = dir_ + "/clean.wav";
      EXPECT_EQ(Shell(sox + clean).status, 0);
      EXPECT_EQ(
          Shell("sox -q " + clean + " " + noise + " synth whitenoise vol " + std::to_string(noiseAmplitude))
              .status,
          0);
      EXPECT_EQ(Shell("sox -q -m " + clean + " " + noise + " " + wav).status, 0);
    } else {
      EXPECT_EQ(Shell(sox + wav).status, 0);
    }
    return Shell("minimodem --rx " + peerArgs + " -q -f " + wav + " 2>/dev/null").out;
  }

  std::string dir_;
};

const std::string kText = "CQ CQ CQ DE TEST TEST TEST PSE K\nRYRYRYRY 0123456789 ?/-.,\n";

TEST_F(VestrelEncodeInterop, Rtty45BaudDecodesInMinimodem) {
  // minimodem's RTTY: 45.45 Bd, 5 data bits, 1.5 stop bits, mark on the upper tone as ours.
  const std::string got =
      Through(kText, "--mode RTTY --baud 45.45 --tx-hz 1500 --shift 170", "rtty -M 1585 -S 1415");
  EXPECT_EQ(Shown(got), kText);
}

TEST_F(VestrelEncodeInterop, Rtty45BaudWithNoiseDecodesInMinimodem) {
  // White noise at 0.3 of full scale over a 32000/32767 tone: about -3 dB in the 5.5 kHz band,
  // some 18 dB in the 90 Hz a 45 Bd filter passes.
  const std::string got =
      Through(kText, "--mode RTTY --baud 45.45 --tx-hz 1500 --shift 170", "rtty -M 1585 -S 1415", 0.3);
  EXPECT_EQ(Shown(got), kText);
}

TEST_F(VestrelEncodeInterop, Ascii8At1200BaudDecodesAsBell202) {
  // Bell 202 puts mark on 1200 Hz, our lower tone: Reverse.
  const std::string text = "Hello, world! The quick brown fox jumps over the lazy dog.\n0123456789\n";
  const std::string got =
      Through(text, "--mode ASCII-8 --baud 1200 --tx-hz 1700 --shift 1000 --reverse", "1200");
  EXPECT_EQ(Shown(got), text);
}

TEST_F(VestrelEncodeInterop, Ascii8At300BaudDecodesAsBell103) {
  // Bell 103 (originate) puts mark on 1270 Hz, our upper tone: no Reverse.
  const std::string text = "Bell 103 at 300 Bd from an ASCII-8 transmitter.\n";
  const std::string got = Through(text, "--mode ASCII-8 --baud 300 --tx-hz 1170 --shift 200", "300");
  EXPECT_EQ(Shown(got), text);
}

TEST(VestrelEncodeOptions, BadArgumentsGiveOneLineAndStatusTwo) {
  for (const std::string args :
       {"", "--mode NOPE", "--mode RTTY --baud 33", "--mode RTTY --shift 171", "--mode RTTY --tx-hz 5000",
        "--mode BPSK31", "--mode RTTY --bogus", "--mode RTTY /nonexistent/file"}) {
    const Result r = Shell(kEncoder + " " + args + " < /dev/null 2>&1 >/dev/null");
    EXPECT_EQ(r.status, 2) << args;
    ASSERT_FALSE(r.out.empty()) << args;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << args << ": " << r.out;
  }
}

TEST(VestrelEncodeOptions, EmptyTextIsAWholeTransmission) {
  // Preamble 4112, the two opening LTRS, the closing LTRS (1820 each) and the 2012-sample tail.
  const Result r = Shell(kEncoder + " --mode RTTY < /dev/null | wc -c");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::stol(r.out), 2 * (4112 + 3 * 1820 + 2012));
}

}  // namespace
