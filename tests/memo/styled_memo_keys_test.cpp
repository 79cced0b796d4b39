// Keys on the memo's core: sequences of keys going down and characters typed, and the text,
// caret and selection they leave.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/paragraph_store_check.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;
using testing::StoreFault;
using testing::Text;

// A key going down (with its shift state), or characters typed.
struct Step {
  TMemoKey key = 0;
  TShiftState shift = 0;
  std::string chars;
};
Step Down(TMemoKey key, TShiftState shift = 0) {
  return {key, shift, {}};
}
Step Type(const std::string& chars) {
  return {0, 0, chars};
}

// Keys as the widget sends them: down, then the character the key makes.
void Press(TStyledMemo& m, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    if (s.key != 0) {
      TMemoKey k = s.key;
      m.KeyDown(k, s.shift);
      TMemoKey up = s.key;
      m.KeyUp(up, s.shift);
    }
    for (char c : s.chars) {
      unsigned char ch = static_cast<unsigned char>(c);
      m.KeyPress(ch);
    }
  }
}

struct Memo {
  explicit Memo(const std::string& text, int32_t caret, TStyledMemoOptions options) {
    m.setUpdateMode(umImmediate);
    m.setOptions(options);
    m.CreateHandle(w);
    m.SetTextBuf(ToBytes(text));
    m.setSelStart(caret);
    m.OnChange = [this](TStyledMemo&) { ++changes; };
  }
  RecordingMemoWindow w{300, 100};
  TStyledMemo m;
  int changes = 0;
};

constexpr TStyledMemoOptions kPlain = smoPutExtraSpaces | smoWrapCaret | smoInsertKeyActive;

