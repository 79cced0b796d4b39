// ctest-labels: interop
// The window's messages on a private session bus (dbus-run-session), with dbus-send and
// dbus-monitor as the other programs.
#include "app/message_bus.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 400 && !done(); ++i) QTest::qWait(25);
  return done();
}

void Send(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral("dbus-send"), QStringList{QStringLiteral("--session")} + args);
  // The window answers from this thread's event loop, so wait without blocking it.
  ASSERT_TRUE(WaitFor([&] { return p.state() == QProcess::NotRunning; }));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

void CallWindow(const char* method) {
  Send({QStringLiteral("--print-reply"), QStringLiteral("--dest=vestrel.Vestrel"), QStringLiteral("/vestrel/Window"),
        QStringLiteral("vestrel.Window.") + QString::fromLatin1(method)});
}

TEST(MessageBus, OtherProgramsReachTheWindowOnTheSessionBus) {
  if (std::getenv("VESTREL_PRIVATE_BUS") == nullptr) {
    if (std::system("command -v dbus-run-session > /dev/null 2>&1") != 0) GTEST_SKIP() << "no dbus-run-session";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string cmd = "VESTREL_PRIVATE_BUS=1 dbus-run-session -- '" + self +
                            "' --gtest_filter=MessageBus.OtherProgramsReachTheWindowOnTheSessionBus";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  RecordingFormParts parts;
  Form f(parts, test::UniqueSemaphoreName("bus"), {}, nullptr, true);
  TRxForm& w = *f.form;
  EXPECT_EQ(w.messageBus(), nullptr);  // nothing is on the bus before the engine start
  f.Ticks(20);
  ASSERT_NE(w.messageBus(), nullptr);
  ASSERT_TRUE(w.messageBus()->registered());

  CallWindow("TxOn");
  EXPECT_TRUE(WaitFor([&] { return parts.Has("SetTransmit 1"); }));
  CallWindow("TxOff");
  EXPECT_TRUE(WaitFor([&] { return parts.Has("SetTransmit 0"); }));
  CallWindow("PauseOn");
  EXPECT_TRUE(WaitFor([&] { return parts.Has("SetPause 1"); }));
  w.BeaconButtonClick();
  CallWindow("BeaconOff");
  EXPECT_TRUE(WaitFor([&] { return parts.Has("Notify 124"); }));
  EXPECT_FALSE(w.BeaconOn);

  Send({QStringLiteral("--type=signal"), QStringLiteral("/logger"), QStringLiteral("vestrel.Messages.BRK_CW"),
        QStringLiteral("uint32:111"), QStringLiteral("uint32:7")});
  EXPECT_TRUE(WaitFor([&] { return parts.Has("LoggerCommand 111 7"); }));

  QProcess monitor;
  monitor.start(QStringLiteral("dbus-monitor"),
                {QStringLiteral("--session"),
                 QStringLiteral("type='signal',interface='vestrel.Messages',member='Tandel_Message'")});
  ASSERT_TRUE(monitor.waitForStarted());
  QByteArray seen;
  // The monitor may start listening only after the first broadcasts: repeat until it hears one.
  EXPECT_TRUE(WaitFor([&] {
    w.messageBus()->BroadcastTandelMessage(0x01000063, 0);
    seen += monitor.readAllStandardOutput();
    return seen.contains("uint32 16777315");
  }));
  monitor.kill();
  monitor.waitForFinished();

  w.ShutdownEngine();
  CallWindow("TxOn");  // after the shutdown nothing keys the transmitter
  QTest::qWait(100);
  EXPECT_EQ(parts.Count("SetTransmit 1"), 1);
}

TEST(MessageBus, WithoutASessionBusTheProgramRunsOn) {
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vestrel-no-bus");
  if (std::getenv("VESTREL_PRIVATE_BUS") != nullptr) GTEST_SKIP() << "the session bus of this process is set";
  RecordingFormParts parts;
  Form f(parts, test::UniqueSemaphoreName("nobus"), {}, nullptr, true);
  f.Ticks(20);
  ASSERT_NE(f.form->messageBus(), nullptr);
  EXPECT_FALSE(f.form->messageBus()->registered());
  EXPECT_TRUE(f.form->EngineStarted);
  f.form->messageBus()->BroadcastTandelMessage(99, 0);  // quietly nothing
}

}  // namespace
}  // namespace vestrel
