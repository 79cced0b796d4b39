// ctest-labels: unit
// The received-text sink on a memo with the fake draw surface: the line-break and backspace
// rules, binary NULs, the exchange outputs in the packet modes, the capture file's time stamps
// on a fake clock, the view and selection the operator left, the callsign tools through their
// seams, and a memo that fails.
#include "app/received_text_sink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "memo/memo_errors.h"
#include "memo/styled_memo.h"
#include "memo/styled_memo_strings.h"
#include "support/fake_clock.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;

// Every seam of the sink, recording what reaches it.
class Outputs : public ReceivedTextHost,
                public ExchangeLibraryPart,
                public ExchangePortPart,
                public CallsignPart,
                public AutomationPart,
                public LoggerLinkPart {
 public:
  // ReceivedTextHost
  bool ExchangeLibraryOn() const override { return libraryOn; }
  int CurrentMode() const override { return mode; }
  bool Transmitting() const override { return transmitting; }
  bool BeaconRunning() const override { return beacon; }
  void StopBeacon() override {
    beacon = false;
    ++beaconStops;
  }
  void ReportReceiveWindowFailure(const std::string& text) override { failures.push_back(text); }
  // ExchangeLibraryPart
  void Put(uint8_t b) override { library.push_back(static_cast<char>(b)); }
  // ExchangePortPart
  bool IsOpen() const override { return portOpen; }
  bool QueueExchangeByte(uint8_t b) override {
    port.push_back(static_cast<char>(b));
    return true;
  }
  // CallsignPart: a catcher that takes any word of `calls` closed by a byte 0..32, and
  // reports the same call twice as 2.
  int FeedCallChar(uint8_t ch, bool transmitted) override {
    fedToCatcher.push_back(static_cast<char>(ch));
    fedTransmitted.push_back(transmitted ? 'T' : '.');
    if (ch > 32) {
      word.push_back(static_cast<char>(ch));
      return 0;
    }
    const std::string w = std::exchange(word, {});
    for (const std::string& c : calls) {
      if (c != w) continue;
      const int result = c == current ? 2 : 1;
      current = c;
      return result;
    }
    return 0;
  }
  std::string CurrentCall() const override { return current; }
  int32_t CallPosition() const override { return current.empty() ? -1 : 1; }
  void Highlight(const std::string& call, int32_t colour) override {
    log.push_back("Highlight " + call + " " + std::to_string(colour));
  }
  void ClearNewCall() override { log.push_back("ClearNewCall"); }
  bool FeedMyCallChar(uint8_t ch, bool transmitted) override { return !transmitted && ch == myCallEnd; }
  // AutomationPart
  int ClientCount() const override { return automationClients; }
  void FireOnCallsign(const std::string& call) override { log.push_back("OnCallsign " + call); }
  // LoggerLinkPart
  void WriteExportKey(const std::string& key, const std::string& value) override {
    log.push_back("Write " + key + "=" + value);
  }
  void BroadcastQsoChange(int code, uint32_t fields) override {
    log.push_back("Broadcast " + std::to_string(code) + " " + std::to_string(fields));
  }

  bool libraryOn = true, portOpen = true, transmitting = false, beacon = false;
  int mode = 0;
  int beaconStops = 0;
  int automationClients = 1;
  int myCallEnd = -1;
  std::vector<std::string> failures;
  std::string library, port, fedToCatcher, fedTransmitted, word, current;
  std::vector<std::string> calls;
  std::vector<std::string> log;
};

// The capture file: a temporary C stream read back whole.
class CaptureFile {
 public:
  CaptureFile() { stream.Attach(std::tmpfile()); }
  ~CaptureFile() {
    if (std::FILE* f = stream.Detach()) std::fclose(f);
  }
  std::string Contents() {
    std::FILE* f = stream.File();
    std::fflush(f);
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s.push_back(static_cast<char>(c));
    std::fseek(f, 0, SEEK_END);
    return s;
  }
  TextCaptureStream stream;
};

// A receive window of 200 by 140 pixels and its sink.
struct Sink {
  explicit Sink(TStyledMemo* useMemo = nullptr) : memo(useMemo != nullptr ? *useMemo : ownMemo) {
    memo.setClock(&clock);
    memo.setScrollTime(0);
    memo.CreateHandle(window);
  }
  // A memo passed in outlives the fixture's window: it lets go of the window (and stops its
  // format thread, which posts to it) first.
  ~Sink() { memo.DestroyWindowHandle(); }
  void Put(std::string_view s) {
    for (char c : s) sink.PutRxChar(static_cast<uint8_t>(c));
  }
  std::string Shown() { return ToChars(memo.GetTextContent()); }
  // Pixels from the view's top to the text's bottom edge.
  int64_t TextBottom() {
    return int64_t{memo.getTotalLineCount()} * memo.getLineHeight() - memo.getTopOrigin();
  }

