#pragma once

namespace vestrel {

// What the engine tells the displays between repaints. GUI thread only.
struct TDisplayFlags {
  // 100 ms ticks during which no display is painted (menus and dialogs set it; speed, shift and
  // mode changes clear it).
  int DisplayPause = 0;
  // Set by a mode switch so that the spectrum display redraws its frequency scale.
  int FrequencyScaleChanged = 0;
};

}  // namespace vestrel
