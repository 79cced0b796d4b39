// Keyword lists and start/stop key lists: what they keep, their ini lines both ways, the
// highlighter's memo list; and keywords coloured in a memo.
#include "memo/keyword_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memo/memo_errors.h"
#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

TStringList Lines(const std::vector<std::string>& lines) {
  TStringList l;
  for (const std::string& s : lines) l.Add(ToBytes(s));
  return l;
}

std::vector<std::string> Items(TStrings& l) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < l.GetCount(); ++i) out.push_back(ToChars(l.Get(i)));
  return out;
}

TEST(KeywordList, KeepsCompareTextsLengthsAndSummary) {
  TKeywordList l;
  EXPECT_EQ(l.Summary() & 1, 1);
  l.AddKeyWord(ToBytes("Ab"), woMatchCase, 0, 0, 0, clNone, clNone);
  EXPECT_EQ(l.Summary() & 1, 1);
  l.AddKeyWord(ToBytes("long\xe4"), woFirstParWord, 1, 2, 3, 4, 5);
  EXPECT_EQ(l.Summary(), woFirstParWord);
  EXPECT_EQ(l.MaxLength(), 5);
  EXPECT_EQ(ToChars(l.Entry(0).Compare), "Ab");
  EXPECT_EQ(ToChars(l.Entry(1).Compare), "LONG\xe4");  // ASCII rule
  l.setUpperCaseType(smuAnsi);
  EXPECT_EQ(ToChars(l.Entry(1).Compare), "LONG\xc4");
  l.Insert(0, ToBytes("x"));
  EXPECT_EQ(l.KeyInfo(0).Backgnd, clNone);
  EXPECT_EQ(l.KeyInfo(0).Options, 0);
  EXPECT_EQ(ToChars(l.Get(1)), "Ab");
  l.Put(1, ToBytes("abcdefg"));
  EXPECT_EQ(l.MaxLength(), 7);
  l.BeginUpdate();
  l.Delete(1);
  EXPECT_EQ(l.MaxLength(), 7);  // refreshed when the update closes
  l.EndUpdate();
  EXPECT_EQ(l.MaxLength(), 5);
  EXPECT_THROW(l.Delete(5), ERangeError);

  TKeywordList copy;
  copy.Assign(l);
  EXPECT_EQ(copy.GetCount(), 2);
  EXPECT_EQ(copy.KeyInfo(1).Foregnd, 5);
}

TEST(KeywordList, RefusesEntriesBeyondWhatAttributesCanName) {
  TKeywordList l;
  l.BeginUpdate();
  for (int32_t i = 0; i < kMaxKeyEntries; ++i) l.AddKeyWord(ToBytes("k"), 0, 0, 0, 0, clNone, clNone);
  l.EndUpdate();
  EXPECT_THROW(l.AddKeyWord(ToBytes("k"), 0, 0, 0, 0, clNone, clNone), EStyledMemoError);
  EXPECT_THROW(l.Insert(0, ToBytes("k")), EStyledMemoError);
  EXPECT_EQ(l.GetCount(), kMaxKeyEntries);
}

TEST(KeywordList, IniLinesRoundTripAKeywordHoldingAnEqualsSign) {
  TKeywordList l;
  l.AddKeyWord(ToBytes("CQ"), woWholeWordsOnly | woMatchCase, 0x11, 42, -21, 0x00FF00,
               static_cast<TColor>(0x80000008));
  l.AddKeyWord(ToBytes("a=b"), 0, 1, 0, 0, clNone, 7);
  l.AddKeyWord(ToBytes("=="), woStartPar, 0, -1, 5, 1, 2);
  TStringList ini;
  ini.Add(ToBytes("left over"));
  l.SaveToIniStrings(ini);
  EXPECT_EQ(Items(ini)[0], "CQ=3,17,42,-21,65280,-2147483640,0,0,");
  EXPECT_EQ(Items(ini).size(), 3u);

  TKeywordList back;
  back.AddKeyWord(ToBytes("gone"), 0, 0, 0, 0, 0, 0);
  back.LoadFromIniStrings(ini);
  ASSERT_EQ(back.GetCount(), 3);
  for (int32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.Get(i), l.Get(i));
    EXPECT_EQ(back.KeyInfo(i), l.KeyInfo(i));
  }
}

