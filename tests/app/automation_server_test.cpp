// ctest-labels: interop
// The logger link and the automation server on a private session bus (dbus-run-session), with
// dbus-send, dbus-monitor and gdbus as the other programs, and connections of the test's own
// as automation clients.
#include "app/automation_server.h"
#include "memo/byte_string.h"
#include "memo/qt/styled_memo_widget.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QRegularExpression>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/logger_link.h"
#include "app/message_bus.h"
#include "app/session_bus.h"
#include "platform/ini_file.h"
#include "memo/qt/styled_memo_widget.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::Form;

class Parts : public test::RecordingFormParts {
 public:
  void Highlight(const std::string& call, int32_t colour) override {
    Log("Highlight " + call + " " + std::to_string(colour));
  }
  void AddSymbol(int s) override { Log("AddSymbol " + std::to_string(s)); }
  void SetVal(const std::string& n, const std::string& v) override { Log("SetVal " + n + "=" + v); }
  int32_t SentChars() const override { return sentCount; }
  bool Paused() const override { return paused; }
  void SetPause(bool on) override {
    RecordingFormParts::SetPause(on);
    paused = on;
  }
  int32_t sentCount = 0;
  bool paused = false;
};

bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
  for (int i = 0; i < ms / 20 && !done(); ++i) QTest::qWait(20);
  return done();
}

struct ToolRun {
  int status = -1;
  QString out, err;
};

// A program run while this thread's event loop keeps answering the bus.
ToolRun Tool(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  ToolRun r;
  if (!p.waitForStarted()) return r;
  WaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000);
  r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

ToolRun Gdbus(const char* method, const QStringList& args = {}) {
  return Tool(QStringLiteral("gdbus"), QStringList{QStringLiteral("call"), QStringLiteral("--session"),
                                                   QStringLiteral("--dest"), QStringLiteral("vestrel.VestrelX"),
                                                   QStringLiteral("--object-path"), QStringLiteral("/vestrel/VestrelX"),
                                                   QStringLiteral("--method"),
                                                   QStringLiteral("vestrel.VestrelX.") + QString::fromLatin1(method),
                                                   QStringLiteral("--")} +
                                           args);
}

void SendBrkCw(uint32_t w, uint32_t l) {
  const ToolRun r = Tool(QStringLiteral("dbus-send"),
                     {QStringLiteral("--session"), QStringLiteral("--type=signal"), QStringLiteral("/logger"),
                      QStringLiteral("vestrel.Messages.BRK_CW"), QStringLiteral("uint32:%1").arg(w),
                      QStringLiteral("uint32:%1").arg(l)});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
}

// Runs the named test again on a bus of its own; true when this is that run.
bool OnPrivateBus(const char* name) {
  if (std::getenv("VESTREL_PRIVATE_BUS") != nullptr) return true;
  if (std::system("command -v dbus-run-session > /dev/null 2>&1") != 0 ||
      std::system("command -v gdbus > /dev/null 2>&1") != 0) {
    ADD_FAILURE() << "dbus-run-session and gdbus are needed (scripts/packages-test.txt)";
    return false;
  }
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string cmd = "VESTREL_PRIVATE_BUS=1 timeout -k 5 300 dbus-run-session -- '" + self +
                          "' --gtest_filter=" + std::string(name);
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  return false;
}

// The window with the program's own logger link and automation server on the bus.
struct BusForm {
  BusForm() {
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    form = std::make_unique<Form>(parts, test::UniqueSemaphoreName("automation"), std::vector<std::string>{},
                                  nullptr, true, nullptr, [](TRxFormDeps& d) {
                                    d.logger = nullptr;
                                    d.automation = nullptr;
                                  });
  }
  TRxForm& w() { return *form->form; }
  TLoggerLink& link() { return dynamic_cast<TLoggerLink&>(w().loggerLink()); }
  TAutomationServer& server() { return dynamic_cast<TAutomationServer&>(w().automation()); }
  test::TempDir config;
  Parts parts;
  std::unique_ptr<Form> form;
};

