// Any bytes from an exchange peer through the inward parser. The first byte chooses the form
// (odd: KISS, as in the packet modes with IsKISS on; even: text); the rest are the peer's.
// A stand-in macro language expands "~[x]" to two escapes and "~[self]" to itself. Nothing
// faults, every call returns, no frame holds more than 2044 items besides the flag and check
// items, no word reaching the expansion is longer than 91 bytes, and the expansion ends after
// the bounded passes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/exchange_input.h"

namespace vestrel {
namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "exchange input invariant broken: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

class FuzzTarget final : public ExchangeInputTarget {
 public:
  bool kiss = false;
  const std::string* word = nullptr;
  int passes = 0;

  bool KissInput() const override { return kiss; }
  void QueueFrame(std::span<const int16_t> items) override {
    // Flag, type replaced; at least one data byte; two check items and a closing flag.
    Check(items.size() >= 4, "a queued frame carries data");
    Check(items.size() <= TKissDeframer::kMaxItems + 3, "no frame over 2044 items");
    Check(items.front() == HdlcFlagItem && items.back() == HdlcFlagItem, "a frame between flags");
    for (size_t i = 1; i + 1 < items.size(); ++i) Check(items[i] >= 0 && items[i] <= 255, "frame bytes");
  }
  void KissCommand(int command, uint8_t) override { Check(command >= 0 && command <= 15, "a command nibble"); }
  bool ExpandMacroEscape(std::string& w) override {
    if (word != &w) {
      Check(w.size() <= TExtInputHandler::kMaxWord, "no word over 91 bytes");
      Check(!w.empty() && (w[0] == '~' || w[0] == '`'), "a word starts with its escape character");
      word = &w;
      passes = 0;
    }
    Check(++passes <= TExtInputHandler::kMaxExpansionPasses, "the expansion is bounded");
    const size_t at = w.find("~[");
    if (at == std::string::npos) {
      word = nullptr;
      return false;
    }
    if (w.compare(at, 7, "~[self]") == 0) return true;
    if (w.compare(at, 4, "~[x]") == 0) {
      w.replace(at, 4, "~[x]~[x]");
      return true;
    }
    w.erase(at, 2);
    return true;
  }
  void AppendText(const std::string& text) override {
    word = nullptr;
    Check(!text.empty(), "no empty text appended");
  }
};

}  // namespace
}  // namespace vestrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vestrel;
  if (size == 0) return 0;
  FuzzTarget target;
  target.kiss = (data[0] & 1) != 0;
  TExtInputHandler handler;
  for (size_t i = 1; i < size; ++i) {
    handler.PutByte(data[i], target);
    // Every pass over a word happens within the call that ends it.
    target.word = nullptr;
  }
  Check(handler.WordLength() < TExtInputHandler::kMaxWord, "a word in progress fits its buffer");
  Check(handler.kiss().Length() <= TKissDeframer::kMaxItems, "a frame in progress fits its buffer");
  return 0;
}
