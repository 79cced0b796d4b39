#pragma once
#include <semaphore.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/rx_form.h"
#include "memo/qt/styled_memo_widget.h"
#include "support/qt_test_app.h"
#include "support/recording_form_parts.h"

namespace vestrel::test {

// A semaphore name no other test or program uses.
inline std::string UniqueSemaphoreName(const char* tag) {
  return "/vestrel_test_" + std::string(tag) + "_" + std::to_string(getpid());
}

// Serial workers whose event creation or thread start fails on demand.
class FailingWorkers : public SerialWorkers {
 public:
  explicit FailingWorkers(int failStep) : failStep_(failStep) {}

 protected:
  bool MakeEvent(std::shared_ptr<AutoResetEvent>& event) override {
    ++events_;
    // The COM event is made first (step 13), the exchange event second (step 15).
    if ((failStep_ == 13 && events_ == 1) || (failStep_ == 15 && events_ == 2)) return false;
    return SerialWorkers::MakeEvent(event);
  }
  bool Launch(int index) override {
    if (failStep_ == 14 && index == WorkerShared::kComWriter) return false;
    return SerialWorkers::Launch(index);
  }

 private:
  int failStep_;
  int events_ = 0;
};

// The text of the receive window, its line breaks as CR LF.
inline std::string RxText(const TRxForm& w) { return ToChars(w.RxMemo->GetTextContent()); }

struct Form {
  // adjust: changes the dependencies last (another capture part, dialogs, clock).
  explicit Form(RecordingFormParts& p, std::string semaphore = UniqueSemaphoreName("form"),
                std::vector<std::string> args = {}, SerialWorkers* workers = nullptr, bool useDBus = false,
                WaveBackend* realEngineOn = nullptr, const std::function<void(TRxFormDeps&)>& adjust = {}) {
    test::TestApp();
    TRxFormDeps d;
    d.boxes = &p;
    d.app = &p;
    d.sound = &p;
    d.engine = &p;
    d.workers = workers;
    d.settings = &p;
    d.logger = &p;
    d.display = &p;
    d.transmit = &p;
    d.macros = &p;
    d.rig = &p;
    d.capture = &p;
    d.ports = &p;
    d.exchange = &p;
    d.automation = &p;
    d.callsigns = &p;
    d.args = std::move(args);
    d.presenceName = std::move(semaphore);
    d.realTimer = false;
    d.useDBus = useDBus;
    if (realEngineOn != nullptr) {
      // The engine objects and the sound devices of the program, on the given backend.
      d.engine = nullptr;
      d.sound = nullptr;
      d.waveBackend = realEngineOn;
    }
    if (adjust) adjust(d);
    form = std::make_unique<TRxForm>(std::move(d));
  }
  ~Form() {
    const std::string name = form->presence().name();
    form.reset();
    sem_unlink(name.c_str());
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) form->Timer1Timer();
  }
  std::unique_ptr<TRxForm> form;
};

}  // namespace vestrel::test
