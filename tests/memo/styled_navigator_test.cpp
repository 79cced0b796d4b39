#include "memo/styled_navigator.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <random>

#include "memo/byte_stream.h"
#include "memo/memo_errors.h"
#include "memo/style_codes.h"
#include "support/fake_draw_surface.h"
#include "support/paragraph_store_check.h"

namespace vestrel {
namespace {

using testing::FakeDrawSurface;
constexpr int32_t G = FakeDrawSurface::kGlyph;
constexpr int32_t S = FakeDrawSurface::kSpace;

void Load(TParagraphsList& s, const std::string& text) {
  TMemoryStream m(std::vector<unsigned char>(text.begin(), text.end()));
  TStyledLineBreak lb = psbCRLF;
  s.LoadFromStream(m, 0, false, lb);
}

// A store and its navigator context on the fake surface.
struct Fixture {
  explicit Fixture(const std::string& text) : ctx(store) {
    Load(store, text);
    ctx.Measure = &dc;
    ctx.SpaceWidth = S;
    ctx.ClientWidth = 200;
    ctx.LineHeight = 16;
  }
  TParagraphsList store;
  FakeDrawSurface dc;
  TNavigatorContext ctx;
};

// Lines at the given starts with their widths, as the line breaker would leave them.
void SetLines(TParagraphsList& s, int32_t par, const std::vector<LineInfo>& lines) {
  ParInfo& p = s[par];
  const int32_t old = GetLineCount(p);
  p.Line0 = lines[0];
  p.Lines.assign(lines.begin() + 1, lines.end());
  const int32_t delta = GetLineCount(p) - old;
  s.TotalLineCount += delta;
  s.VisibleLineCount += delta;
  s.UpdateLines(par + 1, delta);
}

LineInfo Line(int32_t start, int32_t stop, int32_t width, int32_t justifyFrom, int32_t blanks = 0) {
  LineInfo l;
  l.Start = start;
  l.Stop = stop;
  l.Width = width;
  l.FullWidth = width;
  l.JustifyFrom = justifyFrom;
  l.BlankCount = blanks;
  return l;
}

TEST(StyledNavigator, PositionsAroundABreak) {
  Fixture f("ab\r\ncd");
  TStyledNavigator n(&f.ctx);
  const struct {
    int32_t pos, par, offset;
    unsigned char ch;
  } cases[] = {{0, 0, 0, 'a'}, {1, 0, 1, 'b'}, {2, 0, 2, 13}, {3, 0, 3, 10}, {4, 1, 0, 'c'}, {6, 1, 2, 0}};
  for (const auto& c : cases) {
    n.SetPos(c.pos);
    EXPECT_EQ(n.GetParNb(), c.par) << c.pos;
    EXPECT_EQ(n.GetOffset(), c.offset) << c.pos;
    EXPECT_EQ(n.GetText(), c.ch) << c.pos;
  }
  n.SetPos(1);
  unsigned char buf[8];
  EXPECT_EQ(n.GetTextBuf(buf, 4), 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "b\r\nc");
  EXPECT_EQ(n.GetTextBuf(buf, 7), 5);  // stops at the text end, NUL after it
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "b\r\ncd");
  n.SetPos(-5);
  EXPECT_EQ(n.GetPos(), 0);
  n.SetPos(1000);
  EXPECT_EQ(n.GetPos(), 6);
}

TEST(StyledNavigator, EmptyMemoResolvesToParagraphZero) {
  TParagraphsList store;  // one empty paragraph, CharCount 0
  TNavigatorContext ctx(store);
  TStyledNavigator n(&ctx);
  n.SetPos(5);
  EXPECT_EQ(n.GetPos(), 0);
  EXPECT_EQ(n.GetParNb(), 0);
  EXPECT_EQ(n.GetText(), 0);
  EXPECT_EQ(n.GetLineNb(), 0);
  EXPECT_EQ(n.GetDisplayX(), 8);
}

TEST(StyledNavigator, LongMemoResolvesWithoutOverflow) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += i ? "\r\nx" : "x";
  Fixture f(text);
  ASSERT_EQ(f.store.CharCount, 40000 * 3 - 2);
  TStyledNavigator n(&f.ctx);
  n.SetPos(119997);  // 119997 * 39998 overflows 32 bits
  EXPECT_EQ(n.GetParNb(), 39999);
  EXPECT_EQ(n.GetOffset(), 0);
  std::mt19937 rng(3);
  for (int i = 0; i < 5000; ++i) {
    const int32_t pos = static_cast<int32_t>(rng() % (f.store.CharCount + 1));
    n.SetPos(pos);
    ASSERT_EQ(n.GetParNb(), f.store.ParFromOffset(pos)) << pos;
    ASSERT_EQ(n.GetParNb(), pos / 3) << pos;
  }
}

