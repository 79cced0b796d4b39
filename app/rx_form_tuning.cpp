// Tuning from the window: clicks and drags on the spectrum, the AFC, TxAFC and Reverse
// buttons and the two AFC deviation up-downs. The tuning itself is the engine's
// (engine/frequency_control.h); this file turns mouse and button events into its calls.
#include <QGridLayout>
#include <algorithm>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QToolButton>

#include "app/rx_form.h"

#include "app/display_geometry.h"
#include "engine/engine.h"

namespace vestrel {

namespace {

QSpinBox* MakeDeviationUpDown(QWidget* parent, const char* name, const char* hint, int max, int step) {
  auto* b = new QSpinBox(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setToolTip(QString::fromLatin1(hint));
  b->setRange(0, max);
  b->setSingleStep(step);
  b->setFocusPolicy(Qt::ClickFocus);
  return b;
}

}  // namespace

void TRxForm::BuildTuningControls(QWidget* parent, QGridLayout* grid, int row) {
  AfcUpDown = MakeDeviationUpDown(parent, "AfcUpDown", "Local AFC Deviation", kMaxAfcDeviationSteps * 5, 5);
  AfcLimitUpDown = MakeDeviationUpDown(parent, "AfcLimitUpDown", "Global AFC Deviation", kMaxAfcLimitHz, 10);
  grid->addWidget(AfcUpDown, row, 0);
  grid->addWidget(AfcLimitUpDown, row, 1);
  // The up-downs take whole steps: 5 Hz for the local deviation.
  connect(AfcUpDown, &QSpinBox::valueChanged, this, [this](int hz) {
    settings_.AfcDeviation = hz / 5;
    engine_->freq.LocalDeviationHz = settings_.AfcDeviation * 5;
  });
  connect(AfcLimitUpDown, &QSpinBox::valueChanged, this, [this](int hz) {
    settings_.AFC_Limit = hz;
    engine_->freq.GlobalDeviationHz = hz;
  });
  // Leaving an edit shows the value in force, whatever was typed.
  connect(AfcUpDown, &QSpinBox::editingFinished, this, [this] { AfcUpDown->setValue(settings_.AfcDeviation * 5); });
  connect(AfcLimitUpDown, &QSpinBox::editingFinished, this,
          [this] { AfcLimitUpDown->setValue(settings_.AFC_Limit); });
  ReverseButton->setText(QStringLiteral("Normal"));
  connect(AfcButton, &QToolButton::clicked, this, [this] { AfcButtonClick(); });
  connect(TxAfcButton, &QToolButton::toggled, this, [this] { TxAfcButtonClick(); });
  connect(ReverseButton, &QToolButton::toggled, this, [this] { ReverseButtonClick(); });
}

void TRxForm::ApplyTuningSettings() {
  const TAppSettings& s = settings_;
  const int local = std::clamp(s.AfcDeviation, 0, kMaxAfcDeviationSteps);
  const int global = std::clamp(s.AFC_Limit, 0, kMaxAfcLimitHz);
  AfcUpDown->setValue(local * 5);
  AfcLimitUpDown->setValue(global);
  TFrequencyControl& f = engine_->freq;
  f.LocalDeviationHz = local * 5;
  f.GlobalDeviationHz = global;
  f.TxAfc = s.TxAfc != 0 ? 1 : 0;
  f.AfcAtClick = s.AfcAtClick != 0 ? 1 : 0;
  ReverseButtonClick();
}

void TRxForm::AfcButtonClick() {
  if (!EngineStarted || ShutdownDone != 0) return;
  // The pass of the mode in use (none in DTMF), so that the receiver moves with the tones.
  if (AfcButton->isChecked() && engine_->freq.RunModePass()) engine_->freq.SyncTxFrequencyToRx();
}

void TRxForm::TxAfcButtonClick() {
  const bool down = TxAfcButton->isChecked();
  settings_.TxAfc = down ? 1 : 0;
  engine_->freq.TxAfc = settings_.TxAfc;
  if (down && EngineStarted) engine_->freq.SyncTxFrequencyToRx();
}

void TRxForm::ReverseButtonClick() {
  const bool down = ReverseButton->isChecked();
  engine_->params.Reverse = down ? 1 : 0;
  settings_.Reverse = engine_->params.Reverse;
  ReverseButton->setText(down ? QStringLiteral("Reverse") : QStringLiteral("Normal"));
}

bool TRxForm::TuningMouseEvent(QObject* watched, QEvent* e) {
  if (watched != FFTBox) return false;
  const QEvent::Type type = e->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
    return false;
  auto* m = static_cast<QMouseEvent*>(e);
  const int x = static_cast<int>(m->position().x());
  const Qt::KeyboardModifiers mods = m->modifiers();
  if (type == QEvent::MouseButtonPress) FFTBoxMouseDown(m->button(), mods, x);
  if (type == QEvent::MouseMove) FFTBoxMouseMove(m->buttons(), mods, x);
  if (type == QEvent::MouseButtonRelease) FFTBoxMouseUp(mods);
  return true;
}

void TRxForm::FFTBoxMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers mods, int x) {
  engine_->display.DisplayPause = 0;
  dragging_ = (mods & Qt::AltModifier) != 0;
  if (dragging_) {
    FFTBox->setCursor(Qt::SizeHorCursor);
    dragStartX_ = x;
  }
  clickButton_ = button;
  FFTBoxMouseMove(button, mods, x);
}

void TRxForm::FFTBoxMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods, int x) {
  if (!EngineStarted || ShutdownDone != 0) return;
  if (!Sent->hasFocus()) Sent->setFocus();
  TModemParams& p = engine_->params;
  const bool left = (buttons & Qt::LeftButton) != 0;
  if ((mods & Qt::AltModifier) && left) {
    if (!dragging_) {
      dragging_ = true;
      dragStartX_ = x;
    }
    // The display moves under the pointer; its painter redraws the scale.
    if (DragSpectrumCentre(p, dragStartX_, x)) engine_->display.FrequencyScaleChanged = 1;
    return;
  }
  if (!left && !(buttons & Qt::RightButton)) return;
  TFrequencyControl& f = engine_->freq;
  const int32_t position = SpectrumPositionAt(x);
  if ((mods & Qt::ControlModifier) && left)
    f.SetTxPosition(position);
  else
    f.SetRxPosition(position);
  f.SyncTxFrequencyToRx();
}

