#pragma once
#include <QDialog>
#include <QString>
#include <initializer_list>
#include <string>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vestrel {

// Macro texts and button captions are bytes; on screen they are Unicode through the code page of
// the receive window's font (1251 or 1252). A CR LF in a macro is a line break in its edit.
QString MacroBytesToText(const std::string& bytes, int codePage);
std::string MacroTextToBytes(const QString& text, int codePage);

// One edit of a macro editor with the bytes it was filled with: an edit left alone gives those
// bytes back exactly, whatever the code page can or cannot show.
class ByteEdit {
 public:
  void Fill(QLineEdit* edit, const std::string& bytes, int codePage);
  void Fill(QPlainTextEdit* edit, const std::string& bytes, int codePage);
  std::string Take(const QLineEdit* edit, int codePage) const;
  std::string Take(const QPlainTextEdit* edit, int codePage) const;
  // Take, and from now on the edit's text stands for the bytes taken.
  std::string Commit(const QLineEdit* edit, int codePage);
  std::string Commit(const QPlainTextEdit* edit, int codePage);

 private:
  std::string bytes_;
  QString shown_;
};

// What both macro editors share: shown on top, back to a normal window on every way of closing
// ("OK", "Cancel", Esc, the window's close button), and a row of buttons at the right.
class MacroEditorDialog : public QDialog {
 public:
  using QDialog::QDialog;
  void CancelButtonClick() { HideNormal(); }

 protected:
  void ShowOnTop();
  void HideNormal();
  // Esc and closing the window are "Cancel"; closing is always allowed.
  void reject() override { CancelButtonClick(); }
  // The buttons side by side, the last one margin pixels from the right edge.
  void PlaceButtons(std::initializer_list<QPushButton*> buttons, int y, int margin);
};

}  // namespace vestrel
