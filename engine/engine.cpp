#include "engine/engine.h"

namespace vestrel {

TEngine::TEngine(EngineWindow& window, RxTextSink& rxSink) : window(window), rxSink(rxSink) {
  modes.SetReceiver(RxFamily::kStartStop, &rtty);
  modes.SetTransmitter(TxFamily::kStartStop, &txPump.CharacterSource());
  modes.SetTransmitter(TxFamily::kPsk, &txPump.CharacterSource());
  modes.SetTransmitter(TxFamily::kAmtorFec, &amtorFecTx);
}

void TEngine::Start() { rtty.Start(); }

}  // namespace vestrel
