#pragma once
#include <QDialog>

namespace vestrel {

// Created hidden at start-up; its contents come with the dialog's own code.
class TFastMacrosForm : public QDialog {
 public:
  explicit TFastMacrosForm(QWidget* parent = nullptr) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Fast Macros Edit"));
    setObjectName(QStringLiteral("TFastMacrosForm"));
  }
};

}  // namespace vestrel
