#include "engine/engine.h"

namespace vestrel {

TEngine::TEngine(EngineWindow& window, RxTextSink& rxSink) : window(window), rxSink(rxSink) {
  modes.SetReceiver(RxFamily::kStartStop, &rtty);
  modes.SetTransmitter(TxFamily::kStartStop, &txPump.CharacterSource());
  modes.SetReceiver(RxFamily::kPsk, &psk);
  modes.SetTransmitter(TxFamily::kPsk, &pskTx);
  synth.SetPskShaper(&pskShaper);
  modes.SetTransmitter(TxFamily::kAmtorFec, &amtorFecTx);
  modes.SetReceiver(RxFamily::kPacket, &ax25);
  modes.SetTransmitter(TxFamily::kPacket, &packetTx);
}

void TEngine::Start() {
  rtty.Start();
  psk.Start();
  ax25.Start();
}

}  // namespace vestrel
