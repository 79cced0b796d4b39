#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/codes/baudot.h"
#include "engine/dsp/fsk_detector.h"
#include "engine/engine_window.h"
#include "engine/level_ring.h"
#include "engine/modem_params.h"

namespace vestrel {

// Receiver of the asynchronous FSK modes: RTTY (5 data bits), ASCII-7 and ASCII-8.
// The FSK core gives the filtered mixer products; this class forms the discriminator
// |upper tone| - |lower tone| (positive = mark unless Reverse), samples it 22 times per bit
// into a ring and finds characters by a scored start/stop pattern whose window starts 13 bits
// back, so a character comes out 13 bit times after the bit before its start bit, plus the
// filters' delay.
class TRttyDecoder : public TFskDetector {
 public:
  static constexpr int kSubSamples = 22;      // ring samples per bit
  static constexpr uint32_t kRingSize = 512;  // power of two
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr uint32_t kLookBack = 13 * kSubSamples;  // search window start, behind the newest
  static constexpr float kIdle = 0.01f;                    // what a closed squelch feeds: mark

  TRttyDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
               TBaudotDecoder& baudot);
  // The same, writing its level into the tuning displays' ring.
  TRttyDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
               TBaudotDecoder& baudot, LevelRing& levels, int32_t& levelIndex)
      : TRttyDecoder(sine, params, window, baudot) {
    SetLevelRing(&levels, &levelIndex);
  }

  // 45.45 Bd, Optimal, tones 2115 and 2285 Hz, then enabled.
  void Start();
  // baud: 45 and 45.45 both mean 45.45 Bd; refused (false, nothing changed) outside 1..5000.
  // filterWidth: 0 Optimal, 1 Wide, 2 Narrow.
  bool SetBaud(double baud, int filterWidth);
  // 5, 7 or 8; refused otherwise.
  bool SetDataBits(int n);

  void ProcessSample(float x);
  void ProcessBlock(std::span<const float> block);

  // Where the decoder writes its level for the tuning displays, every 61 input samples;
  // index is the ring's write index (TModemParams::LevelRingIndex). Unset: not written.
  void SetLevelRing(LevelRing* ring, int32_t* index) {
    levels_ = ring;
    levelIndex_ = index;
  }

  int Enabled = 0;
  int SquelchOpen = 1;  // written once per block by the block processor
  int BaudInt = 45;
  double SamplesPerBit = 11025.0 / 45.45;
  double SubStep = SamplesPerBit / kSubSamples;
  int DataBits = 5;
  double Discriminator = 0.0;
  double SubAcc = 0.0;
  std::array<float, kRingSize> Ring{};  // sub-bit samples, > 0 mark, <= 0 space
  uint32_t RingIndex = 0;
  int HoldState = 0;
  int HoldCount = 0;
  int LevelCount = 0;
  // While the filters settle on a signal that follows none (after a set-up, or after digital
  // silence) the ring gets 0, neither mark nor space: the input samples still to wait, and the
  // chain's group delay.
  int Settle = 0;
  int SettleLength = 0;

 private:
  void Push(float v);
  void Search();
  double Score(uint32_t p) const;
  bool Pattern(uint32_t p) const;
  float R(uint32_t p) const { return Ring[p & kRingMask]; }

  const TModemParams& params_;
  EngineWindow& window_;
  TBaudotDecoder& baudot_;
  LevelRing* levels_ = nullptr;
  int32_t* levelIndex_ = nullptr;
};

}  // namespace vestrel
