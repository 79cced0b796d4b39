#include "app/rx_text_window.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include "memo/code_pages.h"

namespace vestrel {

QString FromCodePage1252(std::string_view bytes) {
  const std::u16string u =
      ToUtf16(TByteView(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), 1252);
  return QString::fromStdU16String(u);
}

void RxTextWindow::PutRxChar(uint8_t c) {
  if (c == 0) return;
  if (c == 4) c = 164;  // end of transmission shows as a currency sign
  if (c == '\r') {
    if (!lastWasLineBreak_) {
      Append(QStringLiteral("\n"));
      lastWasLineBreak_ = lastWasCR_ = true;
    }
    return;
  }
  if (c == '\n') {
    if (!lastWasCR_) Append(QStringLiteral("\n"));
    lastWasLineBreak_ = true;
    lastWasCR_ = false;
    return;
  }
  lastWasLineBreak_ = lastWasCR_ = false;
  const char byte = static_cast<char>(c);
  Append(FromCodePage1252(std::string_view(&byte, 1)));
}

void RxTextWindow::PutRxString(std::string_view text) {
  for (char c : text) {
    if (c == 0) break;
    PutRxChar(static_cast<uint8_t>(c));
  }
}

void RxTextWindow::Append(const QString& text) {
  QScrollBar* bar = memo_.verticalScrollBar();
  const bool atBottom = bar->value() >= bar->maximum() - 1;
  const int keep = bar->value();
  QTextCursor end(memo_.document());
  end.movePosition(QTextCursor::End);
  end.insertText(text);
  if (atBottom) {
    bar->setValue(bar->maximum());
  } else {
    bar->setValue(keep);
  }
}

}  // namespace vestrel
