#include "memo/line_breaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/style_codes.h"
#include "support/fake_draw_surface.h"
#include "support/paragraph_store_check.h"

namespace vestrel {
namespace {

using testing::FakeDrawSurface;
using testing::StoreFault;
constexpr int32_t G = FakeDrawSurface::kGlyph;
constexpr int32_t S = FakeDrawSurface::kSpace;
constexpr int32_t B = FakeDrawSurface::kBoldExtra;

// A store and its memo context on the fake surface: a client of 100 pixels with margins 8 and
// 8, so 84 pixels to wrap in.
struct Memo {
  explicit Memo(const std::string& text, bool staticFormat = false) : ctx(store) {
    store.StaticFormat = staticFormat;
    TMemoryStream m(std::vector<unsigned char>(text.begin(), text.end()));
    TStyledLineBreak lb = psbCRLF;
    store.LoadFromStream(m, 0, false, lb);
    ctx.Measure = &dc;
    ctx.SpaceWidth = S;
    ctx.ClientWidth = 100;
    ctx.LineHeight = 16;
  }

  struct Result {
    int32_t fromLine, oldLine, lineDelta, newLineCount;
  };

  // Breaks paragraph i and keeps the store's line totals, as the memo does after a run.
  Result Break(int32_t i, bool whole = true, int32_t fromLine = 0, int32_t oldLine = 0, bool setFont = true) {
    Result r{fromLine, oldLine, 0, 0};
    ReformatParP(ctx, withCanvas ? &dc : nullptr, setFont, ctx.ClientWidth, nullptr, i, r.fromLine, r.oldLine,
                 whole, spaceWidth, overhang, r.lineDelta, r.newLineCount);
    store.TotalLineCount += r.lineDelta;
    if (!(store[i].States & smpHidden)) store.VisibleLineCount += r.lineDelta;
    store.UpdateLines(i + 1, r.lineDelta);
    return r;
  }
  void BreakAll() {
    for (int32_t i = 0; i < store.Count(); ++i) Break(i);
  }

  std::vector<LineInfo> Lines(int32_t i) const {
    std::vector<LineInfo> v;
    for (int32_t l = 0; l < GetLineCount(store[i]); ++l) v.push_back(GetLine(store[i], l));
    return v;
  }

