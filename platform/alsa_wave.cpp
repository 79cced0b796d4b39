#include "platform/alsa_wave.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace vestrel {

namespace {

constexpr int kWaitMs = 100;                               // bound of every blocking wait of an I/O thread
constexpr unsigned kBufferMicros = 500000;                 // card buffer, 0.5 s
constexpr unsigned kPeriodMicros = 25000;                  // one transfer, about 276 frames at 11025/s
constexpr uint32_t kMaxChunkFrames = 4096;                 // bounce buffer size, frames
constexpr auto kDonePoll = std::chrono::milliseconds(10);  // playback position polling

// The type of a PCM of the configuration ("" when the name has no definition of its own).
std::string ConfiguredType(const char* name) {
  std::string type;
  snd_config_t* def = nullptr;
  if (snd_config_update() < 0 || snd_config_search_definition(snd_config, "pcm", name, &def) < 0) return type;
  snd_config_t* node = nullptr;
  const char* text = nullptr;
  if (snd_config_search(def, "type", &node) == 0 && snd_config_get_string(node, &text) == 0) type = text;
  snd_config_delete(def);
  return type;
}

// Whether the sound server behind "pipewire" or "pulse" listens for this user; the plug-ins'
// configuration is installed whether or not a server runs.
bool ServerRuns(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string dir = runtime != nullptr ? runtime : "";
  if (name == "pulse") {
    if (const char* server = std::getenv("PULSE_SERVER"); server != nullptr && *server != '\0') return true;
    return !dir.empty() && access((dir + "/pulse/native").c_str(), F_OK) == 0;
  }
  if (const char* remote = std::getenv("PIPEWIRE_REMOTE"); remote != nullptr && *remote != '\0') return true;
  return !dir.empty() && access((dir + "/pipewire-0").c_str(), F_OK) == 0;
}

std::vector<WaveDeviceInfo> ListDevices(snd_pcm_stream_t stream) {
  std::vector<WaveDeviceInfo> list;
  const char* wanted = stream == SND_PCM_STREAM_CAPTURE ? "Input" : "Output";
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) == 0) {
    for (void** h = hints; *h != nullptr; ++h) {
      char* name = snd_device_name_get_hint(*h, "NAME");
      char* desc = snd_device_name_get_hint(*h, "DESC");
      char* ioid = snd_device_name_get_hint(*h, "IOID");  // absent: both directions
      if (name != nullptr && (ioid == nullptr || std::strcmp(ioid, wanted) == 0)) {
        const std::string n = name;
        const bool server = n == "pipewire" || n == "pulse";
        const bool plain = n.find(':') == std::string::npos && n != "default" && !server;
        if (IsListedAlsaDevice(n, plain ? ConfiguredType(name) : std::string(), server && ServerRuns(n))) {
          std::string d = desc != nullptr ? desc : n;
          std::replace(d.begin(), d.end(), '\n', ' ');
          list.push_back({n, d});
        }
      }
      free(name);
      free(desc);
      free(ioid);
    }
    snd_device_name_free_hint(hints);
  }
  if (list.empty()) {
    // A "default" without a hint (a hand-written configuration) still counts as a device.
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", stream, SND_PCM_NONBLOCK) == 0) {
      snd_pcm_close(pcm);
      list.push_back({"default", "Default device"});
    }
  }
  return list;
}

