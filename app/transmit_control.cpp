#include "app/transmit_control.h"

#include <sys/stat.h>

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "app/rx_form.h"
#include "engine/messages.h"
#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

namespace {

bool IsEscapeLead(unsigned char c) {
  return c == '~' || c == '`';
}

// Modes without a character pump of their own: packet (started by channel access) and the
// receive-only modes.
bool PacketMode(int mode) {
  return mode == kModeAx25Hf || mode == kModeAx25Uhf;
}
bool ReceiveOnlyMode(int mode) {
  return mode == kModeDtmf || mode == kModeAmtorArq || mode == kModePactorFec;
}
// The block modes end with a pad instead of the idle before the end mark.
TxSymbol EndIdle(int mode) {
  return (mode == kModePs2x5 || mode == kModePs33x5) ? kTxBlockPad : kTxLtrs;
}
// The ASCII modes put a NUL before a blank and before a line end.
bool AsciiMode(int mode) {
  return mode == kModeAscii7 || mode == kModeAscii8;
}

// A lone LF becomes CR LF, so that a file with LF line ends gives the same lines.
std::string CrLfLines(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

TTransmitControl::TTransmitControl(TRxForm& form) : form_(form), input_(*form.Input) {
  input_.OnBeforeChange = [this](TStyledMemo&, TByteString&) { InputBeforeChange(); };
  input_.OnChange = [this](TStyledMemo&) { InputChange(); };
  input_.OnSelMove = [this](TStyledMemo&) { KeepCaretAfterSent(); };
  input_.OnKeyDown = [this](TStyledMemo&, TMemoKey& key, TShiftState) { InputKeyDown(key); };
  input_.installEventFilter(this);
  input_.viewport()->installEventFilter(this);
  form.Sent->viewport()->installEventFilter(this);
  if (QAction* item = form.MenuItem("Send Text File"))
    connect(item, &QAction::triggered, this, [this] { SendTextFile1Click(); });
  if (QAction* item = form.MenuItem("Send a File (Bypass Input Window)"))
    connect(item, &QAction::triggered, this, [this] { SendAfileRaw1Click(); });
}

TTransmitControl::~TTransmitControl() {
  input_.OnBeforeChange = nullptr;
  input_.OnChange = nullptr;
  input_.OnSelMove = nullptr;
  input_.OnKeyDown = nullptr;
}

int TTransmitControl::QueueMark(int mode, double baud) {
  int mark;
  switch (mode) {
    case kModeBpsk31:
    case kModeQpsk31:
    case kModeMfsk16:
    case kModeMfsk8:
      mark = 3;
      break;
    case kModeBpsk63:
    case kModeQpsk63:
      mark = 6;
      break;
    case kModeBpsk125:
      mark = 12;
      break;
    case kModeAmtorFec:
      mark = static_cast<int>(std::lround(baud * 0.05));
      break;
    default:
      mark = static_cast<int>(std::lround(baud * 0.1));
      break;
  }
  return std::max(mark, 1);
}

bool TTransmitControl::Transmitting() const {
  return form_.engine().tx.TxState != 0;
}

bool TTransmitControl::Paused() const {
  return form_.engine().tx.TxPaused;
}

bool TTransmitControl::InputAllSent() const {
  return SentCount >= input_.getCharCount();
}

void TTransmitControl::ClearPausePoint() {
  form_.engine().tx.PausePoint = false;
}

void TTransmitControl::TickTypingCountdown() {
  if (TypingHold > 0) --TypingHold;
}

// ---- the text pump ----

void TTransmitControl::PumpTxText() {
  // A raw file send holds the pump until its transmission has gone back to receive.
  if (RawSendActive && rawStarted_ && form_.engine().tx.TxState == 0) {
    RawSendActive = false;
    rawStarted_ = false;
  }
  if (RawSendActive || pumpBusy_) return;
  // An edit that changed nothing fires no change event: once no edit is open the flag is stale.
  if (InputChanging && input_.UpdateCount() == 0 && !ownEdit_) InputChanging = false;
  if (InputChanging) return;
  const int32_t caret = input_.getSelStart();
  if (TypingHold != 0 && caret != input_.getCharCount() && caret < SentCount + 2) return;
  pumpBusy_ = true;
  Pump();
  pumpBusy_ = false;
}

void TTransmitControl::Pump() {
  KeepCaretAfterSent();
  // Text the exchange peers sent joins the end of Input.
  form_.exchangePort().PullExchangeText([this](const std::string& text) { AppendToInput(text); });
  KeepCaretAfterSent();
  SentCount = std::clamp(SentCount, 0, input_.getCharCount());
  TTxState& tx = form_.engine().tx;
  if (form_.settings().TxAtKeyboard != 0 && tx.TxState == 0 && !tx.TxPaused &&
      SentCount + 1 < input_.getCharCount()) {
    form_.SetTransmit(true);
    return;
  }
  if (tx.TxState == 0 || tx.TxPaused || tx.PausePoint || tx.TxEnding != 0 || tx.EndQueued) return;
  if (!ExpandAtSendPosition()) return;
  if (form_.settings().WordMode != 0 && input_.GetParCount() < 2) {
    const int32_t count = input_.getCharCount();
    bool wordEnds = false;
    for (int32_t i = SentCount; i < count && !wordEnds; ++i) {
      const unsigned char c = input_.getChar(i);
      wordEnds = c < '!' || c == ']';
    }
    if (!wordEnds) return;
  }
  const TModemParams& p = form_.engine().params;
  if (form_.engine().TxQueue.Pending() < static_cast<uint32_t>(QueueMark(p.Mode, p.Baud)) &&
      SentCount < input_.getCharCount()) {
    SendOne();
    KeepCaretAfterSent();
  }
}

bool TTransmitControl::ExpandAtSendPosition() {
  // Every escape taken here and every expansion it makes draws on one budget per pass; once it
  // is spent, an escape at the send position is deleted unexpanded, so the loop always ends.
  int budget = kMaxSendExpansions;
  while (true) {
    const int32_t count = input_.getCharCount();
    if (SentCount >= count || !IsEscapeLead(input_.getChar(SentCount))) return true;
    // A lead character just typed at the end may be the start of an escape.
    if (SentCount + 1 == count) return TypingHold == 0;
    if (input_.getChar(SentCount + 1) != '[') return true;
    // The escape runs to its "]", or up to a blank or control character.
    int32_t end = SentCount + 2;
    bool closed = false;
    while (end < count) {
      const unsigned char c = input_.getChar(end);
      if (c == ']') {
        ++end;
        closed = true;
        break;
      }
      if (c < '!') break;
      ++end;
    }
    // Still being typed: "`[m1" of "`[m12]" must not run macro 1.
    if (!closed && end == count && TypingHold != 0) return false;
    std::string text = ToChars(input_.GetTextPart(SentCount, end));
    text[0] = '~';
    std::string result;
    if (budget > 0) {
      int performed = 0;
      while (budget > 0 && form_.macros().ExpandMacroEscape(text)) {
        --budget;
        ++performed;
      }
      // An escape that nothing performs is removed; one cut off by the bound as well.
      if (performed > 0 && budget > 0) result = text;
    }
    --budget;
    ReplaceInInput(SentCount, end - SentCount, CrLfLines(result));
    // A macro may have ended or paused the transmission.
    const TTxState& tx = form_.engine().tx;
    if (tx.TxState == 0 || tx.TxPaused || tx.PausePoint || tx.TxEnding != 0 || tx.EndQueued || RawSendActive)
      return false;
  }
}

void TTransmitControl::ReplaceInInput(int32_t start, int32_t length, const std::string& text) {
  const int32_t caret = input_.getSelStart();
  const int32_t selection = input_.SelLength();
  const int32_t delta = static_cast<int32_t>(text.size()) - length;
  ownEdit_ = true;
  input_.setSelStart(start);
  input_.setSelLength(length);
  input_.SetSelTextBuf(ToBytes(text));
  input_.setSelStart(std::max(caret >= start + length ? caret + delta : caret, 0));
  input_.setSelLength(selection);
  ownEdit_ = false;
  InputChanging = false;
}

void TTransmitControl::SendOne() {
  TxSymbolQueue& queue = form_.engine().TxQueue;
  const int mode = form_.engine().params.Mode;
  const unsigned char c = input_.getChar(SentCount);
  if (c == '\r') {
    // The sent line leaves Input with its line end.
    const int32_t removed = SentCount + 2;
    const int32_t caret = input_.getSelStart();
    const int32_t selection = input_.SelLength();
    ownEdit_ = true;
    input_.setSelStart(0);
    input_.setSelLength(removed);
    input_.SetSelTextBuf(TByteView());
    SentCount = 0;
    input_.ClearStyleRange(0, input_.getCharCount());
    input_.setSelStart(std::max(caret - removed, 0));
    input_.setSelLength(selection);
    ownEdit_ = false;
    InputChanging = false;
    if (AsciiMode(mode)) queue.PostTxSymbol(0);
    queue.PostTxSymbol('\r');
    queue.PostTxSymbol('\n');
    return;
  }
  const TMemoFont& font = input_.Font();
  const auto style = static_cast<uint8_t>(font.Style & 0x0F);
  input_.SetDynStyle(0, SentCount + 1, style, false, 0, 0, input_.Color(), form_.settings().SentColor, false);
  input_.ClearStyleRange(SentCount + 1, input_.getCharCount());
  ++SentCount;
  if (AsciiMode(mode) && c == ' ') queue.PostTxSymbol(0);
  queue.PostTxSymbol(c);
}

void TTransmitControl::KeepCaretAfterSent() {
  if (keepBusy_ || ownEdit_) return;
  keepBusy_ = true;
  if (input_.getSelStart() < SentCount) input_.setSelStart(SentCount);
  const int32_t count = input_.getCharCount();
  if (SentCount < count) input_.ClearStyleRange(SentCount, count);
  keepBusy_ = false;
}

void TTransmitControl::InsertAtCaret(const std::string& text) {
  KeepCaretAfterSent();
  input_.SetSelTextBuf(ToBytes(CrLfLines(text)));
}

void TTransmitControl::ClearInput() {
  ownEdit_ = true;
  input_.Clear();
  ownEdit_ = false;
  SentCount = 0;
  InputChanging = false;
  RawSendActive = false;
}

void TTransmitControl::AppendToInput(const std::string& text) {
  if (text.empty()) return;
  const int32_t caret = input_.getSelStart();
  const int32_t selection = input_.SelLength();
  input_.setSelStart(input_.getCharCount());
  input_.SetSelTextBuf(ToBytes(text));
  if (selection != 0) {
    input_.setSelStart(caret);
    input_.setSelLength(selection);
  } else {
    input_.setSelStart(input_.getCharCount());
  }
}

// ---- the sent-text window ----

void TTransmitControl::ShowSentChar() {
  if (showBusy_) return;
  showBusy_ = true;
  int32_t ch = 0;
  if (form_.engine().SentEcho.Take(ch)) {
    const auto c = static_cast<uint8_t>(ch);
    if (c == 8 && form_.settings().BackspaceHandling != 0) {
      QTextCursor cursor(form_.Sent->document());
      cursor.movePosition(QTextCursor::End);
      cursor.deletePreviousChar();
    } else {
      AppendSent(c);
    }
    if (form_.settings().ShowSentInRx != 0) form_.receivedText().PutSentEchoChar(c);
  }
  showBusy_ = false;
}

void TTransmitControl::AppendSent(uint8_t c) {
  QPlainTextEdit& sent = *form_.Sent;
  QTextDocument* doc = sent.document();
  QTextCursor end(doc);
  end.movePosition(QTextCursor::End);
  // CR LF is one line break; a lone LF breaks the line as well.
  if (c == '\n' && end.position() > 0 && lastSentWasCr_) {
    lastSentWasCr_ = false;
    return;
  }
  lastSentWasCr_ = c == '\r';
  const bool isBreak = c == '\r' || c == '\n';
  // Room for the character: at most kSentLines lines once it is in.
  while (doc->blockCount() > kSentLines - 1) {
    QTextCursor first(doc->begin());
    first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    first.removeSelectedText();
  }
  end.movePosition(QTextCursor::End);
  if (isBreak) {
    end.insertBlock();
  } else if (c != 0) {
    end.insertText(QString(QChar(static_cast<char16_t>(c))));
  }
  sent.verticalScrollBar()->setValue(sent.verticalScrollBar()->maximum());
}

// ---- Input's handlers ----

void TTransmitControl::InputBeforeChange() {
  if (!ownEdit_) InputChanging = true;
}

void TTransmitControl::InputChange() {
  if (ownEdit_) return;
  KeepCaretAfterSent();
  InputChanging = false;
  PumpTxText();
  ShowSentChar();
}

void TTransmitControl::InputKeyDown(TMemoKey& key) {
  form_.engine().display.DisplayPause = 0;
  TypingHold = kTypingHoldTicks;
  KeepCaretAfterSent();
  if (key != kKeyBack) return;
  const int32_t caret = input_.getSelStart();
  if (caret > SentCount || input_.SelLength() != 0) return;
  const TTxState& tx = form_.engine().tx;
  const int mode = form_.engine().params.Mode;
  if (form_.settings().BackspaceHandling != 0 && mode != kModeRtty && mode != kModeAmtorFec &&
      tx.TxState != 0 && !tx.TxPaused && tx.TxEnding == 0 && !tx.EndQueued) {
    form_.engine().TxQueue.PostTxSymbol(8);
    SentCount = std::max(SentCount - 1, 0);
    return;  // the memo deletes the last sent character
  }
  key = 0;  // sent text cannot be edited
}

void TTransmitControl::InputMouseDown() {
  form_.engine().display.DisplayPause = 0;
}

void TTransmitControl::SentClick() {
  form_.engine().display.DisplayPause = 0;
  input_.setFocus();
}

bool TTransmitControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &input_ && event->type() == QEvent::KeyPress && pumpBusy_) {
    // A key arriving inside a pump pass (a message box's own loop) comes again once the
    // pass is over; waiting here for the pass below on the stack would never end.
    auto* k = static_cast<QKeyEvent*>(event);
    QCoreApplication::postEvent(&input_, new QKeyEvent(QEvent::KeyPress, k->key(), k->modifiers(), k->text(),
                                                       k->isAutoRepeat(), k->count()));
    return true;
  }
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == input_.viewport()) InputMouseDown();
    if (watched == form_.Sent->viewport()) SentClick();
  }
  return QObject::eventFilter(watched, event);
}

