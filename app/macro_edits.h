#pragma once
#include <QString>
#include <string>

class QLineEdit;
class QPlainTextEdit;

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

}  // namespace vestrel
