#include "engine/codes/morse_table.h"

#include <gtest/gtest.h>

#include <string>

namespace vestrel {
namespace {

// The elements of a character as dots and dashes, "" without a code.
std::string Elements(int c) {
  const uint32_t code = kMorseTable[static_cast<size_t>(c)];
  std::string e;
  if (code == 0) return e;
  int top = 7;
  while (((code >> top) & 1u) == 0) --top;
  for (int b = top - 1; b >= 0; --b) e.push_back(((code >> b) & 1u) ? '-' : '.');
  return e;
}

TEST(MorseTable, InternationalMorse) {
  struct Case {
    int c;
    const char* e;
  };
  const Case cases[] = {
      {'S', "..."},    {'O', "---"},    {'Q', "--.-"},    {'C', "-.-."},  {'Z', "--.."},   {'0', "-----"},
      {'5', "....."},  {'9', "----."},  {'?', "..--.."},  {'/', "-..-."}, {'=', "-...-"},  {'.', ".-.-.-"},
      {',', "--..--"}, {'"', ".-..-."}, {'\'', ".----."}, {'(', "-.--."}, {')', "-.--.-"}, {'+', ".-.-."},
      {'-', "-....-"}, {':', "---..."}, {';', "-.-.-."},
  };
  for (const Case& c : cases) EXPECT_EQ(Elements(c.c), c.e) << static_cast<char>(c.c);
  for (int c = 'A'; c <= 'Z'; ++c) EXPECT_EQ(Elements(c), Elements(c + 32)) << static_cast<char>(c);
}

// Russian Morse on the Cyrillic letters of code page 1251, either case.
TEST(MorseTable, CyrillicLetters) {
  EXPECT_EQ(Elements(0xC0), ".-");     // А
  EXPECT_EQ(Elements(0xC6), "...-");   // Ж
  EXPECT_EQ(Elements(0xD7), "---.");   // Ч
  EXPECT_EQ(Elements(0xD8), "----");   // Ш
  EXPECT_EQ(Elements(0xDD), "..-..");  // Э
  EXPECT_EQ(Elements(0xDF), ".-.-");   // Я
  for (int c = 0xC0; c <= 0xDF; ++c) EXPECT_EQ(Elements(c), Elements(c + 32)) << c;
}

// Signs without a code of their own stand in for one; the rest, space included, have none.
TEST(MorseTable, StandInsAndNoCode) {
  EXPECT_EQ(Elements('#'), ".......");
  EXPECT_EQ(Elements(127), ".......");
  EXPECT_EQ(Elements('$'), "...-.-");
  EXPECT_EQ(Elements('&'), "-...-.-");
  EXPECT_EQ(Elements('@'), "-.-.-");
  for (int c : {'[', ']', '{', '}'}) EXPECT_EQ(Elements(c), Elements(')'));
  EXPECT_EQ(Elements('<'), Elements('+'));
  EXPECT_EQ(Elements('>'), ".-...");
  EXPECT_EQ(Elements('\\'), "--..--");
  EXPECT_EQ(Elements('|'), "--..--");
  EXPECT_EQ(Elements('^'), "----.-");
  EXPECT_EQ(Elements('~'), "----.-");
  EXPECT_EQ(Elements(130), ".");
  EXPECT_EQ(Elements(132), ".");
  for (int c : {0, 32, 33, 37, 42, 95, 96, 13, 10, 128, 168, 184, 191}) EXPECT_EQ(kMorseTable[c], 0) << c;
}

}  // namespace
}  // namespace vestrel
