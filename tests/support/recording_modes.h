#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/afc_tuner.h"
#include "engine/mode_receiver.h"
#include "engine/mode_registry.h"
#include "engine/mode_table.h"
#include "engine/tx_symbol_source.h"

namespace vestrel::test {

// One log of every push and block call of a registry full of recording objects, one line each:
// "<Family> <call> <arguments>", e.g. "StartStop SetSpeed 45 0", "Psk SetTones 912 1416",
// "Packet SelectMode 8" (the row's number), "Mfsk Block 1" (the squelch decision), or for the
// transmitters "tx Packet LeaveMode". AFC calls are "Afc <pass>" and "SyncTxFrequencyToRx".
class RecordingLog {
 public:
  void Add(std::string line) { calls.push_back(std::move(line)); }
  // Number of lines that start with `prefix`.
  int Count(std::string_view prefix) const {
    int n = 0;
    for (const std::string& c : calls) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  bool Has(std::string_view line) const {
    for (const std::string& c : calls)
      if (c == line) return true;
    return false;
  }
  // The last line that starts with `prefix`, or "".
  std::string Last(std::string_view prefix) const {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
      if (it->rfind(prefix, 0) == 0) return *it;
    return {};
  }
  static std::string Text(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
  }
  std::vector<std::string> calls;
};

class RecordingReceiver final : public ModeReceiver {
 public:
  RecordingReceiver(RecordingLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  void Reset() override { log_.Add(name_ + " Reset"); }
  bool SelectMode(const ModeRow& row) override {
    log_.Add(name_ + " SelectMode " + std::to_string(row.number));
    return true;
  }
  bool SetTones(int32_t lower, int32_t upper) override {
    log_.Add(name_ + " SetTones " + std::to_string(lower) + " " + std::to_string(upper));
    return true;
  }
  bool SetSpeed(double baud, int filterWidth) override {
    log_.Add(name_ + " SetSpeed " + RecordingLog::Text(baud) + " " + std::to_string(filterWidth));
    return true;
  }
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override {
    log_.Add(name_ + " Block " + (squelchOpen ? "1" : "0"));
    samples.insert(samples.end(), block.begin(), block.end());
  }
  std::vector<float> samples;

 private:
  RecordingLog& log_;
  std::string name_;
};

class RecordingTransmitter final : public TxSymbolSource {
 public:
  RecordingTransmitter(RecordingLog& log, std::string name) : log_(log), name_("tx " + std::move(name)) {}
  bool WantsBuffer() const override { return false; }
  bool QueueIdle() const override { return true; }
  uint32_t NextSymbol(int16_t*, std::string&, int32_t&) override { return 0; }
  bool SelectMode(const ModeRow& row) override {
    log_.Add(name_ + " SelectMode " + std::to_string(row.number));
    return true;
  }
  void LeaveMode() override { log_.Add(name_ + " LeaveMode"); }
  bool SetSpeed(double baud) override {
    log_.Add(name_ + " SetSpeed " + RecordingLog::Text(baud));
    return true;
  }
  bool SetTones(int32_t lower, int32_t upper) override {
    log_.Add(name_ + " SetTones " + std::to_string(lower) + " " + std::to_string(upper));
    return true;
  }

 private:
  RecordingLog& log_;
  std::string name_;
};

class RecordingAfc final : public AfcTuner {
 public:
  explicit RecordingAfc(RecordingLog& log) : log_(log) {}
  void Tune(AfcPass pass) override {
    static constexpr const char* kNames[] = {"None", "Fsk",  "FskSeparate", "FskBySignal",
                                             "Psk",  "Mfsk", "Ps33x5"};
    log_.Add(std::string("Afc ") + kNames[static_cast<int>(pass)]);
  }
  void SyncTxFrequencyToRx() override { log_.Add("SyncTxFrequencyToRx"); }

 private:
  RecordingLog& log_;
};

// A registry with a recording receiver for every RxFamily and a recording transmitter for every
// TxFamily, all writing into `log`.
struct RecordingModes {
  RecordingModes() {
    for (int f = 0; f < static_cast<int>(RxFamily::kCount); ++f) {
      const auto family = static_cast<RxFamily>(f);
      receivers.push_back(std::make_unique<RecordingReceiver>(log, std::string(RxFamilyName(family))));
      registry.SetReceiver(family, receivers.back().get());
    }
    for (int f = 1; f < static_cast<int>(TxFamily::kCount); ++f) {
      const auto family = static_cast<TxFamily>(f);
      transmitters.push_back(std::make_unique<RecordingTransmitter>(log, std::string(TxFamilyName(family))));
      registry.SetTransmitter(family, transmitters.back().get());
    }
  }
  RecordingReceiver& Receiver(RxFamily f) { return *receivers[static_cast<size_t>(f)]; }

  RecordingLog log;
  ModeRegistry registry;
  std::vector<std::unique_ptr<RecordingReceiver>> receivers;
  std::vector<std::unique_ptr<RecordingTransmitter>> transmitters;
};

}  // namespace vestrel::test