  TAppSettings settings;
  test::FakeClock clock;
  Outputs out;
  CaptureFile capture;
  RecordingMemoWindow window{200, 140};
  TStyledMemo ownMemo;
  TStyledMemo& memo;
  ReceivedTextSink sink{memo, {out, settings, clock, capture.stream, out, out, out, out, out}};
};

TEST(ReceivedTextSink, LineBreaksBackspacesAndTheEndOfTransmissionByte) {
  const struct {
    const char* name;
    std::string in;
    int backspaceHandling;
    std::string shown;
  } rows[] = {
      {"CR CR LF", "AB\r\r\nCD", 1, "AB\r\nCD"},
      {"CR LF", "AB\r\nCD", 1, "AB\r\nCD"},
      {"LF LF", "AB\n\nCD", 1, "AB\r\n\r\nCD"},
      {"CR LF CR LF", "AB\r\n\r\nCD", 1, "AB\r\n\r\nCD"},
      {"LF CR", "AB\n\rCD", 1, "AB\r\nCD"},
      {"CR alone", "AB\rCD", 1, "AB\r\nCD"},
      {"a break first", "\r\nAB", 1, "\r\nAB"},
      {"backspace", "ABC\b", 1, "AB"},
      {"backspace joins lines", "AB\r\n\bCD", 1, "ABCD"},
      {"two backspaces", "AB\r\n\b\b", 1, "A"},
      {"backspace on an empty memo", "\b", 1, ""},
      {"backspace shown when off", "AB\b", 0, "AB\b"},
      {"end of transmission", std::string("AB\x04", 3), 1, "AB\xA4"},
      {"NUL dropped", std::string("A\0B", 3), 1, "AB"},
  };
  for (const auto& r : rows) {
    Sink s;
    s.settings.BackspaceHandling = r.backspaceHandling;
    s.Put(r.in);
    EXPECT_EQ(s.Shown(), r.shown) << r.name;
    std::string received = r.in;
    std::erase(received, '\0');
    EXPECT_EQ(s.out.library, received) << r.name;
    EXPECT_EQ(s.memo.UpdateCount(), 0) << r.name;
  }
}

TEST(ReceivedTextSink, PutRxStringStopsAtTheZero) {
  Sink s;
  s.sink.PutRxString(std::string_view("CQ\0DE", 5));
  EXPECT_EQ(s.Shown(), "CQ");
  s.sink.PutRxString(" K");
  EXPECT_EQ(s.Shown(), "CQ K");
}

// Clearing the window keeps the line-break state: a LF after a CR still adds nothing.
TEST(ReceivedTextSink, ClearingTheWindowKeepsTheLineBreakState) {
  Sink s;
  s.Put("AB\r");
  s.memo.Clear();
  s.Put("\nCD");
  EXPECT_EQ(s.Shown(), "CD");
}

TEST(ReceivedTextSink, ABinaryNulReachesTheOutputsButNotTheWindow) {
  Sink s;
  s.settings.BinaryTransfer = 1;
  s.settings.PutTimeToFile = 1;
  s.settings.UTCoffset = -1;
  s.clock.utcSeconds = test::UtcOf(2024, 3, 5, 14, 7, 9);
  const std::string in("A\n\0B", 4);
  s.Put(in);
  EXPECT_EQ(s.Shown(), "A\r\nB");
  EXPECT_EQ(s.out.library, in);
  EXPECT_EQ(s.out.port, in);
  // The NUL begins a line and is stamped; the B after it is not.
  EXPECT_EQ(s.capture.Contents(), std::string("<*** 05-Mar-2024 ***>\r\n<14:07:09> A\n<14:07:09> \0B", 49));
  EXPECT_FALSE(s.sink.CaptureAtLineStart);
}

