#pragma once
#include <array>
#include <cstdint>

#include "memo/draw_surface.h"

namespace vestrel::bench {

// A proportional font as the window's measure gives it: one advance per byte, bold one pixel
// wider.
class TableMeasure : public TFontMeasure {
 public:
  TableMeasure() {
    for (int c = 0; c < 256; ++c) advance_[c] = 5 + c % 5;
    advance_[' '] = 4;
  }
  void SelectFont(uint8_t extStyle) override { bold_ = extStyle & 1; }
  TFontMetrics Metrics() override { return {14, 11, 3, 2, 7, 10}; }
  bool TextExtent(const unsigned char* text, int32_t len, int32_t& width) override {
    int32_t w = 0;
    for (int32_t i = 0; i < len; ++i) w += advance_[text[i]];
    width = w + (bold_ ? len : 0);
    return true;
  }

 private:
  std::array<int32_t, 256> advance_{};
  bool bold_ = false;
};

}  // namespace vestrel::bench
