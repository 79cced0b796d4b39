#pragma once
#include <array>
#include <cstdint>

#include "engine/afc_tuner.h"
#include "engine/mode_registry.h"
#include "engine/modes/mfsk/mfsk_tone_plan.h"
#include "engine/modes/psk/psk_afc.h"
#include "engine/modes/psk/psk_frequency_error.h"
#include "engine/modem_params.h"
#include "engine/rx_block_processor.h"
#include "engine/sample_rates.h"
#include "engine/tx_state.h"

namespace vestrel {

// Where the spectrum display puts things. One pixel is 1/Zoom bin; bin `FFTCenterFreq` sits at
// the middle of a display `width` pixels wide, so the origin (the pixel of position 880 units,
// bin 55, the first bin of the spectrum) is width/2 - (FFTCenterFreq - 55) x Zoom. Zoom is
// taken as 1..5. Painting and tuning both use these, so a marker is drawn where a click puts it.
struct SpectrumScale {
  static constexpr int32_t kFirstUnits = 880;  // bin 55
  int32_t origin = 0;
  int32_t zoom = 1;

  static SpectrumScale Of(int width, int32_t centreBin, int32_t zoom);
  // The tone position (units) under pixel x: ((x - origin) x 16 + Zoom/2) / Zoom + 880.
  int32_t PositionAt(int x) const;
  // The pixel of a tone position (units), for the markers.
  int PixelOf(int32_t units) const;
};

// The Alt-drag of the spectrum display: the display centre follows the pointer by whole bins.
// delta = (x - startX) / Zoom bins; FFTCenterFreq -= delta when that stays within 56..742, and
// the start advances by delta x Zoom. True when the centre moved.
bool DragSpectrumCentre(TModemParams& p, int& startX, int x);

// The tone layouts planned by the MFSK and PS33X5 objects, copied into the tone pairs: the MFSK
// tones from the lower tone `base` (units at the pair's rate); the PS33X5 band of speed step
// `step` around `centreHz` (tones, shift and bins). The mode switch and the frequency controls
// both lay pairs out with these.
MfskTonePlan TakeMfskRxPlan(TModemParams& p, const ModeRow& row, int32_t base);
MfskTonePlan TakeMfskTxPlan(TModemParams& p, const ModeRow& row, int32_t base, double txRate);
void TakePs33x5RxBand(TModemParams& p, int step, double centreHz);
void TakePs33x5TxBand(TModemParams& p, int step, double centreHz, double txRate);

// The receive and transmit tone pairs moved by clicks, steps and absolute frequencies, and the
// automatic frequency control that follows a signal once per block (and six times after a click).
// Every move recomputes the bins and retunes the receivers of the mode's family (RetuneRx); the
// transmit pair follows the receive pair when TxAfc is on and no transmission runs. Only manual
// moves write AfcRefBin: the AFC never strays further than the global deviation from it.
// GUI thread only; the block processor calls the AFC passes through AfcTuner.
class TFrequencyControl final : public AfcTuner {
 public:
  TFrequencyControl(TModemParams& params, TRxBlockProcessor& rxBlocks, const ModeRegistry& modes,
                    const TSampleRates& rates, const TTxState& tx)
      : params_(params), rx_(rxBlocks), modes_(modes), rates_(rates), tx_(tx) {}
  TFrequencyControl(const TFrequencyControl&) = delete;
  TFrequencyControl& operator=(const TFrequencyControl&) = delete;

  // Deviation limits, Hz: local ("AfcUpDown", how far one pass may move) and global
  // ("AfcLimitUpDown", "AFC_Limit", how far from AfcRefBin the AFC may go at all).
  int32_t LocalDeviationHz = 50;
  int32_t GlobalDeviationHz = 300;
  // "TxAFC": the transmit pair follows the receive pair.
  int32_t TxAfc = 0;
  // "AfcAtClick": six AFC passes after a click on the spectrum.
  int32_t AfcAtClick = 1;

  // AfcTuner: one pass of the mode (the block processor's table), and the transmit follow.
  void Tune(AfcPass pass) override;
  void SyncTxFrequencyToRx() override;

