#include "memo/styled_memo.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/memo_errors.h"
#include "memo/styled_memo_strings.h"
#include "support/memo_text.h"
#include "support/paragraph_store_check.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;
using testing::StoreFault;
using testing::Text;

void Type(TStyledMemo& m, const std::string& s) {
  m.setSelText(ToBytes(s));
}

TEST(StyledMemo, EmptyMemoHoldsOneEmptyParagraph) {
  TStyledMemo m;
  EXPECT_EQ(m.GetParCount(), 1);
  EXPECT_EQ(m.getCharCount(), 0);
  EXPECT_EQ(m.Paragraphs().Count(), 0);
  EXPECT_EQ(m.Lines().Count(), 0);
  EXPECT_EQ(m.getTotalLineCount(), 1);
  EXPECT_EQ(m.getChar(0), 0);
}

TEST(StyledMemo, BreaksCountTwoCharacters) {
  TStyledMemo m;
  Type(m, "ab\r\nc");
  EXPECT_EQ(m.GetParCount(), 2);
  EXPECT_EQ(m.getCharCount(), 5);
  EXPECT_EQ(m.getChar(2), 13);
  EXPECT_EQ(m.getChar(3), 10);
  EXPECT_EQ(m.getChar(4), 'c');
  EXPECT_EQ(m.getSelStart(), 5);  // the caret after the new text
  EXPECT_EQ(m.SelLength(), 0);
  EXPECT_TRUE(m.Modified());
}

TEST(StyledMemo, SelLengthMovesTheOtherEndAndStoresTheClampedValue) {
  TStyledMemo m;
  Type(m, "0123456789ab");
  m.setSelStart(10);
  m.setSelLength(-3);
  EXPECT_EQ(m.getSelStart(), 10);
  EXPECT_EQ(m.SelLength(), -3);
  EXPECT_EQ(ToChars(m.getSelText()), "789");
  m.setSelStart(10);
  m.setSelLength(100);
  EXPECT_EQ(m.getSelStart(), 10);
  EXPECT_EQ(m.SelLength(), 2);  // what callers read is what was selected
  EXPECT_EQ(ToChars(m.getSelText()), "ab");
  m.setSelStart(2);
  m.setSelLength(-100);
  EXPECT_EQ(m.SelLength(), -2);
  m.SelectAll();
  EXPECT_EQ(m.getSelStart(), 12);
  EXPECT_EQ(m.SelLength(), -12);
  m.setSelStart(-5);
  EXPECT_EQ(m.getSelStart(), 0);
  m.setSelStart(99);
  EXPECT_EQ(m.getSelStart(), 12);
}

TEST(StyledMemo, ReplacingTheSelectionPutsTheCaretAfterTheNewText) {
  TStyledMemo m;
  Type(m, "hello world");
  m.setSelStart(11);
  m.setSelLength(-5);
  Type(m, "there\r\nfriend");
  EXPECT_EQ(Text(m), "hello there\r\nfriend");
  EXPECT_EQ(m.getSelStart(), m.getCharCount());
  EXPECT_EQ(m.getSelPar(), 1);
  m.setSelPar(0);
  EXPECT_EQ(m.getSelStart(), 0);
  m.setSelPar(7);
  EXPECT_EQ(m.getSelStart(), 13);
  m.setSelStart(6);
  EXPECT_EQ(ToChars(m.getCurrentWord()), "there");
  m.Clear();
  EXPECT_EQ(Text(m), "");
  EXPECT_EQ(m.GetParCount(), 1);
}

TEST(StyledMemo, AnEndBetweenCrAndLfEditsAtTheParagraphEnd) {
  TStyledMemo m;
  Type(m, "ab\r\ncd");
  m.setSelStart(3);  // between CR and LF
  Type(m, "X");
  EXPECT_EQ(Text(m), "abX\r\ncd");
}

