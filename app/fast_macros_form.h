#pragma once
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace vestrel {

// The editor of the three macros of one function key (plain, Ctrl, Alt): a caption and a
// macro text each. Created hidden at start-up; the main window fills and shows it.
class TFastMacrosForm : public QDialog {
 public:
  explicit TFastMacrosForm(QWidget* parent = nullptr) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Fast Macros Edit"));
    setObjectName(QStringLiteral("TFastMacrosForm"));
    auto* grid = new QGridLayout(this);
    QLineEdit** names[3] = {&FBNEdit1, &FBNEdit2, &FBNEdit3};
    QPlainTextEdit** macros[3] = {&FastMacroEdit1, &FastMacroEdit2, &FastMacroEdit3};
    for (int i = 0; i < 3; ++i) {
      *names[i] = new QLineEdit(this);
      (*names[i])->setObjectName(QStringLiteral("FBNEdit%1").arg(i + 1));
      *macros[i] = new QPlainTextEdit(this);
      (*macros[i])->setObjectName(QStringLiteral("FastMacroEdit%1").arg(i + 1));
      (*macros[i])->setFixedHeight(60);
      grid->addWidget(new QLabel(QString::fromLatin1(kBankLabels[i]), this), i, 0, Qt::AlignTop);
      grid->addWidget(*names[i], i, 1, Qt::AlignTop);
      grid->addWidget(*macros[i], i, 2);
    }
    grid->setColumnStretch(2, 1);
    resize(560, 240);
  }

  // Caption and macro of the function key (first), Ctrl+ (second) and Alt+ (third).
  QLineEdit* FBNEdit1 = nullptr;
  QLineEdit* FBNEdit2 = nullptr;
  QLineEdit* FBNEdit3 = nullptr;
  QPlainTextEdit* FastMacroEdit1 = nullptr;
  QPlainTextEdit* FastMacroEdit2 = nullptr;
  QPlainTextEdit* FastMacroEdit3 = nullptr;
  // The function key being edited, 1..12.
  int FunctionKey = 0;

 private:
  static constexpr const char* kBankLabels[3] = {"F", "Ctrl-F", "Alt-F"};
};

}  // namespace vestrel
