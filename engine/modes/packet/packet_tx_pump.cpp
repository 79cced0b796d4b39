#include "engine/modes/packet/packet_tx_pump.h"

#include <algorithm>

#include "engine/modes/packet/kiss_frame.h"
#include "engine/tx_symbol_queue.h"

namespace vestrel {

TPacketTxPump::TPacketTxPump(const SineTable& sine, const TModemParams& params, TTxState& tx, BufFifo& fifo,
                             TPacketChannel& channel)
    : sine_(sine), params_(params), tx_(tx), fifo_(fifo), channel_(channel) {}

void TPacketTxPump::Reset() {
  NrziState = 0;
  Phase = 0;
  BitAcc = 0;
  Ones = 0;
  pendingPos_ = pendingCount_ = 0;
}

bool TPacketTxPump::SelectMode(const ModeRow&) {
  channel_.SetSlotTimerOn(true);
  return true;
}

void TPacketTxPump::LeaveMode() {
  channel_.SetSlotTimerOn(false);
}

bool TPacketTxPump::SetSpeed(double baud) {
  if (!(baud > 0.0)) return false;
  channel_.UpdatePacketTiming(baud);
  return true;
}

bool TPacketTxPump::WantsBuffer() const {
  return tx_.TxState != 0 && tx_.TxEnding < 2;
}

bool TPacketTxPump::QueueIdle() const {
  return !fifo_.HasData();
}

uint32_t TPacketTxPump::MaxSymbolSamples() const {
  const int64_t s = std::max<int64_t>(params_.TxSamplesPerBitMilli, 0);
  return static_cast<uint32_t>(std::max<int64_t>({10 * (s / 1000 + 1), kRampLength, kSilenceBlock}));
}

// Appends to the pending program; the program never grows past its list (see
// kPendingCapacity), and an item that would is dropped rather than written beyond it.
bool TPacketTxPump::Queue(int16_t item, int32_t times) {
  if (pendingPos_ == pendingCount_) pendingPos_ = pendingCount_ = 0;
  for (int32_t i = 0; i < times; ++i) {
    if (pendingCount_ == kPendingCapacity) return false;
    pending_[pendingCount_++] = item;
  }
  return true;
}

int32_t TPacketTxPump::ToneStep() const {
  const bool upper = (NrziState != 0) != (params_.Reverse == 1);
  return params_.TxTone[upper ? 1 : 0];
}

uint32_t TPacketTxPump::Bit(int16_t* out, int bit) {
  if (bit == 0) NrziState = 1 - NrziState;
  const int64_t s = params_.TxSamplesPerBitMilli;
  const uint32_t step = static_cast<uint32_t>(ToneStep());
  const int16_t* table = sine_.data();
  uint32_t p = Phase;
  uint32_t n = 0;
  int64_t acc = BitAcc;
  while (acc < s) {
    p = (p + step) & SineTable::kMask;
    out[n++] = table[p];
    acc += 1000;
  }
  BitAcc = acc - s;
  Phase = p;
  return n;
}

uint32_t TPacketTxPump::Flag(int16_t* out) {
  static constexpr int kFlagBits[8] = {0, 1, 1, 1, 1, 1, 1, 0};
  uint32_t n = 0;
  for (int b : kFlagBits) n += Bit(out + n, b);
  Ones = 0;
  return n;
}

uint32_t TPacketTxPump::Byte(int16_t* out, uint8_t byte) {
  uint32_t n = 0;
  for (int i = 0; i < 8; ++i) {
    const int b = (byte >> i) & 1;
    n += Bit(out + n, b);
    if (b == 0) {
      Ones = 0;
    } else if (++Ones == 5) {
      n += Bit(out + n, 0);
      Ones = 0;
    }
  }
  return n;
}

uint32_t TPacketTxPump::Silence(int16_t* out) {
  std::fill(out, out + kSilenceBlock, int16_t{0});
  Phase = 0;
  return kSilenceBlock;
}

// A quarter sine up from 0 to full amplitude, or a quarter cosine down, over 128 samples of
// the current tone, with the synthesisers' integer arithmetic.
uint32_t TPacketTxPump::Ramp(int16_t* out, bool up) {
  const uint32_t step = static_cast<uint32_t>(ToneStep());
  uint32_t p = Phase;
  for (uint32_t j = 0; j < kRampLength; ++j) {
    p = (p + step) & SineTable::kMask;
    const int32_t envelope = up ? sine_.Sin(64 * j) : sine_.Cos(64 * j);
    out[j] = static_cast<int16_t>(int32_t{sine_.Sin(p)} * envelope / SineTable::kAmplitude);
  }
  Phase = p;
  return kRampLength;
}

uint32_t TPacketTxPump::Start(int16_t* out) {
  Reset();
  Queue(kItemSilence, std::max(channel_.PacketLeadSilenceBlocks - 1, 0));
  Queue(kItemCarrierStart);
  tx_.TxState = 3;
  return Silence(out);
}

int16_t TPacketTxPump::NextItem() {
  if (pendingPos_ < pendingCount_) return pending_[pendingPos_++];
  for (int item; (item = fifo_.TakeSymbol()) != -1;) {
    // Data bytes and flags; anything else a producer may have put is no frame item.
    if ((item >= 0 && item <= 255) || item == HdlcFlagItem) return static_cast<int16_t>(item);
  }
  // Nothing left: the tail. One flag now, the rest and the end from the program.
  tx_.TxEnding = 1;
  Queue(HdlcFlagItem, channel_.PacketTailFlags);
  Queue(kItemEnd);
  return HdlcFlagItem;
}

uint32_t TPacketTxPump::NextSymbol(int16_t* out, std::string& text, int32_t& endMark) {
  if (tx_.TxState == 1) return Start(out);
  const int16_t item = NextItem();
  switch (item) {
    case HdlcFlagItem:
      return Flag(out);
    case kItemSilence:
      return Silence(out);
    case kItemCarrierStart: {
      NrziState = 1;
      const uint32_t n = Ramp(out, true);
      Queue(0x00, channel_.PacketSyncBytes);
      Queue(HdlcFlagItem, channel_.PacketLeadFlags);
      return n;
    }
    case kItemEnd:
      tx_.TxEnding = 3;
      endMark = kTxEnd;
      return Ramp(out, false);
    default:
      break;
  }
  if (item > 0) text.push_back(static_cast<char>(item));
  return Byte(out, static_cast<uint8_t>(item));
}

size_t TPacketTxPump::Synthesize(std::span<int16_t> out, std::string& text, int32_t& endMark) {
  const size_t room = MaxSymbolSamples();
  size_t n = 0;
  while (tx_.TxState != 0 && tx_.TxEnding < 3 && out.size() - n >= room) {
    n += NextSymbol(out.data() + n, text, endMark);
  }
  return n;
}

}  // namespace vestrel
