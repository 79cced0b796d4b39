#include "io/sound_devices.h"

#include <cstdio>
#include <vector>

#include "engine/messages.h"

namespace vestrel {

namespace {

std::string WithCode(const char* format, int code) {
  char text[96];
  std::snprintf(text, sizeof text, format, code);
  return text;
}

// Lowers `counter` when it is above zero; false when it was zero.
bool TakeOne(std::atomic<uint32_t>& counter) {
  uint32_t n = counter.load();
  do {
    if (n == 0) return false;
  } while (!counter.compare_exchange_weak(n, n - 1));
  return true;
}

// The playback index of capture device `input`: the two lists need not line up (a capture-only
// or playback-only device shifts the rest), so the device is found by its name. Falls back to
// the index itself when the name is not among the playback devices.
int SameDeviceForOutput(WaveBackend& backend, int input) {
  if (input < 0) return kWaveDefaultDevice;
  const std::vector<WaveDeviceInfo> inputs = backend.InputDevices();
  if (static_cast<size_t>(input) >= inputs.size()) return input;
  const std::vector<WaveDeviceInfo> outputs = backend.OutputDevices();
  for (size_t i = 0; i < outputs.size(); ++i)
    if (outputs[i].name == inputs[input].name) return static_cast<int>(i);
  return input;
}

constexpr uint32_t kOutBytesStereo = TxAudioBuffer::kCapacity * 2;  // 262144
constexpr uint32_t kOutBytesMono = TxAudioBuffer::kCapacity;        // 131072

}  // namespace

std::string WaveOpenErrorText(int result) {
  switch (result) {
    case kWaveBadDeviceId:
      return "  Specified device identifier is out of range";
    case kWaveAllocated:
      return "  Specified resource is already allocated";
    case kWaveNoDriver:
      return "  No device driver is present";
    case kWaveNoMemory:
      return "  Unable to allocate or lock memory";
    case kWaveBadFormat:
      return "  Attempted to open with an unsupported waveform-audio format\n";
    default:
      return " Unrecognized ERROR ";
  }
}

SoundDevices::SoundDevices(Poster& poster, TTxState& txState, WaveBackend& backend, TxAudioBuffers& tx,
                           ReceiveInput& input, MessageBoxSink& messages, TerminationRequest& termination,
                           CaptureAudioLink* files, WaitClock* clock)
    : tx(tx),
      poster_(poster),
      txState_(txState),
      backend_(backend),
      input_(input),
      messages_(messages),
      termination_(termination),
      files_(files),
      clock_(clock != nullptr ? *clock : steadyClock_) {}

SoundDevices::~SoundDevices() {
  CloseSoundInput();
  CloseSoundOutput();
}

void SoundDevices::OpenSoundInput() {
  if (waveIn_) return;  // reopening would orphan the queued buffers
  capture.ClearCounters();
  input_.ClearPeakHold();
  const int channel = settings.InputCardChannel;
  inStereoChannel_ = channel == 1 || channel == 2 ? channel : 0;
  WaveFormat format;
  format.channels = inStereoChannel_ != 0 ? 2 : 1;
  const int device = settings.SoundCardNumber < 0 ? kWaveDefaultDevice : settings.SoundCardNumber;

  std::unique_ptr<WaveIn> dev;
  int r = backend_.OpenIn(device, format, inCallback_, dev);
  if (r != kWaveOk || !dev) {
    if (backend_.InputDeviceCount() == 0)
      messages_.ShowMessage("Error", "No sound input device");
    else
      messages_.ShowMessage("Vestrel - Device Open Error", WaveOpenErrorText(r));
    return;
  }
  // From here a failure goes through the full close, so that queued buffers come back first.
  for (uint32_t i = 0; i < CaptureRing::kCount; ++i) {
    WaveHeader& h = capture.headers[i];
    h = WaveHeader{};
    h.data = capture.Slot(i);
    h.bufferLength = CaptureBytes();
    r = dev->Prepare(h);
    if (r != kWaveOk) {
      waveIn_ = std::move(dev);
      CloseSoundInput();
      messages_.ShowMessage("*Error*", WithCode("  Error in Prepare Header (%d)! ", r));
      return;
    }
  }
  for (uint32_t i = 0; i < CaptureRing::kCount; ++i) {
    // Counted before the hand-over: the device may fill and return it at once.
    capture.queued.fetch_add(1);
    r = dev->AddBuffer(capture.headers[i]);
    if (r != kWaveOk) {
      capture.queued.fetch_sub(1);
      waveIn_ = std::move(dev);
      CloseSoundInput();
      messages_.ShowMessage("*Error*", WithCode("  Error in AddBuffer (%d)! ", r));
      return;
    }
    capture.requeueIndex = (capture.requeueIndex + 1) & CaptureRing::kMask;
  }
  r = dev->Start();
  if (r != kWaveOk) {
    waveIn_ = std::move(dev);
    CloseSoundInput();
    messages_.ShowMessage("Error", "  Error in Start! \n");
    return;
  }
  waveIn_ = std::move(dev);
  ++inOpens_;
}

void SoundDevices::WaveInProc(uint32_t message) {
  if (message != WIM_DATA) return;
  if (!TakeOne(capture.queued)) return;
  capture.full.fetch_add(1);
  if (!Quiet()) poster_.Post(WM_WAVEIN_DATA);
}

void SoundDevices::ReduceToChannel(int16_t* samples) const {
  if (inStereoChannel_ == 0) return;
  const uint32_t offset = inStereoChannel_ == 1 ? 0 : 1;
  for (uint32_t k = 0; k < CaptureRing::kFrames; ++k) samples[k] = samples[2 * k + offset];
}

void SoundDevices::FeedInputBlock(const int16_t* samples, int source) {
  input_.FeedInputBlock(samples, CaptureRing::kFrames, source);
}

// Gives the header at requeueIndex back to the device. A refusal closes the device, reports
// and asks for the orderly shutdown; returns false then.
bool SoundDevices::RequeueCapture() {
  WaveHeader& h = capture.headers[capture.requeueIndex];
  h.data = capture.Slot(capture.requeueIndex);
  h.bufferLength = CaptureBytes();
  // Counted before the hand-over: after a stall the device returns it full at once, and a
  // buffer returned while `queued` still reads 0 would be dropped by the callback.
  capture.queued.fetch_add(1);
  const int r = waveIn_->AddBuffer(h);
  if (r != kWaveOk) {
    capture.queued.fetch_sub(1);
    CloseSoundInput();
    messages_.ShowMessage("Error", WithCode("  Error in AddBuffer (%d)! ", r));
    termination_.RequestTermination();
    return false;
  }
  capture.requeueIndex = (capture.requeueIndex + 1) & CaptureRing::kMask;
  return true;
}

void SoundDevices::ProcessSoundInput() {
  if (processing_ || txState_.SoundDevicesBusy || !waveIn_ || txState_.EngineClosing) return;
  processing_ = true;
  const uint32_t opens = inOpens_;
  // Catch up in bursts: go on while more than 7 buffers wait, at most a whole ring per call.
  uint32_t done = 0;
  while (capture.full.load() > 0) {
    int16_t* block = capture.Slot(capture.readIndex);
    capture.readIndex = (capture.readIndex + 1) & CaptureRing::kMask;
    capture.full.fetch_sub(1);
    ReduceToChannel(block);
    input_.SetCaptureBuffersWaiting(capture.full.load());
    if (files_ == nullptr || !files_->DecodingFile()) FeedInputBlock(block, 0);
    if (files_ != nullptr) {
      files_->PushHistory(block, CaptureRing::kFrames);
      if (files_->WaveCaptureOn() && !files_->AppendWaveCapture(block, CaptureRing::kFrames)) {
        messages_.ShowMessage("File Error", "Wave capture file write error!");
        files_->CloseWaveCapture();
      }
    }
    // A device closed meanwhile, and reopened perhaps, owns none of these buffers: its ring
    // started afresh.
    if (!waveIn_ || inOpens_ != opens) break;
    if (!Quiet() && !RequeueCapture()) break;
    if (++done >= CaptureRing::kCount || capture.full.load() <= 7) break;
  }
  poster_.Post(WM_PUMP_TX);
  processing_ = false;
}

void SoundDevices::WaitUntilZero(const std::atomic<uint32_t>& counter, uint64_t start) {
  while (counter.load() != 0 && clock_.NowMs() - start < kCloseWaitMs) clock_.SleepMs(kClosePollMs);
}

void SoundDevices::CloseSoundInput() {
  if (!waveIn_) return;
  const uint64_t start = clock_.NowMs();  // the wait is bounded from the call, a slow reset included
  std::unique_ptr<WaveIn> dev = std::move(waveIn_);  // the handler sees a closed device from here on
  dev->Stop();
  dev->Reset();
  WaitUntilZero(capture.queued, start);
  for (WaveHeader& h : capture.headers) dev->Unprepare(h);
  dev->Close();  // joins the device thread: no callback runs after this
  dev.reset();
  capture.ClearCounters();
}

void SoundDevices::OpenSoundOutput() {
  if (waveOut_) return;  // clearing the counters under queued buffers would lose them
  tx.ClearCounters();
  outPending_ = 0;
  if (backend_.OutputDeviceCount() == 0) {
    messages_.ShowMessage("Error", "No sound output device");
    return;
  }
  int device = settings.OutSoundCardNumber == -2 ? SameDeviceForOutput(backend_, settings.SoundCardNumber)
                                                 : settings.OutSoundCardNumber;
  if (device < 0) device = kWaveDefaultDevice;
  const int32_t channel = txState_.OutputCardChannel;  // 1 and 2 open stereo
  const bool stereo = channel == 1 || channel == 2;
  WaveFormat format;
  format.channels = stereo ? 2 : 1;

  std::unique_ptr<WaveOut> dev;
  int r = backend_.OpenOut(device, format, outCallback_, dev);
  if (r != kWaveOk || !dev) {
    messages_.ShowMessage("Vestrel - Output Sound Device Open Error", WaveOpenErrorText(r));
    return;
  }
  for (uint32_t i = 0; i < TxAudioBuffers::kCount; ++i) {
    WaveHeader& h = outHeaders_[i];
    h = WaveHeader{};
    h.data = tx.buffers[i].samples.data();
    h.bufferLength = stereo ? kOutBytesStereo : kOutBytesMono;
    r = dev->Prepare(h);
    if (r != kWaveOk) {
      for (WaveHeader& p : outHeaders_) dev->Unprepare(p);
      dev->Close();
      messages_.ShowMessage("Error", WithCode("Error in Prepare Output Header! (%d)", r));
      return;
    }
  }
  waveOut_ = std::move(dev);
}

int SoundDevices::WriteOutput(uint32_t index) {
  if (!waveOut_) return kWaveInvalidHandle;
  TxAudioBuffer& b = tx.buffers[index & TxAudioBuffers::kMask];
  WaveHeader& h = outHeaders_[index & TxAudioBuffers::kMask];
  const uint32_t length = std::min(b.length, TxAudioBuffer::kCapacity);
  h.data = b.samples.data();
  h.bufferLength = length * 2;
  h.user = b.endMark;
  h.flags &= ~kWaveHeaderDone;
  outPending_.fetch_add(1);
  const int r = waveOut_->Write(h);
  if (r != kWaveOk) outPending_.fetch_sub(1);
  return r;
}

void SoundDevices::WaveOutProc(uint32_t message) {
  if (message != WOM_DONE) return;
  if (!TakeOne(outPending_)) return;
  tx.Completed.fetch_add(1);
  tx.InFlight.fetch_sub(1);
  if (!Quiet()) poster_.Post(WM_WAVEOUT_DONE);
}

void SoundDevices::CloseSoundOutput() {
  if (!waveOut_) return;
  const uint64_t start = clock_.NowMs();
  std::unique_ptr<WaveOut> dev = std::move(waveOut_);
  dev->Reset();
  WaitUntilZero(outPending_, start);
  for (WaveHeader& h : outHeaders_) dev->Unprepare(h);
  dev->Close();
  dev.reset();
  tx.ClearCounters();
  outPending_ = 0;
}

}  // namespace vestrel
