#include "app/macros_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>
#include <QTextDocument>

#include "app/rx_form.h"

namespace vestrel {

namespace {

// The first column's key labels and caption edits stand at kLeft, its macro edits 37 pixels
// further; each key's row holds its label, its caption edit under the label, and its macro edit.
constexpr int kLeft = 4;
constexpr int kLabelToEdit = 37;
constexpr int kTop = 24;
constexpr int kRowPitch = 46;
constexpr int kMacroEditHeight = 42;
constexpr int kNameEditWidth = 34;

int RowTop(int row) { return kTop + row * kRowPitch; }

}  // namespace

TMacrosForm::TMacrosForm(QWidget* parent) : MacroEditorDialog(parent) {
  setWindowTitle(QStringLiteral("Edit Macros"));
  setObjectName(QStringLiteral("TMacrosForm"));
  static const char* const kColumns[3] = {"F1 .. F12", "Ctrl + F1 .. F12", "Alt + F1 .. F12"};
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  for (int c = 0; c < 3; ++c) {
    ColumnLabel[size_t(c)] = new QLabel(QString::fromLatin1(kColumns[c]), this);
    QFont bold = font();
    bold.setBold(true);
    ColumnLabel[size_t(c)]->setFont(bold);
  }
  for (int n = 0; n <= 36; ++n) {
    auto* edit = new QPlainTextEdit(this);
    edit->setObjectName(QStringLiteral("MacroEdit%1").arg(n));
    edit->document()->setDocumentMargin(2);
    edit->setTabChangesFocus(true);
    // A long run without blanks (a row of RY) wraps too, so that no edit scrolls sideways.
    edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MacroEdit[size_t(n)] = edit;
    const int key = n == 0 ? 0 : (n - 1) % 12 + 1;
    KeyLabel[size_t(n)] = new QLabel(n == 0 ? QStringLiteral("Esc") : QStringLiteral("F%1").arg(key), this);
    if (n == 0) continue;
    auto* name = new QLineEdit(this);
    name->setObjectName(QStringLiteral("NameEdit%1").arg(n));
    name->setFont(small);
    name->setTextMargins(0, 0, 0, 0);
    NameEdit[size_t(n)] = name;
  }
  // The tab order runs down each column: a key's caption, then its macro.
  QWidget* previous = nullptr;
  for (int n = 1; n <= 36; ++n) {
    for (QWidget* w : {static_cast<QWidget*>(NameEdit[size_t(n)]), static_cast<QWidget*>(MacroEdit[size_t(n)])}) {
      if (previous != nullptr) setTabOrder(previous, w);
      previous = w;
    }
  }
  setTabOrder(previous, MacroEdit[0]);
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  ApplyButton = new QPushButton(QStringLiteral("Apply"), this);
  SaveButton = new QPushButton(QStringLiteral("Save"), this);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton* b : {OkButton, ApplyButton, SaveButton, CancelButton}) b->setAutoDefault(false);
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(ApplyButton, &QPushButton::clicked, this, [this] { ApplyButtonClick(); });
  connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  resize(kDesignWidth, kDesignHeight);
  FormResize();
}

int TMacrosForm::EditWidth(int formWidth) { return formWidth < 166 ? 10 : (formWidth - 135) / 3; }

void TMacrosForm::FormResize() {
  const int e = EditWidth(width());
  // Columns 2 and 3: labels at E + 45 and 2E + 86, edits at E + 82 and 2E + 123.
  const int labelX[3] = {kLeft, e + 45, 2 * e + 86};
  for (int c = 0; c < 3; ++c) {
    QLabel* header = ColumnLabel[size_t(c)];
    header->setGeometry(labelX[c], 4, kLabelToEdit + e, 18);
    for (int row = 0; row < 12; ++row) {
      const size_t n = size_t(c * 12 + row + 1);
      const int y = RowTop(row);
      KeyLabel[n]->setGeometry(labelX[c], y, kLabelToEdit - 2, 17);
      NameEdit[n]->setGeometry(labelX[c], y + 18, kNameEditWidth, 24);
      MacroEdit[n]->setGeometry(labelX[c] + kLabelToEdit, y, e, kMacroEditHeight);
    }
  }
  // Esc under the first column; the buttons in the same row, at the right.
  const int y = RowTop(12);
  KeyLabel[0]->setGeometry(kLeft, y, kLabelToEdit - 2, 17);
  MacroEdit[0]->setGeometry(kLeft + kLabelToEdit, y, e, kMacroEditHeight);
  PlaceButtons({OkButton, ApplyButton, SaveButton, CancelButton}, y + 8, kLeft);
}

void TMacrosForm::resizeEvent(QResizeEvent* e) {
  MacroEditorDialog::resizeEvent(e);
  FormResize();
}

void TMacrosForm::Edit(TRxForm& form) {
  form_ = &form;
  const int cp = form.MacroCodePage();
  const TMacroTable& t = form.macroTable();
  for (size_t n = 0; n <= 36; ++n) {
    macroBytes_[n].Fill(MacroEdit[n], t.Macro[n], cp);
    if (n > 0) nameBytes_[n].Fill(NameEdit[n], t.ButtonName[n], cp);
  }
  ShowOnTop();
}

void TMacrosForm::Apply() {
  if (form_ == nullptr) return;
  const int cp = form_->MacroCodePage();
  TMacroTable& t = form_->macroTable();
  for (size_t n = 0; n <= 36; ++n) {
    // What was applied is now what the edits stand for: a later "OK" keeps it byte for byte.
    t.Macro[n] = macroBytes_[n].Commit(MacroEdit[n], cp);
    if (n > 0) t.ButtonName[n] = nameBytes_[n].Commit(NameEdit[n], cp);
  }
  form_->MacroTableEdited();
}

void TMacrosForm::OkButtonClick() {
  Apply();
  HideNormal();
}

void TMacrosForm::ApplyButtonClick() { Apply(); }

void TMacrosForm::SaveButtonClick() {
  Apply();
  if (form_ != nullptr) form_->SaveMacros();
}

}  // namespace vestrel
