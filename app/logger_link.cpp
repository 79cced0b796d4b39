#include "app/logger_link.h"

#include <QClipboard>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include "app/message_bus.h"
#include "app/rx_form.h"
#include "memo/code_pages.h"
#include "memo/qt/styled_memo_widget.h"
#include "platform/ini_file.h"

namespace vestrel {

uint32_t TLoggerLink::broadcastSequence = 0;

namespace {

constexpr uint32_t kSequenceStep = 0x200;
constexpr uint32_t kSequenceMask = 0x7F00;

// The popup's items: caption, the field code the fourth field must stand for to take the word,
// the export key and code. "Call", "Name" and "Copy" are handled apart.
struct PopupItem {
  const char* caption;
  const char* key;
  uint32_t code;
};
constexpr PopupItem kPopupItems[] = {
    {"Number", "NumberRcvd", kQsoNumberRcvd}, {"RST", "RprtRcvd", kQsoRstRcvd}, {"QTH", "QTH", kQsoQth},
    {"State", "State", kQsoState},            {"Subdiv", "Subdiv", kQsoSubdiv}, {"Grid", "Grid", kQsoGrid},
    {"IOTA", "IOTA", kQsoIota},               {"QSL via", "QSLVia", kQsoQslVia}, {"Remarks", "Note", kQsoNote},
};

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return u;
}

}  // namespace

void SwitchBeacon(TRxForm& form, bool on) {
  if (on) {
    form.BeaconSeconds = form.settings().BeaconPeriod - 1;
    form.BeaconOn = true;
    form.BeaconButton->setChecked(true);
    form.SetPanelText(10, "BEA:W");
    form.NotifyCommand(kLinkBeaconOn);
  } else {
    form.BeaconSeconds = 0;
    form.BeaconOn = false;
    form.BeaconButton->setChecked(false);
    form.SetPanelText(10, " ");
    form.NotifyCommand(kLinkBeaconOff);
  }
}

TLoggerLink::TLoggerLink(TRxForm& form) : form_(form) {}

TLoggerLink::~TLoggerLink() { delete popup_; }

void TLoggerLink::SetDefaults() {
  if (wired_) return;
  wired_ = true;
  for (QLineEdit* e : {form_.CallEdit, form_.RSTEdit, form_.NameEdit, form_.OtherEdit}) {
    if (e != nullptr) e->installEventFilter(this);
  }
  // Enter moves on through the fields, the last into Input.
  if (form_.CallEdit != nullptr) {
    connect(form_.CallEdit, &QLineEdit::returnPressed, this, [this] { form_.RSTEdit->setFocus(); });
    connect(form_.RSTEdit, &QLineEdit::returnPressed, this, [this] { form_.NameEdit->setFocus(); });
    connect(form_.NameEdit, &QLineEdit::returnPressed, this, [this] { form_.OtherEdit->setFocus(); });
    connect(form_.OtherEdit, &QLineEdit::returnPressed, this, [this] { form_.Input->setFocus(); });
  }
  popup_ = new QMenu();
  popup_->setObjectName(QStringLiteral("PopupMenu1"));
  QAction* title = popup_->addAction(QString());
  title->setObjectName(QStringLiteral("Title1"));
  for (const char* caption :
       {"Call", "Number", "RST", "Name", "QTH", "State", "Subdiv", "Grid", "IOTA", "QSL via", "Remarks"}) {
    connect(popup_->addAction(QString::fromLatin1(caption)), &QAction::triggered, this,
            [this, caption] { ChoosePopupItem(caption, popupWord_); });
  }
  popup_->addSeparator();
  connect(popup_->addAction(QStringLiteral("Copy")), &QAction::triggered, this,
          [this] { ChoosePopupItem("Copy", popupWord_); });
}

