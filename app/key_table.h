#pragma once

namespace vestrel {

// The hot keys of the main window, which sees every key before its controls do. Most keys that
// decode to an action go on to the control with the focus after it (Ctrl+Z both toggles the
// logarithmic oscillogram and undoes in the typing window); a consumed key stops at the window.
enum class KeyAction {
  kNone,
  kForceFigures,        // keypad "*"
  kForceLetters,        // keypad "-"
  kTogglePause,         // Pause, Ctrl+P
  kRunMacro,            // arg: macro number
  kToggleTransmit,      // Scroll Lock, Ctrl+T
  kInsertRxEscape,      // Alt or Ctrl with "]"
  kShiftRxTone,         // arg: FrequencyUnit steps
  kZoom,                // arg: 1..5
  kClearQso,
  kFocusCall,
  kFocusRst,
  kFocusName,
  kFocusOther,
  kClearRx,
  kToggleAfc,
  kTogglePhaseShow,
  kToggleTextCapture,
  kToggleWaveCapture,
  kToggleWaterFall,
  kToggleLogSpectrum,
  kDecodeFromFile,
  kBeaconClick,
  kOpenBufferInEditor,
  kSaveBuffer,
  kToggleTuneRig,
  kToggleLogOscillogram,
};

struct KeyCommand {
  KeyAction action = KeyAction::kNone;
  int arg = 0;
  bool consumed = false;  // the focused control does not see the key
};

struct KeyModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool keypad = false;
};

// qtKey: a Qt::Key value.
KeyCommand DecodeFormKey(int qtKey, KeyModifiers mods);

}  // namespace vestrel
