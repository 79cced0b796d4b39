#include "app/form_macros.h"

#include <QDate>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <utility>

#include "app/macro_language.h"
#include "app/rx_form.h"
#include "memo/code_pages.h"
#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

std::string ShortDateText(const CivilTime& t, const QLocale& locale) {
  const QString s = locale.toString(QDate(t.year, t.month, t.day), QLocale::ShortFormat);
  return ToChars(FromUtf16(s.toStdU16String(), 1252));
}

// The escapes' targets in the main window. A friend of TRxForm: the beacon, the transmit
// control and the logger link are its own.
class TFormMacroHost final : public MacroHost {
 public:
  explicit TFormMacroHost(TRxForm& form) : f_(form) {}

  TxSymbolQueue& Queue() override { return f_.engine_->TxQueue; }
  TTxState& Tx() override { return f_.engine_->tx; }
  void SetTxLineState(int32_t state) override { f_.engine_->params.TxLineState = state; }
  int Mode() const override { return f_.CurrentMode(); }
  bool Transmitting() const override { return f_.Transmitting(); }
  bool Paused() const override { return f_.transmit_->Paused(); }
  void SetTransmit(bool on) override { f_.SetTransmit(on); }
  void SetPause(bool on) override { f_.SetPause(on); }

  void HoldTyping() override { f_.transmit_->HoldTyping(); }
  bool PumpBusy() const override { return f_.transmit_->PumpBusy(); }
  void KeepCaretAfterSent() override { f_.transmit_->KeepCaretAfterSent(); }
  void InsertAtCaret(const std::string& text) override { f_.transmit_->InsertAtCaret(text); }
  void FocusInput() override { f_.Input->setFocus(); }
  void ClearInput() override { f_.transmit_->ClearInput(); }
  void RunMacroLater(int n) override {
    TRxForm* form = &f_;
    QMetaObject::invokeMethod(form, [form, n] { form->RunMacro(n); }, Qt::QueuedConnection);
  }
  void Later(std::function<void()> work) override {
    QMetaObject::invokeMethod(&f_, std::move(work), Qt::QueuedConnection);
  }

  void SetAfc(bool on) override {
    f_.AfcButton->setChecked(on);  // the button's handler switches the engine's AFC
    if (!on) return;
    f_.engineDriver_->AfcPassNow();
    f_.engineDriver_->SyncTxFrequencyToRx();
  }
  void SetTxAfc(bool on) override {
    if (!f_.TxAfcButton->isEnabled()) return;
    f_.TxAfcButton->setChecked(on);
    f_.engineDriver_->SetTxAfc(on);
    if (on) f_.engineDriver_->SyncTxFrequencyToRx();
  }
  void SetRxFrequency(double hz) override { f_.engineDriver_->SetRxFrequency(hz); }
  void SetTxFrequency(double hz) override { f_.engineDriver_->SetTxFrequency(hz); }

  void StartBeacon() override {
    // The beacon text goes out at the next one-second tick.
    f_.BeaconSeconds = f_.settings_.BeaconPeriod - 1;
    f_.BeaconOn = true;
    f_.BeaconButton->setChecked(true);
    f_.SetPanelText(10, "BEA:W");
    f_.logger_.NotifyCommand(125);
  }
  void StopBeacon() override { f_.StopBeacon(); }

  void ClearRx() override {
    f_.RxMemo->Clear();
    f_.transmit_->ClearPausePoint();
  }
  void ClearSent() override { f_.Sent->clear(); }
  void ClearQsoFields() override { f_.logger_.ClearQsoPanel(); }
  std::string QsoFieldText(QsoField field) const override {
    return ToChars(FromUtf16(Edit(field)->text().toStdU16String(), CodePage()));
  }
  void SetQsoFieldText(QsoField field, const std::string& text) override {
    Edit(field)->setText(QString::fromStdU16String(ToUtf16(ToBytes(text), CodePage())));
  }
  void ExportQsoField(const std::string& key, const std::string& value, uint32_t code) override {
    f_.logger_.ExportQsoField(key, value, code);
  }
  void OtherEditExit() override { f_.logger_.OtherEditExit(); }
  void LoggerCommand(uint32_t code, uint32_t flags) override {
    f_.logger_.BroadcastQsoChange(static_cast<int>(code), flags);
    f_.automation_.FireOnCommandEx(code, flags, "");
  }

  void ReplayLastAudio(int seconds) override { f_.capture_.ReplayLastAudio(seconds); }
  void SaveLastAudio(int seconds, bool decodeAfter) override { f_.capture_.SaveLastAudio(seconds, decodeAfter); }

  std::string ShortDate(const CivilTime& t) const override { return ShortDateText(t, QLocale::system()); }
  void AddSymbol(int symbol) override {
    if (f_.ShutdownDone == 0) f_.exchangePort_.AddSymbol(symbol);
  }

  TMacroTable& macroTable() { return f_.macroTable_; }
  const TAppSettings& settings() { return f_.settings_; }
  Clock& clock() { return f_.clock_; }

 private:
  QLineEdit* Edit(QsoField field) const {
    switch (field) {
      case QsoField::kCall: return f_.CallEdit;
      case QsoField::kRst: return f_.RSTEdit;
      case QsoField::kName: return f_.NameEdit;
      case QsoField::kOther: break;
    }
    return f_.OtherEdit;
  }
  int CodePage() const { return CodePageOfCharset(f_.settings_.RxFont.FontCharset); }

  TRxForm& f_;
};

namespace {

// The host first, so that it exists before the language that keeps a reference to it.
struct FormMacroHostHolder {
  explicit FormMacroHostHolder(TRxForm& form) : host(form) {}
  TFormMacroHost host;
};

class TFormMacros final : private FormMacroHostHolder, public TMacroLanguage {
 public:
  explicit TFormMacros(TRxForm& form)
      : FormMacroHostHolder(form), TMacroLanguage(host, host.macroTable(), host.settings(), host.clock()) {}
};

}  // namespace

std::unique_ptr<MacroPart> MakeFormMacros(TRxForm& form) { return std::make_unique<TFormMacros>(form); }

}  // namespace vestrel
