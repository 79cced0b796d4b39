// ctest-labels: gui integration
// The keying port in the program: the settings name a COM port (a pty) that keys by RTS; the
// engine and its sound devices run on the fake backend, the lines are recorded. PTT is on for
// a transmission, off after it, and off at the shutdown; mode changes never touch the lines.
#include "app/keying_ports.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <QCoreApplication>
#include <chrono>
#include <string>
#include <thread>

#include "engine/engine.h"
#include "io/com_writer.h"
#include "platform/fake_wave.h"
#include "support/fake_keying.h"
#include "support/fake_tx_links.h"
#include "support/fsk_signal.h"
#include "support/pty_pair.h"
#include "support/recording_form.h"
#include "support/win_key_emulator.h"

namespace vestrel {
namespace {

using test::Form;

// The seams of the window, with a settings file that names the keying port, and a transmit
// switch that does what the transmit control does: output open, PTT on, text queued.
struct Parts : test::RecordingFormParts {
  void LoadSettings(const std::string& path, const SettingsTargets& t) override {
    RecordingFormParts::LoadSettings(path, t);
    TAppSettings& s = t.settings;
    s.PttPortType = type;
    s.PttPortNumber = 5;
    s.PttPin = 2;     // RTS keys
    s.PowerPin1 = 1;  // DTR powers the interface
    s.UseTxD = useTxD;
    s.ComPorts[5] = device;
  }
  void SetTransmit(bool on) override {
    RecordingFormParts::SetTransmit(on);
    if (!on || form == nullptr) return;
    form->sound().OpenSoundOutput();
    form->SetPtt(true);
    test::StartTransmission(form->engine(), text);
  }
  std::string device;
  int32_t type = 1;
  int32_t useTxD = 0;
  // Some 30 s of RTTY: far more than a few device rounds play.
  std::string text = [] {
    std::string t;
    for (int i = 0; i < 10; ++i) t += "CQ CQ CQ DE XX0XXX XX0XXX PSE K\r\n";
    return t;
  }();
  TRxForm* form = nullptr;
};

class KeyingPortsInTheProgram : public ::testing::Test {
 protected:
  // The keying port the settings name.
  virtual void ChoosePort() { parts_.device = pty_.slavePath(); }
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    ChoosePort();
    parts_.realSleep = false;
    f_ = std::make_unique<Form>(parts_, test::UniqueSemaphoreName("keying"), std::vector<std::string>{},
                                nullptr, false, &backend_, [this](TRxFormDeps& d) {
                                  d.ports = nullptr;
                                  d.modemLines = &lines_;
                                  d.portBackend = &registers_;
                                });
    parts_.form = f_->form.get();
    f_->Ticks(20);
    ASSERT_TRUE(f_->form->EngineStarted);
  }
  // Plays the queued audio until the transmission has ended (at most `rounds` device rounds).
  void PlayOut(int rounds) {
    TRxForm& w = *f_->form;
    for (int i = 0; i < rounds && w.engine().tx.TxState != 0; ++i) {
      w.Timer1Timer();
      backend_.CompleteOutput(8);
      QCoreApplication::sendPostedEvents(&w);
    }
  }
  std::string Open() const { return "open " + pty_.slavePath(); }

  test::PtyPair pty_;
  test::KeyingLog log_;
  test::RecordingLines lines_{log_};
  test::FakePortBackend registers_{log_};
  FakeWaveBackend backend_;
  Parts parts_;
  std::unique_ptr<Form> f_;
};

TEST_F(KeyingPortsInTheProgram, PttIsOnForATransmissionAndOffAfterItAndAtTheShutdown) {
  TRxForm& w = *f_->form;
  // Opened once at the start: idle lines, RTS off and DTR on. The start's mode, speed and
  // shift changes set the port up again without closing it or touching a line.
  EXPECT_EQ(log_.Entries(), (std::vector<std::string>{Open(), "RTS 0", "DTR 1"}));
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 9600u);