TEST(StyledNavigator, SkewedTextAgreesWithABinarySearch) {
  std::string text(100000, 'y');  // one long paragraph, then many short ones
  for (int i = 0; i < 3000; ++i) text += "\r\nz";
  Fixture f(text);
  TStyledNavigator n(&f.ctx);
  std::mt19937 rng(4);
  for (int i = 0; i < 3000; ++i) {
    const int32_t pos = static_cast<int32_t>(rng() % (f.store.CharCount + 1));
    n.SetPos(pos);
    ASSERT_EQ(n.GetParNb(), f.store.ParFromOffset(pos)) << pos;
    ASSERT_EQ(n.GetPos() - f.store[n.GetParNb()].StartOffset, n.GetOffset());
  }
}

TEST(StyledNavigator, SmallMovesKeepTheParagraphAndFollowLines) {
  Fixture f("aaaa bbbb cccc\r\nz");
  SetLines(f.store, 0, {Line(0, 5, 4 * G, 0), Line(5, 10, 4 * G, 5), Line(10, 14, 4 * G, 14)});
  TStyledNavigator n(&f.ctx);
  n.SetPos(3);
  EXPECT_EQ(n.GetParLine(), 0);
  n.SetPos(11);
  EXPECT_EQ(n.GetParLine(), 2);
  n.SetPos(10);  // one back: same paragraph, the line found again
  EXPECT_EQ(n.GetParNb(), 0);
  EXPECT_EQ(n.GetParLine(), 2);
  n.SetPos(9);
  EXPECT_EQ(n.GetParLine(), 1);
  EXPECT_EQ(n.GetColNb(), 4);
  EXPECT_EQ(n.GetLine(), ToBytes("bbbb "));
  n.SetColNb(99);
  EXPECT_EQ(n.GetOffset(), 10);  // clamped to the line's length
  EXPECT_EQ(n.GetParLine(), 1);
  EXPECT_EQ(n.GetLineNb(), 1);
  n.SetLineNb(3);
  EXPECT_EQ(n.GetParNb(), 1);
  n.SetLineNb(2);
  EXPECT_EQ(n.GetOffset(), 10);
  EXPECT_EQ(n.getVisibleLineNumber(), 2);
  f.ctx.WordWrap = false;  // never wrapping: line numbers are paragraph numbers
  EXPECT_EQ(n.GetLineNb(), 0);
  n.SetLineNb(1);
  EXPECT_EQ(n.GetParNb(), 1);
}

TEST(StyledNavigator, DisplayXWithMarginsAlignmentTabsAndCodes) {
  Fixture f("ab\tc\r\nx\x02yz\r\na b c dd");
  f.store.StaticFormat = true;
  TStyledNavigator n(&f.ctx);
  const int32_t tab = 8 * S;  // TabStops 8 in space widths
  const int32_t lm = 8;
  const std::pair<int32_t, int32_t> left[] = {
      {0, lm}, {1, lm + G}, {2, lm + 2 * G}, {3, lm + tab}, {4, lm + tab + G}};
  for (auto [pos, x] : left) {
    n.SetPos(pos);
    EXPECT_EQ(n.GetDisplayX(), x) << pos;
  }
  // The code takes no width and makes the rest bold, one pixel wider per glyph.
  n.SetPos(6 + 4);
  EXPECT_EQ(n.GetDisplayX(), lm + G + 2 * (G + FakeDrawSurface::kBoldExtra));
  n.SetPos(6 + 1);
  EXPECT_EQ(n.getDisplayWidth(), 0);
  n.SetPos(6 + 2);
  EXPECT_EQ(n.getDisplayWidth(), G + 1);

  f.ctx.Alignment = taRightJustify;
  SetLines(f.store, 0, {Line(0, 4, tab + G, 4)});
  n.SetPos(0);
  EXPECT_EQ(n.GetDisplayX(), 200 - 8 - (tab + G));
  n.SetPos(4);
  EXPECT_EQ(n.GetDisplayX(), 200 - 8);
  f.ctx.Alignment = taCenter;
  n.SetPos(0);
  EXPECT_EQ(n.GetDisplayX(), lm + (200 - 16 - (tab + G)) / 2);
  f.ctx.Alignment = taLeftJustify;
  f.ctx.LeftOrigin = 5;  // scrolled right by 5
  EXPECT_EQ(n.GetDisplayX(), lm - 5);
  f.ctx.LeftOrigin = 0;
  f.ctx.TabStops = -10;  // in pixels
  n.SetPos(3);
  EXPECT_EQ(n.GetDisplayX(), lm + 20);
}