// ---- the switches ----

void TTransmitControl::TxButtonClick() {
  form_.SetTransmit(!Transmitting());
}

void TTransmitControl::PauseButtonClick() {
  form_.SetPause(!Paused());
}

void TTransmitControl::SetPauseButton(bool down) {
  form_.PauseButton->setChecked(down);
}

void TTransmitControl::SetPause(bool on) {
  TTxState& tx = form_.engine().tx;
  if (on) {
    SetPauseButton(true);
    tx.TxPaused = true;
    form_.NotifyCommand(101);
  } else {
    SetPauseButton(false);
    PumpTxText();  // still paused: only the exchange text and the caret
    tx.TxPaused = false;
    form_.NotifyCommand(100);
  }
  tx.PausePoint = false;
}

void TTransmitControl::AbandonTransmission() {
  TTxState& tx = form_.engine().tx;
  tx.TxActive = false;
  form_.ports().SetPtt(false);
  tx.TxState = 0;
  tx.TxEnding = 0;
  tx.EndQueued = false;
  tx.SoundDevicesBusy = true;
  form_.sound().CloseSoundOutput();
  tx.SoundDevicesBusy = false;
}

bool TTransmitControl::StartTransmission() {
  TTxState& tx = form_.engine().tx;
  EngineDriver& driver = form_.engineDriver();
  SoundControl& sound = form_.sound();
  form_.TxButton->setChecked(true);
  form_.SetMenuEnabled("Mode", false);
  // The end of the last transmission still sounding: the audio pump is driven here until it
  // returns, but no longer than its buffers take to play and a few seconds more.
  if (tx.TxEnding != 0) {
    const double rate = std::max(form_.settings().OutSamplingFreq, 8000.0);
    const double inFlight = TxAudioBuffers::kCount * double(TTxAudioPump::kBufferTarget) / rate;
    const int rounds = static_cast<int>((inFlight + kEndingGraceSeconds) * 100.0);
    for (int round = 0; tx.TxEnding != 0; ++round) {
      if (round >= rounds) {
        AbandonTransmission();
        break;
      }
      driver.PumpTxAudio();
      if (driver.CaptureBuffersWaiting() > 0) driver.ProcessSoundInput();
      form_.appControl().SleepMs(10);
    }
  }
  driver.SyncTxFrequencyToRx();
  form_.rig().SplitAtTransmit();
  tx.SoundDevicesBusy = true;
  if (form_.settings().UseDuplex == 0) sound.CloseSoundInput();
  if (!sound.OutputOpen()) sound.OpenSoundOutput();
  tx.SoundDevicesBusy = false;
  if (!sound.OutputOpen()) {
    // No playback device: nothing is keyed, and the program goes back to receive.
    form_.ports().SetPtt(false);
    tx.TxState = 0;
    tx.TxActive = false;
    form_.TxButton->setChecked(false);
    tx.SoundDevicesBusy = true;
    if (!sound.InputOpen()) sound.OpenSoundInput();
    tx.SoundDevicesBusy = false;
    form_.SetMenuEnabled("Mode", true);
    return false;
  }
  form_.ports().SetPtt(true);
  return true;
}

