// vestrel-decode: the receive chain without a window. Raw signed 16-bit little-endian mono
// samples at 11025 samples/s in, every received character out, as bytes; in the packet modes
// the monitor line of every frame, or with --kiss the frames as KISS.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/harness/harness_options.h"
#include "bench/harness/modem_setup.h"
#include "engine/engine.h"
#include "engine/mode_table.h"

namespace {

using namespace vestrel;

constexpr const char* kUsage =
    "usage: vestrel-decode --mode MODE [--rx-hz HZ] [--shift HZ] [--baud BD]\n"
    "                      [--filter optimal|wide|narrow] [--reverse] [--squelch POS]\n"
    "                      [--unshift-on-space] [--fast-sync] [--kiss] [--save-blocks DIR]\n"
    "                      [--afc [--afc-local HZ] [--afc-global HZ]] [FILE]\n"
    "Decodes raw signed 16-bit little-endian mono samples at 11025 samples/s from FILE (or\n"
    "standard input) through the receive chain and writes the received text to standard output.\n"
    "  --mode MODE     the mode's status-panel name or number: %s\n"
    "  --rx-hz HZ      centre of the receive tone pair, of the band in MFSK, the carrier in the\n"
    "                  PSK modes (default 1700)\n"
    "  --shift HZ      shift (default 170; PACTOR 200, AX25-H 200, AX25-U 1000, PS2x5 50)\n"
    "  --baud BD       speed (default 45.45; AMT-FEC and AMT-ARQ 100; AX25-H runs at 300 Bd,\n"
    "                  AX25-U at 1200 Bd on 1200/2200 Hz; PS2x5 25, PS33x5 6.25; the PSK modes\n"
    "                  have their own)\n"
    "  --filter W      filter width (default optimal)\n"
    "  --reverse       mark on the lower tone; MFSK with its tones in reverse order; QPSK from\n"
    "                  the other sideband\n"
    "  --squelch POS   squelch on at position 0..100 (default off)\n"
    "  --afc           AFC on: the receive tones follow the signal, once per block of 2048 samples\n"
    "  --afc-local HZ  how far the AFC may move the tones in one block (default 50)\n"
    "  --afc-global HZ how far the AFC may take the tones from the --rx-hz position (default 300)\n"
    "  --unshift-on-space  Baudot: back to letters after a received space or LF\n"
    "  --fast-sync     AMT-FEC: lock on any valid characters, not only on phasing signals\n"
    "  --kiss          packet modes: every good frame as a KISS frame (FEND, 00, the frame\n"
    "                  without its check bytes, escaped, FEND) instead of the monitor lines\n"
    "  --save-blocks DIR   PS2x5, PS33x5: keep every received message in a file of its own\n"
    "                  in DIR (created when missing), as the program does in PS2X5_REC\n"
    "At the end of the input the chain runs on silence until the decoders' lag has passed.\n";

class StdoutSink final : public RxTextSink {
 public:
  void PutRxChar(uint8_t c) override { std::fputc(c, stdout); }
  void PutRxString(std::string_view s) override { std::fwrite(s.data(), 1, s.size(), stdout); }
};

class StdoutKiss final : public KissOutput {
 public:
  void WriteKiss(std::span<const uint8_t> frame) override {
    std::fwrite(frame.data(), 1, frame.size(), stdout);
  }
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "vestrel-decode: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  static constexpr harness::OptionSpec kSpecs[] = {
      {"mode", true},       {"rx-hz", true},  {"shift", true},
      {"baud", true},       {"filter", true}, {"reverse", false},
      {"squelch", true},    {"help", false},  {"unshift-on-space", false},
      {"fast-sync", false}, {"kiss", false},  {"save-blocks", true},
      {"afc", false},       {"afc-local", true}, {"afc-global", true},
  };
  harness::ParsedArgs args;
  if (std::string e = harness::ParseArgs(argc, argv, kSpecs, args); !e.empty()) return Fail(e);
  if (args.Has("help")) {
    std::printf(kUsage, harness::ModeNameList().c_str());
    return 0;
  }
  harness::ModemOptions modem;
  if (std::string e = harness::ReadModemOptions(args, "rx-hz", modem); !e.empty()) return Fail(e);
  // A mode whose receiver this build lacks would print nothing at all.
  if (!harness::ModeBuilt(modem.mode, false)) {
    return Fail("no receiver for mode " + std::string(harness::ModePanelName(modem.mode)) +
                "; modes: " + harness::BuiltModeList(false));
  }
  int squelch = -1;
  if (const auto it = args.values.find("squelch"); it != args.values.end()) {
    const auto pos = harness::ParseInt(it->second);
    if (!pos || *pos < 0 || *pos > 100) return Fail("--squelch must be a position 0..100, not " + it->second);
    squelch = *pos;
  }
  int afcLimits[2] = {50, 300};
  const char* const afcOptions[2] = {"afc-local", "afc-global"};
  for (int i = 0; i < 2; ++i) {
    const auto it = args.values.find(afcOptions[i]);
    if (it == args.values.end()) continue;
    if (!args.Has("afc")) return Fail(std::string("--") + afcOptions[i] + " needs --afc");
    const auto hz = harness::ParseInt(it->second);
    if (!hz || *hz < 0 || *hz > 4000)
      return Fail(std::string("--") + afcOptions[i] + " must be 0..4000 Hz, not " + it->second);
    afcLimits[i] = *hz;
  }
  const bool kiss = args.Has("kiss");
  if (kiss && ModeTable()[modem.mode].receiver != RxFamily::kPacket)
    return Fail("--kiss is for the packet modes AX25-H and AX25-U");
  if (args.positional.size() > 1) return Fail("more than one input file");

