#include "engine/modes/packet/packet_channel_access.h"

#include "engine/messages.h"
#include "engine/mode_number.h"

namespace vestrel {

TPacketChannelAccess::TPacketChannelAccess(const TModemParams& params, TTxState& tx, const BufFifo& fifo,
                                           const TPacketChannel& channel, const TAx25Decoder& receiver,
                                           const TTxAudioPump& pump, EngineWindow& window)
    : params_(params),
      tx_(tx),
      fifo_(fifo),
      channel_(channel),
      receiver_(receiver),
      pump_(pump),
      window_(window) {}

int32_t TPacketChannelAccess::Draw() {
  if (random_) return random_->Draw();
  return static_cast<int32_t>(own_() >> 1);
}

bool TPacketChannelAccess::Ax25SlotTimerTimer() {
  if (params_.Mode != kModeAx25Hf && params_.Mode != kModeAx25Uhf) return false;
  if (tx_.TxState != 0 || !fifo_.HasData()) return false;
  if (channel_.PacketFullDuplex.load(std::memory_order_relaxed) == 0) {
    if (receiver_.Dcd()) return false;
    // A negative draw from an outside generator counts as its non-negative residue.
    const int32_t r = ((Draw() % 255) + 255) % 255;
    if (channel_.PacketPersistence.load(std::memory_order_relaxed) < r) return false;
  }
  KeyUp();
  return true;
}

void TPacketChannelAccess::KeyUp() {
  const TxPumpLinks& links = pump_.Links();
  if (links.text) links.text->SetTxButton(true);
  window_.SetMenuEnabled("Mode", false);
  if (afc_) afc_->SyncTxFrequencyToRx();
  if (links.sound) {
    tx_.SoundDevicesBusy = true;
    if (!tx_.UseDuplex) links.sound->CloseSoundInput();
    if (!links.sound->OutputOpen()) links.sound->OpenSoundOutput();
    tx_.SoundDevicesBusy = false;
  }
  if (links.ptt) links.ptt->SetPtt(true);
  tx_.TxState |= 1;
  tx_.TxEnding = 0;
  tx_.TxActive = true;
  window_.Post(WM_WAVEOUT_DONE);
}

}  // namespace vestrel
