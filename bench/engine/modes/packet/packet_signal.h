#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/codes/fcs16.h"
#include "engine/frequency_unit.h"
#include "engine/modes/packet/buf_fifo.h"
#include "engine/modes/packet/kiss_frame.h"
#include "engine/modes/packet/packet_channel.h"
#include "engine/modes/packet/packet_tx_pump.h"

namespace vestrel::bench {

// `frames` packet item arrays of `bytes` pseudo-random data bytes each, with flags and check
// bytes: what the exchange parser queues.
inline std::vector<std::vector<int16_t>> BenchFrames(int frames, int bytes) {
  std::vector<std::vector<int16_t>> out;
  uint32_t lcg = 0xACE1u;
  for (int f = 0; f < frames; ++f) {
    std::vector<int16_t> items = {HdlcFlagItem};
    for (int i = 0; i < bytes; ++i) {
      lcg = lcg * 1664525u + 1013904223u;
      items.push_back(static_cast<int16_t>(lcg >> 24));
    }
    items.resize(items.size() + 2);
    AppendFcs16(std::span<int16_t>(items).subspan(1), static_cast<size_t>(bytes));
    items.push_back(HdlcFlagItem);
    out.push_back(std::move(items));
  }
  return out;
}

// The packet transmitter alone, set for a speed and tone pair at 11025 samples/s.
struct PacketStation {
  PacketStation(int baud, double lowerHz, double upperHz) {
    params.TxTone[0] = HzToUnits(lowerHz);
    params.TxTone[1] = HzToUnits(upperHz);
    params.TxSamplesPerBitMilli = static_cast<int32_t>(std::floor(11025000.0 / baud + 0.5));
    channel.UpdatePacketTiming(baud);
  }

  // Queues `frames` frames of `bytes` data bytes each (BenchFrames).
  void Queue(int frames, int bytes) {
    for (const std::vector<int16_t>& f : BenchFrames(frames, bytes)) fifo.PutFrame(f);
  }

  // One whole transmission of what is queued, through the transmitter's block call.
  std::vector<int16_t> Transmit() {
    std::vector<int16_t> out(1 << 16);
    size_t n = 0;
    std::string text;
    int32_t endMark = 0;
    tx.TxState = 1;
    tx.TxEnding = 0;
    while (endMark == 0) {
      if (out.size() - n < 2 * pump.MaxSymbolSamples()) out.resize(2 * out.size());
      n += pump.Synthesize(std::span<int16_t>(out).subspan(n), text, endMark);
    }
    out.resize(n);
    tx.TxState = tx.TxEnding = 0;
    return out;
  }

  SineTable sine;
  TModemParams params;
  TTxState tx;
  BufFifo fifo;
  TPacketChannel channel;
  TPacketTxPump pump{sine, params, tx, fifo, channel};
};

}  // namespace vestrel::bench
