// The memo's view: metrics, scroll ranges and their scale, scrolling by bar, wheel and caret,
// the animated scroll on a fake clock, resizing, and extents that stay within 32 bits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/styled_memo.h"
#include "support/fake_clock.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;

// A memo of `lines` one-line paragraphs of height h in a window of width x height pixels.
struct View {
  View(int32_t lines, int32_t h, int32_t width, int32_t height) : w(width, height) {
    memo.setClock(&clock);
    memo.CreateHandle(w);
    memo.setLineHeight(h);
    Load(lines);
  }
  void Load(int32_t lines) {
    std::string t;
    for (int32_t i = 0; i < lines; ++i) t += (i ? "\r\n" : "") + std::string("line ") + std::to_string(i);
    TMemoryStream s(std::vector<unsigned char>(t.begin(), t.end()));
    memo.LoadFromStream(s);
  }
  bool Send(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0) {
    TMemoMessage m;
    m.Msg = msg;
    m.WParam = wParam;
    m.LParam = lParam;
    return memo.WndProc(m);
  }
  // Runs the scroll timer until the animation is over, noting where the window stands after
  // each step.
  std::vector<int32_t> Animate(uint64_t stepMs = 10) {
    std::vector<int32_t> shown;
    for (int i = 0; i < 1000 && w.timers.count(TStyledMemo::kScrollTimerId); ++i) {
      clock.nowMs += stepMs;
      Send(WM_TIMER, TStyledMemo::kScrollTimerId);
      shown.push_back(memo.ShownTop());
    }
    return shown;
  }
  // The pixels the window was moved by in total, vertically.
  int32_t ScrolledY() const {
    int32_t sum = 0;
    for (const auto& s : w.scrolls) sum += s.dy;
    return sum;
  }

  test::FakeClock clock;
  RecordingMemoWindow w;
  TStyledMemo memo;
};

TEST(StyledMemoDisplay, PageDownFromTheTopMovesByTheVisibleLinesLessOne) {
  View v(100, 20, 200, 300);
  EXPECT_EQ(v.memo.VisibleLines(), 16);
  v.Send(WM_VSCROLL, SB_PAGEDOWN);
  EXPECT_EQ(v.memo.getTopOrigin(), 300);  // min(20 x 15, 2000 - 300 + 3)
  EXPECT_EQ(v.memo.getTopLine(), 15);
  const struct {
    int32_t from;
    uintptr_t code;
    int32_t to;
  } rows[] = {
      {300, SB_LINEDOWN, 320},   {310, SB_LINEUP, 300}, {300, SB_LINEUP, 280},
      {0, SB_LINEUP, 0},         {300, SB_PAGEUP, 20},  {1700, SB_PAGEDOWN, 1703},
      {1703, SB_LINEDOWN, 1720}, {500, SB_TOP, 0},      {0, SB_BOTTOM, 1703},
  };
  for (const auto& r : rows) {
    v.memo.SetTopLeft(r.from, 0, 0);
    v.Send(WM_VSCROLL, r.code);
    EXPECT_EQ(v.memo.getTopOrigin(), r.to) << r.from << " " << r.code;
  }
}

TEST(StyledMemoDisplay, LongTextsScaleTheScrollRangeInto16Bits) {
  View v(3000, 16, 200, 300);
  EXPECT_EQ(v.memo.VScrollFactor(), 2);  // 48000 pixels / 32760 + 1
  EXPECT_EQ(v.w.ranges[sbVertical].max, 24000);
  EXPECT_EQ(v.w.ranges[sbVertical].page, (300 - 3) / 2);
  v.memo.SetTopLeft(1000, 0, 0);
  EXPECT_EQ(v.w.ranges[sbVertical].pos, 500);
  v.Send(WM_VSCROLL, SB_THUMBTRACK, 7001);
  EXPECT_EQ(v.memo.getTopOrigin(), 14002);
  EXPECT_EQ(v.memo.getTopLine(), 875);
  View small(10, 16, 200, 300);
  EXPECT_EQ(small.memo.VScrollFactor(), 1);
  EXPECT_EQ(small.w.ranges[sbVertical].max, 300 - 16 - 1);  // at least a client's worth
}

