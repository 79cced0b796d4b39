#include "app/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <chrono>
#include <thread>

namespace vestrel {

void QtMessageBoxes::ShowMessage(std::string_view caption, std::string_view text) {
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(caption.data(), qsizetype(caption.size())),
                  QString::fromLatin1(text.data(), qsizetype(text.size())), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

void QtMessageBoxes::Beep() { QApplication::beep(); }

void AppControl::Terminate() { QCoreApplication::quit(); }

void AppControl::ProcessMessages() { QCoreApplication::processEvents(); }

void AppControl::SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace vestrel
