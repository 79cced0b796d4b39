#include "engine/modes/mfsk/mfsk_transmitter.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/codes/mfsk_varicode.h"
#include "engine/frequency_unit.h"
#include "engine/modes/mfsk/mfsk_code.h"
#include "engine/modes/mfsk/mfsk_tone_plan.h"

namespace vestrel {

namespace {

constexpr double kMfsk16Seconds = 0.064;  // 1 / 15.625
constexpr double kMfsk8Seconds = 0.128;   // 1 / 7.8125
constexpr int32_t kStartBase = 2972;
constexpr int kFlushBits = 16;
constexpr uint32_t kPadSymbols = 8;
constexpr uint32_t kTuneSymbols16 = 15;  // 0.96 s
constexpr uint32_t kTuneSymbols8 = 7;    // 0.90 s

enum Ramp { kSteady, kRise, kFall };

}  // namespace

TMfskTransmitter::TMfskTransmitter(const SineTable& sine, const TModemParams& params,
                                   const TSampleRates& rates)
    : sine_(sine), params_(params), rates_(rates) {
  interleaver_.SetBits(bits_);
}

double TMfskTransmitter::Rate() const {
  return UsableTxRate(rates_.OutSamplingFreq);
}

void TMfskTransmitter::ComputeSymbolLength() {
  const double seconds = mfsk8_ ? kMfsk8Seconds : kMfsk16Seconds;
  symbolMilli_ = static_cast<int64_t>(std::floor(Rate() * 1000.0 * seconds + 0.5));
}

void TMfskTransmitter::SetMode(bool mfsk8) {
  mfsk8_ = mfsk8;
  tones_ = mfsk8 ? 32 : 16;
  bits_ = mfsk8 ? 5 : 4;
  spacingHz_ = mfsk8 ? 7.8125 : 15.625;
  interleaver_.SetBits(bits_);
  Reset();
  SetTones(kStartBase);
  enabled_ = true;
}

void TMfskTransmitter::Reset() {
  ComputeSymbolLength();
  Phase = 0;
  acc_ = 0;
  assembly_ = 0;
  assembled_ = 0;
  encoder_ = {};
  interleaver_.Reset();
}

void TMfskTransmitter::SetTones(int32_t base) {
  const MfskTonePlan plan = PlanMfskTones(base, tones_, spacingHz_, Rate());
  steps_ = plan.steps;
  firstBin_ = plan.firstBin;
  lastBin_ = plan.lastBin;
}

uint32_t TMfskTransmitter::MaxSymbolSamples() const {
  const int64_t symbols = kMaxSymbolsPerCode * (symbolMilli_ / 1000 + 1);
  const int64_t framed = kPreambleGap + kRampLength + kSteadyLength;
  return static_cast<uint32_t>(std::max(symbols, framed));
}

// n samples of the first tone: steady, or shaped by a quarter sine rising from 0 or a quarter
// cosine falling to 0 over kRampLength samples (products of two table entries over 32000,
// truncated).
uint32_t TMfskTransmitter::WriteTone(int16_t* out, uint32_t n, int rampKind) {
  const uint32_t step = static_cast<uint32_t>(steps_[FirstTone()]);
  for (uint32_t i = 0; i < n; ++i) {
    Phase = (Phase + step) & SineTable::kMask;
    int32_t s = sine_.Sin(Phase);
    if (rampKind == kRise) s = s * sine_.Sin(16 * i) / SineTable::kAmplitude;
    if (rampKind == kFall) s = s * sine_.Cos(16 * i) / SineTable::kAmplitude;
    out[i] = static_cast<int16_t>(s);
  }
  return n;
}

uint32_t TMfskTransmitter::Preamble(int16_t* out) {
  std::fill(out, out + kPreambleGap, int16_t{0});
  uint32_t n = kPreambleGap;
  n += WriteTone(out + n, kRampLength, kRise);
  n += WriteTone(out + n, kSteadyLength, kSteady);
  return n;
}

uint32_t TMfskTransmitter::Postamble(int16_t* out) {
  uint32_t n = WriteTone(out, kSteadyLength, kSteady);
  n += WriteTone(out + n, kRampLength, kFall);
  return n;
}

// One symbol value on the air: the tone of its inverse Gray code (mirrored under Reverse) for
// as many whole samples as bring the accumulator past one symbol length.
uint32_t TMfskTransmitter::SendSymbol(uint32_t value, int16_t* out) {
  int t = MfskGrayInverse[value & 31u];
  if (params_.Reverse == 1) t = tones_ - 1 - t;
  const uint32_t step = static_cast<uint32_t>(steps_[t]);
  uint32_t n = 0;
  while (acc_ < symbolMilli_) {
    Phase = (Phase + step) & SineTable::kMask;
    out[n++] = sine_.Sin(Phase);
    acc_ += 1000;
  }
  acc_ -= symbolMilli_;
  return n;
}

uint32_t TMfskTransmitter::SendSymbols(uint32_t value, uint32_t count, int16_t* out) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < count; ++i) n += SendSymbol(value, out + n);
  return n;
}

// Code bits gather into a symbol value, first bit most significant; a full value passes the
// interleaver and goes on the air.
uint32_t TMfskTransmitter::AssembleBit(uint32_t bit, int16_t* out) {
  assembly_ = (assembly_ << 1) | (bit & 1u);
  if (++assembled_ < bits_) return 0;
  const uint32_t value = interleaver_.Interleave(assembly_);
  assembly_ = 0;
  assembled_ = 0;
  return SendSymbol(value, out);
}

uint32_t TMfskTransmitter::EncodeBit(uint32_t u, int16_t* out) {
  const uint32_t code = encoder_.Push(u);
  uint32_t n = AssembleBit(code >> 1, out);
  n += AssembleBit(code & 1u, out + n);
  return n;
}

uint32_t TMfskTransmitter::EncodeSymbol(TxSymbol code, int16_t* out) {
  uint32_t n = 0;
  if (code >= 0 && code <= 255) {
    const uint32_t word = MfskVaricode[static_cast<size_t>(code)];
    for (int b = std::bit_width(word) - 1; b >= 0; --b) n += EncodeBit((word >> b) & 1u, out + n);
    return n;
  }
  switch (code) {
    case kTxMfskTuneA:
      n += EncodeBit(1, out);
      for (int i = 0; i < kFlushBits; ++i) n += EncodeBit(0, out + n);
      return n;
    case kTxMfskZeros:
      for (int i = 0; i < kFlushBits; ++i) n += AssembleBit(0, out + n);
      return n;
    case kTxMfskPad:
      return SendSymbols(0, kPadSymbols, out);
    case kTxMfskTuneB:
      return SendSymbols(0, mfsk8_ ? kTuneSymbols8 : kTuneSymbols16, out);
    case kTxPreamble:
      Reset();
      return Preamble(out);
    case kTxEnd:
      return Postamble(out);
    default:
      return 0;
  }
}

}  // namespace vestrel
