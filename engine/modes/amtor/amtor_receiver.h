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

// What the AMTOR FEC decoder and the ARQ monitor share: the front end (the discriminator taken
// 22 times a bit), the set-up of speed and tones, and the roads out (the AMTOR symbols through
// the Baudot decoder, "_" straight to the sink, the DCD panel). Each receiver adds its ring and
// its per-sub-sample work, and runs its block loop itself.
class TAmtorReceiver : public ModeReceiver {
 public:
  static constexpr int kSubSamples = 22;  // ring values per bit
  static constexpr int kDcdPanel = 9;
  static constexpr uint32_t kRingSize = 2048;  // 93 bits
  static constexpr uint32_t kRingMask = kRingSize - 1;
  using Ring = std::array<float, kRingSize>;

  // levels and levelIndex: the tuning displays' ring and its write index
  // (TModemParams::LevelRingIndex); null for none.
  TAmtorReceiver(const SineTable& sine, const TModemParams& params, EngineWindow& window, TBaudotDecoder& baudot,
                 RxTextSink& sink, LevelRing* levels, int32_t* levelIndex);

  // 100 Bd, tones 2115 and 2285 Hz, then enabled.
  void Start();
  // baud: 1..5000 (refused otherwise). Resets the receiver and shows " " in panel 9.
  bool SetBaud(double baud);
  void SetEnabled(bool on) { enabled_ = on; }

  // ModeReceiver
  bool SelectMode(const ModeRow&) override { return true; }
  bool SetTones(int32_t lower, int32_t upper) override;
  bool SetSpeed(double baud, int) override { return SetBaud(baud); }

  bool Enabled() const { return enabled_; }
  const TFskSubSampler& Front() const { return front_; }

 protected:
  ~TAmtorReceiver() = default;

  // The squelch decision of a block; false while disabled (the block is skipped).
  bool BeginBlock(bool squelchOpen) {
    squelchOpen_ = squelchOpen;
    return enabled_;
  }
  // A sub-sample into the ring; true while searching (state 0), false while locked.
  bool Store(float v) {
    ringIndex_ = (ringIndex_ + 1) & kRingMask;
    ring_[ringIndex_] = v;
    return state_ == 0;
  }
  // The ring and the state back to empty and searching.
  void ClearRing() {
    ring_.fill(0.0f);
    ringIndex_ = 0;
    state_ = 0;
  }
  float R(uint32_t p) const { return ring_[p & kRingMask]; }

  // The sub-samples of a block on the core's current path, each as the ring takes it (negated
  // with Reverse, 0 while the squelch is closed), to onSub(float).
  template <int Path, class OnSub>
  void SubSamplesOn(std::span<const float> block, OnSub&& onSub) {
    const bool reverse = params_.Reverse != 0;
    const bool open = squelchOpen_;
    front_.RunOn<Path>(block, [&](double d) { onSub(open ? static_cast<float>(reverse ? -d : d) : 0.0f); });
  }

  TFskSubSampler front_;
  const TModemParams& params_;
  EngineWindow& window_;
  TBaudotDecoder& baudot_;
  RxTextSink& sink_;
  bool enabled_ = false;
  bool squelchOpen_ = true;  // written once per block by ProcessBlock
  int state_ = 0;            // 0 searching, 1 on the phase
  Ring ring_{};              // sub-samples, > 0 a 1 bit
  uint32_t ringIndex_ = 0;
};

}  // namespace vestrel
