#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/sound_control.h"
#include "engine/tx_audio_buffers.h"
#include "engine/tx_audio_pump.h"
#include "engine/tx_seams.h"
#include "engine/tx_symbol_queue.h"

namespace vestrel::test {

// A playback device the test drives by hand: every written buffer is recorded; Complete()
// plays the oldest outstanding one the way the device thread would.
class FakeSound : public SoundControl {
 public:
  explicit FakeSound(TxAudioBuffers& buffers) : buffers_(buffers) {}

  bool InputOpen() const override { return inputOpen; }
  bool OutputOpen() const override { return outputOpen; }
  void OpenSoundInput() override { inputOpen = true; }
  void CloseSoundInput() override { inputOpen = false; }
  void OpenSoundOutput() override {
    buffers_.ClearCounters();
    outputOpen = true;
  }
  void CloseSoundOutput() override {
    if (!outputOpen) return;
    outputOpen = false;
    ++outputCloses;
    buffers_.ClearCounters();
  }
  int WriteOutput(uint32_t index) override {
    if (writeError != 0) return writeError;
    const TxAudioBuffer& b = buffers_.buffers[index];
    Written w;
    w.index = index;
    w.samples.assign(b.samples.begin(), b.samples.begin() + b.length);
    w.text = b.text;
    w.endMark = b.endMark;
    written.push_back(std::move(w));
    maxOutstanding = std::max(maxOutstanding, buffers_.Outstanding());
    return 0;
  }

  // The device has played one buffer: what its callback does.
  bool Complete() {
    if (buffers_.InFlight.load() == 0) return false;
    buffers_.Completed.fetch_add(1);
    buffers_.InFlight.fetch_sub(1);
    ++completed;
    return true;
  }

  // Every written sample in order.
  std::vector<int16_t> Stream() const {
    std::vector<int16_t> all;
    for (const Written& w : written) all.insert(all.end(), w.samples.begin(), w.samples.end());
    return all;
  }

  struct Written {
    uint32_t index = 0;
    std::vector<int16_t> samples;
    std::string text;
    int32_t endMark = 0;
  };
  std::vector<Written> written;
  bool inputOpen = true;
  bool outputOpen = false;
  int outputCloses = 0;
  int writeError = 0;
  uint32_t maxOutstanding = 0;
  size_t completed = 0;

 private:
  TxAudioBuffers& buffers_;
};

class FakePtt : public PttControl {
 public:
  void SetPtt(bool on) override {
    ptt = on;
    changes.push_back(on);
  }
  bool ptt = false;
  std::vector<bool> changes;
};

class FakeTextPump : public TxTextPump {
 public:
  void PumpTxText() override { ++pumps; }
  void ShowSentChar() override { ++shows; }
  bool InputAllSent() const override { return allSent; }
  void SetPause(bool on) override { pauses.push_back(on); }
  void SetTxButton(bool down) override { txButton = down; }
  int pumps = 0;
  int shows = 0;
  bool allSent = true;
  std::vector<bool> pauses;
  bool txButton = true;
};

class FakeLogger : public LoggerLink {
 public:
  void NotifyCommand(int command) override { commands.push_back(command); }
  std::vector<int> commands;
};

class FakeKeyingPort : public TxKeyingPort {
 public:
  bool KeyingPortOpen() const override { return open; }
  void WriteTxdByte(uint8_t code) override { codes.push_back(code); }
  bool open = true;
  std::vector<uint8_t> codes;
};

class FakeFatal : public FatalErrorSink {
 public:
  void ShowError(std::string_view text, std::string_view caption) override {
    errors.emplace_back(std::string(text), std::string(caption));
  }
  void RequestTerminate() override { ++terminations; }
  std::vector<std::pair<std::string, std::string>> errors;
  int terminations = 0;
};

// All the fakes, connected to a pump.
struct FakeTxLinks {
  explicit FakeTxLinks(TxAudioBuffers& buffers) : sound(buffers) {}
  TxPumpLinks Links() { return {&sound, &ptt, &text, &logger, &keying, &fatal}; }
  FakeSound sound;
  FakePtt ptt;
  FakeTextPump text;
  FakeLogger logger;
  FakeKeyingPort keying;
  FakeFatal fatal;
};

// What the transmit switch does to start sending `text`: TxState 1, two LTRS, the text, and
// with `end` LTRS and the end code.
inline void StartTransmission(TEngine& engine, std::string_view text, bool end = true) {
  engine.tx.TxState = 1;
  engine.TxQueue.PostTxSymbol(kTxLtrs);
  engine.TxQueue.PostTxSymbol(kTxLtrs);
  for (unsigned char c : text) engine.TxQueue.PostTxSymbol(c);
  if (end) {
    engine.TxQueue.PostTxSymbol(kTxLtrs);
    engine.TxQueue.PostTxSymbol(kTxEnd);
  }
}

}  // namespace vestrel::test
