// ctest-labels: gui integration
// The keying port in the program: the settings name a COM port (a pty) that keys by RTS; the
// engine and its sound devices run on the fake backend, the lines are recorded. PTT is on for
// a transmission, off after it, and off at the shutdown; mode changes never touch the lines.
#include "app/keying_ports.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <QCoreApplication>
#include <string>

#include "engine/engine.h"
#include "platform/fake_wave.h"
#include "support/fake_keying.h"
#include "support/fake_tx_links.h"
#include "support/pty_pair.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::Form;

// The seams of the window, with a settings file that names the keying port, and a transmit
// switch that does what the transmit control does: output open, PTT on, text queued.
struct Parts : test::RecordingFormParts {
  void LoadSettings(const std::string& path, const SettingsTargets& t) override {
    RecordingFormParts::LoadSettings(path, t);
    TAppSettings& s = t.settings;
    s.PttPortType = 1;
    s.PttPortNumber = 5;
    s.PttPin = 2;     // RTS keys
    s.PowerPin1 = 1;  // DTR powers the interface
    s.ComPorts[5] = device;
  }
  void SetTransmit(bool on) override {
    RecordingFormParts::SetTransmit(on);
    if (!on || form == nullptr) return;
    form->sound().OpenSoundOutput();
    form->SetPtt(true);
    // Some 30 s of RTTY: far more than a few device rounds play.
    std::string text;
    for (int i = 0; i < 10; ++i) text += "CQ CQ CQ DE XX0XXX XX0XXX PSE K\r\n";
    test::StartTransmission(form->engine(), text);
  }
  std::string device;
  TRxForm* form = nullptr;
};

class KeyingPortsInTheProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    parts_.device = pty_.slavePath();
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

}  // namespace
}  // namespace vestrel
