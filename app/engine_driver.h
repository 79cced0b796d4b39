#pragma once
#include <QTimer>
#include <cstdint>
#include <memory>

#include "engine/modes/packet/packet_channel.h"
#include "engine/tx_audio_pump.h"
#include "engine/tx_seams.h"
#include "io/input_feed.h"
#include "io/message_box.h"
#include "io/sound_devices.h"
#include "io/termination_request.h"
#include "platform/wave_device.h"

namespace vestrel {

class TEngine;

// What the main window asks of the engine objects: their start, the per-message work and
// the counters the timer reads. GUI thread only.
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
  // One 2048-sample block into the receive chain; source 0 live audio, 1 or 2 a decoded file.
  virtual void FeedInputBlock(const int16_t* /*samples*/, int /*source*/) {}
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
  virtual void ShiftTxFrequency(int /*units*/) {}
  // Absolute tones in Hz (macros); out of range does nothing.
  virtual void SetRxFrequency(double /*hz*/) {}
  virtual void SetTxFrequency(double /*hz*/) {}
  virtual void SyncTxFrequencyToRx() {}
  virtual void SetAfc(bool /*on*/) {}
  // The SQL button and its up-down (position 0..100).
  virtual void SetSquelch(bool /*on*/) {}
  virtual void SetSquelchPosition(int /*position*/) {}
  // One AFC pass of the two-tone modes now (the "afr1" escape), and the TX AFC switch.
  virtual void AfcPassNow() {}
  virtual void SetTxAfc(bool /*on*/) {}
  // The sound devices, when this driver has them, and the devices and channel they open.
  virtual SoundControl* Sound() { return nullptr; }
  virtual void SetSoundDevices(const SoundSettings&) {}
};

// The driver over the engine objects that exist: mode switching, the block processor behind
// the input converter, the decoders, the transmit pump and the sound devices, and the slot
// timer ("Ax25SlotTimer") whose ticks give the packet channel access its turns.
class TEngineDriver final : public EngineDriver, private SlotTimerControl {
 public:
  // backend: null for ALSA. links: what the transmit pump needs of the window (sound is
  // filled in here). files: the audio history, wave capture and file decoding; may be null.
  TEngineDriver(TEngine& engine, MessageBoxSink& boxes, TerminationRequest& termination, WaveBackend* backend,
                TxPumpLinks links, CaptureAudioLink* files = nullptr);
  ~TEngineDriver() override;

  void InitInputConverter(double cardRate) override;
  void PrepareConverters() override;
  void ClearLevelRing() override;
  void StartObjects() override;
  void ApplySpeedShiftMode() override;
  void ProcessSoundInput() override;
  void FeedInputBlock(const int16_t* samples, int source) override { sound_.FeedInputBlock(samples, source); }
  void PumpTxAudio() override;
  int CaptureBuffersWaiting() const override { return static_cast<int>(sound_.capture.full.load()); }
  bool DecodingFileInRealTime() const override;
  bool LevelsFlagged() const override;
  void ClearLevelsFlag() override;
  uint32_t PlaybackBuffersQueued() const override;
  bool PacketTimingChanged() const override;
  void RecomputePacketTiming() override;
  void StopSlotTimer() override;
  void SetEngineClosing() override;
  void ForceFiguresCase() override;
  void ForceLettersCase() override;
  void ShiftRxFrequency(int units) override;
  void ShiftTxFrequency(int units) override;
  void SetRxFrequency(double hz) override;
  void SetTxFrequency(double hz) override;
  void SyncTxFrequencyToRx() override;
  void SetAfc(bool on) override;
  void SetSquelch(bool on) override;
  void SetSquelchPosition(int position) override;
  void AfcPassNow() override;
  void SetTxAfc(bool on) override;
  SoundControl* Sound() override { return &sound_; }
  void SetSoundDevices(const SoundSettings& s) override { sound_.settings = s; }

  SoundDevices& soundDevices() { return sound_; }
  const InputFeed& inputFeed() const { return feed_; }
  const QTimer& slotTimer() const { return slotTimer_; }

 private:
  void SetSlotTimer(bool on, int32_t intervalMs) override;

  TEngine& engine_;
  std::unique_ptr<WaveBackend> ownBackend_;
  InputFeed feed_;
  SoundDevices sound_;
  QTimer slotTimer_;
};

}  // namespace vestrel
