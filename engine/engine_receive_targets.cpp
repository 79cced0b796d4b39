#include "engine/engine_receive_targets.h"

#include "engine/engine.h"

namespace vestrel {

// Frequency control and AFC: not yet part of the engine.
void EngineReceiveTargets::AfcTuneFsk() {}
void EngineReceiveTargets::AfcTuneFskSeparate() {}
void EngineReceiveTargets::AfcTunePsk() {}
void EngineReceiveTargets::AfcTuneMfsk() {}
void EngineReceiveTargets::AfcTunePs33x5() {}
void EngineReceiveTargets::SyncTxFrequencyToRx() {}

void EngineReceiveTargets::StartStopDemodulate(std::span<const float> block, int squelchOpen) {
  engine_.rtty.SquelchOpen = squelchOpen;
  engine_.rtty.ProcessBlock(block);
}

// PSK receiver: not yet part of the engine.
void EngineReceiveTargets::PskBpskDemodulate(std::span<const float>, int) {}
void EngineReceiveTargets::PskQpskDemodulate(std::span<const float>, int) {}

// AMTOR FEC decoder: not yet part of the engine.
void EngineReceiveTargets::AmtorFecDemodulate(std::span<const float>, int) {}

// Packet demodulator: not yet part of the engine.
void EngineReceiveTargets::PacketDemodulate(std::span<const float>, int) {}

// DTMF decoder: not yet part of the engine.
void EngineReceiveTargets::DtmfDemodulate(std::span<const float>) {}

// MFSK receiver: not yet part of the engine.
void EngineReceiveTargets::MfskDemodulate(std::span<const float>, int) {}

// AMTOR ARQ monitor: not yet part of the engine.
void EngineReceiveTargets::AmtorArqDemodulate(std::span<const float>, int) {}

// PACTOR-I FEC receivers: not yet part of the engine.
void EngineReceiveTargets::PactorDemodulate(std::span<const float>, int) {}

// PS2X5 receiver: not yet part of the engine.
void EngineReceiveTargets::Ps2x5Demodulate(std::span<const float>, int) {}

// PS33X5 receiver: not yet part of the engine.
void EngineReceiveTargets::Ps33x5Demodulate(std::span<const double>, int) {}

}  // namespace vestrel