// dbus-monitor on "Tandel_Message": the (wParam, lParam) pairs it has seen.
class Monitor {
 public:
  Monitor() {
    p_.start(QStringLiteral("dbus-monitor"),
             {QStringLiteral("--session"),
              QStringLiteral("type='signal',interface='vestrel.Messages',member='Tandel_Message'")});
    p_.waitForStarted();
  }
  ~Monitor() {
    p_.kill();
    p_.waitForFinished();
  }
  // Waits until the monitor hears a probe, then forgets what it heard.
  bool Listen(MessageBus& bus) {
    const bool ok = WaitFor([&] {
      bus.BroadcastTandelMessage(0x0F0000FF, 0xFFFF);
      Read();
      for (const auto& s : seen_) {
        if (s.first == 0x0F0000FF) return true;
      }
      return false;
    });
    QTest::qWait(200);
    Read();
    seen_.clear();
    return ok;
  }
  std::vector<std::pair<uint32_t, uint32_t>> Seen(size_t n) {
    WaitFor([&] {
      Read();
      return seen_.size() >= n;
    });
    return seen_;
  }

 private:
  void Read() {
    buffer_ += QString::fromUtf8(p_.readAllStandardOutput());
    static const QRegularExpression pair(QStringLiteral("uint32 (\\d+)\\s+uint32 (\\d+)"));
    qsizetype used = 0;
    for (auto m = pair.globalMatch(buffer_); m.hasNext();) {
      const auto match = m.next();
      seen_.emplace_back(match.captured(1).toUInt(), match.captured(2).toUInt());
      used = match.capturedEnd();
    }
    buffer_ = buffer_.mid(used);
  }
  QProcess p_;
  QString buffer_;
  std::vector<std::pair<uint32_t, uint32_t>> seen_;
};

TEST(LoggerBus, CommandsAndBroadcastsOnTheBus) {
  if (!OnPrivateBus("LoggerBus.CommandsAndBroadcastsOnTheBus")) return;
  BusForm b;
  TRxForm& w = b.w();
  b.form->Ticks(20);
  ASSERT_NE(w.messageBus(), nullptr);
  ASSERT_TRUE(w.messageBus()->registered());

  // Instance 6 acts on its own target and on "every instance", and not on instance 5's.
  w.settings().MessageChannel = 6;
  SendBrkCw(0x0400006E, 0);
  SendBrkCw(0x05000065, 0);  // pause on: after it, the ignored one has been handled
  ASSERT_TRUE(WaitFor([&] { return b.parts.Has("SetPause 1"); }));
  EXPECT_FALSE(b.parts.Has("SetTransmit 0"));
  SendBrkCw(0x0500006E, 0);
  ASSERT_TRUE(WaitFor([&] { return b.parts.Count("SetTransmit 0") == 1; }));
  SendBrkCw(0x0A00006E, 0);
  ASSERT_TRUE(WaitFor([&] { return b.parts.Count("SetTransmit 0") == 2; }));
  w.settings().MessageChannel = 1;
  SendBrkCw(0x0A00006E, 0);
  ASSERT_TRUE(WaitFor([&] { return b.parts.Count("SetTransmit 0") == 3; }));
  SendBrkCw(20, 0);
  EXPECT_TRUE(WaitFor([&] { return b.parts.Has("RunMacro 20"); }));
  SendBrkCw(125, 0);
  EXPECT_TRUE(WaitFor([&] { return w.BeaconOn; }));
  // 98: the call that the logger found, from its file.
  {
    IniFile ini;
    ini.WriteText("QSO", "FoundCall", "DL1ABC");
    ASSERT_EQ(ini.Save(LoggerIniPath("brusk.ini")), "");
  }
  SendBrkCw(98, 255);
  EXPECT_TRUE(WaitFor([&] { return b.parts.Has("Highlight DL1ABC 255"); }));

  Monitor monitor;
  ASSERT_TRUE(monitor.Listen(*w.messageBus()));
  TLoggerLink::broadcastSequence = 0;
  w.settings().WithCall = 0;
  w.CallEdit->setText("DL1ABC");
  b.link().CallEditExit();
  w.settings().MessageChannel = 3;
  w.CallEdit->setText("K1XYZ");
  b.link().CallEditExit();
  w.settings().MessageChannel = 1;
  w.settings().UseOther = 0;
  b.link().ClearQsoPanel();
  w.settings().UseOther = 256;
  b.link().ClearQsoPanel();
  auto seen = monitor.Seen(4);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], std::make_pair(131u | 0x000u, 4u));
  EXPECT_EQ(seen[1], std::make_pair(131u | 0x200u | 0x02000000u, 4u));
  EXPECT_EQ(seen[2], std::make_pair(131u | 0x400u, 164u));
  EXPECT_EQ(seen[3], std::make_pair(131u | 0x600u, 420u));
  IniFile ini;
  ini.Load(LoggerIniPath("loginput.ini"));
  EXPECT_EQ(ini.Value("QSO", "Call3"), "K1XYZ");

  // The sequence wraps after 0x7E00.
  Monitor wrap;
  ASSERT_TRUE(wrap.Listen(*w.messageBus()));
  TLoggerLink::broadcastSequence = 0;
  for (int i = 0; i < 66; ++i) b.link().BroadcastQsoChange(131, 1024);
  seen = wrap.Seen(66);
  ASSERT_EQ(seen.size(), 66u);
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i].first, 131u | ((i % 64) * 0x200u)) << i;
}

