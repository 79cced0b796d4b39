#include "app/call_find.h"

#include <algorithm>

#include "memo/styled_memo.h"

namespace vestrel {

namespace {

constexpr bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
constexpr bool IsLetter(uint8_t c) { return c >= 'A' && c <= 'Z'; }
constexpr bool IsSeparator(uint8_t c) { return c <= 32 || c == ',' || c == '.' || c == '?'; }

}  // namespace

bool EqualAsciiNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiUpper(static_cast<uint8_t>(x)) == AsciiUpper(static_cast<uint8_t>(y));
         });
}

void TCallFind::ClearWord() {
  wordLength_ = 0;
  digits_ = lettersAndSlashes_ = slashes_ = others_ = letters_ = 0;
}

bool TCallFind::Accepted() const {
  const int n = wordLength_;
  if (n < kMinCall || n > kMaxCall) return false;
  const auto at = [&](int i) { return static_cast<uint8_t>(word_[static_cast<size_t>(i)]); };
  const uint8_t first = at(0), last = at(n - 1);
  if (IsDigit(last) && at(n - 2) != '/') return false;
  if (digits_ == 1 && (IsDigit(first) || IsDigit(last))) return false;
  if (n > 6 && slashes_ == 0) return false;
  if (others_ != 0) return false;
  if (digits_ < 1 || letters_ < 2) return false;
  if (n == 4) return !IsDigit(last);
  if (n == 3) return IsLetter(first) && IsDigit(at(1)) && IsLetter(last);
  return true;
}

int TCallFind::FeedChar(uint8_t ch, bool transmitting) {
  ch = AsciiUpper(ch);
  if (!IsSeparator(ch)) {
    wordDuringTx_ = transmitting;
    if (wordLength_ == 0) wordStart_ = memo_.getCharCount();
    if (wordLength_ < kMaxStored) {
      word_[static_cast<size_t>(wordLength_++)] = static_cast<char>(ch);
      if (IsDigit(ch)) {
        ++digits_;
      } else if (IsLetter(ch)) {
        ++letters_;
        ++lettersAndSlashes_;
      } else if (ch == '/') {
        ++slashes_;
        ++lettersAndSlashes_;
      } else {
        ++others_;
      }
    }
    return 0;
  }
  if (!Accepted()) {
    ClearWord();
    return 0;
  }
  currentCall_.assign(word_.data(), static_cast<size_t>(wordLength_));
  callPosition_ = wordStart_;
  callDuringTx_ = wordDuringTx_;
  NewCall = true;
  ClearWord();
  if (callDuringTx_) return 1;
  if (!EqualAsciiNoCase(currentCall_, previousCall_)) {
    previousCall_ = currentCall_;
    return 1;
  }
  return 2;
}

int32_t TCallFind::FindLastMatch(std::string_view call) {
  const auto length = static_cast<int32_t>(call.size());
  if (length < kMinCall || length > kMaxCall) return -1;
  const int32_t count = memo_.getCharCount();
  const int32_t lowest = std::max<int32_t>(count - length - kSearchBack, 0);
  for (int32_t pos = count - length; pos >= lowest; --pos) {
    int32_t i = 0;
    while (i < length &&
           AsciiUpper(memo_.getChar(pos + i)) == AsciiUpper(static_cast<uint8_t>(call[static_cast<size_t>(i)])))
      ++i;
    if (i == length) return pos;
  }
  return -1;
}

void TCallFind::Highlight(std::string_view call, int32_t colour) {
  const auto length = static_cast<int32_t>(call.size());
  if (length < kMinCall || length > kMaxCall) return;
  const int32_t count = memo_.getCharCount();
  if (EqualAsciiNoCase(call, currentCall_) && callPosition_ > 0 && length + callPosition_ - 2 < count) {
    const int32_t start = callPosition_ - 1;
    int32_t i = 0;
    while (i < length &&
           AsciiUpper(memo_.getChar(start + i)) == AsciiUpper(static_cast<uint8_t>(call[static_cast<size_t>(i)])))
      ++i;
    if (i == length) {
      highlighter_.HighlightRange(start, start + length, colour);
      return;
    }
  }
  const int32_t found = FindLastMatch(call);
  if (found >= 0) highlighter_.HighlightRange(found, found + length, colour);
}

bool TMyCallFind::FeedChar(uint8_t ch, bool transmitting, bool armed) {
  if (transmitting) return false;
  ch = AsciiUpper(ch);
  ring_[index_] = ch;
  const uint32_t last = index_;
  index_ = (index_ + 1) & 15u;
  constexpr size_t kLast = kMaxPattern + 1;
  if (!armed || pattern_[kLast] == 0 || ch != pattern_[kLast]) return false;
  // Backwards through the ring until the zero byte before the pattern.
  uint32_t r = last;
  for (size_t p = kLast - 1; pattern_[p] != 0; --p) {
    r = (r - 1) & 15u;
    if (ring_[r] != pattern_[p]) return false;
  }
  return true;
}

void TMyCallFind::Reset() {
  ring_.fill(0);
  index_ = 0;
}

void TMyCallFind::SetPattern(std::string_view call) {
  pattern_.fill(0);
  const size_t n = std::min<size_t>(call.size(), kMaxPattern);
  for (size_t i = 0; i < n; ++i)
    pattern_[pattern_.size() - n + i] = AsciiUpper(static_cast<uint8_t>(call[i]));
}

std::string_view TMyCallFind::Pattern() const {
  size_t start = pattern_.size();
  while (start > 1 && pattern_[start - 1] != 0) --start;
  return {reinterpret_cast<const char*>(pattern_.data()) + start, pattern_.size() - start};
}

}  // namespace vestrel
