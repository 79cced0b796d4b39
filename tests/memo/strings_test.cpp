#include "memo/strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/memo_errors.h"
#include "support/tool_runner.h"
#include "support/vector_strings.h"

namespace vestrel {
namespace {

using testing::VectorStrings;

std::vector<std::string> Items(const VectorStrings& v) {
  std::vector<std::string> out;
  for (const TByteString& s : v.items) out.push_back(ToChars(s));
  return out;
}

TEST(Strings, TextFormSplitsAtEveryKindOfLineEnd) {
  VectorStrings v;
  v.SetTextStr(ToBytes("a\r\nb\nc\rd\r\n\r\ne"));
  EXPECT_EQ(Items(v), (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
  EXPECT_EQ(ToChars(v.GetTextStr()), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  EXPECT_EQ(v.updates, (std::vector<bool>{true, false}));
  v.SetTextStr(ToBytes(""));
  EXPECT_TRUE(v.items.empty());
}

TEST(Strings, EditingAndSearching) {
  VectorStrings v;
  EXPECT_EQ(v.Add(ToBytes("one")), 0);
  EXPECT_EQ(v.Add(ToBytes("three")), 1);
  v.Insert(1, ToBytes("two"));
  v.Put(2, ToBytes("THREE"));
  EXPECT_EQ(Items(v), (std::vector<std::string>{"one", "two", "THREE"}));
  EXPECT_EQ(v.IndexOf(ToBytes("two")), 1);
  EXPECT_EQ(v.IndexOf(ToBytes("four")), -1);
  VectorStrings w;
  w.Add(ToBytes("old"));
  w.Assign(v);
  EXPECT_EQ(Items(w), Items(v));
  w.BeginUpdate();
  w.BeginUpdate();
  w.EndUpdate();
  EXPECT_EQ(w.UpdateCount(), 1);
  w.EndUpdate();
  w.EndUpdate();  // never below 0
  EXPECT_EQ(w.UpdateCount(), 0);
}

TEST(Strings, FilesHoldTheTextForm) {
  VectorStrings v, w;
  v.SetTextStr(ToBytes("x\r\n\xe9y"));
  const std::string path = test::TempPath("strings.txt");
  v.SaveToFile(path);
  w.LoadFromFile(path);
  EXPECT_EQ(Items(w), Items(v));
  std::remove(path.c_str());
  EXPECT_THROW(w.LoadFromFile(path), EStreamError);
}

}  // namespace
}  // namespace vestrel
