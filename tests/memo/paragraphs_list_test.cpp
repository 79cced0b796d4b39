#include "memo/paragraphs_list.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "memo/byte_stream.h"
#include "memo/memo_errors.h"
#include "memo/style_codes.h"
#include "support/paragraph_store_check.h"

namespace vestrel {
namespace {

using testing::StoreFault;
using testing::StoreText;

TMemoryStream StreamOf(const std::string& s) {
  return TMemoryStream(std::vector<unsigned char>(s.begin(), s.end()));
}

TStyledLineBreak Load(TParagraphsList& s, const std::string& text, unsigned char nullChar = 0,
                      bool trim = false) {
  TMemoryStream m = StreamOf(text);
  TStyledLineBreak lb = psbCR;  // left alone when the text has no break
  s.LoadFromStream(m, nullChar, trim, lb);
  return lb;
}

std::vector<std::string> Texts(const TParagraphsList& s) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < s.Count(); ++i) out.push_back(ToChars(s[i].Text));
  return out;
}

std::string Saved(const TParagraphsList& s, bool collapse, bool trim, TStyledLineBreak lb = psbCRLF) {
  TMemoryStream m;
  s.SaveToStream(m, collapse, trim, lb);
  return std::string(m.Data().begin(), m.Data().end());
}

// Gives at most `chunk` bytes per read, so that every byte position is once a block edge.
class TrickleStream : public TMemoryStream {
 public:
  TrickleStream(const std::string& s, size_t chunk)
      : TMemoryStream(std::vector<unsigned char>(s.begin(), s.end())), chunk_(chunk) {}
  size_t Read(void* buf, size_t count) override { return TMemoryStream::Read(buf, std::min(count, chunk_)); }

 private:
  size_t chunk_;
};

// Fails after handing out `good` bytes.
class FailingStream : public TMemoryStream {
 public:
  FailingStream(const std::string& s, size_t good)
      : TMemoryStream(std::vector<unsigned char>(s.begin(), s.end())), good_(good) {}
  size_t Read(void* buf, size_t count) override {
    if (Position() >= static_cast<int64_t>(good_)) throw EStreamError("Stream read error");
    return TMemoryStream::Read(buf, std::min<size_t>(count, good_ - static_cast<size_t>(Position())));
  }

 private:
  size_t good_;
};

TEST(ParagraphsListLoad, TableOfTexts) {
  struct Case {
    std::string text;
    std::vector<std::string> pars;
    int32_t chars;
    TStyledLineBreak lb;
  };
  const Case cases[] = {
      {"", {""}, 0, psbCR},
      {"abc", {"abc"}, 3, psbCR},
      {"a\r\nb", {"a", "b"}, 4, psbCRLF},
      {"a\n\rb", {"a", "b"}, 4, psbLFCR},
      {"a\rb", {"a", "b"}, 4, psbCR},
      {"a\nb", {"a", "b"}, 4, psbLF},
      {"a\r\rb", {"a", "", "b"}, 6, psbCR},
      {"a\n\nb", {"a", "", "b"}, 6, psbLF},
      {"a\r\n\r\nb", {"a", "", "b"}, 6, psbCRLF},
      {"a\r\n", {"a", ""}, 3, psbCRLF},
      {"\r\n", {"", ""}, 2, psbCRLF},
      {"a\r\nb\nc", {"a", "b", "c"}, 7, psbLF},  // the last break met is reported
      {"a\n\r\nb", {"a", "", "b"}, 6, psbLF},    // LF CR pairs first, the LF after it is lone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    TParagraphsList s;
    EXPECT_EQ(Load(s, c.text), c.lb);
    EXPECT_EQ(Texts(s), c.pars);
    EXPECT_EQ(s.CharCount, c.chars);
    EXPECT_EQ(s.TotalLineCount, s.Count());
    EXPECT_EQ(s.LastUnformatted, s.Count() - 1);  // the last paragraph, not one past it
    EXPECT_FALSE(s.TextChanged);
    EXPECT_EQ(StoreFault(s), "");
  }
}

TEST(ParagraphsListLoad, BreakAcrossTheReadBlockIsOneBreak) {
  // 65500 bytes per read: CR is the last byte of the first block, LF the first of the next.
  for (const std::string brk : {"\r\n", "\n\r"}) {
    const std::string text = std::string(65499, 'a') + brk + "b";
    TParagraphsList s;
    EXPECT_EQ(Load(s, text), brk == "\r\n" ? psbCRLF : psbLFCR);
    ASSERT_EQ(s.Count(), 2);
    EXPECT_EQ(s[0].Length(), 65499);
    EXPECT_EQ(ToChars(s[1].Text), "b");
    EXPECT_EQ(s.CharCount, 65499 + 2 + 1);
  }
}