// A bus client of the test's own, with the events it has received.
class Client : public QObject {
  Q_OBJECT

 public:
  explicit Client(const QString& name)
      : name_(name), bus_(QDBusConnection::connectToBus(SessionBusAddress(), name)) {
    bus_.connect(QString(), QString::fromLatin1(TAutomationServer::kPath),
                 QString::fromLatin1(TAutomationServer::kInterface), QStringLiteral("OnCommandEx"), this,
                 SLOT(OnCommandEx(uint, uint, QString)));
    bus_.connect(QString(), QString::fromLatin1(TAutomationServer::kPath),
                 QString::fromLatin1(TAutomationServer::kInterface), QStringLiteral("OnCommand"), this,
                 SLOT(OnCommand(uint)));
    bus_.connect(QString(), QString::fromLatin1(TAutomationServer::kPath),
                 QString::fromLatin1(TAutomationServer::kInterface), QStringLiteral("OnCallsign"), this,
                 SLOT(OnCallsign(QString)));
  }
  ~Client() override { Leave(); }
  bool Call(const char* method) {
    QDBusMessage m = QDBusMessage::createMethodCall(
        QString::fromLatin1(TAutomationServer::kService), QString::fromLatin1(TAutomationServer::kPath),
        QString::fromLatin1(TAutomationServer::kInterface), QString::fromLatin1(method));
    QDBusPendingCall call = bus_.asyncCall(m);
    WaitFor([&] { return call.isFinished(); });
    return call.isFinished() && !call.isError();
  }
  void Leave() {
    if (left_) return;
    left_ = true;
    QDBusConnection::disconnectFromBus(name_);
  }
  std::vector<std::string> events;

 public slots:
  void OnCommandEx(uint w, uint l, const QString& text) {
    events.push_back("Ex " + std::to_string(w) + " " + std::to_string(l) + " " + text.toStdString());
  }
  void OnCommand(uint w) { events.push_back("Command " + std::to_string(w)); }
  void OnCallsign(const QString& call) { events.push_back("Callsign " + call.toStdString()); }

 private:
  QString name_;
  QDBusConnection bus_;
  bool left_ = false;
};