// Opens and configures a PCM for interleaved 16-bit frames at the exact rate.
int OpenPcm(snd_pcm_stream_t stream, int device, const WaveFormat& format, snd_pcm_t*& pcm,
            snd_pcm_uframes_t& period) {
  if (format.bitsPerSample != 16 || format.channels < 1 || format.channels > 2 || format.framesPerSecond == 0)
    return kWaveBadFormat;
  std::string name = "default";
  if (device != kWaveDefaultDevice) {
    std::vector<WaveDeviceInfo> list = ListDevices(stream);
    if (device < 0 || static_cast<size_t>(device) >= list.size()) return kWaveBadDeviceId;
    name = list[device].name;
  }
  // Non-blocking: a device in use elsewhere is refused at once instead of waited for, and no
  // transfer can hold the I/O thread (and so a close) past its bounded wait.
  int err = snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
  if (err < 0) {
    pcm = nullptr;
    return AlsaOpenResult(err);
  }
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  unsigned rate = format.framesPerSecond;
  unsigned bufferMicros = kBufferMicros;
  unsigned periodMicros = kPeriodMicros;
  int dir = 0;
  bool ok = snd_pcm_hw_params_any(pcm, hw) >= 0 &&
            snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
            snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE) >= 0 &&
            snd_pcm_hw_params_set_channels(pcm, hw, format.channels) >= 0 &&
            snd_pcm_hw_params_set_rate_resample(pcm, hw, 1) >= 0 &&
            snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, &dir) >= 0 && rate == format.framesPerSecond &&
            snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferMicros, &dir) >= 0 &&
            snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodMicros, &dir) >= 0 &&
            snd_pcm_hw_params(pcm, hw) >= 0 && snd_pcm_hw_params_get_period_size(hw, &period, &dir) >= 0;
  if (ok) {
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    // Playback starts with the first frame written: a short buffer must play as well.
    ok = snd_pcm_sw_params_current(pcm, sw) >= 0 && snd_pcm_sw_params_set_start_threshold(pcm, sw, 1) >= 0 &&
         snd_pcm_sw_params(pcm, sw) >= 0;
  }
  if (!ok) {
    snd_pcm_close(pcm);
    pcm = nullptr;
    return kWaveBadFormat;
  }
  period = std::clamp<snd_pcm_uframes_t>(period, 1, kMaxChunkFrames);
  return kWaveOk;
}

void MarkReturned(WaveHeader* h) {
  h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
}

// What both directions share: the PCM, the queue and its lock, the I/O thread.
class AlsaDevice {
 protected:
  AlsaDevice(snd_pcm_t* pcm, WaveCallback& callback, const WaveFormat& format, snd_pcm_uframes_t period)
      : pcm_(pcm),
        callback_(callback),
        channels_(format.channels),
        frameBytes_(format.BlockAlign()),
        chunk_(static_cast<uint32_t>(period)),
        bounce_(static_cast<size_t>(kMaxChunkFrames) * format.channels) {}

  int QueueHeader(WaveHeader& h) {
    if (!(h.flags & kWaveHeaderPrepared)) return kWaveUnprepared;
    if (h.flags & kWaveHeaderInQueue) return kWaveStillPlaying;
    if (h.data == nullptr && h.bufferLength > 0) return kWaveInvalidParam;
    {
      std::lock_guard lock(mutex_);
      if (closed_) return kWaveInvalidHandle;
      h.flags = (h.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
      h.bytesRecorded = 0;
      queue_.push_back(&h);
    }
    wake_.notify_all();
    return kWaveOk;
  }

  // Joins the thread, then closes the PCM; queued buffers are dropped without a callback.
  int CloseDevice(uint32_t closeMessage) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return kWaveInvalidHandle;
      closed_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    for (WaveHeader* h : queue_) h->flags &= ~kWaveHeaderInQueue;
    queue_.clear();
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
    callback_.WaveMessage(closeMessage, nullptr);
    return kWaveOk;
  }

  snd_pcm_t* pcm_;
  WaveCallback& callback_;
  const uint32_t channels_;
  const uint32_t frameBytes_;
  const uint32_t chunk_;         // frames per transfer
  std::vector<int16_t> bounce_;  // I/O thread only: the card never sees a caller's buffer

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<WaveHeader*> queue_;  // guarded by mutex_
  uint32_t frontBytes_ = 0;        // bytes of queue_.front() already transferred; mutex_
  bool closed_ = false;            // mutex_
  std::thread thread_;
};

class AlsaWaveIn final : public WaveIn, private AlsaDevice {
 public:
  AlsaWaveIn(snd_pcm_t* pcm, WaveCallback& callback, const WaveFormat& format, snd_pcm_uframes_t period)
      : AlsaDevice(pcm, callback, format, period), rate_(format.framesPerSecond) {
    thread_ = std::thread([this] { Run(); });
  }
  ~AlsaWaveIn() override { Close(); }

  int Prepare(WaveHeader& h) override { return PrepareWaveHeader(h); }
  int Unprepare(WaveHeader& h) override { return UnprepareWaveHeader(h); }
  int AddBuffer(WaveHeader& h) override { return QueueHeader(h); }