TEST(ParagraphsListLoad, ShortReadsGiveTheSameParagraphs) {
  std::mt19937 rng(7);
  const char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\t', 2};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const int len = static_cast<int>(rng() % 40);
    for (int i = 0; i < len; ++i) text += alphabet[rng() % sizeof(alphabet)];
    TParagraphsList whole, trickled;
    const TStyledLineBreak lb1 = Load(whole, text);
    TrickleStream t(text, 1 + rng() % 3);
    TStyledLineBreak lb2 = psbCR;
    trickled.LoadFromStream(t, 0, false, lb2);
    EXPECT_EQ(Texts(whole), Texts(trickled)) << ::testing::PrintToString(text);
    EXPECT_EQ(lb1, lb2);
    EXPECT_EQ(whole.CharCount, trickled.CharCount);
  }
}

TEST(ParagraphsListLoad, LongParagraphLoadsIntact) {
  std::string big(200000, 'x');
  for (size_t i = 0; i < big.size(); i += 97) big[i] = static_cast<char>('a' + i % 26);
  TParagraphsList s;
  Load(s, "head\r\n" + big + "\r\ntail");
  ASSERT_EQ(s.Count(), 3);
  EXPECT_EQ(ToChars(s[1].Text), big);
  EXPECT_EQ(s[2].StartOffset, 6 + 200000 + 2);
  EXPECT_TRUE(ParNeedsExtra(s[1]));
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListLoad, NullCharReplacesOrEnds) {
  const std::string text("a\0b\r\nc", 6);
  TParagraphsList s;
  Load(s, text, '?');
  EXPECT_EQ(Texts(s), (std::vector<std::string>{"a?b", "c"}));

  TMemoryStream m = StreamOf(text);
  TStyledLineBreak lb = psbCRLF;
  s.LoadFromStream(m, 0, false, lb);
  EXPECT_EQ(Texts(s), (std::vector<std::string>{"a"}));
  EXPECT_EQ(m.Position(), 2);  // after the NUL that ended the text
}

TEST(ParagraphsListLoad, TrimmingDropsBlanksBeforeBreaks) {
  TParagraphsList s;
  Load(s, "a \t\r\n \r\nb  ", 0, true);
  EXPECT_EQ(Texts(s), (std::vector<std::string>{"a", "", "b  "}));
  EXPECT_EQ(s.CharCount, 1 + 2 + 0 + 2 + 3);
}

TEST(ParagraphsListLoad, StaticFormatGivesRunningStartStyles) {
  TParagraphsList s;
  s.StaticFormat = true;
  Load(s,
       "\x02"
       "a\r\nb\x01\r\nc\x02\x15\r\nd");
  EXPECT_EQ(GetStartAttrib(s[0]), 0);
  EXPECT_EQ(GetStartAttrib(s[1]), kStyleBold);
  EXPECT_EQ(GetStartAttrib(s[2]), kStyleBold | kStyleItalic);
  EXPECT_EQ(GetStartAttrib(s[3]), kStyleItalic | kStyleUnderline);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListLoad, FailedLoadLeavesASoundStore) {
  {
    TParagraphsList s;
    FailingStream f("abc\r\ndef\r\ngh", 7);
    TStyledLineBreak lb = psbCRLF;
    EXPECT_THROW(s.LoadFromStream(f, 0, false, lb), EStreamError);
    EXPECT_EQ(Texts(s), (std::vector<std::string>{"abc", "de"}));  // what was read is kept
    EXPECT_EQ(s.CharCount, 7);
    EXPECT_EQ(s.LastModPar, 1);
    EXPECT_EQ(s.TotalLineCount, 2);
    EXPECT_EQ(StoreFault(s), "");
  }
  {
    TParagraphsList s;
    Load(s, "one\r\ntwo\r\nthree");
    FailingStream f("xyz", 0);
    TStyledLineBreak lb = psbCRLF;
    EXPECT_THROW(s.LoadFromStream(f, 0, false, lb), EStreamError);
    EXPECT_EQ(Texts(s), (std::vector<std::string>{""}));
    EXPECT_EQ(s.CharCount, 0);
    EXPECT_EQ(StoreFault(s), "");
    s.InsertBuf(ToBytes("ok"), 0, 0, false, false);  // and it edits normally
    EXPECT_EQ(Texts(s), (std::vector<std::string>{"ok"}));
  }
}

