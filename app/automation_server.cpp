#include "app/automation_server.h"

#include <QAction>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>
#include <cstdio>
#include <exception>

#include "app/logger_link.h"
#include "app/rx_form.h"
#include "app/session_bus.h"
#include "memo/code_pages.h"
#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

uint32_t TAutomationServer::automationSequence = 0x100;

namespace {
constexpr uint32_t kSequenceStep = 0x200;
constexpr uint32_t kSequenceMask = 0x7F00;

}  // namespace

TAutomationServer::TAutomationServer(TRxForm& form) : form_(form) {
  watcher_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &TAutomationServer::ClientLeft);
}

TAutomationServer::~TAutomationServer() {
  if (registered_) {
    bus_.unregisterObject(QString::fromLatin1(kPath));
    bus_.unregisterService(QString::fromLatin1(kService));
  }
}

void TAutomationServer::Register(bool activated) {
  activated_ = activated;
  if (registered_) return;
  bus_ = SessionBus();
  if (!bus_.isConnected()) {
    std::fprintf(stderr, "Vestrel: no D-Bus session bus; the automation server is off.\n");
    return;
  }
  if (!bus_.registerService(QString::fromLatin1(kService))) {
    std::fprintf(stderr, "Vestrel: the bus name %s is taken by another instance; the automation server is off.\n",
                 kService);
    return;
  }
  bus_.registerObject(QString::fromLatin1(kPath), this,
                      QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals);
  watcher_.setConnection(bus_);
  registered_ = true;
}

// Clients ---------------------------------------------------------------------------------------

void TAutomationServer::LockWindow(bool locked) {
  const bool visible = form_.isVisible();
  if (form_.windowFlags().testFlag(Qt::WindowCloseButtonHint) == locked) {
    form_.setWindowFlag(Qt::WindowCloseButtonHint, !locked);
    // Changing a window flag rebuilds the window, which hides it.
    if (visible) form_.show();
  }
  form_.SetMenuEnabled("Exit", !locked);
}

void TAutomationServer::Enter() {
  if (!calledFromDBus()) return;
  const QString client = message().service();
  if (client.isEmpty() || objects_.count(client) != 0) return;
  int slot = -1;
  for (int i = 0; i < kSlots; ++i) {
    if (slots_[i].isEmpty()) {
      slot = i;
      slots_[i] = client;
      break;
    }
  }
  objects_.emplace(client, slot);
  watcher_.addWatchedService(client);
  count_.fetch_add(1);
  LockWindow(true);
}

void TAutomationServer::ClientLeft(const QString& client) {
  const auto it = objects_.find(client);
  if (it == objects_.end()) return;
  if (it->second >= 0 && slots_[it->second] == client) slots_[it->second].clear();
  objects_.erase(it);
  watcher_.removeWatchedService(client);
  if (count_.fetch_sub(1) - 1 <= 0) {
    LockWindow(false);
    // Started by the bus for a client: ends with its last client.
    if (activated_ && objects_.empty()) form_.RequestTermination();
  }
}

// Events ----------------------------------------------------------------------------------------

QDBusMessage TAutomationServer::Signal(int slot, const char* name) const {
  return QDBusMessage::createTargetedSignal(slots_[slot], QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                                            QString::fromLatin1(name));
}

template <typename Fill>
void TAutomationServer::ToEachClient(const char* name, Fill&& fill) {
  if (count_.load() <= 0 || !registered_) return;
  for (int i = 0; i < kSlots; ++i) {
    if (slots_[i].isEmpty()) continue;
    QDBusMessage m = Signal(i, name);
    fill(m);
    bus_.send(m);
  }
}

void TAutomationServer::FireOnCallsign(const std::string& call) {
  ToEachClient("OnCallsign", [&](QDBusMessage& m) { m << Text(call); });
}

void TAutomationServer::FireOnCommand(uint32_t code) {
  ToEachClient("OnCommand", [&](QDBusMessage& m) { m << uint(code); });
}

