#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/automation_registration.h"
#include "app/fast_macros_form.h"
#include "app/macros_form.h"
#include "app/rx_form.h"
#include "app/session_bus.h"
#include "app/setup_form.h"
#include "app/termination_signals.h"

namespace {

bool IsSet(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && v[0] != '\0';
}

// Qt's default platforms take their display from the environment; a platform chosen by
// QT_QPA_PLATFORM or -platform (offscreen, vnc), or a display given by -display, does not.
bool NeedsDisplayFromEnvironment(int argc, char** argv) {
  if (IsSet("QT_QPA_PLATFORM")) return false;
  for (int i = 1; i < argc; ++i) {
    for (const char* option : {"-platform", "--platform", "-display", "--display"}) {
      if (std::strcmp(argv[i], option) == 0) return false;
    }
  }
  return true;
}

// What Qt says while the application object is made is held back: when no platform starts
// (the display cannot be opened), Qt ends the process with advice that does not fit, so the
// program says in one line what is missing instead and exits with status 1.
std::vector<std::string> heldMessages;

void HoldStartMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    if (IsSet("QT_QPA_PLATFORM")) {
      std::fprintf(stderr, "Vestrel cannot open its window: the Qt platform \"%s\" does not start.\n",
                   std::getenv("QT_QPA_PLATFORM"));
    } else if (const char* name = IsSet("DISPLAY")           ? "DISPLAY"
                                  : IsSet("WAYLAND_DISPLAY") ? "WAYLAND_DISPLAY"
                                                             : nullptr) {
      std::fprintf(stderr, "Vestrel cannot open its window: no display answers at %s=\"%s\".\n", name,
                   std::getenv(name));
    } else {
      std::fprintf(stderr, "Vestrel cannot open its window: the display it was given does not answer.\n");
    }
    std::_Exit(1);
  }
  std::string line;
  if (context.category != nullptr && std::strcmp(context.category, "default") != 0) {
    line = std::string(context.category) + ": ";
  }
  heldMessages.push_back(line + text.toLocal8Bit().toStdString());
}

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

// The program's own absolute path, for the bus's service file.
std::string SelfPath() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

}  // namespace

int main(int argc, char** argv) {
  // The automation switches need no display: they are read before the application exists.
  const std::vector<std::string> args(argv + 1, argv + argc);
  const vestrel::AutomationSwitches automation = vestrel::ReadAutomationSwitches(args);
  if (automation.regServer || automation.unregServer) {
    const std::string error = automation.regServer ? vestrel::WriteAutomationServiceFile(SelfPath())
                                                   : vestrel::RemoveAutomationServiceFile();
    if (!error.empty()) {
      std::fprintf(stderr, "Vestrel: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (NeedsDisplayFromEnvironment(argc, argv) && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
    std::fprintf(stderr, "Vestrel needs a desktop session: no DISPLAY or WAYLAND_DISPLAY is set.\n");
    return 1;
  }
  qInstallMessageHandler(HoldStartMessages);
  TApplication app(argc, argv);
  qInstallMessageHandler(nullptr);
  // An ordinary start keeps the service file pointing at this program.
  if (!automation.activated) vestrel::WriteAutomationServiceFile(SelfPath());
  for (const std::string& line : heldMessages) std::fprintf(stderr, "%s\n", line.c_str());
  heldMessages.clear();
  vestrel::KeepToRunningSessionBus();
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
    // kill, Ctrl+C or the session's end: the same orderly way out as closing the window, from
    // the moment the window can be seen.
    vestrel::TerminationSignals termination([&rxForm](int) {
      rxForm->close();
      QApplication::quit();
    });
    rxForm->show();
    QApplication::exec();
    // The loop ended (window closed, Exit, or a failed start): the engine stops in order.
    rxForm->FormDestroy();
  } catch (const std::exception& e) {
    ShowException(e);
  }
  return 0;
}
