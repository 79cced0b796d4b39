#pragma once
#include <atomic>
#include <cstdint>

namespace vestrel {

// The window's timer that ticks the packet channel access (TPacketChannelAccess::
// Ax25SlotTimerTimer): on or off, and its interval. The main window implements it.
class SlotTimerControl {
 public:
  virtual void SetSlotTimer(bool on, int32_t intervalMs) = 0;

 protected:
  ~SlotTimerControl() = default;
};

// The packet channel-access parameters, set by KISS commands from the exchange channels and
// not saved, and the transmit timing derived from them. The parameters are written by the
// exchange port's reader thread and read on the GUI thread: each is a single atomic value
// (relaxed, no value depends on another). The derived timing is GUI thread only.
struct TPacketChannel {
  // KISS values are bytes, so the millisecond values reach at most 255 x 10 ms.
  static constexpr int32_t kMaxMs = 2550;

  std::atomic<int32_t> PacketTxDelay{500};     // TXDELAY, ms
  std::atomic<int32_t> PacketPersistence{63};  // p, 0..255: key up when p >= r mod 255
  std::atomic<int32_t> PacketSlotTime{100};    // ms between channel-access ticks
  std::atomic<int32_t> PacketTxTail{100};      // TXTAIL, ms
  std::atomic<int32_t> PacketFullDuplex{0};    // 1: send without waiting for a clear channel
  // Set by the TXDELAY, slot time and TXTAIL commands; the main timer then recomputes.
  std::atomic<int32_t> PacketTimingChanged{0};

  // Derived by UpdatePacketTiming.
  int32_t PacketLeadSilenceBlocks = 0;  // 10 ms silence blocks before the carrier
  int32_t PacketSyncBytes = 1;          // 0x00 bytes after the ramp-up (a tone change every bit)
  int32_t PacketLeadFlags = 1;          // flags before the first frame
  int32_t PacketTailFlags = 1;          // flags after the last frame (one more is sent)
  int32_t SlotTimerInterval = 100;      // ms, at least 30
  bool SlotTimerOn = false;             // the packet modes run the slot timer

  // A KISS command frame: type's low nibble and its value byte. 1 TXDELAY, 3 slot time and
  // 4 TXTAIL take value x 10 ms and mark the timing for recomputation; 2 persistence; 5 full
  // duplex (value non-zero). False for any other command, which changes nothing.
  bool ApplyKissCommand(int command, uint8_t value);

  // Recomputes the derived timing for the speed `baud` (Bd), hands the slot timer its
  // interval and clears PacketTimingChanged. Parameters outside 0..kMaxMs are taken at the
  // nearer end, and a speed outside the Speed menu's 1.5625..1200 Bd likewise, so the transmit
  // program never outgrows its list.
  void UpdatePacketTiming(double baud);

  // Switches the slot timer on (the packet modes) or off.
  void SetSlotTimerOn(bool on);
  // The window's timer; it is told the current state at once.
  void ConnectSlotTimer(SlotTimerControl* timer);

 private:
  void ProgramSlotTimer();
  SlotTimerControl* timer_ = nullptr;
};

}  // namespace vestrel