TEST(ReceivedTextSink, KissInThePacketModesKeepsTextFromBothExchangeOutputs) {
  const struct {
    int mode, isKiss;
    bool passes;
  } rows[] = {{0, 1, true}, {8, 1, false}, {10, 1, false}, {8, 0, true}, {10, 0, true}, {1, 1, true}};
  for (const auto& r : rows) {
    Sink s;
    s.out.mode = r.mode;
    s.settings.IsKISS = r.isKiss;
    s.Put("CQ\r");
    EXPECT_EQ(s.out.library, r.passes ? "CQ\r" : "") << r.mode << " " << r.isKiss;
    EXPECT_EQ(s.out.port, r.passes ? "CQ\r" : "") << r.mode << " " << r.isKiss;
    EXPECT_EQ(s.Shown(), "CQ\r\n");
  }
}

TEST(ReceivedTextSink, ClosedOutputsGetNothing) {
  Sink s;
  s.out.libraryOn = false;
  s.out.portOpen = false;
  if (std::FILE* f = s.capture.stream.Detach()) std::fclose(f);
  s.Put("CQ");
  EXPECT_EQ(s.out.library, "");
  EXPECT_EQ(s.out.port, "");
  EXPECT_EQ(s.Shown(), "CQ");
}

TEST(ReceivedTextSink, CaptureStampsComeFromTheClock) {
  Sink s;
  s.settings.PutTimeToFile = 1;
  s.settings.UTCoffset = -1;
  s.clock.localOffset = 2 * 3600;  // the local zone is two hours ahead
  s.clock.utcSeconds = test::UtcOf(2023, 12, 31, 10, 59, 58);
  s.Put("AB\r\n");
  s.clock.utcSeconds += 1;
  s.Put("C\n");
  s.clock.utcSeconds += 2;  // 11:00:01: a new hour
  s.Put("D\n");
  EXPECT_EQ(s.capture.Contents(),
            "<*** 31-Dec-2023 ***>\r\n<10:59:58> AB\r\n"
            "<10:59:59> C\n"
            "<*** 31-Dec-2023 ***>\r\n<11:00:01> D\n");

  // Local time plus UTCoffset minutes: 21:30 UTC is 23:30 here, plus an hour.
  s.settings.UTCoffset = 60;
  s.clock.utcSeconds = test::UtcOf(2023, 12, 31, 21, 30, 0);
  Sink t;
  t.settings = s.settings;
  t.clock = s.clock;
  t.Put("E\n");
  EXPECT_EQ(t.capture.Contents(), "<*** 01-Jan-2024 ***>\r\n<00:30:00> E\n");
  // Without time stamps only the characters.
  Sink u;
  u.Put("F\n");
  EXPECT_EQ(u.capture.Contents(), "F\n");
}

// The view the operator scrolled back stays, with its selection, while 1000 characters arrive;
// at the bottom the view follows the text.
TEST(ReceivedTextSink, AViewScrolledBackStaysWhereTheOperatorLeftIt) {
  Sink s;
  for (int i = 0; i < 60; ++i) s.Put("LINE " + std::to_string(i) + "\r\n");
  // Followed to the bottom.
  EXPECT_LE(s.TextBottom(), 140);
  EXPECT_GT(s.TextBottom(), 140 - s.memo.getLineHeight());
  EXPECT_EQ(s.memo.getSelStart(), s.memo.getCharCount());

  s.memo.setTopLine(20);
  s.memo.setSelStart(s.memo.getParsOffset(22));
  s.memo.setSelLength(7);
  std::string burst;
  for (int i = 0; i < 1000; ++i) burst.push_back(i % 50 == 49 ? '\n' : static_cast<char>('A' + i % 26));
  s.Put(burst);
  EXPECT_EQ(s.memo.getTopLine(), 20);
  EXPECT_EQ(s.memo.getSelStart(), s.memo.getParsOffset(22));
  EXPECT_EQ(s.memo.SelLength(), 7);
  EXPECT_EQ(s.memo.getTopOrigin(), 20 * s.memo.getLineHeight());

  // An empty caret inside the text also stays while the view is scrolled back.
  s.memo.setSelStart(s.memo.getParsOffset(25));
  s.Put("XYZ");
  EXPECT_EQ(s.memo.getSelStart(), s.memo.getParsOffset(25));
  EXPECT_EQ(s.memo.getTopLine(), 20);

  // Back at the bottom with no selection, the caret goes with the text and the view follows.
  s.memo.setSelStart(s.memo.getCharCount());
  s.memo.ScrollInView();
  s.Put(burst);
  EXPECT_EQ(s.memo.getSelStart(), s.memo.getCharCount());
  EXPECT_LE(s.TextBottom(), 140);
  EXPECT_GT(s.TextBottom(), 140 - s.memo.getLineHeight());
}