TEST(StyledMemo, TextBuffersNeverCopyANegativeCount) {
  TStyledMemo m;
  Type(m, "abcdef");
  unsigned char buf[8] = {'z', 'z', 'z', 'z', 'z', 'z', 'z', 'z'};
  EXPECT_EQ(m.GetTextBuf(buf, 0), 0);
  EXPECT_EQ(m.GetTextBuf(buf, -5), 0);
  EXPECT_EQ(buf[0], 'z');  // nothing written
  EXPECT_EQ(m.GetTextBuf(buf, 1), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(m.GetTextBuf(buf, 4), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "abc");
  m.setSelStart(5);
  m.setSelLength(-4);
  EXPECT_EQ(m.GetSelTextBuf(buf, 0), 0);
  EXPECT_EQ(m.GetSelTextBuf(buf, 3), 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "bc");
  EXPECT_EQ(m.GetSelTextBuf(buf, 8), 4);
  EXPECT_EQ(ToChars(m.GetTextPart(-3, 2)), "ab");
  EXPECT_EQ(ToChars(m.GetTextPart(4, 99)), "ef");
  EXPECT_EQ(ToChars(m.GetTextPart(4, 4)), "");
  EXPECT_FALSE(m.GetTextPartBuf(4, 3).has_value());
  EXPECT_EQ(ToChars(*m.GetTextPartBuf(1, 3)), "bc");
}

TEST(StyledMemo, SetParsBufReplacesAParagraphAndKeepsTheSelection) {
  TStyledMemo m;
  Type(m, "one\r\ntwo\r\nthree");
  m.setSelStart(12);  // in "three"
  m.setSelLength(-2);
  m.setParsBuf(0, ToBytes("1"));
  EXPECT_EQ(Text(m), "1\r\ntwo\r\nthree");
  EXPECT_EQ(m.getSelStart(), 10);  // shifted by the change before it
  EXPECT_EQ(m.SelLength(), -2);
  m.setParsBuf(4, ToBytes("five"));  // beyond the last: breaks are added
  EXPECT_EQ(Text(m), "1\r\ntwo\r\nthree\r\n\r\nfive");
  EXPECT_EQ(m.getSelStart(), 10);
  EXPECT_EQ(m.SelLength(), -2);
  EXPECT_EQ(m.UpdateCount(), 0);
}

TEST(StyledMemo, SetParsBufWithANegativeIndexFailsBeforeItChangesAnything) {
  TStyledMemo m;
  Type(m, "one\r\ntwo");
  m.setSelStart(6);
  m.setSelLength(1);
  EXPECT_THROW(m.setParsBuf(-1, ToBytes("x")), ERangeError);
  EXPECT_EQ(m.getSelStart(), 6);
  EXPECT_EQ(m.SelLength(), 1);
  EXPECT_EQ(m.UpdateCount(), 0);
  EXPECT_EQ(Text(m), "one\r\ntwo");
  EXPECT_THROW(m.getParString(2), ERangeError);
}

// ---- listeners and messages ----

struct Listener : IpmsNotify {
  std::function<void(TStyledMemo&, TpmEvents)> onNotify;
  std::vector<TpmEvents> seen;
  void Notify(TStyledMemo& sender, TpmEvents events) override {
    seen.push_back(events);
    if (onNotify) onNotify(sender, events);
  }
};

TEST(StyledMemo, MessageListenerAnswering127SuppressesTheMemosHandling) {
  TStyledMemo m;
  TMemoMessage msg;
  msg.Msg = WM_GETDLGCODE;
  EXPECT_TRUE(m.WndProc(msg));
  EXPECT_EQ(msg.Result, kDlgCodeKeysAndTabs);
  m.setWantTabs(false);
  msg.Result = 0;
  m.WndProc(msg);
  EXPECT_EQ(msg.Result, kDlgCodeKeys);

  Listener l;
  l.onNotify = [](TStyledMemo& s, TpmEvents e) {
    ASSERT_NE(s.CurrentMessage(), nullptr);
    if (e == smeMessage) s.CurrentMessage()->Result = kSuppressMessage;
  };
  m.AddListener(m.MessageListeners(), &l);
  msg.Result = 0;
  EXPECT_TRUE(m.WndProc(msg));
  EXPECT_EQ(msg.Result, 0);  // not answered by the memo
  EXPECT_EQ(l.seen, (std::vector<TpmEvents>{smeMessage, smeAfterMessage}));
  EXPECT_EQ(m.CurrentMessage(), nullptr);
}

TEST(StyledMemo, ListenersMayRemoveThemselvesWhileNotified) {
  TStyledMemo m;
  Listener a, b, c;
  a.onNotify = [&](TStyledMemo& s, TpmEvents) { s.RemoveListener(s.NotifyListeners(), &a); };
  m.AddListener(m.NotifyListeners(), &a);
  m.AddListener(m.NotifyListeners(), nullptr);  // nil entries are allowed
  m.AddListener(m.NotifyListeners(), &b);
  m.AddListener(m.NotifyListeners(), &c);
  m.DoNotify(m.NotifyListeners(), smeSelMove);
  EXPECT_EQ(a.seen.size(), 1u);
  EXPECT_EQ(b.seen.size(), 1u);
  EXPECT_EQ(c.seen.size(), 1u);
  EXPECT_EQ(m.NotifyListeners(), (std::vector<IpmsNotify*>{&b, &c}));  // packed
  m.DoNotify(m.NotifyListeners(), smeChange);
  EXPECT_EQ(a.seen.size(), 1u);
  EXPECT_EQ(b.seen.back(), smeChange);
}

// Destroying the memo from its own handlers: nothing of it is touched afterwards (ASan).
TEST(StyledMemo, AMemoDestroyedByItsOwnHandlerIsNotTouchedAgain) {
  {
    auto m = std::make_unique<TStyledMemo>();
    Listener l;
    l.onNotify = [&](TStyledMemo&, TpmEvents) { m.reset(); };
    m->AddListener(m->MessageListeners(), &l);
    TMemoMessage msg;
    msg.Msg = WM_GETDLGCODE;
    m->WndProc(msg);
    EXPECT_EQ(m, nullptr);
    EXPECT_EQ(msg.Result, 0);
  }
  {
    auto m = std::make_unique<TStyledMemo>();
    Listener l;
    l.onNotify = [&](TStyledMemo&, TpmEvents e) {
      if (e == smeAfterMessage) m.reset();
    };
    m->AddListener(m->MessageListeners(), &l);
    TMemoMessage msg;
    msg.Msg = WM_GETDLGCODE;
    EXPECT_TRUE(m->WndProc(msg));
    EXPECT_EQ(m, nullptr);
  }
  {
    auto m = std::make_unique<TStyledMemo>();
    m->OnBeforeChange = [&](TStyledMemo&, TByteString&) { m.reset(); };
    m->SetSelTextBuf(ToBytes("x"));
    EXPECT_EQ(m, nullptr);
  }
  {
    auto m = std::make_unique<TStyledMemo>();
    Listener l;  // CM_TEXTCHANGED of a load reaches the message listeners
    l.onNotify = [&](TStyledMemo& s, TpmEvents) {
      if (s.CurrentMessage()->Msg == CM_TEXTCHANGED) m.reset();
    };
    m->AddListener(m->MessageListeners(), &l);
    bool changed = false;
    m->OnChange = [&](TStyledMemo&) { changed = true; };
    TMemoryStream s(std::vector<unsigned char>{'a', 'b'});
    m->LoadFromStream(s);
    EXPECT_EQ(m, nullptr);
    EXPECT_FALSE(changed);
  }
  {
    auto m = std::make_unique<TStyledMemo>();
    m->OnChange = [&](TStyledMemo&) { m.reset(); };
    TMemoryStream s(std::vector<unsigned char>{'a'});
    m->LoadFromStream(s);
    EXPECT_EQ(m, nullptr);
  }
}

TEST(StyledMemo, BeforeChangeMayReplaceTheText) {
  TStyledMemo m;
  m.OnBeforeChange = [](TStyledMemo&, TByteString& t) {
    t.insert(t.begin(), '[');
    t.push_back(']');
  };
  Type(m, "x");
  EXPECT_EQ(Text(m), "[x]");
}

// ---- navigators follow edits ----

TEST(StyledMemo, RegisteredNavigatorsFollowAnEdit) {
  TStyledMemo m;
  Type(m, "0123456789");
  TStyledNavigator before(&m.NavContext()), after(&m.NavContext()), inside(&m.NavContext()),
      sticky(&m.NavContext()), atEnd(&m.NavContext());
  before.SetPos(2);
  after.SetPos(8);
  inside.SetPos(5);
  sticky.SetPos(5);
  sticky.StickyRight = true;
  atEnd.SetPos(7);
  // A temporary navigator inside the replaced text is its owner's to free, once (ASan).
  auto* temporary = new TStyledNavigator(&m.NavContext());
  temporary->Temporary = true;
  temporary->SetPos(6);
  int freed = 0;
  temporary->OnFree = [&](TStyledNavigator&) { ++freed; };
  auto* temporarySticky = new TStyledNavigator(&m.NavContext());
  temporarySticky->Temporary = temporarySticky->StickyRight = true;
  temporarySticky->SetPos(5);
  m.setSelStart(4);
  m.setSelLength(3);  // "456"
  Type(m, "ab\r\nc");
  EXPECT_EQ(Text(m), "0123ab\r\nc789");
  EXPECT_EQ(before.GetPos(), 2);
  EXPECT_EQ(after.GetPos(), 10);  // 8 + 2
  EXPECT_EQ(after.GetParNb(), 1);
  EXPECT_EQ(inside.GetPos(), 4);
  EXPECT_EQ(sticky.GetPos(), 9);
  EXPECT_EQ(atEnd.GetPos(), 4);  // the old end is inside
  EXPECT_EQ(freed, 0);
  EXPECT_EQ(temporary->GetPos(), 4);
  EXPECT_EQ(temporarySticky->GetPos(), 9);
  delete temporary;
  delete temporarySticky;
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(after.GetText(), '8');
}

// ---- layout ----

TEST(StyledMemo, WithAWindowTheTextWrapsAndAnEditRepaintsItsLines) {
  RecordingMemoWindow w(100, 60);  // 84 pixels to wrap in
  TStyledMemo m;
  m.setUpdateMode(umImmediate);  // an option change lays everything out at once
  m.CreateHandle(w);
  Type(m, "abcde fghij klmno");
  EXPECT_EQ(m.getTotalLineCount(), 2);
  EXPECT_EQ(ToChars(m.getLineString(0)), "abcde fghij ");
  EXPECT_EQ(ToChars(m.getLineString(1)), "klmno");
  EXPECT_EQ(ToChars(m.getLineString(2)), "");
  EXPECT_EQ(m.Lines().Count(), 2);
  m.setSelStart(17);
  EXPECT_EQ(m.getSelLine(), 1);
  w.bands.clear();
  m.setSelStart(3);
  Type(m, "xxxx");  // the first line now holds one word less
  EXPECT_EQ(ToChars(m.getLineString(0)), "abcxxxxde ");
  EXPECT_EQ(ToChars(m.getLineString(1)), "fghij klmno");
  ASSERT_FALSE(w.bands.empty());
  EXPECT_EQ(w.bands.front().first, 0);
  m.setLeftMargin(40);  // 52 pixels now: "abcxxxx" / "de " / "fghij " / "klmno"
  EXPECT_EQ(m.getTotalLineCount(), 4);
  EXPECT_EQ(ToChars(m.getLineString(1)), "de ");
  m.setWordWrap(false);
  EXPECT_EQ(m.getTotalLineCount(), 1);
  EXPECT_EQ(ToChars(m.getLineString(0)), "abcxxxxde fghij klmno");
  EXPECT_EQ(StoreFault(m.Store()), "");
}

TEST(StyledMemo, WithoutAWindowEachParagraphIsOneLine) {
  RecordingMemoWindow w;
  TStyledMemo m;
  m.setUpdateMode(umImmediate);
  Type(m, "abcde fghij klmno\r\nsecond");
  EXPECT_EQ(m.getTotalLineCount(), 2);
  EXPECT_EQ(ToChars(m.getLineString(1)), "second");
  m.CreateHandle(w);
  EXPECT_EQ(m.getTotalLineCount(), 3);
  m.DestroyWindowHandle();
  EXPECT_FALSE(m.WindowReady());
}

TEST(StyledMemo, EditsInsideAnUpdateAreLaidOutWhenItCloses) {
  RecordingMemoWindow w;
  TStyledMemo m;
  m.CreateHandle(w);
  m.BeginUpdate();
  Type(m, "abcde fghij klmno");
  Type(m, " pqrst");
  EXPECT_EQ(m.getTotalLineCount(), 1);  // nothing laid out yet
  m.EndUpdate();
  EXPECT_EQ(m.getTotalLineCount(), 2);
  m.EndUpdate();  // never below 0
  EXPECT_EQ(m.UpdateCount(), 0);
  EXPECT_EQ(StoreFault(m.Store()), "");
}

// Random edits through the memo: the store stays sound, and the lines the memo keeps (laid out
// again only from each edit on) are those of a fresh layout.
TEST(StyledMemo, RandomEditsKeepTheStoreSoundAndTheLayoutFresh) {
  RecordingMemoWindow w(160, 200);
  TStyledMemo m;
  m.CreateHandle(w);
  m.setStaticFormat(true);
  std::mt19937 rng(7);
  const char* pieces[] = {"a",    "bc",   "def ", " ", "  ", "\t", "ghijklmnopqrstuvw",
                          "\x02", "\r\n", "xy z", "-"};
  for (int step = 0; step < 1500; ++step) {
    const int32_t n = m.getCharCount();
    m.setSelStart(static_cast<int32_t>(rng() % (n + 1)));
    if (rng() % 3 == 0) m.setSelLength(static_cast<int32_t>(rng() % 9) - 4);
    std::string s;
    for (unsigned k = rng() % 3; k > 0; --k) s += pieces[rng() % std::size(pieces)];
    if (rng() % 10 == 0) m.BeginUpdate();
    Type(m, s);
    if (m.UpdateCount() > 0 && rng() % 2) m.EndUpdate();
    ASSERT_NO_THROW(m.CheckIntegrity()) << step;
    if (m.UpdateCount() > 0) continue;
    ASSERT_EQ(StoreFault(m.Store()), "") << step;
    std::vector<LineInfo> kept;
    for (int32_t i = 0; i < m.GetParCount(); ++i)
      for (int32_t l = 0; l < GetLineCount(m.Store()[i]); ++l) kept.push_back(GetLine(m.Store()[i], l));
    m.FormatNow(0, m.GetParCount() - 1, false, true);
    size_t k = 0;
    for (int32_t i = 0; i < m.GetParCount(); ++i)
      for (int32_t l = 0; l < GetLineCount(m.Store()[i]); ++l, ++k) {
        ASSERT_LT(k, kept.size()) << step;
        const LineInfo& a = kept[k];
        const LineInfo& b = GetLine(m.Store()[i], l);
        ASSERT_TRUE(a.Start == b.Start && a.Stop == b.Stop && a.Width == b.Width &&
                    a.StartStyle == b.StartStyle)
            << step << " paragraph " << i << " line " << l;
      }
    ASSERT_EQ(k, kept.size()) << step;
  }
  while (m.UpdateCount() > 0) m.EndUpdate();
  ASSERT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledMemo, CheckIntegrityNamesTheFirstBrokenField) {
  const struct {
    std::function<void(TParagraphsList&)> corrupt;
    std::string text;
  } rows[] = {
      {[](TParagraphsList& s) { s[1].FirstLine = 5; }, "Error 1"},
      {[](TParagraphsList& s) { s[1].StartOffset += 1; }, "Error 2 in "},
      {[](TParagraphsList& s) { s[1].Blocks = 3; }, "Error 7 in "},
      {[](TParagraphsList& s) {
         s[0].Lines.push_back(LineInfo{1, 3});
       },
       "Error 3 in "},
      {[](TParagraphsList& s) { s[2].Line0.Stop = 1; }, "Error 4 in "},
      {[](TParagraphsList& s) { s.CharCount += 1; }, "Error 5 in "},
      {[](TParagraphsList& s) { s.VisibleLineCount += 1; }, "Error 6 in "},
      {[](TParagraphsList& s) { s.TotalLineCount += 1; }, "Error 6.01 in "},
  };
  for (const auto& row : rows) {
    TStyledMemo m;
    Type(m, "abc\r\ndef\r\nghi");
    ASSERT_NO_THROW(m.CheckIntegrity());
    row.corrupt(m.Store());
    try {
      m.CheckIntegrity();
      ADD_FAILURE() << row.text << " not raised";
    } catch (const EStyledMemoError& e) {
      EXPECT_EQ(std::string(e.what()), row.text + m.Version());
    }
  }
}

// ---- streams ----

class BrokenStream : public TMemoryStream {
 public:
  explicit BrokenStream(const std::string& s)
      : TMemoryStream(std::vector<unsigned char>(s.begin(), s.end())) {}
  size_t Read(void* buf, size_t count) override {
    if (Position() > 0) throw EStreamError("Stream read error");
    return TMemoryStream::Read(buf, std::min<size_t>(count, 4));
  }
};

TEST(StyledMemo, AFailedLoadReleasesTheUpdateCount) {
  RecordingMemoWindow w;
  TStyledMemo m;
  m.CreateHandle(w);
  BrokenStream s("abcdefgh");
  EXPECT_THROW(m.LoadFromStream(s), EStreamError);
  EXPECT_EQ(m.UpdateCount(), 0);
  EXPECT_EQ(Text(m), "abcd");  // what the store took in
  EXPECT_EQ(m.getSelStart(), 0);
  m.setSelStart(4);
  Type(m, " efghij klmnop");
  EXPECT_EQ(m.getTotalLineCount(), 2);  // it still lays out
  EXPECT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledMemo, LoadInsideAnUpdateRecordsTheLineChange) {
  TStyledMemo m;
  Type(m, "a\r\nb\r\nc");
  m.BeginUpdate();
  TMemoryStream s(
      std::vector<unsigned char>{'x', '\r', '\n', 'y', '\r', '\n', 'z', '\r', '\n', 'w', '\r', '\n', 'v'});
  m.LoadFromStream(s);
  EXPECT_EQ(m.Store().ModLineDelta, 5 - 3);  // new minus old
  m.EndUpdate();
  EXPECT_EQ(m.GetParCount(), 5);
  EXPECT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledMemo, LoadAndSaveFollowTheOptions) {
  TStyledMemo m;
  int changes = 0;
  m.OnChange = [&](TStyledMemo&) { ++changes; };
  std::vector<std::pair<int32_t, int32_t>> parsed;
  m.OnParse = [&](TStyledMemo&, int32_t a, int32_t b) { parsed.emplace_back(a, b); };
  m.setOptions(m.Options() | smoAutoLineBreak);
  TMemoryStream in(std::vector<unsigned char>{'a', ' ', '\n', 'b', 0, 'c'});
  m.setNullReplacement('.');
  m.LoadFromStream(in);
  EXPECT_EQ(Text(m), "a \r\nb.c");
  EXPECT_EQ(m.LineBreak(), pbLF);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(parsed, (std::vector<std::pair<int32_t, int32_t>>{{0, 7}}));
  TMemoryStream out;
  m.SaveToStream(out);
  EXPECT_EQ(std::string(out.Data().begin(), out.Data().end()), "a \nb.c");
  m.setModified(false);
  m.setOptions(m.Options() | smoDiscardTrailingSpaces);  // reloads, trimming the blanks
  EXPECT_EQ(Text(m), "a\r\nb.c");
  EXPECT_FALSE(m.Modified());
}

// A clock that moves on by `step` milliseconds each time it is read.
struct SteppingClock : WaitClock {
  explicit SteppingClock(uint64_t step) : step(step) {}
  uint64_t NowMs() override { return now += step; }
  void SleepMs(uint32_t ms) override { now += ms; }
  uint64_t step, now = 0;
};

TEST(StyledMemo, LoadProgressFollowsTheInjectedClock) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "p\r\n";  // 101 paragraphs
  for (const auto& [step, calls] : {std::pair<uint64_t, int>{0, 1}, {1000, 7}}) {
    TStyledMemo m;
    SteppingClock clock(step);
    m.setClock(&clock);
    int progress = 0;
    m.OnProgress = [&](TStyledMemo&) { ++progress; };
    TMemoryStream s(std::vector<unsigned char>(text.begin(), text.end()));
    m.LoadFromStream(s);
    // Every 16 paragraphs once the interval has passed, and once at the end.
    EXPECT_EQ(progress, calls) << step;
  }
}