  w.SetTransmit(true);
  EXPECT_TRUE(lines_.rts());
  PlayOut(3);
  EXPECT_TRUE(lines_.rts());  // still sounding
  PlayOut(400);
  ASSERT_EQ(w.engine().tx.TxState, 0);
  EXPECT_FALSE(lines_.rts());
  EXPECT_TRUE(lines_.dtr());
  EXPECT_FALSE(backend_.out.played.empty());

  // A second transmission, cut short by the shutdown.
  w.SetTransmit(true);
  PlayOut(2);
  EXPECT_TRUE(lines_.rts());
  w.ShutdownEngine();
  EXPECT_FALSE(lines_.rts());
  EXPECT_EQ(log_.Count(Open()), 1);
  EXPECT_EQ(log_.Entries().back(), "close " + pty_.slavePath());
  EXPECT_TRUE(pty_.SlaveClosed());
  // Nothing reopens the port once the shutdown has run.
  w.ReopenKeyingPorts();
  w.SetDataExchangePort(5);
  EXPECT_EQ(log_.Count(Open()), 1);
}

TEST_F(KeyingPortsInTheProgram, AModeChangeLeavesAKeyedLineKeyed) {
  TRxForm& w = *f_->form;
  w.SetTransmit(true);
  const size_t mark = log_.Entries().size();
  // Another rate behind the port's back shows that the switch sets the port up again.
  termios2 t = pty_.SlaveSettings();
  t.c_ospeed = t.c_ispeed = 1200;
  ASSERT_EQ(ioctl(pty_.master(), TCSETS2, &t), 0);
  w.engine().modeSwitch.SetMode(2);  // ASCII-7
  w.engine().modeSwitch.SetBaudRate(110);
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 9600u);
  const auto all = log_.Entries();
  for (size_t i = mark; i < all.size(); ++i) EXPECT_NE(all[i], "RTS 0");
  EXPECT_TRUE(lines_.rts());
  w.ShutdownEngine();
}

// PTT type 6: the WinKey keyer on its port (the emulator), brought into host mode at the
// engine start and keyed by its PTT command.
class WinKeyInTheProgram : public KeyingPortsInTheProgram {
 protected:
  void ChoosePort() override {
    ASSERT_TRUE(keyer_.ok());
    parts_.type = 6;
    parts_.device = keyer_.path();
  }
  test::WinKeyEmulator keyer_;
};