TEST(StyledMemoKeys, TableOfKeySequences) {
  const struct Row {
    const char* name;
    std::string text;
    int32_t caret;
    TStyledMemoOptions options;
    std::function<void(TStyledMemo&)> setup;
    std::vector<Step> steps;
    std::string result;
    int32_t selStart, selLength;
  } rows[] = {
      {"typing", "", 0, kPlain, nullptr, {Type("ab"), Type("\r"), Type("c")}, "ab\r\nc", 5, 0},
      {"backspace at a paragraph start joins",
       "ab\r\ncd",
       4,
       kPlain,
       nullptr,
       {Down(kKeyBack)},
       "abcd",
       2,
       0},
      {"delete at a paragraph end joins", "ab\r\ncd", 2, kPlain, nullptr, {Down(kKeyDelete)}, "abcd", 2, 0},
      {"backspace inside a line", "abc", 2, kPlain, nullptr, {Down(kKeyBack)}, "ac", 1, 0},
      {"ctrl+backspace to the word start",
       "one two",
       6,
       kPlain,
       nullptr,
       {Down(kKeyBack, ssCtrl)},
       "one o",
       4,
       0},
      {"backspace at the text start does nothing", "ab", 0, kPlain, nullptr, {Down(kKeyBack)}, "ab", 0, 0},
      {"delete at the text end does nothing", "ab", 2, kPlain, nullptr, {Down(kKeyDelete)}, "ab", 2, 0},
      {"right into virtual space, typing puts the filler first",
       "ab\r\ncd",
       2,
       smoKeepColumnPos | smoPutExtraSpaces,
       nullptr,
       {Down(kKeyRight), Down(kKeyRight), Type("x")},
       "ab  x\r\ncd",
       5,
       0},
      {"right wraps to the next paragraph without column keeping",
       "ab\r\ncd",
       2,
       kPlain,
       nullptr,
       {Down(kKeyRight), Type("x")},
       "ab\r\nxcd",
       5,
       0},
      {"enter keeps two tabs of indentation",
       "\t\tab",
       4,
       kPlain | smoAutoIndent,
       nullptr,
       {Type("\r")},
       "\t\tab\r\n\t\t",
       8,
       0},
      {"enter without auto indent", "\t\tab", 4, kPlain, nullptr, {Type("\r")}, "\t\tab\r\n", 6, 0},
      {"ctrl+e on a sound memo", "abc", 1, kPlain, nullptr, {Down('E', ssCtrl), Type("\x05")}, "abc", 1, 0},
      {"ctrl+b with hot keys off passes through",
       "abc",
       1,
       kPlain,
       [](TStyledMemo& m) {
         m.setStaticFormat(true);
         m.setEnableHotKeys(false);
       },
       {Down('B', ssCtrl), Type("\x02")},
       "abc",
       1,
       0},
      {"ctrl+b with hot keys on brackets the caret",
       "abc",
       1,
       kPlain,
       [](TStyledMemo& m) { m.setStaticFormat(true); },
       {Down('B', ssCtrl), Type("\x02"), Type("x")},
       "a\x02x\x02"
       "bc",
       3,
       0},
      {"ctrl+p and ctrl+t insert a page break and a tab",
       "ab",
       1,
       kPlain,
       nullptr,
       {Down('P', ssCtrl), Type("\x10"), Down('T', ssCtrl), Type("\x14")},
       "a\r\n\f\tb",
       5,
       0},
      {"ctrl+home and shift+ctrl+end select everything",
       "ab\r\ncd",
       3,
       kPlain,
       nullptr,
       {Down(kKeyHome, ssCtrl), Down(kKeyEnd, ssCtrl | ssShift)},
       "ab\r\ncd",
       6,
       -6},
      {"shift+left twice selects backwards",
       "abcd",
       3,
       kPlain,
       nullptr,
       {Down(kKeyLeft, ssShift), Down(kKeyLeft, ssShift)},
       "abcd",
       1,
       2},
      {"typing replaces the selection",
       "abcd",
       3,
       kPlain,
       nullptr,
       {Down(kKeyLeft, ssShift), Down(kKeyLeft, ssShift), Type("X")},
       "aXd",
       2,
       0},
      {"down keeps the column",
       "abcd\r\nefgh",
       2,
       kPlain,
       nullptr,
       {Down(kKeyDown), Type("X")},
       "abcd\r\nefXgh",
       9,
       0},
      {"a column block removed by delete",
       "abcd\r\nefgh\r\nijkl",
       1,
       kPlain | smoBlockSelection,
       [](TStyledMemo& m) { m.setWordWrap(false); },
       {Down(kKeyRight, ssShift | ssAlt), Down(kKeyRight, ssShift | ssAlt), Down(kKeyDown, ssShift | ssAlt),
        Down(kKeyDown, ssShift | ssAlt), Down(kKeyDelete)},
       "ad\r\neh\r\nil",
       9,
       0},
      {"overwrite replaces the next character",
       "abc",
       1,
       kPlain,
       nullptr,
       {Down(kKeyInsert), Type("X"), Down(kKeyInsert), Type("Y")},
       "aXYc",
       3,
       0},
      {"read only takes no text",
       "abc",
       1,
       kPlain,
       [](TStyledMemo& m) { m.setReadOnly(true); },
       {Type("X"), Down(kKeyBack), Down(kKeyDelete)},
       "abc",
       1,
       0},
      {"display only takes no text",
       "abc",
       1,
       kPlain,
       [](TStyledMemo& m) { m.setDisplayOnly(true); },
       {Type("X\r"), Down(kKeyBack), Down(kKeyDelete), Down('P', ssCtrl)},
       "abc",
       1,
       0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Memo t(r.text, r.caret, r.options);
    if (r.setup) {
      r.setup(t.m);
      t.m.setSelStart(r.caret);
      t.changes = 0;
    }
    ASSERT_NO_THROW(Press(t.m, r.steps));
    EXPECT_EQ(Text(t.m), r.result);
    EXPECT_EQ(t.m.getSelStart(), r.selStart);
    EXPECT_EQ(t.m.SelLength(), r.selLength);
    if (r.result == r.text) {
      EXPECT_EQ(t.changes, 0);  // no edit at all
    }
    EXPECT_EQ(StoreFault(t.m.Store()), "");
  }
}

TEST(StyledMemoKeys, DisplayOnlyShowsNoCaretAndKeysOnlyScroll) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "line " + std::to_string(i) + "\r\n";
  Memo t(text, 0, kPlain);
  t.m.setLineHeight(20);
  t.m.setDisplayOnly(true);
  t.w.focused = true;
  TMemoMessage focus;
  focus.Msg = WM_SETFOCUS;
  t.m.WndProc(focus);
  EXPECT_FALSE(t.w.caretShown);
  Press(t.m, {Down(kKeyPageDown)});
  EXPECT_GT(t.m.getTopLine(), 0);
  Press(t.m, {Down(kKeyPageUp, ssCtrl)});
  EXPECT_EQ(t.m.getTopLine(), 0);
  Press(t.m, {Down(kKeyDown), Down(kKeyDown)});
  EXPECT_EQ(t.m.getTopLine(), 2);
  EXPECT_EQ(t.m.getSelStart(), 0);
  EXPECT_EQ(t.changes, 0);
}

