#pragma once
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/wave_device.h"

namespace vestrel {

// A sound system that a test drives: it fills and returns capture buffers, finishes
// playback buffers, refuses calls and keeps buffers on reset when told to. Every device call
// and every Deliver/Complete may come from any thread.
class FakeWaveBackend final : public WaveBackend {
 public:
  struct Side {
    // What the next calls return.
    int openResult = kWaveOk;
    int prepareResult = kWaveOk;
    int queueResult = kWaveOk;  // AddBuffer / Write
    int startResult = kWaveOk;
    bool returnOnReset = true;      // false: Reset keeps every buffer (a driver that never answers)
    bool returnOnAdd = false;       // true: a handed-over buffer comes back at once (a backlog)
    std::function<void()> onReset;  // runs inside Reset (a driver slow to reset)
    // What happened.
    bool open = false;
    bool started = false;
    int device = 0;  // index given to the last open
    WaveFormat format;
    int opens = 0, closes = 0, resets = 0;
    std::deque<WaveHeader*> queue;   // handed over, not yet returned
    std::vector<WaveHeader*> added;  // every header handed over, in order
    std::vector<int16_t> played;     // output: samples of every completed buffer
    WaveCallback* callback = nullptr;
  };

  std::vector<WaveDeviceInfo> InputDevices() override;
  std::vector<WaveDeviceInfo> OutputDevices() override;
  int OpenIn(int device, const WaveFormat& format, WaveCallback& callback,
             std::unique_ptr<WaveIn>& out) override;
  int OpenOut(int device, const WaveFormat& format, WaveCallback& callback,
              std::unique_ptr<WaveOut>& out) override;

  // Fills (with `fill`, when given) and returns up to `n` queued capture buffers, in queue
  // order, each as full. Returns how many were returned.
  int DeliverInput(int n, const std::function<void(WaveHeader&)>& fill = {});
  // Finishes up to `n` queued playback buffers; returns how many.
  int CompleteOutput(int n);

  // Locks the state for a test that reads or changes it while devices run.
  std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

  std::vector<WaveDeviceInfo> inputs{{"fake-capture", "Fake capture device"}};
  std::vector<WaveDeviceInfo> outputs{{"fake-playback", "Fake playback device"}};
  Side in, out;

 private:
  friend class FakeWaveDevice;
  int Return(Side& side, uint32_t message, int n, const std::function<void(WaveHeader&)>& fill);
  std::mutex callbackMutex_;  // held while a callback runs; taken before mutex_
  std::mutex mutex_;
};

}  // namespace vestrel
