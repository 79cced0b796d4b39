// Dynamic styles over ranges, the static toggle codes around the selection, and collapsing
// paragraph blocks and collapsible attribute runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memo/style_codes.h"
#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/paragraph_store_check.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;
using testing::StoreFault;
using testing::Text;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kGreen = 0x00FF00;

// The attribute in effect at a character.
DynInfoRec AttrAt(TStyledMemo& m, int32_t offset) {
  TStyledNavigator n(&m.NavContext());
  n.SetPos(offset);
  n.RightOfDyn();
  return n.GetpDynInfo();
}

bool ActiveAt(TStyledMemo& m, int32_t offset) {
  return AttrAt(m, offset).Flags & kDynActive;
}

struct Memo {
  Memo() {
    m.setUpdateMode(umImmediate);
    m.CreateHandle(w);
    m.setSelText(ToBytes("0123456789abcdefghijklmnopqrstuvwxyz"));
    m.OnChange = [this](TStyledMemo&) { ++changes; };
  }
  RecordingMemoWindow w{400, 100};
  TStyledMemo m;
  int changes = 0;
};

TEST(StyledMemoStyles, SetDynStyleThenClearStyleRangeLeavesNothingActive) {
  Memo t;
  t.w.bands.clear();
  t.m.SetDynStyle(10, 20, kDynBold, false, 7, 0, -1, kRed, false);
  EXPECT_FALSE(t.w.bands.empty());  // repainted
  EXPECT_FALSE(ActiveAt(t.m, 9));
  for (int32_t o = 10; o < 20; ++o) {
    const DynInfoRec a = AttrAt(t.m, o);
    EXPECT_TRUE(a.Flags & kDynActive) << o;
    EXPECT_EQ(a.Flags & 0x3F, kDynBold) << o;
    EXPECT_EQ(a.Foregnd, kRed);
    EXPECT_EQ(a.Context, 7);
    EXPECT_EQ(a.Level, 255);
  }
  EXPECT_FALSE(ActiveAt(t.m, 20));
  t.w.bands.clear();
  t.m.ClearStyleRange(10, 20);
  EXPECT_FALSE(t.w.bands.empty());
  for (int32_t o = 0; o < t.m.getCharCount(); ++o) EXPECT_FALSE(ActiveAt(t.m, o)) << o;
  EXPECT_EQ(t.changes, 0);  // neither is a change of the text
  EXPECT_EQ(StoreFault(t.m.Store()), "");
}

TEST(StyledMemoStyles, EmptyAndReversedRangesChangeNothing) {
  Memo t;
  t.m.SetDynStyle(0, 30, kDynItalic, false, 0, 0, -1, kGreen, false);
  const std::vector<DynInfoRec> before = [&] {
    std::vector<DynInfoRec> v;
    for (int32_t o = 0; o < t.m.getCharCount(); ++o) v.push_back(AttrAt(t.m, o));
    return v;
  }();
  t.m.ClearStyleRange(5, 5);
  t.m.ClearStyleRange(20, 10);  // reversed: it once cleared everything after 20
  t.m.SetDynStyle(25, 15, kDynBold, false, 0, 0, -1, kRed, false);
  for (int32_t o = 0; o < t.m.getCharCount(); ++o) {
    EXPECT_EQ(AttrAt(t.m, o).Flags, before[static_cast<size_t>(o)].Flags) << o;
    EXPECT_EQ(AttrAt(t.m, o).Foregnd, before[static_cast<size_t>(o)].Foregnd) << o;
  }
  EXPECT_EQ(t.changes, 0);
}