void TTransmitControl::MarkTransmitting() {
  TTxState& tx = form_.engine().tx;
  tx.TxState |= 1;
  tx.TxActive = true;
  tx.TxEnding = 0;
  tx.EndQueued = false;
  form_.BeaconSeconds = 0;
}

void TTransmitControl::AnnounceStart() {
  form_.Post(WM_WAVEOUT_DONE);  // starts the audio pump
  form_.NotifyCommand(111);
  if (form_.BeaconOn) form_.SetPanelText(10, "BEA:W");
}

void TTransmitControl::SetTransmit(bool on) {
  TTxState& tx = form_.engine().tx;
  TxSymbolQueue& queue = form_.engine().TxQueue;
  const int mode = form_.engine().params.Mode;
  if (!on) tx.PausePoint = false;
  if (ReceiveOnlyMode(mode)) {
    form_.TxButton->setChecked(false);
    return;
  }
  if (PacketMode(mode)) {
    form_.TxButton->setChecked(tx.TxState != 0);
    return;
  }
  if (on) {
    if (!StartTransmission()) return;
    queue.PostTxSymbol(kTxLtrs);
    queue.PostTxSymbol(kTxLtrs);
    MarkTransmitting();
    for (int i = 0; i < 8; ++i) PumpTxText();
    AnnounceStart();
    return;
  }
  if (tx.TxState == 0 || tx.TxEnding != 0 || tx.EndQueued) return;
  form_.TxButton->setChecked(false);
  // A paused pump idles and would never reach the end: ending releases the pause, and what
  // was queued before the end still goes out.
  if (tx.TxPaused) {
    SetPauseButton(false);
    tx.TxPaused = false;
    form_.NotifyCommand(100);
  }
  queue.PostTxSymbol(EndIdle(mode));
  queue.PostTxSymbol(kTxEnd);
  tx.EndQueued = true;
}

