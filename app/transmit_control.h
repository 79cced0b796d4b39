#pragma once
#include <QObject>
#include <cstdint>
#include <string>

#include "app/form_parts.h"
#include "memo/memo_keys.h"

namespace vestrel {

class TRxForm;
class StyledMemoWidget;

// The transmit text control: the TX and Pause switches, the text pump that hands what is typed
// into Input to the TxSymbolQueue one character at a time, the sent-text window, Input's key,
// change and caret handlers, and the two file senders. The transmit flags the audio pump reads
// (TxState, TxEnding, TxPaused, PausePoint) stay in the engine's TTxState; the ones only the
// window needs live here. GUI thread only.
class TTransmitControl : public QObject, public TransmitPart {
 public:
  // Ticks of 100 ms that a key press in Input holds back the pump's automatic sending.
  static constexpr int kTypingHoldTicks = 10;
  // Escape expansions one pump pass may make at the send position; past it the escape there is
  // deleted unexpanded (an escape whose result starts with itself would loop for ever).
  static constexpr int kMaxSendExpansions = 64;
  // Raw file sends and Send Text File read at most this many bytes of a file.
  static constexpr uint32_t kMaxRawBytes = 65527;
  static constexpr uint32_t kMaxTextFileBytes = 65536;
  // Seconds the transmit start waits beyond the audio still in flight for an old transmission
  // to end before ending it itself.
  static constexpr int kEndingGraceSeconds = 3;
  // Lines the sent-text window keeps.
  static constexpr int kSentLines = 51;

  explicit TTransmitControl(TRxForm& form);
  ~TTransmitControl() override;

  // TransmitPart
  void PumpTxText() override;
  void ShowSentChar() override;
  void SetTransmit(bool on) override;
  void SetPause(bool on) override;
  bool Transmitting() const override;
  bool Paused() const override;
  bool InputAllSent() const override;
  void ClearPausePoint() override;
  void TickTypingCountdown() override;
  void HoldTyping() override { TypingHold = kTypingHoldTicks; }
  bool PumpBusy() const override { return pumpBusy_; }
  void KeepCaretAfterSent() override;
  void InsertAtCaret(const std::string& text) override;
  void ClearInput() override;
  int32_t SentChars() const override { return SentCount; }

  // The handlers of the window's controls and menu items.
  void TxButtonClick();
  void PauseButtonClick();
  void SendTextFile1Click();
  void SendAfileRaw1Click();
  // Text the exchange peers sent, appended at the end of Input.
  void AppendToInput(const std::string& text);

  // The number of characters the TxSymbolQueue may hold ahead of the modulator in a mode.
  static int QueueMark(int mode, double baud);

  int SentCount = 0;           // characters at the start of Input already queued
  bool RawSendActive = false;  // a raw file send is running: the pump does nothing
  int TypingHold = 0;          // ticks left of the hold set by a key press
  bool InputChanging = false;  // between Input's before-change and its change

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void InputChange();
  void InputBeforeChange();
  void InputKeyDown(TMemoKey& key);
  void InputMouseDown();
  void SentClick();
  // One pass of the pump past its guards.
  void Pump();
  // Expands the escapes standing at the send position; false ends the pass.
  bool ExpandAtSendPosition();
  void SendOne();
  // Replaces [start, start + length) of Input by text, the operator's caret and selection moved
  // with the text after it.
  void ReplaceInInput(int32_t start, int32_t length, const std::string& text);
  // Steps 1-5 and 7 of the transmit start; false when the sound output did not open.
  bool StartTransmission();
  // The state of a started transmission, and its announcement (the audio pump's
  // message, the logger, the beacon panel).
  void MarkTransmitting();
  void AnnounceStart();
  // Ends a transmission at once: PTT off, the sound output closed, the state cleared.
  void AbandonTransmission();
  void AppendSent(uint8_t ch);
  // A regular file's first `limit` bytes; false when it is no regular file or cannot be read.
  static bool ReadRegularFile(const std::string& name, uint32_t limit, std::string& bytes);
  bool ChooseFile(std::string& name);
  void SetPauseButton(bool down);

  TRxForm& form_;
  StyledMemoWidget& input_;
  bool pumpBusy_ = false;
  bool keepBusy_ = false;
  bool showBusy_ = false;
  bool ownEdit_ = false;  // the control edits Input itself: its handlers stay out
  bool rawStarted_ = false;
  bool lastSentWasCr_ = false;
};

}  // namespace vestrel
