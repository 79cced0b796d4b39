#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/engine_window.h"
#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/modem_params.h"
#include "engine/modes/mfsk/mfsk_frequency_error.h"
#include "engine/modes/mfsk/mfsk_interleaver.h"
#include "engine/modes/mfsk/mfsk_tone_bank.h"
#include "engine/modes/mfsk/mfsk_viterbi.h"
#include "engine/rx_text_sink.h"
#include "engine/sine_table.h"

namespace vestrel {

// The soft bits (index 0 the most significant) of one MFSK symbol from the tone magnitudes
// m[0..tones-1] (tone i read from detector tones - 1 - i under `reverse`) and the strongest
// detector: the hard bits are the Gray code of the strongest tone, 64 for a 0 and 192 for a 1,
// each moved by up to 63 towards what all tones say: every tone's magnitude counts for the
// bits its Gray code has set and against the others, in proportion to the sum of all. All
// magnitudes 0 (nothing sounds) gives erasures, 128.
void MfskSoftBits(const double* m, int tones, int bits, int strongest, bool reverse, uint8_t* soft);

// Receiver of the multi-tone modes: MFSK16 (16 tones 15.625 Hz apart, 15.625 symbols/s, 4 bits
// a symbol) and MFSK8 (32 tones 7.8125 Hz apart, 7.8125 symbols/s, 5 bits). One detector per
// tone averages over a symbol; 15 times a symbol the difference between the strongest and the
// second tone goes into a ring, whose pattern over the last 10 symbols keeps the symbol clock
// on the symbols' centres. At each symbol the magnitudes of that sample give Gray-coded soft
// bits, which pass the deinterleaver and the Viterbi decoder (in MFSK8 two, one for each way of
// pairing the code bits, the better one heard) into the varicode decoder. Characters go to the
// received-text sink while the squelch is open; panel 9 shows "*" while the clock holds.
class TMfskDecoder final : public ModeReceiver {
 public:
  static constexpr int kMaxTones = 32;
  static constexpr uint32_t kRingSize = 512;  // sub-samples, power of two
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr int kSubSteps = 15;    // sub-samples a symbol
  static constexpr int kLevelEvery = 61;  // input samples a level
  static constexpr int kSyncMax = 8;
  static constexpr int32_t kStartBase = 2972;  // lowest tone after SetMode, about 1000 Hz

  TMfskDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window, RxTextSink& sink,
               LevelRing& levels, int32_t& levelIndex);

  // MFSK8 (true) or MFSK16: the tone count, the detectors' averaging (one symbol), the base
  // tone kStartBase, a Reset; then enabled.
  void SetMode(bool mfsk8);
  // base: the lowest tone, FrequencyUnit; retunes the detectors and keeps the decoding state.
  // The frequency estimate is turned by a move of less than half a spacing, else cleared.
  void SetTones(int32_t base);
  // One sample with the squelch decision of the last block.
  void ProcessSample(float x);