// ---- the file senders ----

bool TTransmitControl::ChooseFile(std::string& name) {
  FileDialogRequest request;
  request.title = "Select File";
  request.filter = "All files (*)";
  return form_.dialogs().OpenFileName(request, name);
}

bool TTransmitControl::ReadRegularFile(const std::string& name, uint32_t limit, std::string& bytes) {
  bytes.clear();
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(name.c_str(), "rb"), &std::fclose);
  if (!f) return false;
  bytes.resize(limit);
  const size_t n = std::fread(bytes.data(), 1, limit, f.get());
  bytes.resize(n);
  return true;
}

void TTransmitControl::SendTextFile1Click() {
  std::string name;
  if (!ChooseFile(name)) return;
  std::string raw;
  if (!ReadRegularFile(name, kMaxTextFileBytes, raw)) return;
  // Read in pieces of 99 bytes, each up to its first NUL.
  std::string text;
  for (size_t at = 0; at < raw.size(); at += 99) {
    const std::string piece = raw.substr(at, 99);
    text += piece.substr(0, piece.find('\0'));
  }
  int expansions = 0;
  while (expansions < kMaxSendExpansions && form_.macros().ExpandMacroEscape(text)) ++expansions;
  InsertAtCaret(text);
  input_.setFocus();
}

