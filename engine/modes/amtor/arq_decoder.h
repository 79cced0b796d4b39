#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/codes/baudot.h"
#include "engine/engine_window.h"
#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/modem_params.h"
#include "engine/modes/amtor/fsk_sub_sampler.h"
#include "engine/rx_text_sink.h"

namespace vestrel {

// Monitor of an AMTOR ARQ (mode A) link: the sending station's blocks of three 7-bit CCIR-476
// characters (21 bits at 100 Bd), one per 450 ms cycle, a block repeated whenever the other
// station asks. The front end is the AMTOR FEC decoder's (22 sub-samples a bit into a ring);
// the monitor finds the block phase on two valid blocks a cycle apart, follows it on valid
// blocks, and prints each block once: a monitor cannot tell a repetition from a new block of
// the same content, so two equal blocks in a row print once. A block read invalid is read again
// with each bit from three neighbouring positions; characters still invalid print "_", and
// invalid characters in consecutive blocks adding up to 4 send it back to searching. Status
// panel 9: " " searching, "*" on the block phase.
class TArqDecoder final : public ModeReceiver {
 public:
  static constexpr int kSubSamples = 22;  // ring values per bit
  static constexpr uint32_t kRingSize = 2048;
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr int kBlockBits = 21;
  static constexpr int kCycle = 45 * kSubSamples;             // 990: 450 ms at 100 Bd
  static constexpr uint32_t kLookBack = 68 * kSubSamples;     // 1496: where a read starts
  static constexpr int kLostAt = 4;                           // invalid characters in a row
  using Ring = std::array<float, kRingSize>;

  TArqDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window, TBaudotDecoder& baudot,
              RxTextSink& sink, LevelRing* levels = nullptr, int32_t* levelIndex = nullptr);

  // 100 Bd, tones 2115 and 2285 Hz, repeated blocks suppressed, then enabled.
  void Start();
  // baud: 1..5000 (refused otherwise). Resets the monitor and shows " " in panel 9.
  bool SetBaud(double baud);
  void SetEnabled(bool on) { enabled_ = on; }

  // ModeReceiver
  void Reset() override;
  bool SelectMode(const ModeRow&) override { return true; }
  bool SetTones(int32_t lower, int32_t upper) override;
  bool SetSpeed(double baud, int) override { return SetBaud(baud); }
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  // One sub-sample as the ring takes it (the discriminator after Reverse and the squelch), past
  // the front end: what ProcessBlock does 22 times a bit.
  void ProcessSubSample(float v);

  // Set by Start: a block equal to the last one printed is not printed again.
  int RepeatSuppression = 0;

  bool Enabled() const { return enabled_; }
  int State() const { return state_; }  // 0 searching, 1 on the block phase
  const TFskSubSampler& Front() const { return front_; }

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
  int Print(uint32_t bits);
  float R(uint32_t p) const { return ring_[p & kRingMask]; }

  TFskSubSampler front_;
  const TModemParams& params_;
  EngineWindow& window_;
  TBaudotDecoder& baudot_;
  RxTextSink& sink_;

  bool enabled_ = false;
  bool squelchOpen_ = true;  // written once per block by ProcessBlock
  int state_ = 0;
  int counter_ = 0;  // sub-samples within the cycle while locked
  int invalidTotal_ = 0;
  uint32_t lastBlock_ = 0;
  Ring ring_{};
  uint32_t ringIndex_ = 0;
};

// The number of characters of a 21-bit block that are not valid CCIR-476 codes.
int InvalidCharacters(uint32_t bits);

}  // namespace vestrel