TEST(StyledMemo, StaticFormatReadsTheCodesAgain) {
  TStyledMemo m;
  Type(m,
       "a\x02\x02"
       "b\r\nc");
  EXPECT_EQ(GetStartAttrib(m.Store()[1]), 0);
  m.setStaticFormat(true);  // saved with the pair of codes cancelled, and loaded back
  EXPECT_EQ(Text(m), "ab\r\nc");
  EXPECT_TRUE(m.StaticFormat());
}

// ---- properties ----

TEST(StyledMemo, PropertiesStartAtTheirDefaults) {
  TStyledMemo m;
  EXPECT_EQ(m.Alignment(), taLeftJustify);
  EXPECT_EQ(m.BorderStyle(), bsSingle);
  EXPECT_TRUE(m.HideSelection());
  EXPECT_EQ(m.ScrollBars(), ssVertical);
  EXPECT_TRUE(m.WantTabs());
  EXPECT_TRUE(m.WordWrap());
  EXPECT_EQ(m.Font().Name, "Arial");
  EXPECT_EQ(m.Color(), clWindow);
  EXPECT_EQ(m.CaretWidth(), 1);
  EXPECT_EQ(m.ColumnWrap(), 0);
  EXPECT_EQ(m.EndOfTextMark().Color, 255);
  EXPECT_EQ(m.HighlightBackgnd(), static_cast<TColor>(0x80000005));
  EXPECT_EQ(m.HighlightColor(), 255);
  EXPECT_EQ(m.LeftMargin(), 8);
  EXPECT_EQ(m.RightMargin(), 8);
  EXPECT_EQ(m.LineBreak(), pbCRLF);
  EXPECT_EQ(m.MouseWheelFactor(), -1);
  EXPECT_EQ(m.Options(), smoPutExtraSpaces | smoWrapCaret | smoInsertKeyActive | smoWideOverwriteCaret |
                             smoAutoScrollBars);
  EXPECT_TRUE(m.PassOverCodes());
  EXPECT_EQ(m.ProgressInterval(), 300u);
  EXPECT_EQ(m.RightLinePen().Color, 0x808080);
  EXPECT_EQ(m.RightLinePen().Style, psDot);
  EXPECT_EQ(m.ScrollTime(), 300);
  EXPECT_EQ(m.SelBackColor(), static_cast<TColor>(0x8000000D));
  EXPECT_EQ(m.SelTextColor(), static_cast<TColor>(0x8000000E));
  EXPECT_EQ(ToChars(m.Separators()), "\t\n\r $%&,./:;<=>");
  EXPECT_TRUE(m.ShowEndParSelected());
  EXPECT_EQ(m.SpecUnderline().Color, 255);
  EXPECT_FALSE(m.StaticFormat());
  EXPECT_EQ(m.TabStops(), 8);
  EXPECT_EQ(m.UndoMaxSpace(), 4194304);
  EXPECT_EQ(m.UndoMaxLevel(), 65536);
  EXPECT_EQ(m.UpperCaseType(), smuAscii);
  EXPECT_EQ(m.UpdateMode(), umBackground);
  EXPECT_TRUE(m.WordWrapChars().empty());
  EXPECT_TRUE(m.PairCancelling());
  EXPECT_THROW(m.setUndoMaxLevel(0x8000000), EStyledMemoError);
  m.setDelimiters(ToBytes(" "));
  EXPECT_EQ(ToChars(m.Separators()), "\n\r ");  // CR and LF always belong
  EXPECT_TRUE(m.CanPaste());
  EXPECT_FALSE(m.CanCopy());
  EXPECT_FALSE(m.CanSelectAll());
  Type(m, "ab");
  m.SelectAll();
  EXPECT_TRUE(m.CanCut());
  m.setReadOnly(true);
  EXPECT_FALSE(m.CanCut());
  EXPECT_TRUE(m.CanCopy());
}

