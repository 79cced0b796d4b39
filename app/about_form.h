#pragma once
#include <QDialog>
#include <QLabel>
#include <array>
#include <string>

#include "io/message_box.h"
#include "io/shell_opener.h"

class QPushButton;

namespace vestrel {

// Has the desktop open a document or an address; one that cannot be opened is named in a
// message box. False when it was not opened.
bool OpenOrReport(ShellOpener& opener, MessageBoxSink& boxes, const std::string& what);

// A label that opens its address when clicked.
class TLinkLabel : public QLabel {
 public:
  TLinkLabel(const QString& text, std::string address, ShellOpener& opener, MessageBoxSink& boxes,
             QWidget* parent);
  const std::string& address() const { return address_; }

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  std::string address_;
  ShellOpener& opener_;
  MessageBoxSink& boxes_;
};

// The About box: the program's name and version, its rights holder, the mail, web and chat
// links and "OK". The main window makes one only while it is shown.
class TAbout : public QDialog {
 public:
  TAbout(ShellOpener& opener, MessageBoxSink& boxes, QWidget* parent = nullptr);

  QLabel* TitleLabel = nullptr;
  QLabel* RightsLabel = nullptr;
  std::array<TLinkLabel*, 3> Links{};  // mail, web, chat
  QPushButton* OKButton = nullptr;
};

}  // namespace vestrel
