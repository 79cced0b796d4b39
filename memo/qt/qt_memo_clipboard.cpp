#include "memo/qt/qt_memo_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace vestrel {

const QString QtMemoClipboard::kBlockMimeType = QStringLiteral("application/x-vestrel-column-block");

bool QtMemoClipboard::HasText() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasText();
}

std::u16string QtMemoClipboard::Text() {
  return QGuiApplication::clipboard()->text().toStdU16String();
}

TByteString QtMemoClipboard::BlockMarker() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasFormat(kBlockMimeType)) return {};
  const QByteArray bytes = data->data(kBlockMimeType);
  return TByteString(reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<size_t>(bytes.size()));
}

void QtMemoClipboard::SetText(const std::u16string& text, bool columnBlock) {
  auto* data = new QMimeData;
  data->setText(QString::fromStdU16String(text));
  if (columnBlock) data->setData(kBlockMimeType, QByteArray(1, static_cast<char>(kColumnBlockMarker)));
  QGuiApplication::clipboard()->setMimeData(data);  // the clipboard owns it
}

}  // namespace vestrel
