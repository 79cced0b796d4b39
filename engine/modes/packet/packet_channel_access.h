#pragma once
#include <cstdint>
#include <random>

#include "engine/afc_tuner.h"
#include "engine/engine_window.h"
#include "engine/modem_params.h"
#include "engine/modes/packet/ax25_decoder.h"
#include "engine/modes/packet/buf_fifo.h"
#include "engine/modes/packet/packet_channel.h"
#include "engine/tx_audio_pump.h"
#include "engine/tx_state.h"

namespace vestrel {

// The random draw of p-persistence: a number 0..2^31-1 per draw.
class PacketRandom {
 public:
  virtual int32_t Draw() = 0;

 protected:
  ~PacketRandom() = default;
};

// Packet channel access by p-persistence: on every tick of the slot timer, when a frame waits
// in a packet mode and nothing is being sent, the transmitter keys up at once in full duplex;
// otherwise only while no carrier is detected and then with probability (p + 1) / 255 (a draw
// r keys up when p >= r mod 255). Keying up is the transmit switch of the packet modes: the TX
// button down, the Mode menu off, the transmit tones after the receive tones, the sound input
// closed (unless both devices stay open), the output opened, PTT on, and a start of
// transmission for the packet transmitter, which the posted WM_WAVEOUT_DONE sets going. The
// links of the transmit pump (sound, PTT, text control) are used as they stand at the tick.
// GUI thread only.
class TPacketChannelAccess {
 public:
  TPacketChannelAccess(const TModemParams& params, TTxState& tx, const BufFifo& fifo,
                       const TPacketChannel& channel, const TAx25Decoder& receiver, const TTxAudioPump& pump,
                       EngineWindow& window);

  // The draw to use; null: the access's own generator, seeded at random (stations that share a
  // channel must not draw alike).
  void SetRandom(PacketRandom* random) { random_ = random; }
  // Where the transmit tones are set after the receive tones; null: they stay.
  void SetAfc(AfcTuner* afc) { afc_ = afc; }

  // The slot timer's tick ("Ax25SlotTimer"). True when it keyed up.
  bool Ax25SlotTimerTimer();

 private:
  int32_t Draw();
  void KeyUp();

  const TModemParams& params_;
  TTxState& tx_;
  const BufFifo& fifo_;
  const TPacketChannel& channel_;
  const TAx25Decoder& receiver_;
  const TTxAudioPump& pump_;
  EngineWindow& window_;
  PacketRandom* random_ = nullptr;
  AfcTuner* afc_ = nullptr;
  std::mt19937 own_{std::random_device{}()};
};

}  // namespace vestrel
