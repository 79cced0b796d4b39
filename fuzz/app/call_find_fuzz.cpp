// Any received bytes through the callsign catcher and the own-call watch over a receive
// window: nothing faults, a caught call is 3 to 11 letters, digits and "/" and stands in the
// window where the catcher says, repeats come only outside transmission, and every range
// coloured lies inside the text and holds the call.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/call_find.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "callsign catcher invariant broken: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

class Ranges : public CallHighlighter {
 public:
  explicit Ranges(TStyledMemo& memo) : memo_(memo) {}
  void HighlightRange(int32_t start, int32_t stop, int32_t) override {
    Check(start >= 0 && start < stop && stop <= memo_.getCharCount(), "a coloured range inside the text");
    std::string text;
    for (int32_t i = start; i < stop; ++i) text.push_back(static_cast<char>(memo_.getChar(i)));
    Check(EqualAsciiNoCase(text, call), "a coloured range holds the call");
  }
  std::string call;

 private:
  TStyledMemo& memo_;
};

bool CallShaped(const std::string& c) {
  if (c.size() < 3 || c.size() > 11) return false;
  for (char ch : c) {
    const bool ok = (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '/';
    if (!ok) return false;
  }
  return true;
}

}  // namespace
}  // namespace vestrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vestrel;
  if (size > 4096) return 0;
  TStyledMemo memo;
  Ranges ranges(memo);
  TCallFind calls(memo, ranges);
  TMyCallFind watch;
  // The first byte: the own call's length; the bytes after it, the call.
  size_t at = 0;
  if (size > 0) {
    const size_t n = std::min<size_t>(data[0] % 20, size - 1);
    watch.SetPattern(std::string(reinterpret_cast<const char*>(data + 1), n));
    at = 1 + n;
  }
  for (; at < size; ++at) {
    uint8_t ch = data[at];
    // Bytes 0x01..0x03 switch the transmission on for the next character.
    const bool transmitting = ch == 1;
    if (ch >= 1 && ch <= 3) continue;
    memo.setSelStart(memo.getCharCount());
    memo.setSelText(TByteView(&ch, 1));
    const int r = calls.FeedChar(ch, transmitting);
    watch.FeedChar(ch, transmitting, true);
    Check(r >= 0 && r <= 2, "a result of 0, 1 or 2");
    if (r == 0) continue;
    Check(!transmitting || r == 1, "no repeat while transmitting");
    const std::string& call = calls.CurrentCall();
    Check(CallShaped(call), "a call of 3 to 11 letters, digits and slashes");
    Check(calls.CallPosition() >= 1 && calls.CallPosition() - 1 + static_cast<int32_t>(call.size()) <=
                                           memo.getCharCount(),
          "the call stands in the window");
    ranges.call = call;
    calls.Highlight(call, 255);
  }
  return 0;
}
