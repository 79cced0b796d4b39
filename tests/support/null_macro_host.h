#pragma once
#include <array>
#include <string>

#include "app/macro_language.h"

namespace vestrel::test {

// The macro escapes' targets doing nothing, with a real symbol queue, the transmit state and
// the four QSO fields.
class NullMacroHost : public MacroHost {
 public:
  TxSymbolQueue& Queue() override { return queue; }
  TTxState& Tx() override { return tx; }
  void SetTxLineState(int32_t) override {}
  int Mode() const override { return mode; }
  bool Transmitting() const override { return transmitting; }
  bool Paused() const override { return paused; }
  void SetTransmit(bool on) override { transmitting = on; }
  void SetPause(bool on) override { paused = on; }
  void HoldTyping() override {}
  bool PumpBusy() const override { return false; }
  void KeepCaretAfterSent() override {}
  void InsertAtCaret(const std::string&) override {}
  void FocusInput() override {}
  void ClearInput() override {}
  void RunMacroLater(int) override {}
  void Later(std::function<void()>) override {}
  void SetAfc(bool) override {}
  void SetTxAfc(bool) override {}
  void SetRxFrequency(double) override {}
  void SetTxFrequency(double) override {}
  void StartBeacon() override {}
  void StopBeacon() override {}
  void ClearRx() override {}
  void ClearSent() override {}
  void ClearQsoFields() override {}
  std::string QsoFieldText(QsoField f) const override { return fields[static_cast<size_t>(f)]; }
  void SetQsoFieldText(QsoField f, const std::string& text) override { fields[static_cast<size_t>(f)] = text; }
  void ExportQsoField(const std::string&, const std::string&, uint32_t) override {}
  void OtherEditExit() override {}
  void LoggerCommand(uint32_t, uint32_t) override {}
  void ReplayLastAudio(int) override {}
  void SaveLastAudio(int, bool) override {}
  std::string ShortDate(const CivilTime&) const override { return "1/2/26"; }
  void AddSymbol(int) override {}

  struct NullPoster : Poster {
    void Post(uint32_t) override {}
  } poster;
  TxSymbolQueue queue{poster};
  TTxState tx;
  int mode = 1;
  bool transmitting = false, paused = false;
  std::array<std::string, 4> fields;
};

// A clock standing still at 2023-11-14 22:13:20 UTC, one hour ahead locally.
struct StillClock : Clock {
  uint64_t NowMs() override { return 0; }
  void SleepMs(uint32_t) override {}
  int64_t UtcSeconds() override { return 1700000000; }
  int32_t LocalOffsetSeconds(int64_t) override { return 3600; }
};

}  // namespace vestrel::test