TEST(AutomationServer, MethodsAnswerRealClients) {
  if (!OnPrivateBus("AutomationServer.MethodsAnswerRealClients")) return;
  BusForm b;
  TRxForm& w = b.w();
  ASSERT_TRUE(b.server().registered());
  // Before the engine start: reads answer, what would write the settings is refused.
  ToolRun r = Gdbus("GetInterfaceOptions");
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("(-999,"))) << r.out.toStdString() << r.err.toStdString();
  r = Gdbus("SaveSetup");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(r.err.contains(QStringLiteral("vestrel.VestrelX.Error"))) << r.err.toStdString();
  r = Gdbus("SetInterfaceOptions", {QStringLiteral("17"), QStringLiteral("0"), QStringLiteral("-1")});
  EXPECT_NE(r.status, 0);
  b.form->Ticks(20);

  r = Tool(QStringLiteral("gdbus"), {QStringLiteral("introspect"), QStringLiteral("--session"),
                                     QStringLiteral("--dest"), QStringLiteral("vestrel.VestrelX"),
                                     QStringLiteral("--object-path"), QStringLiteral("/vestrel/VestrelX")});
  const qsizetype at = r.out.indexOf(QStringLiteral("interface vestrel.VestrelX"));
  ASSERT_GE(at, 0) << r.out.toStdString();
  const QString ours = r.out.mid(at);
  const qsizetype signalsAt = ours.indexOf(QStringLiteral("signals:"));
  static const QRegularExpression member(QStringLiteral("\\n\\s+[A-Z]\\w*\\("));
  EXPECT_EQ(ours.left(signalsAt).count(member), 27);
  EXPECT_EQ(ours.mid(signalsAt, ours.indexOf(QStringLiteral("properties:"), signalsAt) - signalsAt).count(member), 3);

  r = Gdbus("GetInterfaceOptions");
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("(1073808248, 1073872896, 0,"))) << r.out.toStdString();
  EXPECT_EQ(Gdbus("SetBeaconPeriod", {QStringLiteral("3")}).status, 0);
  EXPECT_EQ(Gdbus("GetBeaconPeriod").out.trimmed(), QStringLiteral("(5,)"));
  Gdbus("SetBeaconPeriod", {QStringLiteral("1000")});
  EXPECT_EQ(Gdbus("GetBeaconPeriod").out.trimmed(), QStringLiteral("(999,)"));
  EXPECT_EQ(w.BeaconUpDown->value(), 999);
  EXPECT_EQ(Gdbus("SendMacro", {QStringLiteral("37")}).status, 0);
  EXPECT_EQ(Gdbus("SetMacroButton", {QStringLiteral("0"), QStringLiteral("'x'")}).status, 0);
  EXPECT_EQ(Gdbus("SendMacro", {QStringLiteral("1")}).status, 0);
  EXPECT_EQ(b.parts.Count("RunMacro 37"), 0);
  EXPECT_EQ(b.parts.Count("RunMacro 1"), 1);

  w.settings().UseTxD = 1;
  EXPECT_EQ(Gdbus("SetInterfaceOptions", {QStringLiteral("17"), QStringLiteral("0"), QStringLiteral("-1")}).status,
            0);
  EXPECT_EQ(w.settings().PttPortType, 2);
  EXPECT_EQ(w.settings().PttPortNumber, 2);
  EXPECT_TRUE(b.parts.Has("SetPttPort 2 2 2 7 8"));
  EXPECT_EQ(w.settings().UseTxD, 1);

  w.PutRxString("CQ DE DL1ABC");
  const int n = static_cast<int>(test::RxText(w).size());
  EXPECT_EQ(Gdbus("GetRxLength").out.trimmed(), QStringLiteral("(%1,)").arg(n));
  EXPECT_EQ(Gdbus("GetRxText", {QStringLiteral("-5")}).out.trimmed(),
            QStringLiteral("('%1',)").arg(QString::fromLatin1(test::RxText(w))));
  EXPECT_EQ(Gdbus("GetRxText", {QString::number(n)}).out.trimmed(), QStringLiteral("('',)"));

  // 8-bit text crosses through the code page: Cyrillic comes back as it went.
  const QString cyrillic = QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442");
  EXPECT_EQ(Gdbus("SetMacro", {QStringLiteral("5"), QStringLiteral("'") + cyrillic + QStringLiteral("'")}).status, 0);
  EXPECT_EQ(w.macroTable().Macro[5], "\xCF\xF0\xE8\xE2\xE5\xF2");
  r = Tool(QStringLiteral("dbus-send"),
           {QStringLiteral("--session"), QStringLiteral("--print-reply"),
            QStringLiteral("--dest=vestrel.VestrelX"), QStringLiteral("/vestrel/VestrelX"),
            QStringLiteral("vestrel.VestrelX.AddString"), QStringLiteral("string:AB\u0416")});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(b.parts.Has("AddSymbol 65") && b.parts.Has("AddSymbol 66") && b.parts.Has("AddSymbol 198"));

  // Transmit tones count at the playback rate.
  w.settings().OutSamplingFreq = 48000.0;
  const TModemParams& p = w.engine().params;
  r = Gdbus("GetFreqs");
  const long tx0 = std::lround(p.TxTone[0] * 48000.0 / 32768.0), tx1 = std::lround(p.TxTone[1] * 48000.0 / 32768.0);
  EXPECT_TRUE(r.out.trimmed().endsWith(QStringLiteral(", %1, %2)").arg(tx0).arg(tx1))) << r.out.toStdString();
  EXPECT_EQ(Gdbus("CallColor", {QStringLiteral("'K1XYZ'"), QStringLiteral("255")}).status, 0);
  EXPECT_TRUE(b.parts.Has("Highlight K1XYZ 255"));
  EXPECT_EQ(Gdbus("SetVal", {QStringLiteral("'qth'"), QStringLiteral("'Berlin'")}).status, 0);
  EXPECT_TRUE(b.parts.Has("SetVal qth=Berlin"));

  // The rest of the methods, each once.
  w.Input->SetTextBuf(ToBytes(std::string("CQ CQ")));
  b.parts.sentCount = 3;
  w.Sent->setPlainText(QStringLiteral("TEST"));
  struct Case {
    const char* method;
    QStringList args;
    const char* reply;  // null: not checked
    const char* logged;  // null: nothing to look for
  };
  const Case cases[] = {
      {"GetInputLength", {}, "(2,)", nullptr},
      {"GetInputText", {}, "('CQ',)", nullptr},
      {"GetSentText", {}, "('TEST',)", nullptr},
      {"PauseOnOff", {QStringLiteral("1")}, "()", "SetPause 1"},
      {"TxOnOff", {QStringLiteral("1")}, "()", "SetTransmit 1"},
      {"TxOnOff", {QStringLiteral("0")}, "()", "SetTransmit 0"},
      {"BeaconOnOff", {QStringLiteral("1")}, "()", nullptr},
      {"GetButtons", {}, "(1, 0, 1, 0)", nullptr},
      {"BeaconOnOff", {QStringLiteral("0")}, "()", nullptr},
      {"AddSymbol", {QStringLiteral("0x141")}, "()", "AddSymbol 65"},
      {"SetMacroButton", {QStringLiteral("3"), QStringLiteral("'QRZ?'")}, "()", nullptr},
      {"GetLastCallsign", {}, "('', -1)", nullptr},
      {"PollCallsign", {}, "()", nullptr},
      {"ShowSetup", {QStringLiteral("2")}, "()", nullptr},
      {"SaveSetup", {}, "()", nullptr},
      {"HideShow", {QStringLiteral("1")}, "()", nullptr},
      {"BeforeDisconnect", {}, "()", nullptr},
  };
  for (const Case& c : cases) {
    const ToolRun run = Gdbus(c.method, c.args);
    EXPECT_EQ(run.status, 0) << c.method << run.err.toStdString();
    if (c.reply != nullptr) {
      EXPECT_EQ(run.out.trimmed().toStdString(), c.reply) << c.method;
    }
    if (c.logged != nullptr) {
      EXPECT_TRUE(b.parts.Has(c.logged)) << c.method;
    }
  }
  EXPECT_EQ(w.ButMacro[3]->text(), QStringLiteral("QRZ?"));
  EXPECT_FALSE(w.BeaconOn);

  // Each gdbus call was a client that has left again: the window can be closed.
  EXPECT_TRUE(WaitFor([&] { return b.server().ObjectCount() == 0; }));
  EXPECT_TRUE(w.MenuItem("Exit")->isEnabled());

  // Once the shutdown runs nothing starts.
  w.ShutdownEngine();
  const int transmitsBefore = b.parts.Count("SetTransmit 1");
  Gdbus("SendMacro", {QStringLiteral("2")});
  Gdbus("TxOnOff", {QStringLiteral("1")});
  Gdbus("BeaconOnOff", {QStringLiteral("1")});
  EXPECT_FALSE(b.parts.Has("RunMacro 2"));
  EXPECT_EQ(b.parts.Count("SetTransmit 1"), transmitsBefore);
  EXPECT_FALSE(w.BeaconOn);
}