  int Start() override {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return kWaveInvalidHandle;
      started_ = true;
    }
    wake_.notify_all();
    return kWaveOk;
  }

  int Stop() override {
    WaveHeader* partial = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (closed_) return kWaveInvalidHandle;
      started_ = false;
      if (!queue_.empty() && frontBytes_ > 0) {
        partial = queue_.front();
        queue_.pop_front();
        partial->bytesRecorded = frontBytes_;
        MarkReturned(partial);
        frontBytes_ = 0;
      }
    }
    wake_.notify_all();
    if (partial != nullptr) callback_.WaveMessage(WIM_DATA, partial);
    return kWaveOk;
  }

  int Reset() override {
    std::deque<WaveHeader*> returned;
    {
      std::lock_guard lock(mutex_);
      if (closed_) return kWaveInvalidHandle;
      started_ = false;
      returned.swap(queue_);
      for (WaveHeader* h : returned) {
        h->bytesRecorded = h == returned.front() ? frontBytes_ : 0;
        MarkReturned(h);
      }
      frontBytes_ = 0;
    }
    wake_.notify_all();
    for (WaveHeader* h : returned) callback_.WaveMessage(WIM_DATA, h);
    return kWaveOk;
  }

  int Close() override { return CloseDevice(WIM_CLOSE); }

 private:
  void Run() {
    bool running = false;
    for (;;) {
      bool run;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return closed_ || started_ != running || (started_ && !queue_.empty()); });
        if (closed_) break;
        run = started_;
      }
      if (!run) {
        snd_pcm_drop(pcm_);
        running = false;
        continue;
      }
      if (!running) {
        snd_pcm_prepare(pcm_);
        snd_pcm_start(pcm_);
        running = true;
        RestartPace();
      }
      int ready = snd_pcm_wait(pcm_, kWaitMs);
      if (ready == 0) continue;
      snd_pcm_sframes_t n = ready < 0 ? ready : snd_pcm_readi(pcm_, bounce_.data(), chunk_);
      if (n == -EAGAIN) continue;
      if (n < 0) {
        // Overrun or suspend: recover and read on; a lost device is retried at the wait's pace.
        if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0)
          std::this_thread::sleep_for(std::chrono::milliseconds(kWaitMs));
        snd_pcm_start(pcm_);
        RestartPace();
        continue;
      }
      Store(static_cast<uint32_t>(n));
      HoldToRate(static_cast<uint32_t>(n));
    }
  }

  // A capture device cannot run ahead of its rate, but a PCM without a clock (a file or null
  // plug-in) delivers as fast as it is read, and its buffers would then flood the GUI thread
  // with capture messages. Reading is held back once it is more than kMaxLeadMs ahead of the
  // frames' own time; a real card never gets that far ahead.
  static constexpr int64_t kMaxLeadMs = 500;

  void RestartPace() {
    paceStart_ = std::chrono::steady_clock::now();
    paceFrames_ = 0;
  }

  void HoldToRate(uint32_t frames) {
    paceFrames_ += frames;
    const auto due =
        paceStart_ + std::chrono::milliseconds(static_cast<int64_t>(paceFrames_ * 1000 / rate_) - kMaxLeadMs);
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock,
                     std::min(due, std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs)),
                     [&] { return closed_ || !started_; });
  }

  const uint32_t rate_;
  std::chrono::steady_clock::time_point paceStart_;  // I/O thread only
  uint64_t paceFrames_ = 0;                          // frames read since paceStart_; I/O thread only

  // Copies frames read into the queued buffers; full ones go back through WIM_DATA.
  void Store(uint32_t frames) {
    WaveHeader* full[8];
    int nFull = 0;
    {
      std::lock_guard lock(mutex_);
      if (!started_) return;  // stopped while reading: the frames belong to no buffer
      const auto* src = reinterpret_cast<const uint8_t*>(bounce_.data());
      uint32_t bytes = frames * frameBytes_;
      while (bytes > 0 && !queue_.empty() && nFull < 8) {
        WaveHeader* h = queue_.front();
        uint32_t take = std::min(bytes, h->bufferLength - frontBytes_);
        std::memcpy(reinterpret_cast<uint8_t*>(h->data) + frontBytes_, src, take);
        src += take;
        bytes -= take;
        frontBytes_ += take;
        if (frontBytes_ == h->bufferLength) {
          queue_.pop_front();
          h->bytesRecorded = frontBytes_;
          MarkReturned(h);
          frontBytes_ = 0;
          full[nFull++] = h;
        }
      }
    }
    for (int i = 0; i < nFull; ++i) callback_.WaveMessage(WIM_DATA, full[i]);
  }

  bool started_ = false;  // mutex_
};

