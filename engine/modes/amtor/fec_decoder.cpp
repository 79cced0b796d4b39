#include "engine/modes/amtor/fec_decoder.h"

#include <cmath>

#include "engine/dsp/block_clones.h"
#include "engine/modes/amtor/phase_track.h"

namespace vestrel {

namespace {

constexpr int kSearchRun = 22;  // positions of one bit tried for the phase
constexpr int kTrackReach = 6;  // sub-samples looked at either side while locked

// DX and RX hold the same character; a phasing DX is repeated as PhasingTwo.
bool Same(const TFecDecoder::Slot& a, const TFecDecoder::Slot& b) {
  return a.code == b.code || (a.code == PhasingOne && b.code == PhasingTwo);
}

}  // namespace

// Everything but the set-up; the synchronisation goes with the phase it was found on.
void TFecDecoder::Reset() {
  front_.Reset();
  ClearRing();
  counter_ = 0;
  errorCount_ = 0;
  slots_.fill(Slot{});
  slotIndex_ = 0;
  synchronised_ = 0;
  alternation_ = 0;
}

void TFecDecoder::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  if (BeginBlock(squelchOpen)) front_.WithPath([&](auto path) { Run<decltype(path)::value>(block); });
}

template <int Path>
VESTREL_BLOCK_CLONES void TFecDecoder::Run(std::span<const float> block) {
  SubSamplesOn<Path>(block, [this](float v) { ProcessSubSample(v); });
}

// > 0 reads as a 1 bit; the zeros of a closed squelch read as 0 bits, so no character is valid.
void TFecDecoder::ProcessSubSample(float v) {
  if (Store(v)) {
    Search();
  } else {
    LockedStep();
  }
}

int TFecDecoder::Code(uint32_t k) const {
  int code = 0;
  for (uint32_t b = 0; b < 7; ++b) code = (code << 1) | (R(k + kSubSamples * b) > 0.0f ? 1 : 0);
  return code;
}

void TFecDecoder::Read(uint32_t k, Slot& slot) const {
  slot.code = slot.ones = 0;
  slot.confidence = 0.0;
  for (uint32_t b = 0; b < 7; ++b) {
    const float v = R(k + kSubSamples * b);
    const int bit = v > 0.0f ? 1 : 0;
    slot.soft[b] = v;
    slot.code = (slot.code << 1) | bit;
    slot.ones += bit;
    slot.confidence += std::abs(v);
  }
}

// Five valid characters in a row 37 bits back (the first two the phasing signals unless fast
// sync), the same 28 bits over at least 3 positions of a bit: the phase is the middle of that
// run. The counter starts half the run behind, so that the next read, a character later, also
// falls on the middle.
void TFecDecoder::Search() {
  const uint32_t k = ringIndex_ - kLookBack;
  int codes[5];
  for (uint32_t i = 0; i < 5; ++i) {
    codes[i] = Code(k + kCharSpan * i);
    if (Ccir476DecodeTable[codes[i]] < 0) return;
  }
  if (!AmtorFastSync && (codes[0] != PhasingOne || codes[1] != PhasingTwo)) return;
  int count = 1;
  while (count < kSearchRun) {
    const uint32_t p = k + static_cast<uint32_t>(count);
    bool same = true;
    for (uint32_t i = 0; i < 4 && same; ++i) same = Code(p + kCharSpan * i) == codes[i];
    if (!same) break;
    ++count;
  }
  if (count < 3) return;
  state_ = 1;
  counter_ = -(count / 2);
  window_.SetPanelText(kDcdPanel, "+");
  slots_.fill(Slot{});
  synchronised_ = 0;
  errorCount_ = kLockErrors;
  ProcessCharacter(k + static_cast<uint32_t>(count / 2));
}