int32_t TRxForm::SpectrumPositionAt(int x) const {
  SpectrumScale scale;
  scale.origin = display_.DisplayOrigin();
  scale.zoom = DisplayGeometry::ValidZoom(engine_->params.Zoom);
  return scale.PositionAt(x);
}

void TRxForm::FFTBoxMouseUp(Qt::KeyboardModifiers mods) {
  if (dragging_) FFTBox->setCursor((mods & Qt::AltModifier) ? Qt::SizeHorCursor : Qt::ArrowCursor);
  dragging_ = false;
  if (!EngineStarted || ShutdownDone != 0) return;
  Sent->setFocus();
  TuneToClick(1, mods);
}

void TRxForm::ScaleImageMouseUp(Qt::KeyboardModifiers mods) {
  if (!EngineStarted || ShutdownDone != 0) return;
  Sent->setFocus();
  TuneToClick(0, mods);
}

void TRxForm::TuneToClick(int clickedSpectrum, Qt::KeyboardModifiers mods) {
  if (tuneBusy_) return;
  tuneBusy_ = true;
  const bool ctrl = (mods & Qt::ControlModifier) != 0;
  const bool alt = (mods & Qt::AltModifier) != 0;
  TFrequencyControl& f = engine_->freq;
  f.AfcAtClick = settings_.AfcAtClick != 0 ? 1 : 0;
  f.AfterClick(clickedSpectrum == 1, ctrl);
  // Shift or the right button: the last minute of audio decoded again at the new tones.
  if ((mods & Qt::ShiftModifier) || clickButton_ == Qt::RightButton) capture_.ReplayLastAudio(60);
  // The rig brought onto the signal; the receive tones it moved go to the decoders again.
  if (settings_.TuneRig != 0 && !alt && !ctrl && rig_->TuneToSignal()) f.RetuneRx();
  if (settings_.UseDuplex == 0 && Transmitting()) display_.PaintSpectrum();
  clickButton_ = Qt::NoButton;
  tuneBusy_ = false;
}

}  // namespace vestrel
