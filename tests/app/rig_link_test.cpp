#include "app/rig_link.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <functional>
#include <memory>

#include "app/rx_form.h"
#include "io/rig/rig_params.h"
#include "io/rig/rigctld_server.h"
#include "support/fake_rig_server.h"
#include "support/recording_form.h"
#include "support/rigctld_daemon.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

// A started window whose rig link is the program's own, on fake rigs.
struct RigForm : Form {
  RigForm(RecordingFormParts& p, RigServer& server, bool realPorts = false)
      : Form(p, UniqueSemaphoreName("rig"), {}, nullptr, false, nullptr, [&](TRxFormDeps& d) {
          d.rig = nullptr;
          d.rigServer = &server;
          if (realPorts) d.ports = nullptr;
        }) {
    Ticks(20);
  }
  TRxForm& w() { return *form; }
  std::string Panel8() { return form->Panel(8)->text().toStdString(); }
};

void Wheel(QWidget* target, int delta) {
  QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(target, &e);
}

// Ctrl+U switches rig tuning between off and the last way used; panel 8 and the TX AFC button
// follow.
TEST(RigLink, CtrlUPanelEightAndTxAfcButton) {
  RecordingFormParts parts;
  test::FakeRigServer server;
  RigForm f(parts, server);
  TRxForm& w = f.w();
  EXPECT_EQ(f.Panel8(), "");
  EXPECT_TRUE(w.TxAfcButton->isEnabled());
  w.TxAfcButton->setChecked(true);
  w.settings().TxAfc = 1;

  w.settings().LastTuneRig = 1;
  QTest::keyClick(w.Input, Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(w.settings().TuneRig, 1);
  EXPECT_EQ(f.Panel8(), "RIT");
  EXPECT_FALSE(w.TxAfcButton->isEnabled());
  EXPECT_FALSE(w.TxAfcButton->isChecked());
  EXPECT_EQ(w.settings().TxAfc, 0);

  QTest::keyClick(w.Input, Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(w.settings().TuneRig, 0);
  EXPECT_EQ(f.Panel8(), "");
  EXPECT_TRUE(w.TxAfcButton->isEnabled());

  w.settings().LastTuneRig = 2;
  QTest::keyClick(w.Input, Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(f.Panel8(), "VFO");
  EXPECT_FALSE(w.TxAfcButton->isEnabled());

  // A rig that cannot be reached: off again, with the message.
  server.rig1.fail = RigStatus::kServerError;
  QTest::keyClick(w.Input, Qt::Key_U, Qt::ControlModifier);
  QTest::keyClick(w.Input, Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(w.settings().TuneRig, 0);
  EXPECT_EQ(f.Panel8(), "");
  EXPECT_TRUE(w.TxAfcButton->isEnabled());
  EXPECT_TRUE(parts.Has("Box Problem with OmniRig starting!"));
}

// The wheel over any control of the window tunes: the rig with rig tuning on, else the receive
// tones.
TEST(RigLink, WheelEventsReachTheHandler) {
  RecordingFormParts parts;
  test::FakeRigServer server;
  RigForm f(parts, server);
  TRxForm& w = f.w();
  w.settings().TuneRig = 2;
  w.rig().Restart();
  server.rig1.writes.clear();
  Wheel(w.FFTBox, 120);
  Wheel(w.RxMemo, -240);
  using Writes = std::vector<std::pair<std::string, int64_t>>;
  EXPECT_EQ(server.rig1.writes, (Writes{{"FreqA", 14'070'060}, {"FreqA", 14'069'940}}));

  w.settings().TuneRig = 0;
  w.rig().Restart();
  Wheel(w.FFTBox, 120);
  EXPECT_TRUE(parts.Has("ShiftRxFrequency 178"));  // 60 Hz
}

// PTT type 5: the keying port keys the rig by CAT.
TEST(RigLink, CatKeyingThroughTheKeyingPort) {
  RecordingFormParts parts;
  parts.onLoadSettings = [](TAppSettings& s) {
    s.PttPortType = 5;
    s.PttPortNumber = 2;
  };
  test::FakeRigServer server;
  RigForm f(parts, server, true);
  TRxForm& w = f.w();
  w.SetPtt(true);
  EXPECT_EQ(server.rig2.tx, kPmTx);
  w.SetPtt(false);
  EXPECT_EQ(server.rig2.tx, kPmRx);
}

// PTT type 5 on a rigctld started without a PTT (-P): its refusal is said once, with the
// daemon's answer, and panel 8 shows for each transmission that the rig is not keyed.
TEST(RigLink, RefusedCatKeyingIsSaidOnceAndMarkedWhileItLasts) {
  if (!test::HaveProgram("rigctld")) GTEST_SKIP() << "rigctld is not installed";
  std::unique_ptr<test::ChildProcess> daemon;
  uint16_t port = 0;
  for (int attempt = 0; attempt < 3 && !daemon; ++attempt)
    daemon = test::StartRigctld(port = test::FreeLoopbackPort(), false, false);
  ASSERT_TRUE(daemon) << "rigctld did not start";
  RigctldSettings where;
  where.rig1 = {"127.0.0.1", port};
  RigctldServer server(where);
  RecordingFormParts parts;
  parts.onLoadSettings = [](TAppSettings& s) { s.PttPortType = 5; };
  RigForm f(parts, server, true);
  TRxForm& w = f.w();
  // Each keying must get to the rig and back: the daemon's answer comes on the poller thread.
  auto ticksUntil = [&](const std::function<bool()>& done) {
    return test::Eventually([&] {
      f.Ticks(1);
      return done();
    });
  };
  const std::string box =
      "Box rigctld did not key the rig: it answered \"set_ptt: 1 RPRT -1\". Start rigctld with a PTT of its "
      "own: by "
      "CAT (-P RIG) or by a line of the rig's port (for example -p /dev/ttyUSB0 -P RTS).";
  for (int transmission = 0; transmission < 2; ++transmission) {
    ASSERT_TRUE(ticksUntil([&] { return dynamic_cast<TRigLink&>(w.rig()).work().PttState() == 3; }))
        << transmission;
    w.SetPtt(true);
    EXPECT_TRUE(ticksUntil([&] { return f.Panel8() == TRigLink::kNotKeyedMark; }))
        << transmission << " panel " << f.Panel8() << " ptt "
        << dynamic_cast<TRigLink&>(w.rig()).work().PttState() << " key refused "
        << server.Rig1().KeyRefused();
    EXPECT_EQ(parts.Count(box), 1) << transmission;
    w.SetPtt(false);
    EXPECT_EQ(f.Panel8(), "") << transmission;
  }
}

}  // namespace
}  // namespace vestrel
