#pragma once
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "memo/draw_surface.h"

namespace vestrel::testing {

// A deterministic surface: every glyph is kGlyph pixels wide but a blank, which is kSpace,
// and a bold font adds kBoldExtra per glyph. Records what is drawn, each operation with the
// state it was drawn in.
class FakeDrawSurface : public DrawSurface {
 public:
  static constexpr int32_t kGlyph = 7;
  static constexpr int32_t kSpace = 4;
  static constexpr int32_t kBoldExtra = 1;

  struct Op {
    enum Kind { Text, Move, Line, Fill, Invert, Tile, BeginLine, EndLine } kind;
    int32_t x, y;      // Text: origin on the baseline; Move, Line: the point; EndLine: the window y
    std::string text;  // Text
    TRect rect{};      // Fill, Invert, Tile; BeginLine: 0, 0, width, height
    TColor color = 0;  // Fill: its colour; Text: the text colour
    TColor back = 0;   // Text: the background, when opaque
    bool opaque = false;
    uint8_t font = 0;   // Text: the selected style
    TMemoPen pen{};     // Line: the pen
    int32_t line = -1;  // how many lines began before it (-1: drawn on the window)
  };

  FakeDrawSurface() {
    advance.fill(kGlyph);
    advance[' '] = kSpace;
  }

  void SelectFont(uint8_t extStyle) override {
    style = extStyle;
    ++fontSelections;
  }
  TFontMetrics Metrics() override { return metrics; }
  bool TextExtent(const unsigned char* text, int32_t len, int32_t& width) override {
    ++extentCalls;
    maxExtentLen = std::max(maxExtentLen, len);
    width = 0;
    for (int32_t i = 0; i < len; ++i) width += Advance(text[i]);
    return true;
  }
  int32_t TextOut(int32_t x, int32_t y, const unsigned char* text, int32_t len) override {
    Op op = Make(Op::Text, x, y);
    op.text.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(len));
    op.color = textColor;
    op.back = backColor;
    op.opaque = opaqueText;
    op.font = style;
    ops.push_back(op);
    int32_t w = 0;
    TextExtent(text, len, w);
    return x + w;
  }
  void SetTextColors(TColor text, TColor background, bool opaque) override {
    textColor = text;
    backColor = background;
    opaqueText = opaque;
  }
  void FillRect(const TRect& r, TColor c) override {
    Op op = Make(Op::Fill, r.Left, r.Top);
    op.rect = r;
    op.color = c;
    ops.push_back(op);
  }
  void InvertRect(const TRect& r) override {
    Op op = Make(Op::Invert, r.Left, r.Top);
    op.rect = r;
    ops.push_back(op);
  }
  void TileImage(const TRect& r, const TMemoPicture&, int32_t originX, int32_t originY) override {
    Op op = Make(Op::Tile, originX, originY);
    op.rect = r;
    ops.push_back(op);
  }
  void SetPen(const TMemoPen& p) override { pen = p; }
  void MoveTo(int32_t x, int32_t y) override { ops.push_back(Make(Op::Move, x, y)); }
  void LineTo(int32_t x, int32_t y) override {
    Op op = Make(Op::Line, x, y);
    op.pen = pen;
    ops.push_back(op);
  }
  void BeginLine(int32_t width, int32_t height) override {
    inLine = true;
    ++lines;
    Op op = Make(Op::BeginLine, 0, 0);
    op.rect = {0, 0, width, height};
    ops.push_back(op);
  }
  void EndLine(int32_t y) override {
    inLine = false;
    ops.push_back(Make(Op::EndLine, 0, y));
  }

  int32_t Advance(unsigned char c) const { return advance[c] + ((style & 1) ? kBoldExtra : 0); }

  // The operations of one kind; with line >= 0 only those inside that line image.
  std::vector<Op> Of(typename Op::Kind kind, int32_t line = -2) const {
    std::vector<Op> out;
    for (const Op& op : ops)
      if (op.kind == kind && (line == -2 || op.line == line)) out.push_back(op);
    return out;
  }

  std::array<int32_t, 256> advance{};
  TFontMetrics metrics{14, 11, 3, 2, kGlyph, kGlyph + kBoldExtra};
  uint8_t style = 0;
  int fontSelections = 0;
  int extentCalls = 0;
  int32_t maxExtentLen = 0;
  TColor textColor = 0, backColor = 0;
  bool opaqueText = false;
  TMemoPen pen{};
  bool inLine = false;
  int32_t lines = 0;
  std::vector<Op> ops;

 private:
  Op Make(typename Op::Kind kind, int32_t x, int32_t y) const {
    Op op{kind, x, y, {}};
    op.line = inLine ? lines - 1 : -1;
    return op;
  }
};

}  // namespace vestrel::testing
