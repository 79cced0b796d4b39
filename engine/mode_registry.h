#pragma once
#include <array>
#include <cstdint>

#include "engine/mode_receiver.h"
#include "engine/mode_table.h"
#include "engine/tx_symbol_source.h"

namespace vestrel {

// Which object runs each receiver and transmitter family. TEngine fills it once in its
// constructor; the block processor, the mode switch and the transmit pump look the current
// row's objects up here. A family without an object (a mode not built yet) is skipped.
class ModeRegistry {
 public:
  void SetReceiver(RxFamily family, ModeReceiver* receiver) { rx_[Index(family)] = receiver; }
  void SetTransmitter(TxFamily family, TxSymbolSource* source) { tx_[Index(family)] = source; }

  ModeReceiver* Receiver(RxFamily family) const { return rx_[Index(family)]; }
  TxSymbolSource* Transmitter(TxFamily family) const { return tx_[Index(family)]; }

  // Retunes the FSK family, which follows every move of the receive pair: the start-stop
  // decoder, PS2X5, both AMTOR decoders, packet and both PACTOR receivers.
  void SetFskFamilyTones(int32_t lower, int32_t upper) const {
    for (RxFamily f : {RxFamily::kStartStop, RxFamily::kPs2x5, RxFamily::kAmtorFec, RxFamily::kAmtorArq,
                       RxFamily::kPacket, RxFamily::kPactor})
      if (ModeReceiver* r = Receiver(f)) r->SetTones(lower, upper);
  }

 private:
  template <class E>
  static size_t Index(E e) {
    return static_cast<size_t>(e);
  }
  std::array<ModeReceiver*, static_cast<size_t>(RxFamily::kCount)> rx_{};
  std::array<TxSymbolSource*, static_cast<size_t>(TxFamily::kCount)> tx_{};
};

}  // namespace vestrel
