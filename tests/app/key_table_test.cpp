#include "app/key_table.h"

#include <gtest/gtest.h>

#include <Qt>

namespace vestrel {
namespace {

TEST(KeyTable, Bindings) {
  using A = KeyAction;
  const KeyModifiers none{}, shift{true, false, false, false}, ctrl{false, true, false, false},
      alt{false, false, true, false}, ctrlAlt{false, true, true, false}, pad{false, false, false, true},
      ctrlPad{false, true, false, true}, ctrlShift{true, true, false, false};
  struct Case {
    int key;
    KeyModifiers mods;
    A action;
    int arg;
    bool consumed;  // else the focused control sees the key too
  };
  const Case cases[] = {
      {Qt::Key_Asterisk, pad, A::kForceFigures, 0, true},
      {Qt::Key_Minus, ctrlPad, A::kForceLetters, 0, true},  // the keypad keys ignore the modifiers
      {Qt::Key_Asterisk, none, A::kNone, 0, false},         // the main keyboard's * is text
      {Qt::Key_Escape, none, A::kRunMacro, 0, false},
      {Qt::Key_F1, none, A::kRunMacro, 1, false},
      {Qt::Key_F12, none, A::kRunMacro, 12, false},
      {Qt::Key_F1, shift, A::kNone, 0, false},
      {Qt::Key_F4, ctrl, A::kRunMacro, 16, true},
      {Qt::Key_F4, alt, A::kRunMacro, 28, true},
      {Qt::Key_F12, ctrlAlt, A::kRunMacro, 36, true},  // Alt wins over Ctrl
      {Qt::Key_Pause, none, A::kTogglePause, 0, false},
      {Qt::Key_Pause, shift, A::kNone, 0, false},
      {Qt::Key_ScrollLock, none, A::kToggleTransmit, 0, false},
      {Qt::Key_BracketRight, ctrl, A::kInsertRxEscape, 0, true},
      {Qt::Key_BracketRight, alt, A::kInsertRxEscape, 0, true},
      {Qt::Key_BracketRight, none, A::kNone, 0, false},
      {Qt::Key_Left, alt, A::kShiftRxTone, -3, true},
      {Qt::Key_Period, alt, A::kShiftRxTone, 3, true},
      {Qt::Key_Up, alt, A::kShiftRxTone, 16, true},
      {Qt::Key_Down, alt, A::kShiftRxTone, -16, true},
      {Qt::Key_5, alt, A::kZoom, 5, true},
      {Qt::Key_6, alt, A::kNone, 0, false},
      {Qt::Key_Q, alt, A::kToggleWaveCapture, 0, true},
      {Qt::Key_Q, ctrlAlt, A::kNone, 0, false},
      {Qt::Key_G, alt, A::kNone, 0, false},
      {Qt::Key_G, ctrlAlt, A::kDecodeFromFile, 0, true},
      {Qt::Key_N, alt, A::kFocusName, 0, true},
      {Qt::Key_N, ctrl, A::kOpenBufferInEditor, 0, false},
      {Qt::Key_Z, alt, A::kToggleLogSpectrum, 0, true},
      {Qt::Key_Z, ctrl, A::kToggleLogOscillogram, 0, false},
      {Qt::Key_P, ctrl, A::kTogglePause, 0, false},
      {Qt::Key_T, ctrl, A::kToggleTransmit, 0, false},
      {Qt::Key_U, ctrl, A::kToggleTuneRig, 0, false},
      {Qt::Key_A, none, A::kNone, 0, false},
      {Qt::Key_F10, none, A::kRunMacro, 10, true},  // would open the menu
      {Qt::Key_F10, ctrl, A::kRunMacro, 22, true},
      {Qt::Key_F5, ctrl, A::kRunMacro, 17, false},
      {Qt::Key_S, ctrl, A::kSaveBuffer, 0, true},
      {Qt::Key_B, ctrl, A::kBeaconClick, 0, false},
      {Qt::Key_Z, ctrlShift, A::kToggleLogOscillogram, 0, false},  // and the typing window redoes
  };
  for (const Case& c : cases) {
    const KeyCommand k = DecodeFormKey(c.key, c.mods);
    EXPECT_EQ(k.action, c.action) << std::hex << c.key;
    EXPECT_EQ(k.arg, c.arg) << std::hex << c.key;
    EXPECT_EQ(k.consumed, c.consumed) << std::hex << c.key;
  }
}

}  // namespace
}  // namespace vestrel
