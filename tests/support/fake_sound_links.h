#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "io/capture_audio_link.h"
#include "io/message_box.h"
#include "io/receive_input.h"
#include "io/termination_request.h"
#include "platform/wait_clock.h"

namespace vestrel::test {

// Records every message box as (caption, text).
class RecordingMessageBox : public MessageBoxSink {
 public:
  void ShowMessage(std::string_view caption, std::string_view text) override {
    shown.emplace_back(std::string(caption), std::string(text));
  }
  std::vector<std::pair<std::string, std::string>> shown;
};

class RecordingTermination : public TerminationRequest {
 public:
  void RequestTermination() override { ++requests; }
  int requests = 0;
};

// Keeps every block fed to the receive chain, with its source.
class RecordingReceiveInput : public ReceiveInput {
 public:
  void FeedInputBlock(const int16_t* samples, uint32_t count, int source) override {
    blocks.emplace_back(samples, samples + count);
    sources.push_back(source);
  }
  void ClearPeakHold() override { ++peakHoldClears; }
  std::vector<std::vector<int16_t>> blocks;
  std::vector<int> sources;
  int peakHoldClears = 0;
};

class FakeCaptureAudioLink : public CaptureAudioLink {
 public:
  bool DecodingFile() const override { return decoding; }
  void PushHistory(const int16_t*, uint32_t count) override { historySamples += count; }
  bool WaveCaptureOn() const override { return capturing; }
  bool AppendWaveCapture(const int16_t*, uint32_t count) override {
    if (failWrites) return false;
    capturedSamples += count;
    return true;
  }
  void CloseWaveCapture() override {
    capturing = false;
    ++captureCloses;
  }
  bool decoding = false, capturing = false, failWrites = false;
  uint64_t historySamples = 0, capturedSamples = 0;
  int captureCloses = 0;
};

// Time that advances only when someone sleeps.
class FakeWaitClock : public WaitClock {
 public:
  uint64_t NowMs() override { return now; }
  void SleepMs(uint32_t ms) override { now += ms; }
  uint64_t now = 1000;
};

}  // namespace vestrel::test
