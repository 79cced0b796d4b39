#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/codes/baudot.h"
#include "engine/dsp/fsk_detector.h"
#include "engine/engine_window.h"
#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/modem_params.h"

namespace vestrel {

// Receiver of the asynchronous FSK modes: RTTY (5 data bits), ASCII-7 and ASCII-8.
// Its FSK front end gives the filtered mixer products; this class forms the discriminator
// |upper tone| - |lower tone| (positive = mark unless Reverse), samples it 22 times per bit
// into a ring and finds characters by a scored start/stop pattern whose window starts 13 bits
// back, so a character comes out 13 bit times after the bit before its start bit, plus the
// filters' delay.
class TRttyDecoder final : public ModeReceiver {
 public:
  static constexpr int kSubSamples = 22;      // ring samples per bit
  static constexpr uint32_t kRingSize = 512;  // power of two
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr uint32_t kLookBack = 13 * kSubSamples;  // search window start, behind the newest
  static constexpr float kIdle = 0.01f;                    // what a closed squelch feeds: mark
  using Ring = std::array<float, kRingSize>;

  TRttyDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
               TBaudotDecoder& baudot);
  // The same, writing its level into the tuning displays' ring every 61 input samples; index
  // is the ring's write index (TModemParams::LevelRingIndex).
  TRttyDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
               TBaudotDecoder& baudot, LevelRing& levels, int32_t& levelIndex);

  // 45.45 Bd, Optimal, tones 2115 and 2285 Hz, then enabled.
  void Start();
  // baud: 45 and 45.45 both mean 45.45 Bd; refused (false, nothing changed) outside 1..5000.
  // filterWidth: 0 Optimal, 1 Wide, 2 Narrow. An accepted set-up resets the decoder.
  bool SetBaud(double baud, int filterWidth);
  // 5, 7 or 8; refused otherwise.
  bool SetDataBits(int n);
  // Stops (false) or resumes all work.
  void SetEnabled(bool on) { enabled_ = on; }

  // ModeReceiver
  void Reset() override;
  bool SelectMode(const ModeRow& row) override;  // the row's data bits
  bool SetTones(int32_t lower, int32_t upper) override;
  bool SetSpeed(double baud, int filterWidth) override { return SetBaud(baud, filterWidth); }
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  // One sample, with the squelch decision of the last block.
  void ProcessSample(float x);

  bool Enabled() const { return enabled_; }
  bool SquelchOpen() const { return squelchOpen_; }
  int BaudInt() const { return baudInt_; }
  double SamplesPerBit() const { return samplesPerBit_; }
  double SubStep() const { return subStep_; }
  int DataBits() const { return dataBits_; }
  double Discriminator() const { return discriminator_; }
  const Ring& SubBitRing() const { return ring_; }
  bool Holding() const { return holdState_ != 0; }
  int PathRate() const { return detector_.PathRate(); }
  int AverageLength() const { return detector_.AverageLength(); }
  int32_t ToneAStep() const { return detector_.ToneAStep(); }
  int32_t ToneBStep() const { return detector_.ToneBStep(); }

 private:
  static constexpr size_t kPart = 2048;  // samples per pass of the block loop
  template <int Path>
  void Run(std::span<const float> block);
  void Clock(size_t n);
  void Push(float v);
  void Search();
  double Score(uint32_t p) const;
  bool Pattern(uint32_t p) const;
  float R(uint32_t p) const { return ring_[p & kRingMask]; }

  TFskDetector detector_;
  const TModemParams& params_;
  EngineWindow& window_;
  TBaudotDecoder& baudot_;
  LevelRing* levels_ = nullptr;
  int32_t* levelIndex_ = nullptr;

  bool enabled_ = false;
  bool squelchOpen_ = true;  // written once per block by ProcessBlock
  int baudInt_ = 45;
  double samplesPerBit_ = 11025.0 / 45.45;
  double subStep_ = samplesPerBit_ / kSubSamples;
  int dataBits_ = 5;
  double discriminator_ = 0.0;
  double subAcc_ = 0.0;
  Ring ring_{};  // sub-bit samples, > 0 mark, <= 0 space
  uint32_t ringIndex_ = 0;
  int holdState_ = 0;
  int holdCount_ = 0;
  int levelCount_ = 0;
  // While the filters settle on a signal that follows none (after a set-up, or after digital
  // silence) the ring gets 0, neither mark nor space: the input samples still to wait, and the
  // chain's group delay.
  int settle_ = 0;
  int settleLength_ = 0;
  std::array<double, kPart> part_{};  // the discriminator after each sample of a part
};

}  // namespace vestrel
