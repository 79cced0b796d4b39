#include "app/received_text_sink.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "memo/styled_memo.h"
#include "memo/styled_memo_strings.h"

namespace vestrel {

namespace {

constexpr uint8_t kEndOfTransmission = 4;
constexpr uint8_t kShownEndOfTransmission = 164;  // a currency sign in both code pages
constexpr uint8_t kBackspace = 8;
constexpr int kQsoFieldChanged = 131;       // LinkCommandCode
constexpr uint32_t kCallCaught = 0x400000;  // QsoFieldCode of "FoundCall"

// Indexed by (month - 1) & 15.
constexpr const char* kMonthNames[16] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug",
                                         "Sep", "Oct", "Nov", "Dec", "???", "???", "???", "???"};

bool EqualNoCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// Ends an update whatever happens inside it, so that a failed edit leaves the memo usable.
void EndUpdateQuietly(TStyledMemo& memo) {
  try {
    memo.EndUpdate();
  } catch (...) {
  }
}

}  // namespace

void ReceivedTextSink::PutRxChar(uint8_t ch) {
  if (ch == 0 && links_.settings.BinaryTransfer == 0) return;
  Guarded([&] {
    ToExchange(ch);
    ToCaptureFile(ch);
  });
  if (ch == 0) {
    // A NUL of a binary transfer goes to the outputs only.
    CaptureAtLineStart = false;
    return;
  }
  Guarded([&] { ToWindow(ch); });
  // The catchers see the byte that was received: an end of transmission (4) is a separator
  // to them, the byte the window shows for it (164) is not.
  Guarded([&] { ToCallsignTools(ch); });
  CaptureAtLineStart = ch == '\n';
}

void ReceivedTextSink::PutRxString(std::string_view text) {
  for (char c : text) {
    if (c == '\0') break;
    PutRxChar(static_cast<uint8_t>(c));
  }
}

void ReceivedTextSink::PutSentEchoChar(uint8_t ch) {
  echo_ = true;
  PutRxChar(ch);
  echo_ = false;
}

void ReceivedTextSink::ToExchange(uint8_t ch) {
  // In the packet modes with KISS the packet receiver sends whole frames instead.
  const int mode = links_.host.CurrentMode();
  if ((mode == 8 || mode == 10) && links_.settings.IsKISS != 0) return;
  if (links_.host.ExchangeLibraryOn()) links_.library.Put(ch);
  // A byte the port's queue refuses is lost.
  if (links_.exchangePort.IsOpen()) links_.exchangePort.QueueExchangeByte(ch);
}

CivilTime ReceivedTextSink::CaptureTime() {
  const int64_t utc = links_.clock.UtcSeconds();
  const int32_t offset = links_.settings.UTCoffset;
  if (offset == -1) return BreakDownSeconds(utc);
  return BreakDownSeconds(utc + links_.clock.LocalOffsetSeconds(utc) + int64_t{offset} * 60);
}

void ReceivedTextSink::ToCaptureFile(uint8_t ch) {
  TextCaptureStream& file = links_.capture;
  if (!file.IsOpen()) return;
  if (links_.settings.PutTimeToFile != 0 && CaptureAtLineStart) {
    const CivilTime t = CaptureTime();
    const auto hour = static_cast<uint16_t>(t.hour), day = static_cast<uint16_t>(t.day),
               month = static_cast<uint16_t>(t.month), year = static_cast<uint16_t>(t.year);
    char line[64];
    // A date line whenever the hour changes too, so every hour with stamped lines has one.
    if (hour != CaptureStampHour || day != CaptureStampDay || month != CaptureStampMonth ||
        year != CaptureStampYear) {
      const int n = std::snprintf(line, sizeof line, "<*** %02d-%s-%d ***>\r\n", t.day,
                                  kMonthNames[(t.month - 1) & 15], t.year);
      file.Write(std::string_view(line, static_cast<size_t>(n)));
      CaptureStampHour = hour;
      CaptureStampDay = day;
      CaptureStampMonth = month;
      CaptureStampYear = year;
    }
    const int n = std::snprintf(line, sizeof line, "<%02d:%02d:%02d> ", t.hour, t.minute, t.second);
    file.Write(std::string_view(line, static_cast<size_t>(n)));
  }
  file.Put(ch);
}