TEST(StyledNavigator, JustificationSpreadsTheFreeWidth) {
  Fixture f("a b c dd");
  f.ctx.ClientWidth = 100;
  f.ctx.Justified = true;
  // "a b c " then "dd": 29 pixels of text and two blanks on the first line.
  SetLines(f.store, 0, {Line(0, 6, 3 * G + 2 * S, 0, 2), Line(6, 8, 2 * G, 8)});
  TStyledNavigator n(&f.ctx);
  // free = 100 - 16 - 29 = 55: 27 per blank, remainder 1 starting at 0 and reaching 2 at the
  // second blank, which gets one pixel more; the line then ends at the right margin.
  n.SetPos(5);
  EXPECT_EQ(n.GetDisplayX(), 8 + G + (S + 27) + G + (S + 28) + G);
  EXPECT_EQ(n.GetDisplayX(), 100 - 8);
  n.SetPos(7);  // the last line is never stretched
  EXPECT_EQ(n.GetDisplayX(), 8 + G);
  SetLines(f.store, 0, {Line(0, 6, 3 * G + 2 * S, 0, 0), Line(6, 8, 2 * G, 8)});  // no blanks
  n.SetPos(5);
  EXPECT_EQ(n.GetDisplayX(), 8 + 3 * G + 2 * S);
  f.ctx.ClientWidth = 20;  // no free width
  EXPECT_EQ(n.GetDisplayX(), 8 + 3 * G + 2 * S);
}

TEST(StyledNavigator, SetDisplayXPicksTheNearerBoundary) {
  Fixture f("abc\r\nnext");
  TStyledNavigator n(&f.ctx);
  const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {8, 0}, {11, 0}, {12, 1}, {18, 1}, {19, 2}, {500, 3}};
  for (auto [x, off] : cases) {
    n.SetPos(0);
    n.SetDisplayX(x);
    EXPECT_EQ(n.GetOffset(), off) << x;
  }
  // The ends of the 32-bit range (the memo's "no remembered x" is INT32_MIN) are the line's
  // ends, also when scrolled.
  f.ctx.LeftOrigin = -50;
  for (auto [x, off] : {std::pair{INT32_MAX, 3}, std::pair{INT32_MIN, 0}}) {
    n.SetPos(1);
    n.SetDisplayX(x);
    EXPECT_EQ(n.GetOffset(), off) << x;
  }
  f.ctx.LeftOrigin = 0;
  for (int32_t off = 0; off <= 3; ++off) {  // round trip
    n.SetPos(off);
    const int32_t x = n.GetDisplayX();
    n.SetPos(0);
    n.SetDisplayX(x);
    EXPECT_EQ(n.GetOffset(), off);
  }
}

