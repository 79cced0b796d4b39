#include "engine/codes/morse_table.h"

#include <string_view>

namespace vestrel {

namespace {

// ".-" to 0b101: the sentinel, then 0 per dit and 1 per dah.
constexpr uint8_t Code(std::string_view elements) {
  uint32_t code = 1;
  for (char e : elements) code = (code << 1) | (e == '-' ? 1u : 0u);
  return static_cast<uint8_t>(code);
}

struct Entry {
  uint8_t character;
  std::string_view elements;
};

constexpr Entry kLetters[] = {
    {'A', ".-"},   {'B', "-..."}, {'C', "-.-."}, {'D', "-.."},  {'E', "."},    {'F', "..-."}, {'G', "--."},
    {'H', "...."}, {'I', ".."},   {'J', ".---"}, {'K', "-.-"},  {'L', ".-.."}, {'M', "--"},   {'N', "-."},
    {'O', "---"},  {'P', ".--."}, {'Q', "--.-"}, {'R', ".-."},  {'S', "..."},  {'T', "-"},    {'U', "..-"},
    {'V', "...-"}, {'W', ".--"},  {'X', "-..-"}, {'Y', "-.--"}, {'Z', "--.."},
};

// А Б В Г Д Е Ж З И Й К Л М Н О П Р С Т У Ф Х Ц Ч Ш Щ Ъ Ы Ь Э Ю Я (upper case at 192..223).
constexpr std::string_view kCyrillic[32] = {
    ".-",   "-...", ".--",  "--.",  "-..",   ".",    "...-", "--..",  "..",   ".---", "-.-",
    ".-..", "--",   "-.",   "---",  ".--.",  ".-.",  "...",  "-",     "..-",  "..-.", "....",
    "-.-.", "---.", "----", "--.-", "--.--", "-.--", "-..-", "..-..", "..--", ".-.-",
};

constexpr Entry kOthers[] = {
    {'0', "-----"},   {'1', ".----"},  {'2', "..---"},   {'3', "...--"},  {'4', "....-"},   {'5', "....."},
    {'6', "-...."},   {'7', "--..."},  {'8', "---.."},   {'9', "----."},  {'"', ".-..-."},  {'\'', ".----."},
    {'(', "-.--."},   {')', "-.--.-"}, {'+', ".-.-."},   {',', "--..--"}, {'-', "-....-"},  {'.', ".-.-.-"},
    {'/', "-..-."},   {':', "---..."}, {';', "-.-.-."},  {'=', "-...-"},  {'?', "..--.."},  {'#', "......."},
    {127, "......."}, {'$', "...-.-"}, {'&', "-...-.-"}, {'@', "-.-.-"},  {'[', "-.--.-"},  {']', "-.--.-"},
    {'{', "-.--.-"},  {'}', "-.--.-"}, {'<', ".-.-."},   {'>', ".-..."},  {'\\', "--..--"}, {'|', "--..--"},
    {'^', "----.-"},  {'~', "----.-"}, {130, "."},       {132, "."},
};

constexpr std::array<uint8_t, 256> Build() {
  std::array<uint8_t, 256> t{};
  for (const Entry& e : kLetters) {
    t[e.character] = Code(e.elements);
    t[e.character + 32] = Code(e.elements);
  }
  for (int i = 0; i < 32; ++i) {
    t[192 + i] = Code(kCyrillic[i]);
    t[224 + i] = Code(kCyrillic[i]);
  }
  for (const Entry& e : kOthers) t[e.character] = Code(e.elements);
  return t;
}

}  // namespace

constinit const std::array<uint8_t, 256> kMorseTable = Build();

}  // namespace vestrel
