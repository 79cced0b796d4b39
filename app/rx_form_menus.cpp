// The Mode, Speed, Shift and Filters menus and the four tuning step buttons: thin handlers over
// the mode switch and the engine driver.
#include <QAction>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/rx_form.h"
#include "engine/frequency_unit.h"

namespace vestrel {

namespace {

// The step buttons' presses: Ctrl or the right button moves the transmit pair.
class StepButtonFilter : public QObject {
 public:
  explicit StepButtonFilter(TRxForm& form) : QObject(&form), form_(form) {}

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::MouseButtonPress) return false;
    const auto* m = static_cast<QMouseEvent*>(e);
    const bool tx = m->button() == Qt::RightButton || (m->modifiers() & Qt::ControlModifier) != 0;
    if (watched == form_.TuneButtons[0]) form_.ButtonLeft1MouseDown(tx);
    if (watched == form_.TuneButtons[1]) form_.ButtonRight1MouseDown(tx);
    if (watched == form_.TuneButtons[2]) form_.ButtonLeft5MouseDown(tx);
    if (watched == form_.TuneButtons[3]) form_.ButtonRight5MouseDown(tx);
    return false;
  }

 private:
  TRxForm& form_;
};

// The Mode items of the modes that run at one shift and speed: the mode, then those.
void SetModeShiftSpeed(ModeSwitch& sw, int mode, int shiftHz, double baud) {
  sw.SetMode(mode);
  sw.SetShift(shiftHz);
  sw.SetBaudRate(baud);
}

}  // namespace