TEST(StyledMemoDisplay, AViewScrolledPastTheEndComesBackToTheBottomEdgeOnResize) {
  View v(10, 20, 200, 100);
  v.memo.SetTopLeft(150, 0, 0);  // the text ends at 200, the view at 250
  v.w.Resize(200, 150);
  v.Send(WM_SIZE);
  EXPECT_EQ(v.memo.getTopOrigin(), 200 - 150 + 3);
  v.memo.SetTopLeft(20, 0, 0);  // not past the end: a resize leaves it
  v.w.Resize(200, 120);
  v.Send(WM_SIZE);
  EXPECT_EQ(v.memo.getTopOrigin(), 20);
}

TEST(StyledMemoDisplay, ChangingTheLineHeightKeepsTheTopLine) {
  View v(100, 20, 200, 300);
  v.memo.setTopLine(10);
  v.Animate();
  EXPECT_EQ(v.memo.getTopOrigin(), 200);
  int vscrolls = 0;
  v.memo.OnVScroll = [&](TStyledMemo&) { ++vscrolls; };
  v.memo.setLineHeight(30);
  EXPECT_EQ(v.memo.getTopLine(), 10);
  EXPECT_EQ(v.memo.getTopOrigin(), 300);
  EXPECT_EQ(v.memo.VisibleLines(), 11);
  EXPECT_EQ(vscrolls, 1);
  v.memo.setLineHeight(0);  // automatic: the font's height + 1
  EXPECT_EQ(v.memo.getLineHeight(), 12);
  EXPECT_EQ(v.memo.getTopLine(), 10);
}

// The three curves of ScrollTime: 0 jumps, a negative time moves linearly, a positive one by a
// share of what remains that grows with the time since the start.
TEST(StyledMemoDisplay, AnimatedScrollsFollowTheirCurvesFromATimer) {
  {
    View v(100, 20, 200, 300);
    v.memo.SetTopLeft(200, 0, 0);
    EXPECT_EQ(v.memo.ShownTop(), 200);
    EXPECT_TRUE(v.w.timers.empty());
    ASSERT_EQ(v.w.scrolls.size(), 1u);
    EXPECT_EQ(v.w.scrolls[0].dy, -200);
  }
  {
    View v(100, 20, 200, 300);
    v.memo.SetTopLeft(200, 0, -100);
    EXPECT_EQ(v.memo.getTopOrigin(), 200);  // callers see where it goes
    EXPECT_EQ(v.memo.getTopLine(), 10);
    EXPECT_EQ(v.memo.ShownTop(), 0);  // the window is still where it was
    EXPECT_EQ(v.Animate(), (std::vector<int32_t>{20, 40, 60, 80, 100, 120, 140, 160, 180, 200}));
    EXPECT_EQ(v.ScrolledY(), -200);
  }
  {
    View v(100, 20, 200, 300);
    v.memo.SetTopLeft(200, 0, 100);
    EXPECT_EQ(v.Animate(),
              (std::vector<int32_t>{10, 29, 54, 83, 112, 138, 159, 175, 186, 193, 196, 198, 199, 200}));
    EXPECT_EQ(v.ScrolledY(), -200);
    EXPECT_TRUE(v.w.timers.empty());
  }
}

TEST(StyledMemoDisplay, ANewScrollOrAnEditDuringAnAnimationGoesOnFromWhereTheWindowIs) {
  View v(100, 20, 200, 300);
  v.memo.SetTopLeft(200, 0, -100);
  for (int i = 0; i < 3; ++i) {
    v.clock.nowMs += 10;
    v.Send(WM_TIMER, TStyledMemo::kScrollTimerId);
  }
  EXPECT_EQ(v.memo.ShownTop(), 60);
  v.memo.SetTopLeft(100, 0, -100);  // back up, from 60
  EXPECT_EQ(v.memo.ShownTop(), 60);
  std::vector<int32_t> shown = v.Animate();
  EXPECT_EQ(shown.front(), 64);
  EXPECT_EQ(shown.back(), 100);
  EXPECT_EQ(v.ScrolledY(), -100);

  v.memo.SetTopLeft(400, 0, -100);
  v.clock.nowMs += 50;
  v.Send(WM_TIMER, TStyledMemo::kScrollTimerId);
  EXPECT_EQ(v.memo.ShownTop(), 250);
  // Two lines inserted above the view: the origin and the window move by them alike, so the
  // text in view stays where it is.
  v.memo.setSelStart(0);
  v.memo.setSelText(ToBytes("new\r\nnew\r\n"));
  EXPECT_EQ(v.memo.getTopOrigin(), 440);
  EXPECT_EQ(v.memo.ShownTop(), 290);
  v.Animate();
  EXPECT_EQ(v.memo.ShownTop(), 440);
  EXPECT_EQ(v.memo.getTopLine(), 22);
}