  std::FILE* in = stdin;
  if (!args.positional.empty()) {
    in = std::fopen(args.positional[0].c_str(), "rb");
    if (!in) return Fail("cannot read " + args.positional[0] + ": " + std::strerror(errno));
  }

  harness::NullEngineWindow window;
  StdoutSink text;
  harness::NullRxSink quiet;
  TEngine engine(window, kiss ? static_cast<RxTextSink&>(quiet) : text);
  StdoutKiss kissOut;
  if (kiss) engine.packetOutput.SetExchangeOutputs(&kissOut, nullptr);
  // Message files only where asked for.
  engine.blockCapture.save = false;
  if (const auto it = args.values.find("save-blocks"); it != args.values.end()) {
    engine.blockCapture.save = true;
    engine.blockCapture.directory = it->second;
  }
  harness::ApplyModemOptions(engine, modem);
  if (args.Has("unshift-on-space")) engine.baudot.UnshiftOnSpace = 1;
  if (args.Has("fast-sync")) engine.amtorFec.AmtorFastSync = 1;
  if (args.Has("afc")) {
    engine.rxBlocks.AfcOn = 1;
    engine.freq.LocalDeviationHz = afcLimits[0];
    engine.freq.GlobalDeviationHz = afcLimits[1];
  }
  if (squelch >= 0) {
    engine.rxBlocks.IsSquelch = 1;
    engine.rxBlocks.SetSquelchPosition(squelch);
  }

  std::vector<unsigned char> bytes(8192);
  std::vector<int16_t> samples;
  unsigned char carry = 0;
  bool haveCarry = false;
  for (;;) {
    const size_t n = std::fread(bytes.data(), 1, bytes.size(), in);
    if (n == 0) break;
    samples.clear();
    size_t i = 0;
    if (haveCarry) {
      samples.push_back(static_cast<int16_t>(carry | (bytes[0] << 8)));
      i = 1;
      haveCarry = false;
    }
    for (; i + 1 < n; i += 2) samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    if (i < n) {
      carry = bytes[i];
      haveCarry = true;
    }
    engine.rxBlocks.PushCaptured(std::span<const int16_t>(samples));
  }
  const bool readError = std::ferror(in) != 0;
  if (in != stdin) std::fclose(in);
  if (readError)
    return Fail("cannot read " +
                (args.positional.empty() ? std::string("standard input") : args.positional[0]));

  // Silence for the decoders' lag and the partial last block: 13 bit times of the start-stop
  // decoder, 37 bits and seven characters of the AMTOR FEC decoder, 68 bits of the ARQ
  // monitor, 104 bits of the PACTOR receivers; with the filters, 100 bits cover them all. In
  // MFSK, whose transmissions end in the bits that push the last word through, 40 symbols. The
  // PSK modes, at least 40 symbols (QPSK's Viterbi decoder lags 20 and the matched filter spans
  // about 4).
  const ModeRow& row = ModeRowOf(modem.mode);
  const double bits = 100.0 * 11025.0 / (modem.baud == 45.0 ? 45.45 : modem.baud);
  const double symbols = row.symbolRate > 0.0 ? 40.0 * 11025.0 / row.symbolRate : 0.0;
  const double lag = row.mfskTones > 0                ? symbols
                     : row.receiver == RxFamily::kPsk ? std::max(bits, symbols)
                                                      : bits;
  const size_t tail = static_cast<size_t>(std::ceil(lag)) + 2 * 2048;
  const std::vector<int16_t> silence(tail, 0);
  engine.rxBlocks.PushCaptured(std::span<const int16_t>(silence));
  // A message still open ends as at the program's shutdown: its report, its file.
  engine.Shutdown();
  std::fflush(stdout);
  return 0;
}
