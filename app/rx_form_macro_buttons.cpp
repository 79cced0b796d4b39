// The 36 macro buttons under the receive window, their banks and the fast macro editor.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QLineEdit>

#include "app/fast_macros_form.h"
#include "app/macro_edits.h"
#include "app/rx_form.h"

namespace vestrel {

namespace {

KeyModifiers ModifiersOf(Qt::KeyboardModifiers m) {
  return {(m & Qt::ShiftModifier) != 0, (m & Qt::ControlModifier) != 0, (m & Qt::AltModifier) != 0,
          (m & Qt::KeypadModifier) != 0};
}

// A caption as stored, through the code page; an "&" would make a mnemonic that takes a hot key
// of the window.
QString ButtonCaption(const std::string& name, int codePage) {
  return MacroBytesToText(name, codePage).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// Presses on the macro buttons, the pointer over their panel, and the window's activation.
class MacroButtonFilter : public QObject {
 public:
  explicit MacroButtonFilter(TRxForm& form) : QObject(&form), form_(form) {}

  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseButtonPress: {
        const bool right = static_cast<QMouseEvent*>(e)->button() == Qt::RightButton;
        for (int n = 1; n <= 36; ++n) {
          if (watched != form_.ButMacro[n]) continue;
          if (n <= 12) {
            // The bank from the modifiers held now, so that the action is the one the captions show.
            form_.MacroButtonMouseDown(n, form_.HeldModifiers(), right);
          } else {
            form_.ButMacroMouseDown(n, right);
          }
          // A right press opens the editor: the button takes no press that could end in a click.
          return right;
        }
        return false;
      }
      case QEvent::MouseMove:
        if (watched == form_.Panel2) form_.Panel2MouseMove(ModifiersOf(static_cast<QMouseEvent*>(e)->modifiers()));
        return false;
      case QEvent::WindowActivate:
        // A modifier may have been released while another window had the keyboard.
        if (watched == &form_) form_.ShowMacroBank(form_.HeldModifiers());
        return false;
      default: return false;
    }
  }

 private:
  TRxForm& form_;
};

}  // namespace

void TRxForm::ConnectMacroButtons() {
  auto* filter = new MacroButtonFilter(*this);
  installEventFilter(filter);
  Panel2->setMouseTracking(true);
  Panel2->installEventFilter(filter);
  for (int n = 1; n <= 36; ++n) {
    ButMacro[n]->installEventFilter(filter);
    // The first row acts on the press (MacroButtonMouseDown), the others on the click.
    if (n > 12) connect(ButMacro[n], &QPushButton::clicked, this, [this, n] { ButMacroClick(n); });
  }
}

KeyModifiers TRxForm::HeldModifiers() const { return ModifiersOf(QGuiApplication::queryKeyboardModifiers()); }

void TRxForm::MacroButtonMouseDown(int n, KeyModifiers mods, bool rightButton) {
  if (n < 1 || n > 12) return;
  engine_->display.DisplayPause = 0;
  ShowMacroBank(mods);
  if (rightButton) {
    EditFastMacro(n);
    return;
  }
  RunMacro(n + (mods.alt ? 24 : mods.ctrl ? 12 : 0));
}

void TRxForm::ButMacroClick(int n) {
  if (n >= 13 && n <= 36) RunMacro(n);
}

void TRxForm::ButMacroMouseDown(int n, bool rightButton) {
  if (rightButton) EditFastMacro(n);
}

void TRxForm::Panel2MouseMove(KeyModifiers mods) { ShowMacroBank(mods); }

void TRxForm::ShowMacroBank(KeyModifiers mods) {
  const int bank = mods.alt ? 24 : mods.ctrl ? 12 : 0;
  if (bank == macroBank_) return;
  macroBank_ = bank;
  for (int n = 1; n <= 12; ++n) ButMacro[n]->setText(ButtonCaption(macroTable_.ButtonName[bank + n], MacroCodePage()));
  // Alt-drag scrolls the spectrum.
  const QCursor cursor(bank == 24 ? Qt::SizeHorCursor : Qt::ArrowCursor);
  FFTBox->setCursor(cursor);
  ScalePanel->setCursor(cursor);
}

void TRxForm::ShowMacroCaptions() {
  for (int n = 1; n <= 36; ++n) ButMacro[n]->setText(ButtonCaption(macroTable_.ButtonName[n], MacroCodePage()));
  macroBank_ = 0;
}

void TRxForm::ApplyMacroButtonFont() {
  for (int n = 2; n <= 36; ++n) {
    ButMacro[n]->setFont(ButMacro[1]->font());
    ButMacro[n]->setPalette(ButMacro[1]->palette());
  }
}

void TRxForm::EditFastMacro(int n) {
  if (n < 1 || n > 36 || fastMacrosForm_ == nullptr) return;
  fastMacrosForm_->Edit(*this, n);
}

}  // namespace vestrel