TEST(KeywordList, IniLoadingSkipsLinesWithoutValuesAndStopsAtABadNumber) {
  TKeywordList l;
  TStringList ini =
      Lines({"no equals here", "one=0,0,0,0,$FF,0x10,", "two=1,2,x,4,5,6,", "three=0,0,0,0,0,0,"});
  try {
    l.LoadFromIniStrings(ini);
    ADD_FAILURE() << "loaded";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
  ASSERT_EQ(l.GetCount(), 1);
  EXPECT_EQ(l.KeyInfo(0).Backgnd, 255);
  EXPECT_EQ(l.KeyInfo(0).Foregnd, 16);
  EXPECT_EQ(l.MaxLength(), 3);
  TStringList shortLine = Lines({"k=1,2,3,"});
  EXPECT_THROW(l.LoadFromIniStrings(shortLine), EConvertError);
}

TEST(StartStopKeyList, KeepsLengthsGroupsAndWholeWordTests) {
  TStartStopKeyList l;
  l.AddStartStopKey(ToBytes("{"), ToBytes("}"), 0, 0, 1, 0, clNone, clNone, false);
  l.AddStartStopKey(ToBytes("begin"), ToBytes("end"), woWholeWordsOnly, 1, 2, 0, clNone, clNone, false);
  l.AddStartStopKey(ToBytes("BEGIN"), ToBytes(";"), woWholeWordsOnly, 1, 3, 0, clNone, clNone, false);
  l.AddStartStopKey(ToBytes("//"), ToBytes(""), 0, 0, 4, 0, clNone, clNone, true);
  EXPECT_EQ(l.MaxStartLength(), 5);
  EXPECT_EQ(l.MaxStopLength(), 3);
  EXPECT_EQ(l.Key(2).FirstSame, 1);  // same start compare text and options
  EXPECT_EQ(l.Key(1).FirstSame, -1);
  EXPECT_EQ(l.Key(3).SsOptions, ssoParStop);
  l.Prepare(DefaultDelimiters());
  EXPECT_TRUE(l.Key(1).TestStartBefore && l.Key(1).TestStartAfter && l.Key(1).TestStopBefore);
  EXPECT_FALSE(l.Key(2).TestStopBefore);   // ";" is a delimiter itself
  EXPECT_FALSE(l.Key(0).TestStartBefore);  // no whole-word option
  TStartStopKeyList one;
  one.AddStartStopKey(ToBytes("<"), ToBytes(">"), 0, 0, 0, 0, 0, 0, false);
  EXPECT_EQ(one.MaxStopLength(), 1);
  one.AddStartStopKey(ToBytes("#"), ToBytes(""), 0, 0, 0, 0, 0, 0, true);
  EXPECT_EQ(one.MaxStopLength(), 2);
}

TEST(StartStopKeyList, IniLinesRoundTripAndAStartHoldingABarIsRefused) {
  TStartStopKeyList l;
  l.AddStartStopKey(ToBytes("(*"), ToBytes("*)"), woMatchCase, 2, 9, 3, 0x123456, -5, false);
  l.AddStartStopKey(ToBytes("rem"), ToBytes(""), 0, 0, 1, 0, clNone, clNone, true);
  l.AddStartStopKey(ToBytes("x="), ToBytes("a|b"), 0, 0, 1, 0, clNone, clNone, false);
  TStringList ini;
  l.SaveToIniStrings(ini);
  EXPECT_EQ(Items(ini)[0], "(*|*)=1,2,9,3,1193046,-5,0,0,0,");
  TStartStopKeyList back;
  back.LoadFromIniStrings(ini);
  ASSERT_EQ(back.Count(), 3);
  for (int32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const TStartStopKey &a = l.Key(i), &b = back.Key(i);
    EXPECT_EQ(a.Start, b.Start);
    EXPECT_EQ(a.Stop, b.Stop);
    EXPECT_EQ(a.Options, b.Options);
    EXPECT_EQ(a.Style, b.Style);
    EXPECT_EQ(a.Context, b.Context);
    EXPECT_EQ(a.Cursor, b.Cursor);
    EXPECT_EQ(a.Backgnd, b.Backgnd);
    EXPECT_EQ(a.Foregnd, b.Foregnd);
    EXPECT_EQ(a.SsOptions, b.SsOptions);
  }
  l.AddStartStopKey(ToBytes("a|b"), ToBytes("c"), 0, 0, 0, 0, 0, 0, false);
  try {
    l.SaveToIniStrings(ini);
    ADD_FAILURE() << "saved";
  } catch (const EStyledMemoError& e) {
    EXPECT_NE(std::string(e.what()).find("a|b"), std::string::npos);
  }
  EXPECT_EQ(ini.GetCount(), 3);  // the target is left as it was
  TStringList noBar = Lines({"only=0,0,0,0,0,0,1,"});
  back.LoadFromIniStrings(noBar);
  EXPECT_EQ(ToChars(back.Key(0).Start), "only");
  EXPECT_TRUE(back.Key(0).Stop.empty());
  EXPECT_EQ(back.Key(0).SsOptions, ssoParStop);
}

class CountingHighlighter : public TStyledHighlighter {
 public:
  void ApplyKeywordsList(TStyledMemo&, TStyledNavigator&, TStyledNavigator&, int32_t count) override {
    ++calls;
    lastCount = count;
  }
  int calls = 0, lastCount = -1;
};

TEST(StyledHighlighter, EitherSideGoingLeavesNothingDangling) {
  auto h = std::make_unique<CountingHighlighter>();
  auto m1 = std::make_unique<TStyledMemo>();
  TStyledMemo m2;
  m1->setHighlighter(h.get());
  m2.setHighlighter(h.get());
  EXPECT_EQ(h->Memos().size(), 2u);
  m1.reset();
  EXPECT_EQ(h->Memos().size(), 1u);
  m2.setSelText(ToBytes("text"));  // laid out: the hook colours the paragraph
  EXPECT_EQ(h->calls, 1);
  TStyledNavigator a(&m2.NavContext()), b(&m2.NavContext());
  b.SetPos(4);
  m2.ApplyKeywordsListP(a, b);
  EXPECT_EQ(h->calls, 2);
  EXPECT_EQ(h->lastCount, 0);
  h.reset();
  EXPECT_EQ(m2.Highlighter(), nullptr);
  m2.ApplyKeywordsListP(a, b);
}

// ---- keywords coloured in a memo ----

struct Coloured {
  Coloured() {
    m.CreateHandle(w);
    m.setWordWrap(false);
  }
  // The keyword index laid over each character, '.' where none.
  std::string Marks() {
    std::string out;
    TStyledNavigator n(&m.NavContext());
    for (int32_t i = 0; i < m.getCharCount(); ++i) {
      n.SetPos(i);
      n.RightOfDyn();
      const DynInfoRec& d = n.GetpDynInfo();
      const int lvl = DynToLevel(d);
      out += lvl >= 0 ? static_cast<char>('0' + d.Keys[static_cast<size_t>(lvl)]) : '.';
    }
    return out;
  }
  void Apply(int32_t from, int32_t to) {
    TStyledNavigator a(&m.NavContext()), b(&m.NavContext());
    a.SetPos(from);
    b.SetPos(to);
    m.ApplyKeywordsListP(a, b);
  }
  testing::RecordingMemoWindow w;
  TStyledMemo m;
};

TEST(StyledMemoKeywords, AWholeWordKeywordStandsAloneOrBeforeADelimiter) {
  Coloured c;
  c.m.Keywords().AddKeyWord(ToBytes("de"), woWholeWordsOnly, kDynBold, 1, 0, clNone, 0x0000FF);
  c.m.setSelText(ToBytes("de dex de, ode de"));
  c.Apply(0, c.m.getCharCount());
  EXPECT_EQ(c.Marks(), "00.....00......00");
  // A window cut out of the paragraph: "ode" begins before it, so "de" follows a letter.
  Coloured d;
  d.m.Keywords().AddKeyWord(ToBytes("de"), woWholeWordsOnly, 0, 1, 0, clNone, clNone);
  d.m.setApplyKeyWords(false);
  d.m.setSelText(ToBytes("xxxxxxxxxx ode"));
  d.m.setApplyKeyWords(true);
  d.Apply(14, 14);
  EXPECT_EQ(d.Marks(), "..............");
  EXPECT_NO_THROW(c.m.CheckIntegrity());
}

TEST(StyledMemoKeywords, TheEarlierOfTwoOverlappingKeywordsWins) {
  Coloured c;
  c.m.Keywords().AddKeyWord(ToBytes("abc"), 0, 0, 1, 0, clNone, clNone);
  c.m.Keywords().AddKeyWord(ToBytes("cde"), 0, 0, 1, 0, clNone, clNone);
  c.m.Keywords().AddKeyWord(ToBytes(""), 0, 0, 1, 0, clNone, clNone);  // never matches
  c.m.setSelText(ToBytes("abcde cde"));
  c.Apply(0, 9);
  EXPECT_EQ(c.Marks(), "000...111");
}

TEST(StyledMemoKeywords, CaseFollowsTheKeywordsOptionAndTheMemosUpperCasing) {
  Coloured c;
  c.m.setUpperCaseType(smuAnsi);
  c.m.Keywords().AddKeyWord(ToBytes("qso"), 0, 0, 1, 0, clNone, clNone);
  c.m.Keywords().AddKeyWord(ToBytes("Rx"), woMatchCase, 0, 1, 0, clNone, clNone);
  c.m.Keywords().AddKeyWord(ToBytes("\xe9t\xe9"), 0, 0, 1, 0, clNone, clNone);
  c.m.setSelText(ToBytes("QsO rx Rx \xc9T\xc9"));
  c.Apply(0, c.m.getCharCount());
  EXPECT_EQ(c.Marks(), "000....11.222");
}

TEST(StyledMemoKeywords, ParagraphsAreColouredWhenLaidOutAndAfterEdits) {
  Coloured c;
  c.m.Keywords().AddKeyWord(ToBytes("CQ"), woWholeWordsOnly, kDynBold, 1, 0, clNone, 0x0000FF);
  c.m.setSelText(ToBytes("CQ CQ de x\r\nno CQ"));
  EXPECT_EQ(c.Marks(), "00.00..........00");
  c.m.setSelStart(12);
  c.m.setSelText(ToBytes("CQ "));
  EXPECT_EQ(c.Marks().substr(12), "00....00");
  // Typed on after a keyword, and a keyword broken: the colours follow the text.
  c.m.setSelStart(c.m.getCharCount());
  c.m.setSelText(ToBytes(" x"));
  EXPECT_EQ(c.Marks().substr(12), "00....00..");
  c.m.setSelStart(1);
  c.m.setSelText(ToBytes("-"));
  EXPECT_EQ(c.Marks().substr(0, 6), "....00");
  EXPECT_NO_THROW(c.m.CheckIntegrity());
  EXPECT_NO_THROW(c.m.CheckIntegrity());
}

TEST(StyledMemoKeywords, NestingStopsAtLevelFifteen) {
  Coloured c;
  c.m.Keywords().AddKeyWord(ToBytes("k"), 0, 0, 0, 0, clNone, clNone);
  c.m.setApplyKeyWords(false);
  c.m.setSelText(ToBytes("k k"));
  c.m.setApplyKeyWords(true);
  // Ranges of start/stop keys 0 and 1 (key k - 32768 at their level).
  DynInfoRec deep = testing::Attr(kDynFlag1);
  deep.Level = 15;
  deep.Keys[15] = -32768;
  testing::LayAttr(c.m, 0, 1, deep);
  DynInfoRec shallow = testing::Attr(kDynFlag1);
  shallow.Level = 14;
  shallow.Keys[14] = -32767;
  testing::LayAttr(c.m, 2, 3, shallow);
  c.Apply(0, 3);
  TStyledNavigator n(&c.m.NavContext());
  n.SetPos(0);
  n.RightOfDyn();
  EXPECT_EQ(DynToLevel(n.GetpDynInfo()), 15);  // left as it was
  n.SetPos(2);
  n.RightOfDyn();
  EXPECT_EQ(DynToLevel(n.GetpDynInfo()), 15);
  EXPECT_EQ(n.GetpDynInfo().Keys[14], -32767);
  EXPECT_EQ(n.GetpDynInfo().Keys[15], 0);
}

// Laid again and again over the same text, a keyword of context 0 stays one level deep.
TEST(StyledMemoKeywords, ApplyingAgainNestsNothing) {
  Coloured c;
  c.m.Keywords().AddKeyWord(ToBytes("ab"), 0, 0, 0, 0, clNone, clNone);
  c.m.setSelText(ToBytes("ab ab"));
  for (int i = 0; i < 3; ++i) c.Apply(0, 5);
  TStyledNavigator n(&c.m.NavContext());
  n.SetPos(3);
  n.RightOfDyn();
  EXPECT_EQ(DynToLevel(n.GetpDynInfo()), 0);
  EXPECT_EQ(c.Marks(), "00.00");
}

TEST(StyledMemoKeywords, TextUnderAnAttributeWithAContextIsShielded) {
  Coloured c;
  c.m.Keywords().AddKeyWord(ToBytes("ab"), 0, 0, 3, 0, clNone, clNone);
  c.m.setApplyKeyWords(false);
  c.m.setSelText(ToBytes("ab ab"));
  c.m.setApplyKeyWords(true);
  DynInfoRec link = testing::Attr(kDynUnderline);
  link.Context = 9;
  testing::LayAttr(c.m, 3, 5, link);
  c.Apply(0, 5);
  EXPECT_EQ(c.Marks(), "00...");
}

}  // namespace
}  // namespace vestrel
