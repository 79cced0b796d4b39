#include "app/qt_shell_opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace vestrel {

bool QtShellOpener::OpenDocument(const std::string& path) {
  const QString text = QString::fromLocal8Bit(path.data(), qsizetype(path.size()));
  // An address ("mailto:", "https:") goes to the desktop as it is; anything else is a file,
  // relative to the working directory.
  const QUrl url(text, QUrl::StrictMode);
  if (url.isValid() && url.scheme().size() > 1 && !text.startsWith(QLatin1Char('/'))) {
    return QDesktopServices::openUrl(url);
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(text)));
}

}  // namespace vestrel
