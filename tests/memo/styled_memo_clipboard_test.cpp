// Styled-text strings, the clipboard (through a fake), column blocks pasted as blocks, and the
// memo's own popup menu.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "memo/le_bytes.h"
#include "memo/memo_errors.h"
#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::Attr;
using testing::LayAttr;
using testing::RecordingMemoWindow;
using testing::Text;

void Put(TStyledMemo& m, const std::string& s) {
  m.setSelText(ToBytes(s));
}

class FakeClipboard : public MemoClipboard {
 public:
  bool HasText() override { return has; }
  std::u16string Text() override { return text; }
  TByteString BlockMarker() override { return marker; }
  void SetText(const std::u16string& t, bool columnBlock) override {
    has = true;
    text = t;
    marker.clear();
    if (columnBlock) marker.push_back(kColumnBlockMarker);
    ++sets;
  }
  bool has = false;
  std::u16string text;
  TByteString marker;
  int sets = 0;
};

// The attribute record in force right of each character of [from, to).
std::vector<DynInfoRec> AttrsOf(TStyledMemo& m, int32_t from, int32_t to) {
  std::vector<DynInfoRec> out;
  TStyledNavigator n(&m.NavContext());
  for (int32_t i = from; i < to; ++i) {
    n.SetPos(i);
    n.RightOfDyn();
    out.push_back(n.GetpDynInfo());
  }
  return out;
}

TEST(StyledMemoDynText, FiveUnstyledCharactersMake71Bytes) {
  TStyledMemo m;
  Put(m, "hello world");
  const TByteString s = m.DynText(6, 11);
  ASSERT_EQ(s.size(), 71u);
  const unsigned char* p = s.data();
  EXPECT_EQ(Get32(p), 1u);
  EXPECT_EQ(ToChars(TByteString(s.substr(66))), "world");
  EXPECT_TRUE(m.DynText(3, 3).empty());
  EXPECT_EQ(m.DynText(11, 6), s);  // the ends are ordered
}

TEST(StyledMemoDynText, SetElsewhereReproducesTextAndAttributes) {
  TStyledMemo m;
  Put(m, "one two three\r\nfour five");
  LayAttr(m, 4, 7, Attr(kDynBold, 0x0000FF));
  LayAttr(m, 15, 19, Attr(kDynItalic));
  const TByteString s = m.DynText(2, 20);  // "e two three\r\nfour "
  ASSERT_EQ(s.size(), 4 + 5 * 62 + 18u);
  const std::vector<DynInfoRec> before = AttrsOf(m, 2, 20);

  TStyledMemo other;
  Put(other, "[]");
  other.SetDynText(1, 1, s);
  EXPECT_EQ(Text(other), "[e two three\r\nfour ]");
  const std::vector<DynInfoRec> after = AttrsOf(other, 1, 19);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(after[i].Flags & 0xBF, before[i].Flags & 0xBF);
    if (before[i].Flags & kDynActive) {
      EXPECT_EQ(after[i].Foregnd, before[i].Foregnd);
    }
  }
  EXPECT_FALSE(AttrsOf(other, 19, 20)[0].Flags & kDynActive);  // the text after keeps its own
  EXPECT_EQ(other.DynText(1, 19), s);
  EXPECT_NO_THROW(other.CheckIntegrity());
}

TEST(StyledMemoDynText, AStringTooShortForItsEntriesRaisesAndChangesNothing) {
  TStyledMemo m;
  Put(m, "abc");
  TByteString s = m.DynText(0, 3);
  std::vector<TByteString> bad;
  bad.push_back(s.substr(0, 3));
  bad.push_back(s.substr(0, 60));
  TByteString many = s;
  unsigned char* p = many.data();
  Put32(p, 2);  // two entries, the second would be the text
  bad.push_back(many);
  p = many.data();
  Put32(p, 0x80000000u);
  bad.push_back(many);
  for (const TByteString& b : bad) {
    m.setSelStart(1);
    EXPECT_THROW(m.SetDynText(0, 1, b), EStyledMemoError);
    EXPECT_EQ(Text(m), "abc");
    EXPECT_EQ(m.getSelStart(), 1);
  }
  m.SetDynText(0, 1, TByteView());  // an empty string: nothing
  EXPECT_EQ(Text(m), "abc");
}

