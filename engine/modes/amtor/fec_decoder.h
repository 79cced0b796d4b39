#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/modes/amtor/amtor_receiver.h"

namespace vestrel {

// Receiver of AMTOR FEC (mode B): 7-bit CCIR-476 characters at 100 Bd, each sent twice, the RX
// repetition five character places after the DX copy. The decoder samples the discriminator 22
// times a bit into a ring, finds the character phase on the phasing signals (any five valid
// characters with AmtorFastSync), follows the bit timing on valid characters, finds the DX/RX
// alternation, and prints the better copy of each character, or the bitwise combination of both
// when neither is valid ("_" when that is invalid too). Status panel 9: " " searching, "+" on
// the character phase, "*" synchronised.
class TFecDecoder final : public TAmtorReceiver {
 public:
  static constexpr uint32_t kCharSpan = 7 * kSubSamples;      // 154: one character
  static constexpr uint32_t kLookBack = 37 * kSubSamples;     // 814: where a read starts, behind the newest
  static constexpr int kSlots = 8;                            // the character ring
  static constexpr int kLostAt = 64;                          // error count that drops the phase
  static constexpr int kLockErrors = -7 * 8;                  // the seven empty slots after a lock

  struct Slot {
    int code = 0;  // 7 bits, first received bit = bit 6
    int ones = 0;
    double confidence = 0.0;  // sum of the seven bit magnitudes
    std::array<float, 7> soft{};
    bool Valid() const { return ones == 4; }
  };

  // levels and levelIndex: the tuning displays' ring and its write index
  // (TModemParams::LevelRingIndex); null for none.
  TFecDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window, TBaudotDecoder& baudot,
              RxTextSink& sink, LevelRing* levels = nullptr, int32_t* levelIndex = nullptr)
      : TAmtorReceiver(sine, params, window, baudot, sink, levels, levelIndex) {}

  // ModeReceiver (the set-up: TAmtorReceiver)
  void Reset() override;
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  // One sub-sample as the ring takes it (the discriminator after Reverse and the squelch), past
  // the front end: what ProcessBlock does 22 times a bit.
  void ProcessSubSample(float v);

  // The "Fast Sync" item of the mode menu (setting "DoFastSync"): the phase locks on any five
  // valid characters and the alternation is found from the repetitions, so a signal joined in
  // mid-text is read; an end signal keeps the phase.
  int AmtorFastSync = 0;

  int State() const { return state_; }  // 0 searching, 1 on the character phase
  bool Synchronised() const { return synchronised_ != 0; }
  int ErrorCount() const { return errorCount_; }

 private:
  template <int Path>
  void Run(std::span<const float> block);
  void Search();
  void LockedStep();
  void ProcessCharacter(uint32_t k);
  void Decode(const Slot& dx, const Slot& rx);
  void LoseSync(bool keepPhase);
  void Read(uint32_t k, Slot& slot) const;
  int Code(uint32_t k) const;
  const Slot& At(int c, int offset) const { return slots_[(c + offset) & (kSlots - 1)]; }

  int counter_ = 0;  // sub-samples within a character while locked
  int errorCount_ = 0;
  std::array<Slot, kSlots> slots_{};
  int slotIndex_ = 0;
  int synchronised_ = 0;
  int alternation_ = 0;
};

}  // namespace vestrel
