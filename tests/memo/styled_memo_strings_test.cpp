#include "memo/styled_memo_strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/memo_errors.h"
#include "memo/styled_memo.h"
#include "support/recording_memo_window.h"
#include "support/tool_runner.h"
#include "support/vector_strings.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;
using testing::VectorStrings;

std::string Text(TStyledMemo& m) {
  return ToChars(m.GetTextContent());
}

void SetText(TStyledMemo& m, const std::string& s) {
  m.SetTextBuf(ToBytes(s));
}

TEST(StyledParaStrings, AddKeepsATextEndingInABreakEndingInOne) {
  TStyledMemo m;
  TStyledParaStrings& p = m.Paragraphs();
  EXPECT_EQ(p.Add(ToBytes("one")), 0);
  EXPECT_EQ(Text(m), "one\r\n");
  EXPECT_EQ(p.Count(), 1);
  EXPECT_EQ(m.Lines().Count(), 1);
  EXPECT_EQ(p.Add(ToBytes("two")), 1);
  EXPECT_EQ(Text(m), "one\r\ntwo\r\n");
  SetText(m, "a");
  EXPECT_EQ(p.Add(ToBytes("b")), 1);  // after a last paragraph that is not empty
  EXPECT_EQ(Text(m), "a\r\nb");
  EXPECT_EQ(p.Count(), 2);
}

