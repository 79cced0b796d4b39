// The edit path of the memo: the order of its notifications, the update bracket, attributes at
// the edges of an edit, code pairs, the caret update and handlers that re-enter or destroy.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/paragraph_store_check.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::Attr;
using testing::LayAttr;
using testing::RecordingMemoWindow;
using testing::StoreFault;
using testing::Text;

std::string Names(TpmEvents e) {
  static const std::pair<TpmEvents, const char*> names[] = {{smeChange, "smeChange"},
                                                            {smeSelMove, "smeSelMove"},
                                                            {smeStyleChange, "smeStyleChange"},
                                                            {smeVScroll, "smeVScroll"},
                                                            {smeHScroll, "smeHScroll"},
                                                            {smeFontChanged, "smeFontChanged"},
                                                            {smeBeforeChange, "smeBeforeChange"}};
  std::string s;
  for (const auto& [bit, name] : names)
    if (e & bit) s += (s.empty() ? "" : "+") + std::string(name);
  return s;
}

// Writes every event and notification of a memo into one log, in the order they come.
struct Recorder : IpmsNotify {
  std::vector<std::string> log;
  void Notify(TStyledMemo& m, TpmEvents e) override {
    if (e & smeMessage) {
      if (m.CurrentMessage()->Msg == CM_TEXTCHANGED) log.push_back("CM_TEXTCHANGED");
      return;
    }
    if (e & smeAfterMessage) return;
    log.push_back(Names(e));
  }
  void Attach(TStyledMemo& m) {
    m.AddListener(m.NotifyListeners(), this);
    m.AddListener(m.MessageListeners(), this);
    m.OnBeforeChange = [this](TStyledMemo&, TByteString&) { log.push_back("OnBeforeChange"); };
    m.OnParse = [this](TStyledMemo&, int32_t, int32_t) { log.push_back("OnParse"); };
    m.OnChange = [this](TStyledMemo&) { log.push_back("OnChange"); };
    m.OnSelMove = [this](TStyledMemo&) { log.push_back("OnSelMove"); };
    m.OnStyleChange = [this](TStyledMemo&) { log.push_back("OnStyleChange"); };
  }
};

TEST(StyledMemoEdit, EditsFireTheirEventsInOneOrder) {
  const std::vector<std::string> typed = {"OnBeforeChange", "smeBeforeChange", "OnParse",   "smeChange",
                                          "CM_TEXTCHANGED", "OnChange",        "OnSelMove", "smeSelMove"};
  const struct {
    const char* name;
    std::function<void(TStyledMemo&)> setUp;
    std::string text;
    std::vector<std::string> want;
  } rows[] = {
      {"one character typed", [](TStyledMemo& m) { m.setSelStart(2); }, "c", typed},
      {"a selection replaced",
       [](TStyledMemo& m) {
         m.setSelStart(0);
         m.setSelLength(2);
       },
       "xyz", typed},
      {"a selection deleted",
       [](TStyledMemo& m) {
         m.setSelStart(2);
         m.setSelLength(-1);
       },
       "", typed},
      {"nothing selected, nothing typed",
       [](TStyledMemo& m) { m.setSelStart(1); },
       "",
       {"OnBeforeChange", "smeBeforeChange"}},
      {"the caret leaves a bold run",
       [](TStyledMemo& m) {
         m.setPairCancelling(false);
         m.setStaticFormat(true);
         m.SetTextBuf(
             ToBytes("a\x02"
                     "b"));
         m.setSelStart(3);
         m.setSelLength(-3);
       },
       "x",
       {"OnBeforeChange", "smeBeforeChange", "OnParse", "smeChange", "CM_TEXTCHANGED", "OnChange",
        "OnSelMove", "OnStyleChange", "smeSelMove+smeStyleChange"}},
      // Typing inside a plain attribute of the application touches no attribute boundary:
      // nothing is parsed again.
      {"typed inside an application's attribute",
       [](TStyledMemo& m) {
         LayAttr(m, 0, 2, Attr(0, 255));
         m.setSelStart(1);
       },
       "c",
       {"OnBeforeChange", "smeBeforeChange", "smeChange", "CM_TEXTCHANGED", "OnChange", "OnSelMove",
        "smeSelMove"}},
  };
  for (const auto& row : rows) {
    RecordingMemoWindow w(300, 100);
    TStyledMemo m;
    m.CreateHandle(w);
    m.SetTextBuf(ToBytes("ab"));
    row.setUp(m);
    m.UpdateCaret(false);  // whatever the setting up moved is reported before the log starts
    Recorder r;
    r.Attach(m);
    m.SetSelTextBuf(ToBytes(row.text));
    EXPECT_EQ(r.log, row.want) << row.name;
    EXPECT_EQ(StoreFault(m.Store()), "") << row.name;
  }
}

