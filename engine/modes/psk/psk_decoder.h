#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/codes/varicode_table.h"
#include "engine/engine_window.h"
#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/modem_params.h"
#include "engine/modes/psk/psk_frequency_error.h"
#include "engine/modes/psk/psk_front_end.h"
#include "engine/modes/psk/qpsk_code.h"
#include "engine/rx_text_sink.h"
#include "engine/sine_table.h"

namespace vestrel {

// Receiver of BPSK31/63/125 and QPSK31/63 at 11025 samples/s. The front end gives the
// matched-filter pair (I, Q); a differential detector compares it with the pair one symbol
// back, 22 times per symbol; a symbol clock keeps the newest of those sub-symbol values on the
// energy peak (for QPSK the product's size, whatever the turn) and decides once per symbol. BPSK: same phase
// is a 1, a reversal a 0. QPSK: the quarter-turn step goes through the Viterbi decoder. The bits fill the
// varicode register, whose characters go to the received-text sink. Status panel 9 shows the clock's lock
// ("*") or its loss (" "); the phase scope reads the decided pairs from Scope on its own timer.
class TPskDecoder final : public ModeReceiver {
 public:
  static constexpr int kSubSymbols = 22;      // detector values per symbol
  static constexpr uint32_t kRingSize = 512;  // history and sub-symbol rings, a power of two
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr int kClockSymbols = 10;  // symbols the clock sums at each phase
  static constexpr int kClockReach = 5;     // sub-symbols either side the clock looks

  TPskDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window, RxTextSink& sink);
  // The same, writing its level into the tuning displays' ring at index (LevelRingIndex).
  TPskDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window, RxTextSink& sink,
              LevelRing& levels, int32_t& levelIndex)
      : TPskDecoder(sine, params, window, sink) {
    SetLevelRing(&levels, &levelIndex);
  }

  // 31.25 Bd on 2200 Hz, enabled.
  void Start();
  // rateCode: 125 (125 Bd), 63 (62.5 Bd), anything else 31.25 Bd; returns the code applied.
  // Sets the symbol timing, resets the receiver and blanks the DCD panel. Works whether
  // enabled or not.
  int SetRate(int rateCode);
  // Oscillator step, FrequencyUnit (the lower receive tone): 0 < step < 16384; refused
  // (false, unchanged) otherwise. The signal in the filters stays.
  bool SetStep(int32_t step) { return front_.SetStep(step); }

  // ModeReceiver
  // Back to the state after SetRate: filters, rings, clock, decoders and the DCD lock.
  void Reset() override;
  // A PSK row: its rate and BPSK or QPSK (a new rate resets); refused (false) for a row of
  // another rate.
  bool SelectMode(const ModeRow& row) override;
  // The lower tone is the oscillator's step (SetStep).
  bool SetTones(int32_t lower, int32_t upper) override;
  // The rate is the mode's: any speed of the Speed menu is taken and leaves it.
  bool SetSpeed(double, int) override { return true; }
  // The block with the squelch decision of the block processor: the mode's rule (the spectrum
  // peak at the lower receive tone's bin above SquelchLevel while "SQL" is down).
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  // One input sample. Nothing while disabled.
  void ProcessBpskSample(float x);
  void ProcessQpskSample(float x);
  void ProcessBpskBlock(std::span<const float> block);
  void ProcessQpskBlock(std::span<const float> block);

  // Where the level for the tuning displays goes, every 61 input samples. Unset: nowhere.
  void SetLevelRing(LevelRing* ring, int32_t* index) {
    levels_ = ring;
    levelIndex_ = index;
  }

  // The "SQL" button (the block processor's IsSquelch); unset: off. While it is down the held
  // spectrum peak that opens the squelch outlasts an over by seconds, so each character is
  // judged as well: it passes when its decisions had a signal (BPSK: the products' phase
  // steady; QPSK: the steps fitting the code; the pair's power not fallen from the over's) and
  // the signal was still there in the decisions after it. BPSK characters wait those 8 decisions; the
  // detector feeds the clock with the squelch closed too.
  void SetSquelchSwitch(const int* isSquelch) { isSquelch_ = isSquelch; }

  int RateCode() const { return front_.RateCode(); }
  int32_t Step() const { return front_.Step(); }
  double I() const { return front_.I; }
  double Q() const { return front_.Q; }

  int Enabled = 0;
  // Written once per block (ProcessBlock): 0 while the squelch is closed, when the detector
  // gives 0 and no character is passed on.
  int SquelchOpen = 1;
  bool Quadrature = false;  // ProcessBlock runs QPSK (the row's)
  double SamplesPerSymbol = 11025.0 / 31.25;
  int SymbolLag = 353;  // SamplesPerSymbol rounded: the differential detector's delay
  double SubStep = SamplesPerSymbol / kSubSymbols;
  double SubAcc = 0.0;
  int PhaseCount = 0;  // sub-symbols since the last decision; -1 or 1 after a correction
  int Locked = 0;      // DCD
  int LevelCount = 0;
  // The pair (I, Q) at each decision for the phase scope, which draws one per symbol: the last
  // kScopeSize of them, the newest at (Decisions - 1) & kScopeMask. A reader keeps the count it
  // last saw and takes the decisions since (125 Bd makes 13 in a 100 ms tick).
  struct ScopePoint {
    double I = 0.0;
    double Q = 0.0;
  };
  static constexpr uint32_t kScopeSize = 64;
  static constexpr uint32_t kScopeMask = kScopeSize - 1;
  std::array<ScopePoint, kScopeSize> Scope{};
  uint32_t Decisions = 0;  // wraps
  ScopePoint LastDecided() const { return Scope[(Decisions - 1) & kScopeMask]; }
  uint32_t VaricodeReg = 0;  // received bits, newest in bit 0; wraps on a steady carrier
  TQpskViterbi Viterbi;
  // The tone's error as the decisions see it, for the AFC (which takes it once per block).
  TPskFrequencyError FrequencyError;

 private:
  template <int Rate, bool Qpsk>
  void Sample(float x);
  template <bool Qpsk>
  void Samples(std::span<const float> block);
  double Detector() const;
  double QpskClockValue() const;
  double Cross() const;
  bool SquelchSwitchDown() const { return isSquelch_ != nullptr && *isSquelch_ != 0; }
  // The detector feeds the clock while the squelch is open, and always while the squelch switch
  // is wired and down: the clock is then on a signal by the time it opens the squelch, and the
  // characters are judged one by one.
  bool Feeds() const { return SquelchOpen || SquelchSwitchDown(); }
  // One sub-symbol value into the clock; true when it decides a symbol now.
  bool Clock(double d);
  void DecideQpsk();
  void PushBit(int bit);
  // The signal test of a decision (BPSK: the differential product's phase, smoothed; QPSK: the
  // Viterbi decoder's path metric growth, smoothed) and the pair's power against the over's;
  // releases the BPSK characters whose wait is over.
  void Present(double dot, double cross);
  void WriteLevel(double level);
  void SetLocked(int locked);
  void Decided(int order) {
    Scope[Decisions & kScopeMask] = {front_.I, front_.Q};
    ++Decisions;
    const uint32_t old = (historyIndex_ - static_cast<uint32_t>(SymbolLag)) & kRingMask;
    FrequencyError.Add(front_.I, front_.Q, historyI_[old], historyQ_[old], order);
  }

  const TModemParams& params_;
  EngineWindow& window_;
  RxTextSink& sink_;
  const std::array<uint8_t, kVaricodeDecodeSize>& decode_;
  LevelRing* levels_ = nullptr;
  int32_t* levelIndex_ = nullptr;
  TPskFrontEnd front_;
  std::array<double, kRingSize> historyI_{};
  std::array<double, kRingSize> historyQ_{};
  uint32_t historyIndex_ = 0;
  std::array<double, kRingSize> sub_{};
  uint32_t subIndex_ = 0;
  const int* isSquelch_ = nullptr;
  double phasor_ = 0.0;   // BPSK: the smoothed cosine of the doubled phase
  double growth_ = 0.0;   // QPSK: the smoothed growth of the best path
  uint64_t present_ = 0;  // one bit a decision, newest in bit 0: a signal
  uint64_t steady_ = 0;   // the same for the phase test alone
  struct Pending {
    uint8_t c = 0;  // 0: free
    int wait = 0;   // decisions still to come
  };
  std::array<Pending, 4> pending_{};   // BPSK characters waiting for the decisions after them
  int charBits_ = 0, charAbsent_ = 0;  // bits of the character in the register; those without a signal
  double overPower_ = 0.0;             // the pair's power over the signal
};

}  // namespace vestrel
