#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "engine/mode_number.h"

namespace vestrel {

class TEngine;
class ModemTargets;

// A shift in Hz as SetShift takes it: one of the Shift menu's values; 22 becomes 23, any
// other value 170.
int32_t NormaliseShift(int32_t hz);

// The mode, speed and shift switches: keep TModemParams consistent, push tones and speeds
// into every decoder and encoder through ModemTargets and mirror the choice in the window's
// panels and menus. GUI thread only.
//
// Menu items are named by caption: speeds "1.5625 Baud" .. "45 Baud" .. "1200 Baud" (the
// speed as written in the speed list, no padding), shifts "4 Hz" .. "23 Hz" .. "1200 Hz",
// filters "Optimal", "Wide (Polar)", "Narrow", modes by the captions of the Mode menu, the
// menus themselves "Speed", "Shift", "Filters".
class ModeSwitch {
 public:
  ModeSwitch(TEngine& engine, ModemTargets& targets) : engine_(engine), targets_(targets) {}

  // Selects a speed, matched on round(baud x 10000); unknown speeds become 45 (45.45 Bd).
  void SetBaudRate(double baud);
  // Selects a shift in Hz; 22 becomes 23, unknown shifts 170. Nothing in mode 22.
  void SetShift(int hz);
  // Switches the engine to `mode`; numbers that name no mode switch to (and store) 0.
  void SetMode(int mode);
  // Check marks of the Filters menu and the filter label.
  void UpdateFilterMenu();

  // Setting "WhenChanged": report the mode to the logger on every mode switch.
  bool ReportModeWhenChanged = false;
  // The logger's names of the modes, by ModeNumber; an empty name is not reported.
  std::array<std::string, kModeCount> ModeReportNames;

 private:
  double TxRate() const;  // OutSamplingFreq, or 11025 when it is not a sample rate
  void CheckOnly(const char* const* items, int count, const char* item);
  void RecentreRx();
  void RecentreTx();
  void CentrePairs();
  void PushRxTones();
  void ApplyPs33x5Rx(double lowerHz, double upperHz);
  void ApplyPs33x5Tx(int32_t lowerStep, int32_t upperStep);

  TEngine& engine_;
  ModemTargets& targets_;
};

}  // namespace vestrel