// A character every 154 sub-samples. On a valid one the timing moves one sub-sample toward the
// most confident position that still reads the same code.
void TFecDecoder::LockedStep() {
  if (++counter_ < static_cast<int>(kCharSpan)) return;
  counter_ = 0;
  const uint32_t k = ringIndex_ - kLookBack;
  if (Ccir476DecodeTable[Code(k)] >= 0) {
    Slot s;
    const int offset = MostConfidentOffset(k, kTrackReach, [&](uint32_t p, uint32_t& code, double& confidence) {
      Read(p, s);
      code = static_cast<uint32_t>(s.code);
      confidence = s.confidence;
    });
    if (offset < 0) ++counter_;
    if (offset > 0) --counter_;
  }
  ProcessCharacter(k);
}

// The slot ring holds the last eight characters; c, seven places back, is the DX copy being
// decided and c + 5 its RX repetition.
void TFecDecoder::ProcessCharacter(uint32_t k) {
  slotIndex_ = (slotIndex_ + 1) & (kSlots - 1);
  Read(k, slots_[slotIndex_]);
  const int c = (slotIndex_ + 1) & (kSlots - 1);
  if (!synchronised_) {
    if (!At(c, 0).Valid()) {
      errorCount_ += 8;
      if (errorCount_ >= kLostAt) {
        state_ = 0;
        window_.SetPanelText(kDcdPanel, " ");
        return;
      }
    } else if (errorCount_ > 0) {
      --errorCount_;
    }
    bool sync = At(c, 0).code == PhasingOne && At(c, 1).code == PhasingTwo &&
                (At(c, 2).code == PhasingOne || At(c, 3).code == PhasingTwo);
    if (!sync && AmtorFastSync) {
      bool allValid = true;
      for (int i = 0; i < 7; ++i) allValid = allValid && At(c, i).Valid();
      sync = allValid && Same(At(c, 0), At(c, 5)) && !Same(At(c, 1), At(c, 6));
    }
    if (!sync) return;
    synchronised_ = 1;
    alternation_ = 1;
    errorCount_ = 0;
    window_.SetPanelText(kDcdPanel, "*");
  }
  // The DX places are every second character, counted from the one synchronised on.
  if ((alternation_++ & 1) == 0) return;
  Decode(At(c, 0), At(c, 5));
  int valid = 0;
  for (const Slot& s : slots_) valid += s.Valid() ? 1 : 0;
  if (!At(c, 0).Valid() && !At(c, 5).Valid()) {
    // Both copies bad: errors count four each; fast sync gives up once the line is noise.
    if (errorCount_ >= kLostAt || (AmtorFastSync && valid <= 1)) LoseSync(false);
    return;
  }
  if (At(c, 0).code == PhasingTwo && At(c, 2).code == PhasingTwo) {
    LoseSync(AmtorFastSync != 0);  // the end of the transmission
    return;
  }
  // Fast sync only: DX and RX that disagree while everything reads valid mean the alternation
  // sits on the wrong places.
  if (AmtorFastSync && valid == kSlots && !Same(At(c, 0), At(c, 5)) && !Same(At(c, 2), At(c, 7))) {
    errorCount_ += 9;
    if (errorCount_ >= kLostAt || Same(At(c, 1), At(c, 6))) LoseSync(true);
  }
}

// The better copy, or both combined bit by bit when neither is valid.
void TFecDecoder::Decode(const Slot& dx, const Slot& rx) {
  const Slot& chosen = (!dx.Valid() || (rx.Valid() && rx.confidence > dx.confidence)) ? rx : dx;
  if (chosen.Valid()) {
    baudot_.PutAmtorSymbol(Ccir476DecodeTable[chosen.code]);
    if (errorCount_ > 0) --errorCount_;
    return;
  }
  errorCount_ += 4;
  int code = 0;
  for (int b = 0; b < 7; ++b) code = (code << 1) | (dx.soft[b] + rx.soft[b] > 0.0f ? 1 : 0);
  const int symbol = Ccir476DecodeTable[code];
  if (symbol < 0) {
    sink_.PutRxChar('_');
  } else {
    baudot_.PutAmtorSymbol(symbol);
  }
}

void TFecDecoder::LoseSync(bool keepPhase) {
  synchronised_ = 0;
  if (keepPhase) {
    window_.SetPanelText(kDcdPanel, "+");
  } else {
    state_ = 0;
    window_.SetPanelText(kDcdPanel, " ");
  }
}

}  // namespace vestrel
