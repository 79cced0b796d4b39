#include "app/about_form.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <string_view>

#include "app/product_info.h"

namespace vestrel {

namespace {

// What the link shows: the address without its scheme and trailing slash.
QString Shown(std::string_view address) {
  if (const size_t colon = address.find(':'); colon != std::string_view::npos)
    address.remove_prefix(colon + 1);
  while (address.starts_with('/')) address.remove_prefix(1);
  while (address.ends_with('/')) address.remove_suffix(1);
  return QString::fromLatin1(address.data(), qsizetype(address.size()));
}

}  // namespace

bool OpenOrReport(ShellOpener& opener, MessageBoxSink& boxes, const std::string& what) {
  if (opener.OpenDocument(what)) return true;
  boxes.ShowMessage(kProductName, "Cannot open " + what);
  return false;
}

TLinkLabel::TLinkLabel(const QString& text, std::string address, ShellOpener& opener, MessageBoxSink& boxes,
                       QWidget* parent)
    : QLabel(parent), address_(std::move(address)), opener_(opener), boxes_(boxes) {
  setText(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()));
  setTextFormat(Qt::RichText);
  setCursor(Qt::PointingHandCursor);
  setAlignment(Qt::AlignHCenter);
  setToolTip(QString::fromStdString(address_));
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) {
    OpenOrReport(opener_, boxes_, address_);
  }
  QLabel::mouseReleaseEvent(e);
}

TAbout::TAbout(ShellOpener& opener, MessageBoxSink& boxes, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("About"));
  setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kProductName));
  setModal(true);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20, 16, 20, 14);
  column->setSpacing(6);
  TitleLabel = new QLabel(
      QString::fromLatin1(kProductName) + QStringLiteral(" ") + QString::fromLatin1(kProductVersion), this);
  QFont big = TitleLabel->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  TitleLabel->setFont(big);
  TitleLabel->setAlignment(Qt::AlignHCenter);
  column->addWidget(TitleLabel);
  RightsLabel = new QLabel(QString::fromLatin1(kRightsHolder), this);
  RightsLabel->setAlignment(Qt::AlignHCenter);
  column->addWidget(RightsLabel);
  column->addSpacing(8);
  const std::array<const char*, 3> addresses = {kMailAddress, kWebAddress, kChatAddress};
  const std::array<QString, 3> texts = {Shown(kMailAddress), Shown(kWebAddress),
                                        QStringLiteral("Support chat")};
  for (size_t i = 0; i < addresses.size(); ++i) {
    Links[i] = new TLinkLabel(texts[i], addresses[i], opener, boxes, this);
    column->addWidget(Links[i]);
  }
  column->addSpacing(8);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setDefault(true);
  column->addWidget(OKButton, 0, Qt::AlignHCenter);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  // A dialog border: not resized by the user.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace vestrel
