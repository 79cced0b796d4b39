// The mouse on the memo's core, on the fake surface (glyphs 7 pixels, blanks 4, lines 14 high,
// the text from x 8): clicks, Shift+clicks, double clicks, the line margin, column blocks,
// dragging text and context clicks.
// ctest-labels: unit
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;
using testing::Text;

class MouseWindow : public RecordingMemoWindow {
 public:
  MouseWindow() : RecordingMemoWindow(300, 100) {}
  void SetCursor(TMemoCursor c) override { cursor = c; }
  void SetFocus() override { focused = true; }
  void ShowPopupMenu(const TMemoPopupMenu&, TPoint) override { ++popups; }
  TMemoCursor cursor = crDefault;
  int popups = 0;
};

constexpr int32_t kH = 14;  // line height
constexpr int32_t kX0 = 8;  // the left margin
constexpr int32_t kG = 7;   // a glyph
// The x of the boundary before character i of a line of glyphs (no blanks before it).
constexpr int32_t X(int32_t i) {
  return kX0 + kG * i;
}
constexpr int32_t Y(int32_t line) {
  return line * kH + kH / 2;
}

struct Memo {
  explicit Memo(const std::string& text, TStyledMemoOptions options = 0) {
    m.setUpdateMode(umImmediate);
    m.setWordWrap(false);
    m.setOptions(options);
    m.CreateHandle(w);
    m.SetTextBuf(ToBytes(text));
    m.ClearUndo();
    m.setSelStart(0);
    m.OnChange = [this](TStyledMemo&) { ++changes; };
  }
  // The second press of a double click comes as the double click, then a press.
  void DoubleClick(int32_t x, int32_t y) {
    Click(x, y);
    m.DblClick();
    m.MouseDown(mbLeft, 0, x, y);
  }
  void Click(int32_t x, int32_t y, TShiftState shift = 0) {
    m.MouseMove(shift, x, y);
    m.MouseDown(mbLeft, shift, x, y);
    m.MouseUp(mbLeft, shift, x, y);
  }
  // Press at one point, move to another with the button held, release there.
  void Drag(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TShiftState shift = 0) {
    m.MouseMove(shift, x1, y1);
    m.MouseDown(mbLeft, shift, x1, y1);
    m.MouseMove(shift | ssLeft, x2, y2);
    m.MouseUp(mbLeft, shift, x2, y2);
  }
  std::string Selected() { return ToString(m.getSelText()); }
  static std::string ToString(const TByteString& b) { return std::string(b.begin(), b.end()); }
  MouseWindow w;
  TStyledMemo m;
  int changes = 0;
};

TEST(StyledMemoMouse, AClickPlacesTheCaretAtTheNearerBoundary) {
  const struct {
    int32_t x, y;
    int32_t caret;
  } rows[] = {
      {X(2) + 3, Y(0), 2},  // left of the middle of "c"
      {X(2) + 4, Y(0), 3},  // right of it
      {6, Y(1), 7},         // left of the text, beside the margin: the line's start
      {290, Y(1), 11},      // beyond the line's end: its end
      {X(1), Y(5), 11},     // below the text: its end
      {X(1), -30, 1},       // above the window: the first line
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.x << "," << r.y);
    Memo t("abcde\r\nfghi");
    t.Click(r.x, r.y);
    EXPECT_EQ(t.m.getSelStart(), r.caret);
    EXPECT_EQ(t.m.SelLength(), 0);
  }
}

TEST(StyledMemoMouse, ShiftClickExtendsFromTheAnchorAndAPressTakesTheFocus) {
  Memo t("abcde\r\nfghi");
  t.w.focused = false;
  int after = 0;
  t.m.OnAfterMouseDown = [&](TStyledMemo&, TMouseButton, TShiftState, int32_t, int32_t) { ++after; };
  t.Click(X(1), Y(0));
  EXPECT_TRUE(t.w.focused);
  t.Click(X(2), Y(1), ssShift);
  EXPECT_EQ(t.Selected(), "bcde\r\nfg");
  t.Click(X(0), Y(0), ssShift);  // the anchor stays at 1
  EXPECT_EQ(t.Selected(), "a");
  EXPECT_EQ(after, 3);
  // Dragging selects too.
  t.Drag(X(4), Y(0), X(1), Y(1));
  EXPECT_EQ(t.Selected(), "e\r\nf");
  EXPECT_EQ(t.m.getSelStart(), 8);  // the caret's end
  EXPECT_EQ(t.m.SelLength(), -4);
}

