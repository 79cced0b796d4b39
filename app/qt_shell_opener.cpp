#include "app/qt_shell_opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace vestrel {

bool QtShellOpener::OpenDocument(const std::string& path) {
  const QString local = QDir::current().absoluteFilePath(QString::fromLocal8Bit(path.data(), qsizetype(path.size())));
  return QDesktopServices::openUrl(QUrl::fromLocalFile(local));
}

}  // namespace vestrel