// A style laid inside another with no boundary in its range: the text after it goes back to
// the outer style, which was in effect at the stop before anything was removed.
TEST(StyledMemoStyles, TheTextAfterARangeKeepsItsAttribute) {
  Memo t;
  t.m.SetDynStyle(0, 30, kDynItalic, false, 0, 0, -1, kGreen, false);
  t.m.SetDynStyle(10, 20, kDynBold, false, 0, 0, -1, kRed, false);
  EXPECT_EQ(AttrAt(t.m, 5).Foregnd, kGreen);
  EXPECT_EQ(AttrAt(t.m, 15).Foregnd, kRed);
  EXPECT_EQ(AttrAt(t.m, 20).Foregnd, kGreen);
  EXPECT_EQ(AttrAt(t.m, 29).Foregnd, kGreen);
  EXPECT_FALSE(ActiveAt(t.m, 30));
  // Over a boundary: the part after it keeps its own.
  t.m.SetDynStyle(25, 33, kDynUnderline, false, 0, 0, -1, -1, false);
  EXPECT_EQ(AttrAt(t.m, 24).Foregnd, kGreen);
  EXPECT_EQ(AttrAt(t.m, 32).Flags & 0x3F, kDynUnderline);
  EXPECT_FALSE(ActiveAt(t.m, 33));
  // ClearStyle takes the whole run at an offset.
  t.m.ClearStyle(12);
  EXPECT_FALSE(ActiveAt(t.m, 10));
  EXPECT_FALSE(ActiveAt(t.m, 19));
  EXPECT_EQ(AttrAt(t.m, 21).Foregnd, kGreen);
  EXPECT_EQ(StoreFault(t.m.Store()), "");
}

TEST(StyledMemoStyles, SetBoldAtTheCaretLeavesItBetweenTwoCodes) {
  Memo t;
  t.m.setStaticFormat(true);
  t.m.setSelStart(4);
  t.m.SetBold();
  EXPECT_EQ(Text(t.m).substr(0, 7), std::string("0123\x02\x02") + "4");
  EXPECT_EQ(t.m.getSelStart(), 5);
  t.m.setSelText(ToBytes("XY"));
  EXPECT_EQ(Text(t.m).substr(0, 9), std::string("0123\x02XY\x02") + "4");
  EXPECT_TRUE(t.m.getCurrentStyle() & 1);  // bold between the codes
  // Twice in a row: the second takes the empty pair away again.
  t.m.setSelStart(12);
  const std::string before = Text(t.m);
  t.m.SetBold();
  t.m.SetBold();
  EXPECT_EQ(Text(t.m), before);
  EXPECT_EQ(t.m.getSelStart(), 12);
}

TEST(StyledMemoStyles, SetItalicAroundASelectionSelectsItAgainInTheSameDirection) {
  const struct {
    int32_t start, length;
    int32_t selStart, selLength;
  } rows[] = {{2, 3, 2, 5}, {5, -3, 7, -5}};
  for (const auto& r : rows) {
    Memo t;
    t.m.setStaticFormat(true);
    t.m.setSelStart(r.start);
    t.m.setSelLength(r.length);
    t.m.SetItalic();
    EXPECT_EQ(Text(t.m).substr(0, 8), std::string("01\x01") + "234\x01" + "5");
    EXPECT_EQ(t.m.getSelStart(), r.selStart);
    EXPECT_EQ(t.m.SelLength(), r.selLength);
  }
  Memo plain;  // without static codes nothing happens
  plain.m.setSelStart(2);
  plain.m.SetBold();
  EXPECT_EQ(plain.m.getCharCount(), 36);
}

struct Lines {
  explicit Lines(const std::string& text) {
    m.setUpdateMode(umImmediate);
    m.CreateHandle(w);
    m.setSelText(ToBytes(text));
  }
  RecordingMemoWindow w{400, 100};
  TStyledMemo m;
};

