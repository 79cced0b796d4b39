#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/codes/reed_solomon31.h"
#include "engine/level_ring.h"
#include "engine/modem_params.h"
#include "engine/modes/ps2x5/block_message.h"
#include "engine/modes/ps33x5/hop_transform.h"
#include "engine/modes/ps33x5/ps33x5_input.h"

namespace vestrel {

class EngineWindow;
class RxTextSink;

// Receiver of PS33X5: the PS2X5 block (ps2x5_block.h) on 33 tones, each 5-bit symbol sent as a
// step of 1 to 32 tone places upward (modulo 33) from the tone before, so no absolute tuning
// within the band is needed. It runs on the 12800 samples/s stream of TPs33x5Input: 11 times a
// symbol the last window of W samples is transformed (zero-padded to N), the strongest tone of
// the search band is located to a fraction of a bin, and its margin over the other tones feeds
// a symbol clock; at every symbol the last 32 tone positions are read as 31 steps, a block,
// which is corrected and checked as in PS2X5 and goes to the same message handling.
// Speed step s (1, 2, 4, 8, 16, 32; baud = 1.5625 s): W = 8192 / s; tone spacing 12800 / W Hz,
// doubled for s < 8 (tone places m = 2 window bins apart); N = 2W for s < 8, else 4W (z),
// so a tone place is m z transform bins. GUI thread only.
class TIfsk33Decoder final : public TPs33x5Input {
 public:
  static constexpr int kHops = 11;  // transforms per symbol
  static constexpr uint32_t kRingSize = 8192;
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr uint32_t kHopRingSize = 1024;
  static constexpr uint32_t kHopRingMask = kHopRingSize - 1;
  static constexpr int kMaxFft = 16384;
  // A block is 31 symbols here (155 bits in PS2X5): the hold-off after an accepted block and
  // the nine blocks without a good one that end a message, counted in symbols.
  static constexpr int kHoldOff = 29;
  static constexpr int kLostAfter = 9 * 31;

  TIfsk33Decoder(const TModemParams& params, EngineWindow& window, RxTextSink& sink,
                 const BlockCaptureSettings& capture, LevelRing& levels, int32_t& levelIndex);

  // The engine start: step 4 around 1500 Hz.
  void Start() { SetStep(4, 1500.0); }
  // step: 1, 2, 4, 8, 16 or 32 (refused otherwise, the step kept); centreHz: the band's centre.
  // Ends an open message, clears the receiver and enables it.
  bool SetStep(int step, double centreHz);
  // The tone band centre +/- 16 spacings and the search band centre +/- (18 spacings + 120 Hz),
  // as transform bins (the lower at least 2, the upper at most N/2 - 4).
  void SetCentre(double centreHz);
  void EndMessage(bool countLost) { message_.EndMessage(countLost); }
  // One sample at 12800 samples/s.
  void ProcessSample(double x);

  // ModeReceiver
  void Reset() override;  // also ends an open message
  bool SelectMode(const ModeRow&) override { return true; }
  // The band's centre from the receive tones (FrequencyUnit): the mean of the two.
  bool SetTones(int32_t lower, int32_t upper) override;
  // baud = step x 1.5625; the filter width means nothing here.
  bool SetSpeed(double baud, int filterWidth) override;

  bool Enabled() const { return enabled_; }
  int Step() const { return step_; }
  int Window() const { return window_; }
  int FftSize() const { return fftSize_; }
  int BinsPerPlace() const { return spacingBins_; }  // m z
  double SpacingHz() const { return spacingHz_; }
  double CentreHz() const { return centreHz_; }
  int64_t HopLengthMilli() const { return hopLength_; }
  int FirstSearchBin() const { return firstBin_; }
  int LastSearchBin() const { return lastBin_; }
  double BandLowerHz() const { return bandLowerHz_; }
  double BandUpperHz() const { return bandUpperHz_; }
  const TBlockMessage& Message() const { return message_; }
  TBlockMessage& Message() { return message_; }
  // The last hop's tone position (bins, fractional) and margin.
  double LastPosition() const { return hops_[hopIndex_].position; }
  double LastMargin() const { return hops_[hopIndex_].margin; }

 protected:
  void ProcessConverted(std::span<const double> samples, bool squelchOpen) override;

 private:
  struct HopEntry {
    float margin = 0.0f;
    float position = 0.0f;
  };
  void Hop();
  void Magnitudes(int from, int to, float scale);
  float Largest(int from, int to) const;
  void SymbolClock();
  void Search(uint32_t d);
  float Margin(uint32_t i) const { return hops_[i & kHopRingMask].margin; }
  float Position(uint32_t i) const { return hops_[i & kHopRingMask].position; }
  float MarginSum(uint32_t i, int symbols) const;
  uint8_t SymbolOfStep(double bins) const;

  const TModemParams& params_;
    LevelRing& levels_;
  int32_t& levelIndex_;
  TBlockMessage message_;
  TReedSolomon31 codec_;

  bool enabled_ = false;
  bool squelchOpen_ = true;
  int step_ = 4;
  int placeBins_ = 2;  // m
  int zoom_ = 2;       // z
  int window_ = 2048;
  int fftSize_ = 4096;
  int spacingBins_ = 4;
  int64_t hopLength_ = 186182;  // thousandths of a sample
  int64_t hopAcc_ = 0;
  double spacingHz_ = 12.5;
  double centreHz_ = 1500.0;
  double bandLowerHz_ = 1300.0;
  double bandUpperHz_ = 1700.0;
  int firstBin_ = 2;
  int lastBin_ = 2;
  int hopCount_ = 0;  // hops into the symbol, 0..10 (moved by the clock)
  int holdOff_ = 0;
  std::array<float, kRingSize> ring_{};
  uint32_t ringIndex_ = 0;
  std::array<HopEntry, kHopRingSize> hops_{};
  uint32_t hopIndex_ = 0;
  TPs33x5HopTransform transform_;  // RealFft of the padded window, the search band's bins only
  std::vector<float> fftIn_ = std::vector<float>(kMaxFft);
  std::vector<float> fftRe_ = std::vector<float>(kMaxFft);
  std::vector<float> fftIm_ = std::vector<float>(kMaxFft);
  std::vector<float> magnitude_ = std::vector<float>(kMaxFft / 2);
  std::vector<float> peak_ = std::vector<float>(kMaxFft / 2);
};

}  // namespace vestrel
