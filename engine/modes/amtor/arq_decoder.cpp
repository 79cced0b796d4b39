#include "engine/modes/amtor/arq_decoder.h"

#include <bit>
#include <cmath>

#include "engine/dsp/block_clones.h"
#include "engine/modes/amtor/phase_track.h"

namespace vestrel {

namespace {

constexpr int kSearchRun = 22;  // the first position and the 21 after it
constexpr int kTrackReach = 6;  // sub-samples looked at either side while locked
constexpr uint32_t kCharacter = 7 * TAmtorReceiver::kSubSamples;
constexpr double kOverGap = 2.0;  // a block against the gap after it
// Of the last 8 blocks, 6 with invalid characters lose the phase.
constexpr uint32_t kBadWindowMask = 0xFF;
constexpr int kBadBlocksLost = 6;

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
  badBlocks_ = 0;
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

// The confidence of the blocks at k and a cycle later, when both read valid; 0 otherwise.
double TArqDecoder::TwoCycles(uint32_t k) const {
  const Block a = Read(k);
  const Block b = Read(k + kCycle);
  if (InvalidCharacters(a.bits) != 0 || InvalidCharacters(b.bits) != 0) return 0.0;
  return a.confidence + b.confidence;
}

// The confidence of the blocks at k and a cycle later, valid or not.
double TArqDecoder::Strength(uint32_t k) const {
  return Read(k).confidence + Read(k + kCycle).confidence;
}

// A valid block 75 bits back and another a cycle later; the phase is the most confident of the
// positions that read the same block after the first, at least 3 in all. Noise read before or
// after a block makes a valid character often enough that the block shifted by a character, or
// a read half in the gap, is valid in two cycles as well: the block's phase is also where the
// two cycles are strongest, against a bit either side and the valid reads a character either
// side.
void TArqDecoder::Search() {
  const uint32_t k = ringIndex_ - kLookBack;
  const Block first = Read(k);
  if (InvalidCharacters(first.bits) != 0) return;
  const double strength = TwoCycles(k);
  if (strength == 0.0) return;
  // Half a cycle on lies the gap, where the other station's signal takes at most a character:
  // noise read as blocks is no stronger there.
  if (first.confidence < kOverGap * Read(k + kCycle / 2).confidence) return;
  // At the block's own phase the 21 values are all of the signal: read a bit earlier or later,
  // one of them is of the gap, and the blocks are weaker.
  for (uint32_t shift : {0u - kSubSamples, static_cast<uint32_t>(kSubSamples)})
    if (Strength(k + shift) > strength) return;
  for (uint32_t shift : {0u - kCharacter, kCharacter})
    if (TwoCycles(k + shift) > strength) return;
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
  badBlocks_ = 0;
  Print(first.bits);
}

void TArqDecoder::LockedStep() {
  if (++counter_ < kCycle) return;
  counter_ = 0;
  uint32_t k = ringIndex_ - kLookBack;
  Block b = Read(k);
  if (InvalidCharacters(b.bits) != 0) {
    // A block a character off that reads whole, and stronger, is the phase.
    for (uint32_t shift : {0u - kCharacter, kCharacter}) {
      const Block near = Read(k + shift);
      if (InvalidCharacters(near.bits) == 0 && near.confidence > b.confidence) {
        k += shift;
        b = near;
        counter_ = shift == kCharacter ? -static_cast<int>(kCharacter) : static_cast<int>(kCharacter);
        break;
      }
    }
  }
  // Invalid characters in most of the last blocks: the phase is lost, whatever valid blocks
  // come between.
  badBlocks_ = (badBlocks_ << 1 | (InvalidCharacters(b.bits) != 0 ? 1u : 0u)) & kBadWindowMask;
  if (std::popcount(badBlocks_) >= kBadBlocksLost) {
    Print(InvalidCharacters(b.bits) != 0 ? ReadCombined(k) : b.bits);
    Lose();
    return;
  }
  if (InvalidCharacters(b.bits) != 0) {
    invalidTotal_ += Print(ReadCombined(k));
    if (invalidTotal_ >= kLostAt) Lose();
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

void TArqDecoder::Lose() {
  state_ = 0;
  lastBlock_ = 0;
  window_.SetPanelText(kDcdPanel, " ");
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
