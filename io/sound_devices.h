#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/messages.h"
#include "engine/sound_control.h"
#include "engine/tx_audio_buffers.h"
#include "engine/tx_state.h"
#include "io/capture_audio_link.h"
#include "io/capture_ring.h"
#include "io/message_box.h"
#include "io/receive_input.h"
#include "io/termination_request.h"
#include "platform/wait_clock.h"
#include "platform/wave_device.h"

namespace vestrel {

// Device and channel settings (keys of the settings file).
struct SoundSettings {
  int SoundCardNumber = -1;     // capture device index; -1 the default device
  int InputCardChannel = 0;     // 0 mono, 1 left, 2 right (1 and 2 open the device in stereo)
  int OutSoundCardNumber = -2;  // -2 the capture device, -1 the default device, else an index
  // The output channel is the transmit state's OutputCardChannel, which the pump spreads by.
};

// Text shown for a failed device open.
std::string WaveOpenErrorText(int result);

// The capture and playback devices of the terminal. The main window owns one, after the
// engine and itself (the poster), so that every device thread is joined before either goes.
// Of the engine it takes the poster its callbacks post to, the transmit state (the two device
// flags and the output channel) and the playback buffers.
// Everything but the two callbacks runs on the GUI thread.
class SoundDevices final : public SoundControl {
 public:
  static constexpr uint32_t kCloseWaitMs = 3000;
  static constexpr uint32_t kClosePollMs = 10;

  SoundDevices(Poster& poster, TTxState& txState, WaveBackend& backend, TxAudioBuffers& tx,
               ReceiveInput& input, MessageBoxSink& messages, TerminationRequest& termination,
               CaptureAudioLink* files = nullptr, WaitClock* clock = nullptr);
  ~SoundDevices();
  SoundDevices(const SoundDevices&) = delete;
  SoundDevices& operator=(const SoundDevices&) = delete;

  // SoundControl
  bool InputOpen() const override { return waveIn_ != nullptr; }
  bool OutputOpen() const override { return waveOut_ != nullptr; }
  void OpenSoundInput() override;
  void CloseSoundInput() override;
  void OpenSoundOutput() override;
  void CloseSoundOutput() override;
  int WriteOutput(uint32_t index) override;

  // Handler of WM_WAVEIN_DATA; also run by the main timer while buffers are full.
  void ProcessSoundInput();
  // Hands one 2048-sample block to the receive chain.
  void FeedInputBlock(const int16_t* samples, int source);

  // The device callbacks (device threads): count and post, nothing else.
  void WaveInProc(uint32_t message);
  void WaveOutProc(uint32_t message);

  SoundSettings settings;
  CaptureRing capture;
  TxAudioBuffers& tx;

 private:
  struct InCallback final : WaveCallback {
    explicit InCallback(SoundDevices& d) : devices(d) {}
    void WaveMessage(uint32_t message, WaveHeader*) override { devices.WaveInProc(message); }
    SoundDevices& devices;
  };
  struct OutCallback final : WaveCallback {
    explicit OutCallback(SoundDevices& d) : devices(d) {}
    void WaveMessage(uint32_t message, WaveHeader*) override { devices.WaveOutProc(message); }
    SoundDevices& devices;
  };

  bool Quiet() const { return txState_.EngineClosing || txState_.SoundDevicesBusy; }
  uint32_t CaptureBytes() const {
    return inStereoChannel_ != 0 ? CaptureRing::kSlotBytes : CaptureRing::kFrames * 2;
  }
  void ReduceToChannel(int16_t* samples) const;
  bool RequeueCapture();
  // Polls until `counter` is 0 or kCloseWaitMs have passed since `start`.
  void WaitUntilZero(const std::atomic<uint32_t>& counter, uint64_t start);

  Poster& poster_;
  TTxState& txState_;
  WaveBackend& backend_;
  ReceiveInput& input_;
  MessageBoxSink& messages_;
  TerminationRequest& termination_;
  CaptureAudioLink* files_;
  SteadyWaitClock steadyClock_;
  WaitClock& clock_;
  InCallback inCallback_{*this};
  OutCallback outCallback_{*this};

  std::unique_ptr<WaveIn> waveIn_;    // null when closed
  std::unique_ptr<WaveOut> waveOut_;  // null when closed
  int inStereoChannel_ = 0;           // channel kept from a stereo capture device: 0 (mono), 1, 2
  std::array<WaveHeader, TxAudioBuffers::kCount> outHeaders_{};
  // Playback buffers handed to the device and not yet returned: the callback's own count, so a
  // buffer finished before the pump has counted it in flight is still counted, whichever order
  // the pump raises InFlight in.
  std::atomic<uint32_t> outPending_{0};
  bool processing_ = false;  // re-entry flag of ProcessSoundInput
  uint32_t inOpens_ = 0;     // capture devices opened: a close and reopen is seen as a close
};

}  // namespace vestrel