TEST(StyledParaStrings, DeleteInsertGetPut) {
  TStyledMemo m;
  TStyledParaStrings& p = m.Paragraphs();
  SetText(m, "a\r\nb");
  p.Delete(0);
  EXPECT_EQ(Text(m), "b");
  SetText(m, "a\r\nb");
  p.Delete(1);  // the last: only its text
  EXPECT_EQ(Text(m), "a\r\n");
  SetText(m, "a\r\nc");
  p.Insert(1, ToBytes("b"));
  EXPECT_EQ(Text(m), "a\r\nb\r\nc");
  p.Insert(3, ToBytes("d"));  // at the end
  EXPECT_EQ(Text(m), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(ToChars(p.Get(2)), "c");
  p.Put(2, ToBytes("C!"));
  EXPECT_EQ(Text(m), "a\r\nb\r\nC!\r\nd");
  EXPECT_THROW(p.Get(9), ERangeError);
  EXPECT_THROW(p.Delete(-1), ERangeError);
  EXPECT_EQ(ToChars(p.GetTextStr()), "a\r\nb\r\nC!\r\nd");
  p.SetTextStr(ToBytes("x\r\ny"));
  EXPECT_EQ(Text(m), "x\r\ny");
  p.Clear();
  EXPECT_EQ(Text(m), "");
}

TEST(StyledLinesStrings, LinesOfWrappedText) {
  RecordingMemoWindow w(100, 60);  // 84 pixels to wrap in
  TStyledMemo m;
  m.CreateHandle(w);
  TStyledLinesStrings& l = m.Lines();
  SetText(m, "abcde fghij klmno\r\nnext");
  ASSERT_EQ(l.Count(), 3);
  EXPECT_EQ(ToChars(l.Get(0)), "abcde fghij ");
  EXPECT_EQ(ToChars(l.Get(1)), "klmno");
  EXPECT_EQ(ToChars(l.Get(2)), "next");
  EXPECT_EQ(ToChars(l.Get(3)), "");
  l.Put(1, ToBytes("xyz"));
  EXPECT_EQ(Text(m), "abcde fghij xyz\r\nnext");
  l.Put(7, ToBytes("ignored"));
  EXPECT_EQ(Text(m), "abcde fghij xyz\r\nnext");
  l.Delete(1);  // the line that ends its paragraph takes the break along
  EXPECT_EQ(Text(m), "abcde fghij next");
  l.Delete(5);
  EXPECT_EQ(Text(m), "abcde fghij next");
  l.Insert(1, ToBytes("mid"));
  EXPECT_EQ(Text(m), "abcde fghij mid\r\nnext");
  l.Insert(m.getTotalLineCount(), ToBytes("end"));  // just past the lines: at the end
  EXPECT_EQ(Text(m), "abcde fghij mid\r\nnext\r\nend");
  l.Insert(9, ToBytes("ignored"));
  const int32_t added = l.Add(ToBytes("last"));
  EXPECT_EQ(added, l.Count() - 1);
  EXPECT_EQ(ToChars(l.Get(added)), "last");
  EXPECT_EQ(Text(m), "abcde fghij mid\r\nnext\r\nend\r\nlast");
  EXPECT_EQ(m.getSelStart(), m.getCharCount());
  EXPECT_NO_THROW(m.CheckIntegrity());
}

TEST(StyledLinesStrings, WithoutWrappingLinesAreParagraphs) {
  TStyledMemo m;
  m.setWordWrap(false);
  SetText(m, "one two three four five six\r\nb\r\n");
  EXPECT_EQ(m.Lines().Count(), 2);
  EXPECT_EQ(ToChars(m.Lines().Get(0)), "one two three four five six");
  m.Lines().Delete(0);
  EXPECT_EQ(Text(m), "b\r\n");
}

TEST(StyledMemoStrings, AssignBetweenMemosKeepsTheStyles) {
  TStyledMemo a, b;
  a.setStaticFormat(true);
  b.setStaticFormat(true);
  SetText(a,
          "plain \x02"
          "bold\x02 plain\r\n\x01italic");
  b.Lines().Assign(a.Lines());
  EXPECT_EQ(Text(b), Text(a));
  EXPECT_EQ(GetStartAttrib(b.Store()[1]), 0);
  EXPECT_EQ(GetLine(b.Store()[0], 0).StartStyle, 0);
  b.Paragraphs().Assign(a.Paragraphs());
  EXPECT_EQ(Text(b), Text(a));
}

TEST(StyledMemoStrings, AssignFromAnotherListTakesItsStreamForm) {
  TStyledMemo m;
  VectorStrings v;
  v.Add(ToBytes("x"));
  v.Add(ToBytes("y"));
  m.Paragraphs().Assign(v);
  EXPECT_EQ(Text(m), "x\r\ny\r\n");
  EXPECT_EQ(m.Paragraphs().Count(), 2);
  v.Assign(m.Paragraphs());
  EXPECT_EQ(v.items, (std::vector<TByteString>{ToBytes("x"), ToBytes("y")}));
}

TEST(StyledMemoStrings, WideItemsGoThroughTheFontsCodePage) {
  TStyledMemo m;
  TMemoFont f = m.Font();
  f.Charset = 204;
  m.setFont(f);
  EXPECT_EQ(m.Paragraphs().AddW(u"Привет"), 0);
  EXPECT_EQ(ToChars(m.getParString(0)), "\xcf\xf0\xe8\xe2\xe5\xf2");
  EXPECT_EQ(m.Paragraphs().GetItemsW(0), u"Привет");
  m.Paragraphs().SetItemsW(0, u"Мир 中");
  EXPECT_EQ(m.Paragraphs().GetItemsW(0), u"Мир ?");
  m.Lines().InsertW(0, u"Ёж");
  EXPECT_EQ(m.Lines().GetItemsW(0), u"Ёж");
}

// ---- files ----

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

TEST(StyledMemoFiles, SignedFilesComeBackAsTheSameText) {
  const struct {
    int charset;
    std::string text;
  } cases[] = {
      {1, ""},
      {1,
       "Gr\xfc\xdf"
       "e \x80 5\r\nzweite Zeile\r\n"},
      {204, ""},
      {204, "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0\r\n\xa8\xb8"},
  };
  for (const auto& c : cases) {
    TStyledMemo a, b;
    TMemoFont f = a.Font();
    f.Charset = c.charset;
    a.setFont(f);
    b.setFont(f);
    SetText(a, c.text);
    const std::string path = test::TempPath("sig.txt");
    a.Lines().SaveToFileWithSig(path);
    const std::string bytes = Slurp(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xff\xfe");
    EXPECT_EQ(bytes.size(), 2 + 2 * c.text.size());
    SetText(b, "something else");
    b.Lines().LoadFromFileAuto(path);
    EXPECT_EQ(Text(b), c.text) << c.charset;
    std::remove(path.c_str());
  }
}

TEST(StyledMemoFiles, Utf16FilesMadeByIconvLoadAsTheTextWritten) {
  if (!test::HaveProgram("iconv")) GTEST_SKIP() << "iconv missing";
  const struct {
    int charset;
    std::string utf8;
    std::string bytes;  // what the memo holds afterwards
  } cases[] = {
      {1, "Caf\xc3\xa9 \xe2\x82\xac 10\nline two", "Caf\xe9 \x80 10\r\nline two"},
      {204, "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82, \xd0\xbc\xd0\xb8\xd1\x80\n\xd0\x81",
       "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0\r\n\xa8"},
  };
  for (const auto& c : cases) {
    for (const std::string& order : {std::string("LE"), std::string("BE")}) {
      const std::string src = test::TempPath("utf8.txt");
      const std::string path = test::TempPath("utf16.txt");
      Spit(src, c.utf8);
      Spit(path, order == "LE" ? "\xff\xfe" : "\xfe\xff");
      const test::ToolResult r = test::RunTool("iconv -f UTF-8 -t UTF-16" + order + " " +
                                               test::ShellQuote(src) + " >> " + test::ShellQuote(path));
      ASSERT_EQ(r.exitCode, 0) << r.err;
      TStyledMemo m;
      TMemoFont f = m.Font();
      f.Charset = c.charset;
      m.setFont(f);
      m.Lines().LoadFromFileAuto(path);
      EXPECT_EQ(Text(m), c.bytes) << order << " " << c.charset;
      std::remove(src.c_str());
      std::remove(path.c_str());
    }
  }
}

TEST(StyledMemoFiles, PlainAndUnsignedFiles) {
  TStyledMemo m;
  const std::string path = test::TempPath("plain.txt");
  Spit(path, "\xff");  // one byte: 8-bit text
  m.Lines().LoadFromFileAuto(path);
  EXPECT_EQ(Text(m), "\xff");
  Spit(path, "ab\ncd");
  m.Lines().LoadFromFileAuto(path);
  EXPECT_EQ(Text(m), "ab\r\ncd");
  m.Lines().SaveToFile(path);  // the text as it is
  EXPECT_EQ(Slurp(path), "ab\r\ncd");
  m.Lines().SaveToFileW(path);
  EXPECT_EQ(Slurp(path), std::string("a\0b\0\r\0\n\0c\0d\0", 12));
  SetText(m, "");
  m.Lines().LoadFromFileW(path);
  EXPECT_EQ(Text(m), "ab\r\ncd");
  std::remove(path.c_str());
}

TEST(StyledMemoFiles, AMissingFileRaisesAndLeavesTheText) {
  TStyledMemo m;
  SetText(m, "kept");
  const std::string path = test::TempPath("missing.txt");
  try {
    m.Lines().LoadFromFileAuto(path);
    ADD_FAILURE() << "no error";
  } catch (const EStreamError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_THROW(m.Lines().LoadFromFileW(path), EStreamError);
  EXPECT_THROW(m.Lines().LoadFromFile(path), EStreamError);
  EXPECT_EQ(Text(m), "kept");
}

}  // namespace
}  // namespace vestrel
