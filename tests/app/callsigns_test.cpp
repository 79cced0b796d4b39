// ctest-labels: unit
// The callsign catcher and the own-call watch over a memo: the shapes of callsigns, new calls
// and repeats in and out of transmission, where calls are coloured, the own call in the
// stream; and through the received-text sink, our own echoed transmission, which neither
// stops the beacon nor is told to anyone.
#include "app/callsigns.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/received_text_sink.h"
#include "memo/styled_memo.h"
#include "support/fake_clock.h"
#include "support/recording_memo_window.h"

namespace vestrel {
namespace {

using testing::RecordingMemoWindow;

struct Range {
  int32_t start, stop, colour;
  bool operator==(const Range&) const = default;
};

class Highlights : public CallHighlighter {
 public:
  void HighlightRange(int32_t start, int32_t stop, int32_t colour) override { ranges.push_back({start, stop, colour}); }
  std::vector<Range> ranges;
};

// What the sink and the watch need of the window, with the beacon's stops counted.
class Host : public ReceivedTextHost,
             public ExchangeLibraryPart,
             public ExchangePortPart,
             public AutomationPart,
             public LoggerLinkPart {
 public:
  bool ExchangeLibraryOn() const override { return false; }
  int CurrentMode() const override { return 0; }
  bool Transmitting() const override { return transmitting; }
  bool BeaconRunning() const override { return beacon; }
  void StopBeacon() override {
    beacon = false;
    ++beaconStops;
  }
  void ReportReceiveWindowFailure(const std::string& text) override { told.push_back("failure " + text); }
  int ClientCount() const override { return 1; }
  void FireOnCallsign(const std::string& call) override { told.push_back("OnCallsign " + call); }
  void WriteExportKey(const std::string& key, const std::string& value) override {
    told.push_back(key + "=" + value);
  }

  bool transmitting = false, beacon = false;
  int beaconStops = 0;
  std::vector<std::string> told;
};

// A receive window of 400 by 200 pixels with the catcher, the watch and the sink over it.
struct Window {
  Window() {
    memo.CreateHandle(window);
    settings.MessageChannel = 1;
  }
  // As the sink does it: the character goes into the window, then to the catcher.
  int Feed(uint8_t ch, bool transmitting = false) {
    const unsigned char c = ch;
    memo.setSelStart(memo.getCharCount());
    memo.setSelText(TByteView(&c, 1));
    return calls.FeedCallChar(ch, transmitting);
  }
  std::vector<int> FeedText(std::string_view text, bool transmitting = false) {
    std::vector<int> results;
    for (char c : text) {
      const int r = Feed(static_cast<uint8_t>(c), transmitting);
      if (r != 0) results.push_back(r);
    }
    return results;
  }
  // Characters received, or echoed from our transmission.
  void Receive(std::string_view text) { sink.PutRxString(text); }
  void Echo(std::string_view text) {
    for (char c : text) sink.PutSentEchoChar(static_cast<uint8_t>(c));
  }

