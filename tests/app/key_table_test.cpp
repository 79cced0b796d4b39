#include "app/key_table.h"

#include <gtest/gtest.h>

#include <Qt>

namespace vestrel {
namespace {

TEST(KeyTable, Bindings) {
  using A = KeyAction;
  const KeyModifiers none{}, shift{true, false, false, false}, ctrl{false, true, false, false},
      alt{false, false, true, false}, ctrlAlt{false, true, true, false}, pad{false, false, false, true},
      ctrlPad{false, true, false, true};
  struct Case {
    int key;
    KeyModifiers mods;
    A action;
    int arg;
  };
  const Case cases[] = {
      {Qt::Key_Asterisk, pad, A::kForceFigures, 0},
      {Qt::Key_Minus, ctrlPad, A::kForceLetters, 0},  // the keypad keys ignore the modifiers
      {Qt::Key_Asterisk, none, A::kNone, 0},          // the main keyboard's * is text
      {Qt::Key_Escape, none, A::kRunMacro, 0},
      {Qt::Key_F1, none, A::kRunMacro, 1},
      {Qt::Key_F12, none, A::kRunMacro, 12},
      {Qt::Key_F1, shift, A::kNone, 0},
      {Qt::Key_F4, ctrl, A::kRunMacro, 16},
      {Qt::Key_F4, alt, A::kRunMacro, 28},
      {Qt::Key_F12, ctrlAlt, A::kRunMacro, 36},  // Alt wins over Ctrl
      {Qt::Key_Pause, none, A::kTogglePause, 0},
      {Qt::Key_Pause, shift, A::kNone, 0},
      {Qt::Key_ScrollLock, none, A::kToggleTransmit, 0},
      {Qt::Key_BracketRight, ctrl, A::kInsertRxEscape, 0},
      {Qt::Key_BracketRight, alt, A::kInsertRxEscape, 0},
      {Qt::Key_BracketRight, none, A::kNone, 0},
      {Qt::Key_Left, alt, A::kShiftRxTone, -3},
      {Qt::Key_Period, alt, A::kShiftRxTone, 3},
      {Qt::Key_Up, alt, A::kShiftRxTone, 16},
      {Qt::Key_Down, alt, A::kShiftRxTone, -16},
      {Qt::Key_5, alt, A::kZoom, 5},
      {Qt::Key_6, alt, A::kNone, 0},
      {Qt::Key_Q, alt, A::kToggleWaveCapture, 0},
      {Qt::Key_Q, ctrlAlt, A::kNone, 0},
      {Qt::Key_G, alt, A::kNone, 0},
      {Qt::Key_G, ctrlAlt, A::kDecodeFromFile, 0},
      {Qt::Key_N, alt, A::kFocusName, 0},
      {Qt::Key_N, ctrl, A::kOpenBufferInEditor, 0},
      {Qt::Key_Z, alt, A::kToggleLogSpectrum, 0},
      {Qt::Key_Z, ctrl, A::kToggleLogOscillogram, 0},
      {Qt::Key_P, ctrl, A::kTogglePause, 0},
      {Qt::Key_T, ctrl, A::kToggleTransmit, 0},
      {Qt::Key_U, ctrl, A::kToggleTuneRig, 0},
      {Qt::Key_A, none, A::kNone, 0},
  };
  for (const Case& c : cases) {
    const KeyCommand k = DecodeFormKey(c.key, c.mods);
    EXPECT_EQ(k.action, c.action) << std::hex << c.key;
    EXPECT_EQ(k.arg, c.arg) << std::hex << c.key;
  }
}

}  // namespace
}  // namespace vestrel
