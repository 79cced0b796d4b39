#include "app/qt_file_dialogs.h"

#include <QApplication>
#include <QFileDialog>

namespace vestrel {

namespace {

// Qt's dialogs never change the working directory, and show no read-only marks to hide.
bool Ask(const FileDialogRequest& request, std::string& name, bool save) {
  const QString title = QString::fromStdString(request.title);
  const QString filter = QString::fromStdString(request.filter);
  QFileDialog::Options options;
  if (save && !request.confirmOverwrite) options |= QFileDialog::DontConfirmOverwrite;
  QWidget* parent = QApplication::activeWindow();
  const QString chosen =
      save ? QFileDialog::getSaveFileName(parent, title, QString(), filter, nullptr, options)
           : QFileDialog::getOpenFileName(parent, title, QString(), filter, nullptr, options);
  if (chosen.isEmpty()) return false;
  name = chosen.toLocal8Bit().toStdString();
  return true;
}

}  // namespace

bool QtFileDialogs::OpenFileName(const FileDialogRequest& request, std::string& name) {
  return Ask(request, name, false);
}

bool QtFileDialogs::SaveFileName(const FileDialogRequest& request, std::string& name) {
  return Ask(request, name, true);
}

}  // namespace vestrel
