#pragma once
#include <QObject>
#include <QPoint>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/form_parts.h"

class QLineEdit;
class QMenu;

namespace vestrel {

class TRxForm;

// Command codes of the logger link (the low byte of wParam, and the automation events).
enum LinkCommandCode : uint32_t {
  kLinkMacroLast = 36,
  kLinkColourCall = 98,
  kLinkClosing = 99,
  kLinkPauseOff = 100,
  kLinkPauseOn = 101,
  kLinkPauseToggle = 102,
  kLinkReceive = 110,
  kLinkTransmit = 111,
  kLinkTransmitToggle = 112,
  kLinkBeaconOff = 124,
  kLinkBeaconOn = 125,
  kLinkNotSaved1 = 128,
  kLinkNotSaved2 = 130,
  kLinkFieldsChanged = 131,
};

// The QSO fields and their export keys (QsoFieldCode).
enum QsoFieldCode : uint32_t {
  kQsoCall = 4,
  kQsoMode = 8,
  kQsoRstSent = 32,
  kQsoRstRcvd = 64,
  kQsoName = 128,
  kQsoQth = 256,
  kQsoQslVia = 512,
  kQsoNote = 1024,
  kQsoGrid = 2048,
  kQsoState = 4096,
  kQsoIota = 8192,
  kQsoNumberSent = 0x80000,
  kQsoNumberRcvd = 0x100000,
  kQsoSubdiv = 0x200000,
  kQsoFoundCall = 0x400000,
};

// The export key of a field code that the fourth QSO field can stand for; null for any other.
const char* OtherFieldKey(uint32_t code);

// Where a logger ini file lies: a name with a directory stays where it points ("\" read as "/");
// a bare name lies in the per-user folder that stands for the Windows directory,
// $XDG_CONFIG_HOME/qentor/vestrel/ini (~/.config when unset), created when missing.
std::string LoggerIniPath(const std::string& name);
std::string LoggerIniFolder();

// A word picked from the receive window: line breaks and other control characters become blanks,
// then blanks at the ends go.
std::string CleanPickedWord(std::string_view text);
// The call-or-number rule for a picked word (in upper case): true for a call sign.
bool LooksLikeCall(std::string_view upper);
// The beacon switched on (its first call on the next second) or off, with the logger told.
void SwitchBeacon(TRxForm& form, bool on);
// Whether an inbound command (wParam) addresses the instance `channel` (1..9).
bool CommandAddresses(uint32_t wParam, int channel);

// The logger link and the QSO panel of the main window: the four fields, their exports to the
// logger's ini file and broadcasts, the commands the logger sends back, and the word picking.
class TLoggerLink : public QObject, public LoggerLinkPart {
  Q_OBJECT

 public:
  explicit TLoggerLink(TRxForm& form);
  ~TLoggerLink() override;

  // LoggerLinkPart
  void SetDefaults() override;
  void NotifyCommand(int code) override;
  void HandleCommand(uint32_t wParam, uint32_t lParam) override;
  void ClearQsoPanel() override;
  void WriteExportKey(const std::string& key, const std::string& value) override;
  void BroadcastQsoChange(int code, uint32_t fields) override;
  void ExportQsoField(const std::string& key, const std::string& value, uint32_t code) override;

  void FireCommandExEvent(uint32_t code, uint32_t fields, const std::string& text);
  // Field exits (focus leaves the field).
  void CallEditExit();
  void RSTEditExit();
  void NameEditExit();
  void OtherEditExit();
  // A word picked in the receive window (a selection, or the word under the caret): with
  // ContestMode straight into the fields, else the popup at `globalPos`.
  void PickWord(std::string_view text, QPoint globalPos);
  // An item of the popup ("Call", "Number", "RST", "Name", "QTH", "State", "Subdiv", "Grid",
  // "IOTA", "QSL via", "Remarks", "Copy") for the word.
  void ChoosePopupItem(std::string_view item, const std::string& word);
  void CaptureCallOrNumber(const std::string& word);
  QMenu* popup() const { return popup_; }
  // A logger's "not saved" box is open (repeats meanwhile are dropped).
  bool NotSavedBoxOpen() const { return notSavedOpen_; }

  // The process-wide sequence counters.
  static uint32_t broadcastSequence;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  std::string KeyFor(const std::string& key) const;
  std::string FieldText(const QLineEdit* edit) const;
  void SetFieldText(QLineEdit* edit, const std::string& text);
  void ToClipboard(const std::string& text);
  void ExportCall(const std::string& call);
  std::string ModeName();
  // The export ini file, loaded, changed by `change` and saved; a failure reported once a run.
  template <typename F>
  void UpdateExportIni(F&& change);
  void ReportExportFailure(const std::string& why);

  TRxForm& form_;
  QMenu* popup_ = nullptr;
  std::string popupWord_;
  bool wired_ = false;
  bool notSavedOpen_ = false;
  bool exportFailureShown_ = false;
};

}  // namespace vestrel
