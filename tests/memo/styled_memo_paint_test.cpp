// Painting onto the recording surface: runs at their x and baseline in their fonts and colours,
// the selection, tabs and marks, the end-of-text mark and the right line, and text drawn where
// the navigator measures it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::FakeDrawSurface;
using testing::RecordingMemoWindow;
using Op = FakeDrawSurface::Op;
constexpr int32_t G = FakeDrawSurface::kGlyph;
constexpr int32_t S = FakeDrawSurface::kSpace;
constexpr int32_t B = FakeDrawSurface::kBoldExtra;

// A memo in a 200 x 100 window, lines of 20 pixels, static style codes on.
struct Painted {
  explicit Painted(const std::string& text, int32_t width = 200, int32_t height = 100) : w(width, height) {
    memo.CreateHandle(w);
    memo.setLineHeight(20);
    memo.setStaticFormat(true);
    memo.setPairCancelling(false);
    memo.SetTextBuf(ToBytes(text));
  }
  void Paint(TRect area = {0, 0, 0, 0}) {
    if (area == TRect{}) area = {0, 0, w.ClientWidth(), w.ClientHeight()};
    dc.ops.clear();
    dc.lines = 0;
    TMemoPaint paint{&dc, area};
    TMemoMessage m;
    m.Msg = WM_PAINT;
    m.WParam = reinterpret_cast<uintptr_t>(&paint);
    memo.WndProc(m);
  }
  std::vector<Op> Texts(int32_t line) const { return dc.Of(Op::Text, line); }

  RecordingMemoWindow w;
  TStyledMemo memo;
  FakeDrawSurface dc;
};

TEST(StyledMemoPaint, RunsTabsSelectionAndMarksLandWhereTheyBelong) {
  Painted p(
      "ab\x02"
      "cd\x02\te\r\nxy");
  EXPECT_EQ(p.memo.BaselineOffset(), 14);  // 20 - descent 3 - (20 - cell 14 + 1) / 2
  p.memo.setShowNonPrintChars(smNPTab);
  p.memo.setHideSelection(false);
  p.memo.setSelStart(1);
  p.memo.setSelLength(2);  // "b" and the bold code
  p.memo.setRightLinePos(10);
  p.Paint();

  // Each line in its own image: the control's colour, then the text, copied at its y.
  ASSERT_EQ(p.dc.Of(Op::BeginLine).size(), 2u);
  EXPECT_EQ(p.dc.Of(Op::BeginLine)[0].rect, (TRect{0, 0, 200, 20}));
  ASSERT_EQ(p.dc.Of(Op::EndLine).size(), 2u);
  EXPECT_EQ(p.dc.Of(Op::EndLine)[0].y, 0);
  EXPECT_EQ(p.dc.Of(Op::EndLine)[1].y, 20);
  const std::vector<Op> fills0 = p.dc.Of(Op::Fill, 0);
  ASSERT_FALSE(fills0.empty());
  EXPECT_EQ(fills0[0].rect, (TRect{0, 0, 200, 20}));
  EXPECT_EQ(fills0[0].color, clWindow);

  const std::vector<Op> t0 = p.Texts(0);
  ASSERT_EQ(t0.size(), 5u);
  const int32_t lm = 8, tab = 8 * S;
  const struct {
    std::string text;
    int32_t x;
    uint8_t font;
  } want[] = {
      {"a", lm, 0},          {"b", lm + G, 0},                       // split where the selection starts
      {"cd", lm + 2 * G, 1}, {"\xBB", lm + 2 * G + 2 * (G + B), 0},  // the tab's mark, after bold ends
      {"e", lm + tab, 0},  // at the first tab stop from the line's start
  };
  for (size_t i = 0; i < t0.size(); ++i) {
    EXPECT_EQ(t0[i].text, want[i].text) << i;
    EXPECT_EQ(t0[i].x, want[i].x) << i;
    EXPECT_EQ(t0[i].y, 14) << i;
    EXPECT_EQ(t0[i].font, want[i].font) << i;
    EXPECT_EQ(t0[i].color, clWindowText) << i;
    EXPECT_FALSE(t0[i].opaque) << i;
  }
  ASSERT_EQ(p.Texts(1).size(), 1u);
  EXPECT_EQ(p.Texts(1)[0].text, "xy");
  EXPECT_EQ(p.Texts(1)[0].y, 14);

  // The selection is inverted over the text, from "b" to the code after it.
  ASSERT_EQ(p.dc.Of(Op::Invert, 0).size(), 1u);
  EXPECT_EQ(p.dc.Of(Op::Invert, 0)[0].rect, (TRect{lm + G, 0, lm + 2 * G, 20}));
  EXPECT_TRUE(p.dc.Of(Op::Invert, 1).empty());

  // Below the text the control's colour; the end-of-text mark at 2 lines x 20; the right line
  // 10 blanks from the margin.
  const std::vector<Op> after = p.dc.Of(Op::Fill, -1);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].rect, (TRect{0, 40, 200, 100}));
  const std::vector<Op> lines = p.dc.Of(Op::Line, -1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].y, 40);
  EXPECT_EQ(lines[0].x, 200);
  EXPECT_EQ(lines[0].pen.Color, 255);
  EXPECT_EQ(lines[1].x, lm + 10 * S);
  EXPECT_EQ(lines[1].y, 100);
  EXPECT_EQ(lines[1].pen.Style, psDot);

  // Scrolled by 5 pixels: the mark follows; the right line in pixels.
  p.memo.SetTopLeft(5, 0, 0);
  p.memo.setRightLinePos(-30);
  p.Paint();
  EXPECT_EQ(p.dc.Of(Op::Line, -1)[0].y, 35);
  EXPECT_EQ(p.dc.Of(Op::Line, -1)[1].x, lm + 30);
  EXPECT_EQ(p.dc.Of(Op::EndLine)[0].y, -5);
  p.memo.setEndOfTextMark({-1, 1, psSolid});
  p.memo.setRightLinePos(0);
  p.Paint();
  EXPECT_TRUE(p.dc.Of(Op::Line, -1).empty());
}

