#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "engine/display_flags.h"
#include "engine/engine_window.h"
#include "engine/mode_table.h"
#include "engine/modem_params.h"
#include "engine/sample_rates.h"

namespace vestrel {

class ModeRegistry;

// A shift in Hz as SetShift takes it: one of the Shift menu's values; 22 becomes 23, any
// other value 170.
int32_t NormaliseShift(int32_t hz);

// The mode, speed and shift switches: keep TModemParams consistent, push tones, speeds and the
// chosen mode into the receivers and transmitters of the ModeRegistry, and mirror the choice in
// the window's panels and menus. What differs between modes comes from their rows in the mode
// table. GUI thread only.
//
// Menu items are named by caption: speeds "1.5625 Baud" .. "45 Baud" .. "1200 Baud" (the
// speed as written in the speed list, no padding), shifts "4 Hz" .. "23 Hz" .. "1200 Hz",
// filters "Optimal", "Wide (Polar)", "Narrow", modes by their rows' menu items, the menus
// themselves "Speed", "Shift", "Filters".
class ModeSwitch {
 public:
  ModeSwitch(TModemParams& params, EngineWindow& window, const ModeRegistry& modes, const TSampleRates& rates,
             TDisplayFlags& display)
      : params_(params), window_(window), modes_(modes), rates_(rates), display_(display) {}

  // Selects a speed, matched on round(baud x 10000); unknown speeds become 45 (45.45 Bd).
  void SetBaudRate(double baud);
  // Selects a shift in Hz; 22 becomes 23, unknown shifts 170. Nothing in mode 22.
  void SetShift(int hz);
  // Switches the engine to `mode`; numbers that name no mode switch to (and store) 0.
  void SetMode(int mode);
  // Check marks of the Filters menu and the filter label.
  void UpdateFilterMenu();
  // A Filters menu item (0 "Optimal", 1 "Wide (Polar)", 2 "Narrow"): its check mark, and in the
  // start-stop modes (RTTY, ASCII-7, ASCII-8) the filter width, pushed with the speed into the
  // start-stop decoder and the PS2X5 receiver, and the filter label.
  void SelectFilter(int width);
  // A mode that remembers its own shift and speed (RTTY, PS2x5) with those values. Shift and
  // speed go first and the mode after; from PS33X5, which would take the speed as one of its
  // steps and ignore the shift, the mode goes first so that neither is lost.
  void SetModeWithShiftAndSpeed(int mode, int shiftHz, double baud);

  // Setting "WhenChanged": report the mode to the logger on every mode switch.
  bool ReportModeWhenChanged = false;
  // The logger's names of the modes, by ModeNumber; an empty name is not reported.
  std::array<std::string, kModeCount> ModeReportNames;

 private:
  double TxRate() const;  // OutSamplingFreq, or 11025 when it is not a sample rate
  void CheckOnly(const char* const* items, int count, const char* item);
  void SelectObjects(const ModeRow& previous, const ModeRow& row);
  void ShowMenus(const ModeRow& row);
  void RecentreRx();
  void RecentreTx();
  void CentrePairs();
  void ApplyMfskPlans(const ModeRow& row);
  void ApplyPs33x5Bands(int step);

  TModemParams& params_;
  EngineWindow& window_;
  const ModeRegistry& modes_;
  const TSampleRates& rates_;
  TDisplayFlags& display_;
};

}  // namespace vestrel