  TParagraphsList store;
  FakeDrawSurface dc;
  TNavigatorContext ctx;
  bool withCanvas = true;
  int32_t spaceWidth = 0;
  int32_t overhang = 0;
};

struct Want {
  int32_t start, stop, width, fullWidth, blanks, justifyFrom;
};

void ExpectLines(const Memo& m, int32_t par, const std::vector<Want>& want, const std::string& what) {
  const std::vector<LineInfo> got = m.Lines(par);
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) {
    const LineInfo& l = got[i];
    const Want& w = want[i];
    EXPECT_EQ(l.Start, w.start) << what << " line " << i;
    EXPECT_EQ(l.Stop, w.stop) << what << " line " << i;
    if (w.width >= 0) {
      EXPECT_EQ(l.Width, w.width) << what << " line " << i;
    }
    if (w.fullWidth >= 0) {
      EXPECT_EQ(l.FullWidth, w.fullWidth) << what << " line " << i;
    }
    if (w.blanks >= 0) {
      EXPECT_EQ(l.BlankCount, w.blanks) << what << " line " << i;
    }
    if (w.justifyFrom >= 0) {
      EXPECT_EQ(l.JustifyFrom, w.justifyFrom) << what << " line " << i;
    }
  }
  EXPECT_EQ(StoreFault(m.store), "") << what;
}

DynInfoRec Attr(int32_t start, uint8_t flags) {
  DynInfoRec d;
  d.Start = start;
  d.Flags = flags;
  return d;
}

constexpr int X = -1;  // not checked

TEST(LineBreaker, LayoutTable) {
  const struct Row {
    std::string what;
    std::string text;
    std::function<void(Memo&)> setUp;
    std::vector<Want> lines;
    bool staticFormat = false;
  } rows[] = {
      {"two lines at 84 pixels",
       "abcde fghij klmno",
       {},
       {{0, 12, 5 * G + S + 5 * G, 5 * G + S + 5 * G + S, 1, 0}, {12, 17, 5 * G, 5 * G, 0, 17}}},
      {"ColumnWrap 10 counts characters",
       std::string(25, 'q'),
       [](Memo& m) { m.ctx.ColumnWrap = 10; },
       {{0, 10, 10 * G, 10 * G, 0, 0}, {10, 20, 10 * G, 10 * G, 0, 10}, {20, 25, 5 * G, 5 * G, 0, 25}}},
      {"ColumnWrap below 0 is a width in pixels",
       "abcde fghij klmno",
       [](Memo& m) { m.ctx.ColumnWrap = -60; },
       {{0, 6, 5 * G, 5 * G + S, 0, 0}, {6, 12, 5 * G, 5 * G + S, 0, 6}, {12, 17, 5 * G, 5 * G, 0, 17}}},
      {"a word too long for a line is split where it stops fitting",
       std::string(20, 'w'),
       {},
       {{0, 12, 12 * G, 12 * G, 0, 0}, {12, 20, 8 * G, 8 * G, 0, 20}}},
      {"every line keeps at least one character",
       "abc",
       [](Memo& m) { m.ctx.ClientWidth = 20; },  // 4 pixels to wrap in
       {{0, 1, G, G, 0, 0}, {1, 2, G, G, 0, 1}, {2, 3, G, G, 0, 3}}},
      {"the split does not back off over a style code",
       std::string(12, 'w') + "\x02" + "xx",
       {},
       {{0, 13, 12 * G, 12 * G, 0, 0}, {13, 15, 2 * (G + B), 2 * (G + B), 0, 15}},
       true},
      {"the split does not back off over an attribute start",
       std::string(15, 'w'),
       [](Memo& m) { SetParDyns(m.store[0], {Attr(12, kDynActive | kDynBold)}); },
       {{0, 12, 12 * G, 12 * G, 0, 0}, {12, 15, 3 * (G + B), 3 * (G + B), 0, 15}}},
      {"a blank run at a break stays on the upper line",
       "abcde fghij    klmno",
       {},
       {{0, 15, 10 * G + S, 10 * G + 5 * S, 1, 0}, {15, 20, 5 * G, 5 * G, 0, 20}}},
      {"right alignment wraps without WordWrap",
       "abcde fghij klmno",
       [](Memo& m) {
         m.ctx.WordWrap = false;
         m.ctx.Alignment = taRightJustify;
       },
       {{0, 12, X, X, X, X}, {12, 17, X, X, X, X}}},
      {"centre alignment wraps without WordWrap",
       "abcde fghij klmno",
       [](Memo& m) {
         m.ctx.WordWrap = false;
         m.ctx.Alignment = taCenter;
       },
       {{0, 12, X, X, X, X}, {12, 17, X, X, X, X}}},
      {"left alignment without WordWrap never wraps",
       "abcde fghij klmno",
       [](Memo& m) { m.ctx.WordWrap = false; },
       {{0, 17, 15 * G + 2 * S, 15 * G + 2 * S, 0, 17}}},
      {"a smpNoWrap paragraph never wraps",
       "abcde fghij klmno",
       [](Memo& m) { m.store[0].States |= smpNoWrap; },
       {{0, 17, 15 * G + 2 * S, 15 * G + 2 * S, 0, 17}}},
      {"WordWrapChars break after their characters",
       "aaaa-bbbb-cccc",
       [](Memo& m) { m.ctx.WordWrapChars = ToBytes("-"); },
       {{0, 10, 10 * G, 10 * G, 0, 0}, {10, 14, 4 * G, 4 * G, 0, 14}}},
      {"without WordWrapChars the same text is one word, split",
       "aaaa-bbbb-cccc",
       {},
       {{0, 12, 12 * G, 12 * G, 0, 0}, {12, 14, 2 * G, 2 * G, 0, 14}}},
      {"plain text that just fits", "aaaaa bbbbbb", {}, {{0, 12, 11 * G + S, 11 * G + S, 0, 12}}},
      {"a bold code makes it break",
       "aaaaa \x02"
       "bbbbbb",
       {},
       {{0, 7, 5 * G, 5 * G + S, 0, 0}, {7, 13, 6 * (G + B), 6 * (G + B), 0, 13}},
       true},
      {"a bold attribute makes it break",
       "aaaaa bbbbbb",
       [](Memo& m) { SetParDyns(m.store[0], {Attr(6, kDynActive | kDynBold)}); },
       {{0, 6, 5 * G, 5 * G + S, 0, 0}, {6, 12, 6 * (G + B), 6 * (G + B), 0, 12}}},
      {"a highlight code changes no width",
       "aaaaa \x03"
       "bbbbbb",
       {},
       {{0, 13, 11 * G + S, 11 * G + S, 0, 13}},
       true},
      {"a tab sets JustifyFrom and restarts the blank count; stops are 8 space widths",
       "ab\tcd ef ghijklm",
       {},
       {{0, 9, 8 * S + 2 * G + S + 2 * G, 8 * S + 2 * G + S + 2 * G + S, 1, 2},
        {9, 16, 7 * G, 7 * G, 0, 16}}},
      {"stops counted from the line's start on a continuation line",
       "abcdefghij ab\tc",
       {},
       {{0, 11, 10 * G, 10 * G + S, 0, 0}, {11, 15, 8 * S + G, 8 * S + G, 0, 15}}},
      {"a space narrower than a pixel steps tabs by one pixel per stop",
       "ab\tc",
       [](Memo& m) {
         m.dc.advance[' '] = 0;
         m.ctx.SpaceWidth = 0;
       },
       {{0, 4, 16 + G, 16 + G, 0, 4}}},
      {"an empty paragraph has one line", "", {}, {{0, 0, 0, 0, 0, 0}}},
      {"leading blanks stay with the first line",
       "   abcde fghij klmno",
       {},
       {{0, 9, 3 * S + 5 * G, 3 * S + 5 * G + S, 3, 0}, {9, 20, 10 * G + S, 10 * G + S, 0, 20}}},
  };
  for (const Row& row : rows) {
    Memo m(row.text, row.staticFormat);
    if (row.setUp) row.setUp(m);
    m.Break(0);
    ExpectLines(m, 0, row.lines, row.what);
    EXPECT_TRUE(m.store[0].States & smpFormatted) << row.what;
  }
}

TEST(LineBreaker, LinesStartInTheStyleInEffect) {
  Memo m(std::string("aaaaa \x02") + "bbbbbb cc \x02" + "dddddddd eeee", true);
  SetParDyns(m.store[0], {Attr(20, kDynActive | kDynItalic), Attr(27, kDynActive)});
  m.Break(0);
  EXPECT_EQ(StoreFault(m.store), "");
  for (int32_t i = 1; i < GetLineCount(m.store[0]); ++i) {
    const LineInfo& l = GetLine(m.store[0], i);
    uint8_t style = 0;
    for (int32_t q = 0; q < l.Start; ++q) XORStyleCode(style, m.store[0].Text[static_cast<size_t>(q)]);
    EXPECT_EQ(l.StartStyle, style) << i;
  }
}

TEST(LineBreaker, WithoutACanvasTheParagraphIsOneLineThatJustificationLeavesAlone) {
  Memo m("abcde fghij klmno");
  m.Break(0);
  ASSERT_EQ(GetLineCount(m.store[0]), 2);
  m.withCanvas = false;
  const Memo::Result r = m.Break(0, false, 1, 1);
  EXPECT_EQ(r.lineDelta, -1);
  EXPECT_EQ(r.newLineCount, 1);
  EXPECT_EQ(r.fromLine, 0);
  EXPECT_EQ(r.oldLine, 0);
  ExpectLines(m, 0, {{0, 17, 0, 0, 0, 17}}, "no canvas");
}

TEST(LineBreaker, FontsAreSelectedOnlyWhenTheFontChanges) {
  Memo m(
      "aa\x03"
      "bb\x03"
      "cc dd\x02"
      "ee",
      true);
  m.Break(0);
  EXPECT_EQ(m.dc.fontSelections, 2);  // the plain font, then bold; highlight keeps the font
  EXPECT_EQ(m.spaceWidth, S + B);     // the metrics follow the font last selected
  m.dc.fontSelections = 0;
  m.dc.SelectFont(0);
  m.spaceWidth = S;
  m.Break(0, true, 0, 0, false);  // the canvas holds the right font already
  EXPECT_EQ(m.dc.fontSelections, 2);
}

TEST(LineBreaker, WidestLineIsRaised) {
  Memo m("abc\r\nabcdefgh\r\nab");
  m.ctx.WordWrap = false;
  m.BreakAll();
  EXPECT_EQ(m.ctx.WidestLineWidth, 8 * G);
  EXPECT_EQ(m.ctx.WidestLine, 1);
  m.ctx.WordWrap = true;  // the line number is kept only when lines do not wrap to the window
  m.ctx.WidestLineWidth = -1;
  m.ctx.WidestLine = -1;
  m.BreakAll();
  EXPECT_EQ(m.ctx.WidestLineWidth, 8 * G);
  EXPECT_EQ(m.ctx.WidestLine, -1);
}

TEST(LineBreaker, KeywordsApplyTheFirstTimeAParagraphIsBroken) {
  Memo m("abc\r\ndef");
  std::vector<int32_t> applied;
  m.ctx.KeywordsInUse = true;
  m.ctx.ApplyKeywords = [&](int32_t i) { applied.push_back(i); };
  m.Break(1);
  m.Break(1);
  EXPECT_EQ(applied, std::vector<int32_t>{1});
  EXPECT_EQ(m.store[1].States & (smpFormatted | smpKeywDone), smpFormatted | smpKeywDone);
  m.ctx.KeywordsInUse = false;
  m.Break(0);
  EXPECT_EQ(applied.size(), 1u);
  EXPECT_TRUE(m.store[0].States & smpKeywDone);
}

// Offset-to-line in a paragraph's lines: the last line starting at or before `at`.
int32_t LineAt(const ParInfo& p, int32_t at) {
  int32_t l = 0;
  while (l + 1 < GetLineCount(p) && GetLine(p, l + 1).Start <= at) ++l;
  return l;
}

// One edit through the store as the memo makes it: the modification record opened fresh, so
// that its first line is the line that held the edit start.
TParagraphsList::TInsertResult Edit(Memo& m, const std::string& text, int32_t from, int32_t to,
                                    bool insertCodes = false) {
  m.store.FirstModPar = m.store.Count();
  m.store.LastModPar = -1;
  m.store.TextChanged = false;
  return m.store.InsertBuf(ToBytes(text), from, to, false, insertCodes);
}

TEST(LineBreaker, DeletingTheFirstWordOfALinePullsWordsUp) {
  Memo m("aaaa bbbb cccccc dd eeee ffff");
  m.Break(0);
  // 84 pixels: "aaaa bbbb " / "cccccc dd " / "eeee ffff"
  ASSERT_EQ(GetLineCount(m.store[0]), 3);
  ASSERT_EQ(GetLine(m.store[0], 1).Start, 10);
  const auto r = Edit(m, "", 10, 17);  // "cccccc "
  ASSERT_TRUE(m.store.LinesShifted);
  const int32_t from = m.store.FirstModLine - m.store[0].FirstLine;
  EXPECT_EQ(from, 1);
  const auto res = m.Break(0, false, from, LineAt(m.store[0], r.StopPos - m.store[0].StartOffset));
  EXPECT_EQ(res.fromLine, 0);  // "dd" went up into the line before
  EXPECT_EQ(res.lineDelta, -1);
  ExpectLines(m, 0, {{0, 13, 8 * G + 2 * S + 2 * G, X, 2, 0}, {13, 22, X, X, X, 22}}, "pulled up");
}

TEST(LineBreaker, ATypedCharacterInALongParagraphRelaysAboutOneLine) {
  std::string text;
  std::mt19937 rng(5);
  while (text.size() < 20000) text += std::string(1 + rng() % 8, static_cast<char>('a' + rng() % 26)) + " ";
  Memo m(text);
  m.Break(0);
  const int32_t lines = GetLineCount(m.store[0]);
  ASSERT_GT(lines, 1000);
  const int32_t at = 10000;
  const auto r = Edit(m, "x", at, at);
  ASSERT_TRUE(m.store.LinesShifted);
  const int32_t from = m.store.FirstModLine;
  const auto res = m.Break(0, false, from, LineAt(m.store[0], r.StopPos));
  EXPECT_GE(res.fromLine, from - 1);
  EXPECT_LE(res.oldLine - res.fromLine, 2);
  EXPECT_EQ(res.newLineCount, lines + res.lineDelta);
  EXPECT_EQ(StoreFault(m.store), "");
}

// ---- the differential test ----

bool Same(const LineInfo& a, const LineInfo& b) {
  return a.Start == b.Start && a.Stop == b.Stop && a.Width == b.Width && a.FullWidth == b.FullWidth &&
         a.BlankCount == b.BlankCount && a.JustifyFrom == b.JustifyFrom && a.StartStyle == b.StartStyle &&
         a.StartDyn == b.StartDyn;
}

struct Config {
  std::string what;
  bool staticFormat;
  std::function<void(TNavigatorContext&)> setUp;
};

std::string RandomText(std::mt19937& rng, size_t size, bool codes) {
  static const char kCodes[] = {1, 2, 3, 4, 21};
  std::string t;
  while (t.size() < size) {
    const unsigned k = rng() % 100;
    if (k < 55) {
      t += std::string(1 + rng() % 7, static_cast<char>('a' + rng() % 26));
    } else if (k < 58) {
      t += std::string(10 + rng() % 25, 'w');  // longer than a line
    } else if (k < 80) {
      t += std::string(1 + rng() % (rng() % 4 ? 1 : 4), ' ');
    } else if (k < 85) {
      t += '\t';
    } else if (k < 92) {
      t += '-';
    } else if (codes) {
      t += kCodes[rng() % 5];
    } else {
      t += 'z';
    }
  }
  return t;
}

void AddRandomAttributes(std::mt19937& rng, Memo& m, int32_t par) {
  static const uint8_t kFlags[] = {kDynActive | kDynBold, kDynActive, kDynActive | kDynHighlight,
                                   kDynActive | kDynItalic, 0};
  ParInfo& p = m.store[par];
  std::vector<DynInfoRec> d;
  const int n = static_cast<int>(rng() % 6);
  for (int k = 0; k < n && p.Length() > 0; ++k)
    d.push_back(Attr(static_cast<int32_t>(rng() % (p.Length() + 1)), kFlags[rng() % 5]));
  std::sort(d.begin(), d.end(), [](const DynInfoRec& a, const DynInfoRec& b) { return a.Start < b.Start; });
  SetParDyns(p, d);
}

// The text before the blanks, tabs and codes a line ends in.
int32_t TextEnd(const ParInfo& p, const LineInfo& l, bool codes) {
  int32_t e = l.Stop;
  while (e > l.Start) {
    const unsigned char c = p.Text[static_cast<size_t>(e - 1)];
    if (c != ' ' && c != '\t' && !(codes && IsStyleCode(c))) break;
    --e;
  }
  return e;
}

// The navigator's x at the end of each line's text is the line's Width (the last line's Width
// takes in the blanks at the paragraph's end), and that text fits the wrap width unless it is
// one character.
void CheckAgainstNavigator(Memo& m, int32_t par, const std::string& what) {
  const ParInfo& p = m.store[par];
  const bool codes = m.store.StaticFormat;
  const int64_t width = ParWrapWidth(m.ctx, p, m.ctx.ClientWidth);
  TStyledNavigator nav(&m.ctx);
  auto xAt = [&](int32_t line, int32_t offset) {
    nav.SetPos(p.StartOffset);
    nav.SetParLine(line);
    nav.SetColNb(offset - GetLine(p, line).Start);
    EXPECT_EQ(nav.GetParLine(), line);
    const int32_t x = nav.GetDisplayX();
    nav.SetColNb(0);
    return x - nav.GetDisplayX();  // from the line's start, wherever the alignment puts it
  };
  for (int32_t i = 0; i < GetLineCount(p); ++i) {
    const LineInfo& l = GetLine(p, i);
    const bool last = i + 1 == GetLineCount(p);
    const int32_t end = TextEnd(p, l, codes);
    ASSERT_EQ(xAt(i, last ? l.Stop : end), l.Width) << what << " line " << i;
    int32_t printable = 0;
    for (int32_t q = l.Start; q < end; ++q)
      if (!(codes && IsStyleCode(p.Text[static_cast<size_t>(q)]))) ++printable;
    const int64_t used = m.ctx.ColumnWrap > 0 ? end - l.Start : xAt(i, end);
    ASSERT_TRUE(used <= width || printable == 1)
        << what << " line " << i << ": " << used << " > " << width << " in \""
        << ToChars(TByteView(p.Text).substr(l.Start, l.Stop - l.Start)) << "\"";
  }
}

TEST(LineBreaker, IncrementalLayoutEqualsAFreshOne) {
  const Config configs[] = {
      {"pixels", false, {}},
      {"pixels with codes", true, {}},
      {"characters", true, [](TNavigatorContext& c) { c.ColumnWrap = 10; }},
      {"pixels given by ColumnWrap", false, [](TNavigatorContext& c) { c.ColumnWrap = -60; }},
      {"wrap characters", true, [](TNavigatorContext& c) { c.WordWrapChars = ToBytes("-"); }},
      {"right alignment without WordWrap", true,
       [](TNavigatorContext& c) {
         c.WordWrap = false;
         c.Alignment = taRightJustify;
       }},
      {"tabs in pixels, narrow", false,
       [](TNavigatorContext& c) {
         c.TabStops = -20;
         c.ClientWidth = 60;
       }},
  };
  std::mt19937 rng(11);
  for (const Config& cfg : configs) {
    Memo m(RandomText(rng, 600, cfg.staticFormat) + "\r\n" + RandomText(rng, 100, cfg.staticFormat),
           cfg.staticFormat);
    if (cfg.setUp) cfg.setUp(m.ctx);
    for (int32_t i = 0; i < m.store.Count(); ++i) AddRandomAttributes(rng, m, i);
    m.BreakAll();
    ASSERT_EQ(StoreFault(m.store), "") << cfg.what;
    for (int step = 0; step < 500; ++step) {
      const std::string what = cfg.what + " step " + std::to_string(step);
      const int32_t count = m.store.CharCount;
      int32_t a = static_cast<int32_t>(rng() % (count + 1));
      int32_t b = a;
      const unsigned kind = rng() % 10;
      if (kind < 4) b = std::min(count, a + static_cast<int32_t>(rng() % 12));
      std::string ins;
      if (kind >= 2) ins = RandomText(rng, 1 + rng() % 6, cfg.staticFormat);
      if (kind == 9) ins += "\r\n" + RandomText(rng, rng() % 20, cfg.staticFormat);
      if (ins.empty() && a == b) continue;
      const TParagraphsList::TInsertResult r = Edit(m, ins, a, b, rng() % 2);
      if (!m.store.TextChanged) continue;  // a range between CR and LF: nothing to replace
      ASSERT_EQ(StoreFault(m.store), "") << what << " after the edit";
      const int32_t sp = m.store.ParFromOffset(r.StartPos);
      const bool shifted = m.store.LinesShifted && r.ParsDelta == 0 && sp == r.StopPar;
      for (int32_t i = sp; i <= std::max(r.StopPar, m.store.LastModPar); ++i) {
        const std::vector<LineInfo> before = m.Lines(i);
        Memo::Result res{};
        if (shifted && i == sp) {
          const int32_t from = m.store.FirstModLine - m.store[i].FirstLine;
          res = m.Break(i, false, from, LineAt(m.store[i], r.StopPos - m.store[i].StartOffset));
          ASSERT_LE(res.fromLine, from) << what;
        } else {
          res = m.Break(i);
        }
        const std::vector<LineInfo> after = m.Lines(i);
        // The result describes the change: lines before fromLine and after oldLine are the old ones.
        ASSERT_EQ(res.newLineCount, static_cast<int32_t>(after.size())) << what;
        ASSERT_EQ(res.newLineCount, static_cast<int32_t>(before.size()) + res.lineDelta) << what;
        ASSERT_LE(res.fromLine, res.oldLine) << what;
        for (int32_t l = 0; l < res.fromLine; ++l)
          ASSERT_TRUE(Same(after[l], before[l])) << what << " line " << l;
        for (int32_t l = res.oldLine + 1; l < res.newLineCount; ++l)
          ASSERT_TRUE(Same(after[l], before[static_cast<size_t>(l - res.lineDelta)]))
              << what << " line " << l;
        // A whole layout gives the same lines.
        m.Break(i);
        const std::vector<LineInfo> fresh = m.Lines(i);
        ASSERT_EQ(fresh.size(), after.size()) << what;
        for (size_t l = 0; l < fresh.size(); ++l)
          ASSERT_TRUE(Same(fresh[l], after[l]))
              << what << " line " << l << ": [" << after[l].Start << "," << after[l].Stop
              << ") where a fresh layout has [" << fresh[l].Start << "," << fresh[l].Stop << ")";
        CheckAgainstNavigator(m, i, what);
      }
      ASSERT_EQ(StoreFault(m.store), "") << what;
    }
  }
}

}  // namespace
}  // namespace vestrel