TEST(StyledMemoStyles, CollapsingBlocksKeepsTheStoreAndTheLineTotals) {
  Lines t("h\r\na\r\nb\r\nc\r\nd");
  ASSERT_TRUE(t.m.MakeCollapsibleBlock(0, 3));
  ASSERT_TRUE(t.m.MakeCollapsibleBlock(1, 2));
  EXPECT_EQ(t.m.GetBlocksStates(1), (std::vector<bool>{false, false}));
  EXPECT_TRUE(t.m.CollapseBlock(1, 2));
  EXPECT_EQ(t.m.GetBlocksStates(1), (std::vector<bool>{false, true}));
  EXPECT_EQ(t.m.Store().VisibleLineCount, 4);
  EXPECT_NO_THROW(t.m.CheckIntegrity());
  EXPECT_TRUE(t.m.CollapseBlock(0, 1));
  EXPECT_EQ(t.m.Store().VisibleLineCount, 2);
  EXPECT_EQ(t.m.Store().TotalLineCount, 5);
  EXPECT_NO_THROW(t.m.CheckIntegrity());
  t.m.ExpandAll(true, true, false);
  EXPECT_EQ(t.m.Store().VisibleLineCount, 5);
  t.m.CollapseAll(false, true, false);  // level 1 only
  EXPECT_EQ(t.m.Store().VisibleLineCount, 2);
  t.m.setSelStart(0);
  EXPECT_TRUE(t.m.ExpandSel());
  EXPECT_EQ(t.m.Store().VisibleLineCount, 5);
  EXPECT_TRUE(t.m.CollapseSel());
  EXPECT_EQ(t.m.Store().VisibleLineCount, 2);
  EXPECT_NO_THROW(t.m.CheckIntegrity());
  EXPECT_TRUE(t.m.RemoveCollapsibleBlock(0));
  EXPECT_EQ(t.m.Store().VisibleLineCount, t.m.Store().TotalLineCount);
  EXPECT_EQ(StoreFault(t.m.Store()), "");
}

TEST(StyledMemoStyles, ACollapsibleAttributeHidesTheParagraphsOfItsRun) {
  Lines t("head\r\none\r\ntwo\r\nthree\r\ntail");
  t.m.setWordWrap(false);  // runs collapse only on unwrapped, left-aligned lines
  // From "head" to the start of "tail": one, two and three go when it collapses.
  t.m.SetDynStyle(0, t.m.Store()[4].StartOffset, kDynBold, false, 0, 0, -1, -1, true);
  EXPECT_EQ(AttrAt(t.m, 0).CollapseStates & smdCollapsible, smdCollapsible);
  t.m.setSelStart(1);
  ASSERT_TRUE(t.m.CollapseSel());
  EXPECT_EQ(t.m.Store().VisibleLineCount, 2);
  EXPECT_TRUE(t.m.Store()[2].States & smpHidden);
  EXPECT_NO_THROW(t.m.CheckIntegrity());
  EXPECT_EQ(StoreFault(t.m.Store()), "");
  ASSERT_TRUE(t.m.ExpandSel());
  EXPECT_EQ(t.m.Store().VisibleLineCount, 5);
  t.m.CollapseAll(true, false, true);
  EXPECT_EQ(t.m.Store().VisibleLineCount, 2);
  t.m.ExpandAll(true, false, true);
  EXPECT_EQ(t.m.Store().VisibleLineCount, 5);
  // An edit inside a collapsed run shows it first.
  t.m.CollapseAll(true, false, true);
  t.m.setSelStart(t.m.Store()[2].StartOffset);
  t.m.setSelText(ToBytes("x"));
  EXPECT_EQ(t.m.Store().VisibleLineCount, 5);
  EXPECT_NO_THROW(t.m.CheckIntegrity());
  EXPECT_EQ(StoreFault(t.m.Store()), "");
}

class Handler : public IpmCollapseHandler {
 public:
  void AttachMemo(TStyledMemo&, bool attach) override { events.push_back(attach); }
  void DrawLine(TStyledMemo&, DrawSurface&, int32_t line, int32_t, int32_t, int32_t) override {
    drawn.push_back(line);
  }
  std::vector<bool> events;
  std::vector<int32_t> drawn;
};

TEST(StyledMemoStyles, ACollapseHandlerIsAttachedDetachedAndDrawsBesideEachLine) {
  Handler a, b;
  {
    Lines t("one\r\ntwo");
    t.m.setCollpsHandler(&a);
    t.m.setCollpsHandler(&b);
    EXPECT_EQ(a.events, (std::vector<bool>{true, false}));
    testing::FakeDrawSurface dc;
    TMemoPaint paint{&dc, {0, 0, 400, 100}};
    TMemoMessage msg;
    msg.Msg = WM_PAINT;
    msg.WParam = reinterpret_cast<uintptr_t>(&paint);
    t.m.WndProc(msg);
    EXPECT_EQ(b.drawn, (std::vector<int32_t>{0, 1}));
  }
  EXPECT_EQ(b.events, (std::vector<bool>{true, false}));  // the memo went
}

}  // namespace
}  // namespace vestrel
