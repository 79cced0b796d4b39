#pragma once
#include <array>

namespace vestrel {

// Positions of the main window's resizable rows, in pixels.

// The three rows of 12 macro buttons share their columns: column c (0..11) starts at
// firstX + c * (width + 2).
struct MacroColumns {
  int width;
  int firstX;
  int ColumnX(int c) const { return firstX + c * (width + 2); }
};

// panelWidth: the width of the button panel.
MacroColumns ComputeMacroColumns(int panelWidth);

// The QSO panel's last edit takes what the other edits leave of the window width.
int OtherEditWidth(int formWidth);

// x of "<", ">", "<<", ">>", Replay and Save, centred in the tuning panel of width panelWidth.
std::array<int, 6> TuningButtonsX(int panelWidth);

}  // namespace vestrel