TEST(ParagraphsListSave, BreaksCodePairsAndTrimming) {
  TParagraphsList s;
  s.StaticFormat = true;
  Load(s, "x\x02\x02y\r\nx\x02\x01\x02y\r\nx\x02y\x02\r\nz \t");
  EXPECT_EQ(Saved(s, true, false), "xy\r\nx\x01y\r\nx\x02y\x02\r\nz \t");
  EXPECT_EQ(Saved(s, false, false), "x\x02\x02y\r\nx\x02\x01\x02y\r\nx\x02y\x02\r\nz \t");
  EXPECT_EQ(Saved(s, true, true, psbLF), "xy\nx\x01y\nx\x02y\x02\nz");
  EXPECT_EQ(Saved(s, true, false, psbLFCR).substr(0, 4), "xy\n\r");
  EXPECT_EQ(Saved(s, true, false, psbCR).substr(0, 3), "xy\r");
  // Pairs cancel only under static format: the bytes are plain text without it.
  s.StaticFormat = false;
  EXPECT_EQ(Saved(s, true, false).substr(0, 4), "x\x02\x02y");
  // Saving never changes the store.
  EXPECT_EQ(s[0].Length(), 4);
}

TEST(ParagraphsListProgress, LoadReportsEvery16ParagraphsSaveAtTheEnd) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "p\r\n";  // 101 paragraphs
  TMemoryStream m = StreamOf(text);
  TParagraphsList s;
  TStyledLineBreak lb = psbCR;
  std::vector<int32_t> seen;
  s.LoadFromStream(
      m, 0, false, lb, [&](TParagraphsList& l) { seen.push_back(l.Count()); }, 0);
  EXPECT_EQ(seen, (std::vector<int32_t>{16, 32, 48, 64, 80, 96}));
  int calls = 0;
  TMemoryStream out;
  s.SaveToStream(
      out, false, false, psbCRLF, [&](TParagraphsList&) { ++calls; }, 1000000);
  EXPECT_EQ(calls, 1);  // the interval never passed: only the closing call
}

TEST(ParagraphsListSave, LoadSaveRoundTripKeepsBytes) {
  std::string text;
  for (int c = 0; c < 256; ++c)
    if (c != 0 && c != '\r' && c != '\n') text += static_cast<char>(c);
  text = text + "\r\n" + text + "\r\n";
  TParagraphsList s;
  Load(s, text);
  EXPECT_EQ(Saved(s, false, false), text);
}

TEST(ParagraphsListInsert, BreakSplitsAParagraphAndShiftsTheRest) {
  TParagraphsList s;
  Load(s, "abcd\r\nef\r\ngh");
  const auto r = s.InsertBuf(ToBytes("\r\n"), 2, 2, false, false);
  EXPECT_EQ(Texts(s), (std::vector<std::string>{"ab", "cd", "ef", "gh"}));
  EXPECT_EQ(r.CharsDelta, 2);
  EXPECT_EQ(r.ParsDelta, 1);
  EXPECT_EQ(r.LinesDelta, 1);
  EXPECT_EQ(r.StopPos, 4);
  EXPECT_EQ(r.StopPar, 1);
  EXPECT_EQ(s.CharCount, 14);
  EXPECT_EQ(s[2].StartOffset, 8);
  EXPECT_EQ(s[3].StartOffset, 12);
  EXPECT_TRUE(s.TextChanged);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListInsert, ShiftReachesAcrossTheOldChunkEdge) {
  TParagraphsList s;
  std::string text;
  for (int i = 0; i < 4000; ++i) text += "p\r\n";
  Load(s, text);
  s.InsertBuf(ToBytes("xyz"), 0, 0, false, false);
  EXPECT_EQ(s[1819].StartOffset, 3 + 1819 * 3);
  EXPECT_EQ(s[1820].StartOffset, 3 + 1820 * 3);
  EXPECT_EQ(s[4000].StartOffset, 3 + 4000 * 3);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListInsert, OffsetBetweenCrAndLfIsTheParagraphEnd) {
  TParagraphsList s;
  Load(s, "ab\r\ncd");
  s.InsertBuf(ToBytes("X"), 3, 3, false, false);
  EXPECT_EQ(Texts(s), (std::vector<std::string>{"abX", "cd"}));
  s.InsertBuf(ToBytes(""), 1, 4, false, false);  // from inside "abX" to the LF half: the end of it
  EXPECT_EQ(Texts(s), (std::vector<std::string>{"a", "cd"}));
  s.InsertBuf(ToBytes("Q"), 100, -5, false, false);  // clamped, either order: the whole text
  EXPECT_EQ(Texts(s), (std::vector<std::string>{"Q"}));
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListInsert, EmptyEditChangesNothing) {
  TParagraphsList s;
  Load(s, "ab\r\ncd");
  const auto r = s.InsertBuf(TByteView(), 3, 3, false, true);
  EXPECT_FALSE(s.TextChanged);
  EXPECT_EQ(r.StopPos, 2);  // the LF half counts as the paragraph end
  EXPECT_EQ(r.CharsDelta, 0);
  EXPECT_EQ(s.LastModPar, 1);  // as the load left it
}