class AlsaWaveOut final : public WaveOut, private AlsaDevice {
 public:
  AlsaWaveOut(snd_pcm_t* pcm, WaveCallback& callback, const WaveFormat& format, snd_pcm_uframes_t period)
      : AlsaDevice(pcm, callback, format, period) {
    thread_ = std::thread([this] { Run(); });
  }
  ~AlsaWaveOut() override { Close(); }

  int Prepare(WaveHeader& h) override { return PrepareWaveHeader(h); }
  int Unprepare(WaveHeader& h) override { return UnprepareWaveHeader(h); }
  int Write(WaveHeader& h) override { return QueueHeader(h); }

  int Reset() override {
    std::deque<WaveHeader*> returned;
    {
      std::lock_guard lock(mutex_);
      if (closed_) return kWaveInvalidHandle;
      for (const Sent& s : sent_) returned.push_back(s.header);
      sent_.clear();
      returned.insert(returned.end(), queue_.begin(), queue_.end());
      queue_.clear();
      frontBytes_ = 0;
      ++resets_;
      for (WaveHeader* h : returned) MarkReturned(h);
    }
    wake_.notify_all();
    for (WaveHeader* h : returned) callback_.WaveMessage(WOM_DONE, h);
    return kWaveOk;
  }

  int Close() override { return CloseDevice(WOM_CLOSE); }

 private:
  struct Sent {
    WaveHeader* header;
    uint64_t end;  // frame count at which its last frame has been written
  };

  void Run() {
    uint32_t seenResets = 0;
    uint32_t bounceFrames = 0, bounceDone = 0;
    for (;;) {
      bool drop = false;
      {
        std::unique_lock lock(mutex_);
        if (bounceDone == bounceFrames) {
          auto work = [&] { return closed_ || resets_ != seenResets || !queue_.empty(); };
          if (sent_.empty())
            wake_.wait(lock, [&] { return work() || !sent_.empty(); });
          else
            wake_.wait_for(lock, kDonePoll, work);
        }
        if (closed_) break;
        if (resets_ != seenResets) {
          seenResets = resets_;
          drop = true;
        } else if (bounceDone == bounceFrames) {
          bounceFrames = bounceDone = 0;
          Fill(bounceFrames);
        }
      }
      if (drop) {
        snd_pcm_drop(pcm_);
        snd_pcm_prepare(pcm_);
        framesQueued_ = framesWritten_;
        bounceFrames = bounceDone = 0;
        continue;
      }
      if (bounceDone < bounceFrames) {
        int ready = snd_pcm_wait(pcm_, kWaitMs);
        snd_pcm_sframes_t n =
            ready < 0    ? ready
            : ready == 0 ? 0
                         : snd_pcm_writei(pcm_, bounce_.data() + static_cast<size_t>(bounceDone) * channels_,
                                          bounceFrames - bounceDone);
        if (n > 0) {
          bounceDone += static_cast<uint32_t>(n);
          framesWritten_ += static_cast<uint64_t>(n);
        } else if (n < 0 && n != -EAGAIN) {
          if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) {
            // The card is gone: count the chunk as played so nothing waits on it for ever.
            framesWritten_ += bounceFrames - bounceDone;
            bounceDone = bounceFrames;
            std::this_thread::sleep_for(std::chrono::milliseconds(kWaitMs));
          }
        }
      }
      ReportPlayed();
    }
  }

  // Moves the next frames of the queue into the bounce buffer; mutex_ held.
  void Fill(uint32_t& frames) {
    const uint32_t room = chunk_ * frameBytes_;
    uint32_t bytes = 0;
    auto* dst = reinterpret_cast<uint8_t*>(bounce_.data());
    while (!queue_.empty() && bytes < room) {
      WaveHeader* h = queue_.front();
      uint32_t length = h->bufferLength / frameBytes_ * frameBytes_;
      uint32_t take = std::min(room - bytes, length - frontBytes_);
      std::memcpy(dst + bytes, reinterpret_cast<const uint8_t*>(h->data) + frontBytes_, take);
      bytes += take;
      frontBytes_ += take;
      if (frontBytes_ == length) {
        queue_.pop_front();
        frontBytes_ = 0;
        sent_.push_back({h, framesQueued_ + bytes / frameBytes_});
      }
    }
    frames = bytes / frameBytes_;
    framesQueued_ += frames;
  }

  // Returns every written buffer whose last frame the card has played.
  void ReportPlayed() {
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_, &delay) < 0 || delay < 0) delay = 0;  // underrun: all written has played
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_XRUN) {
      delay = 0;
      snd_pcm_prepare(pcm_);
    }
    const uint64_t played = framesWritten_ - std::min<uint64_t>(framesWritten_, static_cast<uint64_t>(delay));
    WaveHeader* done[kDoneBatch];
    int nDone = 0;
    {
      std::lock_guard lock(mutex_);
      while (!sent_.empty() && sent_.front().end <= played && nDone < kDoneBatch) {
        done[nDone++] = sent_.front().header;
        MarkReturned(sent_.front().header);
        sent_.pop_front();
      }
    }
    for (int i = 0; i < nDone; ++i) callback_.WaveMessage(WOM_DONE, done[i]);
  }

  static constexpr int kDoneBatch = 64;
  std::deque<Sent> sent_;       // written, not yet played; mutex_
  uint32_t resets_ = 0;         // mutex_
  uint64_t framesQueued_ = 0;   // I/O thread: frames moved into the bounce buffer
  uint64_t framesWritten_ = 0;  // I/O thread: frames handed to the card
};

}  // namespace