TEST(StyledNavigator, DisplayY) {
  Fixture f("a\r\nb\r\nc\r\nd\r\ne");
  f.ctx.TopOffset = 2;
  f.ctx.TopOrigin = 32;
  TStyledNavigator n(&f.ctx);
  n.setParNb(3);
  EXPECT_EQ(n.GetDisplayY(), 3 * 16 + 2 - 32);
  n.setDisplayY(3 * 16 + 2 - 32 + 15);
  EXPECT_EQ(n.GetParNb(), 3);
  n.setDisplayY(0);  // the window's top shows line (0 + 32 - 2) / 16
  EXPECT_EQ(n.GetParNb(), 1);
  n.setDisplayY(-1000);
  EXPECT_EQ(n.GetParNb(), 0);
  n.setDisplayY(1000);
  EXPECT_EQ(n.GetPos(), f.store.CharCount);
  // 40 lines of a 2^26-pixel font pass 2^31: the y saturates instead of turning negative, and
  // a y near the top of the range still finds the end of the text.
  f.ctx.TopOffset = f.ctx.TopOrigin = 0;
  f.ctx.LineHeight = 1 << 26;
  n.setParNb(4);
  EXPECT_EQ(n.GetDisplayY(), 4 << 26);
  std::string many;
  for (int i = 0; i < 40; ++i) many += "x\r\n";
  Fixture g(many);
  g.ctx.LineHeight = 1 << 26;
  TStyledNavigator m(&g.ctx);
  m.setParNb(40);
  EXPECT_EQ(m.GetDisplayY(), INT32_MAX);
  g.ctx.TopOrigin = 1 << 30;
  m.setDisplayY(INT32_MAX - 1);  // line (2^31 - 2 + 2^30) / 2^26 = 47: past the last
  EXPECT_EQ(m.GetPos(), g.store.CharCount);
  m.setDisplayY(1 << 26);  // line (2^26 + 2^30) / 2^26 = 17
  EXPECT_EQ(m.GetParNb(), 17);
}

TEST(StyledNavigator, AttributeMoves) {
  Fixture f("0123456789\r\nabcdef");
  TStyledNavigator n(&f.ctx);
  DynInfoRec bold;
  bold.Flags = kDynActive | kDynBold;
  bold.Context = 7;
  DynInfoRec plain;
  plain.Flags = kDynActive;
  plain.Context = 8;
  n.SetPos(3);
  n.AddDyn(bold);
  n.SetPos(6);
  n.AddDyn(plain);
  n.SetPos(12 + 2);
  n.AddDyn(bold);
  EXPECT_EQ(GetDynCount(f.store[0]), 2);
  n.SetPos(4);
  EXPECT_EQ(n.GetDynNb(), 1);
  EXPECT_EQ(n.GetContext(), 7);
  n.SetPos(3);
  EXPECT_EQ(n.GetDynNb(), 0);  // left of the attribute that starts here
  EXPECT_EQ(n.GetContext(), 0);
  n.RightOfDyn();
  EXPECT_EQ(n.GetContext(), 7);
  EXPECT_FALSE(n.setDynNb(3));
  EXPECT_EQ(n.GetPos(), 3);
  EXPECT_TRUE(n.setDynNb(2));
  EXPECT_EQ(n.GetPos(), 6);
  EXPECT_EQ(n.GetContext(), 8);

  n.SetPos(0);
  std::vector<int32_t> stops;
  while (n.NextDyn()) stops.push_back(n.GetPos());
  EXPECT_EQ(stops, (std::vector<int32_t>{3, 6, 14}));
  stops.clear();
  while (n.PreviousDyn()) stops.push_back(n.GetPos());
  EXPECT_EQ(stops, (std::vector<int32_t>{14, 6, 3}));
  n.SetPos(7);
  EXPECT_FALSE(n.ForwardToDyn(13));  // the next boundary, 14, lies past the limit
  EXPECT_EQ(n.GetPos(), 7);
  EXPECT_TRUE(n.BackToDyn(5));
  EXPECT_EQ(n.GetPos(), 6);
  EXPECT_FALSE(n.BackToDyn(5));

  n.SetPos(6);
  n.RemoveDyn();
  EXPECT_EQ(GetDynCount(f.store[0]), 1);
  n.SetPos(5);
  try {
    n.RemoveDyn();
    ADD_FAILURE();
  } catch (const EStyledMemoError& e) {
    EXPECT_STREQ(e.what(), "Internal StyledMemo error");
  }
  EXPECT_EQ(testing::StoreFault(f.store), "");
}

TEST(StyledNavigator, AttributeFontIsUsedForMeasuring) {
  Fixture f("abcdef");
  TStyledNavigator n(&f.ctx);
  DynInfoRec bold;
  bold.Flags = kDynActive | kDynBold;
  n.SetPos(2);
  n.AddDyn(bold);
  n.SetPos(4);
  EXPECT_EQ(n.GetDisplayX(), 8 + 2 * G + 2 * (G + 1));
}