TEST(AutomationServer, EventsGoToEachClientWithItsSequence) {
  if (!OnPrivateBus("AutomationServer.EventsGoToEachClientWithItsSequence")) return;
  BusForm b;
  TRxForm& w = b.w();
  b.form->Ticks(20);
  w.settings().MessageChannel = 0;
  auto first = std::make_unique<Client>(QStringLiteral("client-1"));
  auto second = std::make_unique<Client>(QStringLiteral("client-2"));
  ASSERT_TRUE(first->Call("PollCallsign"));
  ASSERT_TRUE(second->Call("PollCallsign"));
  EXPECT_EQ(w.automation().ClientCount(), 2);
  EXPECT_FALSE(w.MenuItem("Exit")->isEnabled());
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));

  TAutomationServer::automationSequence = 0x100;
  w.RSTEdit->setText("579");
  b.link().RSTEditExit();
  ASSERT_TRUE(WaitFor([&] { return !first->events.empty() && !second->events.empty(); }));
  EXPECT_EQ(first->events, std::vector<std::string>{"Ex " + std::to_string(131 | 0x100) + " 32 579"});
  EXPECT_EQ(second->events, std::vector<std::string>{"Ex " + std::to_string(131 | 0x300) + " 32 579"});
  // OnCommand fires whatever MessageChannel is; OnCallsign from the receive path.
  w.NotifyCommand(110);
  w.automation().FireOnCallsign("DL1ABC");
  EXPECT_TRUE(WaitFor([&] { return second->events.size() == 3; }));
  EXPECT_EQ(second->events[1], "Command 110");
  EXPECT_EQ(second->events[2], "Callsign DL1ABC");

  // BeforeDisconnect: no more events to that client.
  ASSERT_TRUE(first->Call("BeforeDisconnect"));
  first->events.clear();
  second->events.clear();
  w.NotifyCommand(111);
  EXPECT_TRUE(WaitFor([&] { return second->events.size() == 1; }));
  QTest::qWait(200);
  EXPECT_TRUE(first->events.empty());

  // Eight slots: with first's slot given back, eight more clients fill them but the last.
  std::vector<std::unique_ptr<Client>> more;
  for (int i = 0; i < 8; ++i) {
    more.push_back(std::make_unique<Client>(QStringLiteral("client-more-%1").arg(i)));
    ASSERT_TRUE(more.back()->Call("PollCallsign"));
  }
  EXPECT_EQ(w.automation().ClientCount(), 10);
  w.NotifyCommand(100);
  EXPECT_TRUE(WaitFor([&] { return more[6]->events.size() == 1 && second->events.size() == 2; }));
  QTest::qWait(200);
  EXPECT_TRUE(more[7]->events.empty());
  EXPECT_TRUE(more[7]->Call("PollCallsign"));

  // All gone: Exit and the close button come back.
  first.reset();
  second.reset();
  more.clear();
  EXPECT_TRUE(WaitFor([&] { return w.automation().ClientCount() == 0; }));
  EXPECT_TRUE(w.MenuItem("Exit")->isEnabled());
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST(AutomationServer, ACaughtCallReachesTheLoggerFileAndTheClients) {
  if (!OnPrivateBus("AutomationServer.ACaughtCallReachesTheLoggerFileAndTheClients")) return;
  test::TempDir config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  Parts parts;
  // The program's own callsign catcher, logger link and automation server.
  Form f(parts, test::UniqueSemaphoreName("caught"), {}, nullptr, true, nullptr, [](TRxFormDeps& d) {
    d.logger = nullptr;
    d.automation = nullptr;
    d.callsigns = nullptr;
  });
  TRxForm& w = *f.form;
  f.Ticks(20);
  w.settings().MyCall = "XX0XXX";
  Client client(QStringLiteral("client-caught"));
  ASSERT_TRUE(client.Call("PollCallsign"));
  w.PutRxString("XX0XXX DE YY1YYY YY1YYY K ");
  EXPECT_TRUE(WaitFor([&] {
    for (const std::string& e : client.events) {
      if (e == "Callsign YY1YYY") return true;
    }
    return false;
  }));
  IniFile ini;
  ini.Load(LoggerIniPath("loginput.ini"));
  EXPECT_EQ(ini.Value("QSO", "FoundCall"), "YY1YYY");
  for (const std::string& e : client.events) EXPECT_NE(e, "Callsign XX0XXX");
}