void TRxForm::ConnectModeMenus() {
  using Handler = void (TRxForm::*)();
  static constexpr struct {
    const char* caption;
    Handler handler;
  } kItems[] = {
      {"RTTY", &TRxForm::RTTY1Click},
      {"ASCII-7", &TRxForm::ASCII71Click},
      {"ASCII-8", &TRxForm::ASCII81Click},
      {"BPSK-31", &TRxForm::BPSK311Click},
      {"BPSK-63", &TRxForm::BPSK631Click},
      {"BPSK-125", &TRxForm::BPSK1251Click},
      {"QPSK-31", &TRxForm::QPSK311Click},
      {"QPSK-63", &TRxForm::QPSK631Click},
      {"Normal Sync", &TRxForm::NormalSync1Click},
      {"Fast Sync", &TRxForm::FastSync1Click},
      {"AMTOR-ARQ (RX Only)", &TRxForm::AMTORARQ1Click},
      {"AX25 (HF)", &TRxForm::AX251Click},
      {"AX25 (UHF)", &TRxForm::AX25UHF1Click},
      {"DTMF RX Only)", &TRxForm::DTMF1Click},
      {"MultiFSK-16", &TRxForm::MFSK161Click},
      {"MultiFSK-8", &TRxForm::MFSK81Click},
      {"PACTOR1-FEC (RX Only)", &TRxForm::PACTORFEC1Click},
      {"PS2x5", &TRxForm::PS2x51Click},
      {"PS33x5", &TRxForm::PS33x51Click},
      {"1.5625 Baud", &TRxForm::N1p5625Baud1Click},
      {"2 Baud", &TRxForm::N2Baud1Click},
      {"3.125 Baud", &TRxForm::N3p125Baud1Click},
      {"4 Baud", &TRxForm::N4Baud1Click},
      {"5 Baud", &TRxForm::N5Baud1Click},
      {"6.25 Baud", &TRxForm::N6p25Baud1Click},
      {"10 Baud", &TRxForm::N10Baud1Click},
      {"12.5 Baud", &TRxForm::N12p5Baud1Click},
      {"25 Baud", &TRxForm::N25Baud1Click},
      {"45 Baud", &TRxForm::N45Baud1Click},
      {"50 Baud", &TRxForm::N50Baud1Click},
      {"57 Baud", &TRxForm::N57Baud1Click},
      {"75 Baud", &TRxForm::N75Baud1Click},
      {"100 Baud", &TRxForm::N100Baud1Click},
      {"110 Baud", &TRxForm::N110Baud1Click},
      {"150 Baud", &TRxForm::N150Baud1Click},
      {"200 Baud", &TRxForm::N200Baud1Click},
      {"250 Baud", &TRxForm::N250Baud1Click},
      {"300 Baud", &TRxForm::N300Baud1Click},
      {"500 Baud", &TRxForm::N500Baud1Click},
      {"600 Baud", &TRxForm::N600Baud1Click},
      {"1000 Baud", &TRxForm::N1000Baud1Click},
      {"1200 Baud", &TRxForm::N1200Baud1Click},
      {"4 Hz", &TRxForm::N4HzShift1Click},
      {"5 Hz", &TRxForm::N5HzShift1Click},
      {"10 Hz", &TRxForm::N10HzShift1Click},
      {"20 Hz", &TRxForm::N20HzShift1Click},
      {"23 Hz", &TRxForm::N22HzShift1Click},
      {"25 Hz", &TRxForm::N25HzShift1Click},
      {"50 Hz", &TRxForm::N50HzShift1Click},
      {"85 Hz", &TRxForm::N85HzShift1Click},
      {"100 Hz", &TRxForm::N100HzShift1Click},
      {"150 Hz", &TRxForm::N150HzShift1Click},
      {"170 Hz", &TRxForm::N170HzShift1Click},
      {"182 Hz", &TRxForm::N182HzShift1Click},
      {"200 Hz", &TRxForm::N200HzShift1Click},
      {"250 Hz", &TRxForm::N250HzShift1Click},
      {"300 Hz", &TRxForm::N300HzShift1Click},
      {"400 Hz", &TRxForm::N400HzShift1Click},
      {"425 Hz", &TRxForm::N425HzShift1Click},
      {"450 Hz", &TRxForm::N450HzShift1Click},
      {"500 Hz", &TRxForm::N500HzShift1Click},
      {"600 Hz", &TRxForm::N600HzShift1Click},
      {"850 Hz", &TRxForm::N850HzShift1Click},
      {"1000 Hz", &TRxForm::N1000HzShift1Click},
      {"1200 Hz", &TRxForm::N1200HzShift1Click},
      {"Optimal", &TRxForm::Optimal1Click},
      {"Wide (Polar)", &TRxForm::WidePolar1Click},
      {"Narrow", &TRxForm::Narrow1Click},
  };
  for (const auto& item : kItems) {
    if (QAction* a = MenuItem(item.caption)) {
      const Handler h = item.handler;
      connect(a, &QAction::triggered, this, [this, h] { (this->*h)(); });
    }
  }
  auto* steps = new StepButtonFilter(*this);
  for (int i = 0; i < 4; ++i) TuneButtons[i]->installEventFilter(steps);
}

// The Mode menu.
void TRxForm::RTTY1Click() {
  const TModemParams& p = engine_->params;
  engine_->modeSwitch.SetModeWithShiftAndSpeed(kModeRtty, p.RttyShift, p.RttySpeed);
}
void TRxForm::ASCII71Click() { engine_->modeSwitch.SetMode(kModeAscii7); }
void TRxForm::ASCII81Click() { engine_->modeSwitch.SetMode(kModeAscii8); }
void TRxForm::BPSK311Click() { engine_->modeSwitch.SetMode(kModeBpsk31); }
void TRxForm::BPSK631Click() { engine_->modeSwitch.SetMode(kModeBpsk63); }
void TRxForm::BPSK1251Click() { engine_->modeSwitch.SetMode(kModeBpsk125); }
void TRxForm::QPSK311Click() { engine_->modeSwitch.SetMode(kModeQpsk31); }
void TRxForm::QPSK631Click() { engine_->modeSwitch.SetMode(kModeQpsk63); }
void TRxForm::NormalSync1Click() { SelectAmtorFec(false); }
void TRxForm::FastSync1Click() { SelectAmtorFec(true); }