  // ModeReceiver
  // Clears the detectors, the clock, the rings, the deinterleaver, both decoders and the
  // varicode register; panel 9 blank.
  void Reset() override;
  bool SelectMode(const ModeRow& row) override;  // MFSK8 when the row has 32 tones
  bool SetTones(int32_t lower, int32_t upper) override;
  bool SetSpeed(double, int) override { return true; }  // the mode fixes its rate
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  // What the tuning displays and the AFC read.
  bool Enabled() const { return enabled_; }
  int Tones() const { return tones_; }
  double SymbolPeriod() const { return period_; }
  double SubStep() const { return subStep_; }
  int32_t FirstBin() const { return firstBin_; }
  int32_t LastBin() const { return lastBin_; }
  int32_t FirstStep() const { return firstStep_; }
  int32_t LastStep() const { return lastStep_; }
  // Offsets of tone i from the first tone, bins.
  const std::array<int32_t, kMaxTones>& ToneOffsetBins() const { return offsetBins_; }
  bool SquelchOpen() const { return squelchOpen_; }
  // The signal's offset from the tones as the detectors measure it (whatever the squelch).
  const TMfskFrequencyError& FrequencyError() const { return freqError_; }
  double SpacingHz() const { return spacingHz_; }
  bool Synced() const { return sync_ != 0; }
  int SyncIntegrator() const { return syncIntegrator_; }
  uint32_t VaricodeRegister() const { return varicodeRegister_; }
  // Soft bits of the last symbol decision, before the deinterleaver (most significant first).
  std::array<uint8_t, kMfskMaxBits> LastSoftBits() const { return lastSoft_; }
  // Symbol decisions since the last Reset.
  uint64_t Symbols() const { return symbols_; }
  // The decoders: A, and in MFSK8 B, one code bit behind.
  // The detectors' kernel (a test runs each one).
  TMfskToneBank& Detectors() { return bank_; }
  TMfskViterbi& DecoderA() { return viterbi_[0]; }
  TMfskViterbi& DecoderB() { return viterbi_[1]; }
  int64_t QualityA() const { return quality_[0]; }
  int64_t QualityB() const { return quality_[1]; }

 private:
  template <int N>
  void Run(std::span<const float> block);
#if VESTREL_MFSK_SIMD
  template <int N>
  __attribute__((target("avx2"))) void RunAvx2(std::span<const float> block);
  template <int N>
  __attribute__((target("avx512f"))) void RunAvx512(std::span<const float> block);
#endif
  void AfterStep();
  void Magnitudes();
  void SubSample();
  void Clock();
  void Decide();
  void Decode(const uint8_t* soft);
  void PairAndDecode(const uint8_t* soft);
  void VaricodeBit(uint32_t bit);
  void ShowSync(int state);

  TMfskToneBank bank_;
  const TModemParams& params_;
  EngineWindow& window_;
  RxTextSink& sink_;
  LevelRing& levels_;
  int32_t& levelIndex_;

  bool enabled_ = false;
  bool mfsk8_ = false;
  int tones_ = 16;
  int bitsPerSymbol_ = 4;
  double spacingHz_ = 15.625;
  int levelDivider_ = 0;
  bool squelchOpen_ = true;  // written once per block by ProcessBlock

  int syncIntegrator_ = 0;
  int sync_ = 0;
  int syncShown_ = 0;
  uint32_t varicodeRegister_ = 0;
  uint64_t symbols_ = 0;

  double period_ = 705.6;  // samples a symbol
  double subStep_ = 705.6 / kSubSteps;
  double subAcc_ = 0.0;
  std::array<float, kRingSize> ring_{};
  uint32_t ringIndex_ = 0;
  int subPhase_ = 0;

  std::array<double, kMaxTones> mag_{};  // the magnitudes of this sample, once computed
  int strongest_ = 0;                    // detector index
  double difference_ = 0.0;              // strongest minus the second

  TMfskDeinterleaver deinterleaver_;
  std::array<uint8_t, kMfskMaxBits> lastSoft_{};
  // MFSK8: the code bits gathered for decoder A and for decoder B, which runs one bit behind.
  std::array<std::array<uint8_t, 4>, 2> pairs_{};
  std::array<int, 2> pairFill_{};
  // Each decoder's last traceback gains, newest at gainIndex_, and their sum.
  std::array<int64_t, 2> quality_{};
  static constexpr uint32_t kGainRing = 8;
  std::array<std::array<int64_t, kGainRing>, 2> gains_{};
  std::array<uint32_t, 2> gainIndex_{};
  std::array<TMfskViterbi, 2> viterbi_;

  TMfskFrequencyError freqError_;
  uint32_t half_ = 352;  // samples in half a detector average
  int32_t base_ = kStartBase;

  std::array<int32_t, kMaxTones> offsetBins_{};
  int32_t firstBin_ = 0, lastBin_ = 0, firstStep_ = 0, lastStep_ = 0;
};

}  // namespace vestrel
