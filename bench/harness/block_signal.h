#pragma once
#include <string_view>
#include <vector>

#include "engine/modes/ps2x5/block_modulator.h"
#include "engine/rx_text_sink.h"
#include "engine/tx_symbol_queue.h"

namespace vestrel::harness {

// Counts the characters a receiver gives out (its reports and line breaks aside).
class CountingRxSink final : public RxTextSink {
 public:
  void PutRxChar(uint8_t) override { ++chars; }
  void PutRxString(std::string_view) override {}
  size_t chars = 0;
};

// A block-mode transmission of `text` straight through a modulator (data blocks of 7
// characters, the end block with the rest), as floats scaled to `amplitude`, cut to whole
// 2048-sample blocks: the benchmarks' signal.
inline std::vector<float> BlockModeSignal(TBlockModulator& m, std::string_view text, double amplitude = 8000.0) {
  std::vector<int16_t> scratch(m.MaxSymbolSamples());
  std::vector<float> out;
  auto emit = [&](int code) {
    const uint32_t n = m.EncodeSymbol(code, scratch.data());
    for (uint32_t i = 0; i < n; ++i) out.push_back(static_cast<float>(scratch[i] * amplitude / 32000.0));
  };
  emit(kTxPreamble);
  for (size_t at = 0;;) {
    const size_t left = text.size() - at;
    const int length = static_cast<int>(left < 7 ? left : 7);
    BlockBytes bytes{};
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(text[at + i]);
    if (left < 7) bytes[length] = kEndOfText;
    BlockSymbols symbols, echo;
    m.BuildBlock(bytes, left < 7, length, symbols, echo);
    for (uint8_t s : symbols) emit(s);
    at += length;
    if (left < 7) break;
  }
  emit(kTxEnd);
  out.resize(out.size() / 2048 * 2048);
  return out;
}

}  // namespace vestrel::harness
