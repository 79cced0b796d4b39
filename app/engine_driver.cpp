#include "app/engine_driver.h"

#include "engine/engine.h"
#include "platform/alsa_wave.h"

namespace vestrel {

namespace {
WaveBackend& BackendOrAlsa(WaveBackend* given, std::unique_ptr<WaveBackend>& own) {
  if (given != nullptr) return *given;
  own = std::make_unique<AlsaWaveBackend>();
  return *own;
}
}  // namespace

TEngineDriver::TEngineDriver(TEngine& engine, MessageBoxSink& boxes, TerminationRequest& termination,
                             WaveBackend* backend)
    : engine_(engine), sound_(engine, BackendOrAlsa(backend, ownBackend_), tx_, chain_, boxes, termination) {}

TEngineDriver::~TEngineDriver() {
  // The device threads are joined before the buffers and the chain they feed go.
  engine_.EngineClosing = true;
  sound_.CloseSoundInput();
  sound_.CloseSoundOutput();
}

void TEngineDriver::InitInputConverter(double cardRate) {
  engine_.SamplingFreq = cardRate;
  chain_.SetInputRate(cardRate);
}

void TEngineDriver::ApplySpeedShiftMode() {
  ModeSwitch& s = engine_.modeSwitch;
  const TModemParams& p = engine_.params;
  const double baud = p.Baud;
  const int shift = p.ShiftHz;
  const int mode = p.Mode;
  s.SetBaudRate(baud);
  s.SetShift(shift);
  s.SetMode(mode);
  s.SetBaudRate(baud);
  s.SetShift(shift);
}

void TEngineDriver::SetEngineClosing() { engine_.EngineClosing = true; }

}  // namespace vestrel
