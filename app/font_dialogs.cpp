#include "app/font_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>

#include "app/font_setting_qt.h"

namespace vestrel {

namespace {

// The button shows the colour it holds.
void ShowSwatch(QPushButton& button, const QColor& colour) {
  button.setStyleSheet(
      QStringLiteral("QPushButton { background-color: %1; color: %2; }")
          .arg(colour.name(), colour.lightness() < 128 ? QStringLiteral("white") : QStringLiteral("black")));
}

// The group of the underline and strike-out boxes, where the text colour belongs.
QGroupBox* EffectsGroup(QFontDialog& dialog) {
  for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
    if (!group->findChildren<QCheckBox*>().isEmpty() && group->layout() != nullptr) return group;
  }
  return nullptr;
}

}  // namespace

bool QtFontDialogs::ChooseFont(TFontSetting& font, bool effects) {
  QWidget* parent = QApplication::activeWindow();
  QFontDialog dialog(FontOf(font), parent);
  // Our own dialog, so that the colour button can join its effects.
  dialog.setOptions(QFontDialog::DontUseNativeDialog);
  QColor colour = ColourOf(font.FontColor, QApplication::palette().color(QPalette::Text));
  bool colourChosen = false;
  if (effects) {
    auto* button = new QPushButton(QStringLiteral("Colour..."), &dialog);
    ShowSwatch(*button, colour);
    QObject::connect(button, &QPushButton::clicked, &dialog, [&] {
      const QColor c = QColorDialog::getColor(colour, &dialog);
      if (!c.isValid()) return;
      colour = c;
      colourChosen = true;
      ShowSwatch(*button, colour);
    });
    if (QGroupBox* group = EffectsGroup(dialog)) {
      group->layout()->addWidget(button);
    } else if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
      grid->addWidget(button, grid->rowCount(), 0);
    }
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  TakeFont(dialog.selectedFont(), font);
  if (colourChosen) font.FontColor = ColourCode(colour);
  return true;
}

bool QtFontDialogs::ChooseColour(int32_t& colour) {
  QWidget* parent = QApplication::activeWindow();
  const QColor start = ColourOf(colour, QApplication::palette().color(QPalette::Window));
  const QColor chosen = QColorDialog::getColor(start, parent);
  if (!chosen.isValid()) return false;
  colour = ColourCode(chosen);
  return true;
}

}  // namespace vestrel
