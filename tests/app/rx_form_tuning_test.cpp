// ctest-labels: gui
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "app/rx_form.h"
#include "engine/engine.h"
#include "engine/frequency_control.h"
#include "engine/frequency_unit.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

// A form whose engine has started, RTTY at 45.45 Bd with 170 Hz shift.
struct Tuning : Form {
  explicit Tuning(RecordingFormParts& p) : Form(p, UniqueSemaphoreName("tune")), parts(p) {
    Ticks(20);
    form->engine().modeSwitch.SetMode(kModeRtty);
    parts.log.clear();
  }
  TRxForm& w() { return *form; }
  TModemParams& params() { return form->engine().params; }
  int32_t PositionAt(int x) {
    return w().SpectrumPositionAt(x);
  }
  void Send(QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    const QPointF pos(x, 10);
    QMouseEvent e(type, pos, w().FFTBox->mapToGlobal(pos), button, buttons, mods);
    QApplication::sendEvent(w().FFTBox, &e);
  }
  RecordingFormParts& parts;
};

// A click on the spectrum sets the receive pair there (the pair's centre under the pointer,
// reference and receivers with it), runs the AFC six times and gives the focus to Sent; the
// rig is asked to tune only with rig tuning on and without Ctrl or Alt; the right button
// replays the last minute of audio.
TEST(RxFormTuning, ClickOnTheSpectrumTunesTheReceivePair) {
  RecordingFormParts parts;
  Tuning t(parts);
  TModemParams& p = t.params();
  const int x = t.w().FFTBox->width() / 3;
  QTest::mouseClick(t.w().FFTBox, Qt::LeftButton, {}, QPoint(x, 10));
  int32_t tone[2], bin[2];
  PlaceTonePair(tone, bin, t.PositionAt(x), p.RxShift);
  EXPECT_EQ(p.RxTone[0], tone[0]);
  EXPECT_EQ(p.RxTone[1], tone[1]);
  EXPECT_EQ(p.AfcRefBin[0], bin[0]);
  EXPECT_EQ(p.AfcRefBin[1], bin[1]);
  EXPECT_FALSE(parts.Has("TuneToSignal"));
  EXPECT_FALSE(parts.Has("ReplayLastAudio 60"));

  t.w().settings().TuneRig = 1;
  QTest::mouseClick(t.w().FFTBox, Qt::LeftButton, {}, QPoint(x + 40, 10));
  EXPECT_EQ(parts.Count("TuneToSignal"), 1);
  // Ctrl and the left button: the transmit pair moves, the receive pair stays, no rig tuning.
  const int32_t rx = p.RxTone[0];
  QTest::mouseClick(t.w().FFTBox, Qt::LeftButton, Qt::ControlModifier, QPoint(x + 80, 10));
  EXPECT_EQ(p.RxTone[0], rx);
  PlaceTonePair(tone, bin, t.PositionAt(x + 80), p.TxShift);
  EXPECT_EQ(p.TxTone[0], tone[0]);
  EXPECT_EQ(parts.Count("TuneToSignal"), 1);
  QTest::mouseClick(t.w().FFTBox, Qt::RightButton, {}, QPoint(x, 10));
  EXPECT_TRUE(parts.Has("ReplayLastAudio 60"));
}

// Alt and the left button drag the display: the centre follows the pointer by whole bins and
// no tone moves.
TEST(RxFormTuning, AltDragMovesTheDisplayCentre) {
  RecordingFormParts parts;
  Tuning t(parts);
  TModemParams& p = t.params();
  p.Zoom = 2;
  const int32_t centre = p.FFTCenterFreq;
  const int32_t tone = p.RxTone[0];
  t.Send(QEvent::MouseButtonPress, 200, Qt::LeftButton, Qt::LeftButton, Qt::AltModifier);
  t.Send(QEvent::MouseMove, 220, Qt::NoButton, Qt::LeftButton, Qt::AltModifier);
  EXPECT_EQ(p.FFTCenterFreq, centre - 10);
  t.Send(QEvent::MouseMove, 180, Qt::NoButton, Qt::LeftButton, Qt::AltModifier);
  EXPECT_EQ(p.FFTCenterFreq, centre + 10);
  t.Send(QEvent::MouseButtonRelease, 180, Qt::LeftButton, Qt::NoButton, Qt::AltModifier);
  EXPECT_EQ(p.RxTone[0], tone);
  EXPECT_EQ(t.w().engine().display.FrequencyScaleChanged, 1);
}

