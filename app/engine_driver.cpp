#include "app/engine_driver.h"

#include "engine/engine.h"
#include "engine/frequency_unit.h"
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
                             WaveBackend* backend, TxPumpLinks links, CaptureAudioLink* files)
    : engine_(engine),
      feed_(engine.rxBlocks),
      sound_(engine.window, engine.tx, BackendOrAlsa(backend, ownBackend_), engine.txBuffers, feed_, boxes,
             termination, files) {
  InitInputConverter(engine.rates.SamplingFreq);
  links.sound = &sound_;
  engine_.txPump.Connect(links);
  QObject::connect(&slotTimer_, &QTimer::timeout, [this] { engine_.packetAccess.Ax25SlotTimerTimer(); });
  engine_.packetChannel.ConnectSlotTimer(this);
}

TEngineDriver::~TEngineDriver() {
  StopSlotTimer();
  // The device threads are joined before the engine objects they feed go.
  SetEngineClosing();
  sound_.CloseSoundInput();
  sound_.CloseSoundOutput();
  TxPumpLinks none;
  engine_.txPump.Connect(none);
}

void TEngineDriver::InitInputConverter(double cardRate) {
  // A rate the converter refuses keeps the nominal one.
  if (engine_.rxBlocks.InputResampler.Setup(cardRate, kRxRate)) {
    engine_.rates.SamplingFreq = cardRate;
  } else {
    engine_.rxBlocks.InputResampler.Setup(kRxRate, kRxRate);
    engine_.rates.SamplingFreq = kRxRate;
  }
}

// The PSK shaper starts at 31.25 Bd, until a mode switch sets the mode's rate.
void TEngineDriver::PrepareConverters() {
  engine_.pskShaper.SetPskRate(31);
}

void TEngineDriver::ClearLevelRing() {
  engine_.levels.Levels.fill(0.0);
  engine_.levels.LevelRingFresh = 0;
}

void TEngineDriver::StartObjects() {
  engine_.Start();
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

void TEngineDriver::ProcessSoundInput() {
  sound_.ProcessSoundInput();
}

void TEngineDriver::PumpTxAudio() {
  engine_.txPump.PumpTxAudio();
}

bool TEngineDriver::DecodingFileInRealTime() const {
  return engine_.rxBlocks.FeedMode == 1;
}

bool TEngineDriver::LevelsFlagged() const {
  return engine_.levels.LevelRingFresh != 0;
}

void TEngineDriver::ClearLevelsFlag() {
  engine_.levels.LevelRingFresh = 0;
}

uint32_t TEngineDriver::PlaybackBuffersQueued() const {
  return engine_.txBuffers.InFlight.load();
}

bool TEngineDriver::PacketTimingChanged() const {
  return engine_.packetChannel.PacketTimingChanged.load(std::memory_order_relaxed) != 0;
}

void TEngineDriver::RecomputePacketTiming() {
  engine_.packetChannel.UpdatePacketTiming(engine_.params.Baud);
}

// Once stopped (the shutdown), the timer stays off whatever the mode.
void TEngineDriver::StopSlotTimer() {
  engine_.packetChannel.ConnectSlotTimer(nullptr);
  slotTimer_.stop();
}

void TEngineDriver::SetSlotTimer(bool on, int32_t intervalMs) {
  slotTimer_.setInterval(intervalMs);
  if (!on) {
    slotTimer_.stop();
  } else if (!slotTimer_.isActive()) {
    slotTimer_.start();
  }
}

void TEngineDriver::SetEngineClosing() {
  engine_.tx.EngineClosing = true;
}

void TEngineDriver::ForceFiguresCase() {
  engine_.baudot.BaudotShift = kBaudotFiguresOffset;
  engine_.baudot.BaudotThird = 0;
}

void TEngineDriver::ForceLettersCase() {
  engine_.baudot.BaudotShift = 0;
}

void TEngineDriver::ShiftRxFrequency(int units) {
  engine_.freq.ShiftRxFrequency(units);
}

void TEngineDriver::ShiftTxFrequency(int units) {
  engine_.freq.ShiftTxFrequency(units);
}

// Out-of-band, negative, huge and NaN frequencies are clamped to the band like any position.
void TEngineDriver::SetRxFrequency(double hz) {
  engine_.freq.SetRxFrequency(hz);
}

void TEngineDriver::SetTxFrequency(double hz) {
  engine_.freq.SetTxFrequency(hz);
}

void TEngineDriver::SyncTxFrequencyToRx() {
  engine_.freq.SyncTxFrequencyToRx();
}

void TEngineDriver::SetAfc(bool on) {
  engine_.rxBlocks.AfcOn = on ? 1 : 0;
}

// The pass the block processor runs in this mode: the pair search or the tone-by-tone pass of
// the two-tone modes (by speed and shift), PS33X5's own, and in PSK and MFSK theirs rather
// than a two-tone search that would pull a single carrier off.
void TEngineDriver::AfcPassNow() {
  engine_.freq.RunModePass();
}

void TEngineDriver::SetTxAfc(bool on) {
  engine_.freq.TxAfc = on ? 1 : 0;
}

void TEngineDriver::SetSquelch(bool on) {
  engine_.rxBlocks.IsSquelch = on ? 1 : 0;
}

void TEngineDriver::SetSquelchPosition(int position) {
  engine_.rxBlocks.SetSquelchPosition(position);
}

}  // namespace vestrel