TEST(StyledMemoDynText, EntryOffsetsAreClampedToTheInsertedText) {
  TStyledMemo m;
  Put(m, "xyz");
  LayAttr(m, 1, 2, Attr(kDynBold));
  TByteString s = m.DynText(0, 3);
  ASSERT_EQ(s.size(), 4 + 3 * 62 + 3u);
  for (int e : {1, 2}) {
    unsigned char* p = s.data() + 4 + e * 62 + 58;
    Put32(p, e == 1 ? 0x7FFFFFF0u : 0xFFFFFF00u);
  }
  TStyledMemo other;
  Put(other, "ab");
  other.SetDynText(1, 1, s);
  EXPECT_EQ(Text(other), "axyzb");
  EXPECT_NO_THROW(other.CheckIntegrity());
}

TEST(StyledMemoDynText, TheSelectionStaysOnItsTextOrComesToTheNewText) {
  TStyledMemo m;
  Put(m, "0123456789");
  const TByteString s = m.DynText(0, 2);  // "01"
  m.setSelStart(8);
  m.setSelLength(-2);                                 // 6..8, caret at 8
  m.SetDynText(1, 3, s + TByteString(ToBytes("!")));  // wrong: text grows by one byte
  EXPECT_EQ(Text(m),
            "0"
            "01!"
            "3456789");
  EXPECT_EQ(m.getSelStart(), 9);  // the caret end, the other end at 7
  EXPECT_EQ(m.SelLength(), -2);
  // A selection inside the replaced range comes onto the new text's start.
  m.setSelStart(2);
  m.setSelLength(1);
  m.SetDynText(1, 5, s);
  EXPECT_EQ(Text(m),
            "0"
            "01"
            "456789");
  EXPECT_EQ(m.getSelStart(), 1);
  EXPECT_EQ(m.SelLength(), 0);
  EXPECT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledMemoClipboard, CopyGivesLfBreaksAndPasteTakesEveryBreak) {
  TStyledMemo m;
  FakeClipboard cb;
  m.setClipboard(&cb);
  Put(m, "ab\r\ncd");
  m.CopyToClipboard();  // no selection: nothing
  EXPECT_EQ(cb.sets, 0);
  m.SelectAll();
  m.CopyToClipboard();
  EXPECT_EQ(cb.text, u"ab\ncd");
  EXPECT_TRUE(cb.marker.empty());

  cb.text = u"1\n2\r\n3\r4";
  m.setSelStart(2);
  m.PasteFromClipboard();
  EXPECT_EQ(Text(m), "ab1\r\n2\r\n3\r\n4\r\ncd");
  m.Undo();  // the paste is one step of its own
  EXPECT_EQ(Text(m), "ab\r\ncd");

  m.setSelStart(0);
  m.setSelLength(2);
  m.CutToClipboard();
  EXPECT_EQ(cb.text, u"ab");
  EXPECT_EQ(Text(m), "\r\ncd");
  cb.has = false;
  m.PasteFromClipboard();
  EXPECT_EQ(Text(m), "\r\ncd");
}

TEST(StyledMemoClipboard, TextCrossesThroughTheFontsCodePage) {
  TStyledMemo m;
  TMemoFont f = m.Font();
  f.Charset = 204;
  m.setFont(f);
  FakeClipboard cb;
  m.setClipboard(&cb);
  Put(m, "\xCF\xF0\xE8\xE2\xE5\xF2");  // "Привет" in code page 1251
  m.SelectAll();
  m.CopyToClipboard();
  EXPECT_EQ(cb.text, u"\u041F\u0440\u0438\u0432\u0435\u0442");
  cb.text = u"\u041C\u0438\u0440";  // "Мир"
  m.setSelStart(m.getCharCount());
  m.PasteFromClipboard();
  EXPECT_EQ(Text(m), "\xCF\xF0\xE8\xE2\xE5\xF2\xCC\xE8\xF0");
}

TEST(StyledMemoClipboard, PlainClipboardStripsTheStyleCodes) {
  TStyledMemo m;
  m.setOptions(m.Options() | smoPlainClipboard);
  m.setStaticFormat(true);
  FakeClipboard cb;
  m.setClipboard(&cb);
  Put(m,
      "a\x02"
      "b\x02"
      "c");
  m.SelectAll();
  m.CopyToClipboard();
  EXPECT_EQ(cb.text, u"abc");
}