  RecordingMemoWindow window{400, 200};
  TStyledMemo memo;
  Highlights highlights;
  TAppSettings settings;
  Host host;
  test::FakeClock clock;
  TextCaptureStream capture;
  TCallsigns calls{memo, highlights, settings, host};
  ReceivedTextSink sink{memo, {host, settings, clock, capture, host, host, calls, host, host}};
};

TEST(CallFind, ShapesOfCallsigns) {
  const struct {
    const char* name;
    std::string word;
    int result;
  } rows[] = {
      {"letter, digit, three letters", "K1ABC", 1},
      {"two letters, digit, two letters", "DL1AB", 1},
      {"letter, digit, two letters, slash, digit", "W1AB/2", 1},
      {"two letters, digit, three letters, slash, letter", "DL1ABC/P", 1},
      {"letter, digit, letter", "K1A", 1},
      {"lower case", "dl1abc", 1},
      {"four with a digit inside", "A12B", 1},
      {"eleven with slashes", "PA/DL1ABC/P", 1},
      {"seven without a slash", "DL1ABCD", 0},
      {"a single digit first", "1ABC", 0},
      {"a digit last without a slash before it", "ABC1", 0},
      {"four ending in a digit", "AB12", 0},
      {"three not letter-digit-letter", "1A1", 0},
      {"two characters", "K1", 0},
      {"one character", "K", 0},
      {"a hyphen", "DL1-AB", 0},
      {"a byte from 0x80 up", "DL1\xC4" "B", 0},
      {"a lower-case byte from 0xE0 up is no letter", "\xE4\xE4" "1AB", 0},
      {"no digit", "ABCDE", 0},
      {"one letter", "K12/3", 0},
      {"twelve characters", "PA/DL1ABC/PX", 0},
      {"fourteen characters", "AB/DL1ABC/QRPX", 0},
  };
  for (const auto& r : rows) {
    for (const char* separator : {" ", ",", ".", "?", "\r", "\x04"}) {
      Window w;
      EXPECT_EQ(w.FeedText(r.word + separator), r.result ? std::vector<int>{1} : std::vector<int>{})
          << r.name << " / " << int(separator[0]);
      if (r.result != 0) {
        std::string upper = r.word;
        for (char& c : upper) c = static_cast<char>(AsciiUpper(static_cast<uint8_t>(c)));
        EXPECT_EQ(w.calls.CurrentCall(), upper) << r.name;
      }
    }
  }
}

TEST(CallFind, RepeatsOutsideAndDuringTransmission) {
  Window w;
  EXPECT_EQ(w.FeedText("K1ABC DE DL1AB K1ABC k1abc "), (std::vector<int>{1, 1, 1, 2}));
  EXPECT_EQ(w.calls.callFind().PreviousCall(), "K1ABC");
  // During transmission every call is new and the previous one stays.
  EXPECT_EQ(w.FeedText("DL1AB DL1AB ", true), (std::vector<int>{1, 1}));
  EXPECT_EQ(w.calls.callFind().PreviousCall(), "K1ABC");
  EXPECT_TRUE(w.calls.CallDuringTx());
  EXPECT_EQ(w.FeedText("K1ABC "), (std::vector<int>{2}));
  EXPECT_FALSE(w.calls.CallDuringTx());
  // The word counts as sent when its last character was.
  EXPECT_EQ(w.FeedText("DL1A"), std::vector<int>{});
  EXPECT_EQ(w.FeedText("B", true), std::vector<int>{});
  EXPECT_EQ(w.FeedText(" "), (std::vector<int>{1}));
  EXPECT_TRUE(w.calls.CallDuringTx());
}

TEST(CallFind, ACallIsColouredWhereItStands) {
  Window w;
  w.FeedText("CQ DE K1ABC ");
  // The call's first character stands at its position - 1.
  EXPECT_EQ(w.calls.CallPosition(), 7);
  EXPECT_EQ(w.memo.getChar(6), 'K');
  w.calls.Highlight("k1abc", 255);
  w.calls.Highlight("CQ", 255);  // too short: nothing
  w.calls.Highlight("DE", 255);
  w.calls.Highlight("ABCDEFGHIJKL", 255);  // too long
  // Another call than the current one is searched for.
  w.FeedText("DL1AB K ");
  w.calls.Highlight("K1ABC", 7);
  EXPECT_EQ(w.highlights.ranges, (std::vector<Range>{{6, 11, 255}, {6, 11, 7}}));
  // The window cleared: the current call is no longer there and nothing is coloured.
  w.highlights.ranges.clear();
  w.memo.Clear();
  w.calls.Highlight("DL1AB", 255);
  EXPECT_TRUE(w.highlights.ranges.empty());
}

TEST(CallFind, TheSearchReachesBackAThousandCharacters) {
  // The call starts `back` characters before the newest place a five-letter call can start.
  // (The current call is coloured wherever it still stands; this one is an older call.)
  for (const int back : {999, 1000, 1001}) {
    Window w;
    w.FeedText("DL1AB ");
    w.FeedText(std::string(static_cast<size_t>(back - 8), 'x'));
    w.FeedText(" K1ABC ");  // now the current call
    const int32_t count = w.memo.getCharCount();
    ASSERT_EQ(count - 5, back);
    const int32_t expected = back <= 1000 ? 0 : -1;
    EXPECT_EQ(w.calls.callFind().FindLastMatch("dl1ab"), expected) << back;
    w.calls.Highlight("DL1AB", 255);
    EXPECT_EQ(w.highlights.ranges.size(), back <= 1000 ? 1u : 0u) << back;
  }
}

TEST(MyCallFind, TheOwnCallInTheStream) {
  TMyCallFind f;
  f.SetPattern("xx0xxx");
  EXPECT_EQ(f.Pattern(), "XX0XXX");
  auto feed = [&](std::string_view text, bool transmitting = false, bool armed = true) {
    std::string fired;
    for (char c : text) fired.push_back(f.FeedChar(static_cast<uint8_t>(c), transmitting, armed) ? '!' : '.');
    return fired;
  };
  EXPECT_EQ(feed("DE XX0XXX K"), "........!..");
  EXPECT_EQ(feed("ABxx0xxxYZ"), ".......!..");  // inside a longer word, in any case
  EXPECT_EQ(feed("XX0XXX", false, false), "......");  // the beacon off or the setting off
  // Nothing is stored while transmitting.
  EXPECT_EQ(feed("XX0XX"), ".....");
  EXPECT_EQ(feed("Q", true), ".");
  EXPECT_EQ(feed("X"), "!");
  f.FeedChar('X', false, true);
  f.Reset();
  EXPECT_EQ(feed("X"), ".");
  // Fifteen characters at most.
  f.SetPattern("AB1CDEFGHIJKLMNOP");
  EXPECT_EQ(f.Pattern(), "AB1CDEFGHIJKLMN");
  EXPECT_EQ(feed("AB1CDEFGHIJKLMN").back(), '!');
  f.SetPattern("");
  EXPECT_EQ(feed("\x01\x02 AB1CDEFGHIJKLMN"), std::string(18, '.'));
}

TEST(MyCallFind, AnEmptyOwnCallSwitchesTheWatchOff) {
  Window w;
  w.settings.BeaconOffAtMyCall = 1;
  w.host.beacon = true;
  w.calls.SetOwnCall("");
  EXPECT_EQ(w.settings.BeaconOffAtMyCall, 0);
  w.settings.BeaconOffAtMyCall = 1;  // even when switched on again
  for (char c : std::string_view("DE XX0XXX \x01")) EXPECT_FALSE(w.calls.FeedMyCallChar(static_cast<uint8_t>(c), false));
  w.calls.SetOwnCall("XX0XXX");
  EXPECT_EQ(w.settings.BeaconOffAtMyCall, 1);
}

// Our "DE XX0XXX XX0XXX" echoed after the end of transmission has cleared TxState: the own
// call does not stop the beacon, the repeat does not stop it, and no call of it is told to the
// logger or the automation clients. An answer does all of that.
TEST(CallFind, OurOwnEchoedTransmissionIsNoAnswer) {
  Window w;
  w.settings.MyCall = "XX0XXX";
  w.calls.SetOwnCall(w.settings.MyCall);
  w.settings.BeaconOffAtMyCall = 1;
  w.settings.BeaconOffAtTwoCalls = 1;
  w.settings.CallColor = 255;
  w.host.beacon = true;
  w.Echo("VVV DE XX0XXX XX0XXX PA1ZZ PA1ZZ\r\n");
  EXPECT_EQ(w.host.beaconStops, 0);
  EXPECT_TRUE(w.host.told.empty());
  EXPECT_EQ(w.highlights.ranges.size(), 4u);  // sent calls are still coloured
  w.Receive("XX0XXX DE YY1YYY K\r\n");
  EXPECT_EQ(w.host.beaconStops, 1);
  EXPECT_EQ(w.host.told, (std::vector<std::string>{"OnCallsign YY1YYY", "FoundCall=YY1YYY"}));
  // Two identical calls received stop it too.
  w.host.beacon = true;
  w.Receive("YY1YYY ");
  EXPECT_EQ(w.host.beaconStops, 2);
}

}  // namespace
}  // namespace vestrel
