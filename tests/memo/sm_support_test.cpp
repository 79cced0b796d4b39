#include "memo/sm_support.h"

#include <gtest/gtest.h>

#include <climits>

#include "memo/byte_stream.h"
#include "memo/paragraphs_list.h"
#include "support/fake_draw_surface.h"

namespace vestrel {
namespace {

using testing::FakeDrawSurface;

TEST(WideStrings, Primitives) {
  const std::u16string abc = u"abc";
  EXPECT_EQ(WideStrComp(u"abc", u"abc"), 0);
  EXPECT_EQ(WideStrComp(u"ab", u"abc"), 1);  // a proper prefix differs
  EXPECT_EQ(WideStrComp(u"abc", u"ab"), 1);
  EXPECT_EQ(WideStrComp(nullptr, u""), 0);
  EXPECT_EQ(WideStrLen(nullptr), 0u);
  EXPECT_EQ(WideStrScan(nullptr, u'a'), nullptr);
  const WideChar* s = u"hello";
  EXPECT_EQ(WideStrScan(s, u'l'), s + 2);
  EXPECT_EQ(WideStrScan(s, u'z'), nullptr);
  EXPECT_EQ(WideStrPos(s, u"llo"), s + 2);
  EXPECT_EQ(WideStrPos(s, u"lol"), nullptr);

  WideChar* buf = WideStrAlloc(10);
  EXPECT_EQ(WideStrBufSize(buf), 10u);
  EXPECT_EQ(WideStrLen(buf), 0u);
  WideStrDispose(buf);
  buf = WideStrAlloc(16);
  WideStrPCopy(buf, u"mixed Case \u00e9");
  WideStrUpper(buf);
  EXPECT_EQ(std::u16string(buf), u"MIXED CASE \u00e9");  // a..z only
  WideStrPCopy(buf, u"");
  EXPECT_EQ(WideStrLen(buf), 0u);
  WideStrDispose(buf);
  WideStrDispose(nullptr);
  WideChar* copy = WideStrNew(nullptr);
  EXPECT_EQ(WideStrLen(copy), 0u);
  WideStrDispose(copy);
  copy = WideStrNew(u"xy");
  EXPECT_EQ(std::u16string(copy), u"xy");
  WideStrDispose(copy);
  EXPECT_EQ(WideStringOfChar(u'-', 3), u"---");
}

TEST(ByteHelpers, ScanUpperAndRect) {
  unsigned char text[] = "ab\xe9z";
  EXPECT_EQ(smStrScan(text, 'z'), text + 3);
  EXPECT_EQ(smStrScan(text, 'q'), nullptr);
  EXPECT_EQ(smStrScan(nullptr, 'a'), nullptr);
  smCharUpper(text);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text)), "AB\xc9Z");
  smCharUpper(nullptr);
  EXPECT_EQ(smUpperChar(0xE0, 1251), 0xC0);  // Cyrillic a
  EXPECT_EQ(smUpperChar(0xB8, 1251), 0xA8);
  EXPECT_EQ(smUpperChar(0xF7, 1252), 0xF7);  // the division sign has no capital
  EXPECT_EQ(smMaxOf(3, -4), 3);
  EXPECT_EQ(smMinOf(3, -4), -4);
  const TRect r = smRect16({-70000, -70000, 70000, 5});
  EXPECT_EQ(r.Left, -32768);
  EXPECT_EQ(r.Right, 32767);
  EXPECT_EQ(r.Top, -70000);
}

TEST(Measuring, GetTextWidthSumsBoundedPieces) {
  FakeDrawSurface dc;
  const TByteString t = ToBytes("abc de");
  EXPECT_EQ(GetTextWidth(dc, t.data(), 6, 4), 5 * 7 + 4);
  EXPECT_LE(dc.maxExtentLen, 4);
  dc.maxExtentLen = 0;
  EXPECT_EQ(GetTextWidth(dc, t.data(), 6, 0), 5 * 7 + 4);  // a chunk of 0 still ends
  EXPECT_EQ(dc.maxExtentLen, 1);
  EXPECT_EQ(GetTextWidth(dc, t.data(), 6, -3), 5 * 7 + 4);
  // A long run of wide glyphs passes 32 bits of pixels: the width saturates, never negative.
  dc.advance.fill(1 << 20);
  const TByteString wide(4096, 'w');  // 2^32 pixels
  EXPECT_EQ(GetTextWidth(dc, wide.data(), 4096, 1000), INT32_MAX);
}

