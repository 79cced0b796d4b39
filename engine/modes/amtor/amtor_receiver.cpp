#include "engine/modes/amtor/amtor_receiver.h"

#include "engine/frequency_unit.h"

namespace vestrel {

TAmtorReceiver::TAmtorReceiver(const SineTable& sine, const TModemParams& params, EngineWindow& window,
                               TBaudotDecoder& baudot, RxTextSink& sink, LevelRing* levels, int32_t* levelIndex)
    : front_(sine, kSubSamples), params_(params), window_(window), baudot_(baudot), sink_(sink) {
  front_.SetLevels(levels, levelIndex);
}

void TAmtorReceiver::Start() {
  enabled_ = false;
  SetBaud(100);
  SetTones(HzToUnits(2115.0), HzToUnits(2285.0));
  enabled_ = true;
}

bool TAmtorReceiver::SetBaud(double baud) {
  if (!front_.SetBaud(baud)) return false;
  Reset();
  window_.SetPanelText(kDcdPanel, " ");
  return true;
}

bool TAmtorReceiver::SetTones(int32_t lower, int32_t upper) {
  front_.SetTones(lower, upper);
  return true;
}

}  // namespace vestrel
