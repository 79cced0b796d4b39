// A received frame of any contents (the input, up to the receiver's 328 data bytes, with its
// check bytes added) through the frame outputs: the monitor line reads only the frame's bytes
// (the frame lies in a buffer of its exact size), starts a new line, and the KISS frame parses
// back to the frame without its check bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/codes/fcs16.h"
#include "engine/modes/packet/hdlc_deframer.h"
#include "engine/modes/packet/kiss_frame.h"
#include "engine/modes/packet/packet_frame_output.h"
#include "engine/modes/packet/packet_monitor_line.h"

namespace {

using namespace vestrel;

void Check(bool ok) {
  if (!ok) std::abort();
}

class Text : public RxTextSink {
 public:
  void PutRxChar(uint8_t c) override { text.push_back(static_cast<char>(c)); }
  void PutRxString(std::string_view s) override { text.append(s); }
  std::string text;
};

class Kiss : public KissOutput {
 public:
  void WriteKiss(std::span<const uint8_t> k) override { frames.emplace_back(k.begin(), k.end()); }
  std::vector<std::vector<uint8_t>> frames;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t n = std::min<size_t>(size, THdlcDeframer::kMaxBytes - 2);
  std::vector<int16_t> items(data, data + n);
  items.resize(n + 2);
  AppendFcs16(items, n);
  const size_t total = n + 2;
  std::unique_ptr<uint8_t[]> frame(new uint8_t[total]);
  for (size_t i = 0; i < total; ++i) frame[i] = static_cast<uint8_t>(items[i]);
  const std::span<const uint8_t> received(frame.get(), total);
  Check(CheckFcs16(received));

  const std::string line = FormatPacketMonitorLine(received);
  Check(total < 15 ? line.empty() : line.rfind("\r\n", 0) == 0);

  Text text;
  Kiss kiss;
  TPacketFrameOutput output(text);
  output.SetExchangeOutputs(&kiss, nullptr);
  output.PutAx25Frame(received);
  Check(text.text == line);
  Check(kiss.frames.size() == 1);
  TKissDeframer parser;
  int frames = 0;
  for (uint8_t b : kiss.frames[0]) {
    const TKissDeframer::Event e = parser.PutByte(b);
    if (e.kind != TKissDeframer::Kind::kData) continue;
    ++frames;
    Check(e.items.size() == total + 2);
    for (size_t i = 0; i < total; ++i) Check(e.items[i + 1] == frame[i]);
  }
  // A frame without a byte (only its check bytes) comes back as the type byte alone, which the
  // parser drops rather than key up for nothing.
  Check(frames == (n == 0 ? 0 : 1));
  return 0;
}
