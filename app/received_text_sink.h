#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "app/app_settings.h"
#include "app/form_parts.h"
#include "app/text_capture_stream.h"
#include "engine/rx_text_sink.h"
#include "platform/clock.h"

namespace vestrel {

class TStyledMemo;

// What the sink reads of the main window and asks of it.
class ReceivedTextHost {
 public:
  // The exchange library was initialised (TRxForm::ExchangeLibraryActive).
  virtual bool ExchangeLibraryOn() const = 0;
  virtual int CurrentMode() const = 0;  // ModeNumber
  virtual bool Transmitting() const = 0;
  virtual bool BeaconRunning() const = 0;
  // The beacon's five stop steps.
  virtual void StopBeacon() = 0;
  // The receive window failed; called once, never on the decoder's stack in a way that must
  // return to it (the host shows it later).
  virtual void ReportReceiveWindowFailure(const std::string& text) = 0;

 protected:
  ~ReceivedTextHost() = default;
};

// Where the sink's characters go besides the window, and what it reads.
struct ReceivedTextLinks {
  ReceivedTextHost& host;
  const TAppSettings& settings;
  Clock& clock;
  TextCaptureStream& capture;  // TextCaptureFile
  ExchangeLibraryPart& library;
  ExchangePortPart& exchangePort;
  CallsignPart& calls;
  AutomationPart& automation;
  LoggerLinkPart& logger;
};

// The received-text sink (TRxForm::PutRxChar): every character of every decoder goes to the
// exchange library and port, the text capture file with its time stamps, the receive window
// (RxMemo) with the line-break and backspace rules, keeping a view the operator scrolled back,
// and the callsign tools. It never fails towards the decoder that calls it.
class ReceivedTextSink final : public RxTextSink {
 public:
  ReceivedTextSink(TStyledMemo& memo, const ReceivedTextLinks& links) : memo_(memo), links_(links) {}

  void PutRxChar(uint8_t ch) override;
  // Each byte up to a zero, or to the end.
  void PutRxString(std::string_view text) override;
  // A character whose audio has just been sent (ShowSentInRx): shown like a received one, but
  // to the callsign tools it counts as transmitted, whatever TxState is when it arrives.
  void PutSentEchoChar(uint8_t ch);

  // Set and cleared by the receive window's mouse handlers.
  void SetRxMouseDown(bool down) { RxMouseDown = down; }

  // State between calls; clearing the window resets none of it.
  bool LastWasLineBreak = false;  // the last character shown gave or swallowed a line break
  bool LastWasCR = false;
  bool CaptureAtLineStart = true;  // the next captured character begins a line
  // The clock fields of the last date line written to the capture file; the first values
  // match no real time.
  uint16_t CaptureStampHour = 99, CaptureStampDay = 99, CaptureStampMonth = 99, CaptureStampYear = 1;
  bool RxMouseDown = false;

 private:
  void ToExchange(uint8_t ch);
  void ToCaptureFile(uint8_t ch);
  void ToWindow(uint8_t ch);
  void ToCallsignTools(uint8_t ch);
  CivilTime CaptureTime();
  // Runs one step; a failure is reported (once) and goes no further.
  template <typename F>
  void Guarded(F&& step);
  void Failed(const char* what);

  TStyledMemo& memo_;
  ReceivedTextLinks links_;
  bool failureReported_ = false;
  bool echo_ = false;  // the character passing now is the echo of our transmission
};

}  // namespace vestrel