// The AFC button runs the mode's pass once when it goes down; TxAFC lets the transmit pair
// follow; Reverse swaps the polarity and its caption.
TEST(RxFormTuning, AfcTxAfcAndReverseButtons) {
  RecordingFormParts parts;
  Tuning t(parts);
  TRxForm& w = t.w();
  TModemParams& p = t.params();
  w.AfcButton->setChecked(false);
  const int lo = p.RxToneBin[0], S = p.RxShiftBin;
  auto& P = w.engine().rxBlocks.Spectrum.SpectrumPeak;
  P.fill(0.0f);
  for (int d = -7; d <= 7; ++d) P[lo + 4 + d] = P[lo + 4 + S + d] = float(8 - std::abs(d)) / 8.0f;
  QTest::mouseClick(w.AfcButton, Qt::LeftButton);
  EXPECT_TRUE(w.AfcButton->isChecked());
  EXPECT_NEAR(p.RxTone[0], (lo + 4) * 16, 8);

  w.TxAfcButton->setChecked(false);
  QTest::mouseClick(w.TxAfcButton, Qt::LeftButton);
  EXPECT_EQ(w.settings().TxAfc, 1);
  EXPECT_EQ(w.engine().freq.TxAfc, 1);
  EXPECT_EQ(p.TxTone[0] + p.TxTone[1], p.RxTone[0] + p.RxTone[1]);
  QTest::mouseClick(w.TxAfcButton, Qt::LeftButton);
  EXPECT_EQ(w.engine().freq.TxAfc, 0);

  w.ReverseButton->setChecked(false);
  EXPECT_EQ(w.ReverseButton->text().toStdString(), "Normal");
  QTest::mouseClick(w.ReverseButton, Qt::LeftButton);
  EXPECT_EQ(w.ReverseButton->text().toStdString(), "Reverse");
  EXPECT_EQ(p.Reverse, 1);
  QTest::mouseClick(w.ReverseButton, Qt::LeftButton);
  EXPECT_EQ(w.ReverseButton->text().toStdString(), "Normal");
  EXPECT_EQ(p.Reverse, 0);
}

// The deviation up-downs: their hints, the values in force in the engine and the settings,
// and the edits showing the value in force once left.
TEST(RxFormTuning, DeviationUpDowns) {
  RecordingFormParts parts;
  Tuning t(parts);
  TRxForm& w = t.w();
  EXPECT_EQ(w.AfcUpDown->toolTip().toStdString(), "Local AFC Deviation");
  EXPECT_EQ(w.AfcLimitUpDown->toolTip().toStdString(), "Global AFC Deviation");
  EXPECT_EQ(w.AfcUpDown->value(), 50);
  EXPECT_EQ(w.AfcLimitUpDown->value(), 300);
  EXPECT_EQ(w.engine().freq.LocalDeviationHz, 50);
  EXPECT_EQ(w.engine().freq.GlobalDeviationHz, 300);

  w.AfcUpDown->setFocus();
  w.AfcUpDown->selectAll();
  QTest::keyClicks(w.AfcUpDown, "37");
  emit w.AfcUpDown->editingFinished();
  EXPECT_EQ(w.settings().AfcDeviation, 7);
  EXPECT_EQ(w.engine().freq.LocalDeviationHz, 35);
  EXPECT_EQ(w.AfcUpDown->text().toStdString(), "35");

  w.AfcLimitUpDown->setValue(120);
  emit w.AfcLimitUpDown->editingFinished();
  EXPECT_EQ(w.settings().AFC_Limit, 120);
  EXPECT_EQ(w.engine().freq.GlobalDeviationHz, 120);
  EXPECT_EQ(w.AfcLimitUpDown->text().toStdString(), "120");
}

}  // namespace
}  // namespace vestrel
