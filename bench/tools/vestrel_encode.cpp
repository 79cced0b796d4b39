// vestrel-encode: text in (KISS frames in the packet modes), the samples of a whole
// transmission out (raw signed 16-bit little-endian mono at 11025 samples/s, or at a
// calibrated playback rate), through the
// program's own transmit pump.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "bench/harness/harness_options.h"
#include "bench/harness/tx_harness.h"
#include "bench/harness/tx_setup.h"
#include "engine/engine.h"
#include "engine/mode_number.h"
#include "engine/mode_table.h"
#include "engine/modes/packet/kiss_frame.h"
#include "engine/modes/psk/cw_ident.h"

namespace vestrel {
namespace {

constexpr double kRate = 11025.0;
// The output rates the setup dialog takes.
constexpr double kMinOutRate = 8000.0;
constexpr double kMaxOutRate = 192000.0;

class ToolFatal : public FatalErrorSink {
 public:
  void ShowError(std::string_view text, std::string_view) override {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    message = std::string(text);
  }
  void RequestTerminate() override { terminate = true; }
  std::string message;
  bool terminate = false;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "vestrel-encode: %s\n", message.c_str());
  return 2;
}

// Queues the text the way the typing window's pump does: a line end as CR LF, and in the
// ASCII modes a NUL before every line end and blank.
void QueueText(TEngine& engine, const std::string& text) {
  const int32_t mode = engine.params.Mode;
  const bool ascii = mode == kModeAscii7 || mode == kModeAscii8;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (ascii) engine.TxQueue.QueueTxSymbol(0);
      engine.TxQueue.QueueTxSymbol(13);
      engine.TxQueue.QueueTxSymbol(10);
      continue;
    }
    if (ascii && c == ' ') engine.TxQueue.QueueTxSymbol(0);
    engine.TxQueue.QueueTxSymbol(c);
  }
}

// The KISS frames of the input as the exchange channels hand them to a packet mode: data
// frames queued for sending with their check bytes, parameter commands applied. The number of
// data frames queued, or -1 when one was refused.
int QueueKiss(TEngine& engine, const std::string& input) {
  TKissDeframer parser;
  int frames = 0;
  for (unsigned char c : input) {
    const TKissDeframer::Event e = parser.PutByte(c);
    if (e.kind == TKissDeframer::Kind::kData) {
      if (engine.bufFifo.PutFrame(e.items) != 0) return -1;
      ++frames;
    } else if (e.kind == TKissDeframer::Kind::kCommand) {
      engine.packetChannel.ApplyKissCommand(e.command, e.value);
    }
  }
  if (engine.packetChannel.PacketTimingChanged.load() != 0)
    engine.packetChannel.UpdatePacketTiming(engine.params.Baud);
  return frames;
}

constexpr const char* kUsage =
    "usage: vestrel-encode --mode MODE [--tx-hz HZ] [--shift HZ] [--baud BD] [--reverse]\n"
    "                      [--cw TEXT] [--out-rate HZ] [FILE]\n"
    "Transmits the text of FILE (or standard input) through the transmit pump and writes the\n"
    "whole transmission, preamble to tail, to standard output as raw signed 16-bit little-endian\n"
    "mono samples at 11025 samples/s. In the packet modes the input is KISS: every data frame\n"
    "is sent, in one transmission keyed at once as a full-duplex station does, and the\n"
    "parameter commands (TXDELAY, persistence, slot time, TXTAIL) apply; no frame, no output.\n"
    "In the block modes the text ends with its end block.\n"
    "  --mode MODE     RTTY, ASCII-7, ASCII-8, AMT-FEC, AX25-H, AX25-U, MFSK16, MFSK8, BPSK31,\n"
    "                  BPSK63, BPSK125, QPSK31, QPSK63, PS2x5 or PS33x5 (or the mode's number)\n"
    "  --tx-hz HZ      centre of the transmit tone pair, of the band in MFSK, the carrier in the\n"
    "                  PSK modes (default 1700)\n"
    "  --shift HZ      shift (default 170; AX25-H 200, AX25-U 1000, PS2x5 50)\n"
    "  --baud BD       speed (default 45.45; AMT-FEC 100; AX25-H runs at 300 Bd, AX25-U at\n"
    "                  1200 Bd on 1200/2200 Hz; PS2x5 25, PS33x5 6.25; the PSK modes have their\n"
    "                  own)\n"
    "  --reverse       mark on the lower tone; MFSK with its tones in reverse order; QPSK for\n"
    "                  the other sideband; PS33x5 with its tones stepping downward\n"
    "  --cw TEXT       a CW identification of TEXT after the text (keyed on the lower tone; not\n"
    "                  in the packet modes)\n"
    "  --out-rate HZ   synthesise for a calibrated playback rate of HZ samples/s (8000..192000);\n"
    "                  the samples are written as they are, without conversion\n";