TEST(StyledMemoEdit, EditsInOneUpdateEndOnceWithOneChange) {
  RecordingMemoWindow w(300, 100);
  TStyledMemo m;
  m.CreateHandle(w);
  w.focused = true;
  m.SetTextBuf(ToBytes("abc"));
  m.UpdateCaret(false);
  Recorder r;
  r.Attach(m);
  m.BeginUpdate();
  for (const char* t : {"x", "y", "z"}) m.SetSelTextBuf(ToBytes(t));
  EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "OnChange"), 0);
  const int moves = w.caretMoves;
  m.EndUpdate();
  EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "OnBeforeChange"), 3);
  EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "smeChange"), 1);
  EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "OnChange"), 1);
  EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "OnSelMove"), 1);
  EXPECT_EQ(w.caretMoves, moves + 1);  // the caret is placed once, at the end
  EXPECT_EQ(Text(m), "xyzabc");
  EXPECT_EQ(m.getSelStart(), 3);
}

TEST(StyledMemoEdit, SelectionEndsBetweenCrAndLfEditAtTheParagraphEnd) {
  TStyledMemo m;
  m.SetTextBuf(ToBytes("ab\r\ncd"));
  m.setSelStart(1);
  m.setSelLength(2);  // 1..3, the end between CR and LF
  m.SetSelTextBuf(ToBytes("X"));
  EXPECT_EQ(Text(m), "aX\r\ncd");
  m.setSelStart(3);  // between CR and LF
  m.setSelLength(-2);
  m.SetSelTextBuf(ToBytes("Y"));
  EXPECT_EQ(Text(m), "aY\r\ncd");
}

TEST(StyledMemoEdit, OnParseGetsTheEditedRangeOrTheWholeParagraph) {
  TStyledMemo m;
  m.SetTextBuf(ToBytes("one two\r\nthree"));
  std::vector<std::pair<int32_t, int32_t>> ranges;
  m.OnParse = [&](TStyledMemo&, int32_t a, int32_t b) { ranges.emplace_back(a, b); };
  m.setSelStart(4);
  m.SetSelTextBuf(ToBytes("xy"));
  m.Store()[0].States |= smpParseAll;
  m.setSelStart(1);
  m.SetSelTextBuf(ToBytes("z"));
  EXPECT_EQ(ranges, (std::vector<std::pair<int32_t, int32_t>>{{4, 6}, {0, 10}}));
  EXPECT_FALSE(m.Store()[0].States & smpParseAll);
}

// An attribute the selection splits goes on across the new text; one that started inside the
// selection keeps the text after it.
TEST(StyledMemoEdit, AttributesAtTheEdgesOfAnEditStayWithTheirText) {
  const DynInfoRec red = Attr(kDynBold, 255);
  auto attrAt = [](TStyledMemo& m, int32_t offset) {
    TStyledNavigator n(&m.NavContext());
    n.SetPos(offset + 1);  // the attribute of the character at offset
    return n.GetpDynInfo().Flags & kDynActive ? n.GetpDynInfo().Foregnd : -1;
  };
  {
    TStyledMemo m;
    m.SetTextBuf(ToBytes("0123456789"));
    LayAttr(m, 2, 8, red);
    m.setSelStart(4);
    m.setSelLength(2);
    m.SetSelTextBuf(ToBytes("xyz"));  // 01 23xyz67 89
    EXPECT_EQ(Text(m), "0123xyz6789");
    for (int32_t i = 0; i < 11; ++i) EXPECT_EQ(attrAt(m, i), i >= 2 && i < 9 ? 255 : -1) << i;
  }
  {
    TStyledMemo m;
    m.SetTextBuf(ToBytes("0123456789"));
    LayAttr(m, 5, 8, red);
    m.setSelStart(3);
    m.setSelLength(4);  // 3..7 takes the attribute's start along
    m.SetSelTextBuf(ToBytes("ab"));
    EXPECT_EQ(Text(m), "012ab789");
    for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(attrAt(m, i), i == 5 ? 255 : -1) << i;  // "7" still red
    EXPECT_EQ(StoreFault(m.Store()), "");
  }
  {
    TStyledMemo m;  // across paragraphs: the last new paragraph's tail keeps the attribute
    m.SetTextBuf(ToBytes("0123456789"));
    LayAttr(m, 5, 8, red);
    m.setSelStart(3);
    m.setSelLength(4);
    m.SetSelTextBuf(ToBytes("a\r\nb"));
    EXPECT_EQ(Text(m), "012a\r\nb789");
    EXPECT_EQ(attrAt(m, 7), 255);
    EXPECT_EQ(attrAt(m, 8), -1);
    EXPECT_EQ(StoreFault(m.Store()), "");
  }
}

// Under static format, a style code meeting its twin with only codes between drops out with it.
TEST(StyledMemoEdit, PairedCodesCancelUnderStaticFormat) {
  for (const bool cancelling : {true, false}) {
    RecordingMemoWindow w(300, 100);
    TStyledMemo m;
    m.CreateHandle(w);
    m.setStaticFormat(true);
    m.setPairCancelling(false);
    m.SetTextBuf(
        ToBytes("a\x02x\x02"
                "b"));
    m.setPairCancelling(cancelling);
    int changes = 0;
    m.OnChange = [&](TStyledMemo&) { ++changes; };
    m.setSelStart(2);
    m.setSelLength(1);
    m.SetSelTextBuf(TByteView());
    EXPECT_EQ(Text(m), cancelling ? "ab"
                                  : "a\x02\x02"
                                    "b");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(m.getSelStart(), cancelling ? 1 : 2);
    EXPECT_EQ(m.UpdateCount(), 0);
    EXPECT_NO_THROW(m.CheckIntegrity());
    EXPECT_EQ(StoreFault(m.Store()), "");
  }
}