TEST(ParagraphsListInsert, TooLongChangesNothing) {
  TParagraphsList s;
  Load(s, "abc\r\ndef");
  s.MaxTextLength = 12;
  const auto before = Texts(s);
  const int32_t lastMod = s.LastModPar;
  EXPECT_THROW(s.InsertBuf(ToBytes("1\r\n2\r\n3"), 1, 1, false, false), EStyledMemoError);
  try {
    s.InsertBuf(ToBytes("123456"), 0, 0, false, false);
  } catch (const EStyledMemoError& e) {
    EXPECT_STREQ(e.what(), "Text too long");
  }
  EXPECT_EQ(Texts(s), before);
  EXPECT_EQ(s.Count(), 2);
  EXPECT_EQ(s.LastModPar, lastMod);
  EXPECT_FALSE(s.TextChanged);
  EXPECT_EQ(StoreFault(s), "");
  s.InsertBuf(ToBytes("1234"), 0, 0, false, false);  // 12 fits
  EXPECT_EQ(s.CharCount, 12);
}

TEST(ParagraphsListInsert, InsertedCodesKeepTheStyleAfterTheEdit) {
  TParagraphsList s;
  s.StaticFormat = true;
  Load(s,
       "a\x02"
       "bc\x02"
       "d\r\ne");
  // Deleting "bc\x02" would leave d bold; with InsertCodes a bold code goes after "X".
  s.InsertBuf(ToBytes("X\x01"), 2, 5, false, true);
  EXPECT_EQ(ToChars(s[0].Text),
            "a\x02X\x01\x01\x02"
            "d");
  EXPECT_EQ(GetStartAttrib(s[1]), 0);
  EXPECT_EQ(StoreFault(s), "");
  // Without InsertCodes the following paragraphs take the changed style.
  s.InsertBuf(ToBytes("\x15"), 0, 0, false, false);
  EXPECT_EQ(GetStartAttrib(s[1]), kStyleUnderline);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListInsert, TrimmingDropsBlanksBeforeNewBreaks) {
  TParagraphsList s;
  Load(s, "ab  ");
  s.InsertBuf(ToBytes(" \r\nc \t\r\nd "), 4, 4, true, false);
  EXPECT_EQ(Texts(s), (std::vector<std::string>{"ab", "c", "d "}));
  EXPECT_EQ(s.CharCount, 2 + 2 + 1 + 2 + 2);
  EXPECT_EQ(StoreFault(s), "");
  // The blanks before the start go only when the edit runs to the end of its paragraph.
  const struct {
    std::string text, buf;
    int32_t start, stop;
    std::vector<std::string> pars;
    int32_t startPos, stopPos;
  } cases[] = {
      {"ab \t", "\r\n", 4, 4, {"ab", ""}, 2, 4},               // Enter at the end
      {"ab  cd", "\r\n", 4, 4, {"ab  ", "cd"}, 4, 6},          // Enter inside the text
      {"ab  cd", "\r\n", 4, 6, {"ab", ""}, 2, 4},              // replacing the rest of it
      {"ab  cd\r\nef", "\r\n", 4, 7, {"ab", "", "ef"}, 2, 4},  // to the LF half: the end
      {"ab  cd\r\nef", "\r\n", 4, 9, {"ab  ", "f"}, 4, 6},     // into the next paragraph
      {"ab  ", "x\r\n", 4, 4, {"ab  x", ""}, 4, 7},            // the first new one is not blank
      {"ab  ", "  ", 4, 4, {"ab    "}, 4, 6},                  // no break: nothing trimmed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.text) + " @" + std::to_string(c.start));
    TParagraphsList t;
    Load(t, c.text);
    const auto r = t.InsertBuf(ToBytes(c.buf), c.start, c.stop, true, false);
    EXPECT_EQ(Texts(t), c.pars);
    EXPECT_EQ(r.StartPos, c.startPos);
    EXPECT_EQ(r.StopPos, c.stopPos);
    EXPECT_EQ(StoreFault(t), "");
  }
}

// A paragraph broken into lines at the given starts, as the line breaker would leave it.
void SetLines(TParagraphsList& s, int32_t par, const std::vector<int32_t>& starts) {
  ParInfo& p = s[par];
  const int32_t old = GetLineCount(p);
  std::vector<LineInfo> lines;
  uint8_t style = p.Line0.StartStyle;
  int32_t walked = 0;
  for (size_t k = 0; k < starts.size(); ++k) {
    LineInfo l;
    l.Start = starts[k];
    l.Stop = k + 1 < starts.size() ? starts[k + 1] : p.Length();
    l.JustifyFrom = k + 1 < starts.size() ? l.Start : l.Stop;
    for (; walked < l.Start; ++walked) XORStyleCode(style, p.Text[static_cast<size_t>(walked)]);
    l.StartStyle = s.StaticFormat ? style : 0;
    const auto& d = GetDynArray(p);
    l.StartDyn =
        static_cast<int32_t>(std::count_if(d.begin(), d.end(), [&](auto& x) { return x.Start < l.Start; }));
    lines.push_back(l);
  }
  p.Line0 = lines[0];
  p.Lines.assign(lines.begin() + 1, lines.end());
  const int32_t delta = GetLineCount(p) - old;
  s.TotalLineCount += delta;
  if (!(p.States & smpHidden)) {
    s.VisibleLineCount += delta;
    s.UpdateLines(par + 1, delta);
  }
}

