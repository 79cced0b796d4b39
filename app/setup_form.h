#pragma once
#include <QDialog>

namespace vestrel {

// Created hidden at start-up; its contents come with the dialog's own code.
class TSetupForm : public QDialog {
 public:
  explicit TSetupForm(QWidget* parent = nullptr) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Setup"));
    setObjectName(QStringLiteral("TSetupForm"));
  }
};

}  // namespace vestrel
