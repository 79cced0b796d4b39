#include "app/exchange_port.h"

#include "engine/mode_number.h"
#include "io/com_writer.h"
#include "io/exchange_port.h"

namespace vestrel {

namespace {

// Bytes of the port parsed per message: a peer that never pauses cannot hold the GUI thread;
// what is left is announced again.
constexpr int kMaxPortBytesPerMessage = 4096;

}  // namespace

bool TExchangePort::IsOpen() const {
  return links_.shared && links_.shared->ExchangeComHandle.IsOpen();
}

bool TExchangePort::QueueExchangeByte(uint8_t c) {
  return links_.shared && vestrel::QueueExchangeByte(*links_.shared, c) == 1;
}

void TExchangePort::WriteKiss(std::span<const uint8_t> kissFrame) {
  if (!IsOpen()) return;
  for (uint8_t b : kissFrame) QueueExchangeByte(b);
}

void TExchangePort::TakePortInput() {
  if (!links_.shared || takingInput_) return;
  takingInput_ = true;
  WorkerShared& s = *links_.shared;
  // Cleared before the look: bytes that arrive from here on are announced again.
  s.ExchangeInPosted.store(false);
  for (int n = 0; n < kMaxPortBytesPerMessage; ++n) {
    const int b = s.ExchangeIn.Take();
    if (b < 0) break;
    portInput_.PutByte(b, *this);
  }
  takingInput_ = false;
  if (s.ExchangeIn.Pending() != 0 && !s.ExchangeInPosted.exchange(true)) s.Post(WM_EXCHANGE_INPUT);
}

void TExchangePort::ShowExchangeWriteError() {
  if (!links_.shared) return;
  const int error = links_.shared->ExchangeWriteError.exchange(0);
  if (error == 0 || links_.boxes == nullptr) return;
  links_.boxes->ShowMessage(ExchangeWriteErrorCaption(error), ComWriteErrorText(error));
}

int TExchangePort::PullExchangeTxSymbol() {
  if (pulling_ || links_.library == nullptr) return 0;
  pulling_ = true;
  const int b = links_.library->Get();
  if (b >= 0) libraryInput_.PutByte(b, *this);
  pulling_ = false;
  return b >= 0 ? 1 : 0;
}

void TExchangePort::PullExchangeText(const std::function<void(const std::string&)>& append) {
  for (int n = 0; n < kMaxPullPerPump && PullExchangeTxSymbol() == 1; ++n) {
  }
  preBuff_.Take(append);
}

void TExchangePort::OpenPttRig() {
  if (links_.others != nullptr) links_.others->OpenPttRig();
}

void TExchangePort::RigSetPtt(bool on) {
  if (links_.others != nullptr) links_.others->RigSetPtt(on);
}

void TExchangePort::OpenExchangePort() {
  if (ports_ != nullptr) ports_->OpenExchangePort();
  if (links_.others != nullptr) links_.others->OpenExchangePort();
}

bool TExchangePort::KissInput() const {
  if (links_.params == nullptr || links_.isKiss == nullptr || *links_.isKiss == 0) return false;
  return links_.params->Mode == kModeAx25Hf || links_.params->Mode == kModeAx25Uhf;
}

void TExchangePort::QueueFrame(std::span<const int16_t> items) {
  if (links_.frames != nullptr) links_.frames->PutFrame(items);
}

void TExchangePort::KissCommand(int command, uint8_t value) {
  if (links_.channel != nullptr) links_.channel->ApplyKissCommand(command, value);
}

bool TExchangePort::ExpandMacroEscape(std::string& word) {
  return links_.macros != nullptr && links_.macros->ExpandMacroEscape(word);
}

void TExchangePort::AppendText(const std::string& text) {
  preBuff_.Append(text);
  if (links_.poster != nullptr) links_.poster->Post(WM_PUMP_TX);
}

}  // namespace vestrel
