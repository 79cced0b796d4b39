#pragma once
#include <utility>
#include <vector>

#include "memo/memo_window.h"
#include "support/fake_draw_surface.h"

namespace vestrel::testing {

// A memo's window that records what the memo asks of it; it measures with the fake surface.
class RecordingMemoWindow : public MemoWindow {
 public:
  RecordingMemoWindow(int32_t width = 100, int32_t height = 60) : width_(width), height_(height) {}

  bool WindowReady() override { return ready; }
  int32_t ClientWidth() override { return width_; }
  int32_t ClientHeight() override { return height_; }
  void InvalidateBand(int32_t top, int32_t bottom) override { bands.emplace_back(top, bottom); }
  TFontMeasure& Canvas() override { return surface; }

  bool ready = true;
  FakeDrawSurface surface;
  std::vector<std::pair<int32_t, int32_t>> bands;

 private:
  int32_t width_, height_;
};

}  // namespace vestrel::testing