int AlsaOpenResult(int alsaError) {
  switch (-alsaError) {
    case 0:
      return kWaveOk;
    case ENOENT:
      return kWaveBadDeviceId;
    case ENODEV:
    case ENXIO:
      return kWaveNoDriver;
    case EBUSY:
    case EAGAIN:
      return kWaveAllocated;
    case ENOMEM:
      return kWaveNoMemory;
    case EINVAL:
      return kWaveBadFormat;
    default:
      return kWaveError;
  }
}

bool IsListedAlsaDevice(const std::string& name, const std::string& type, bool serverRuns) {
  if (name == "default") return true;
  if (name == "pipewire" || name == "pulse") return serverRuns;
  // A card's entries carry its name as an argument; only these two take any rate.
  if (name.find(':') != std::string::npos)
    return name.rfind("sysdefault:", 0) == 0 || name.rfind("plughw:", 0) == 0;
  if (name == "null") return false;
  static const char* const kDeviceTypes[] = {"hw",   "plug", "asym",   "file",
                                             "null", "dmix", "dsnoop", "softvol"};
  for (const char* t : kDeviceTypes)
    if (type == t) return true;
  return false;
}

std::vector<WaveDeviceInfo> AlsaWaveBackend::InputDevices() {
  return ListDevices(SND_PCM_STREAM_CAPTURE);
}

std::vector<WaveDeviceInfo> AlsaWaveBackend::OutputDevices() {
  return ListDevices(SND_PCM_STREAM_PLAYBACK);
}

int AlsaWaveBackend::OpenIn(int device, const WaveFormat& format, WaveCallback& callback,
                            std::unique_ptr<WaveIn>& out) {
  snd_pcm_t* pcm = nullptr;
  snd_pcm_uframes_t period = 0;
  int r = OpenPcm(SND_PCM_STREAM_CAPTURE, device, format, pcm, period);
  if (r != kWaveOk) return r;
  callback.WaveMessage(WIM_OPEN, nullptr);
  out = std::make_unique<AlsaWaveIn>(pcm, callback, format, period);
  return kWaveOk;
}

int AlsaWaveBackend::OpenOut(int device, const WaveFormat& format, WaveCallback& callback,
                             std::unique_ptr<WaveOut>& out) {
  snd_pcm_t* pcm = nullptr;
  snd_pcm_uframes_t period = 0;
  int r = OpenPcm(SND_PCM_STREAM_PLAYBACK, device, format, pcm, period);
  if (r != kWaveOk) return r;
  callback.WaveMessage(WOM_OPEN, nullptr);
  out = std::make_unique<AlsaWaveOut>(pcm, callback, format, period);
  return kWaveOk;
}

}  // namespace vestrel
