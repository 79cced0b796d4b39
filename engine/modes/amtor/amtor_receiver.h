#pragma once
#include <cstdint>

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

  TFskSubSampler front_;
  const TModemParams& params_;
  EngineWindow& window_;
  TBaudotDecoder& baudot_;
  RxTextSink& sink_;
  bool enabled_ = false;
  bool squelchOpen_ = true;  // written once per block by ProcessBlock
};

}  // namespace vestrel
