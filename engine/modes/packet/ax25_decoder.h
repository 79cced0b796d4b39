#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/dsp/fsk_detector.h"
#include "engine/engine_window.h"
#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/modes/packet/hdlc_deframer.h"
#include "engine/sine_table.h"

namespace vestrel {

// Where the packet receiver hands every good frame: its bytes with the two check bytes.
class Ax25FrameSink {
 public:
  virtual void PutAx25Frame(std::span<const uint8_t> frame) = 0;

 protected:
  ~Ax25FrameSink() = default;
};

// Receiver of AX.25 packet radio: two-tone AFSK, NRZI, HDLC, at 300 Bd (HF) or 1200 Bd (UHF).
// The FSK front end gives the filtered mixer products of both tones; the discriminator is
// |second tone| - |first tone|. It is sampled nine times per bit into a ring; once per bit a
// timing search over the last ten bits moves the bit clock a ninth of a bit towards the phase
// of largest magnitude (the middle of the bits), a carrier-detect integrator weighs where the
// transitions fall, and the newest sub-sample decides the bit: no change of sign against the
// last decision is a 1, a change a 0. Frames go to the sink; the carrier-detect flag (DCD)
// drives the packet channel access and status panel 9 ("*" on, " " off).
class TAx25Decoder final : public ModeReceiver {
 public:
  static constexpr int kSubSamples = 9;       // ring samples per bit
  static constexpr uint32_t kRingSize = 256;  // power of two, more than 10 bits and the search
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr int kDcdFull = 16000;
  static constexpr int kLevelEvery = 9;  // input samples per level written

  TAx25Decoder(const SineTable& sine, EngineWindow& window, Ax25FrameSink& sink);
  // The same, writing its level into the tuning displays' ring; index is the ring's write
  // index (TModemParams::LevelRingIndex).
  TAx25Decoder(const SineTable& sine, EngineWindow& window, Ax25FrameSink& sink, LevelRing& levels,
               int32_t& levelIndex);

  // The engine start: tones 2100 and 2300 Hz, 300 Bd, then enabled.
  void Start();
  // baud: 1..5000; chooses the front end's path and final filter by speed and resets.
  // Refused (false, nothing changed) otherwise.
  bool SetBaud(int baud);
  // Stops (false) or resumes all work.
  void SetEnabled(bool on) { enabled_ = on; }
  // The squelch decision for the samples that follow: closed feeds 0 to the bit decisions.
  void SetSquelchOpen(bool open) { squelchOpen_ = open; }

  // ModeReceiver
  // Restarts the bit clock, the deframer and carrier detect (off, panel 9 " ") and empties
  // the filters; speed and tones stay.
  void Reset() override;
  bool SelectMode(const ModeRow& row) override;  // the row's speed: 300 or 1200 Bd
  // Phase steps (FrequencyUnit) of the first and second tone; refused outside 0..32767.
  bool SetTones(int32_t first, int32_t second) override;
  bool SetSpeed(double baud, int filterWidth) override;
  // A block of input samples at 11025 samples/s, with the squelch decision of that block.
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  // One input sample, with the squelch decision of the last block.
  void ProcessSample(float x);

  bool Enabled() const { return enabled_; }
  bool SquelchOpen() const { return squelchOpen_; }
  bool Dcd() const { return dcd_; }
  int DcdIntegrator() const { return dcdIntegrator_; }
  int Baud() const { return baud_; }
  double SamplesPerBit() const { return samplesPerBit_; }
  double Discriminator() const { return discriminator_; }
  int PathRate() const { return detector_.PathRate(); }
  int32_t ToneAStep() const { return detector_.ToneAStep(); }
  int32_t ToneBStep() const { return detector_.ToneBStep(); }
  const THdlcDeframer& Deframer() const { return hdlc_; }

 private:
  static constexpr size_t kPart = 2048;  // samples per pass of the block loop
  template <int Path>
  void Run(std::span<const float> block);
  void Clock(size_t n);
  void SubSample(float v);
  void BitDecision();
  void ShowDcd();
  float R(uint32_t i) const { return ring_[i & kRingMask]; }

  TFskDetector detector_;
  EngineWindow& window_;
  Ax25FrameSink& sink_;
  LevelRing* levels_ = nullptr;
  int32_t* levelIndex_ = nullptr;

  bool enabled_ = false;
  bool squelchOpen_ = true;
  int levelCount_ = 0;
  uint32_t ringIndex_ = 0;
  int bitPhase_ = 0;  // sub-samples since the last bit decision, 0..8
  int baud_ = 300;
  int dcdIntegrator_ = 0;
  bool dcd_ = false;
  int dcdShown_ = 0;  // 0 nothing shown yet or " ", 1 "*"
  bool prevSign_ = false;
  double samplesPerBit_ = 11025.0 / 300;
  double subStep_ = samplesPerBit_ / kSubSamples;
  double subAcc_ = 0.0;
  double discriminator_ = 0.0;
  std::array<float, kRingSize> ring_{};
  THdlcDeframer hdlc_;
  std::array<double, kPart> part_{};  // the discriminator after each sample of a part
};

}  // namespace vestrel
