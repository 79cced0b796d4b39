#pragma once
#include <string>

namespace vestrel {

// The keys that the window reads at creation, before the settings file is loaded: section
// "Screen" keys "Left", "Top", "Height", "Width" (-1: keep the designed value) and section
// "RTTY" keys "OnTop" and "UTCoffset". Left and Top are the position of the window's frame
// (QWidget::pos), Height and Width the size inside the frame (QWidget::size).
struct ScreenSettings {
  int Left = -1;
  int Top = -1;
  int Height = -1;
  int Width = -1;
  int OnTop = 0;
  int UTCoffset = -1;
};

// A missing file or key, or a value that does not start with a decimal number, gives the default.
ScreenSettings ReadScreenSettings(const std::string& path);

}  // namespace vestrel
