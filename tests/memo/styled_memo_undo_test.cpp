// Undo and redo of a memo: what one step takes back, the two limits, and the undo list saved,
// loaded, and refused when damaged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/le_bytes.h"
#include "memo/memo_errors.h"
#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;
using testing::Text;

// Characters one at a time at the caret, as keys type them.
void Type(TStyledMemo& m, const std::string& s) {
  for (char c : s) m.setSelText(ToBytes(std::string(1, c)));
}

void Put(TStyledMemo& m, const std::string& s) {
  m.setSelText(ToBytes(s));
}

TEST(StyledMemoUndo, TypedTextIsUndoneAtOnceAndRedoneAtOnce) {
  RecordingMemoWindow w;
  TStyledMemo m;
  m.CreateHandle(w);
  Type(m, "abc");
  EXPECT_EQ(m.getUndoCount(), 1);
  EXPECT_TRUE(m.CanUndo());
  EXPECT_FALSE(m.CanRedo());
  int changes = 0;
  m.OnChange = [&](TStyledMemo&) { ++changes; };
  m.Undo();
  EXPECT_EQ(Text(m), "");
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(m.CanUndo());
  EXPECT_TRUE(m.CanRedo());
  m.Redo();
  EXPECT_EQ(Text(m), "abc");
  EXPECT_EQ(m.getSelStart(), 3);
  EXPECT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledMemoUndo, ACaretPutElsewhereStartsANewStep) {
  TStyledMemo m;
  Put(m, "xy");
  m.setSelStart(2);  // a click: typing would otherwise extend the record of "xy"
  Type(m, "a");
  m.setSelStart(0);  // a click elsewhere
  Type(m, "b");
  EXPECT_EQ(Text(m), "bxya");
  EXPECT_EQ(m.getUndoCount(), 3);
  m.Undo();
  EXPECT_EQ(Text(m), "xya");
  m.Undo();
  EXPECT_EQ(Text(m), "xy");
  m.Redo();
  m.Redo();
  EXPECT_EQ(Text(m), "bxya");
}

TEST(StyledMemoUndo, ReplacingASelectionIsUndoneToTheOldText) {
  TStyledMemo m;
  Put(m, "hello\r\nworld");
  m.setSelStart(3);
  m.setSelLength(6);  // "lo\r\nwo"
  Put(m, "p!");
  EXPECT_EQ(Text(m), "help!rld");
  m.Undo();
  EXPECT_EQ(Text(m), "hello\r\nworld");
  m.Redo();
  EXPECT_EQ(Text(m), "help!rld");
  m.Undo();
  m.Undo();
  EXPECT_EQ(Text(m), "");
  EXPECT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledMemoUndo, OneUpdateBracketIsOneStep) {
  TStyledMemo m;
  Put(m, "start ");
  m.BeginUpdate();
  Put(m, "one ");
  m.setSelStart(0);
  Put(m, "two ");
  m.setSelStart(m.getCharCount());
  Put(m, "three");
  m.EndUpdate();
  EXPECT_EQ(Text(m), "two start one three");
  m.Undo();
  EXPECT_EQ(Text(m), "start ");
  m.Redo();
  EXPECT_EQ(Text(m), "two start one three");
  EXPECT_FALSE(m.CanRedo());
  m.Undo();
  m.Undo();
  EXPECT_EQ(Text(m), "");
}

// Records of depth 0 are steps of their own, even when they follow each other.
TEST(StyledMemoUndo, EditsOutsideAnyBracketAreStepsOfTheirOwn) {
  TStyledMemo m;
  Put(m, "a");
  m.setSelStart(0);
  Put(m, "b");
  m.setSelStart(0);
  Put(m, "c");
  m.Undo();
  EXPECT_EQ(Text(m), "ba");
}

// Adjacent brackets at one depth make one step: what the receive window's appends would do
// with undo on (every character its own bracket of depth 1).
TEST(StyledMemoUndo, AdjacentBracketsAtOneDepthMakeOneStep) {
  TStyledMemo m;
  for (char c : std::string("rx text")) {
    m.BeginUpdate();
    m.setSelStart(m.getCharCount());
    m.setSelText(ToBytes(std::string(1, c)));
    m.EndUpdate();
  }
  EXPECT_EQ(m.getUndoCount(), 7);
  m.Undo();
  EXPECT_EQ(Text(m), "");
  m.setUndoMaxLevel(0);  // as the main window sets it for the receive window
  m.Redo();
  EXPECT_EQ(Text(m), "");
  for (char c : std::string("rx")) {
    m.BeginUpdate();
    m.setSelText(ToBytes(std::string(1, c)));
    m.EndUpdate();
  }
  EXPECT_EQ(m.getUndoCount(), 0);
  m.Undo();
  EXPECT_EQ(Text(m), "rx");
}

