#pragma once
#include <QDialog>

namespace vestrel {

// Created hidden at start-up; its contents come with the dialog's own code.
class TMacrosForm : public QDialog {
 public:
  explicit TMacrosForm(QWidget* parent = nullptr) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Macros"));
    setObjectName(QStringLiteral("TMacrosForm"));
  }
};

}  // namespace vestrel
