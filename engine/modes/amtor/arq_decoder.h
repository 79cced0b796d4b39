#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/modes/amtor/amtor_receiver.h"

namespace vestrel {

// Monitor of an AMTOR ARQ (mode A) link: the sending station's blocks of three 7-bit CCIR-476
// characters (21 bits at 100 Bd), one per 450 ms cycle, a block repeated whenever the other
// station asks. The front end is the AMTOR FEC decoder's (22 sub-samples a bit into a ring);
// the monitor finds the block phase on two valid blocks a cycle apart that are also where the
// signal is strongest (against a bit and a character either side, and the gap), follows it on
// valid blocks, and prints each block once: a monitor cannot tell a repetition from a new block
// of the same content, so two equal blocks in a row print once. A block read invalid is read
// again with each bit from three neighbouring positions, or taken a character on where that
// reads whole and stronger; characters still invalid print "_", and invalid characters in
// consecutive blocks adding up to 4, or in 6 of the last 8 blocks, send it back to searching.
// Status panel 9: " " searching, "*" on the block phase.
class TArqDecoder final : public TAmtorReceiver {
 public:
  static constexpr int kBlockBits = 21;
  static constexpr int kCycle = 45 * kSubSamples;          // 990: 450 ms at 100 Bd
  static constexpr uint32_t kLookBack = 75 * kSubSamples;  // 1650: where a read starts
  static constexpr int kLostAt = 4;                        // invalid characters in a row

  TArqDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window, TBaudotDecoder& baudot,
              RxTextSink& sink, LevelRing* levels = nullptr, int32_t* levelIndex = nullptr)
      : TAmtorReceiver(sine, params, window, baudot, sink, levels, levelIndex) {}

  // As TAmtorReceiver::Start, with repeated blocks suppressed.
  void Start();

  // ModeReceiver (the set-up: TAmtorReceiver)
  void Reset() override;
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  // One sub-sample as the ring takes it (the discriminator after Reverse and the squelch), past
  // the front end: what ProcessBlock does 22 times a bit.
  void ProcessSubSample(float v);

  // Set by Start: a block equal to the last one printed is not printed again.
  int RepeatSuppression = 0;

  int State() const { return state_; }  // 0 searching, 1 on the block phase

 private:
  struct Block {
    uint32_t bits = 0;  // 21 bits, first received bit = bit 20
    double confidence = 0.0;
  };
  template <int Path>
  void Run(std::span<const float> block);
  void Search();
  void LockedStep();
  Block Read(uint32_t k) const;
  uint32_t ReadCombined(uint32_t k) const;
  double TwoCycles(uint32_t k) const;
  double Strength(uint32_t k) const;
  void Lose();
  int Print(uint32_t bits);

  int counter_ = 0;  // sub-samples within the cycle while locked
  int invalidTotal_ = 0;
  uint32_t badBlocks_ = 0;  // one bit a block, newest in bit 0: it had invalid characters
  uint32_t lastBlock_ = 0;
};

// The number of characters of a 21-bit block that are not valid CCIR-476 codes.
int InvalidCharacters(uint32_t bits);

}  // namespace vestrel