TEST(StyledMemoMouse, ADoubleClickSelectsAWordAndDraggingOnGrowsByWords) {
  {
    Memo t("one two three four");
    t.DoubleClick(X(5), Y(0));
    EXPECT_EQ(t.Selected(), "two");
    t.m.MouseMove(ssLeft, X(10), Y(0));  // inside "three"
    EXPECT_EQ(t.Selected(), "two three");
    t.m.MouseMove(ssLeft, X(1), Y(0));  // back into "one"
    EXPECT_EQ(t.Selected(), "one two");
    t.m.MouseUp(mbLeft, 0, X(1), Y(0));
    t.m.MouseMove(0, X(16), Y(0));  // the release ended word selection
    EXPECT_EQ(t.Selected(), "one two");
  }
  {
    Memo t("one two, three", smoLargeWordSelect);
    t.DoubleClick(X(5), Y(0));
    EXPECT_EQ(t.Selected(), "two, ");
  }
}

TEST(StyledMemoMouse, TheMarginSelectsLinesWithTheirBreakButTheLastParagraphs) {
  Memo t("abc\r\ndef\r\nghi");
  t.m.MouseMove(0, 2, Y(1));
  EXPECT_EQ(t.w.cursor, crMemoRightArrow);
  t.m.MouseDown(mbLeft, 0, 2, Y(1));
  EXPECT_EQ(t.Selected(), "def\r\n");
  t.m.MouseMove(ssLeft, 2, Y(2));
  EXPECT_EQ(t.Selected(), "def\r\nghi");
  t.m.MouseUp(mbLeft, 0, 2, Y(2));
  t.m.MouseMove(0, X(1), Y(0));
  EXPECT_EQ(t.w.cursor, crDefault);
  // With smoNoLineSelection the margin is text like any other.
  Memo n("abc\r\ndef", smoNoLineSelection);
  n.Click(2, Y(1));
  EXPECT_EQ(n.m.getSelStart(), 5);
  EXPECT_EQ(n.m.SelLength(), 0);
}

TEST(StyledMemoMouse, AltClickStartsAColumnBlock) {
  Memo t("abcdef\r\nghijkl\r\nmn", smoBlockSelection);
  // To 2 blanks' widths beyond the end of "mn": column 4.
  t.Drag(X(1), Y(0), X(2) + 2 * 4, Y(2), ssAlt);
  EXPECT_TRUE(t.m.BlockMode());
  EXPECT_EQ(t.m.BlockCol1(), 1);
  EXPECT_EQ(t.m.BlockCol2(), 4);
  // The short last line keeps the columns beyond it as pending filler.
  EXPECT_EQ(Memo::ToString(t.m.PendingFiller()), "  ");
  EXPECT_EQ(Memo::ToString(t.m.SelectedBlockText()), "bcd\r\nhij\r\nn\r\n");
  const TRect r = t.m.GetColumnBlockXY();
  EXPECT_EQ(r.Left, 1);
  EXPECT_EQ(r.Right, 4);
  EXPECT_EQ(r.Top, 0);
  EXPECT_EQ(r.Bottom, 2);
  // A plain click ends block mode.
  t.Click(X(1), Y(0));
  EXPECT_FALSE(t.m.BlockMode());
  EXPECT_EQ(t.m.GetColumnBlockXY().Right, 0);
  // Without the option Alt+click is a click.
  Memo p("abcdef\r\nghijkl");
  p.Drag(X(1), Y(0), X(4), Y(1), ssAlt);
  EXPECT_FALSE(p.m.BlockMode());
  EXPECT_EQ(p.Selected(), "bcdef\r\nghij");
}