TEST(StyledMemoEdit, CurrentStyleIsTheAttributesOrTheStaticStyle) {
  TStyledMemo m;
  m.setStaticFormat(true);
  m.SetTextBuf(
      ToBytes("a\x01"
              "bcdefg"));
  m.setSelStart(3);
  EXPECT_EQ(m.getCurrentStyle(), kStyleItalic);
  TMemoFont f = m.Font();
  f.Style = 1;  // a bold font: static styles toggle against it
  m.setFont(f);
  EXPECT_EQ(m.getCurrentStyle(), kStyleItalic | 1);
  LayAttr(m, 4, 6, Attr(kDynUnderline | kDynHighlight | kDynAltFont));
  m.setSelStart(5);
  EXPECT_EQ(m.getCurrentStyle(), kDynUnderline | kDynHighlight | kDynAltFont);
  LayAttr(m, 6, 8, Attr(kDynBold | kDynStrikeOut | kDynHighlight));  // the special underline pair
  m.setSelStart(7);
  EXPECT_EQ(m.getCurrentStyle(), kDynBold | kDynActive);
}

TEST(StyledMemoEdit, TheCaretOfAParagraphNotLaidOutIsPlacedAndReported) {
  RecordingMemoWindow w(100, 100);
  TStyledMemo m;
  m.CreateHandle(w);
  w.focused = true;
  m.SetTextBuf(ToBytes("abcde fghij klmno pqrst"));  // wraps into lines
  int moves = 0;
  m.OnSelMove = [&](TStyledMemo&) { ++moves; };
  m.Store()[0].States &= static_cast<uint8_t>(~smpFormatted);
  m.setSelStart(20);
  EXPECT_TRUE(m.Store()[0].States & smpFormatted);
  EXPECT_EQ(moves, 1);
  const int32_t h = m.getLineHeight();
  EXPECT_EQ(m.getSelLine(), 1);
  EXPECT_EQ(w.caretPos.second, h);  // on the second line
  EXPECT_EQ(w.caretPos.first, m.CaretPixel().x);
}

TEST(StyledMemoEdit, AHandlerMovingTheCaretAgainIsToldOnlyOfThatMove) {
  RecordingMemoWindow w;
  TStyledMemo m;
  m.CreateHandle(w);
  m.SetTextBuf(ToBytes("hello"));
  m.setSelStart(0);
  std::vector<int32_t> seen;
  m.OnSelMove = [&](TStyledMemo& s) {
    seen.push_back(s.getSelStart());
    if (s.getSelStart() == 2) s.setSelStart(4);  // re-enters UpdateCaret
  };
  m.setSelStart(2);
  EXPECT_EQ(seen, (std::vector<int32_t>{2, 4}));
  m.setSelStart(4);
  EXPECT_EQ(seen.size(), 2u);  // no move, nothing to tell
}

// Handlers that destroy the memo: nothing of it is touched afterwards (ASan).
TEST(StyledMemoEdit, AMemoDestroyedByAHandlerOfTheEditPathIsNotTouchedAgain) {
  using Hook = std::function<void(TStyledMemo&, std::unique_ptr<TStyledMemo>&)>;
  const struct {
    const char* name;
    Hook hook;
    const char* typed;
  } rows[] = {
      {"OnChange",
       [](TStyledMemo& m, auto& owner) { m.OnChange = [&owner](TStyledMemo&) { owner.reset(); }; }, "d"},
      {"OnParse",
       [](TStyledMemo& m, auto& owner) {
         m.OnParse = [&owner](TStyledMemo&, int32_t, int32_t) { owner.reset(); };
       },
       "d"},
      {"OnSelMove",
       [](TStyledMemo& m, auto& owner) { m.OnSelMove = [&owner](TStyledMemo&) { owner.reset(); }; }, "d"},
      {"OnStyleChange",  // a bold code typed: the caret's style changes
       [](TStyledMemo& m, auto& owner) { m.OnStyleChange = [&owner](TStyledMemo&) { owner.reset(); }; },
       "\x02"},
  };
  for (const auto& row : rows) {
    for (const bool inUpdate : {false, true}) {
      RecordingMemoWindow w;
      auto m = std::make_unique<TStyledMemo>();
      m->CreateHandle(w);
      m->setStaticFormat(true);
      m->setPairCancelling(false);
      m->SetTextBuf(ToBytes("abc"));
      m->setSelStart(3);
      row.hook(*m, m);
      if (inUpdate) m->BeginUpdate();
      m->setSelText(ToBytes(row.typed));
      if (m && inUpdate) m->EndUpdate();
      EXPECT_EQ(m, nullptr) << row.name << " " << inUpdate;
    }
  }
}

}  // namespace
}  // namespace vestrel
