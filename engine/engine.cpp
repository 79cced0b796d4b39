#include "engine/engine.h"

namespace vestrel {

TEngine::TEngine(EngineWindow& window, RxTextSink& rxSink) : window(window), rxSink(rxSink) {
  modes.SetReceiver(RxFamily::kStartStop, &rtty);
  modes.SetReceiver(RxFamily::kAmtorFec, &amtorFec);
  modes.SetReceiver(RxFamily::kAmtorArq, &amtorArq);
  modes.SetReceiver(RxFamily::kDtmf, &dtmf);
  modes.SetReceiver(RxFamily::kPactor, &pactor);
  modes.SetTransmitter(TxFamily::kStartStop, &txPump.CharacterSource());
  modes.SetTransmitter(TxFamily::kPsk, &txPump.CharacterSource());
  modes.SetTransmitter(TxFamily::kAmtorFec, &amtorFecTx);
  modes.SetReceiver(RxFamily::kMfsk, &mfsk);
  modes.SetTransmitter(TxFamily::kMfsk, &mfskPump);
  modes.SetReceiver(RxFamily::kPacket, &ax25);
  modes.SetTransmitter(TxFamily::kPacket, &packetTx);
}

void TEngine::Start() {
  dtmf.Reset();
  mfsk.SetMode(false);
  mfskTx.SetMode(false);
  rtty.Start();
  amtorFec.Start();
  amtorArq.Start();
  ax25.Start();
  pactor.Start();
}

}  // namespace vestrel