void TAutomationServer::FireOnCommandEx(uint32_t code, uint32_t fields, const std::string& text) {
  // Each object's event carries a sequence number of its own.
  ToEachClient("OnCommandEx", [&](QDBusMessage& m) {
    m << uint(code | automationSequence) << uint(fields) << Text(text);
    automationSequence = (automationSequence + kSequenceStep) & kSequenceMask;
  });
}

// Helpers ---------------------------------------------------------------------------------------

template <typename F>
void TAutomationServer::Guard(F&& body) {
  Enter();
  try {
    body();
  } catch (const std::exception& e) {
    if (calledFromDBus()) sendErrorReply(QString::fromLatin1(kError), QString::fromLocal8Bit(e.what()));
  }
}

bool TAutomationServer::RefuseBeforeStart() {
  if (form_.EngineStarted) return false;
  if (calledFromDBus()) {
    sendErrorReply(QString::fromLatin1(kError), QStringLiteral("Vestrel is starting: the settings are not loaded yet"));
  }
  return true;
}

bool TAutomationServer::ShuttingDown() const { return form_.ShutdownDone != 0; }

QString TAutomationServer::Text(const std::string& bytes) const {
  return QString::fromStdU16String(ToUtf16(ToBytes(bytes), CodePageOfCharset(form_.settings().RxFont.FontCharset)));
}

std::string TAutomationServer::Bytes(const QString& text) const {
  return ToChars(FromUtf16(text.toStdU16String(), CodePageOfCharset(form_.settings().RxFont.FontCharset)));
}

std::string TAutomationServer::InputBytes() const {
  return ToChars(form_.Input->GetTextContent());
}

// Methods ---------------------------------------------------------------------------------------

void TAutomationServer::SendMacro(int MacNum) {
  Guard([&] {
    if (ShuttingDown() || MacNum < 0 || MacNum > 36) return;
    form_.RunMacro(MacNum);
  });
}

void TAutomationServer::SetMacro(int MacNum, const QString& MacText) {
  Guard([&] {
    if (MacNum < 0 || MacNum > 36) return;
    form_.macroTable().Macro[static_cast<size_t>(MacNum)] = Bytes(MacText);
    form_.UpdateMacroButtonHints();
  });
}

void TAutomationServer::BeaconOnOff(int cmd) {
  Guard([&] {
    if (cmd != 0 && ShuttingDown()) return;
    SwitchBeacon(form_, cmd != 0);
  });
}

void TAutomationServer::SetBeaconPeriod(int period) {
  Guard([&] {
    const int p = period < 5 ? 5 : period >= 1000 ? 999 : period;
    form_.settings().BeaconPeriod = p;
    form_.BeaconUpDown->setValue(p);
    form_.settings().BeaconPeriod = p;
  });
}

void TAutomationServer::GetBeaconPeriod(int& period) {
  Guard([&] { period = form_.settings().BeaconPeriod; });
}

void TAutomationServer::TxOnOff(int cmd) {
  Guard([&] {
    if (cmd == 0) {
      form_.SetTransmit(false);
    } else if (!ShuttingDown() && !form_.Transmitting()) {
      form_.SetTransmit(true);
    }
  });
}

void TAutomationServer::PauseOnOff(int cmd) {
  Guard([&] { form_.SetPause(cmd != 0); });
}

void TAutomationServer::GetButtons(int& isbeacon, int& istx, int& ispause, int& issound) {
  Guard([&] {
    isbeacon = form_.BeaconOn ? 1 : 0;
    istx = form_.Transmitting() ? 1 : 0;
    ispause = form_.transmit().Paused() ? 1 : 0;
    issound = 0;  // not reported
  });
}

void TAutomationServer::AddSymbol(int symbol) {
  Guard([&] { form_.macros().AddSymbol(symbol & 0xFF); });
}

void TAutomationServer::AddString(const QString& str) {
  Guard([&] {
    for (const char c : Bytes(str)) {
      if (c == '\0') break;
      form_.macros().AddSymbol(static_cast<unsigned char>(c));
    }
  });
}

void TAutomationServer::GetInputLength(int& len) {
  Guard([&] {
    const auto n = static_cast<int32_t>(InputBytes().size()) - form_.transmit().SentChars();
    len = n < 0 ? 0 : n;
  });
}

