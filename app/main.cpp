#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/fast_macros_form.h"
#include "app/macros_form.h"
#include "app/rx_form.h"
#include "app/setup_form.h"
#include "app/termination_signals.h"

namespace {

void ShowException(const std::exception& e) {
  QMessageBox::critical(nullptr, QStringLiteral("Vestrel"), QString::fromLocal8Bit(e.what()));
}

// Exceptions are caught at the top of the message loop: shown, and the loop goes on.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      ShowException(e);
    } catch (...) {
      // Anything else would end the process with the transmitter keyed.
      QMessageBox::critical(nullptr, QStringLiteral("Vestrel"), QStringLiteral("Unknown error"));
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vestrel"));
  QApplication::setApplicationDisplayName(QStringLiteral("Vestrel"));
  try {
    vestrel::TRxFormDeps deps;
    for (int i = 1; i < argc; ++i) deps.args.emplace_back(argv[i]);
    // The main form first, then the dialogs it opens.
    auto rxForm = std::make_unique<vestrel::TRxForm>(std::move(deps));
    auto macrosForm = std::make_unique<vestrel::TMacrosForm>();
    auto setupForm = std::make_unique<vestrel::TSetupForm>(*rxForm);
    auto fastMacrosForm = std::make_unique<vestrel::TFastMacrosForm>();
    rxForm->SetForms(macrosForm.get(), setupForm.get(), fastMacrosForm.get());
    rxForm->show();
    // kill, Ctrl+C or the session's end: the same orderly way out as closing the window.
    vestrel::TerminationSignals termination([&rxForm](int) {
      rxForm->close();
      QApplication::quit();
    });
    QApplication::exec();
    // The loop ended (window closed, Exit, or a failed start): the engine stops in order.
    rxForm->FormDestroy();
  } catch (const std::exception& e) {
    ShowException(e);
  }
  return 0;
}
