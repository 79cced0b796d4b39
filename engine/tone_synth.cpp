#include "engine/tone_synth.h"

#include <algorithm>
#include <cstring>

#include "engine/codes/varicode_table.h"
#include "engine/mode_table.h"

namespace vestrel {

namespace {
constexpr int kQpskFlushBits = 16;
constexpr int kBpskIdleBits = 4;
constexpr int kQpskIdleBits = 6;
}  // namespace

uint32_t TToneSynth::MaxSymbolSamples() const {
  // The longest bit-timed piece is an AMTOR pair (14 bits) or an ASCII-8 character (10 bits);
  // 16 bit lengths cover both with room. The longest shaped piece is a 14-bit varicode word or
  // the QPSK preamble (1 + 16 symbols) after its 3600-sample gap.
  const int64_t s = std::max<int64_t>(params_.TxSamplesPerBitMilli, 0);
  const int64_t bits = 16 * s / 1000 + 32;
  const int64_t sym = psk_ ? psk_->PskSymbolLen() + 2 : 0;
  const int64_t shaped = kPreambleGap + 20 * sym;
  const int64_t framed = kPreambleGap + kRampLength + kTailTone;
  return static_cast<uint32_t>(std::max({bits, shaped, framed, int64_t{kSilenceLength}}));
}

int32_t TToneSynth::FrameStep() const {
  const bool psk = ModeRowOf(params_.Mode).transmitter == TxFamily::kPsk;
  return (params_.Reverse == 1 || psk) ? params_.TxTone[0] : params_.TxTone[1];
}

uint32_t TToneSynth::WriteTone(int16_t* out, uint32_t n, int32_t step, uint32_t& phase) const {
  uint32_t p = phase;
  const uint32_t s = static_cast<uint32_t>(step);
  const int16_t* table = sine_.data();
  for (uint32_t i = 0; i < n; ++i) {
    p = (p + s) & SineTable::kMask;
    out[i] = table[p];
  }
  phase = p;
  return n;
}

uint32_t TToneSynth::WriteBit(int16_t* out, int64_t lengthMilli, int64_t& acc, int32_t step,
                              uint32_t& phase) const {
  acc -= lengthMilli;
  if (acc >= 0) return 0;
  const int64_t n = (-acc + 999) / 1000;
  acc += 1000 * n;
  return WriteTone(out, static_cast<uint32_t>(n), step, phase);
}

uint32_t TToneSynth::SynthFskChar(int code, int16_t* out, uint32_t& phase) const {
  const int mode = params_.Mode;
  const int dataBits = mode == kModeAscii7 ? 7 : mode == kModeAscii8 ? 8 : 5;
  const int64_t s = params_.TxSamplesPerBitMilli;
  if (s <= 0) return 0;
  const int32_t mark = MarkStep(), space = SpaceStep();
  const uint32_t bits = static_cast<uint32_t>(code) << 1;  // start bit 0 as LSB
  int64_t acc = 0;
  uint32_t n = 0;
  for (int e = 0; e <= dataBits; ++e) {
    n += WriteBit(out + n, s, acc, ((bits >> e) & 1) ? mark : space, phase);
  }
  const int64_t stop = mode == kModeRtty ? s * 3 / 2 : s;
  n += WriteBit(out + n, stop, acc, mark, phase);
  return n;
}

uint32_t TToneSynth::SynthSteadyMark(int16_t* out, uint32_t& phase) const {
  const int64_t s = params_.TxSamplesPerBitMilli;
  if (s <= 0) return 0;
  int64_t acc = 0;
  uint32_t n = 0;
  for (int e = 0; e < 7; ++e) n += WriteBit(out + n, s, acc, MarkStep(), phase);
  return n;
}

uint32_t TToneSynth::SynthAmtorChar(int code, int16_t* out, uint32_t& phase) {
  const int64_t s = params_.TxSamplesPerBitMilli;
  if (s <= 0) return 0;
  const int32_t mark = MarkStep(), space = SpaceStep();
  uint32_t n = 0;
  for (int b = 6; b >= 0; --b) {
    n += WriteBit(out + n, s, amtorAcc_, ((code >> b) & 1) ? mark : space, phase);
  }
  return n;
}

uint32_t TToneSynth::PskBits(int16_t* out, uint32_t& phase, uint16_t entry, int zeros, bool qpsk) const {
  if (psk_ == nullptr) return 0;
  uint32_t n = 0;
  if (zeros > 0) {
    for (int i = 0; i < zeros; ++i) {
      n += qpsk ? psk_->PskTxQpskBit(0, out + n, phase) : psk_->PskTxCarrier(0, out + n, phase);
    }
    return n;
  }
  for (uint32_t e = entry; e != 0; e = (e << 1) & 0xFFFF) {
    const int bit = (e >> 15) & 1;
    n += qpsk ? psk_->PskTxQpskBit(bit, out + n, phase) : psk_->PskTxCarrier(bit, out + n, phase);
  }
  return n;
}

uint32_t TToneSynth::SynthBpskChar(int character, int16_t* out, uint32_t& phase) const {
  if (character < 0 || character > 255) return PskBits(out, phase, 0, kBpskIdleBits, false);
  return PskBits(out, phase, kVaricode[character], 0, false);
}

uint32_t TToneSynth::SynthQpskChar(int character, int16_t* out, uint32_t& phase) const {
  if (character < 0 || character > 255) return PskBits(out, phase, 0, kQpskIdleBits, true);
  return PskBits(out, phase, kVaricode[character], 0, true);
}

uint32_t TToneSynth::WriteTxSilence(int16_t* out, uint32_t& phase) const {
  std::memset(out, 0, kSilenceLength * sizeof(int16_t));
  phase = 0;
  return kSilenceLength;
}

uint32_t TToneSynth::WriteTxPreamble(int16_t* out, uint32_t& phase) const {
  std::memset(out, 0, kPreambleGap * sizeof(int16_t));
  uint32_t n = kPreambleGap;
  if (params_.Mode == kModeQpsk31) {
    if (psk_ == nullptr) return n;
    n += psk_->PskTxSymbol(5, out + n, phase);
    for (int i = 0; i < kQpskFlushBits; ++i) n += psk_->PskTxQpskBit(0, out + n, phase);
    return n;
  }
  int16_t* ramp = out + n;
  WriteTone(ramp, kRampLength, FrameStep(), phase);
  // A quarter sine from 0 to full amplitude; int16 x int16 / 32000 truncates toward zero.
  for (uint32_t i = 0; i < kRampLength; ++i) {
    ramp[i] = static_cast<int16_t>(int32_t{ramp[i]} * sine_.Sin(16 * i) / SineTable::kAmplitude);
  }
  return n + kRampLength;
}

uint32_t TToneSynth::WriteTxTail(int16_t* out, uint32_t& phase) const {
  uint32_t n = 0;
  if (params_.Mode == kModeQpsk31) {
    if (psk_ == nullptr) return 0;
    for (int i = 0; i < kQpskFlushBits; ++i) n += psk_->PskTxQpskBit(0, out + n, phase);
    return n + psk_->PskTxSymbol(4, out + n, phase);
  }
  n = WriteTone(out, kTailTone + kRampLength, FrameStep(), phase);
  int16_t* ramp = out + kTailTone;
  for (uint32_t i = 0; i < kRampLength; ++i) {
    ramp[i] = static_cast<int16_t>(int32_t{ramp[i]} * sine_.Sin(SineTable::kQuarter + 16 * i) /
                                   SineTable::kAmplitude);
  }
  return n;
}

}  // namespace vestrel
