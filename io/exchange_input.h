#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "engine/modes/packet/kiss_frame.h"

namespace vestrel {

// Text from the exchange peers on its way to the typing window: appended by the inward
// parsers, taken whole by the text pump. The text is only ever touched under the lock.
class TPreBuff {
 public:
  // Always 0: the lock is waited for, never given up on.
  int Append(const std::string& text);
  // 0 at once when no text waits; else hands the whole text to `take` and empties the buffer
  // (the call itself runs outside the lock, so it may append again).
  int Take(const std::function<void(const std::string&)>& take);
  bool HasText() const { return hasText_.load(std::memory_order_acquire); }

 private:
  std::mutex mutex_;
  std::string text_;
  std::atomic<bool> hasText_{false};
};

// What an inward parser hands on. GUI thread only.
class ExchangeInputTarget {
 public:
  // The packet modes (ModeNumber 8 or 10) with IsKISS on: bytes are KISS.
  virtual bool KissInput() const = 0;
  // A data frame as packet items: flag, data bytes, check low and high, flag.
  virtual void QueueFrame(std::span<const int16_t> items) = 0;
  // A KISS command frame: the type byte's low nibble and its value byte.
  virtual void KissCommand(int command, uint8_t value) = 0;
  // Performs the first macro escape of `word`; true when one was found (and removed).
  virtual bool ExpandMacroEscape(std::string& word) = 0;
  // Text for the transmitter: TPreBuff::Append, then the text pump is woken (WM_PUMP_TX).
  virtual void AppendText(const std::string& text) = 0;

 protected:
  ~ExchangeInputTarget() = default;
};

// The inward parser of one exchange channel (the exchange port, the exchange library's
// channel, the automation methods). In the packet modes with IsKISS on it collects KISS
// frames; otherwise it passes text on with its line ends made CR LF, and collects macro words
// (from a tilde or a grave accent up to a ']', a space or a control byte, or 91 characters)
// for expansion. A partial word or frame survives a change of mode or port.
class TExtInputHandler {
 public:
  static constexpr size_t kMaxWord = 91;
  // Passes of the macro expansion over one word: enough for escapes nested in a macro's
  // text, and an end for a macro that names itself.
  static constexpr int kMaxExpansionPasses = 8;

  // byte: 0..255 from a port or library; the automation methods may hand negative values,
  // which (like 0 in text) are ignored.
  void PutByte(int byte, ExchangeInputTarget& target);
  // The line-end normaliser: CR, LF, CR LF and LF CR each give one CR LF; 0 is ignored.
  void PutTextChar(uint8_t byte, ExchangeInputTarget& target);

  bool InWord() const { return inWord_; }
  size_t WordLength() const { return wordLength_; }
  const TKissDeframer& kiss() const { return kiss_; }

 private:
  void PutKissByte(int byte, ExchangeInputTarget& target);
  void PutTextByte(uint8_t byte, ExchangeInputTarget& target);
  void EndWord(ExchangeInputTarget& target);

  bool inWord_ = false;
  size_t wordLength_ = 0;
  bool lineEndEmitted_ = false;
  bool crEmitted_ = false;
  TKissDeframer kiss_;
  std::array<char, kMaxWord + 1> word_{};
};

}  // namespace vestrel