TEST_F(WinKeyInTheProgram, ATransmissionSendsPttOnAtItsStartAndPttOffAtItsEnd) {
  TRxForm& w = *f_->form;
  const std::vector<uint8_t> handshake = {0x13, 0x13, 0x13, 0x13, 0x13, 0x00, 0x0A, 0x00, 0x04, 'S',
                                          0x00, 0x02, 0x09, 0x44, 0x0E, 0x46, 0x05, 0x05, 0x5E, 0x7F};
  EXPECT_EQ(keyer_.WaitForBytes(handshake.size()), handshake);
  EXPECT_EQ(w.settings().PttPortType, 6);
  EXPECT_TRUE(parts_.boxes.empty());
  // Mode and speed changes leave the keyer in host mode: no new handshake.
  w.engine().modeSwitch.SetMode(2);
  w.engine().modeSwitch.SetBaudRate(110);
  w.engine().modeSwitch.SetMode(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(keyer_.Bytes(), handshake);
  keyer_.Clear();

  w.SetTransmit(true);
  EXPECT_EQ(keyer_.WaitForBytes(2), (std::vector<uint8_t>{0x18, 0x01}));
  PlayOut(3);
  EXPECT_EQ(keyer_.Bytes(), (std::vector<uint8_t>{0x18, 0x01}));  // still sounding
  PlayOut(400);
  ASSERT_EQ(w.engine().tx.TxState, 0);
  EXPECT_EQ(keyer_.WaitForBytes(4), (std::vector<uint8_t>{0x18, 0x01, 0x18, 0x00}));

  // The shutdown unkeys once more and ends host mode before the port closes.
  keyer_.Clear();
  w.ShutdownEngine();
  ASSERT_TRUE(keyer_.WaitForClose());
  const std::vector<uint8_t> closing = keyer_.Bytes();
  ASSERT_GE(closing.size(), 2u);
  EXPECT_EQ(std::vector<uint8_t>(closing.end() - 2, closing.end()), (std::vector<uint8_t>{0x00, 0x03}));
  EXPECT_EQ(w.workers().shared()->ComBytes.Pending(), 0u);
}

// FSK on the TxD line of the keying port ("UseTxD=1").
class TxdInTheProgram : public KeyingPortsInTheProgram {
 protected:
  void ChoosePort() override {
    KeyingPortsInTheProgram::ChoosePort();
    parts_.useTxD = 1;
    parts_.text = "RYRY CQ DE XX0XXX 599 K";
  }
  // Reads the master end until `n` bytes have come (10 s at most).
  std::vector<uint8_t> ReadLine(size_t n) {
    std::vector<uint8_t> got;
    for (int i = 0; i < 100 && got.size() < n; ++i) {
      const std::vector<uint8_t> more = pty_.Read(100);
      got.insert(got.end(), more.begin(), more.end());
    }
    return got;
  }
};

TEST_F(TxdInTheProgram, TheLineFollowsTheModeAndCarriesTheTransmittedCodes) {
  TRxForm& w = *f_->form;
  // The engine start's RTTY: 45 Bd (45.45), 1.5 stop bits.
  EXPECT_TRUE(w.engine().tx.UseTxD);
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 45u);
  EXPECT_NE(pty_.SlaveSettings().c_cflag & CSTOPB, 0u);
  EXPECT_EQ(lines_.lastFormat(), (SerialFormat{45, 5, SerialStopBits::kOneAndHalf}));

  w.SetTransmit(true);
  PlayOut(400);
  ASSERT_EQ(w.engine().tx.TxState, 0);
  std::vector<uint8_t> expected = {31};
  for (int c : test::BaudotCodesOf(parts_.text, 0)) expected.push_back(static_cast<uint8_t>(c));
  expected.push_back(31);
  EXPECT_EQ(ReadLine(expected.size()), expected);

  // ASCII-7 at 110 Bd, then a PSK mode: 8N1 at 9600 Bd; the port stays open throughout.
  w.engine().modeSwitch.SetMode(2);
  w.engine().modeSwitch.SetBaudRate(110);
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 110u);
  EXPECT_EQ(lines_.lastFormat(), (SerialFormat{110, 7, SerialStopBits::kOne}));
  w.engine().modeSwitch.SetMode(1);
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 9600u);
  EXPECT_EQ(lines_.lastFormat(), SerialFormat{});
  EXPECT_EQ(log_.Count(Open()), 1);
  EXPECT_TRUE(parts_.boxes.empty());
  w.ShutdownEngine();
}

TEST_F(TxdInTheProgram, ALineThatGoesAwayIsReportedOnceByTheWindow) {
  TRxForm& w = *f_->form;
  parts_.text.assign(40, 'R');  // some 7 s of RTTY, most of it still to come
  w.SetTransmit(true);
  PlayOut(1);
  ASSERT_FALSE(ReadLine(1).empty());
  pty_.CloseMaster();  // the other end goes away in the middle of the transmission
  PlayOut(400);
  ASSERT_EQ(w.engine().tx.TxState, 0);
  for (int i = 0; i < 500 && parts_.boxes.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    QCoreApplication::sendPostedEvents(&w);
  }
  ASSERT_EQ(parts_.boxes.size(), 1u);
  EXPECT_EQ(parts_.boxes[0].first, "Write to COM-port error! (5)");
  EXPECT_EQ(parts_.boxes[0].second, ComWriteErrorText(EIO));
  EXPECT_FALSE(w.workers().shared()->PttComHandle.IsOpen());
  EXPECT_GT(w.workers().shared()->ComBytes.Pending(), 0u);
  // Nothing more is said about it.
  QCoreApplication::sendPostedEvents(&w);
  EXPECT_EQ(parts_.boxes.size(), 1u);
  w.ShutdownEngine();
}

}  // namespace
}  // namespace vestrel
