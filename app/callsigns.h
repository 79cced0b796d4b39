#pragma once
#include <string>

#include "app/app_settings.h"
#include "app/call_find.h"
#include "app/form_parts.h"

namespace vestrel {

class ReceivedTextHost;

// The window's callsign tools: the catcher and the own-call watch over the receive window,
// with the settings they read (BeaconOffAtMyCall, which an empty own call switches off).
class TCallsigns final : public CallsignPart {
 public:
  TCallsigns(TStyledMemo& memo, CallHighlighter& highlighter, TAppSettings& settings, ReceivedTextHost& host)
      : callFind_(memo, highlighter), settings_(settings), host_(host) {}

  void SetOwnCall(const std::string& call) override;
  int FeedCallChar(uint8_t ch, bool transmitted) override { return callFind_.FeedChar(ch, transmitted); }
  std::string CurrentCall() const override { return callFind_.CurrentCall(); }
  int32_t CallPosition() const override { return callFind_.CallPosition(); }
  bool CallDuringTx() const override { return callFind_.CallDuringTx(); }
  void Highlight(const std::string& call, int32_t colour) override { callFind_.Highlight(call, colour); }
  void ClearNewCall() override { callFind_.NewCall = false; }
  bool FeedMyCallChar(uint8_t ch, bool transmitted) override;
  void ResetOwnCallWatch() override { myCallFind_.Reset(); }

  TCallFind& callFind() { return callFind_; }
  TMyCallFind& myCallFind() { return myCallFind_; }

 private:
  TCallFind callFind_;
  TMyCallFind myCallFind_;
  TAppSettings& settings_;
  ReceivedTextHost& host_;
};

}  // namespace vestrel