void AddDyn(TParagraphsList& s, int32_t par, int32_t start, int32_t context) {
  std::vector<DynInfoRec> d = GetDynArray(s[par]);
  DynInfoRec r;
  r.Start = start;
  r.Flags = kDynActive | kDynBold;
  r.Context = context;
  d.insert(std::upper_bound(d.begin(), d.end(), start, [](int32_t v, auto& x) { return v < x.Start; }), r);
  SetParDyns(s[par], std::move(d));
  for (int32_t l = 0; l < GetLineCount(s[par]); ++l) {
    LineInfo& li = GetLine(s[par], l);
    const auto& dd = GetDynArray(s[par]);
    li.StartDyn = static_cast<int32_t>(
        std::count_if(dd.begin(), dd.end(), [&](auto& x) { return x.Start < li.Start; }));
  }
}

TEST(ParagraphsListInsert, LinesStayInsideTheParagraphAfterADeletion) {
  TParagraphsList s;
  Load(s, "aaaaaaaaaabbbbbbbbbbcccccccccc\r\nnext");
  SetLines(s, 0, {0, 10, 20});
  s.InsertBuf(ToBytes(""), 5, 25, false, false);  // delta -20 across two line starts
  const ParInfo& p = s[0];
  EXPECT_EQ(ToChars(p.Text), "aaaaaccccc");
  for (int32_t l = 0; l < GetLineCount(p); ++l) {
    EXPECT_GE(GetLine(p, l).Start, 0);
    EXPECT_LE(GetLine(p, l).Stop, p.Length());
  }
  EXPECT_EQ(GetLineCount(p), 2);  // the middle line lost all its text
  EXPECT_EQ(GetLine(p, 1).Start, 5);
  EXPECT_EQ(s[1].FirstLine, 2);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListInsert, DeletingTheFirstLineKeepsTheParagraphsStartStyle) {
  TParagraphsList s;
  s.StaticFormat = true;
  Load(s,
       "\x02"
       "ab cd ef");
  SetLines(s, 0, {0, 4, 7});                     // the second line starts bold
  s.InsertBuf(ToBytes(""), 0, 4, false, false);  // the first line and its code go
  EXPECT_EQ(GetStartAttrib(s[0]), 0);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListInsert, LinesStayShiftedOnlyWhileTheStyleAfterTheEditStays) {
  TParagraphsList s;
  s.StaticFormat = true;
  Load(s, "aaaa bbbb cccc\r\nnext\r\nlast");
  SetLines(s, 0, {0, 5, 10});
  const auto shiftedBy = [&](const std::string& text, int32_t from, int32_t to, bool insertCodes) {
    s.InsertBuf(ToBytes(text), from, to, false, insertCodes);
    return s.LinesShifted;
  };
  EXPECT_TRUE(shiftedBy("x", 6, 6, false));
  EXPECT_TRUE(shiftedBy("\x02", 6, 6, true));  // the code that closes it goes in too
  s[2].States |= smpFormatted;
  EXPECT_FALSE(shiftedBy("\x02", 6, 6, false));
  // Every later paragraph is drawn in another style now: modified and not formatted.
  EXPECT_EQ(s.LastModPar, 2);
  EXPECT_EQ(s.LastUnformatted, 2);
  EXPECT_FALSE(s[2].States & smpFormatted);
  // Taking an attribute away changes the one in effect after the edit.
  ASSERT_EQ(ToChars(s[0].Text), "aaaa b\x02\x02\x02xbbb cccc");
  DynInfoRec bold;
  bold.Start = 11;
  bold.Flags = kDynActive | kDynBold;
  SetParDyns(s[0], {bold});
  SetLines(s, 0, {0, 5, 10});
  EXPECT_TRUE(shiftedBy("y", 12, 13, false));
  EXPECT_FALSE(shiftedBy("", 10, 12, false));
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListInsert, AttributesShiftDropAndLeaveNoStaleLineCounts) {
  TParagraphsList s;
  Load(s, "0123456789abcdefghij\r\nxy");
  AddDyn(s, 0, 3, 1);
  AddDyn(s, 0, 8, 2);
  AddDyn(s, 0, 15, 3);
  SetLines(s, 0, {0, 10});  // line 1 starts after two attributes
  auto r = s.InsertBuf(ToBytes("--"), 1, 1, false, false);
  EXPECT_FALSE(r.StylesChanged);
  EXPECT_EQ(GetDynArray(s[0])[0].Start, 5);
  r = s.InsertBuf(ToBytes(""), 4, 11, false, false);  // takes the attributes at 5 and 10
  EXPECT_TRUE(r.StylesChanged);
  ASSERT_EQ(GetDynCount(s[0]), 1);
  EXPECT_EQ(GetDynArray(s[0])[0].Context, 3);
  EXPECT_EQ(GetDynArray(s[0])[0].Start, 10);
  EXPECT_EQ(StoreFault(s), "");  // line starts count only the attributes left
  // Joining paragraphs keeps the attributes of both sides in order.
  AddDyn(s, 1, 1, 4);
  r = s.InsertBuf(ToBytes(""), s[0].Length(), s[1].StartOffset, false, false);
  ASSERT_EQ(GetDynCount(s[0]), 2);
  EXPECT_EQ(GetDynArray(s[0])[1].Start, s[0].Length() - 1);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListInsert, NewParagraphsTakeTheAttributeInEffect) {
  TParagraphsList s;
  Load(s, "abcdef");
  AddDyn(s, 0, 2, 9);
  s.InsertBuf(ToBytes("1\r\n2\r\n3"), 4, 4, false, false);
  ASSERT_EQ(s.Count(), 3);
  EXPECT_EQ(GetStartDynAttrib(s[1]).Context, 9);
  EXPECT_EQ(GetStartDynAttrib(s[2]).Context, 9);
  EXPECT_EQ(GetStartDynAttrib(s[0]).Flags, 0);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListBookkeeping, ExtendModsUnformattedAndCleanUp) {
  TParagraphsList s;
  Load(s, "a\r\nb\r\nc\r\nd");
  s.FirstModPar = s.Count();
  s.LastModPar = -1;
  s.ParsedUpTo = 3;
  s.ExtendMods(2, 0, 2);
  EXPECT_EQ(s.FirstModPar, 2);
  EXPECT_EQ(s.FirstModLine, 2);
  EXPECT_EQ(s.LastModPar, 2);
  EXPECT_EQ(s.ParsedUpTo, 1);
  s.ExtendMods(1, 0, 3);
  EXPECT_EQ(s.FirstModPar, 1);
  EXPECT_EQ(s.FirstModLine, 1);
  EXPECT_EQ(s.LastModPar, 3);
  s[1].States |= smpFormatted;
  s.MarkUnformatted();
  EXPECT_FALSE(s[1].States & smpFormatted);
  EXPECT_EQ(s.LastUnformatted, 3);
  s.CleanUp();
  EXPECT_EQ(s.Count(), 0);
  EXPECT_EQ(s.CharCount, 0);
  EXPECT_EQ(s.LastUnformatted, -1);
  EXPECT_THROW(s[0], ERangeError);
}

