#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vestrel {

// Buffer-queue sound devices: the caller owns the buffers and their headers, queues them on
// a device, and is told through a callback when the device has finished with each one.

// Callback messages.
inline constexpr uint32_t WOM_OPEN = 0x3BB;
inline constexpr uint32_t WOM_CLOSE = 0x3BC;
inline constexpr uint32_t WOM_DONE = 0x3BD;  // a playback buffer has played (or was reset)
inline constexpr uint32_t WIM_OPEN = 0x3BE;
inline constexpr uint32_t WIM_CLOSE = 0x3BF;
inline constexpr uint32_t WIM_DATA = 0x3C0;  // a capture buffer is full (or was reset)

// Result codes of every device call.
inline constexpr int kWaveOk = 0;
inline constexpr int kWaveError = 1;          // unspecified failure
inline constexpr int kWaveBadDeviceId = 2;    // index out of range
inline constexpr int kWaveAllocated = 4;      // device in use elsewhere
inline constexpr int kWaveInvalidHandle = 5;  // device closed
inline constexpr int kWaveNoDriver = 6;       // no device behind the name
inline constexpr int kWaveNoMemory = 7;
inline constexpr int kWaveInvalidParam = 11;
inline constexpr int kWaveBadFormat = 32;     // channels/rate/sample width refused
inline constexpr int kWaveStillPlaying = 33;  // header still queued
inline constexpr int kWaveUnprepared = 34;    // header not prepared

// Device index meaning "the system's default device".
inline constexpr int kWaveDefaultDevice = -1;

// Header flags.
inline constexpr uint32_t kWaveHeaderDone = 0x01;
inline constexpr uint32_t kWaveHeaderPrepared = 0x02;
inline constexpr uint32_t kWaveHeaderInQueue = 0x10;

// 16-bit PCM only.
struct WaveFormat {
  uint16_t channels = 1;
  uint32_t framesPerSecond = 11025;
  uint16_t bitsPerSample = 16;
  uint32_t BlockAlign() const { return channels * bitsPerSample / 8u; }
};

// One buffer as the device sees it. While queued (between AddBuffer/Write and the done
// callback) the device owns the header and its data; the caller must not touch either.
struct WaveHeader {
  int16_t* data = nullptr;
  uint32_t bufferLength = 0;   // bytes
  uint32_t bytesRecorded = 0;  // capture: bytes filled when returned
  intptr_t user = 0;
  uint32_t flags = 0;
};

// Receives the device messages. Runs on the device's I/O thread (or, for a reset, on the
// thread that called Reset); it must not block and must not call back into the device.
class WaveCallback {
 public:
  virtual void WaveMessage(uint32_t message, WaveHeader* header) = 0;

 protected:
  ~WaveCallback() = default;
};

struct WaveDeviceInfo {
  std::string name;         // what the device is opened by
  std::string description;  // for the setup dialog
};

class WaveIn {
 public:
  virtual ~WaveIn() = default;
  virtual int Prepare(WaveHeader& header) = 0;
  virtual int Unprepare(WaveHeader& header) = 0;
  // Queues an empty buffer; it comes back through WIM_DATA when full.
  virtual int AddBuffer(WaveHeader& header) = 0;
  virtual int Start() = 0;
  // Stops capture; a partly filled buffer is returned, empty ones stay queued.
  virtual int Stop() = 0;
  // Stops capture and returns every queued buffer.
  virtual int Reset() = 0;
  // Releases the device. Afterwards no callback runs and no queued buffer is touched, even
  // buffers the device never returned.
  virtual int Close() = 0;
};

class WaveOut {
 public:
  virtual ~WaveOut() = default;
  virtual int Prepare(WaveHeader& header) = 0;
  virtual int Unprepare(WaveHeader& header) = 0;
  // Queues `bufferLength` bytes for playback; WOM_DONE follows once they have played.
  virtual int Write(WaveHeader& header) = 0;
  // Stops playback and returns every queued buffer.
  virtual int Reset() = 0;
  // As WaveIn::Close.
  virtual int Close() = 0;
};

// The sound system: the device lists and opening by index.
class WaveBackend {
 public:
  virtual ~WaveBackend() = default;
  virtual std::vector<WaveDeviceInfo> InputDevices() = 0;
  virtual std::vector<WaveDeviceInfo> OutputDevices() = 0;
  virtual int InputDeviceCount() { return static_cast<int>(InputDevices().size()); }
  virtual int OutputDeviceCount() { return static_cast<int>(OutputDevices().size()); }
  // `device` is an index into the list or kWaveDefaultDevice. On success `out` holds the
  // open device; on failure it stays empty and the result says why.
  virtual int OpenIn(int device, const WaveFormat& format, WaveCallback& callback,
                     std::unique_ptr<WaveIn>& out) = 0;
  virtual int OpenOut(int device, const WaveFormat& format, WaveCallback& callback,
                      std::unique_ptr<WaveOut>& out) = 0;
};

// Header preparation shared by the backends: marks the header usable; refused while queued.
int PrepareWaveHeader(WaveHeader& header);
int UnprepareWaveHeader(WaveHeader& header);

}  // namespace vestrel
