#include "support/packet_transmission.h"

#include <cmath>

#include "engine/frequency_unit.h"
#include "support/ax25_frames.h"

namespace vestrel::test {

PacketTransmission::PacketTransmission(const PacketTxOptions& o) {
  params.TxTone[0] = HzToUnits(o.lowerHz + o.offsetHz, o.outRate);
  params.TxTone[1] = HzToUnits(o.upperHz + o.offsetHz, o.outRate);
  params.TxSamplesPerBitMilli = static_cast<int32_t>(std::floor(o.outRate * 1000.0 / o.baud + 0.5));
  params.Baud = o.baud;
  params.Reverse = o.reverse ? 1 : 0;
  channel.PacketTxDelay = o.txDelay;
  channel.PacketTxTail = o.txTail;
  channel.UpdatePacketTiming(o.baud);
}

void PacketTransmission::Queue(const std::vector<uint8_t>& frame) {
  fifo.PutFrame(ItemsOf(frame));
}

std::vector<int16_t> PacketTransmission::Transmit(std::vector<uint32_t>* symbolLengths, std::string* text) {
  std::vector<int16_t> out;
  std::vector<int16_t> scratch(pump.MaxSymbolSamples());
  std::string echo;
  tx.TxState = 1;
  tx.TxEnding = 0;
  int32_t endMark = 0;
  while (pump.WantsBuffer() && endMark == 0) {
    const uint32_t n = pump.NextSymbol(scratch.data(), echo, endMark);
    out.insert(out.end(), scratch.begin(), scratch.begin() + n);
    if (symbolLengths) symbolLengths->push_back(n);
  }
  tx.TxState = 0;
  tx.TxEnding = 0;
  if (text) *text = echo;
  return out;
}

}  // namespace vestrel::test
