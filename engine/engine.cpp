#include "engine/engine.h"

namespace vestrel {

TEngine::TEngine(EngineWindow& window, RxTextSink& rxSink) : window(window), rxSink(rxSink) {
  modes.SetReceiver(RxFamily::kStartStop, &rtty);
  modes.SetTransmitter(TxFamily::kStartStop, &txPump.CharacterSource());
  modes.SetTransmitter(TxFamily::kPsk, &txPump.CharacterSource());
  modes.SetTransmitter(TxFamily::kAmtorFec, &amtorFecTx);
  modes.SetReceiver(RxFamily::kMfsk, &mfsk);
  modes.SetTransmitter(TxFamily::kMfsk, &mfskPump);
  modes.SetReceiver(RxFamily::kPacket, &ax25);
  modes.SetTransmitter(TxFamily::kPacket, &packetTx);
}

void TEngine::Start() {
  mfsk.SetMode(false);
  mfskTx.SetMode(false);
  rtty.Start();
  ax25.Start();
}

}  // namespace vestrel
