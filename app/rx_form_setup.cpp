// What the setup dialog asks of the main window: showing it, and the changes it applies that
// are the window's own (the transmission, the panes, the fonts).
#include <QLineEdit>
#include <QPushButton>

#include "app/rx_form.h"
#include "app/setup_form.h"

namespace vestrel {

namespace {
constexpr int kEditFieldsHeight = 25;
}

void TRxForm::ShowSetup(int pageNum) {
  if (setupForm_ == nullptr || !EngineStarted || ShutdownDone != 0) return;
  engine_->display.DisplayPause = 3000;
  setupForm_->LoadSetupDialog();
  if (pageNum >= 1 && pageNum <= 9) setupForm_->PageControl->setCurrentIndex(pageNum - 1);
  // Changing the flag rebuilds the window, which hides it; it is shown afterwards.
  setupForm_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  setupForm_->show();
  setupForm_->raise();
  setupForm_->activateWindow();
}

void TRxForm::StopTransmissionNow() {
  if (!Transmitting()) return;
  ports_->SetPtt(false);
  sound_->CloseSoundOutput();
  // The pump finds the transmission without a playback device and ends it: PTT off, the
  // transmit state back to receive, the capture device open.
  engineDriver_->PumpTxAudio();
}

void TRxForm::ShowOscillogram(bool on) {
  // Hidden, the strip keeps one pixel of height.
  settings_.OscShow = on ? 1 : 0;
  PaintBox1->setFixedHeight(on ? kOscillogramHeight : 1);
}

void TRxForm::ShowEditFields(bool on) {
  QsoPanel->setFixedHeight(on ? kEditFieldsHeight : 1);
}

void TRxForm::ShowMacroRows(int rows) {
  // Each height ends one pixel below the last row shown; 0 leaves a one-pixel panel.
  const QPushButton* last = rows == 0   ? nullptr
                            : rows == 2 ? ButMacro[13]
                            : rows == 3 ? ButMacro[25]
                                        : ButMacro[1];
  Panel2->setFixedHeight(last == nullptr ? 1 : last->y() + last->height() + 1);
}

int TRxForm::MacroRows() const {
  return Panel2->height() / kMacroButtonHeight;
}

}  // namespace vestrel