TEST(Measuring, PutTextSkipsFarLeftTextMeasuringOnly) {
  FakeDrawSurface dc;
  const TByteString t(5000, 'a');  // 35000 pixels
  TPoint p{-20000, 30};
  PutText(dc, p, t.data(), 5000, 100, 100, false, 0);
  // Pieces of 100 letters are 700 pixels: six are skipped (-20000 + 6 * 700 = -15800), then
  // drawn until x reaches 100: 23 pieces (-15800 + 23 * 700 = 300).
  ASSERT_EQ(dc.ops.size(), 23u);
  EXPECT_EQ(dc.ops.front().x, -15800);
  EXPECT_EQ(dc.ops.front().y, 30);
  EXPECT_EQ(dc.ops.back().x, -15800 + 22 * 700);
  for (const auto& op : dc.ops) EXPECT_EQ(op.text.size(), 100u);
  EXPECT_LE(dc.maxExtentLen, 100);
  EXPECT_EQ(p.x, 300);
}

TEST(Measuring, PutTextJustifiesBlanksAndNeverLoops) {
  FakeDrawSurface dc;
  const TByteString t = ToBytes("ab cd");
  TPoint p{0, 0};
  PutText(dc, p, t.data(), 5, 100, 1000, true, 5);
  ASSERT_EQ(dc.ops.size(), 3u);
  EXPECT_EQ(dc.ops[0].text, "ab");
  EXPECT_EQ(dc.ops[1].text, " ");
  EXPECT_EQ(dc.ops[1].x, 14);
  EXPECT_EQ(dc.ops[2].x, 14 + 4 + 5);
  EXPECT_EQ(p.x, 23 + 14);
  dc.ops.clear();
  p = {0, 0};
  PutText(dc, p, t.data(), 5, 0, 1000, false, 0);  // chunk 0: one byte at a time
  EXPECT_EQ(dc.ops.size(), 5u);
}

TEST(Drawing, WavyLinePoints) {
  FakeDrawSurface dc;
  WavyLine(dc, 0, 9, 10, 3);
  using Op = FakeDrawSurface::Op;
  const std::vector<std::pair<int, int>> want = {{0, 13}, {3, 10}, {6, 13}, {9, 10}};
  ASSERT_EQ(dc.ops.size(), want.size());
  EXPECT_EQ(dc.ops[0].kind, Op::Move);
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(dc.ops[i].x, want[i].first) << i;
    EXPECT_EQ(dc.ops[i].y, want[i].second) << i;
    if (i) {
      EXPECT_EQ(dc.ops[i].kind, Op::Line);
    }
  }
  dc.ops.clear();
  WavyLine(dc, 0, 10, 10, 3);  // the last segment is cut at x2, still at 45 degrees
  EXPECT_EQ(dc.ops.back().x, 10);
  EXPECT_EQ(dc.ops.back().y, 11);
  dc.ops.clear();
  WavyLine(dc, 0, 4, 10, 0);  // a height of 0 draws with height 1 and ends
  EXPECT_EQ(dc.ops.size(), 5u);
  dc.ops.clear();
  WavyLine(dc, -40000, -32760, 0, 4);
  EXPECT_EQ(dc.ops.front().x, -32768);
  // Heights and positions at the ends of the 32-bit range: every point stays inside the
  // 16-bit drawing range in x, and nothing wraps round (the sanitizer build checks the sums).
  const struct {
    int32_t x1, x2, y, h;
  } extreme[] = {
      {0, 100, INT32_MAX - 5, INT32_MAX}, {32000, 32767, 0, INT32_MAX}, {-32768, 32767, INT32_MIN, 7}};
  for (const auto& c : extreme) {
    dc.ops.clear();
    WavyLine(dc, c.x1, c.x2, c.y, c.h);
    ASSERT_FALSE(dc.ops.empty());
    for (const auto& op : dc.ops) {
      EXPECT_GE(op.x, c.x1);
      EXPECT_LE(op.x, c.x2);
    }
    EXPECT_EQ(dc.ops.back().x, c.x2);
  }
}