TEST(StyledNavigator, WordMoves) {
  Fixture f("one, two three\r\nfour");
  TStyledNavigator n(&f.ctx);
  const TDelimiters& d = f.ctx.Delimiters;
  n.SetPos(1);
  EXPECT_EQ(n.GetWord(), ToBytes("one"));
  n.ToNextWord(d);
  EXPECT_EQ(n.GetPos(), 5);
  n.ToNextWord(d);
  EXPECT_EQ(n.GetPos(), 9);
  n.ToNextWord(d);
  EXPECT_EQ(n.GetPos(), 14);  // the paragraph end
  n.ToNextWord(d);
  EXPECT_EQ(n.GetPos(), 16);  // over the break
  n.ToPreviousWord(d);
  EXPECT_EQ(n.GetPos(), 14);
  n.ToPreviousWord(d);
  EXPECT_EQ(n.GetPos(), 9);
  n.SetPos(11);
  n.ToEndOfWord(d);
  EXPECT_EQ(n.GetPos(), 14);
  n.ToStartOfWord(d);
  EXPECT_EQ(n.GetPos(), 9);

  // Bytes above 127 are letters like any other, and one of them (0xA0 here) a delimiter.
  Fixture g("\xe9t\xe9 caf\xe9\xa0\xff\xfe");
  g.ctx.Delimiters = MakeDelimiters(ToBytes(" \xa0"));
  TStyledNavigator m(&g.ctx);
  m.SetPos(1);
  EXPECT_EQ(m.GetWord(), ToBytes("\xe9t\xe9"));
  m.ToNextWord(g.ctx.Delimiters);
  EXPECT_EQ(m.GetPos(), 4);
  EXPECT_EQ(m.GetWord(), ToBytes("caf\xe9"));
  m.ToNextWord(g.ctx.Delimiters);
  EXPECT_EQ(m.GetPos(), 9);
  EXPECT_EQ(m.GetText(), 0xFF);
  m.ToEndOfWord(g.ctx.Delimiters);
  EXPECT_EQ(m.GetPos(), 11);
  m.ToPreviousWord(g.ctx.Delimiters);
  EXPECT_EQ(m.GetPos(), 9);
  m.ToPreviousWord(g.ctx.Delimiters);
  EXPECT_EQ(m.GetPos(), 4);
}

TEST(StyledNavigator, RegistrationInvalidationAndOwnerless) {
  TParagraphsList store;
  Load(store, "abc\r\ndef");
  bool freed = false;
  auto ctx = std::make_unique<TNavigatorContext>(store);
  auto a = std::make_unique<TStyledNavigator>(ctx.get());
  TStyledNavigator* b = new TStyledNavigator(ctx.get());
  b->OnFree = [&](TStyledNavigator&) { freed = true; };
  EXPECT_EQ(ctx->Navigators.size(), 2u);
  a->SetPos(5);
  a->GetDynNb();
  InvalidateNavs(ctx->Navigators, 0, 1);
  EXPECT_EQ(a->GetPos(), 5);  // only the caches go
  delete b;
  EXPECT_TRUE(freed);
  EXPECT_EQ(ctx->Navigators.size(), 1u);
  ctx.reset();
  EXPECT_EQ(a->Memo(), nullptr);
  EXPECT_THROW(a->GetParNb(), EStyledMemoError);
  // Whatever is asked of a navigator whose memo is gone, it answers with the error, never by
  // reaching into the freed memo.
  const std::function<void()> calls[] = {
      [&] { a->GetLineNb(); },    [&] { a->SetLineNb(1); },      [&] { a->GetWord(); },
      [&] { a->GetDisplayX(); },  [&] { a->SetDisplayX(10); },   [&] { a->GetDisplayY(); },
      [&] { a->setDisplayY(5); }, [&] { a->getDisplayWidth(); }, [&] { a->ToNextWord(DefaultDelimiters()); },
  };
  for (size_t i = 0; i < std::size(calls); ++i) EXPECT_THROW(calls[i](), EStyledMemoError) << i;
}