void TRxForm::SelectAmtorFec(bool fastSync) {
  // The decoder reads the flag at its next block; the settings save takes it from there.
  engine_->amtorFec.AmtorFastSync = fastSync ? 1 : 0;
  SetMenuChecked("Normal Sync", !fastSync);
  SetMenuChecked("Fast Sync", fastSync);
  SetModeShiftSpeed(engine_->modeSwitch, kModeAmtorFec, 170, 100);
}

void TRxForm::AMTORARQ1Click() { SetModeShiftSpeed(engine_->modeSwitch, kModeAmtorArq, 170, 100); }

void TRxForm::AX251Click() { SetModeShiftSpeed(engine_->modeSwitch, kModeAx25Hf, 200, 300); }

void TRxForm::AX25UHF1Click() {
  // Both AFCs off first: the Bell 202 pair is a fixed pair, which nothing may move.
  settings_.TxAfc = 0;
  TxAfcButton->setChecked(false);
  AfcButton->setChecked(false);
  ModeSwitch& sw = engine_->modeSwitch;
  sw.SetMode(kModeAx25Uhf);
  // Every tone at 1700 Hz, so that the shift lays the pair at 1200 and 2200 Hz.
  TModemParams& p = engine_->params;
  const int32_t rx = HzToUnits(1700.0);
  const int32_t tx = HzToUnits(1700.0, UsableTxRate(engine_->rates.OutSamplingFreq));
  p.RxTone[0] = p.RxTone[1] = rx;
  p.TxTone[0] = p.TxTone[1] = tx;
  sw.SetShift(1000);
  sw.SetBaudRate(1200);
}

void TRxForm::DTMF1Click() { engine_->modeSwitch.SetMode(kModeDtmf); }
void TRxForm::MFSK161Click() { engine_->modeSwitch.SetMode(kModeMfsk16); }
void TRxForm::MFSK81Click() { engine_->modeSwitch.SetMode(kModeMfsk8); }

void TRxForm::PACTORFEC1Click() { SetModeShiftSpeed(engine_->modeSwitch, kModePactorFec, 200, 100); }

void TRxForm::PS2x51Click() {
  const TModemParams& p = engine_->params;
  engine_->modeSwitch.SetModeWithShiftAndSpeed(kModePs2x5, p.Ps2x5Shift, p.Ps2x5Speed);
}

void TRxForm::PS33x51Click() {
  ModeSwitch& sw = engine_->modeSwitch;
  sw.SetMode(kModePs33x5);
  sw.SetBaudRate(engine_->params.Ps33x5SpeedX * 1.5625);
}

// The Speed menu.
void TRxForm::N1p5625Baud1Click() { engine_->modeSwitch.SetBaudRate(1.5625); }
void TRxForm::N2Baud1Click() { engine_->modeSwitch.SetBaudRate(2); }
void TRxForm::N3p125Baud1Click() { engine_->modeSwitch.SetBaudRate(3.125); }
void TRxForm::N4Baud1Click() { engine_->modeSwitch.SetBaudRate(4); }
void TRxForm::N5Baud1Click() { engine_->modeSwitch.SetBaudRate(5); }
void TRxForm::N6p25Baud1Click() { engine_->modeSwitch.SetBaudRate(6.25); }
void TRxForm::N10Baud1Click() { engine_->modeSwitch.SetBaudRate(10); }
void TRxForm::N12p5Baud1Click() { engine_->modeSwitch.SetBaudRate(12.5); }
void TRxForm::N25Baud1Click() { engine_->modeSwitch.SetBaudRate(25); }
void TRxForm::N45Baud1Click() { engine_->modeSwitch.SetBaudRate(45); }
void TRxForm::N50Baud1Click() { engine_->modeSwitch.SetBaudRate(50); }
void TRxForm::N57Baud1Click() { engine_->modeSwitch.SetBaudRate(57); }
void TRxForm::N75Baud1Click() { engine_->modeSwitch.SetBaudRate(75); }
void TRxForm::N100Baud1Click() { engine_->modeSwitch.SetBaudRate(100); }
void TRxForm::N110Baud1Click() { engine_->modeSwitch.SetBaudRate(110); }
void TRxForm::N150Baud1Click() { engine_->modeSwitch.SetBaudRate(150); }
void TRxForm::N200Baud1Click() { engine_->modeSwitch.SetBaudRate(200); }
void TRxForm::N250Baud1Click() { engine_->modeSwitch.SetBaudRate(250); }
void TRxForm::N300Baud1Click() { engine_->modeSwitch.SetBaudRate(300); }
void TRxForm::N500Baud1Click() { engine_->modeSwitch.SetBaudRate(500); }
void TRxForm::N600Baud1Click() { engine_->modeSwitch.SetBaudRate(600); }
void TRxForm::N1000Baud1Click() { engine_->modeSwitch.SetBaudRate(1000); }
void TRxForm::N1200Baud1Click() { engine_->modeSwitch.SetBaudRate(1200); }

