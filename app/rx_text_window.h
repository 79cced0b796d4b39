#pragma once
#include <QString>
#include <cstdint>
#include <string_view>

#include "engine/rx_text_sink.h"

class QPlainTextEdit;

namespace vestrel {

// 8-bit text of the Western code page as Unicode.
QString FromCodePage1252(std::string_view bytes);

// The receive window as the decoders see it: characters appended at the end, line breaks by
// CR, LF or both, the view kept where the operator scrolled it. The exchange outputs, the
// capture file, the backspace rule and the callsign tools join here later.
class RxTextWindow : public RxTextSink {
 public:
  explicit RxTextWindow(QPlainTextEdit& memo) : memo_(memo) {}
  void PutRxChar(uint8_t c) override;
  void PutRxString(std::string_view text) override;

 private:
  void Append(const QString& text);

  QPlainTextEdit& memo_;
  bool lastWasLineBreak_ = false;
  bool lastWasCR_ = false;
};

}  // namespace vestrel