TEST(StyledMemoUndo, UndoMaxLevelKeepsTheNewestRecords) {
  TStyledMemo m;
  m.setUndoMaxLevel(2);
  for (int i = 0; i < 5; ++i) {
    m.setSelStart(m.getCharCount());
    Put(m, std::string(1, static_cast<char>('a' + i)));
  }
  EXPECT_LE(m.getUndoCount(), 3);
  EXPECT_EQ(ToChars(m.getUndoList(m.getUndoCount() - 1).Text), "");
  EXPECT_EQ(m.getUndoList(0).Start, 5 - m.getUndoCount());  // the oldest are gone
  while (m.CanUndo()) m.Undo();
  EXPECT_EQ(Text(m), std::string("abcde").substr(0, 5 - 3));
  // Lowering the level drops redo records beyond it and the oldest below the index.
  m.Redo();
  m.setUndoMaxLevel(1);
  EXPECT_EQ(m.getUndoCount(), 1);
  EXPECT_EQ(m.UndoIndex(), 1);
  EXPECT_THROW(m.setUndoMaxLevel(0x8000000), EStyledMemoError);
}

TEST(StyledMemoUndo, AnEditLargerThanUndoMaxSpaceRecordsNothing) {
  TStyledMemo m;
  Put(m, std::string(100, 'x'));
  m.setSelStart(50);
  m.setUndoMaxSpace(20);
  EXPECT_EQ(m.getUndoCount(), 1);  // the insertion replaced nothing: 13 bytes
  m.setSelLength(30);
  Put(m, "y");  // replaces 30 characters: a record of 43 bytes, which takes the older with it
  EXPECT_EQ(m.getUndoCount(), 0);
  EXPECT_EQ(m.UndoBytes(), 0);
  Type(m, "zz");  // fits: 13 bytes, extended by the second character
  EXPECT_EQ(m.getUndoCount(), 1);
  EXPECT_EQ(m.UndoBytes(), 13);
  m.Undo();
  EXPECT_EQ(Text(m), std::string(50, 'x') + "y" + std::string(20, 'x'));
  EXPECT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledMemoUndo, UndoMaxSpaceDropsRedoRecordsFirstThenTheOldest) {
  TStyledMemo m;
  for (int i = 0; i < 4; ++i) {
    m.setSelStart(m.getCharCount());
    Put(m, "ab");
  }
  EXPECT_EQ(m.UndoBytes(), 4 * 13);
  m.Undo();
  m.setUndoMaxSpace(3 * 13);
  EXPECT_EQ(m.getUndoCount(), 3);
  EXPECT_FALSE(m.CanRedo());
  m.setUndoMaxSpace(13);
  EXPECT_EQ(m.getUndoCount(), 1);
  m.Undo();
  EXPECT_EQ(Text(m), "abab");
}

TEST(StyledMemoUndo, RemoveUndoKeepsTheIndexOnItsRecord) {
  TStyledMemo m;
  for (int i = 0; i < 3; ++i) {
    m.setSelStart(m.getCharCount());
    Put(m, "q");
  }
  m.Undo();
  EXPECT_EQ(m.UndoIndex(), 2);
  m.RemoveUndo(0);
  EXPECT_EQ(m.UndoIndex(), 1);
  EXPECT_EQ(m.getUndoCount(), 2);
  EXPECT_THROW(m.RemoveUndo(2), ERangeError);
  m.ClearUndo();
  EXPECT_EQ(m.getUndoCount(), 0);
  EXPECT_FALSE(m.CanUndo());
}

TEST(StyledMemoUndo, LoadingATextClearsTheListAndChangesOnce) {
  TStyledMemo m;
  Type(m, "abc");
  int changes = 0;
  m.OnChange = [&](TStyledMemo&) { ++changes; };
  TMemoryStream s(std::vector<unsigned char>{'n', 'e', 'w'});
  m.LoadFromStream(s);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(m.getUndoCount(), 0);
  EXPECT_EQ(Text(m), "new");
}

TEST(StyledMemoUndo, SavedAndLoadedUndoUndoesTheSameWay) {
  TStyledMemo m;
  Put(m, "one two");
  m.setSelStart(3);
  m.setSelLength(1);
  Type(m, "_2_");
  m.setSelStart(0);
  m.BeginUpdate();
  Put(m, "[");
  m.setSelStart(m.getCharCount());
  Put(m, "]");
  m.EndUpdate();
  m.Undo();
  TMemoryStream saved;
  m.SaveUndo(saved);

  TStyledMemo fresh;
  Put(fresh, ToChars(m.GetTextContent()));
  saved.SetPosition(0);
  fresh.LoadUndo(saved);
  EXPECT_EQ(fresh.getUndoCount(), m.getUndoCount());
  EXPECT_EQ(fresh.UndoIndex(), m.UndoIndex());
  EXPECT_EQ(fresh.CanUndo(), m.CanUndo());
  EXPECT_EQ(fresh.CanRedo(), m.CanRedo());
  EXPECT_EQ(fresh.UndoBytes(), m.UndoBytes());
  for (TStyledMemo* x : {&m, &fresh}) {
    x->Undo();
    EXPECT_EQ(Text(*x), "one two");
    x->Redo();
    x->Redo();
    EXPECT_EQ(Text(*x), "[one_2_two]");
  }
}

