#pragma once
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "app/form_parts.h"

namespace vestrel {

class TRxForm;

// The automation server: D-Bus service vestrel.VestrelX, object /vestrel/VestrelX, interface
// vestrel.VestrelX, failures as error replies named vestrel.VestrelX.Error. Each bus client
// that calls a method is one automation object (TVestrelXImpl): it takes one of 8 event slots,
// and while any object lives the window cannot be closed by the user. Events go to each object's
// client alone (targeted signals), in slot order.
class TAutomationServer : public QObject, protected QDBusContext, public AutomationPart {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "vestrel.VestrelX")

 public:
  static constexpr const char* kService = "vestrel.VestrelX";
  static constexpr const char* kPath = "/vestrel/VestrelX";
  static constexpr const char* kInterface = "vestrel.VestrelX";
  static constexpr const char* kError = "vestrel.VestrelX.Error";
  static constexpr int kSlots = 8;

  explicit TAutomationServer(TRxForm& form);
  ~TAutomationServer() override;

  // AutomationPart
  void SetClientCount(int n) override { count_.store(n); }
  int ClientCount() const override { return count_.load(); }
  void FireOnCallsign(const std::string& call) override;
  void FireOnCommand(uint32_t code) override;
  void FireOnCommandEx(uint32_t code, uint32_t fields, const std::string& text) override;
  void Register(bool activated) override;
  bool registered() const { return registered_; }
  // Live automation objects (one per client that has called).
  int ObjectCount() const { return static_cast<int>(objects_.size()); }

  // The automation sequence (odd multiples of 0x100), process-wide.
  static uint32_t automationSequence;

 public slots:
  Q_SCRIPTABLE void SendMacro(int MacNum);
  Q_SCRIPTABLE void SetMacro(int MacNum, const QString& MacText);
  Q_SCRIPTABLE void BeaconOnOff(int cmd);
  Q_SCRIPTABLE void SetBeaconPeriod(int period);
  Q_SCRIPTABLE void GetBeaconPeriod(int& period);
  Q_SCRIPTABLE void TxOnOff(int cmd);
  Q_SCRIPTABLE void PauseOnOff(int cmd);
  Q_SCRIPTABLE void GetButtons(int& isbeacon, int& istx, int& ispause, int& issound);
  Q_SCRIPTABLE void AddSymbol(int symbol);
  Q_SCRIPTABLE void AddString(const QString& str);
  Q_SCRIPTABLE void GetInputLength(int& len);
  Q_SCRIPTABLE void GetInputText(QString& text);
  Q_SCRIPTABLE void GetSentText(QString& text);
  Q_SCRIPTABLE void SetMacroButton(int MacNum, const QString& ButtText);
  Q_SCRIPTABLE void ShowSetup(int PageNum);
  Q_SCRIPTABLE void SetVal(const QString& Name, const QString& Val);
  Q_SCRIPTABLE void CallColor(const QString& Callsign, int Color);
  Q_SCRIPTABLE void GetInterfaceOptions(int& PttPort, int& PttPins, int& DoFsk, int& ExPort, int& ExSpeed,
                                        int& ExDllChannel, int& InputSoundCard, int& OutputSoundCard,
                                        int& InputSamplingRate, int& OutputSamplingRate, int& DuplexSoundCard);
  Q_SCRIPTABLE void SetInterfaceOptions(int PttPort, int PttPins, int DoFsk);
  Q_SCRIPTABLE void SaveSetup();
  Q_SCRIPTABLE void GetLastCallsign(QString& Call, int& Position);
  Q_SCRIPTABLE void PollCallsign();
  Q_SCRIPTABLE void GetFreqs(int& Mode, int& Reverse, int& istx, int& RxFreqL, int& RxFreqH, int& TxFreqL,
                             int& TxFreqH);
  Q_SCRIPTABLE void BeforeDisconnect();
  Q_SCRIPTABLE void HideShow(int Show);
  Q_SCRIPTABLE void GetRxLength(int& Length);
  Q_SCRIPTABLE void GetRxText(int StartPosition, QString& RxText);

 signals:
  // Declared for the interface's description; sent to each client alone, never emitted.
  Q_SCRIPTABLE void OnCallsign(const QString& Call);
  Q_SCRIPTABLE void OnCommand(uint CommandW);
  Q_SCRIPTABLE void OnCommandEx(uint CommandW, uint CommandL, const QString& text);

 private slots:
  void ClientLeft(const QString& service);

 private:
  // The calling client's object, made on its first call.
  void Enter();
  // Runs a method's body; an exception becomes an error reply with its message.
  template <typename F>
  void Guard(F&& body);
  // The three that change the setup refuse until the engine has started (it loads the settings).
  bool RefuseBeforeStart();
  bool ShuttingDown() const;
  void LockWindow(bool locked);
  QString Text(const std::string& bytes) const;
  std::string Bytes(const QString& text) const;
  std::string InputBytes() const;
  QDBusMessage Signal(int slot, const char* name) const;
  // The signal `name`, its arguments put in by `fill`, to each client that holds a slot.
  template <typename Fill>
  void ToEachClient(const char* name, Fill&& fill);

  TRxForm& form_;
  QDBusConnection bus_{QString()};
  QDBusServiceWatcher watcher_;
  std::map<QString, int> objects_;  // client's unique name -> its slot (-1: none)
  std::array<QString, kSlots> slots_;
  std::atomic<int> count_{0};
  bool activated_ = false;
  bool registered_ = false;
};

}  // namespace vestrel