TEST(StyledMemoClipboard, AColumnBlockPastesLineByLineAtOneColumn) {
  TStyledMemo src;
  src.setWordWrap(false);
  src.setOptions(src.Options() | smoBlockSelection);
  FakeClipboard cb;
  src.setClipboard(&cb);
  Put(src, "abcdef\r\nghijkl\r\nmnopqr");
  src.SelectBlock(1, 0, 1, 3);  // columns 1..3 of the first two paragraphs
  ASSERT_TRUE(src.BlockMode());
  src.CopyToClipboard();
  EXPECT_EQ(cb.text, u"bc\nhi\n");
  ASSERT_EQ(cb.marker.size(), 1u);
  EXPECT_EQ(cb.marker[0], kColumnBlockMarker);

  TStyledMemo dst;
  dst.setWordWrap(false);
  dst.setOptions(dst.Options() | smoBlockSelection);
  dst.setClipboard(&cb);
  Put(dst, "0123\r\nx");
  dst.setSelStart(3);  // paragraph 0, column 3
  dst.PasteFromClipboard();
  EXPECT_EQ(Text(dst), "012bc3\r\nx  hi");
  dst.Undo();  // the block's lines are one step
  EXPECT_EQ(Text(dst), "0123\r\nx");
  dst.Redo();
  EXPECT_EQ(Text(dst), "012bc3\r\nx  hi");
  // Past the last paragraph new ones are added.
  dst.setSelStart(dst.getCharCount());
  cb.text = u"1\n2\n3";
  dst.PasteFromClipboard();
  EXPECT_EQ(Text(dst), "012bc3\r\nx  hi1\r\n     2\r\n     3");
  EXPECT_NO_THROW(dst.CheckIntegrity());

  // Without smoBlockSelection the same clipboard is plain text.
  TStyledMemo plain;
  plain.setClipboard(&cb);
  cb.text = u"bc\nhi\n";
  plain.PasteFromClipboard();
  EXPECT_EQ(Text(plain), "bc\r\nhi\r\n");
}

class PopupWindow : public RecordingMemoWindow {
 public:
  void ShowPopupMenu(const TMemoPopupMenu& menu, TPoint at) override {
    shown = menu;
    where = at;
    ++shows;
  }
  TMemoPopupMenu shown;
  TPoint where{};
  int shows = 0;
};

TEST(StyledMemoPopup, ItemsFollowTheTableAndTheirCommandsRun) {
  PopupWindow w;
  TStyledMemo m;
  m.CreateHandle(w);
  FakeClipboard cb;
  m.setClipboard(&cb);
  int fired = 0;
  m.OnInternalPopup = [&](TStyledMemo&) { ++fired; };
  Put(m, "text");
  m.ShowInternalPopup({5, 7});
  ASSERT_EQ(w.shows, 1);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(w.where.x, 5);
  struct Row {
    std::string caption;
    int32_t tag;
    bool enabled;
  };
  const std::vector<Row> want = {{"&Undo", 100, true}, {"&Redo", 101, false},     {"-", 0, true},
                                 {"Cu&t", 102, false}, {"&Copy", 103, false},     {"&Paste", 104, false},
                                 {"-", 0, true},       {"&Select all", 105, true}};
  ASSERT_EQ(w.shown.Items.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(w.shown.Items[i].Caption, want[i].caption);
    EXPECT_EQ(w.shown.Items[i].Tag, want[i].tag);
    if (want[i].tag) {
      EXPECT_EQ(w.shown.Items[i].Enabled, want[i].enabled);
    }
  }

  m.PopupClickHandler(TStyledMemo::kPopupSelectAll);
  m.PopupClickHandler(TStyledMemo::kPopupCopy);
  EXPECT_EQ(cb.text, u"text");
  m.setReadOnly(true);
  m.ShowInternalPopup({0, 0});
  EXPECT_FALSE(w.shown.Items[3].Enabled);  // Cut
  EXPECT_TRUE(w.shown.Items[4].Enabled);   // Copy
  EXPECT_FALSE(w.shown.Items[5].Enabled);  // Paste
  m.setReadOnly(false);
  m.PopupClickHandler(TStyledMemo::kPopupUndo);
  EXPECT_EQ(Text(m), "");
  m.PopupClickHandler(TStyledMemo::kPopupRedo);
  EXPECT_EQ(Text(m), "text");

  m.setOptions(m.Options() | smoNoDefaultPopup);
  m.ShowInternalPopup({0, 0});
  EXPECT_EQ(w.shows, 2);
}

