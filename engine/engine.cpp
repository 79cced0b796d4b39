#include "engine/engine.h"

namespace vestrel {

TEngine::TEngine(EngineWindow& window, RxTextSink& rxSink) : window(window), rxSink(rxSink) {
  modes.SetReceiver(RxFamily::kStartStop, &rtty);
  modes.SetTransmitter(TxFamily::kStartStop, &txPump.CharacterSource());
  modes.SetTransmitter(TxFamily::kPsk, &txPump.CharacterSource());
  modes.SetTransmitter(TxFamily::kAmtorFec, &amtorFecTx);
  modes.SetReceiver(RxFamily::kPs2x5, &ps2x5);
  modes.SetTransmitter(TxFamily::kPs2x5, &ps2x5Pump);
}

void TEngine::Start() {
  rtty.Start();
  ps2x5.Start();
  ps2x5Tx.SetSpeed(25.0);
}

void TEngine::Shutdown() {
  ps2x5.EndMessage(false);
}

}  // namespace vestrel
