#pragma once
#include <string_view>

#include "engine/messages.h"

namespace vestrel {

// What the engine needs of the main window. The window implements it; tests fake it.
// Menu items are named by their captions ("45 Baud", "170 Hz", "Optimal", "RTTY", ...).
// Everything but Post is called on the GUI thread only.
class EngineWindow : public Poster {
 public:
  // Status-bar panel 0..12 (0 mode, 1 speed, 2 TX frequency, 3 TX shift, 4 capture state,
  // 5 RX frequency, 6 RX shift, 7 unshift on space, 8 tune by, 9 DCD, 10 beacon,
  // 11 free playback buffers, 12 mode extra).
  virtual void SetPanelText(int panel, std::string_view text) = 0;
  virtual void SetMenuChecked(std::string_view item, bool checked) = 0;
  virtual void SetMenuVisible(std::string_view item, bool visible) = 0;
  virtual void SetMenuEnabled(std::string_view item, bool enabled) = 0;
  // The label beside the spectrum that names a non-default filter width.
  virtual void SetFilterLabel(std::string_view text) = 0;
  // Sends a mode name (an entry of ModeReportNames) to the logger.
  virtual void ReportModeToLogger(std::string_view modeName) = 0;
  // Re-opens the PTT and keying ports, so that a TxD-keyed port takes a new speed.
  virtual void ReopenKeyingPorts() = 0;
  // A message box with an OK button: a failure of a file the engine writes itself (the block
  // modes' message files). Shown once per failure; the engine runs on.
  virtual void ShowFileError(std::string_view /*caption*/, std::string_view /*text*/) {}

 protected:
  ~EngineWindow() = default;
};

}  // namespace vestrel