TEST(ParagraphsListRecords, CompactFormLimitsAndColours) {
  TParagraphsList s;
  Load(s, std::string(65534, 'a') + "\r\n" + std::string(65535, 'b'));
  EXPECT_FALSE(ParNeedsExtra(s[0]));
  EXPECT_TRUE(ParNeedsExtra(s[1]));
  smsSetParBackgnd(s[0], clNone);
  smsSetParForegnd(s[0], -1);
  EXPECT_FALSE(s[0].Extra);
  EXPECT_EQ(smsGetParBackgnd(s[0]), -1);
  smsSetParBackgnd(s[0], 0x00FF00);
  EXPECT_EQ(smsGetParBackgnd(s[0]), 0x00FF00);
  EXPECT_TRUE(ParNeedsExtra(s[0]));
  EXPECT_THROW(GetLine(s[0], 1), ERangeError);
  try {
    s[2];
  } catch (const ERangeError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds");
  }
}

TEST(ParagraphsListRecords, StartAttributesAreSharedOrCopied) {
  ParInfo a, b;
  auto rec = std::make_shared<DynInfoRec>();
  rec->Flags = kDynActive;
  rec->Context = 5;
  SetStartDynAttrib(a, rec, false);
  SetStartDynAttrib(b, rec, true);
  EXPECT_EQ(&GetStartDynAttrib(a), rec.get());
  EXPECT_NE(&GetStartDynAttrib(b), rec.get());
  EXPECT_EQ(GetStartDynAttrib(b).Context, 5);
  auto inactive = std::make_shared<DynInfoRec>();
  SetStartDynAttrib(a, inactive, false);
  EXPECT_EQ(&GetStartDynAttrib(a), &EmptyDynInfo());
  SetStartDynAttrib(a, nullptr, false);
  EXPECT_EQ(&GetStartDynAttrib(a), &EmptyDynInfo());
}