void ReceivedTextSink::ToWindow(uint8_t ch) {
  // The text to append, by the line-break rules: CR LF, LF CR and CR CR give one break, LF LF
  // and CR LF CR LF two.
  unsigned char text[2];
  size_t length = 0;
  if (ch == '\r') {
    if (!LastWasLineBreak) {
      text[0] = '\r';
      text[1] = '\n';
      length = 2;
      LastWasLineBreak = LastWasCR = true;
    }
  } else if (ch == '\n') {
    if (!LastWasCR) {
      text[0] = '\r';
      text[1] = '\n';
      length = 2;
    }
    LastWasLineBreak = true;
    LastWasCR = false;
  } else {
    text[0] = ch == kEndOfTransmission ? kShownEndOfTransmission : ch;
    length = 1;
    LastWasLineBreak = LastWasCR = false;
  }
  const bool backspace = ch == kBackspace && links_.settings.BackspaceHandling != 0;
  if (length == 0) return;  // nothing to append: the memo and its view stay as they are

  // What the operator sees before the change.
  TStyledMemo& m = memo_;
  const int32_t lineCount = m.Lines().GetCount();
  const int32_t topLine = m.getTopLine();
  const int32_t lineHeight = std::max(m.getLineHeight(), 1);
  const int32_t clientHeight = m.Window() != nullptr ? m.Window()->ClientHeight() : 0;
  const int32_t visibleLines = clientHeight / lineHeight;
  const int32_t selStart = m.getSelStart();
  const int32_t selLength = m.SelLength();
  const int32_t count = m.getCharCount();
  const bool selBeforeEnd = selStart < count;
  // Scrolled up: the last lines are below the view.
  const bool scrolledUp = int64_t{topLine} + visibleLines - 1 < int64_t{lineCount} - 2;

  bool changed = false;
  m.BeginUpdate();
  try {
    if (backspace) {
      if (count > 0) {
        // After a line break the backspace joins the lines: CR LF goes as one.
        const int32_t n = count >= 2 && m.getChar(count - 2) == '\r' && m.getChar(count - 1) == '\n' ? 2 : 1;
        m.setSelStart(count - n);
        m.setSelLength(n);
        m.setSelText(TByteView());
        changed = true;
      }
    } else {
      m.setSelStart(count);
      m.setSelLength(0);
      m.setSelText(TByteView(text, length));
      changed = true;
    }
    if (scrolledUp) m.setTopLine(topLine);
    if (selLength != 0 || (selBeforeEnd && scrolledUp) || RxMouseDown) {
      m.setSelStart(selStart);
      m.setSelLength(selLength);
    }
  } catch (...) {
    EndUpdateQuietly(m);
    throw;
  }
  m.EndUpdate();
  if (!scrolledUp && changed) m.ScrollInView();
}

void ReceivedTextSink::ToCallsignTools(uint8_t ch) {
  const TAppSettings& s = links_.settings;
  ReceivedTextHost& host = links_.host;
  CallsignPart& calls = links_.calls;
  const bool transmitted = echo_ || host.Transmitting();
  const int found = calls.FeedCallChar(ch, transmitted);
  // The same call twice outside a transmission may stop the beacon.
  if (found == 2 && host.BeaconRunning() && !transmitted && s.BeaconOffAtTwoCalls != 0) host.StopBeacon();
  if (found == 1 || found == 2) {
    const std::string call = calls.CurrentCall();
    calls.Highlight(call, s.CallColor);
    calls.ClearNewCall();
    // The own call, and any call of our own transmission, is coloured but told to no one.
    if (calls.CallPosition() != -1 && !calls.CallDuringTx() && !EqualNoCase(call, s.MyCall)) {
      if (links_.automation.ClientCount() > 0) links_.automation.FireOnCallsign(call);
      if (s.MessageChannel != 0) {
        const std::string key =
            s.MessageChannel == 1 ? std::string("FoundCall") : "FoundCall" + std::to_string(s.MessageChannel);
        links_.logger.WriteExportKey(key, call);
        links_.logger.BroadcastQsoChange(kQsoFieldChanged, kCallCaught);
      }
    }
  }
  if (calls.FeedMyCallChar(ch, transmitted)) host.StopBeacon();
}

template <typename F>
void ReceivedTextSink::Guarded(F&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    Failed(e.what());
  } catch (...) {
    Failed("unknown failure");
  }
}

void ReceivedTextSink::Failed(const char* what) {
  if (failureReported_) return;
  failureReported_ = true;
  links_.host.ReportReceiveWindowFailure(what);
}

}  // namespace vestrel
