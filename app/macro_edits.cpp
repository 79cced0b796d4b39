#include "app/macro_edits.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include "memo/code_pages.h"

namespace vestrel {

QString MacroBytesToText(const std::string& bytes, int codePage) {
  return QString::fromStdU16String(ToUtf16(ToBytes(bytes), codePage));
}

std::string MacroTextToBytes(const QString& text, int codePage) {
  return ToChars(FromUtf16(text.toStdU16String(), codePage));
}

namespace {

// The raw text keeps a no-break space (a byte of both code pages) that the plain text turns
// into a blank; its paragraph and line separators are the macro's CR LF.
QString EditText(const QPlainTextEdit* edit) {
  QString text = edit->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  return text;
}

}  // namespace

void ByteEdit::Fill(QLineEdit* edit, const std::string& bytes, int codePage) {
  bytes_ = bytes;
  edit->setText(MacroBytesToText(bytes, codePage));
  shown_ = edit->text();
}

void ByteEdit::Fill(QPlainTextEdit* edit, const std::string& bytes, int codePage) {
  bytes_ = bytes;
  edit->setPlainText(MacroBytesToText(bytes, codePage).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  shown_ = EditText(edit);
}

std::string ByteEdit::Take(const QLineEdit* edit, int codePage) const {
  const QString text = edit->text();
  return text == shown_ ? bytes_ : MacroTextToBytes(text, codePage);
}

std::string ByteEdit::Take(const QPlainTextEdit* edit, int codePage) const {
  const QString text = EditText(edit);
  return text == shown_ ? bytes_ : MacroTextToBytes(text, codePage);
}

std::string ByteEdit::Commit(const QLineEdit* edit, int codePage) {
  bytes_ = Take(edit, codePage);
  shown_ = edit->text();
  return bytes_;
}

std::string ByteEdit::Commit(const QPlainTextEdit* edit, int codePage) {
  bytes_ = Take(edit, codePage);
  shown_ = EditText(edit);
  return bytes_;
}

void MacroEditorDialog::ShowOnTop() {
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  show();
  raise();
  activateWindow();
}

void MacroEditorDialog::HideNormal() {
  hide();
  setWindowFlag(Qt::WindowStaysOnTopHint, false);
}

void MacroEditorDialog::PlaceButtons(std::initializer_list<QPushButton*> buttons, int y, int margin) {
  constexpr int kWidth = 75;
  constexpr int kHeight = 26;
  constexpr int kGap = 6;
  int x = width() - margin - int(buttons.size()) * (kWidth + kGap) + kGap;
  for (QPushButton* b : buttons) {
    b->setGeometry(x, y, kWidth, kHeight);
    x += kWidth + kGap;
  }
}

}  // namespace vestrel