void TTransmitControl::SendAfileRaw1Click() {
  std::string name;
  if (!ChooseFile(name)) return;
  const int mode = form_.engine().params.Mode;
  // Modes whose pump reads no queue would key for nothing.
  if (PacketMode(mode) || ReceiveOnlyMode(mode)) return;
  TxSymbolQueue& queue = form_.engine().TxQueue;
  // Two idles before, the end pair after: all of it must fit, or the end is lost.
  const uint32_t free = TxSymbolQueue::kMaxPending - queue.Pending();
  if (free < 4) return;
  std::string bytes;
  if (!ReadRegularFile(name, std::min(kMaxRawBytes, free - 4), bytes)) return;
  RawSendActive = true;
  rawStarted_ = false;
  queue.QueueTxSymbol(kTxLtrs);
  queue.QueueTxSymbol(kTxLtrs);
  for (char c : bytes) queue.QueueTxSymbol(static_cast<uint8_t>(c));
  queue.QueueTxSymbol(EndIdle(mode));
  queue.QueueTxSymbol(kTxEnd);
  if (!StartTransmission()) {
    queue.Clear();
    RawSendActive = false;
    return;
  }
  MarkTransmitting();
  form_.engine().tx.EndQueued = true;  // the file's end pair is queued already
  rawStarted_ = true;
  AnnounceStart();
  form_.callsigns().ResetOwnCallWatch();
  input_.setFocus();
}

}  // namespace vestrel
