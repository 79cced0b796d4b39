#include "engine/modes/packet/packet_channel.h"

#include <algorithm>
#include <cmath>

namespace vestrel {

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;

double ClampMs(int32_t ms) {
  return std::clamp(ms, 0, TPacketChannel::kMaxMs);
}
}  // namespace

bool TPacketChannel::ApplyKissCommand(int command, uint8_t value) {
  switch (command) {
    case 1:
      PacketTxDelay.store(value * 10, kRelaxed);
      PacketTimingChanged.store(1, kRelaxed);
      return true;
    case 2:
      PacketPersistence.store(value, kRelaxed);
      return true;
    case 3:
      PacketSlotTime.store(value * 10, kRelaxed);
      PacketTimingChanged.store(1, kRelaxed);
      return true;
    case 4:
      PacketTxTail.store(value * 10, kRelaxed);
      PacketTimingChanged.store(1, kRelaxed);
      return true;
    case 5:
      PacketFullDuplex.store(value != 0 ? 1 : 0, kRelaxed);
      return true;
    default:
      return false;
  }
}

void TPacketChannel::UpdatePacketTiming(double baud) {
  if (!(baud >= 1.5625)) baud = 1.5625;  // NaN too
  baud = std::min(baud, 1200.0);
  const double c = 8000.0 / baud;  // one byte, ms
  const double txDelay = ClampMs(PacketTxDelay.load(kRelaxed));
  const double txTail = ClampMs(PacketTxTail.load(kRelaxed));

  // The delay is filled by the first silence block and the ramp-up (some 20 ms), a run of sync
  // bytes and as many flags (each run three eighths of the rest), and silence blocks of 10 ms
  // for what is left.
  if (2.0 * c + 20.0 > txDelay) {
    PacketLeadSilenceBlocks = 0;
    PacketSyncBytes = 1;
    PacketLeadFlags = 1;
  } else {
    const double d = txDelay - 20.0;
    // 0.375 d / c, written as 0.375 d baud / 8000 so that a whole result (27 at 1200 Bd) is
    // not lost to the rounding of c.
    PacketSyncBytes = std::max(1, static_cast<int32_t>(std::floor(0.375 * d * baud / 8000.0)));
    PacketLeadFlags = PacketSyncBytes;
    PacketLeadSilenceBlocks =
        std::max(0, static_cast<int32_t>(std::floor((d - 2.0 * c * PacketSyncBytes + 5.0) / 10.0)));
  }
  // The tail's flags fill TXTAIL less the 11.6 ms of the 128-sample ramp-down.
  if (c + 11.6 > txTail) {
    PacketTailFlags = 1;
  } else {
    PacketTailFlags = std::max(1, static_cast<int32_t>(std::floor((txTail - 11.6) / c + 0.5)));
  }
  SlotTimerInterval = std::max(30, PacketSlotTime.load(kRelaxed));
  PacketTimingChanged.store(0, kRelaxed);
  ProgramSlotTimer();
}

void TPacketChannel::SetSlotTimerOn(bool on) {
  SlotTimerOn = on;
  ProgramSlotTimer();
}

void TPacketChannel::ConnectSlotTimer(SlotTimerControl* timer) {
  timer_ = timer;
  ProgramSlotTimer();
}

void TPacketChannel::ProgramSlotTimer() {
  if (timer_) timer_->SetSlotTimer(SlotTimerOn, SlotTimerInterval);
}

}  // namespace vestrel
