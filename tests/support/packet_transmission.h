#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/modem_params.h"
#include "engine/modes/packet/buf_fifo.h"
#include "engine/modes/packet/packet_channel.h"
#include "engine/modes/packet/packet_tx_pump.h"
#include "engine/sine_table.h"
#include "engine/tx_state.h"

namespace vestrel::test {

// How a test station sends: speed, tones (lower for NRZI state 0), and the card rate it
// synthesises for. A rate of 11025 (1 - e) played at 11025 is a sender whose clock runs fast by e
// (higher tones, shorter bits); offsetHz moves both tones.
struct PacketTxOptions {
  int baud = 1200;
  double lowerHz = 1200.0;
  double upperHz = 2200.0;
  double offsetHz = 0.0;
  double outRate = 11025.0;
  bool reverse = false;
  int txDelay = 500;  // ms
  int txTail = 100;   // ms
};

// The packet transmitter alone with its queue, channel and transmit state.
class PacketTransmission {
 public:
  explicit PacketTransmission(const PacketTxOptions& options);

  // Queues a frame (without check bytes) as the exchange parser does.
  void Queue(const std::vector<uint8_t>& frame);
  // Keys up and runs the transmitter to its end mark; the samples of the whole transmission.
  // symbolLengths receives each symbol's sample count, text what the pump echoes.
  std::vector<int16_t> Transmit(std::vector<uint32_t>* symbolLengths = nullptr, std::string* text = nullptr);

  SineTable sine;
  TModemParams params;
  TTxState tx;
  BufFifo fifo;
  TPacketChannel channel;
  TPacketTxPump pump{sine, params, tx, fifo, channel};
};

}  // namespace vestrel::test