TEST(StyledMemoPaint, ColoursOfHighlightAttributesParagraphsAndTheSelection) {
  Painted p(
      "a\x03"
      "b\x03"
      "cdef\r\nghij");
  // An attribute over "de" with a red foreground and a yellow background.
  DynInfoRec red = testing::Attr(0, 0x0000FF);
  red.Backgnd = 0x00FFFF;
  testing::LayAttr(p.memo, 5, 7, red);
  p.memo.setParForegnd(1, 0x00FF00);
  p.memo.setOptions(p.memo.Options() | smoWindowsSelColors);
  p.memo.setSelStart(12);
  p.memo.setSelLength(2);  // "ij"
  p.memo.setHideSelection(false);
  p.Paint();
  auto find = [&](int32_t line, const std::string& text) {
    for (const Op& op : p.Texts(line))
      if (op.text == text) return op;
    ADD_FAILURE() << text;
    return Op{Op::Text, 0, 0, {}};
  };
  EXPECT_EQ(find(0, "a").color, clWindowText);
  const Op b = find(0, "b");
  EXPECT_EQ(b.color, 255);  // HighlightColor on HighlightBackgnd
  EXPECT_EQ(b.back, clWindow);
  EXPECT_TRUE(b.opaque);
  const Op de = find(0, "de");
  EXPECT_EQ(de.color, 0x0000FF);
  EXPECT_EQ(de.back, 0x00FFFF);
  EXPECT_TRUE(de.opaque);
  EXPECT_EQ(find(0, "f").color, clWindowText);
  EXPECT_EQ(find(1, "gh").color, 0x00FF00);  // the paragraph's own colour
  const Op ij = find(1, "ij");
  EXPECT_EQ(ij.color, clHighlightText);
  EXPECT_FALSE(ij.opaque);
  // With the system's colours the band is filled under the text, not inverted.
  bool band = false;
  for (const Op& op : p.dc.Of(Op::Fill, 1))
    band = band || (op.color == clHighlight && op.rect.Left == 8 + 2 * G && op.rect.Right == 8 + 4 * G);
  EXPECT_TRUE(band);
  EXPECT_TRUE(p.dc.Of(Op::Invert).empty());
}

TEST(StyledMemoPaint, TheSpecialUnderlineIsAWavyLineUnderItsRun) {
  Painted p("ab cd ef");
  testing::LayAttr(p.memo, 3, 5, testing::Attr(kDynStrikeOut | kDynHighlight | kDynBold));
  p.Paint();
  const std::vector<Op> t = p.Texts(0);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1].text, "cd");
  EXPECT_EQ(t[1].font & 0x0F, 1);  // bold, not struck out
  EXPECT_FALSE(t[1].opaque);       // and not highlighted
  const std::vector<Op> zig = p.dc.Of(Op::Line, 0);
  ASSERT_FALSE(zig.empty());
  const int32_t x1 = 8 + 2 * G + S, x2 = x1 + 2 * (G + B);
  const std::vector<Op> moves = p.dc.Of(Op::Move, 0);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].x, x1);
  EXPECT_EQ(zig.back().x, x2);
  for (const Op& op : zig) {
    EXPECT_EQ(op.pen.Color, 255);  // SpecUnderline
    EXPECT_GE(op.y, 14);           // from the baseline down
    EXPECT_LT(op.y, 20);
  }
}

TEST(StyledMemoPaint, OnlyTheLinesOfThePaintedBandAreDrawn) {
  std::string text;
  for (int i = 0; i < 10; ++i) text += "line " + std::to_string(i) + "\r\n";
  Painted p(text, 200, 100);
  p.Paint({0, 40, 200, 60});
  ASSERT_EQ(p.dc.Of(Op::EndLine).size(), 1u);
  EXPECT_EQ(p.dc.Of(Op::EndLine)[0].y, 40);
  EXPECT_EQ(p.Texts(0)[0].text, "line 2");
  // Above the first line, while scrolled there, the background.
  p.memo.SetTopLeft(-10, 0, 0);
  p.Paint();
  EXPECT_EQ(p.dc.ops.front().kind, Op::Fill);
  EXPECT_EQ(p.dc.ops.front().rect, (TRect{0, 0, 200, 10}));
  EXPECT_EQ(p.dc.Of(Op::EndLine)[0].y, 10);
  // Nothing while an update is open.
  p.memo.BeginUpdate();
  p.Paint();
  EXPECT_TRUE(p.dc.ops.empty());
  p.memo.EndUpdate();
}

