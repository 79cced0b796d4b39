#pragma once
#include <array>
#include <string>
#include <vector>

#include "memo/draw_surface.h"

namespace vestrel::testing {

// A deterministic surface: every glyph is kGlyph pixels wide but a blank, which is kSpace,
// and a bold font adds kBoldExtra per glyph. Records what is drawn.
class FakeDrawSurface : public DrawSurface {
 public:
  static constexpr int32_t kGlyph = 7;
  static constexpr int32_t kSpace = 4;
  static constexpr int32_t kBoldExtra = 1;

  struct Op {
    enum Kind { Text, Move, Line } kind;
    int32_t x, y;
    std::string text;
  };

  FakeDrawSurface() {
    advance.fill(kGlyph);
    advance[' '] = kSpace;
  }

  void SelectFont(uint8_t extStyle) override {
    style = extStyle;
    ++fontSelections;
  }
  TFontMetrics Metrics() override { return {14, 11, 3, 2, kGlyph, kGlyph + kBoldExtra}; }
  bool TextExtent(const unsigned char* text, int32_t len, int32_t& width) override {
    ++extentCalls;
    maxExtentLen = std::max(maxExtentLen, len);
    width = 0;
    for (int32_t i = 0; i < len; ++i) width += Advance(text[i]);
    return true;
  }
  int32_t TextOut(int32_t x, int32_t y, const unsigned char* text, int32_t len) override {
    ops.push_back(
        {Op::Text, x, y, std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(len))});
    int32_t w = 0;
    TextExtent(text, len, w);
    return x + w;
  }
  void MoveTo(int32_t x, int32_t y) override { ops.push_back({Op::Move, x, y, {}}); }
  void LineTo(int32_t x, int32_t y) override { ops.push_back({Op::Line, x, y, {}}); }

  int32_t Advance(unsigned char c) const { return advance[c] + ((style & 1) ? kBoldExtra : 0); }

  std::array<int32_t, 256> advance{};
  uint8_t style = 0;
  int fontSelections = 0;
  int extentCalls = 0;
  int32_t maxExtentLen = 0;
  std::vector<Op> ops;
};

}  // namespace vestrel::testing