TEST(ParagraphsListBlocks, CollapseExpandAndRemove) {
  TParagraphsList s;
  Load(s, "h\r\na\r\nb\r\nc\r\nd");
  SetLines(s, 1, {0, 1});  // an empty second line, so that line counts differ
  ASSERT_TRUE(s.MakeCollapsibleBlock(0, 3));
  ASSERT_TRUE(s.MakeCollapsibleBlock(1, 2));
  EXPECT_EQ(smsGetParLevel(s[1]), 2);
  EXPECT_EQ(smsGetParBlockStartLevel(s[1]), 1);
  EXPECT_EQ(smsGetParBlockEndLevel(s[3]), 0);
  EXPECT_EQ(StoreFault(s), "");

  EXPECT_FALSE(s.CollapseExpandBlock(1, 1, true));  // paragraph 1 heads level 2 only
  EXPECT_TRUE(s.CollapseExpandBlock(0, 1, true));
  EXPECT_EQ(s.VisibleLineCount, 2);  // h and d
  EXPECT_TRUE(s[1].States & smpHidden);
  EXPECT_EQ(s[4].FirstLine, 1);
  EXPECT_EQ(StoreFault(s), "");
  EXPECT_TRUE(s.CollapseExpandBlock(1, 2, true));  // the inner block, while hidden
  EXPECT_TRUE(s.CollapseExpandBlock(0, 1, false));
  EXPECT_FALSE(s[1].States & smpHidden);  // the inner head shows, its body stays hidden
  EXPECT_TRUE(s[2].States & smpHidden);
  EXPECT_FALSE(s[3].States & smpHidden);
  EXPECT_EQ(StoreFault(s), "");

  // An edit inside a collapsed block opens it first.
  s.InsertBuf(ToBytes("Z"), s[2].StartOffset, s[2].StartOffset, false, false);
  EXPECT_FALSE(s[2].States & smpHidden);
  EXPECT_EQ(s.VisibleLineCount, 6);
  EXPECT_EQ(StoreFault(s), "");

  EXPECT_TRUE(s.CollapseExpandPar(2, 1, 2, true));
  EXPECT_TRUE(s.RemoveCollapsibleBlock(2));  // the inner one goes, its paragraphs show again
  EXPECT_EQ(smsGetParLevel(s[2]), 1);
  EXPECT_EQ(StoreFault(s), "");
  EXPECT_TRUE(s.RemoveCollapsibleBlock(2));
  for (int32_t i = 0; i < s.Count(); ++i) EXPECT_EQ(s[i].Blocks & ~smbCollapsed, 0) << i;
  s.ExpandAllLevels(0);
  EXPECT_EQ(s.VisibleLineCount, s.TotalLineCount);
  EXPECT_EQ(StoreFault(s), "");
}

TEST(ParagraphsListBlocks, EditsAcrossBlockEdgesKeepLevelsConsistent) {
  TParagraphsList s;
  Load(s, "0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6");
  s.MakeCollapsibleBlock(1, 3);
  s.MakeCollapsibleBlock(4, 5);
  s.CollapseExpandBlock(4, 1, true);
  // From before the first block into the collapsed second one.
  s.InsertBuf(ToBytes("x\r\ny"), s[0].StartOffset + 1, s[5].StartOffset, false, false);
  EXPECT_EQ(StoreFault(s), "");
  EXPECT_EQ(StoreText(s), ToBytes("0x\r\ny5\r\n6"));
  EXPECT_EQ(s.VisibleLineCount, s.TotalLineCount);
}

