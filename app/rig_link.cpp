#include "app/rig_link.h"

#include <QCoreApplication>
#include <QLabel>
#include <QToolButton>
#include <thread>

#include "app/rx_form.h"

namespace vestrel {

TRigLink::TRigLink(TRxForm& form, RigServer* server)
    : form_(form),
      given_(server),
      work_(form.settings(), form.settings(), form.engine().params, form.engine().rates,
            form.engine().rxBlocks,
            TOmniWork::Links{this, &form.boxes(), [this]() -> RigServer& { return MakeServer(); }}) {}

RigServer& TRigLink::MakeServer() {
  if (given_ != nullptr) return *given_;
  if (!server_) {
    const TAppSettings& s = form_.settings();
    RigctldSettings where;
    where.rig1 = {s.Rig1Host, static_cast<uint16_t>(s.Rig1Port)};
    where.rig2 = {s.Rig2Host, static_cast<uint16_t>(s.Rig2Port)};
    server_ = std::make_unique<RigctldServer>(where);
  }
  return *server_;
}

void TRigLink::SetTuneByPanel(std::string_view text) {
  tuneBy_ = std::string(text);
  if (!notKeyed_) form_.SetPanelText(8, text);
}

void TRigLink::SetNotKeyedMark(bool shown) {
  notKeyed_ = shown;
  form_.SetPanelText(8, shown ? std::string_view(kNotKeyedMark) : std::string_view(tuneBy_));
}

void TRigLink::SetTxAfcButtonEnabled(bool enabled) {
  QToolButton* b = form_.TxAfcButton;
  if (!enabled) {
    // Raised and TX AFC off: the rig moves, so the transmit tones stay where they are.
    b->setChecked(false);
    form_.settings().TxAfc = 0;
  }
  b->setEnabled(enabled);
}

void TRigLink::Wait(std::chrono::milliseconds time) {
  const auto end = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void TRigLink::ShiftRxFrequency(int units) {
  form_.engineDriver().ShiftRxFrequency(units);
}

}  // namespace vestrel