// Random received bytes, the operator scrolling and selecting in between: the window always
// holds what the rules make of the bytes, a view scrolled back and a selection stay put, and
// the memo's store stays sound.
TEST(ReceivedTextSink, RandomTrafficAndOperatorKeepTheTextAndTheView) {
  Sink s;
  std::mt19937 rng(19);
  const char alphabet[] = {'A', 'B', ' ', ' ', '\r', '\n', '\b', '\x04', '\0', 'Z'};
  std::string model;
  bool lineBreak = false, cr = false;
  int viewsKept = 0;
  for (int round = 0; round < 300; ++round) {
    // The operator: back to the bottom, or a view some lines up with a selection there.
    const int32_t lines = s.memo.getTotalLineCount();
    const bool back = rng() % 2 && lines > 30;
    if (back) {
      s.memo.setTopLine(static_cast<int32_t>(rng() % static_cast<uint32_t>(lines - 20)));
      s.memo.setSelStart(static_cast<int32_t>(rng() % static_cast<uint32_t>(s.memo.getCharCount() + 1)));
      s.memo.setSelLength(static_cast<int32_t>(rng() % 5));
    } else {
      s.memo.setSelStart(s.memo.getCharCount());
      s.memo.ScrollInView();
    }
    const int32_t top = s.memo.getTopLine();
    const int32_t selStart = s.memo.getSelStart(), selLength = s.memo.SelLength();
    // The view is back when the last lines are below it (the last, empty one not counted).
    const bool scrolledBack = top + 140 / s.memo.getLineHeight() - 1 < s.memo.Lines().GetCount() - 2;
    bool shrank = false;
    const int n = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) {
      const char c = alphabet[rng() % sizeof alphabet];
      shrank = shrank || c == '\b';
      s.sink.PutRxChar(static_cast<uint8_t>(c));
      if (c == '\0') continue;
      if (c == '\r') {
        if (!lineBreak) model += "\r\n";
        if (!lineBreak) lineBreak = cr = true;
      } else if (c == '\n') {
        if (!cr) model += "\r\n";
        lineBreak = true;
        cr = false;
      } else {
        lineBreak = cr = false;
        if (c == '\b') {
          if (model.ends_with("\r\n"))
            model.resize(model.size() - 2);
          else if (!model.empty())
            model.pop_back();
        } else {
          model.push_back(c == '\x04' ? '\xA4' : c);
        }
      }
    }
    ASSERT_EQ(s.Shown(), model) << round;
    ASSERT_NO_THROW(s.memo.CheckIntegrity()) << round;
    if (back && scrolledBack && !shrank) {
      // Lines only came: the view stayed back, and nothing moved.
      EXPECT_EQ(s.memo.getTopLine(), top) << round;
      EXPECT_EQ(s.memo.getSelStart(), selStart) << round;
      EXPECT_EQ(s.memo.SelLength(), selLength) << round;
      ++viewsKept;
    }
  }
  EXPECT_GT(viewsKept, 20);
  EXPECT_TRUE(s.out.failures.empty());
}

TEST(ReceivedTextSink, WhileTheMouseIsHeldTheSelectionStays) {
  for (bool mouseDown : {false, true}) {
    Sink s;
    s.Put("CQ CQ DE XX0XXX\r\n");
    s.memo.setSelStart(3);
    s.sink.SetRxMouseDown(mouseDown);
    s.Put("PSE K");
    EXPECT_EQ(s.memo.getSelStart(), mouseDown ? 3 : s.memo.getCharCount()) << mouseDown;
    EXPECT_EQ(s.Shown(), "CQ CQ DE XX0XXX\r\nPSE K");
  }
}