TEST(StyledNavigator, EditBetweenNavigatorsAndStaleCaches) {
  Fixture f("abc\r\ndef\r\nghi");
  TStyledNavigator start(&f.ctx), stop(&f.ctx), other(&f.ctx);
  other.SetPos(12);
  EXPECT_EQ(other.GetParNb(), 2);
  start.SetPos(1);
  stop.SetPos(6);
  InsertBuf(f.store, ToBytes("X\r\nY"), start, stop, false, false);
  EXPECT_EQ(start.GetPos(), 1);
  EXPECT_EQ(stop.GetPos(), 5);
  EXPECT_EQ(stop.GetParNb(), 1);
  EXPECT_EQ(stop.GetText(), 'e');
  // A navigator the edit did not adjust still answers from the store, not from its cache.
  EXPECT_EQ(other.GetParNb(), f.store.ParFromOffset(other.GetPos()));
  EXPECT_EQ(testing::StoreFault(f.store), "");
}

// Random walks and jumps agree with a plain string and a binary search, also when edits
// behind the navigator's back left its caches stale.
TEST(StyledNavigator, RandomMovesAgreeWithAPlainString) {
  std::mt19937 rng(9);
  std::string text;
  for (int i = 0; i < 300; ++i) {
    if (i) text += "\r\n";
    text += std::string(rng() % 30, static_cast<char>('a' + i % 26));
  }
  Fixture f(text);
  TParagraphsList& s = f.store;
  for (int32_t i = 0; i < s.Count(); i += 3) {  // lines and attributes on some paragraphs
    const int32_t len = s[i].Length();
    if (len > 4) SetLines(s, i, {Line(0, len / 2, 0, 0), Line(len / 2, len, 0, len)});
    TStyledNavigator a(&f.ctx);
    for (int k = 0; k < 3 && len > 0; ++k) {
      a.SetPos(s[i].StartOffset + static_cast<int32_t>(rng() % static_cast<unsigned>(len)));
      a.AddDyn(DynInfoRec{});
    }
  }
  TByteString mirror = testing::StoreText(s);
  TStyledNavigator n(&f.ctx);
  int32_t pos = 0;
  for (int step = 0; step < 20000; ++step) {
    SCOPED_TRACE(step);
    const unsigned kind = rng() % 100;
    if (kind < 2) {  // an edit the navigator is not told about
      const int32_t at = s[static_cast<int32_t>(rng() % static_cast<unsigned>(s.Count()))].StartOffset;
      const TByteString ins = ToBytes(rng() % 2 ? "new\r\nparagraphs\r\n" : "xyz");
      s.InsertBuf(ins, at, at, false, false);
      mirror.insert(static_cast<size_t>(at), ins);
    } else if (kind < 20) {
      pos = static_cast<int32_t>(rng() % (mirror.size() + 1));
    } else {
      pos += static_cast<int32_t>(rng() % 7) - 3;
    }
    n.SetPos(pos);
    pos = n.GetPos();
    ASSERT_EQ(pos, std::clamp<int32_t>(pos, 0, static_cast<int32_t>(mirror.size())));
    const int32_t par = s.ParFromOffset(pos);
    ASSERT_EQ(n.GetParNb(), par);
    ASSERT_EQ(n.GetOffset(), pos - s[par].StartOffset);
    ASSERT_EQ(n.GetText(), pos < static_cast<int32_t>(mirror.size()) ? mirror[static_cast<size_t>(pos)] : 0);
    const auto& dyns = GetDynArray(s[par]);
    ASSERT_EQ(n.GetDynNb(),
              std::count_if(dyns.begin(), dyns.end(), [&](auto& d) { return d.Start < n.GetOffset(); }));
    int32_t line = 0;
    while (line + 1 < GetLineCount(s[par]) && GetLine(s[par], line + 1).Start <= n.GetOffset()) ++line;
    ASSERT_EQ(n.GetParLine(), line);
  }
}

TEST(LinesList, ViewOfAParagraph) {
  ParInfo p;
  p.Text = ToBytes("abcdef");
  p.Line0.Stop = 6;
  TLinesList l(p);
  EXPECT_EQ(l.GetCount(), 1);
  EXPECT_EQ(l.GetLinesPointer(0).Stop, 6);
  EXPECT_THROW(l.GetLinesPointer(1), ERangeError);
  l.SetCount(3);
  EXPECT_EQ(GetLineCount(p), 3);
  l.SetItem(1, Line(2, 4, 0, 2));
  EXPECT_EQ(l.GetItem(1).Start, 2);
  l.SetCount(0);
  EXPECT_EQ(l.GetCount(), 1);
  l.Add(Line(3, 6, 0, 6));
  EXPECT_EQ(l.GetCount(), 2);
}

}  // namespace
}  // namespace vestrel