// The Shift menu.
void TRxForm::N4HzShift1Click() { engine_->modeSwitch.SetShift(4); }
void TRxForm::N5HzShift1Click() { engine_->modeSwitch.SetShift(5); }
void TRxForm::N10HzShift1Click() { engine_->modeSwitch.SetShift(10); }
void TRxForm::N20HzShift1Click() { engine_->modeSwitch.SetShift(20); }
void TRxForm::N22HzShift1Click() { engine_->modeSwitch.SetShift(22); }
void TRxForm::N25HzShift1Click() { engine_->modeSwitch.SetShift(25); }
void TRxForm::N50HzShift1Click() { engine_->modeSwitch.SetShift(50); }
void TRxForm::N85HzShift1Click() { engine_->modeSwitch.SetShift(85); }
void TRxForm::N100HzShift1Click() { engine_->modeSwitch.SetShift(100); }
void TRxForm::N150HzShift1Click() { engine_->modeSwitch.SetShift(150); }
void TRxForm::N170HzShift1Click() { engine_->modeSwitch.SetShift(170); }
void TRxForm::N182HzShift1Click() { engine_->modeSwitch.SetShift(182); }
void TRxForm::N200HzShift1Click() { engine_->modeSwitch.SetShift(200); }
void TRxForm::N250HzShift1Click() { engine_->modeSwitch.SetShift(250); }
void TRxForm::N300HzShift1Click() { engine_->modeSwitch.SetShift(300); }
void TRxForm::N400HzShift1Click() { engine_->modeSwitch.SetShift(400); }
void TRxForm::N425HzShift1Click() { engine_->modeSwitch.SetShift(425); }
void TRxForm::N450HzShift1Click() { engine_->modeSwitch.SetShift(450); }
void TRxForm::N500HzShift1Click() { engine_->modeSwitch.SetShift(500); }
void TRxForm::N600HzShift1Click() { engine_->modeSwitch.SetShift(600); }
void TRxForm::N850HzShift1Click() { engine_->modeSwitch.SetShift(850); }
void TRxForm::N1000HzShift1Click() { engine_->modeSwitch.SetShift(1000); }
void TRxForm::N1200HzShift1Click() { engine_->modeSwitch.SetShift(1200); }

// The Filters menu.
void TRxForm::Optimal1Click() { engine_->modeSwitch.SelectFilter(0); }
void TRxForm::WidePolar1Click() { engine_->modeSwitch.SelectFilter(1); }
void TRxForm::Narrow1Click() { engine_->modeSwitch.SelectFilter(2); }

// The step buttons: 3 or 16 units; then the typing goes on in the sent-text box.
void TRxForm::ButtonLeft1MouseDown(bool txPair) { StepTones(-3, txPair); }
void TRxForm::ButtonRight1MouseDown(bool txPair) { StepTones(3, txPair); }
void TRxForm::ButtonLeft5MouseDown(bool txPair) { StepTones(-16, txPair); }
void TRxForm::ButtonRight5MouseDown(bool txPair) { StepTones(16, txPair); }

void TRxForm::StepTones(int units, bool txPair) {
  if (txPair)
    engineDriver_->ShiftTxFrequency(units);
  else
    engineDriver_->ShiftRxFrequency(units);
  Sent->setFocus();
}

}  // namespace vestrel