TEST(Columns, TabsAndCodes) {
  const TByteString t = ToBytes("ab\tc");
  EXPECT_EQ(OffsetToCol(t, 3, 4, false), 4);
  EXPECT_EQ(OffsetToCol(t, 4, 4, false), 5);
  EXPECT_EQ(ColToOffset(t, 3, 4, false), 2);  // inside the tab
  EXPECT_EQ(ColToOffset(t, 4, 4, false), 3);
  EXPECT_EQ(ColToOffset(t, 9, 4, false), 4);  // past the text: its length
  EXPECT_EQ(ColToExtra(t, 9, 4, false), 4);
  const TByteString tab = ToBytes("\tx");
  EXPECT_EQ(OffsetToCol(tab, 1, 8, false), 8);
  EXPECT_EQ(ColToOffset(tab, 4, 8, false), 0);
  EXPECT_EQ(ColToExtra(tab, 4, 8, false), 4);
  EXPECT_EQ(OffsetToCol(tab, 1, 0, false), 1);  // a tab size of 0 counts as 1
  const TByteString codes = ToBytes(
      "\x02"
      "ab\x15");
  EXPECT_EQ(OffsetToCol(codes, 4, 8, true), 2);
  EXPECT_EQ(OffsetToCol(codes, 4, 8, false), 4);
  EXPECT_EQ(ColToOffset(codes, 0, 8, true), 1);  // the code before 'a' takes no column
  // A byte above 127 is one column, never a code or a tab.
  const TByteString high = ToBytes("\xe9\x89\x95\tx");
  EXPECT_EQ(OffsetToCol(high, 4, 8, true), 8);
  EXPECT_EQ(ColToOffset(high, 2, 8, true), 2);
  // A column left of the text is column 0: no negative padding for a caller to allocate.
  EXPECT_EQ(ColToOffset(t, -5, 4, false), 0);
  EXPECT_EQ(ColToExtra(t, -5, 4, false), 0);
  EXPECT_EQ(ColToExtra(TByteString(), INT32_MIN, 8, false), 0);
  // Tab sizes near the top of the range: three tabs reach 3 * 2^30, past 32 bits. Columns
  // saturate, and a column is still found inside the second tab.
  const TByteString tabs = ToBytes("\t\t\tx");
  EXPECT_EQ(OffsetToCol(tabs, 1, 1 << 30, false), 1 << 30);
  EXPECT_EQ(OffsetToCol(tabs, 3, 1 << 30, false), INT32_MAX);
  EXPECT_EQ(ColToOffset(tabs, (1 << 30) + 5, 1 << 30, false), 1);
  EXPECT_EQ(ColToOffset(tabs, INT32_MAX, 1 << 30, false), 1);  // the second tab ends at 2^31
  EXPECT_EQ(ColToExtra(tabs, (1 << 30) + 5, 1 << 30, false), 5);
}

// A memo as the find sees it: a store, a caret and a selection.
class FindMemo : public TFindTarget {
 public:
  explicit FindMemo(const std::string& text) {
    TMemoryStream m(std::vector<unsigned char>(text.begin(), text.end()));
    TStyledLineBreak lb = psbCRLF;
    pars.LoadFromStream(m, 0, false, lb);
  }
  const TParagraphsList& FindParagraphs() const override { return pars; }
  int32_t FindSelStart() const override { return selStart; }
  void FindSelect(int32_t start, int32_t length) override {
    selStart = start;
    selLength = length;
  }
  const TDelimiters& FindDelimiters() const override { return delims; }
  void FindUpperCase(TByteString& s) const override {
    for (unsigned char& c : s) c = smUpperChar(c);
  }

  TParagraphsList pars;
  TDelimiters delims = DefaultDelimiters();
  int32_t selStart = 0;
  int32_t selLength = 0;
};

