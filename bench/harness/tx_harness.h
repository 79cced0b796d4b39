#pragma once
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "engine/sound_control.h"
#include "engine/tx_audio_buffers.h"

namespace vestrel::harness {

// A playback device that counts every buffer handed over and, given a file, writes it there
// as signed 16-bit little-endian samples; PlayAll() then plays what is in flight.
class HarnessPlayback : public SoundControl {
 public:
  HarnessPlayback(TxAudioBuffers& buffers, std::FILE* out) : buffers_(buffers), out_(out) {}
  bool InputOpen() const override { return true; }
  bool OutputOpen() const override { return open_; }
  void OpenSoundInput() override {}
  void CloseSoundInput() override {}
  void OpenSoundOutput() override {
    buffers_.ClearCounters();
    open_ = true;
  }
  void CloseSoundOutput() override {
    open_ = false;
    buffers_.ClearCounters();
  }
  int WriteOutput(uint32_t index) override {
    const TxAudioBuffer& b = buffers_.buffers[index];
    if (out_ != nullptr) {
      bytes_.resize(2 * static_cast<size_t>(b.length));
      for (uint32_t i = 0; i < b.length; ++i) {
        const uint16_t s = static_cast<uint16_t>(b.samples[i]);
        bytes_[2 * i] = static_cast<uint8_t>(s & 0xFF);
        bytes_[2 * i + 1] = static_cast<uint8_t>(s >> 8);
      }
      if (std::fwrite(bytes_.data(), 1, bytes_.size(), out_) != bytes_.size())
        return errno != 0 ? errno : EIO;
    }
    ++writes;
    samples += b.length;
    return 0;
  }
  void PlayAll() {
    while (buffers_.InFlight.load() > 0) {
      buffers_.InFlight.fetch_sub(1);
      buffers_.Completed.fetch_add(1);
    }
  }
  size_t writes = 0;
  int64_t samples = 0;

 private:
  TxAudioBuffers& buffers_;
  std::FILE* out_;
  bool open_ = false;
  std::vector<uint8_t> bytes_;
};

}  // namespace vestrel::harness
