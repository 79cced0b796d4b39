#include "memo/code_pages.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(CodePages, CharsetSelectsTheCodePage) {
  EXPECT_EQ(CodePageOfCharset(204), 1251);
  for (int charset : {0, 1, 2, 238, 161}) EXPECT_EQ(CodePageOfCharset(charset), 1252) << charset;
}

TEST(CodePages, EveryByteGoesThereAndBack) {
  for (int cp : {1251, 1252}) {
    TByteString all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<unsigned char>(b));
    const std::u16string wide = ToUtf16(all, cp);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(FromUtf16(wide, cp), all) << cp;
  }
}

TEST(CodePages, KnownCharacters) {
  const struct {
    int cp;
    unsigned char byte;
    char16_t unicode;
  } cases[] = {
      {1252, 0x80, u'€'}, {1252, 0x9F, u'Ÿ'}, {1252, 0xE9, u'é'}, {1252, 0x81, 0x0081},
      {1251, 0xC0, u'А'}, {1251, 0xFF, u'я'}, {1251, 0xA8, u'Ё'}, {1251, 0xB8, u'ё'},
      {1251, 0x88, u'€'}, {1251, 0xB9, u'№'}, {1251, 0x41, u'A'},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToUtf16(TByteString(1, c.byte), c.cp), std::u16string(1, c.unicode))
        << c.cp << " " << int(c.byte);
    EXPECT_EQ(FromUtf16(std::u16string(1, c.unicode), c.cp), TByteString(1, c.byte))
        << c.cp << " " << int(c.byte);
  }
}

TEST(CodePages, WhatACodePageCannotHoldBecomesAQuestionMark) {
  EXPECT_EQ(ToChars(FromUtf16(u"a\u4E2Db", 1252)), "a?b");
  EXPECT_EQ(ToChars(FromUtf16(u"Ж", 1252)), "?");
  EXPECT_EQ(ToChars(FromUtf16(u"é", 1251)), "?");
  EXPECT_EQ(ToChars(FromUtf16(u"x\U0001F600y", 1252)), "x?y");  // a surrogate pair is one character
  EXPECT_EQ(FromUtf16(std::u16string(1, u'\0'), 1252), TByteString(1, 0));
}

}  // namespace
}  // namespace vestrel
