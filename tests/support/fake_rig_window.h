#pragma once
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/rig/omni_work.h"

namespace vestrel::test {

// Records what rig control shows: panel 8, the TX AFC button, the waits (each may run
// `onWait`, as the message loop of a real wait runs other work) and receive-tone shifts.
class FakeRigWindow : public RigWindow {
 public:
  void SetTuneByPanel(std::string_view text) override { panel = std::string(text); }
  void SetTxAfcButtonEnabled(bool enabled) override { txAfcEnabled = enabled; }
  void Wait(std::chrono::milliseconds time) override {
    waits.push_back(time);
    if (onWait) onWait();
  }
  void ShiftRxFrequency(int units) override { rxShifts.push_back(units); }
  void SetNotKeyedMark(bool shown) override { notKeyedMark = shown; }

  std::string panel = "(untouched)";
  std::optional<bool> txAfcEnabled;
  std::vector<std::chrono::milliseconds> waits;
  std::vector<int> rxShifts;
  bool notKeyedMark = false;
  std::function<void()> onWait;
};

}  // namespace vestrel::test
