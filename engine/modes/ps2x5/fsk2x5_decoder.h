#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/codes/reed_solomon31.h"
#include "engine/dsp/fsk_detector.h"
#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/modes/ps2x5/block_message.h"

namespace vestrel {

class EngineWindow;
class RxTextSink;

// Receiver of PS2X5, the two-tone block mode: 31 five-bit symbols a block, sent as NRZI bits
// (a 1 keeps the tone, a 0 changes it), so the polarity of the tones does not matter. The FSK
// front end gives the discriminator |upper tone| - |lower tone|, sampled 11 times per bit into
// a ring; a bit clock keeps the decision point in the middle of the bits, and at every bit the
// last 156 bits are read as a block, corrected by the Reed-Solomon code and accepted by their
// check. Accepted blocks go to the message handling (TBlockMessage): text, lost-block marks,
// the error report and the message files. GUI thread only.
class TFsk2x5Decoder final : public ModeReceiver {
 public:
  static constexpr int kSubSamples = 11;  // ring samples per bit
  static constexpr uint32_t kRingSize = 4096;
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr float kIdle = 0.01f;  // the ring's fill, and what a closed squelch feeds
  static constexpr int kBlockBits = 156;  // 155 NRZI bits and the one before them
  static constexpr int kHoldOff = 153;    // bits without a search after an accepted block
  static constexpr int kLostAfter = 1395;  // bits without a good block that end a message (9 blocks)
  static constexpr int kDcdPanel = 9;
  static constexpr int kTimingPanel = 12;

  TFsk2x5Decoder(const SineTable& sine, EngineWindow& window, RxTextSink& sink,
                 const BlockCaptureSettings& capture, LevelRing& levels, int32_t& levelIndex);

  // The engine start: 50 Bd, Optimal, tones 1700 -/+ 25 Hz, enabled.
  void Start();
  // baud: rounded to a whole speed, 1..5000 (refused otherwise). filterWidth: 0 Optimal, 1 Wide,
  // 2 Narrow. Ends an open message first; an accepted set-up clears the receiver.
  bool SetBaud(double baud, int filterWidth);
  // Ends an open message: with countLost one lost block is counted first (the transmit pump
  // does this before each transmission of its own).
  void EndMessage(bool countLost) { message_.EndMessage(countLost); }

  // ModeReceiver
  void Reset() override;  // also ends an open message
  bool SelectMode(const ModeRow&) override { return true; }
  bool SetTones(int32_t lower, int32_t upper) override;
  bool SetSpeed(double baud, int filterWidth) override { return SetBaud(baud, filterWidth); }
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  bool Enabled() const { return enabled_; }
  int Speed() const { return speed_; }
  double SamplesPerBit() const { return samplesPerBit_; }
  int PathRate() const { return detector_.PathRate(); }
  int AverageLength() const { return detector_.AverageLength(); }
  int32_t ToneAStep() const { return detector_.ToneAStep(); }
  int32_t ToneBStep() const { return detector_.ToneBStep(); }
  const TBlockMessage& Message() const { return message_; }
  TBlockMessage& Message() { return message_; }

 private:
  static constexpr size_t kPart = 2048;
  template <int Path>
  void Run(std::span<const float> block);
  void Clock(size_t n);
  void BitClock(uint32_t a);
  void Search(uint32_t e);
  float R(uint32_t p) const { return ring_[p & kRingMask]; }
  // |ring| summed over 8 bits back from p, kept beside the ring as it fills.
  float Comb(uint32_t p) const { return comb_[p & kRingMask]; }
  void Push(uint32_t p, float v);

  TFskDetector detector_;
  EngineWindow& window_;
  LevelRing& levels_;
  int32_t& levelIndex_;
  TBlockMessage message_;
  TReedSolomon31 codec_;

  bool enabled_ = false;
  bool squelchOpen_ = true;  // written once per block
  int speed_ = 50;
  double samplesPerBit_ = 11025.0 / 50;
  double subStep_ = samplesPerBit_ / kSubSamples;
  double subAcc_ = 0.0;
  double discriminator_ = 0.0;
  int levelCount_ = 0;  // 0..60
  int subCount_ = 0;    // sub-samples into the bit, 0..10 (moved by the clock)
  int holdOff_ = 0;
  std::array<float, kRingSize> ring_{};
  std::array<float, kRingSize> comb_{};
  // The read of a block walks back from its start one bit at a time; a step is fixed by its
  // nominal place and the drift it starts with. The last walk is kept: a walk that reaches a
  // state the last one passed (one bit later, most often) goes on exactly as that one did.
  struct WalkStep {
    int8_t driftBefore = 0;
    int8_t delta = 0;
    uint8_t bit = 0;
  };
  using Walk = std::array<WalkStep, kBlockBits>;
  const Walk& WalkBack(uint32_t start);
  std::array<Walk, 2> walks_{};
  int walkNow_ = 0;
  uint32_t walkStart_ = 0;
  bool walkKept_ = false;
  uint32_t ringIndex_ = 0;
  std::array<double, kPart> part_{};  // the discriminator after each sample of a part
};

}  // namespace vestrel