std::string Sh(const std::string& cmd, int* status) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  *status = pclose(p);
  return out;
}

TEST(AutomationServer, RegistrationAndActivatedStart) {
  if (std::system("command -v dbus-run-session > /dev/null 2>&1") != 0) GTEST_SKIP() << "no dbus-run-session";
  test::TempDir data;
  const std::string program = VESTREL_BINARY_DIR "/app/vestrel";
  const fs::path file = data.path() / "dbus-1/services/vestrel.VestrelX.service";
  const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_DATA_HOME='" +
                          data.path().string() + "' ";
  int status = 0;
  Sh(env + "'" + program + "' /RegServer", &status);
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(fs::exists(file));
  std::ifstream in(file);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Name=vestrel.VestrelX\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Exec=" + fs::canonical(program).string() + " /Automation\n"), std::string::npos) << text;
  Sh(env + "'" + program + "' -unregserver", &status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(fs::exists(file));
  // A folder that cannot be made: it says why and fails.
  std::ofstream(data.path() / "blocker") << "x";
  const std::string err = Sh("env -u DISPLAY XDG_DATA_HOME='" + (data.path() / "blocker").string() + "' '" + program +
                                 "' /REGSERVER 2>&1",
                             &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(err.find("Vestrel: "), std::string::npos) << err;

  // A client's call starts the program through the bus; it ends when the client has gone.
  Sh(env + "'" + program + "' /RegServer", &status);
  ASSERT_EQ(status, 0);
  test::TempDir work;
  std::ofstream(work.path() / "client.sh")
      << "r=$(gdbus call --session --dest vestrel.VestrelX --object-path /vestrel/VestrelX "
         "--method vestrel.VestrelX.GetBeaconPeriod) || exit 2\n"
         "echo \"$r\"\n"
         "for i in $(seq 150); do\n"
         "  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
         "org.freedesktop.DBus.NameHasOwner string:vestrel.VestrelX | grep -q false && echo ended && exit 0\n"
         "  sleep 0.2\n"
         "done\n"
         "exit 3\n";
  const std::string prefix = "vx-" + std::to_string(getpid());
  const std::string out = Sh("cd '" + work.path().string() + "' && XDG_DATA_HOME='" + data.path().string() +
                                 "' XDG_CONFIG_HOME='" + data.path().string() + "' QT_QPA_PLATFORM=offscreen ALSA_CONFIG_PATH=/dev/null VESTREL_ZOZARIRI_PREFIX=" +
                                 prefix + " timeout -k 5 120 dbus-run-session -- sh client.sh 2>&1",
                             &status);
  shm_unlink(("/" + prefix + "-1").c_str());
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("(30,)"), std::string::npos) << out;
  EXPECT_NE(out.find("ended"), std::string::npos) << out;
}

}  // namespace
}  // namespace vestrel

#include "automation_server_test.moc"
