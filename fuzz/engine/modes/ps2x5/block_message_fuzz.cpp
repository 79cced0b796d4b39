// What the air hands a block-mode receiver, as the bytes it reads: every 32 bytes one block
// read. The first byte says what it is: odd, the next 31 bytes are the symbols as read (noise,
// anything); even, a block the transmitters build (counter, end flag and 7 bytes of text taken
// from the next bytes), with as many of its symbols changed as the byte's bits 1..4 say. The
// Reed-Solomon decoder and the message handling take each. Promised: a decoded block is a
// code word within as many symbols of the read as the decoder says (0..8, else 31); the
// message counts whole blocks, never more errors than symbols, a counter 0..16; every report
// a rate of 0..100 %; nothing written to disk (saving off).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/harness/null_engine_window.h"
#include "engine/codes/reed_solomon31.h"
#include "engine/modes/ps2x5/block_message.h"
#include "engine/modes/ps2x5/ps2x5_block.h"
#include "engine/rx_text_sink.h"

namespace {

using namespace vestrel;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "block_message_fuzz: %s\n", what);
    std::abort();
  }
}

// Checks every report as it comes.
class Sink final : public RxTextSink {
 public:
  void PutRxChar(uint8_t) override {}
  void PutRxString(std::string_view s) override {
    if (s.rfind("{ER=", 0) != 0) return;
    const double rate = std::strtod(std::string(s.substr(4)).c_str(), nullptr);
    Check(rate >= 0.0 && rate <= 100.0, "a rate outside 0..100 %");
    Check(s.back() == '}' && s.find('%') != std::string_view::npos, "a report's form");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TReedSolomon31 rs;
  harness::NullEngineWindow window;
  Sink sink;
  BlockCaptureSettings capture;
  capture.save = false;
  TBlockMessage message(sink, window, capture);
  for (size_t at = 0; at + 32 <= size; at += 32) {
    const uint8_t kind = data[at];
    const uint8_t* body = data + at + 1;
    BlockSymbols read{};
    if (kind & 1) {
      for (int i = 0; i < kBlockSymbols; ++i) read[i] = body[i];
    } else {
      BlockBytes bytes{};
      for (int i = 0; i < kBlockBytes; ++i) bytes[i] = body[2 + i];
      read = BuildBlockSymbols(rs, bytes, (body[0] & 1) != 0, body[1] & 15);
      const int changes = (kind >> 1) & 15;
      for (int i = 0; i < changes; ++i) read[body[9 + i] % kBlockSymbols] ^= static_cast<uint8_t>(1 + body[20 + i % 11] % 31);
    }
    // The decoder on its own.
    BlockSymbols fixed{};
    const int corrected = rs.BlockDecode(read.data(), fixed.data());
    Check(corrected == 31 || (corrected >= 0 && corrected <= 8), "a count outside 0..8 or 31");
    if (corrected != 31) {
      int differ = 0;
      for (int i = 0; i < kBlockSymbols; ++i) differ += (read[i] & 31) != fixed[i];
      Check(differ == corrected, "the count is not the symbols changed");
      BlockSymbols again{};
      Check(rs.BlockDecode(fixed.data(), again.data()) == 0 && again == fixed, "a result that is no code word");
    }
    // And as the receivers take it.
    BlockContent block;
    int errors = 0;
    if (message.TakeBlock(read, rs, 9 * 31, block, errors)) {
      Check(block.kind != BlockContent::kNone && block.length >= 0 && block.length <= kBlockBytes, "a block's text");
      Check(errors == corrected, "another count for the message");
    }
    message.CountBit();
    Check(message.Symbols() % kBlockSymbols == 0, "symbols of part blocks");
    Check(message.ErrorSymbols() >= 0 && message.ErrorSymbols() <= message.Symbols(), "more errors than symbols");
    Check(message.LastCounter() >= 0 && message.LastCounter() <= TBlockMessage::kNoCounter, "a counter");
    Check(message.Open() == (message.Symbols() > 0), "open without symbols");
  }
  message.EndMessage(true);
  Check(!message.Open(), "open after its end");
  return 0;
}
