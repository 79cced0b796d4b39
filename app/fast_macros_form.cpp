#include "app/fast_macros_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>

#include "app/rx_form.h"

namespace vestrel {

namespace {

constexpr int kLeft = 8;
constexpr int kRowPitch = 68;
constexpr int kMacroEditHeight = 60;
constexpr const char* kFirstNames[3] = {"F1", "c-F1", "a-F1"};
constexpr const char* kBankPrefixes[3] = {"F", "Ctrl-F", "Alt-F"};

}  // namespace

TFastMacrosForm::TFastMacrosForm(QWidget* parent) : MacroEditorDialog(parent) {
  setWindowTitle(QStringLiteral("Fast Macros Edit"));
  setObjectName(QStringLiteral("TFastMacrosForm"));
  QLineEdit** names[3] = {&FBNEdit1, &FBNEdit2, &FBNEdit3};
  QPlainTextEdit** macros[3] = {&FastMacroEdit1, &FastMacroEdit2, &FastMacroEdit3};
  for (int i = 0; i < 3; ++i) {
    KeyLabel[size_t(i)] = new QLabel(QString::fromLatin1(kBankPrefixes[i]).append(QLatin1Char('1')), this);
    *names[i] = new QLineEdit(QString::fromLatin1(kFirstNames[i]), this);
    (*names[i])->setObjectName(QStringLiteral("FBNEdit%1").arg(i + 1));
    *macros[i] = new QPlainTextEdit(this);
    (*macros[i])->setObjectName(QStringLiteral("FastMacroEdit%1").arg(i + 1));
    (*macros[i])->setTabChangesFocus(true);
    // A long run without blanks (a row of RY) wraps too, so that no edit scrolls sideways.
    (*macros[i])->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    (*macros[i])->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  SaveButton = new QPushButton(QStringLiteral("Save"), this);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton* b : {OkButton, SaveButton, CancelButton}) b->setAutoDefault(false);
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  resize(kDesignWidth, kDesignHeight);
  FormResize();
}

int TFastMacrosForm::MacroEditWidth(int formWidth) { return formWidth < 76 ? 10 : formWidth - kNameEditWidth - 23; }

void TFastMacrosForm::FormResize() {
  const int w = MacroEditWidth(width());
  const auto names = Names();
  const auto macros = Macros();
  for (size_t i = 0; i < 3; ++i) {
    const int y = kLeft + int(i) * kRowPitch;
    KeyLabel[i]->setGeometry(kLeft, y, kNameEditWidth, 17);
    names[i]->setGeometry(kLeft, y + 18, kNameEditWidth, 24);
    macros[i]->setGeometry(kLeft + kNameEditWidth + 7, y, w, kMacroEditHeight);
  }
  PlaceButtons({OkButton, SaveButton, CancelButton}, kLeft + 3 * kRowPitch + 4, kLeft);
}

void TFastMacrosForm::resizeEvent(QResizeEvent* e) {
  MacroEditorDialog::resizeEvent(e);
  FormResize();
}

void TFastMacrosForm::Edit(TRxForm& form, int n) {
  if (n < 1 || n > 36) return;
  form_ = &form;
  const int k = (n - 1) % 12 + 1;
  const int cp = form.MacroCodePage();
  const TMacroTable& t = form.macroTable();
  setWindowTitle(QStringLiteral("Fast Macros Edit  (F%1, Ctrl-F%1, Alt-F%1)").arg(k));
  const auto names = Names();
  const auto macros = Macros();
  for (size_t bank = 0; bank < 3; ++bank) {
    const size_t m = size_t(k) + 12 * bank;
    KeyLabel[bank]->setText(QString::fromLatin1(kBankPrefixes[bank]).append(QString::number(k)));
    nameBytes_[bank].Fill(names[bank], t.ButtonName[m], cp);
    macroBytes_[bank].Fill(macros[bank], t.Macro[m], cp);
  }
  FunctionKey = k;
  ShowOnTop();
  QPlainTextEdit* edit = macros[size_t((n - 1) / 12)];
  edit->setFocus();
  QTextCursor c = edit->textCursor();
  c.clearSelection();
  edit->setTextCursor(c);
}

void TFastMacrosForm::Apply() {
  if (form_ == nullptr || FunctionKey < 1 || FunctionKey > 12) return;
  const int cp = form_->MacroCodePage();
  TMacroTable& t = form_->macroTable();
  const auto names = Names();
  const auto macros = Macros();
  for (size_t bank = 0; bank < 3; ++bank) {
    const size_t m = size_t(FunctionKey) + 12 * bank;
    t.Macro[m] = macroBytes_[bank].Commit(macros[bank], cp);
    t.ButtonName[m] = nameBytes_[bank].Commit(names[bank], cp);
  }
  form_->MacroTableEdited();
}

void TFastMacrosForm::OkButtonClick() {
  Apply();
  HideNormal();
}

void TFastMacrosForm::SaveButtonClick() {
  Apply();
  if (form_ != nullptr && FunctionKey >= 1 && FunctionKey <= 12) {
    const int keys[3] = {FunctionKey, FunctionKey + 12, FunctionKey + 24};
    form_->SaveMacroKeys(keys);
  }
  HideNormal();
}

}  // namespace vestrel