void TAutomationServer::GetInputText(QString& text) {
  Guard([&] {
    const std::string all = InputBytes();
    const int32_t sent = form_.transmit().SentChars();
    text = sent >= 0 && static_cast<size_t>(sent) < all.size() ? Text(all.substr(static_cast<size_t>(sent)))
                                                                : QString();
  });
}

void TAutomationServer::GetSentText(QString& text) {
  Guard([&] {
    QString t = form_.Sent->toPlainText();
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text = t;
  });
}

void TAutomationServer::SetMacroButton(int MacNum, const QString& ButtText) {
  Guard([&] {
    if (MacNum < 1 || MacNum > 36) return;
    const auto n = static_cast<size_t>(MacNum);
    form_.macroTable().ButtonName[n] = Bytes(ButtText);
    QPushButton* b = form_.MacroButtons[n] != nullptr ? form_.MacroButtons[n] : form_.ButMacro[n];
    if (b != nullptr) b->setText(ButtText);
  });
}

void TAutomationServer::ShowSetup(int PageNum) {
  Guard([&] {
    if (RefuseBeforeStart() || ShuttingDown()) return;
    form_.ShowSetup(PageNum);
  });
}

void TAutomationServer::SetVal(const QString& Name, const QString& Val) {
  Guard([&] { form_.macros().SetVal(Bytes(Name), Bytes(Val)); });
}

void TAutomationServer::CallColor(const QString& Callsign, int Color) {
  Guard([&] { form_.callsigns().Highlight(Bytes(Callsign), Color); });
}

void TAutomationServer::GetInterfaceOptions(int& PttPort, int& PttPins, int& DoFsk, int& ExPort, int& ExSpeed,
                                            int& ExDllChannel, int& InputSoundCard, int& OutputSoundCard,
                                            int& InputSamplingRate, int& OutputSamplingRate,
                                            int& DuplexSoundCard) {
  Guard([&] {
    if (form_.StartupCountdown != 0) {
      PttPort = -999;
      return;
    }
    const TAppSettings& s = form_.settings();
    PttPort = static_cast<int>(0x40000000u | ((static_cast<uint32_t>(s.PttPortType) << 24) & 0x0F000000u) |
                               ((static_cast<uint32_t>(s.PttPortNumber) << 16) & 0x00FF0000u) |
                               (static_cast<uint32_t>(s.XPortAddress) & 0xFFFFu));
    PttPins = static_cast<int>(0x40000000u | ((static_cast<uint32_t>(s.PttPin) << 16) & 0x00FF0000u) |
                               ((static_cast<uint32_t>(s.PowerPin1) & 0xFFu) << 8) |
                               (static_cast<uint32_t>(s.PowerPin2) & 0xFFu));
    DoFsk = s.UseTxD;
    ExPort = s.ExchangePortNumber;
    ExSpeed = s.ExchangeSpeed;
    ExDllChannel = s.ExCanal;
    InputSoundCard = s.SoundCardNumber + 1;
    OutputSoundCard = s.OutSoundCardNumber + 2;
    InputSamplingRate = static_cast<int>(std::lround(s.SamplingFreq * 1000.0));
    OutputSamplingRate = static_cast<int>(std::lround(s.OutSamplingFreq * 1000.0));
    DuplexSoundCard = s.UseDuplex;
  });
}

