// The inward KISS parser on any bytes: every data frame it hands on is a flag, bytes 0..255
// with a check sequence that holds, and a flag, within the parser's capacity; written out again
// as KISS and parsed, it comes back the same; every command leaves the channel parameters in
// their ranges and the transmit program within its list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/codes/fcs16.h"
#include "engine/modes/packet/kiss_frame.h"
#include "engine/modes/packet/packet_channel.h"
#include "engine/modes/packet/packet_tx_pump.h"

namespace {

using namespace vestrel;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckData(std::span<const int16_t> items) {
  Check(items.size() >= 4 && items.size() <= TKissDeframer::kCapacity);
  Check(items.front() == HdlcFlagItem && items.back() == HdlcFlagItem);
  std::vector<uint8_t> bytes;
  for (size_t i = 1; i + 1 < items.size(); ++i) {
    Check(items[i] >= 0 && items[i] <= 255);
    bytes.push_back(static_cast<uint8_t>(items[i]));
  }
  Check(CheckFcs16(bytes));

  // Out again as KISS (without the check bytes) and back in.
  bytes.resize(bytes.size() - 2);
  std::vector<uint8_t> kiss(KissEncodedCapacity(bytes.size()));
  kiss.resize(EncodeKissFrame(bytes, kiss));
  Check(!kiss.empty());
  TKissDeframer again;
  int frames = 0;
  for (uint8_t b : kiss) {
    const TKissDeframer::Event e = again.PutByte(b);
    if (e.kind == TKissDeframer::Kind::kData) {
      ++frames;
      Check(std::equal(e.items.begin(), e.items.end(), items.begin(), items.end()));
    }
  }
  Check(frames == 1);
}

void CheckCommand(TPacketChannel& channel, int command, uint8_t value) {
  Check(command >= 0 && command <= 15);
  channel.ApplyKissCommand(command, value);
  for (int ms : {channel.PacketTxDelay.load(), channel.PacketSlotTime.load(), channel.PacketTxTail.load()})
    Check(ms >= 0 && ms <= TPacketChannel::kMaxMs);
  Check(channel.PacketPersistence.load() >= 0 && channel.PacketPersistence.load() <= 255);
  for (double baud : {300.0, 1200.0}) {
    channel.UpdatePacketTiming(baud);
    const auto fits = [](int32_t n) { return n >= 0 && static_cast<uint32_t>(n) < TPacketTxPump::kPendingCapacity; };
    Check(fits(channel.PacketLeadSilenceBlocks) && fits(channel.PacketSyncBytes + channel.PacketLeadFlags) &&
          fits(channel.PacketTailFlags + 1));
    Check(channel.SlotTimerInterval >= 30);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKissDeframer parser;
  TPacketChannel channel;
  for (size_t i = 0; i < size; ++i) {
    const TKissDeframer::Event e = parser.PutByte(data[i]);
    Check(parser.Length() >= 0 && parser.Length() <= TKissDeframer::kMaxItems);
    if (e.kind == TKissDeframer::Kind::kData) CheckData(e.items);
    if (e.kind == TKissDeframer::Kind::kCommand) CheckCommand(channel, e.command, e.value);
  }
  return 0;
}