TEST(StyledMemoPaint, ABackgroundPictureIsTiledFromTheScrollOrigin) {
  Painted p("a\r\nb");
  TMemoPicture pic;
  pic.Width = 16;
  pic.Height = 12;
  pic.Pixels.assign(16 * 12, 0xFF808080u);
  p.memo.setBackgroundBmp(pic);
  p.memo.SetTopLeft(7, 0, 0);
  p.Paint();
  const std::vector<Op> tiles = p.dc.Of(Op::Tile);
  ASSERT_EQ(tiles.size(), 3u);  // two lines, then the rest
  EXPECT_EQ(tiles[0].y, 0);     // line 0's image starts at content row 0
  EXPECT_EQ(tiles[1].y, -8);    // line 1's at row 20, 8 rows into a picture
  EXPECT_EQ(tiles[2].rect.Top, 33);
  EXPECT_EQ(tiles[2].y, -7);  // the window's top is content row 7
}

TEST(StyledMemoPaint, ASelectedParagraphEndShowsAMark) {
  Painted p("ab\r\ncd");
  p.memo.setHideSelection(false);
  p.memo.setSelStart(1);
  p.memo.setSelLength(4);  // "b", the break, "c"
  p.Paint();
  const std::vector<Op> inv = p.dc.Of(Op::Invert, 0);
  ASSERT_EQ(inv.size(), 2u);
  EXPECT_EQ(inv[0].rect, (TRect{8 + G, 0, 8 + 2 * G, 20}));
  EXPECT_EQ(inv[1].rect, (TRect{8 + 2 * G, 20 / 3, 8 + 2 * G + S / 2, 20 - 20 / 3}));
  EXPECT_EQ(p.dc.Of(Op::Invert, 1)[0].rect, (TRect{8, 0, 8 + G, 20}));
  p.memo.setShowNonPrintChars(smNPReturn);  // the pilcrow instead of the mark
  p.Paint();
  EXPECT_EQ(p.dc.Of(Op::Invert, 0).size(), 1u);
  EXPECT_EQ(p.Texts(0).back().text, "\xB6");
  p.memo.setOptions(p.memo.Options() | smoFullLineSelect);
  p.Paint();
  EXPECT_EQ(p.dc.Of(Op::Invert, 0)[0].rect.Right, 200);
  p.memo.setHideSelection(true);  // and no focus: nothing selected to see
  p.Paint();
  EXPECT_TRUE(p.dc.Of(Op::Invert).empty());
}

// Every run is drawn where the navigator puts its first character, whatever the alignment,
// justification, tabs, codes and attributes: the caret and clicks meet the glyphs.
TEST(StyledMemoPaint, TextIsDrawnWhereTheNavigatorMeasuresIt) {
  const char* text =
      "The quick \x02"
      "brown\x02 fox\tjumps over the \x01lazy\x01 dog and runs off into the woods, far away.\r\n"
      "\tTabbed start and a longer tail of words to wrap around the edge\r\nshort";
  for (const TAlignment align : {taLeftJustify, taCenter, taRightJustify}) {
    for (const bool justified : {false, true}) {
      Painted p(text, 220, 400);
      p.memo.setAlignment(align);
      p.memo.setJustified(justified);
      testing::LayAttr(p.memo, 20, 25, testing::Attr(kDynBold));
      p.memo.setWordWrap(true);
      p.Paint();
      TStyledNavigator n(&p.memo.NavContext());
      int32_t line = 0;
      for (int32_t par = 0; par < p.memo.GetParCount(); ++par) {
        const ParInfo& pi = p.memo.Store()[par];
        for (int32_t l = 0; l < GetLineCount(pi); ++l, ++line) {
          const LineInfo& li = GetLine(pi, l);
          int32_t q = li.Start;
          for (const Op& op : p.Texts(line)) {
            while (q < li.Stop && pi.Text.compare(static_cast<size_t>(q), op.text.size(),
                                                  reinterpret_cast<const unsigned char*>(op.text.data()),
                                                  op.text.size()) != 0)
              ++q;
            ASSERT_LT(q, li.Stop) << op.text;
            n.SetPos(pi.StartOffset + q);
            EXPECT_EQ(op.x, n.GetDisplayX()) << align << justified << " '" << op.text << "' line " << line;
            q += static_cast<int32_t>(op.text.size());
          }
        }
      }
      EXPECT_GE(line, 5);
    }
  }
}

}  // namespace
}  // namespace vestrel
