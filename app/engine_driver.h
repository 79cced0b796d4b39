#pragma once
#include <cstdint>

namespace vestrel {

class TEngine;

// What the main window asks of the engine objects that TEngine holds: their start, the
// per-message work and the counters the timer reads. GUI thread only.
class EngineDriver {
 public:
  virtual ~EngineDriver() = default;
  // Input converter from the card's rate to 11025 samples/s, feeding the block processor.
  virtual void InitInputConverter(double /*cardRate*/) {}
  // The PS33X5 converter (11025 to 12800 samples/s), the PS2X5 capture folder, the PSK rate.
  virtual void PrepareConverters() {}
  virtual void ClearLevelRing() {}
  // Starts every engine object in the start order.
  virtual void StartObjects() {}
  // The loaded speed, shift and mode: speed, shift, mode, then speed and shift again.
  virtual void ApplySpeedShiftMode() {}
  virtual void ProcessSoundInput() {}
  virtual void PumpTxAudio() {}
  virtual int CaptureBuffersWaiting() const { return 0; }
  virtual bool DecodingFileInRealTime() const { return false; }
  virtual bool LevelsFlagged() const { return false; }
  virtual void ClearLevelsFlag() {}
  // Playback buffers written to the device and not yet played (0..8).
  virtual uint32_t PlaybackBuffersQueued() const { return 0; }
  virtual bool PacketTimingChanged() const { return false; }
  virtual void RecomputePacketTiming() {}
  virtual void StopSlotTimer() {}
  // The sound callbacks post nothing more once this is set.
  virtual void SetEngineClosing() {}
  // Baudot receive case forced by the keypad keys.
  virtual void ForceFiguresCase() {}
  virtual void ForceLettersCase() {}
  // Receive tone moved by the given FrequencyUnit steps.
  virtual void ShiftRxFrequency(int /*units*/) {}
  virtual void SetAfc(bool /*on*/) {}
};

// The driver over the engine objects that exist so far.
class TEngineDriver : public EngineDriver {
 public:
  explicit TEngineDriver(TEngine& engine) : engine_(engine) {}

 private:
  [[maybe_unused]] TEngine& engine_;
};

}  // namespace vestrel