bool TLoggerLink::eventFilter(QObject* watched, QEvent* e) {
  // Leaving a field for another control exports it; the window losing the focus (another
  // program, a menu or a popup) does not.
  if (e->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(e)->reason() != Qt::ActiveWindowFocusReason &&
      static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason) {
    if (watched == form_.CallEdit) CallEditExit();
    if (watched == form_.RSTEdit) RSTEditExit();
    if (watched == form_.NameEdit) NameEditExit();
    if (watched == form_.OtherEdit) OtherEditExit();
  }
  return false;
}

std::string TLoggerLink::KeyFor(const std::string& key) const {
  const int channel = form_.settings().MessageChannel;
  return channel >= 2 ? key + std::to_string(channel) : key;
}

std::string TLoggerLink::FieldText(const QLineEdit* edit) const {
  const std::u16string u = edit->text().toStdU16String();
  return ToChars(FromUtf16(u, CodePageOfCharset(form_.settings().RxFont.FontCharset)));
}

void TLoggerLink::SetFieldText(QLineEdit* edit, const std::string& text) {
  const std::u16string u = ToUtf16(ToBytes(text), CodePageOfCharset(form_.settings().RxFont.FontCharset));
  edit->setText(QString::fromStdU16String(u));
}

void TLoggerLink::ToClipboard(const std::string& text) {
  const std::u16string u = ToUtf16(ToBytes(text), CodePageOfCharset(form_.settings().RxFont.FontCharset));
  if (QClipboard* c = QGuiApplication::clipboard()) c->setText(QString::fromStdU16String(u));
}

void TLoggerLink::ReportExportFailure(const std::string& why) {
  if (exportFailureShown_) return;
  exportFailureShown_ = true;
  form_.boxes().ShowMessage("Error", "The logger's file cannot be written: " + why);
}

template <typename F>
void TLoggerLink::UpdateExportIni(F&& change) {
  const std::string path = LoggerIniPath(form_.settings().ExportIniFile);
  IniFile ini;
  std::string error;
  // A file that exists but cannot be read is not replaced by one holding only our keys.
  if (ini.Load(path, &error) == IniFile::LoadResult::kFailed) {
    ReportExportFailure(error);
    return;
  }
  change(ini);
  error = ini.Save(path);
  if (!error.empty()) ReportExportFailure(error);
}

void TLoggerLink::WriteExportKey(const std::string& key, const std::string& value) {
  const std::string& section = form_.settings().ExportIniSection;
  UpdateExportIni([&](IniFile& ini) { ini.WriteText(section, key, value); });
}

void TLoggerLink::NotifyCommand(int code) {
  const int channel = form_.settings().MessageChannel;
  if (channel != 0) {
    const uint32_t w = static_cast<uint32_t>(code) | ((static_cast<uint32_t>(channel - 1) << 24) & 0x0F000000u);
    if (MessageBus* bus = form_.messageBus()) bus->BroadcastTandelMessage(w, 0);
  }
  form_.automation().FireOnCommand(static_cast<uint32_t>(code));
}

void TLoggerLink::BroadcastQsoChange(int code, uint32_t fields) {
  const int channel = form_.settings().MessageChannel;
  if (channel == 0) return;
  const uint32_t w = static_cast<uint32_t>(code) | broadcastSequence |
                     ((static_cast<uint32_t>(channel - 1) << 24) & 0x0F000000u);
  if (MessageBus* bus = form_.messageBus()) bus->BroadcastTandelMessage(w, fields);
  broadcastSequence = (broadcastSequence + kSequenceStep) & kSequenceMask;
}

void TLoggerLink::FireCommandExEvent(uint32_t code, uint32_t fields, const std::string& text) {
  form_.automation().FireOnCommandEx(code, fields, text);
}

void TLoggerLink::ExportQsoField(const std::string& key, const std::string& value, uint32_t code) {
  const TAppSettings& s = form_.settings();
  if (s.CopyTransferredData != 0) ToClipboard(value);
  if (s.MessageChannel != 0) {
    UpdateExportIni([&](IniFile& ini) { ini.WriteString(s.ExportIniSection, KeyFor(key), value); });
    BroadcastQsoChange(kLinkFieldsChanged, code);
  }
  FireCommandExEvent(kLinkFieldsChanged, code, value);
}