TEST(StyledMemoMouse, DraggingTheSelection) {
  // Each case selects "cd" of "abcdef ghij" (offsets 2..4), presses on it and lets go.
  const struct Row {
    const char* what;
    int32_t x, y;
    TShiftState shift;
    bool escape;
    std::string text;
    int32_t selStart, selLength;
    int changes;
  } rows[] = {
      {"move after", X(9), Y(0), 0, false, "abef ghcdij", 7, 2, 1},
      {"move before", X(1), Y(0), 0, false, "acdbef ghij", 1, 2, 1},
      {"copy with Ctrl", X(9), Y(0), ssCtrl, false, "abcdef ghcdij", 9, 2, 1},
      {"inside the selection", X(3), Y(0), 0, false, "abcdef ghij", 3, 0, 0},
      {"Escape", X(9), Y(0), 0, true, "abcdef ghij", 2, 2, 0},
      {"released outside", 400, Y(0), 0, false, "abcdef ghij", 2, 2, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Memo t("abcdef ghij");
    t.m.setSelStart(2);
    t.m.setSelLength(2);
    int moves = 0;
    t.m.OnSelMove = [&](TStyledMemo&) { ++moves; };
    t.m.MouseMove(0, X(3), Y(0));
    EXPECT_EQ(t.w.cursor, crArrow);
    t.m.MouseDown(mbLeft, 0, X(3), Y(0));
    EXPECT_TRUE(t.m.Dragging());
    t.m.MouseMove(ssLeft | r.shift, r.x, r.y);
    if (r.escape) {
      TMemoKey k = kKeyEscape;
      t.m.KeyDown(k, 0);
      EXPECT_FALSE(t.m.Dragging());
    }
    t.m.MouseUp(mbLeft, r.shift, r.x, r.y);
    EXPECT_FALSE(t.m.Dragging());
    EXPECT_EQ(Text(t.m), r.text);
    EXPECT_EQ(t.m.getSelStart(), r.selStart);
    EXPECT_EQ(t.m.SelLength(), r.selLength);
    EXPECT_EQ(t.changes, r.changes);
    if (std::string(r.what) == "inside the selection") {
      EXPECT_GE(moves, 1);
    }
    if (r.changes == 1) {
      // One step takes it back.
      t.m.Undo();
      EXPECT_EQ(Text(t.m), "abcdef ghij");
    }
  }
  // Read-only text, block mode and smoNoDragnDrop do not drag: a press selects as any other.
  for (TStyledMemoOptions o : {TStyledMemoOptions{smoNoDragnDrop}, TStyledMemoOptions{0}}) {
    Memo t("abcdef ghij", o);
    t.m.setReadOnly(o == 0);
    t.m.setSelStart(2);
    t.m.setSelLength(2);
    t.m.MouseMove(0, X(3), Y(0));
    t.m.MouseDown(mbLeft, 0, X(3), Y(0));
    EXPECT_FALSE(t.m.Dragging());
    EXPECT_EQ(t.m.SelLength(), 0);
  }
}

TEST(StyledMemoMouse, ContextClicksReportTheRunAndTheRightButtonAsksForTheMenu) {
  struct Listener : IpmsNotify {
    void Notify(TStyledMemo& m, TpmEvents e) override {
      if (!(e & (smeContext | smeRightContext))) return;
      events.push_back(e);
      if (clear) m.setContextValue(0);
    }
    std::vector<TpmEvents> events;
    bool clear = false;
  };
  Memo t("call DL1ABC here\r\nnext");
  t.m.SetDynStyle(5, 11, kDynBold, false, 42, crHandPoint, -1, -1, false);
  Listener l;
  t.m.AddListener(t.m.NotifyListeners(), &l);
  std::vector<std::vector<int32_t>> contexts;
  t.m.OnContext = [&](TStyledMemo&, int32_t c, int32_t a, int32_t b) { contexts.push_back({c, a, b}); };
  // The pointer over the run shows its cursor.
  t.m.MouseMove(0, X(7), Y(0));
  EXPECT_EQ(t.w.cursor, crHandPoint);
  // A right click on it: smeRightContext, OnContext with the run, then the menu.
  t.m.MouseDown(mbRight, 0, X(7), Y(0));
  t.m.MouseUp(mbRight, 0, X(7), Y(0));
  ASSERT_EQ(contexts.size(), 1u);
  EXPECT_EQ(contexts[0], (std::vector<int32_t>{42, 5, 11}));
  EXPECT_EQ(l.events, std::vector<TpmEvents>{smeRightContext});
  EXPECT_EQ(t.m.ContextValue(), 42);
  EXPECT_EQ(t.w.popups, 1);
  // A listener that clears the value keeps the menu away.
  l.clear = true;
  t.m.MouseUp(mbRight, 0, X(7), Y(0));
  EXPECT_EQ(t.w.popups, 1);
  l.clear = false;
  // A left click at the press position: smeContext.
  l.events.clear();
  t.Click(X(6), Y(0));
  EXPECT_EQ(l.events, std::vector<TpmEvents>{smeContext});
  // A left press and release elsewhere is no context click.
  t.Drag(X(6), Y(0), X(8), Y(0));
  EXPECT_EQ(l.events.size(), 1u);
  // Without a context a right release asks for the menu alone.
  t.m.MouseUp(mbRight, 0, X(1), Y(1));
  EXPECT_EQ(contexts.size(), 3u);
  EXPECT_EQ(t.w.popups, 2);
  // A run with no end goes to the text's end.
  Memo u("abc def");
  u.m.SetDynStyle(4, 7, kDynBold, false, 9, 0, -1, -1, false);
  std::vector<int32_t> got;
  u.m.OnContext = [&](TStyledMemo&, int32_t c, int32_t a, int32_t b) { got = {c, a, b}; };
  u.m.MouseUp(mbRight, 0, X(5), Y(0));
  EXPECT_EQ(got, (std::vector<int32_t>{9, 4, 7}));
  t.m.RemoveListener(t.m.NotifyListeners(), &l);
}

// Auto-scroll on the window's timer, which the test ticks: the interval follows the distance
// beyond the edge, each tick scrolls a line.
TEST(StyledMemoMouse, HoldingTheButtonBeyondAnEdgeScrollsAtTheSpeedOfItsLevel) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += (i ? "\r\n" : "") + std::string("line ") + std::to_string(i);
  const struct {
    int32_t y;
    TMouseScrollType dir;
    int32_t level;
    int32_t ms;  // -1: no timer
  } rows[] = {
      {-10, msUp, 3, 200},   {-22, msUp, 7, 30},        {-24, msUp, 8, 0},       {-60, msUp, 20, 0},
      {101, msDown, 1, 400}, {100 + 6, msDown, 2, 300}, {-2, msNoScroll, 0, -1}, {50, msNoScroll, 0, -1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.y);
    Memo t(text);
    t.m.setTopLine(10);
    t.m.MouseMove(0, X(1), Y(2));
    t.m.MouseDown(mbLeft, 0, X(1), Y(2));
    t.m.MouseMove(ssLeft, X(1), r.y);
    EXPECT_EQ(t.m.AutoScrollDirection(), r.dir);
    EXPECT_EQ(t.m.AutoScrollLevel(), r.level);
    const auto timer = t.w.timers.find(TStyledMemo::kAutoScrollTimerId);
    if (r.ms < 0) {
      EXPECT_EQ(timer, t.w.timers.end());
      continue;
    }
    ASSERT_NE(timer, t.w.timers.end());
    EXPECT_EQ(timer->second, static_cast<uint32_t>(r.ms));
    // A tick: one line, and the selection's end follows to the newly shown line.
    TMemoMessage tick;
    tick.Msg = WM_TIMER;
    tick.WParam = TStyledMemo::kAutoScrollTimerId;
    t.m.WndProc(tick);
    EXPECT_EQ(t.m.getTopLine(), r.dir == msUp ? 9 : 11);
    EXPECT_EQ(t.m.AutoScrollLevel(), r.level);  // the same speed goes on
    t.m.MouseUp(mbLeft, 0, X(1), r.y);
    EXPECT_EQ(t.m.AutoScrollDirection(), msNoScroll);
    EXPECT_EQ(t.w.timers.count(TStyledMemo::kAutoScrollTimerId), 0u);
  }
  // Dragged text scrolls only within 26 pixels above the window.
  for (int32_t y : {-20, -30}) {
    Memo t(text);
    t.m.setSelStart(0);
    t.m.setSelLength(4);
    t.m.MouseMove(0, X(1), Y(0));
    t.m.MouseDown(mbLeft, 0, X(1), Y(0));
    ASSERT_TRUE(t.m.Dragging());
    t.m.MouseMove(ssLeft, X(1), y);
    EXPECT_EQ(t.m.AutoScrollDirection(), y == -20 ? msUp : msNoScroll);
  }
  // Losing the focus ends it.
  Memo t(text);
  t.m.MouseMove(0, X(1), Y(2));
  t.m.MouseDown(mbLeft, 0, X(1), Y(2));
  t.m.MouseMove(ssLeft, X(1), -10);
  TMemoMessage kill;
  kill.Msg = WM_KILLFOCUS;
  t.m.WndProc(kill);
  EXPECT_EQ(t.m.AutoScrollDirection(), msNoScroll);
  EXPECT_EQ(t.w.timers.count(TStyledMemo::kAutoScrollTimerId), 0u);
}

}  // namespace
}  // namespace vestrel