void TAutomationServer::SetInterfaceOptions(int PttPort, int PttPins, int DoFsk) {
  Guard([&] {
    if (RefuseBeforeStart() || ShuttingDown()) return;
    TAppSettings& s = form_.settings();
    const auto port = static_cast<uint32_t>(PttPort);
    if (PttPort >= 0 && PttPort <= 21) {
      s.PttPortType = 0;
      if (PttPort >= 1 && PttPort <= 15) {
        s.PttPortType = 1;
        s.PttPortNumber = PttPort;
      } else if (PttPort >= 16 && PttPort <= 18) {
        s.PttPortType = 2;
        s.PttPortNumber = PttPort - 15;
        s.PttPin = 2;
        s.PowerPin1 = 7;
        s.PowerPin2 = 8;
      } else if (PttPort >= 19) {
        s.PttPortType = 3;
        s.PttPortNumber = PttPort - 18;
        s.PttPin = 6;
        s.PowerPin1 = 7;
        s.PowerPin2 = 8;
      }
    } else if (PttPort >= 0x40000000) {
      s.PttPortType = static_cast<int32_t>((port >> 24) & 0x0F);
      s.PttPortNumber = static_cast<int32_t>((port >> 16) & 0xFF);
      s.XPortAddress = static_cast<int32_t>((static_cast<uint32_t>(s.XPortAddress) & 0xFFFF0000u) | (port & 0xFFFF));
    }
    const auto pins = static_cast<uint32_t>(PttPins);
    if (PttPins >= 0 && PttPins <= 2) {
      if (s.PttPortType == 1) s.PttPin = PttPins == 1 ? 1 : 2;
    } else if (PttPins >= 0x40000000) {
      s.PttPin = static_cast<int32_t>((pins >> 16) & 0xFF);
      s.PowerPin1 = static_cast<int32_t>((pins >> 8) & 0xFF);
      s.PowerPin2 = static_cast<int32_t>(pins & 0xFF);
    }
    if (DoFsk >= 0) s.UseTxD = DoFsk;
    form_.ports().SetPttPort(s.PttPortType, s.PttPortNumber, s.PttPin, s.PowerPin1, s.PowerPin2);
    form_.SetDataExchangePort(s.ExchangePortNumber);
  });
}

void TAutomationServer::SaveSetup() {
  Guard([&] {
    if (RefuseBeforeStart()) return;
    form_.SaveSettings();
  });
}

void TAutomationServer::GetLastCallsign(QString& Call, int& Position) {
  Guard([&] {
    const std::string call = form_.callsigns().CurrentCall();
    const int32_t pos = form_.callsigns().CallPosition();
    if (call.empty() || pos < 0) {
      Call = QString();
      Position = -1;
    } else {
      Call = Text(call);
      Position = pos;
    }
  });
}

void TAutomationServer::PollCallsign() {
  Guard([] {});
}

void TAutomationServer::GetFreqs(int& Mode, int& Reverse, int& istx, int& RxFreqL, int& RxFreqH, int& TxFreqL,
                                 int& TxFreqH) {
  Guard([&] {
    const TModemParams& p = form_.engine().params;
    Mode = p.Mode;
    Reverse = p.Reverse;
    istx = form_.Transmitting() ? 1 : 0;
    // Receive tones count at the input converter's 11025 samples per second, transmit tones at
    // the playback rate.
    const double rx = 11025.0 / 32768.0;
    const double tx = form_.settings().OutSamplingFreq / 32768.0;
    RxFreqL = static_cast<int>(std::lround(p.RxTone[0] * rx));
    RxFreqH = static_cast<int>(std::lround(p.RxTone[1] * rx));
    TxFreqL = static_cast<int>(std::lround(p.TxTone[0] * tx));
    TxFreqH = static_cast<int>(std::lround(p.TxTone[1] * tx));
  });
}

void TAutomationServer::BeforeDisconnect() {
  Guard([&] {
    if (!calledFromDBus()) return;
    const auto it = objects_.find(message().service());
    if (it == objects_.end() || it->second < 0) return;
    slots_[it->second].clear();
    it->second = -1;
  });
}

void TAutomationServer::HideShow(int Show) {
  Guard([&] {
    if (Show != 0) {
      form_.showNormal();
      form_.raise();
    } else {
      form_.showMinimized();
    }
  });
}

void TAutomationServer::GetRxLength(int& Length) {
  Guard([&] { Length = static_cast<int>(form_.RxMemo->GetTextContent().size()); });
}

void TAutomationServer::GetRxText(int StartPosition, QString& RxText) {
  Guard([&] {
    const std::string all = ToChars(form_.RxMemo->GetTextContent());
    const size_t start = StartPosition < 0 ? 0 : static_cast<size_t>(StartPosition);
    RxText = start < all.size() ? Text(all.substr(start)) : QString();
  });
}

}  // namespace vestrel
