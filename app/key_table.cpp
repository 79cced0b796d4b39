#include "app/key_table.h"

#include <Qt>

namespace vestrel {

namespace {

int FunctionKeyNumber(int key) {
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return key - Qt::Key_F1 + 1;
  return 0;
}

// Every Alt key with an action is consumed: a character typed with Alt would otherwise land in
// a line editor, where the window's own keys never type.
KeyCommand AltKey(int key, bool ctrl) {
  using A = KeyAction;
  if (int f = FunctionKeyNumber(key)) return {A::kRunMacro, 24 + f};
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Comma: return {A::kShiftRxTone, -3};
    case Qt::Key_Right:
    case Qt::Key_Period: return {A::kShiftRxTone, 3};
    case Qt::Key_Up: return {A::kShiftRxTone, 16};
    case Qt::Key_Down: return {A::kShiftRxTone, -16};
    case Qt::Key_1: case Qt::Key_2: case Qt::Key_3: case Qt::Key_4: case Qt::Key_5:
      return {A::kZoom, key - Qt::Key_0};
    case Qt::Key_A: return {A::kClearQso};
    case Qt::Key_C: return {A::kFocusCall};
    case Qt::Key_R: return {A::kFocusRst};
    case Qt::Key_N: return {A::kFocusName};
    case Qt::Key_O: return {A::kFocusOther};
    case Qt::Key_D: return {A::kClearRx};
    case Qt::Key_F: return {A::kToggleAfc};
    case Qt::Key_I: return {A::kTogglePhaseShow};
    case Qt::Key_L: return {A::kToggleTextCapture};
    case Qt::Key_Q: return ctrl ? KeyCommand{} : KeyCommand{A::kToggleWaveCapture};
    case Qt::Key_W: return {A::kToggleWaterFall};
    case Qt::Key_Z: return {A::kToggleLogSpectrum};
    case Qt::Key_G: return ctrl ? KeyCommand{A::kDecodeFromFile} : KeyCommand{};
    default: return {};
  }
}

KeyCommand CtrlKey(int key) {
  using A = KeyAction;
  if (int f = FunctionKeyNumber(key)) return {A::kRunMacro, 12 + f, f == 4 || f == 10};
  switch (key) {
    case Qt::Key_B: return {A::kBeaconClick};
    case Qt::Key_N: return {A::kOpenBufferInEditor};
    case Qt::Key_P: return {A::kTogglePause};
    case Qt::Key_S: return {A::kSaveBuffer, 0, true};
    case Qt::Key_T: return {A::kToggleTransmit};
    case Qt::Key_U: return {A::kToggleTuneRig};
    case Qt::Key_Z: return {A::kToggleLogOscillogram};
    default: return {};
  }
}

}  // namespace

KeyCommand DecodeFormKey(int key, KeyModifiers mods) {
  using A = KeyAction;
  if (mods.keypad && key == Qt::Key_Asterisk) return {A::kForceFigures, 0, true};
  if (mods.keypad && key == Qt::Key_Minus) return {A::kForceLetters, 0, true};
  if (!mods.shift && !mods.ctrl && !mods.alt) {
    // F10 would open the menu.
    if (int f = FunctionKeyNumber(key)) return {A::kRunMacro, f, f == 10};
    switch (key) {
      case Qt::Key_Pause: return {A::kTogglePause};
      case Qt::Key_Escape: return {A::kRunMacro, 0};
      case Qt::Key_ScrollLock: return {A::kToggleTransmit};
      default: return {};
    }
  }
  // The escape is the whole text the key makes.
  if ((mods.alt || mods.ctrl) && key == Qt::Key_BracketRight) return {A::kInsertRxEscape, 0, true};
  if (mods.alt) {
    KeyCommand c = AltKey(key, mods.ctrl);
    c.consumed = c.action != A::kNone;
    return c;
  }
  if (mods.ctrl) return CtrlKey(key);
  return {};
}

}  // namespace vestrel
