// Ranges between start and stop texts laid by the memo: within and across paragraphs, to the
// paragraph's end, nested up to level 15, with whole words, and parsed again after edits.
#include <gtest/gtest.h>

#include <string>

#include "memo/styled_memo.h"
#include "support/memo_text.h"

namespace vestrel {
namespace {

struct Parsed {
  Parsed() { m.setWordWrap(false); }
  void Set(const std::string& text) {
    m.setApplyStartStopKeys(false);
    m.SetTextBuf(ToBytes(text));
    m.setApplyStartStopKeys(true);
  }
  void Parse(int32_t from = 0, int32_t to = -1) {
    TStyledNavigator a(&m.NavContext()), b(&m.NavContext());
    a.SetPos(from);
    b.SetPos(to < 0 ? m.getCharCount() : to);
    m.ApplyStartStopKeyListP(a, b);
  }
  // For each character the level of the range over it ('.' none), CR LF left out.
  std::string Levels() {
    std::string out;
    TStyledNavigator n(&m.NavContext());
    const std::string text = testing::Text(m);
    for (int32_t i = 0; i < m.getCharCount(); ++i) {
      if (text[static_cast<size_t>(i)] == '\r' || text[static_cast<size_t>(i)] == '\n') {
        if (text[static_cast<size_t>(i)] == '\n') out += '|';
        continue;
      }
      n.SetPos(i);
      n.RightOfDyn();
      const int lvl = DynToLevel(n.GetpDynInfo());
      out += lvl < 0 ? '.' : "0123456789abcdef"[lvl];
    }
    return out;
  }
  TStyledMemo m;
};

TEST(StyledMemoStartStop, ARangeCoversItsStartAndStopTexts) {
  Parsed p;
  p.m.StartStopKeys().AddStartStopKey(ToBytes("{"), ToBytes("}"), 0, kDynItalic, 1, 0, clNone, 0xFF0000,
                                      false);
  p.Set("a {b c} d {e");
  p.Parse();
  EXPECT_EQ(p.Levels(), "..00000...00");
  TStyledNavigator n(&p.m.NavContext());
  n.SetPos(3);
  n.RightOfDyn();
  EXPECT_EQ(n.GetpDynInfo().Foregnd, 0xFF0000);
  EXPECT_EQ(n.GetpDynInfo().Keys[0], -32768);
  EXPECT_NO_THROW(p.m.CheckIntegrity());
}

TEST(StyledMemoStartStop, RangesRunOnAcrossParagraphsOrStopAtTheirEnd) {
  Parsed p;
  p.m.StartStopKeys().AddStartStopKey(ToBytes("(*"), ToBytes("*)"), 0, 0, 1, 0, clNone, clNone, false);
  p.m.StartStopKeys().AddStartStopKey(ToBytes("//"), ToBytes(""), 0, 0, 2, 0, clNone, clNone, true);
  p.Set("x (* a\r\nb *) c // note\r\nnext");
  p.Parse();
  EXPECT_EQ(p.Levels(), "..0000|0000...0000000|....");
  EXPECT_NO_THROW(p.m.CheckIntegrity());
}

TEST(StyledMemoStartStop, NestingStopsAtLevelFifteen) {
  Parsed p;
  p.m.StartStopKeys().AddStartStopKey(ToBytes("("), ToBytes(")"), 0, 0, 1, 0, clNone, clNone, false);
  p.Set(std::string(17, '(') + "x" + std::string(17, ')'));
  p.Parse();
  // 16 ranges open (levels 0..15); the 17th "(" opens none, and the last ")" closes none.
  EXPECT_EQ(p.Levels(), "0123456789abcdeffffedcba9876543210.");
}

TEST(StyledMemoStartStop, WholeWordKeysAndAnEmptyStartText) {
  Parsed p;
  p.m.StartStopKeys().AddStartStopKey(ToBytes("begin"), ToBytes("end"), woWholeWordsOnly, 0, 1, 0, clNone,
                                      clNone, false);
  p.m.StartStopKeys().AddStartStopKey(ToBytes(""), ToBytes("x"), 0, 0, 1, 0, clNone, clNone, false);
  p.Set("beginning begin bend end.");
  p.Parse();
  EXPECT_EQ(p.Levels(), "..........00000000000000.");
}

TEST(StyledMemoStartStop, AnEditIsParsedAgainAndTheChangeRunsOn) {
  Parsed p;
  p.m.StartStopKeys().AddStartStopKey(ToBytes("{"), ToBytes("}"), 0, 0, 1, 0, clNone, clNone, false);
  p.Set("a {b}\r\nc\r\nd");
  p.Parse();
  EXPECT_EQ(p.Levels(), "..000|.|.");
  // The stop text goes: the range runs on to the end of the text.
  p.m.setSelStart(4);
  p.m.setSelLength(1);
  p.m.setSelText(TByteView());
  p.Parse(4, 4);
  EXPECT_EQ(p.Levels(), "..00|0|0");
  // It comes back: the paragraphs after lose the range again.
  p.m.setSelStart(4);
  p.m.setSelText(ToBytes("}"));
  p.Parse(4, 5);
  EXPECT_EQ(p.Levels(), "..000|.|.");
  EXPECT_NO_THROW(p.m.CheckIntegrity());
}

TEST(StyledMemoStartStop, KeywordsStayOutOfRangesWithAContext) {
  Parsed p;
  p.m.StartStopKeys().AddStartStopKey(ToBytes("\""), ToBytes("\""), 0, 0, 1, 0, clNone, clNone, false);
  p.m.Keywords().AddKeyWord(ToBytes("if"), woWholeWordsOnly, kDynBold, 2, 0, clNone, clNone);
  p.Set("if \"if\" if");
  p.Parse();
  EXPECT_EQ(p.Levels(), "00.0000.00");
  TStyledNavigator n(&p.m.NavContext());
  n.SetPos(4);
  n.RightOfDyn();
  EXPECT_EQ(n.GetpDynInfo().Context, 1);  // the string's, not the keyword's
}

// Without an explicit parse: the text is parsed as it is laid out, an edit at once, edits inside
// an update when it closes.
TEST(StyledMemoStartStop, LayingOutAndEditsParseByThemselves) {
  Parsed p;  // its text set plainly, never parsed by the test
  TStyledMemo& m = p.m;
  m.StartStopKeys().AddStartStopKey(ToBytes("{"), ToBytes("}"), 0, 0, 1, 0, clNone, clNone, false);
  auto levels = [&] { return p.Levels(); };
  m.SetTextBuf(ToBytes("a {b}\r\nc\r\nd"));
  m.FormatNow(0, INT32_MAX, false, false);
  EXPECT_EQ(levels(), "..000|.|.");
  // The stop text goes: the range runs on into the paragraphs after.
  m.setSelStart(4);
  m.setSelLength(1);
  m.setSelText(TByteView());
  EXPECT_EQ(levels(), "..00|0|0");
  // It comes back inside an update: parsed when the update ends.
  m.BeginUpdate();
  m.setSelStart(4);
  m.setSelText(ToBytes("}"));
  m.EndUpdate();
  EXPECT_EQ(levels(), "..000|.|.");
  EXPECT_NO_THROW(m.CheckIntegrity());
}

}  // namespace
}  // namespace vestrel
