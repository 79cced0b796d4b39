#include "io/exchange_input.h"

namespace vestrel {

int TPreBuff::Append(const std::string& text) {
  std::lock_guard lock(mutex_);
  text_ += text;
  hasText_.store(true, std::memory_order_release);
  return 0;
}

int TPreBuff::Take(const std::function<void(const std::string&)>& take) {
  if (!HasText()) return 0;
  std::string text;
  {
    std::lock_guard lock(mutex_);
    text.swap(text_);
    hasText_.store(false, std::memory_order_release);
  }
  if (!text.empty() && take) take(text);
  return 0;
}

void TExtInputHandler::PutByte(int byte, ExchangeInputTarget& target) {
  if (target.KissInput()) {
    PutKissByte(byte, target);
  } else if (byte > 0 && byte <= 0xFF) {
    PutTextByte(static_cast<uint8_t>(byte), target);
  }
}

void TExtInputHandler::PutKissByte(int byte, ExchangeInputTarget& target) {
  if (byte < 0 || byte > 0xFF) return;
  const TKissDeframer::Event e = kiss_.PutByte(byte);
  switch (e.kind) {
    case TKissDeframer::Kind::kData: target.QueueFrame(e.items); break;
    case TKissDeframer::Kind::kCommand: target.KissCommand(e.command, e.value); break;
    case TKissDeframer::Kind::kNone: break;
  }
}

void TExtInputHandler::PutTextByte(uint8_t byte, ExchangeInputTarget& target) {
  if (!inWord_) {
    if (byte == '~' || byte == '`') {
      inWord_ = true;
      wordLength_ = 0;
      word_[wordLength_++] = static_cast<char>(byte);
    } else {
      PutTextChar(byte, target);
    }
    return;
  }
  // A control byte ends the word without joining it: it goes through the line-end
  // normaliser after the word, so "~73" CR LF gives one line end.
  if (byte < ' ') {
    EndWord(target);
    PutTextChar(byte, target);
    return;
  }
  word_[wordLength_++] = static_cast<char>(byte);
  if (wordLength_ >= kMaxWord || byte == ']' || byte == ' ') EndWord(target);
}

void TExtInputHandler::EndWord(ExchangeInputTarget& target) {
  std::string word(word_.data(), wordLength_);
  inWord_ = false;
  wordLength_ = 0;
  for (int pass = 0; pass < kMaxExpansionPasses && target.ExpandMacroEscape(word); ++pass) {
  }
  if (word.empty()) return;
  // The last output is no longer a line end: a CR or LF after the word starts a new line.
  lineEndEmitted_ = false;
  crEmitted_ = false;
  target.AppendText(word);
}

void TExtInputHandler::PutTextChar(uint8_t byte, ExchangeInputTarget& target) {
  switch (byte) {
    case 0:
      return;
    case '\r':
      if (lineEndEmitted_) return;
      target.AppendText("\r\n");
      lineEndEmitted_ = true;
      crEmitted_ = true;
      return;
    case '\n':
      if (!crEmitted_) target.AppendText("\r\n");
      lineEndEmitted_ = true;
      crEmitted_ = false;
      return;
    default:
      target.AppendText(std::string(1, static_cast<char>(byte)));
      lineEndEmitted_ = false;
      crEmitted_ = false;
      return;
  }
}

}  // namespace vestrel
