#include "platform/fake_wave.h"

namespace vestrel {

// One class serves both directions; the device calls differ only in the messages sent.
class FakeWaveDevice final : public WaveIn, public WaveOut {
 public:
  FakeWaveDevice(FakeWaveBackend& backend, FakeWaveBackend::Side& side, bool capture)
      : backend_(backend), side_(side), capture_(capture) {}
  ~FakeWaveDevice() override { Close(); }

  int Prepare(WaveHeader& header) override {
    std::lock_guard lock(backend_.mutex_);
    if (!side_.open) return kWaveInvalidHandle;
    if (side_.prepareResult != kWaveOk) return side_.prepareResult;
    return PrepareWaveHeader(header);
  }
  int Unprepare(WaveHeader& header) override {
    std::lock_guard lock(backend_.mutex_);
    return UnprepareWaveHeader(header);
  }
  int AddBuffer(WaveHeader& header) override { return QueueAndMaybeReturn(header); }
  int Write(WaveHeader& header) override { return QueueAndMaybeReturn(header); }
  int Start() override {
    std::lock_guard lock(backend_.mutex_);
    if (!side_.open) return kWaveInvalidHandle;
    if (side_.startResult != kWaveOk) return side_.startResult;
    side_.started = true;
    return kWaveOk;
  }
  int Stop() override {
    std::lock_guard lock(backend_.mutex_);
    side_.started = false;
    return kWaveOk;
  }
  int Reset() override {
    std::lock_guard calls(backend_.callbackMutex_);
    if (side_.onReset) side_.onReset();
    std::deque<WaveHeader*> returned;
    WaveCallback* callback;
    {
      std::lock_guard lock(backend_.mutex_);
      if (!side_.open) return kWaveInvalidHandle;
      ++side_.resets;
      side_.started = false;
      if (side_.returnOnReset) returned.swap(side_.queue);
      callback = side_.callback;
      for (WaveHeader* h : returned) {
        h->bytesRecorded = 0;
        h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
      }
    }
    for (WaveHeader* h : returned) callback->WaveMessage(capture_ ? WIM_DATA : WOM_DONE, h);
    return kWaveOk;
  }
  int Close() override {
    std::lock_guard calls(backend_.callbackMutex_);  // no callback runs once Close returns
    WaveCallback* callback;
    {
      std::lock_guard lock(backend_.mutex_);
      if (!side_.open) return kWaveInvalidHandle;
      for (WaveHeader* h : side_.queue) h->flags &= ~kWaveHeaderInQueue;
      side_.queue.clear();
      side_.open = false;
      side_.started = false;
      ++side_.closes;
      callback = side_.callback;
      side_.callback = nullptr;
    }
    callback->WaveMessage(capture_ ? WIM_CLOSE : WOM_CLOSE, nullptr);
    return kWaveOk;
  }

 private:
  int QueueAndMaybeReturn(WaveHeader& header) {
    const int r = Queue(header);
    bool now;
    {
      std::lock_guard lock(backend_.mutex_);
      now = r == kWaveOk && side_.returnOnAdd;
    }
    if (now) backend_.Return(side_, capture_ ? WIM_DATA : WOM_DONE, 1, {});
    return r;
  }
  int Queue(WaveHeader& header) {
    std::lock_guard lock(backend_.mutex_);
    if (!side_.open) return kWaveInvalidHandle;
    if (side_.queueResult != kWaveOk) return side_.queueResult;
    if (!(header.flags & kWaveHeaderPrepared)) return kWaveUnprepared;
    if (header.flags & kWaveHeaderInQueue) return kWaveStillPlaying;  // as a real driver refuses it
    header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    header.bytesRecorded = 0;
    side_.queue.push_back(&header);
    side_.added.push_back(&header);
    return kWaveOk;
  }

  FakeWaveBackend& backend_;
  FakeWaveBackend::Side& side_;
  const bool capture_;
};

std::vector<WaveDeviceInfo> FakeWaveBackend::InputDevices() {
  std::lock_guard lock(mutex_);
  return inputs;
}

std::vector<WaveDeviceInfo> FakeWaveBackend::OutputDevices() {
  std::lock_guard lock(mutex_);
  return outputs;
}

namespace {

int OpenSide(std::mutex& mutex, FakeWaveBackend::Side& side, size_t devices, int device,
             const WaveFormat& format, WaveCallback& callback) {
  std::lock_guard lock(mutex);
  if (side.openResult != kWaveOk) return side.openResult;
  if (device != kWaveDefaultDevice && (device < 0 || static_cast<size_t>(device) >= devices))
    return kWaveBadDeviceId;
  if (device == kWaveDefaultDevice && devices == 0) return kWaveBadDeviceId;
  if (side.open) return kWaveAllocated;
  side.open = true;
  side.started = false;
  side.device = device;
  side.format = format;
  side.callback = &callback;
  ++side.opens;
  return kWaveOk;
}

}  // namespace

int FakeWaveBackend::OpenIn(int device, const WaveFormat& format, WaveCallback& callback,
                            std::unique_ptr<WaveIn>& out) {
  int r = OpenSide(mutex_, in, inputs.size(), device, format, callback);
  if (r != kWaveOk) return r;
  out = std::make_unique<FakeWaveDevice>(*this, in, true);
  callback.WaveMessage(WIM_OPEN, nullptr);
  return kWaveOk;
}

int FakeWaveBackend::OpenOut(int device, const WaveFormat& format, WaveCallback& callback,
                             std::unique_ptr<WaveOut>& out) {
  int r = OpenSide(mutex_, this->out, outputs.size(), device, format, callback);
  if (r != kWaveOk) return r;
  out = std::make_unique<FakeWaveDevice>(*this, this->out, false);
  callback.WaveMessage(WOM_OPEN, nullptr);
  return kWaveOk;
}

int FakeWaveBackend::Return(Side& side, uint32_t message, int n,
                            const std::function<void(WaveHeader&)>& fill) {
  int done = 0;
  for (; done < n; ++done) {
    std::lock_guard calls(callbackMutex_);
    WaveHeader* h;
    WaveCallback* callback;
    {
      std::lock_guard lock(mutex_);
      if (!side.open || side.queue.empty()) break;
      h = side.queue.front();
      side.queue.pop_front();
      callback = side.callback;
      if (fill) fill(*h);
      if (message == WIM_DATA) h->bytesRecorded = h->bufferLength;
      if (message == WOM_DONE) side.played.insert(side.played.end(), h->data, h->data + h->bufferLength / 2);
      h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    }
    callback->WaveMessage(message, h);
  }
  return done;
}

int FakeWaveBackend::DeliverInput(int n, const std::function<void(WaveHeader&)>& fill) {
  return Return(in, WIM_DATA, n, fill);
}

int FakeWaveBackend::CompleteOutput(int n) {
  return Return(out, WOM_DONE, n, {});
}

}  // namespace vestrel
