#include "engine/engine.h"

namespace vestrel {

TEngine::TEngine(EngineWindow& window, RxTextSink& rxSink) : window(window), rxSink(rxSink) {
  modes.SetReceiver(RxFamily::kStartStop, &rtty);
  modes.SetReceiver(RxFamily::kAmtorFec, &amtorFec);
  modes.SetReceiver(RxFamily::kAmtorArq, &amtorArq);
  modes.SetReceiver(RxFamily::kDtmf, &dtmf);
  modes.SetReceiver(RxFamily::kPactor, &pactor);
  modes.SetTransmitter(TxFamily::kStartStop, &txPump.CharacterSource());
  modes.SetReceiver(RxFamily::kPsk, &psk);
  psk.SetSquelchSwitch(&rxBlocks.IsSquelch);
  modes.SetTransmitter(TxFamily::kPsk, &pskTx);
  synth.SetPskShaper(&pskShaper);
  modes.SetTransmitter(TxFamily::kAmtorFec, &amtorFecTx);
  modes.SetReceiver(RxFamily::kMfsk, &mfsk);
  modes.SetTransmitter(TxFamily::kMfsk, &mfskPump);
  modes.SetReceiver(RxFamily::kPacket, &ax25);
  modes.SetTransmitter(TxFamily::kPacket, &packetTx);
  modes.SetReceiver(RxFamily::kPs2x5, &ps2x5);
  modes.SetTransmitter(TxFamily::kPs2x5, &ps2x5Pump);
  modes.SetReceiver(RxFamily::kPs33x5, &ps33x5);
  modes.SetTransmitter(TxFamily::kPs33x5, &ps33x5Pump);
  rxBlocks.SetAfc(&freq);
  freq.SetPskFrequencyError(&psk.FrequencyError);
  packetAccess.SetAfc(&freq);
}

void TEngine::Start() {
  dtmf.Reset();
  mfsk.SetMode(false);
  mfskTx.SetMode(false);
  rtty.Start();
  ps2x5.Start();
  ps2x5Tx.SetSpeed(25.0);
  ps33x5.Start();
  ps33x5Tx.SetSpeed(4, 1500.0, rates.OutSamplingFreq);
  psk.Start();
  amtorFec.Start();
  amtorArq.Start();
  ax25.Start();
  pactor.Start();
}

void TEngine::Shutdown() {
  ps2x5.EndMessage(false);
  ps33x5.EndMessage(false);
}

}  // namespace vestrel