TEST(ReceivedTextSink, TheOwnCallIsColouredButToldToNoOne) {
  Sink s;
  s.settings.MyCall = "dl1abc";
  s.settings.CallColor = 255;
  s.out.calls = {"DL1ABC", "DK2XY"};
  s.Put("DE DL1ABC K ");
  EXPECT_EQ(s.out.log, (std::vector<std::string>{"Highlight DL1ABC 255", "ClearNewCall"}));
  s.out.log.clear();
  s.Put("DK2XY ");
  EXPECT_EQ(s.out.log, (std::vector<std::string>{"Highlight DK2XY 255", "ClearNewCall", "OnCallsign DK2XY",
                                                 "Write FoundCall=DK2XY", "Broadcast 131 4194304"}));

  // The logger's key by MessageChannel; no automation event without clients.
  const struct {
    int channel, clients;
    std::vector<std::string> told;
  } rows[] = {
      {0, 1, {"OnCallsign DK2XY"}},
      {1, 0, {"Write FoundCall=DK2XY", "Broadcast 131 4194304"}},
      {3, 1, {"OnCallsign DK2XY", "Write FoundCall3=DK2XY", "Broadcast 131 4194304"}},
  };
  for (const auto& r : rows) {
    Sink t;
    t.settings.MessageChannel = r.channel;
    t.out.automationClients = r.clients;
    t.out.calls = {"DK2XY"};
    t.Put("DK2XY\r");
    std::vector<std::string> expected{"Highlight DK2XY 32768", "ClearNewCall"};
    expected.insert(expected.end(), r.told.begin(), r.told.end());
    EXPECT_EQ(t.out.log, expected) << r.channel;
  }
}

// The catchers see the byte received, so a call closed by the end-of-transmission byte is
// caught; the window shows that byte as 164.
TEST(ReceivedTextSink, ACallEndedByTheEndOfTransmissionByteIsCaught) {
  Sink s;
  s.out.calls = {"DK2XY"};
  s.Put("DE DK2XY\x04");
  EXPECT_EQ(s.Shown(), "DE DK2XY\xA4");
  EXPECT_EQ(s.out.fedToCatcher, "DE DK2XY\x04");
  EXPECT_EQ(s.out.current, "DK2XY");
  EXPECT_EQ(s.out.library, "DE DK2XY\x04");
  EXPECT_FALSE(s.sink.CaptureAtLineStart);
}

TEST(ReceivedTextSink, TheBeaconStopsOnTheSameCallTwiceOrTheOwnCall) {
  const struct {
    const char* name;
    int offAtTwoCalls;
    bool transmitting;
    int stops;
  } rows[] = {{"two calls", 1, false, 1}, {"setting off", 0, false, 0}, {"while transmitting", 1, true, 0}};
  for (const auto& r : rows) {
    Sink s;
    s.out.beacon = true;
    s.out.transmitting = r.transmitting;
    s.settings.BeaconOffAtTwoCalls = r.offAtTwoCalls;
    s.out.calls = {"DK2XY"};
    s.Put("DK2XY DK2XY ");
    EXPECT_EQ(s.out.beaconStops, r.stops) << r.name;
  }
  Sink s;
  s.out.beacon = true;
  s.out.myCallEnd = 'C';
  s.Put("AB");
  EXPECT_EQ(s.out.beaconStops, 0);
  s.Put("C");
  EXPECT_EQ(s.out.beaconStops, 1);
}

// A memo that refuses every edit: the decoder's loop goes on, the failure is reported once,
// the update is closed, and the other outputs still get every character.
class FailingMemo : public TStyledMemo {
 public:
  void SetSelTextBuf(TByteView text) override {
    if (fail) throw EStyledMemoError(kTextTooLong);
    TStyledMemo::SetSelTextBuf(text);
  }
  bool fail = true;
};

TEST(ReceivedTextSink, AFailingMemoIsReportedOnceAndNeverReachesTheDecoder) {
  FailingMemo memo;
  Sink s(&memo);
  s.out.calls = {"DK2XY"};
  EXPECT_NO_THROW(s.Put("DK2XY\r\nK"));
  EXPECT_EQ(s.out.failures, std::vector<std::string>{kTextTooLong});
  EXPECT_EQ(memo.UpdateCount(), 0);
  EXPECT_EQ(s.out.library, "DK2XY\r\nK");
  EXPECT_EQ(s.capture.Contents(), "DK2XY\r\nK");
  EXPECT_EQ(s.out.current, "DK2XY");
  memo.fail = false;
  s.Put("OK");
  EXPECT_EQ(s.Shown(), "OK");
}

// Without a window the memo has no view to keep; the text still goes in.
TEST(ReceivedTextSink, AMemoWithoutAWindowTakesTheText) {
  TAppSettings settings;
  test::FakeClock clock;
  Outputs out;
  TextCaptureStream closed;
  TStyledMemo memo;
  ReceivedTextSink sink(memo, {out, settings, clock, closed, out, out, out, out, out});
  sink.PutRxString("CQ\r\nDE");
  EXPECT_EQ(ToChars(memo.GetTextContent()), "CQ\r\nDE");
  EXPECT_TRUE(out.failures.empty());
}

}  // namespace
}  // namespace vestrel
