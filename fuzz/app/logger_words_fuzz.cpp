// Words picked from received text, and the logger's commands and file: nothing faults, a cleaned
// word holds no control character and no blank at its ends, the call rule gives the same answer
// twice, and the found call read from any logger file is trimmed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/logger_words.h"
#include "platform/ini_file.h"

namespace vestrel {
namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "logger word invariant broken: %s\n", what);
  std::abort();
}

}  // namespace
}  // namespace vestrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vestrel;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first four bytes as the wParam of an inbound command.
  if (size >= 4) {
    const uint32_t w = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    int reached = 0;
    for (int channel = 1; channel <= 9; ++channel) reached += CommandAddresses(w, channel) ? 1 : 0;
    Check(reached == 1 || reached == 9 || (reached == 0 && w < 0x9000000u), "a command reaches one instance or all");
  }
  const std::string word = CleanPickedWord(bytes);
  for (char c : word) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control character in a word");
  if (!word.empty()) Check(word.front() != ' ' && word.back() != ' ', "no blank at a word's ends");
  std::string upper = word;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  const bool call = LooksLikeCall(upper);
  Check(call == LooksLikeCall(upper), "the same answer twice");
  if (call) Check(upper.size() >= 3, "a call has three characters at least");
  // The same bytes as the logger's file.
  const IniFile ini = IniFile::FromText(bytes);
  const std::string found = TrimmedWord(ini.ReadString("QSO", "FoundCall", "."));
  if (!found.empty()) {
    Check(static_cast<unsigned char>(found.front()) > ' ' && static_cast<unsigned char>(found.back()) > ' ',
          "a found call is trimmed");
  }
  return 0;
}