TEST(StyledMemo, FontsForStylesAndTheFontChangeNotification) {
  TStyledMemo m;
  TMemoFont alt;
  alt.Name = "Courier New";
  m.setAltFont(alt);
  TMemoFont f;
  m.SetupFont(f, 0x21);  // alternate, bold
  EXPECT_EQ(f.Name, "Courier New");
  EXPECT_EQ(f.Style, 1);
  m.SetupFont(f, 0x06);
  EXPECT_EQ(f.Name, "Arial");
  EXPECT_EQ(f.Style, 6);
  Listener l;
  m.AddListener(m.NotifyListeners(), &l);
  TMemoFont big = m.Font();
  big.Height = -20;
  big.Charset = 204;
  m.setFont(big);
  EXPECT_EQ(l.seen, std::vector<TpmEvents>{smeFontChanged});
  EXPECT_EQ(m.NavContext().LineHeight, 21);
  EXPECT_EQ(m.CodePage(), 1251);
}

TEST(StyledMemo, FindSelectsTheHit) {
  TStyledMemo m;
  Type(m, "one Two\r\nthree two");
  m.setSelStart(0);
  EXPECT_TRUE(m.FindTxt(ToBytes("two"), true, false, false, false));
  EXPECT_EQ(m.getSelStart(), 7);
  EXPECT_EQ(m.SelLength(), -3);
  EXPECT_TRUE(m.FindTxt(ToBytes("two"), true, true, false, false));
  EXPECT_EQ(m.getSelStart(), 18);
  EXPECT_FALSE(m.FindTxt(ToBytes("four"), true, false, false, true));
}

TEST(StyledMemo, ColumnAndLinePositions) {
  TStyledMemo m;
  Type(m, "abc\r\nde");
  m.setSelStart(6);
  EXPECT_EQ(m.getSelCol(), 1);
  EXPECT_EQ(m.getSelLine(), 1);
  m.setOptions(m.Options() | smoKeepColumnPos);
  m.setWordWrap(false);
  m.setSelCol(5);  // beyond the line: the missing columns wait as blanks
  EXPECT_EQ(m.getSelStart(), 7);
  EXPECT_EQ(m.getSelCol(), 5);
  Type(m, "x");
  EXPECT_EQ(Text(m), "abc\r\nde   x");
  m.setSelLine(0);
  EXPECT_EQ(m.getSelStart(), 0);
  m.MoveCp(2);
  EXPECT_EQ(m.getSelStart(), 2);
}

}  // namespace
}  // namespace vestrel
