#pragma once
#include <QObject>
#include <QPoint>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/form_parts.h"
#include "app/logger_words.h"

class QLineEdit;
class QMenu;

namespace vestrel {

class TRxForm;

// The beacon switched on (its first call on the next second) or off, with the logger told.
void SwitchBeacon(TRxForm& form, bool on);

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
  void PickWord(const std::string& text, int globalX, int globalY) override {
    PickWord(std::string_view(text), QPoint(globalX, globalY));
  }
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