int Run(int argc, char** argv) {
  static constexpr harness::OptionSpec kSpecs[] = {{"mode", true},     {"tx-hz", true},    {"shift", true},
                                                   {"baud", true},     {"reverse", false}, {"cw", true},
                                                   {"out-rate", true}, {"help", false}};
  harness::ParsedArgs args;
  if (std::string e = harness::ParseArgs(argc, argv, kSpecs, args); !e.empty()) return Fail(e);
  if (args.Has("help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  harness::ModemOptions m;
  if (std::string e = harness::ReadModemOptions(args, "tx-hz", m); !e.empty()) return Fail(e);
  if (!harness::ModeBuilt(m.mode, true)) {
    return Fail("no transmitter for mode " + std::string(harness::ModePanelName(m.mode)) +
                "; modes: " + harness::BuiltModeList(true));
  }
  if (args.positional.size() > 1) return Fail("more than one input file");
  double outRate = kRate;
  if (const auto it = args.values.find("out-rate"); it != args.values.end()) {
    const auto r = harness::ParseDouble(it->second);
    if (!r || !(*r >= kMinOutRate && *r <= kMaxOutRate))
      return Fail("--out-rate must be a sample rate of 8000 to 192000, not " + it->second);
    outRate = *r;
  }
  std::string cw;
  if (const auto it = args.values.find("cw"); it != args.values.end()) cw = it->second;

  std::FILE* in = stdin;
  if (!args.positional.empty()) {
    in = std::fopen(args.positional[0].c_str(), "rb");
    if (in == nullptr) return Fail("cannot open " + args.positional[0] + ": " + std::strerror(errno));
  }
  std::string text;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) text.append(chunk, n);
  const bool readError = std::ferror(in) != 0;
  if (in != stdin) std::fclose(in);
  if (readError) return Fail("cannot read the input text");
  const bool packet = ModeTable()[m.mode].transmitter == TxFamily::kPacket;
  if (packet && !cw.empty()) return Fail("--cw is not sent in the packet modes");
  // Three symbols at most a character (ASCII: NUL, CR, LF), a Morse character at most eight.
  if (!packet && text.size() > (TxSymbolQueue::kMaxPending - 8 * cw.size()) / 3 - 8)
    return Fail("input text too long");

  harness::NullEngineWindow window;
  harness::NullRxSink rx;
  auto engine = std::make_unique<TEngine>(window, rx);
  engine->rates.OutSamplingFreq = outRate;
  engine->Start();
  SetTxModeForHarness(*engine, m.mode, m.baud, m.centreHz, m.shiftHz, m.reverse);
  harness::HarnessPlayback device(engine->txBuffers, stdout);
  ToolFatal fatal;
  TxPumpLinks links;
  links.sound = &device;
  links.fatal = &fatal;
  engine->txPump.Connect(links);
  device.OpenSoundOutput();

  if (packet) {
    const int frames = QueueKiss(*engine, text);
    if (frames < 0) return Fail("out of memory for the frames");
    if (frames == 0) return 0;
    engine->packetChannel.PacketFullDuplex = 1;
    if (!engine->packetAccess.Ax25SlotTimerTimer()) return Fail("the channel access did not key up");
  } else {
    // The transmit switch: two LTRS, the text, then LTRS and the end of transmission; in the
    // block modes the block end closes the last characters as the end block. A CW
    // identification goes in as the macro queues one while transmitting: the carrier stopped,
    // the Morse characters, and the end (which then is silence, the carrier being stopped).
    engine->TxQueue.QueueTxSymbol(kTxLtrs);
    engine->TxQueue.QueueTxSymbol(kTxLtrs);
    QueueText(*engine, text);
    const bool blocks = m.mode == kModePs2x5 || m.mode == kModePs33x5;
    engine->TxQueue.QueueTxSymbol(blocks ? kTxBlockPad : kTxLtrs);
    if (!cw.empty()) {
      engine->TxQueue.QueueTxSymbol(kTxStopCarrier);
      for (char c : cw) SendMorseChar(engine->TxQueue, static_cast<uint8_t>(c));
    }
    engine->TxQueue.QueueTxSymbol(kTxEnd);
    engine->tx.TxState = 1;
  }
  while (engine->tx.TxState != 0) {
    const size_t before = device.writes;
    engine->txPump.PumpTxAudio();
    if (fatal.terminate) return Fail(fatal.message);
    if (engine->tx.TxState != 0 && device.writes == before && engine->txBuffers.InFlight.load() == 0) {
      return Fail("the transmit pump stopped before the end of transmission");
    }
    device.PlayAll();
  }
  if (std::fflush(stdout) != 0) return Fail(std::string("cannot write the samples: ") + std::strerror(errno));
  return 0;
}

}  // namespace
}  // namespace vestrel

int main(int argc, char** argv) {
  return vestrel::Run(argc, argv);
}