TEST(StyledMemoDisplay, KeyAndBarScrollsInQuickSuccessionAreNotAnimated) {
  View v(100, 20, 200, 300);
  v.Send(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_FALSE(v.w.timers.empty());  // the first one is
  v.clock.nowMs += 100;
  v.Send(WM_VSCROLL, SB_LINEDOWN);  // within 200 ms: at once, the rest of the first with it
  EXPECT_TRUE(v.w.timers.empty());
  EXPECT_EQ(v.memo.ShownTop(), 40);
  v.clock.nowMs += 300;
  v.Send(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_FALSE(v.w.timers.empty());
}

TEST(StyledMemoDisplay, AWheelNotchScrollsByTheDesktopsLines) {
  View v(100, 20, 200, 300);
  EXPECT_TRUE(v.Send(WM_MOUSEWHEEL, 0, -120));
  EXPECT_EQ(v.memo.getTopLine(), 3);
  EXPECT_EQ(v.memo.ShownTop(), 60);  // no animation
  v.Send(WM_MOUSEWHEEL, 0, -60);
  v.Send(WM_MOUSEWHEEL, 0, -60);  // two half notches make one
  EXPECT_EQ(v.memo.getTopLine(), 6);
  v.Send(WM_MOUSEWHEEL, 0, 600);
  EXPECT_EQ(v.memo.getTopLine(), 0);  // not above the first line
  v.memo.setMouseWheelFactor(1);
  v.Send(WM_MOUSEWHEEL, 0, -120);
  EXPECT_EQ(v.memo.getTopLine(), 1);
  v.memo.setMouseWheelFactor(-1);
  v.w.wheelLines = -1;  // a page: the visible lines less two
  v.Send(WM_MOUSEWHEEL, 0, -120);
  EXPECT_EQ(v.memo.getTopLine(), 1 + 14);
  for (int i = 0; i < 20; ++i) v.Send(WM_MOUSEWHEEL, 0, -120);
  EXPECT_EQ(v.memo.getTopLine(), 100 - 16 + 1);  // the last line in view, not beyond
}

TEST(StyledMemoDisplay, ScrollInViewAfterAnAppendShowsTheLastLine) {
  View v(100, 20, 200, 300);
  v.memo.setScrollTime(0);
  v.memo.setSelStart(v.memo.getCharCount());
  v.memo.setSelText(ToBytes("\r\nthe newest line"));
  v.memo.ScrollInView();
  const int32_t last = v.memo.getTotalLineCount() - 1;
  EXPECT_EQ(last, 100);
  EXPECT_EQ(v.memo.getTopOrigin(), 100 * 20 + 20 - 300 + 3);
  EXPECT_LE((last + 1) * 20 - v.memo.getTopOrigin(), 300);
  // Back at the top, the caret on line 40: the view moves just far enough to show it.
  v.memo.SetTopLeft(0, 0, 0);
  v.memo.setSelLine(40);
  v.memo.ScrollInView();
  EXPECT_EQ(v.memo.getTopOrigin(), 40 * 20 + 20 - 300 + 1);
  v.memo.setSelLine(2);
  v.memo.ScrollInView();
  EXPECT_EQ(v.memo.getTopOrigin(), 40);
  v.memo.RefreshDisplay();  // nothing beyond the end to pull back
  EXPECT_EQ(v.memo.getTopOrigin(), 40);
  v.memo.SetTopLeft(2015, 0, 0);
  v.memo.RefreshDisplay();
  EXPECT_EQ(v.memo.getTopLine(), 101 - 16 + 1);
}

TEST(StyledMemoDisplay, ScrollInViewFollowsTheCaretSidewaysWithoutWordWrap) {
  View v(3, 20, 100, 100);
  v.memo.setScrollTime(0);
  v.memo.setWordWrap(false);
  v.memo.setSelStart(0);
  v.memo.setSelText(ToBytes(std::string(40, 'x')));  // 8 + 280 pixels
  v.memo.ScrollInView();
  // Whole steps of five blanks (4 pixels each) until the caret is inside the 100 pixels.
  EXPECT_EQ(v.memo.getDisplayLeft(), 200);
  v.memo.setSelStart(0);
  v.memo.ScrollInView();
  EXPECT_EQ(v.memo.getDisplayLeft(), 0);
}

// Many lines of a tall font would pass 32 bits of pixels: the line height gives way.
TEST(StyledMemoDisplay, SeventyThousandTallLinesKeepTheirExtentsIn32Bits) {
  View v(70000, 65535, 300, 400);
  const int32_t h = v.memo.getLineHeight();
  EXPECT_EQ(h, 0x7FFFFFFF / 70000);
  EXPECT_LE(int64_t{h} * v.memo.getTotalLineCount(), 0x7FFFFFFF);
  v.Send(WM_VSCROLL, SB_BOTTOM);
  v.Animate();
  EXPECT_EQ(v.memo.getTopLine(), 69999);
  EXPECT_GT(v.w.ranges[sbVertical].max, 0);
  EXPECT_LE(v.w.ranges[sbVertical].max, 32767);
  v.memo.Paint(v.w.surface, {0, 0, 300, 400});
  bool marked = false;
  for (const auto& op : v.w.surface.Of(testing::FakeDrawSurface::Op::Line))
    marked = marked || op.y == int64_t{70000} * h - v.memo.getTopOrigin();
  EXPECT_TRUE(marked);
  // Fewer lines give the font its height back.
  v.Load(10);
  EXPECT_EQ(v.memo.getLineHeight(), 65535);
}

TEST(StyledMemoDisplay, AFontWithoutWidthPaintsAndScrolls) {
  View v(1, 20, 100, 100);
  v.w.surface.advance.fill(0);
  v.w.surface.metrics.MaxCharWidth = 0;
  v.memo.setWordWrap(false);
  TMemoFont f = v.memo.Font();
  f.Height = -15;  // metrics again, now of a font without width
  v.memo.setFont(f);
  v.memo.setLineHeight(20);
  v.memo.setScrollTime(0);
  v.memo.SetTextBuf(ToBytes("abc\tdef\r\nghi"));
  v.memo.setSelStart(5);
  v.memo.ScrollInView();
  v.Send(WM_HSCROLL, SB_LINEDOWN);
  v.Send(WM_VSCROLL, SB_PAGEDOWN);
  v.memo.Paint(v.w.surface, {0, 0, 100, 100});
  EXPECT_FALSE(v.w.surface.Of(testing::FakeDrawSurface::Op::Text).empty());
}

TEST(StyledMemoDisplay, FocusMakesTheCaretAndDisplayOnlyHidesIt) {
  View v(5, 20, 200, 100);
  v.memo.setSelStart(8);
  v.w.focused = true;
  v.Send(WM_SETFOCUS);
  EXPECT_TRUE(v.w.caretShown);
  EXPECT_EQ(v.w.caretSize, (std::pair<int32_t, int32_t>{1, 20}));
  EXPECT_EQ(v.w.caretPos, (std::pair<int32_t, int32_t>{v.memo.CaretPixel().x, 20}));
  v.memo.setDisplayOnly(true);
  EXPECT_FALSE(v.w.caretShown);
  v.memo.setDisplayOnly(false);
  EXPECT_TRUE(v.w.caretShown);
  v.memo.setCaretWidth(0);  // automatic: height / 14 + 1
  EXPECT_EQ(v.w.caretSize.first, 2);
  v.w.focused = false;
  v.Send(WM_KILLFOCUS);
  EXPECT_FALSE(v.w.caretShown);
  v.memo.setDisplayOnly(true);
  v.w.focused = true;
  v.Send(WM_SETFOCUS);
  EXPECT_FALSE(v.w.caretShown);
}

}  // namespace
}  // namespace vestrel