TEST(StyledMemoKeys, KeyHandlersMayTakeTheKey) {
  Memo t("abc", 3, kPlain);
  int downs = 0;
  t.m.OnKeyDown = [&](TStyledMemo&, TMemoKey& key, TShiftState) {
    ++downs;
    if (key == kKeyBack) key = 0;
  };
  t.m.OnKeyPress = [](TStyledMemo&, unsigned char& c) {
    if (c == 'q') c = 0;
  };
  Press(t.m, {Down(kKeyBack), Type("qz")});
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(Text(t.m), "abcz");
  // The window's messages carry the same.
  TMemoMessage msg;
  msg.Msg = WM_KEYDOWN;
  msg.WParam = kKeyLeft;
  t.m.WndProc(msg);
  EXPECT_EQ(msg.Result, 0);  // the memo took it
  EXPECT_EQ(t.m.getSelStart(), 3);
  msg.Msg = WM_CHAR;
  msg.WParam = 'y';
  t.m.WndProc(msg);
  EXPECT_EQ(Text(t.m), "abcyz");
  // A character that comes with Alt belongs to a command.
  TMemoKey f = 'F';
  t.m.KeyDown(f, ssAlt);
  unsigned char c = 'f';
  t.m.KeyPress(c);
  EXPECT_EQ(Text(t.m), "abcyz");
}

TEST(StyledMemoKeys, SmartTabsReachTheNextWordOfTheLineAbove) {
  Memo t("alpha   beta gamma\r\n", 20, kPlain | smoSmartTabs);
  t.m.setWordWrap(false);
  Press(t.m, {Type("\t")});
  EXPECT_EQ(Text(t.m), "alpha   beta gamma\r\n        ");
  Press(t.m, {Type("\t")});
  EXPECT_EQ(Text(t.m), "alpha   beta gamma\r\n             ");
  Press(t.m, {Type("\t")});  // to the line's end
  EXPECT_EQ(Text(t.m), "alpha   beta gamma\r\n                  ");
  Press(t.m, {Type("\t")});  // no longer line above
  EXPECT_EQ(Text(t.m), "alpha   beta gamma\r\n                  ");
}

TEST(StyledMemoKeys, BackIndentReturnsToTheIndentationAbove) {
  Memo t("  a\r\n      b", 11, kPlain | smoBackIndent);
  t.m.setWordWrap(false);
  Press(t.m, {Down(kKeyBack)});
  EXPECT_EQ(Text(t.m), "  a\r\n  b");
  Press(t.m, {Down(kKeyBack)});
  EXPECT_EQ(Text(t.m), "  a\r\nb");
}

}  // namespace
}  // namespace vestrel
