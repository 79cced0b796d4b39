#include "engine/modes/amtor/arq_decoder.h"

#include <cmath>

#include "engine/dsp/block_clones.h"
#include "engine/modes/amtor/phase_track.h"

namespace vestrel {

namespace {

constexpr int kSearchRun = 22;  // the first position and the 21 after it
constexpr int kTrackReach = 6;  // sub-samples looked at either side while locked

// The three characters of a block, first received first.
int CharacterOf(uint32_t bits, int i) {
  return static_cast<int>((bits >> (14 - 7 * i)) & 0x7F);
}

}  // namespace

int InvalidCharacters(uint32_t bits) {
  int n = 0;
  for (int i = 0; i < 3; ++i) n += Ccir476DecodeTable[CharacterOf(bits, i)] < 0 ? 1 : 0;
  return n;
}

void TArqDecoder::Start() {
  TAmtorReceiver::Start();
  RepeatSuppression = 1;
}

void TArqDecoder::Reset() {
  front_.Reset();
  ClearRing();
  counter_ = 0;
  invalidTotal_ = 0;
  lastBlock_ = 0;
}

void TArqDecoder::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  if (BeginBlock(squelchOpen)) front_.WithPath([&](auto path) { Run<decltype(path)::value>(block); });
}

template <int Path>
VESTREL_BLOCK_CLONES void TArqDecoder::Run(std::span<const float> block) {
  SubSamplesOn<Path>(block, [this](float v) { ProcessSubSample(v); });
}

void TArqDecoder::ProcessSubSample(float v) {
  if (Store(v)) {
    Search();
  } else {
    LockedStep();
  }
}

TArqDecoder::Block TArqDecoder::Read(uint32_t k) const {
  Block b;
  for (uint32_t i = 0; i < kBlockBits; ++i) {
    const float v = R(k + kSubSamples * i);
    b.bits = (b.bits << 1) | (v > 0.0f ? 1u : 0u);
    b.confidence += std::abs(v);
  }
  return b;
}

// Each bit from the sum of the values one sub-sample either side and at k.
uint32_t TArqDecoder::ReadCombined(uint32_t k) const {
  uint32_t bits = 0;
  for (uint32_t i = 0; i < kBlockBits; ++i) {
    const uint32_t p = k + kSubSamples * i;
    bits = (bits << 1) | (R(p - 1) + R(p) + R(p + 1) > 0.0f ? 1u : 0u);
  }
  return bits;
}

// A valid block 68 bits back and another a cycle later; the phase is the most confident of the
// positions that read the same block after the first, at least 3 in all.
void TArqDecoder::Search() {
  const uint32_t k = ringIndex_ - kLookBack;
  const Block first = Read(k);
  if (InvalidCharacters(first.bits) != 0 || InvalidCharacters(Read(k + kCycle).bits) != 0) return;
  int count = 1;
  double best = 0.0;
  int bestOffset = 0;
  for (; count < kSearchRun; ++count) {
    const Block b = Read(k + static_cast<uint32_t>(count));
    if (b.bits != first.bits) break;
    if (b.confidence > best) {
      best = b.confidence;
      bestOffset = count;
    }
  }
  if (count < 3) return;
  state_ = 1;
  counter_ = -bestOffset;
  window_.SetPanelText(kDcdPanel, "*");
  invalidTotal_ = 0;
  Print(first.bits);
}

void TArqDecoder::LockedStep() {
  if (++counter_ < kCycle) return;
  counter_ = 0;
  const uint32_t k = ringIndex_ - kLookBack;
  const Block b = Read(k);
  if (InvalidCharacters(b.bits) != 0) {
    invalidTotal_ += Print(ReadCombined(k));
    if (invalidTotal_ >= kLostAt) {
      state_ = 0;
      lastBlock_ = 0;
      window_.SetPanelText(kDcdPanel, " ");
    }
    return;
  }
  invalidTotal_ = 0;
  const int offset = MostConfidentOffset(k, kTrackReach, [&](uint32_t p, uint32_t& bits, double& confidence) {
    const Block near = Read(p);
    bits = near.bits;
    confidence = near.confidence;
  });
  if (offset < 0) ++counter_;
  if (offset > 0) --counter_;
  Print(b.bits);
}

// Returns the number of invalid characters, printed or not.
int TArqDecoder::Print(uint32_t bits) {
  if (!(RepeatSuppression && bits == lastBlock_)) {
    for (int i = 0; i < 3; ++i) {
      const int symbol = Ccir476DecodeTable[CharacterOf(bits, i)];
      if (symbol < 0) {
        sink_.PutRxChar('_');
      } else {
        baudot_.PutAmtorSymbol(symbol);
      }
    }
  }
  lastBlock_ = bits;
  return InvalidCharacters(bits);
}

}  // namespace vestrel