TEST(Find, ForwardMovesOnAndSelectsBack) {
  FindMemo m("one two one\r\ntwo one");
  ASSERT_TRUE(FindTextP(m, ToBytes("one"), true, true, false, false));
  EXPECT_EQ(m.selStart, 3);
  EXPECT_EQ(m.selLength, -3);
  ASSERT_TRUE(FindTextP(m, ToBytes("one"), true, true, false, false));
  EXPECT_EQ(m.selStart, 11);
  ASSERT_TRUE(FindTextP(m, ToBytes("one"), true, true, false, false));
  EXPECT_EQ(m.selStart, 20);  // second paragraph starts at 13
  EXPECT_FALSE(FindTextP(m, ToBytes("one"), true, true, false, false));
  EXPECT_EQ(m.selStart, 20);  // no hit leaves the selection
  EXPECT_EQ(m.selLength, -3);
  ASSERT_TRUE(FindTextP(m, ToBytes("one"), true, true, false, true));  // from the start again
  EXPECT_EQ(m.selStart, 3);
}

TEST(Find, BackwardFromBoundaryFindsTheLast) {
  FindMemo m("one two one\r\ntwo one");
  ASSERT_TRUE(FindTextP(m, ToBytes("one"), false, true, false, true));
  EXPECT_EQ(m.selStart, 17);
  EXPECT_EQ(m.selLength, 3);
  ASSERT_TRUE(FindTextP(m, ToBytes("one"), false, true, false, false));
  EXPECT_EQ(m.selStart, 8);
  ASSERT_TRUE(FindTextP(m, ToBytes("one"), false, true, false, false));
  EXPECT_EQ(m.selStart, 0);
  EXPECT_FALSE(FindTextP(m, ToBytes("one"), false, true, false, false));
}

TEST(Find, WholeWordCaseAndBreaks) {
  FindMemo m("Cat concat cat,\r\nab\r\ncd");
  ASSERT_TRUE(FindTextP(m, ToBytes("cat"), true, true, true, false));
  EXPECT_EQ(m.selStart, 14);  // "concat" is no whole word, "Cat" has the wrong case
  m.selStart = 0;
  ASSERT_TRUE(FindTextP(m, ToBytes("cAT"), true, false, true, false));
  EXPECT_EQ(m.selStart, 3);
  ASSERT_TRUE(FindTextP(m, ToBytes("cAT"), true, false, false, false));
  EXPECT_EQ(m.selStart, 10);  // inside "concat"
  m.selStart = 0;
  EXPECT_FALSE(FindTextP(m, ToBytes("b\r\nc"), true, true, false, false));
  EXPECT_FALSE(FindTextP(m, ToBytes("bc"), true, true, false, false));
  EXPECT_FALSE(FindTextP(m, ToBytes("b\r\nc"), false, true, false, true));
  EXPECT_FALSE(FindTextP(m, TByteString(), true, true, false, false));  // nothing to find
  EXPECT_EQ(m.selStart, 0);
}

TEST(Find, EightBitLettersAndDelimiters) {
  // 0xE9 and 0xC9 are one letter in two cases; 0xFF (a small letter whose capital is 0x9F)
  // and 0xA0 are word delimiters here, and tested as typed, not upper-cased.
  FindMemo m("caf\xe9\xff\xc9t\xe9\xa0x");
  m.delims = MakeDelimiters(ToBytes("\xff\xa0 "));
  ASSERT_TRUE(FindTextP(m, ToBytes("CAF\xc9"), true, false, true, false));
  EXPECT_EQ(m.selStart, 4);
  EXPECT_EQ(m.selLength, -4);
  ASSERT_TRUE(FindTextP(m, ToBytes("\xe9t\xc9"), true, false, true, false));
  EXPECT_EQ(m.selStart, 8);
  EXPECT_FALSE(FindTextP(m, ToBytes("\xe9t\xc9"), true, true, true, true));  // case matters
  ASSERT_TRUE(FindTextP(m, ToBytes("x"), false, true, true, true));
  EXPECT_EQ(m.selStart, 9);
}

}  // namespace
}  // namespace vestrel
