#include "app/form_layout.h"

namespace vestrel {

MacroColumns ComputeMacroColumns(int panelWidth) {
  // Below 147 pixels 12 buttons of (W - 26) / 12 would be narrower than 10.
  if (panelWidth < 147) return {10, 2};
  const int spare = panelWidth - 26;
  return {spare / 12, (spare % 12 + 4) / 2};
}

int OtherEditWidth(int formWidth) { return formWidth < 436 ? 25 : formWidth - 410; }

std::array<int, 6> TuningButtonsX(int panelWidth) {
  // The six buttons and their gaps span 258 pixels.
  int a = (panelWidth - 258) / 2;  // C++ division rounds toward zero
  if (a < 0) a = 0;
  return {a, a + 32, a + 64, a + 96, a + 136, a + 198};
}

}  // namespace vestrel