void TLoggerLink::ClearQsoPanel() {
  const TAppSettings& s = form_.settings();
  form_.engine().display.DisplayPause = 0;
  SetFieldText(form_.CallEdit, s.CallOnClear);
  SetFieldText(form_.RSTEdit, s.RSTOnClear);
  SetFieldText(form_.NameEdit, s.NameOnClear);
  SetFieldText(form_.OtherEdit, s.OtherOnClear);
  const std::string call = FieldText(form_.CallEdit), rst = FieldText(form_.RSTEdit),
                    name = FieldText(form_.NameEdit), other = FieldText(form_.OtherEdit);
  const auto useOther = static_cast<uint32_t>(s.UseOther);
  if (s.MessageChannel != 0) {
    UpdateExportIni([&](IniFile& ini) {
      ini.WriteText(s.ExportIniSection, KeyFor("Call"), call);
      ini.WriteText(s.ExportIniSection, KeyFor("RprtSent"), rst);
      ini.WriteText(s.ExportIniSection, KeyFor("Name"), name);
      if (const char* key = OtherFieldKey(useOther)) ini.WriteText(s.ExportIniSection, KeyFor(key), other);
    });
    BroadcastQsoChange(kLinkFieldsChanged, kQsoCall + kQsoRstSent + kQsoName + useOther);
  }
  FireCommandExEvent(kLinkFieldsChanged, kQsoCall, call);
  FireCommandExEvent(kLinkFieldsChanged, kQsoRstSent, rst);
  FireCommandExEvent(kLinkFieldsChanged, kQsoName, name);
  if (useOther != 0) FireCommandExEvent(kLinkFieldsChanged, useOther, other);
  form_.CallEdit->setFocus();
}

void TLoggerLink::ExportCall(const std::string& call) {
  const TAppSettings& s = form_.settings();
  if (s.CopyTransferredData != 0) ToClipboard(call);
  const std::string modeName =
      s.WithCall != 0 ? ModeName() : std::string();
  if (s.MessageChannel != 0) {
    UpdateExportIni([&](IniFile& ini) {
      ini.WriteText(s.ExportIniSection, KeyFor("Call"), call);
      if (!modeName.empty()) ini.WriteText(s.ExportIniSection, KeyFor("Mode"), modeName);
    });
  }
  uint32_t flags = kQsoCall;
  if (!modeName.empty()) {
    flags |= kQsoMode;
    FireCommandExEvent(kLinkFieldsChanged, kQsoMode, modeName);
  }
  FireCommandExEvent(kLinkFieldsChanged, kQsoCall, call);
  BroadcastQsoChange(kLinkFieldsChanged, flags);
}

std::string TLoggerLink::ModeName() {
  const int32_t mode = form_.engine().params.Mode;
  if (mode < 0 || mode >= kModeCount) return {};
  return form_.engine().modeSwitch.ModeReportNames[static_cast<size_t>(mode)];
}

void TLoggerLink::CallEditExit() { ExportCall(FieldText(form_.CallEdit)); }
void TLoggerLink::RSTEditExit() { ExportQsoField("RprtSent", FieldText(form_.RSTEdit), kQsoRstSent); }
void TLoggerLink::NameEditExit() { ExportQsoField("Name", FieldText(form_.NameEdit), kQsoName); }

void TLoggerLink::OtherEditExit() {
  const auto code = static_cast<uint32_t>(form_.settings().UseOther);
  if (const char* key = OtherFieldKey(code)) ExportQsoField(key, FieldText(form_.OtherEdit), code);
}

