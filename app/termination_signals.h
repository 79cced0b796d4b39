#pragma once
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace vestrel {

// Turns SIGTERM, SIGINT and SIGHUP into one call on the GUI thread, so `kill`, Ctrl+C in a
// terminal or the end of the session still run the orderly shutdown (PTT off, devices
// closed). Each handler is used once: a second signal of the same kind ends the process the
// default way, should the shutdown hang. One instance per process.
class TerminationSignals : public QObject {
 public:
  explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // False when the pipe or a handler could not be set up; the process then ends the default way.
  bool installed() const { return installed_; }

 private:
  void Drain();

  std::function<void(int)> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
  bool installed_ = false;
};

}  // namespace vestrel