// Thousands of random edits on the store and on a plain string with CR LF breaks, with and
// without static format and trimming.
class InsertBufMirror : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(InsertBufMirror, AgreesWithAPlainString) {
  const auto [staticFormat, trim] = GetParam();
  std::mt19937 rng((staticFormat ? 11 : 5) + (trim ? 100 : 0));
  TParagraphsList s;
  s.StaticFormat = staticFormat;
  Load(s, "start\r\nof the\r\ntext");
  TByteString mirror = ToBytes("start\r\nof the\r\ntext");
  const unsigned char alphabet[] = {'a', 'b', ' ', '\t', 'z', '\r', '\n', 2, 1, 21, 3, 4, 0xE9};
  const char* pairs[] = {"\r\n", "\n\r", "\r\r", "\n\n"};
  int32_t maxPars = 0;
  auto validPos = [&](size_t pos) {
    if (pos > 0 && pos < mirror.size() && mirror[pos - 1] == '\r' && mirror[pos] == '\n') --pos;
    return static_cast<int32_t>(pos);
  };
  for (int step = 0; step < 20000; ++step) {
    SCOPED_TRACE(step);
    // Now and then give the store what the formatter and the highlighter would have made.
    const int32_t par = static_cast<int32_t>(rng() % static_cast<unsigned>(s.Count()));
    const int32_t len = s[par].Length();
    switch (rng() % 16) {
      case 0:
        if (len > 2) SetLines(s, par, {0, 1 + static_cast<int32_t>(rng() % static_cast<unsigned>(len - 1))});
        break;
      case 1:
        AddDyn(s, par, static_cast<int32_t>(rng() % static_cast<unsigned>(len + 1)), step);
        break;
      case 2:
        if (s.Count() > 2) {
          const int32_t a = static_cast<int32_t>(rng() % static_cast<unsigned>(s.Count()));
          s.MakeCollapsibleBlock(a, std::min(s.Count() - 1, a + static_cast<int32_t>(rng() % 3)));
        }
        break;
      case 3:
        s.CollapseExpandPar(par, 1, 1 + static_cast<int>(rng() % 3), true);
        break;
      default:
        break;
    }
    // Mostly typing and short deletions, sometimes a long range, so the text grows to many
    // paragraphs and is cut back now and then.
    size_t a = rng() % (mirror.size() + 1), b = a;
    const unsigned kind = rng() % 10;
    if (kind >= 5 && kind < 9) b = std::min(mirror.size(), a + rng() % 6);
    if (kind == 9) b = rng() % (mirror.size() + 1);
    const int32_t origStart = validPos(std::min(a, b));
    int32_t start = origStart;  // where the edit begins after trimming
    const int32_t stop = validPos(std::max(a, b));
    TByteString buf;
    const int blen = static_cast<int>(rng() % 10);
    for (int i = 0; i < blen; ++i) {
      if (rng() % 8 == 0)
        buf += ToBytes(pairs[rng() % 4]);
      else
        buf.push_back(alphabet[rng() % sizeof(alphabet)]);
    }
    const bool insertCodes = rng() % 2;

    // Mirror: every break of buf becomes CR LF; trimming drops the blanks before each new
    // break, and before the start too when buf begins with a break and the edit runs to a
    // paragraph end; codes to restore the style go after it.
    std::vector<TByteString> pieces(1);
    for (size_t i = 0; i < buf.size(); ++i) {
      const unsigned char c = buf[i];
      if (c == '\r' || c == '\n') {
        if (i + 1 < buf.size() && buf[i + 1] == (c == '\r' ? '\n' : '\r')) ++i;
        pieces.emplace_back();
      } else {
        pieces.back().push_back(c);
      }
    }
    auto blank = [](unsigned char c) { return c == ' ' || c == '\t'; };
    if (trim) {
      for (size_t k = 0; k + 1 < pieces.size(); ++k)
        while (!pieces[k].empty() && blank(pieces[k].back())) pieces[k].pop_back();
      const bool atEnd =
          static_cast<size_t>(stop) == mirror.size() || mirror[static_cast<size_t>(stop)] == '\r';
      if (pieces.size() > 1 && pieces[0].empty() && atEnd)
        while (start > 0 && blank(mirror[static_cast<size_t>(start - 1)])) --start;
    }
    TByteString ins;
    for (size_t k = 0; k < pieces.size(); ++k) ins += (k ? ToBytes("\r\n") : TByteString()) + pieces[k];
    if (staticFormat && insertCodes)
      ins += CodesForToggles(StyleToggles(ins) ^ StyleToggles(TByteView(mirror).substr(start, stop - start)));
    mirror = mirror.substr(0, start) + ins + mirror.substr(stop);

    const auto r = s.InsertBuf(buf, origStart, stop, trim, insertCodes);
    ASSERT_EQ(r.StartPos, start);
    ASSERT_EQ(r.StopPos, start + static_cast<int32_t>(ins.size()));
    ASSERT_EQ(s.CharCount, static_cast<int32_t>(mirror.size()));
    ASSERT_EQ(StoreText(s), mirror);
    ASSERT_EQ(StoreFault(s), "");
    maxPars = std::max(maxPars, s.Count());
    if (mirror.size() > 3000) {
      const int32_t cut = validPos(2000);
      s.InsertBuf(TByteView(), 0, cut, false, false);
      mirror = mirror.substr(static_cast<size_t>(cut));
      ASSERT_EQ(StoreText(s), mirror);
      ASSERT_EQ(StoreFault(s), "");
    }
  }
  EXPECT_GT(maxPars, 100);  // the walk reached texts of many paragraphs
}

INSTANTIATE_TEST_SUITE_P(StaticFormatAndTrimming, InsertBufMirror,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()));

}  // namespace
}  // namespace vestrel