void TLoggerLink::PickWord(std::string_view text, QPoint globalPos) {
  const std::string word = CleanPickedWord(text);
  if (word.empty()) return;
  if (form_.settings().ContestMode != 0) {
    CaptureCallOrNumber(word);
    return;
  }
  if (popup_ == nullptr) SetDefaults();
  popupWord_ = word;
  form_.engine().display.DisplayPause = 200;
  popup_->actions().first()->setText(
      QString::fromStdU16String(ToUtf16(ToBytes(word), CodePageOfCharset(form_.settings().RxFont.FontCharset))));
  popup_->popup(globalPos);
}

void TLoggerLink::ChoosePopupItem(std::string_view item, const std::string& picked) {
  const std::string word = CleanPickedWord(picked);
  form_.engine().display.DisplayPause = 0;
  if (item == "Copy") {
    ToClipboard(word);
    return;
  }
  if (item == "Call") {
    SetFieldText(form_.CallEdit, word);
    ExportCall(word);
    return;
  }
  if (item == "Name") {
    SetFieldText(form_.NameEdit, word);
    ExportQsoField("Name", word, kQsoName);
    return;
  }
  for (const PopupItem& p : kPopupItems) {
    if (item != p.caption) continue;
    if (static_cast<uint32_t>(form_.settings().UseOther) == p.code) SetFieldText(form_.OtherEdit, word);
    ExportQsoField(p.key, word, p.code);
    return;
  }
}

void TLoggerLink::CaptureCallOrNumber(const std::string& picked) {
  const std::string w = Upper(CleanPickedWord(picked));
  if (w.empty()) return;
  if (LooksLikeCall(w)) {
    SetFieldText(form_.CallEdit, w);
    ExportQsoField("Call", w, kQsoCall);
    return;
  }
  if (static_cast<uint32_t>(form_.settings().UseOther) == kQsoNumberRcvd) SetFieldText(form_.OtherEdit, w);
  ExportQsoField("NumberRcvd", w, kQsoNumberRcvd);
}

void TLoggerLink::HandleCommand(uint32_t wParam, uint32_t lParam) {
  const TAppSettings& s = form_.settings();
  if (s.MessageChannel == 0) return;
  if (!CommandAddresses(wParam, s.MessageChannel)) return;
  if ((wParam & 0xFFFFFFu) <= kLinkMacroLast) {
    form_.RunMacro(static_cast<int>(wParam & 0xFFFFFFu));
    return;
  }
  switch (wParam & 0xFFu) {
    case kLinkColourCall: {
      const std::string key = wParam < 0x1000000u ? std::string("FoundCall")
                                                  : "FoundCall" + std::to_string((wParam >> 24) + 1);
      IniFile ini;
      ini.Load(LoggerIniPath(s.ExternIniFile));
      const std::string call = TrimmedWord(ini.ReadString(s.ExternIniSection, key, "."));
      form_.callsigns().Highlight(call, static_cast<int32_t>(lParam));
      break;
    }
    case kLinkPauseOff: form_.SetPause(false); break;
    case kLinkPauseOn: form_.SetPause(true); break;
    case kLinkPauseToggle: form_.SetPause(!form_.transmit().Paused()); break;
    case kLinkReceive: form_.SetTransmit(false); break;
    case kLinkTransmit: form_.SetTransmit(true); break;
    case kLinkTransmitToggle: form_.SetTransmit(!form_.Transmitting()); break;
    case kLinkBeaconOff: SwitchBeacon(form_, false); break;
    case kLinkBeaconOn: SwitchBeacon(form_, true); break;
    case kLinkNotSaved1:
    case kLinkNotSaved2:
      // One box at a time: a logger that repeats itself meanwhile is not heard again.
      if (lParam == 0 && !notSavedOpen_) {
        notSavedOpen_ = true;
        form_.boxes().ShowMessage("Error", "QSO not saved into the log!");
        notSavedOpen_ = false;
      }
      break;
    default: break;
  }
}

}  // namespace vestrel