  // The AFC passes. Each gives up without change when its squelch test fails, its weight sum
  // is 0 or its search window is empty. True when the tones moved.
  bool AfcTunePsk();
  bool AfcTuneFsk();
  bool AfcTuneFskSeparate();
  bool AfcTrackLowerTone();
  bool AfcTrackUpperTone();
  bool AfcTuneMfsk();
  bool AfcTunePs33x5();
  // The pass the block processor runs in the current mode (none in DTMF); true when it ran.
  bool RunModePass();

  // Manual moves of the receive pair. `position` in units: the pair's centre, the PSK tone,
  // the MFSK lower edge (upper edge with Reverse). Clamped, AfcRefBin set, family retuned.
  void SetRxPosition(int32_t position);
  // The transmit pair the same way; `position` in receive units (converted at OutSamplingFreq).
  void SetTxPosition(int32_t position);
  // Relative moves by `units` (step buttons, keys, the wheel). The receive move refuses an FSK
  // step that would push a tone off the band; the transmit move does nothing while
  // transmitting or while TxAfc is on.
  void ShiftRxFrequency(int32_t units);
  void ShiftTxFrequency(int32_t units);
  // Absolute moves in Hz (macros, other programs); NaN, negative and huge values clamp.
  void SetRxFrequency(double hz);
  void SetTxFrequency(double hz);

  // The click: the mode's AFC six times when AfcAtClick is on, the click was on the spectrum
  // and Ctrl is not held; then the transmit follow. Guarded against re-entry.
  void AfterClick(bool onSpectrum, bool ctrl);

  // "Retune the family": the receive pair as it stands pushed to the receiver(s) of the mode:
  // the FSK family, the PSK receiver, the MFSK planner (tones copied back) or the PS33X5
  // receiver at the pair's centre (tones, shift and bins taken back from its band).
  void RetuneRx();

  bool Transmitting() const { return tx_.TxState != 0; }

  // Where the PSK pass reads the receiver's own frequency error (none: only captures).
  void SetPskFrequencyError(TPskFrequencyError* error) { pskError_ = error; }
  const TPskAfc& PskAfc() const { return pskAfc_; }

 private:
  double TxRate() const;
  float Peak(int32_t k) const;
  int32_t LocalBins() const;
  int32_t GlobalBins() const;
  bool SquelchOn() const { return rx_.IsSquelch != 0; }
  double Level() const { return rx_.SquelchLevel; }
  void SetRxBins();
  void SetTxBins();
  void SetRxMfskBase(int32_t lower);
  void SetRxPs33x5Centre(double centreHz);
  void SetTxMfskBase(int32_t lower);
  void SetTxPs33x5Centre(double centreHz);
  void PlaceTx(int32_t position);  // position in transmit units
  bool TrackTone(int t);
  int32_t ClampResult(int32_t units, int32_t old, int32_t ref, int32_t bandTop) const;
  bool PskSpectrumCarrier(TPskAfc::Spectrum& out) const;

  TModemParams& params_;
  TRxBlockProcessor& rx_;
  const ModeRegistry& modes_;
  const TSampleRates& rates_;
  const TTxState& tx_;
  bool clickBusy_ = false;
  TPskFrequencyError* pskError_ = nullptr;
  TPskAfc pskAfc_;
  // The MFSK pass: capture votes for the candidate lower edge (units), and the fraction of a
  // unit the tracking step has yet to move.
  static constexpr int32_t kMfskFlank = 8;          // bins each side of the band
  static constexpr double kMfskClear = 1.6;         // band over flanks
  static constexpr int kMfskVotes = 5;              // clear passes in a row, their median taken
  static constexpr int32_t kMfskStepUnits = 1;      // largest tracking step, units (1/16 bin)
  static constexpr double kMfskClearNow = 1.1;      // the same in this block's spectrum
  static constexpr double kMfskDeadband = 8.0;      // offsets below spacing / this stay put,
  static constexpr double kMfskWeakDeadband = 4.0;  // the same on a signal near its threshold
  static constexpr double kMfskSettled = 32.0;      // once moving, down to spacing / this
  bool mfskTracking_ = false;
  int mfskVotes_ = 0;
  std::array<int64_t, kMfskVotes> mfskPlaces_{};
  double mfskCarry_ = 0.0;
};

}  // namespace vestrel
