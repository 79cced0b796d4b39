#include "app/rx_text_window.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace vestrel {

namespace {

// 0x80..0x9F of windows-1252; 0 marks the five unused positions.
constexpr char16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QString FromCodePage1252(std::string_view bytes) {
  QString out;
  out.reserve(qsizetype(bytes.size()));
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    char16_t u = b;
    if (b >= 0x80 && b < 0xA0) u = k1252High[b - 0x80] != 0 ? k1252High[b - 0x80] : char16_t(b);
    out.append(QChar(u));
  }
  return out;
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