// The keys, the right-button release and the edit messages reach undo, the clipboard and the
// popup: each row starts from "one two" with "two" selected and a clipboard holding "X".
TEST(StyledMemoPopup, KeysAndMessagesReachUndoTheClipboardAndThePopup) {
  auto send = [](TStyledMemo& m, uint32_t msg, uintptr_t w = 0, intptr_t l = 0) {
    TMemoMessage message;
    message.Msg = msg;
    message.WParam = w;
    message.LParam = l;
    m.WndProc(message);
  };
  auto key = [&](TStyledMemo& m, TMemoKey k, TShiftState shift) {
    send(m, WM_KEYDOWN, k, shift);
    // Ctrl with a letter also makes its control character.
    if ((shift & ssCtrl) && k >= 'A' && k <= 'Z') send(m, WM_CHAR, static_cast<uintptr_t>(k - 'A' + 1));
    send(m, WM_KEYUP, k, shift);
  };
  struct Row {
    const char* what;
    std::function<void(TStyledMemo&)> act;
    std::string text;      // the memo's text after
    std::u16string board;  // the clipboard after
    int popups;            // menus shown
  };
  const std::vector<Row> rows = {
      {"Ctrl+Z", [&](TStyledMemo& m) { key(m, 'Z', ssCtrl); }, "one ", u"X", 0},
      {"Shift+Ctrl+Z after Ctrl+Z",
       [&](TStyledMemo& m) {
         key(m, 'Z', ssCtrl);
         key(m, 'Z', ssCtrl | ssShift);
       },
       "one two", u"X", 0},
      {"Ctrl+C", [&](TStyledMemo& m) { key(m, 'C', ssCtrl); }, "one two", u"two", 0},
      {"Ctrl+V", [&](TStyledMemo& m) { key(m, 'V', ssCtrl); }, "one X", u"X", 0},
      {"Ctrl+X", [&](TStyledMemo& m) { key(m, 'X', ssCtrl); }, "one ", u"two", 0},
      {"Ctrl+Insert", [&](TStyledMemo& m) { key(m, kKeyInsert, ssCtrl); }, "one two", u"two", 0},
      {"Shift+Insert", [&](TStyledMemo& m) { key(m, kKeyInsert, ssShift); }, "one X", u"X", 0},
      {"Shift+Delete", [&](TStyledMemo& m) { key(m, kKeyDelete, ssShift); }, "one ", u"two", 0},
      {"context-menu key", [&](TStyledMemo& m) { key(m, kKeyApps, 0); }, "one two", u"X", 1},
      {"right-button release", [&](TStyledMemo& m) { send(m, WM_RBUTTONUP, 0, PointParam(-3, 40)); },
       "one two", u"X", 1},
      {"WM_COPY", [&](TStyledMemo& m) { send(m, WM_COPY); }, "one two", u"two", 0},
      {"WM_CUT", [&](TStyledMemo& m) { send(m, WM_CUT); }, "one ", u"two", 0},
      {"WM_PASTE", [&](TStyledMemo& m) { send(m, WM_PASTE); }, "one X", u"X", 0},
      {"WM_UNDO", [&](TStyledMemo& m) { send(m, WM_UNDO); }, "one ", u"X", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PopupWindow w;
    TStyledMemo m;
    m.CreateHandle(w);
    FakeClipboard cb;
    m.setClipboard(&cb);
    cb.has = true;
    cb.text = u"X";
    Put(m, "one ");
    m.setSelStart(4);  // "two" is an edit of its own
    Put(m, "two");
    m.setSelStart(4);
    m.setSelLength(3);
    row.act(m);
    EXPECT_EQ(Text(m), row.text);
    EXPECT_EQ(cb.text, row.board);
    EXPECT_EQ(w.shows, row.popups);
  }
  // The release's point is where the menu shows, negative coordinates included.
  PopupWindow w;
  TStyledMemo m;
  m.CreateHandle(w);
  send(m, WM_RBUTTONUP, 0, PointParam(-3, 40));
  EXPECT_EQ(w.where.x, -3);
  EXPECT_EQ(w.where.y, 40);
  m.setOptions(m.Options() | smoNoDefaultPopup);
  send(m, WM_RBUTTONUP, 0, PointParam(1, 1));
  EXPECT_EQ(w.shows, 1);
}

}  // namespace
}  // namespace vestrel