// Broken undo streams, each made from a sound one.
std::vector<unsigned char> SoundUndo() {
  TStyledMemo m;
  Put(m, "abc");
  m.setSelStart(1);
  m.setSelLength(1);
  Put(m, "xyz");
  TMemoryStream s;
  m.SaveUndo(s);
  return s.Data();  // index 2, count 2; records of 13 and 14 bytes
}

void Poke32(std::vector<unsigned char>& d, size_t at, int32_t v) {
  unsigned char* p = d.data() + at;
  Put32(p, static_cast<uint32_t>(v));
}

TEST(StyledMemoUndo, DamagedUndoStreamsLeaveAnEmptyListAndRaise) {
  const std::vector<unsigned char> sound = SoundUndo();
  ASSERT_EQ(sound.size(), 8u + 4 + 13 + 4 + 14);
  struct Case {
    const char* name;
    std::vector<unsigned char> data;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"short head", {2, 0, 0, 0, 2}});
  cases.push_back({"cut in a record", {sound.begin(), sound.end() - 3}});
  auto with = [&](const char* name, size_t at, int32_t v) {
    std::vector<unsigned char> d = sound;
    Poke32(d, at, v);
    cases.push_back({name, d});
  };
  with("size 12", 8, 12);
  with("size 0", 8, 0);
  with("size -5", 8, -5);
  with("size past the end", 8, 1000);
  with("second size past the end", 8 + 4 + 13, 15);
  with("count -1", 4, -1);
  with("count 2^31-1", 4, 0x7FFFFFFF);
  with("count 3", 4, 3);
  with("index above count", 0, 3);
  with("index -1", 0, -1);
  {
    std::vector<unsigned char> d = sound;
    d[8 + 4 + 12] = 'q';  // the first record's NUL
    cases.push_back({"a text without its NUL", d});
    d = sound;
    d[8 + 4 + 13 + 4 + 12] = 0;  // a NUL inside the second record's text
    cases.push_back({"a NUL inside a text", d});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TStyledMemo m;
    Put(m, "abc");
    TMemoryStream s(c.data);
    EXPECT_THROW(m.LoadUndo(s), EStreamError);
    EXPECT_EQ(m.getUndoCount(), 0);
    EXPECT_EQ(m.UndoBytes(), 0);
    EXPECT_FALSE(m.CanUndo());
    m.Undo();
    EXPECT_EQ(Text(m), "abc");
  }
  TStyledMemo m;
  TMemoryStream s(sound);
  m.LoadUndo(s);
  EXPECT_EQ(m.getUndoCount(), 2);
}

// Offsets of a loaded list that no longer fit the text are clamped when used.
TEST(StyledMemoUndo, LoadedOffsetsBeyondTheTextAreClamped) {
  std::vector<unsigned char> d = SoundUndo();
  Poke32(d, 8 + 4 + 13 + 4, 900);       // the second record's start
  Poke32(d, 8 + 4 + 13 + 4 + 4, -900);  // and stop
  TStyledMemo m;
  Put(m, "ab");
  TMemoryStream s(d);
  m.LoadUndo(s);
  m.Undo();
  m.Undo();
  m.Redo();
  m.Redo();
  EXPECT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledMemoUndo, ALoadPastTheBoundsIsRefusedAndTheMemoKeepsItsText) {
  TStyledMemo m;
  Put(m, "kept");
  m.Store().MaxLoadParagraphs = 1000;
  std::vector<unsigned char> breaks(1000, '\n');
  TMemoryStream s(breaks);
  try {
    m.LoadFromStream(s);
    ADD_FAILURE() << "loaded";
  } catch (const EStreamError& e) {
    EXPECT_STREQ(e.what(), "Text too large to load: more than 1000 paragraphs");
  }
  EXPECT_EQ(Text(m), "kept");
  EXPECT_EQ(s.Position(), 0);
  breaks.pop_back();  // 1000 paragraphs
  TMemoryStream fits(breaks);
  m.LoadFromStream(fits);
  EXPECT_EQ(m.GetParCount(), 1000);

  m.Store().MaxLoadBytes = 100000;
  TMemoryStream big(std::vector<unsigned char>(200000, 'x'));
  EXPECT_THROW(m.LoadFromStream(big), EStreamError);
  EXPECT_EQ(m.GetParCount(), 1000);
  // CR LF pairs count once, as the load reads them.
  std::vector<unsigned char> pairs;
  for (int i = 0; i < 999; ++i) pairs.insert(pairs.end(), {'\r', '\n'});
  TMemoryStream crlf(pairs);
  m.LoadFromStream(crlf);
  EXPECT_EQ(m.GetParCount(), 1000);
}

}  // namespace
}  // namespace vestrel
