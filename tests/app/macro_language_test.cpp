// ctest-labels: unit
#include "app/macro_language.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace vestrel {
namespace {

struct NullPoster : Poster {
  void Post(uint32_t) override {}
};

// Every target of the escapes as a recorder; the transmit flags as plain fields.
class RecordingHost final : public MacroHost {
 public:
  TxSymbolQueue& Queue() override { return queue; }
  TTxState& Tx() override { return tx; }
  void SetTxLineState(int32_t s) override { Log("TxLineState " + std::to_string(s)); }
  int Mode() const override { return mode; }
  bool Transmitting() const override { return transmitting; }
  bool Paused() const override { return paused; }
  void SetTransmit(bool on) override {
    Log(std::string("SetTransmit ") + (on ? "1" : "0"));
    transmitting = on;
  }
  void SetPause(bool on) override {
    Log(std::string("SetPause ") + (on ? "1" : "0"));
    paused = on;
  }
  void HoldTyping() override { Log("HoldTyping"); }
  bool PumpBusy() const override { return pumpBusy; }
  void KeepCaretAfterSent() override { Log("KeepCaretAfterSent"); }
  void InsertAtCaret(const std::string& text) override { inserted.push_back(text); }
  void FocusInput() override { Log("FocusInput"); }
  void ClearInput() override { Log("ClearInput"); }
  void RunMacroLater(int n) override { Log("RunMacroLater " + std::to_string(n)); }
  void Later(std::function<void()> work) override { later.push_back(std::move(work)); }
  void SetAfc(bool on) override { Log(std::string("SetAfc ") + (on ? "1" : "0")); }
  void SetTxAfc(bool on) override { Log(std::string("SetTxAfc ") + (on ? "1" : "0")); }
  void SetRxFrequency(double hz) override { Log("SetRxFrequency " + std::to_string(int(hz))); }
  void SetTxFrequency(double hz) override { Log("SetTxFrequency " + std::to_string(int(hz))); }
  void StartBeacon() override { Log("StartBeacon"); }
  void StopBeacon() override { Log("StopBeacon"); }
  void ClearRx() override { Log("ClearRx"); }
  void ClearSent() override { Log("ClearSent"); }
  void ClearQsoFields() override { Log("ClearQsoFields"); }
  std::string QsoFieldText(QsoField f) const override { return fields[static_cast<size_t>(f)]; }
  void SetQsoFieldText(QsoField f, const std::string& text) override { fields[static_cast<size_t>(f)] = text; }
  void ExportQsoField(const std::string& key, const std::string& value, uint32_t code) override {
    Log("Export " + key + "=" + value + " " + std::to_string(code));
  }
  void OtherEditExit() override { Log("OtherEditExit"); }
  void LoggerCommand(uint32_t code, uint32_t flags) override {
    Log("LoggerCommand " + std::to_string(code) + " " + std::to_string(flags));
  }
  void ReplayLastAudio(int s) override { Log("Replay " + std::to_string(s)); }
  void SaveLastAudio(int s, bool decode) override {
    Log("Save " + std::to_string(s) + (decode ? " decode" : ""));
  }
  std::string ShortDate(const CivilTime& t) const override {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", t.day, t.month, t.year);
    return buf;
  }
  void AddSymbol(int s) override { Log("AddSymbol " + std::to_string(s)); }

  void Log(std::string s) { log.push_back(std::move(s)); }
  std::vector<TxSymbol> Symbols() {
    std::vector<TxSymbol> out;
    while (!queue.Empty()) {
      out.push_back(queue.Head());
      queue.Pop();
    }
    return out;
  }
  // The message is handled: the work posted meanwhile runs.
  void EndOfMessage() {
    auto work = std::move(later);
    later.clear();
    for (auto& w : work) w();
  }

  NullPoster poster;
  TxSymbolQueue queue{poster};
  TTxState tx;
  int mode = 0;
  bool transmitting = false, paused = false, pumpBusy = false;
  std::array<std::string, 4> fields;
  std::vector<std::string> log, inserted;
  std::vector<std::function<void()>> later;
};

// Runs work on a thread of its own; work that hangs ends the test program with a failure
// (the thread cannot be stopped, and waiting for it would hang the test too).
template <typename F>
auto WithinSeconds(int seconds, F work) {
  auto done = std::async(std::launch::async, std::move(work));
  if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    std::fprintf(stderr, "%s: still running after %d s\n",
                 ::testing::UnitTest::GetInstance()->current_test_info()->name(), seconds);
    std::fflush(stderr);
    std::_Exit(1);
  }
  return done.get();
}

struct Macros : ::testing::Test {
  Macros() {
    settings.UTCoffset = -1;
    // 2026-12-10 21:05:00 UTC, local zone one hour ahead.
    clock.utcSeconds = test::UtcOf(2026, 12, 10, 21, 5, 0);
    clock.localOffset = 3600;
  }
  std::string Expand(std::string text) {
    lang.ExpandAll(text);
    return text;
  }

  RecordingHost host;
  TMacroTable table;
  TAppSettings settings;
  test::FakeClock clock;
  TMacroLanguage lang{host, table, settings, clock};
};

TEST_F(Macros, EscapesInsertTheirTextAndUnknownOrUpperCaseOnesVanish) {
  host.fields = {"DK2XY", "599", "Hans", "0042"};
  lang.SetVal("qth", "Bonn");
  const struct {
    const char* in;
    const char* out;
  } rows[] = {
      {"a ~[TX] b ~[X] c", "a  b  c"},
      {"one~[lf]two", "one\r\ntwo"},
      {"end~[lf", "end\r\n"},
      {"~[ec] ~[esc] ~[er] ~[esr] ~[en] ~[esn] ~[eo] ~[eso]", "DK2XY DK2XY 599 599 Hans Hans 0042 0042"},
      {"~[jqth]/~[jQTH]", "Bonn/***"},
      {"~[dl] ~[du] ~[tl] ~[tu]", "10/12/2026 10/12/2026 22:05 21:05"},
      {"x~[nothing]y~[]z", "xyz"},
      {"~[lf\x01rest", "\r\n\x01rest"},
  };
  for (const auto& r : rows) EXPECT_EQ(Expand(r.in), r.out) << r.in;
}

TEST_F(Macros, UtcFollowsTheOffsetSetting) {
  settings.UTCoffset = 90;  // UTC taken as local time plus 90 minutes
  EXPECT_EQ(Expand("~[tu] ~[du]"), "23:35 10/12/2026");
  clock.localOffset = 2 * 3600;
  EXPECT_EQ(Expand("~[tu] ~[du]"), "00:35 11/12/2026");
}

TEST_F(Macros, MacroFiveInsideMacroFourIsExpandedToo) {
  table.Macro[4] = "CQ ~[m5] K";
  table.Macro[5] = "DE ~[ec]";
  host.fields[0] = "DK2XY";
  lang.RunMacro(4);
  ASSERT_EQ(host.inserted.size(), 1u);
  EXPECT_EQ(host.inserted[0], "CQ DE DK2XY K");
  EXPECT_EQ(host.log, (std::vector<std::string>{"HoldTyping", "HoldTyping", "KeepCaretAfterSent", "FocusInput"}));
  // A number outside 0..36 inserts nothing.
  table.Macro[1] = "~[m37]~[m36]";
  table.Macro[36] = "beacon";
  EXPECT_EQ(Expand(table.Macro[1]), "beacon");
}

TEST_F(Macros, TonesRetuneOnlyInsideTheOpenRange) {
  Expand("~[rf350]~[rf3950]~[rf351]~[rf3949]~[tf350]~[tf1000]~[rfabc]");
  EXPECT_EQ(host.log, (std::vector<std::string>{"SetRxFrequency 351", "SetRxFrequency 3949",
                                                "SetTxFrequency 1000"}));
}

TEST_F(Macros, ABodyIsCutAfter98Characters) {
  const std::string body(120, 'q');
  EXPECT_EQ(Expand("a~[" + body + "]b"), "a" + std::string(22, 'q') + "]b");
  // 98 characters and then "]": the escape is whole.
  EXPECT_EQ(Expand("a~[" + std::string(98, 'q') + "]b"), "ab");
}

TEST_F(Macros, ControlEscapesQueueTheirSymbols) {
  using S = std::vector<TxSymbol>;
  host.transmitting = true;
  Expand("~[pa]");
  EXPECT_TRUE(host.tx.PausePoint);
  EXPECT_EQ(host.Symbols(), S{kTxPausePoint});
  Expand("~[rx]");
  EXPECT_EQ(host.Symbols(), (S{kTxLtrs, kTxEnd}));
  // One end is enough: a second one queues nothing behind the first.
  Expand("~[rx]");
  EXPECT_TRUE(host.Symbols().empty());
  host.tx.EndQueued = false;
  host.mode = 20;
  Expand("~[rx]");
  EXPECT_EQ(host.Symbols(), (S{kTxBlockPad, kTxEnd}));
  host.tx.EndQueued = false;
  host.tx.TxEnding = 1;
  Expand("~[rx]");
  EXPECT_TRUE(host.Symbols().empty());
  host.mode = 12;
  Expand("~[tn]");
  EXPECT_EQ(host.Symbols(), (S{-23, -23, -23, -23, -26, -26}));
  host.mode = 1;
  Expand("~[tn]");
  EXPECT_EQ(host.Symbols(), S{kTxLtrs});
  // "clear": the queue and the pause point go with Input.
  host.queue.PostTxSymbol('A');
  Expand("~[clear]");
  EXPECT_TRUE(host.queue.Empty());
  EXPECT_FALSE(host.tx.PausePoint);
  EXPECT_EQ(host.log.back(), "ClearInput");
}

TEST_F(Macros, MorseTextStartsTheTransmissionAndResumesOrEnds) {
  Expand("~[cwrE]");
  EXPECT_EQ(host.log, (std::vector<std::string>{"TxLineState 1", "SetTransmit 1"}));
  EXPECT_EQ(host.Symbols(), (std::vector<TxSymbol>{kTxStopCarrier, kTxCwDit, kTxCwGap, kTxEnd}));
  host.log.clear();
  host.paused = true;
  host.mode = 22;
  Expand("~[cw T]");
  EXPECT_EQ(host.log, (std::vector<std::string>{"TxLineState 1", "SetPause 0"}));
  EXPECT_EQ(host.Symbols(), (std::vector<TxSymbol>{kTxBlockPad, kTxStopCarrier, kTxCwDah, kTxCwGap, kTxLineReset,
                                                   kTxPreamble, kTxLtrs, kTxLtrs}));
}

TEST_F(Macros, SwitchAndLoggerEscapesReachTheirTargets) {
  host.paused = true;
  host.fields = {"DK2XY9", "599", "", " 007 "};
  Expand("~[tx1]~[afr1]~[afr0]~[aft1]~[aftx]~[bon]~[bof]~[crx]~[csnt]~[ce]~[ls]~[lts]~[lt]~[ltx]~[lc]"
         "~[rp5]~[rp0]~[sv10]~[svp3]~[sv]~[nic]~[nir]~[nin]~[nio]");
  EXPECT_EQ(host.log, (std::vector<std::string>{
                          "SetTransmit 1", "SetPause 0", "SetAfc 1", "SetAfc 0", "SetTxAfc 1", "SetTxAfc 0",
                          "StartBeacon", "StopBeacon", "ClearRx", "ClearSent", "ClearQsoFields",
                          "LoggerCommand 128 0", "LoggerCommand 130 0", "LoggerCommand 132 0",
                          "LoggerCommand 132 0", "LoggerCommand 133 4294967270", "Replay 5", "Save 10",
                          "Save 3 decode", "Export Call=DK2XY10 4", "Export RprtSent=600 32", "Export Name=1 128",
                          "OtherEditExit"}));
  EXPECT_EQ(host.fields[3], "008");
}

TEST(IncrementNumberText, CountsTheLastNumberUp) {
  const struct {
    const char* in;
    const char* out;
  } rows[] = {{"599", "600"}, {"A9", "A10"}, {"12B", "13B"}, {"X", "X1"}, {" 007 ", "008"},
              {"", "1"},      {"  ", "1"},   {"9", "10"},    {"A9Z", "A10Z"}, {"1-99", "1-100"}};
  for (const auto& r : rows) {
    std::string s = r.in;
    IncrementNumberText(s);
    EXPECT_EQ(s, r.out) << '"' << r.in << '"';
  }
}

TEST_F(Macros, NamedValuesAreExactAndReplaced) {
  EXPECT_EQ(lang.GetVal("a"), "***");
  lang.SetVal("a", "1");
  lang.SetVal("A", "2");
  lang.SetVal("a", "3");
  EXPECT_EQ(lang.GetVal("a"), "3");
  EXPECT_EQ(lang.GetVal("A"), "2");
  EXPECT_EQ(lang.GetVal("a "), "***");
  lang.SetVal("", "empty name");
  EXPECT_EQ(Expand("~[j]~[ja]"), "empty name3");
}

TEST_F(Macros, FilesAreReadWithSlashesAndCrLfAndTheirEscapesExpanded) {
  test::TempDir dir;
  const std::string lf = dir.path().string() + "/lf.txt", crlf = dir.path().string() + "/crlf.txt";
  std::ofstream(lf, std::ios::binary) << "line ~[ec]\nsecond\n";
  std::ofstream(crlf, std::ios::binary) << "line ~[ec]\r\nsecond\r\n";
  host.fields[0] = "DK2XY";
  std::string backslashed = lf;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  EXPECT_EQ(Expand("~[f" + lf + "]"), "line DK2XY\r\nsecond\r\n");
  EXPECT_EQ(Expand("~[f" + crlf + "]"), "line DK2XY\r\nsecond\r\n");
  EXPECT_EQ(Expand("~[f" + backslashed + "]"), "line DK2XY\r\nsecond\r\n");
  EXPECT_EQ(Expand("<~[f" + dir.path().string() + "/missing]>"), "<***>");
  // Each piece of 99 bytes is taken up to its first NUL.
  std::string withNul(120, 'a');
  withNul[10] = '\0';
  std::ofstream(dir.path().string() + "/nul", std::ios::binary) << withNul;
  EXPECT_EQ(Expand("~[f" + dir.path().string() + "/nul]"), std::string(10, 'a') + std::string(21, 'a'));
}

TEST_F(Macros, IniValuesComeFromTheLoggersIniFile) {
  test::TempDir dir;
  std::ofstream(dir.path().string() + "/brusk.ini", std::ios::binary) << "[QSO]\r\nCall=\"DL1ABC\"\r\nQth=~[f/etc/passwd]\r\n";
  std::string path = dir.path().string() + "/brusk.ini";
  std::replace(path.begin(), path.end(), '/', '\\');
  settings.ExternIniFile = path;
  EXPECT_EQ(Expand("~[iCall] ~[iqth] ~[iNone]"), "DL1ABC [f/etc/passwd] ***");
  settings.ExternIniSection = "Other";
  EXPECT_EQ(Expand("~[iCall]"), "***");
  settings.ExternIniFile = dir.path().string() + "/absent.ini";
  EXPECT_EQ(Expand("~[iCall]"), "***");
}

TEST(ShortBounds, NumbersBeyondInt32AreOutOfRange) {
  EXPECT_EQ(EscapeNumber("12x"), 12);
  EXPECT_EQ(EscapeNumber("x"), 0);
  EXPECT_EQ(EscapeNumber(""), 0);
  EXPECT_EQ(EscapeNumber("2147483647"), 2147483647);
  EXPECT_EQ(EscapeNumber("2147483648"), std::nullopt);
  EXPECT_EQ(EscapeNumber("4294967297"), std::nullopt);
}

// --- Faults of the escape language, each shown by the fixture that hangs or misbehaves.

// "~[m4294967297]" wrapped to macro 1, "~[rf4294968646]" to 1350 Hz.
TEST_F(Macros, NumbersThatWrapDoNothing) {
  table.Macro[1] = "ONE";
  EXPECT_EQ(Expand("<~[m4294967297]>"), "<>");
  Expand("~[rf4294968646]~[tf4294968646]~[rp4294967297]~[sv4294967297]");
  EXPECT_TRUE(host.log.empty());
}

// A macro that inserts itself, directly or through others, expanded without end.
TEST_F(Macros, SelfIncludingMacrosEnd) {
  table.Macro[1] = "~[m1]";
  table.Macro[2] = "x~[m2]";
  for (int n = 3; n < 36; ++n) table.Macro[size_t(n)] = "~[m" + std::to_string(n + 1) + "]~[m" + std::to_string(n + 1) + "]";
  table.Macro[36] = "ab";
  for (int n : {1, 2, 3}) WithinSeconds(20, [&, n] { lang.RunMacro(n); });
  ASSERT_EQ(host.inserted.size(), 2u);  // macro 1 comes to nothing
  EXPECT_EQ(host.inserted[0], std::string(kMacroInsertLimit + 1, 'x'));
  EXPECT_LE(host.inserted[1].size(), kMacroTextLimit);
}

// A file that names itself, and a result that outgrows every bound.
TEST_F(Macros, SelfIncludingFilesAndLargeResultsEnd) {
  test::TempDir dir;
  const std::string self = dir.path().string() + "/self.txt";
  std::ofstream(self, std::ios::binary) << "me ~[f" << self << "]";
  const std::string big = dir.path().string() + "/big.txt";
  std::ofstream(big, std::ios::binary) << std::string(60000, 'b') << "~[f" << big << "]";
  std::string text = "~[f" + self + "]";
  const std::string b = WithinSeconds(20, [&] {
    lang.ExpandAll(text);
    std::string b = "~[f" + big + "]";
    lang.ExpandAll(b);
    return b;
  });
  EXPECT_EQ(text.size(), 3u * kMacroInsertLimit);
  EXPECT_LE(b.size(), kMacroTextLimit);
  EXPECT_GT(b.size(), kMacroTextLimit - 60100);
  EXPECT_EQ(b.find("~["), std::string::npos);
}

// At the send position the pump expands one escape after another while it handles one
// message: "`[m5]" in macro 5 came back for ever. The expansions share one bound, which
// starts again once the message has been handled.
TEST_F(Macros, EscapesAtTheSendPositionShareTheBound) {
  table.Macro[5] = "`[m5]";
  // The pump's loop at the send position, bounded here by the test.
  auto pass = [&] {
    std::string input = "`[m5] rest";
    int rounds = 0;
    while (input.size() > 1 && input[0] == '`' && input[1] == '[' && rounds < 100000) {
      const size_t end = input.find(']');
      std::string escape = input.substr(0, end + 1);
      escape[0] = '~';
      while (lang.ExpandMacroEscape(escape)) {
      }
      input.replace(0, end + 1, escape);
      ++rounds;
    }
    return std::pair(input, rounds);
  };
  const auto [left, rounds] = pass();
  EXPECT_EQ(left, " rest");
  EXPECT_EQ(rounds, kMacroInsertLimit + 1);
  host.EndOfMessage();
  EXPECT_EQ(lang.InsertsUsed(), 0);
  EXPECT_EQ(pass().second, kMacroInsertLimit + 1);
}

// A received word picked into a QSO field ("~[f/home/op/.ssh/id_rsa]" as Name) made "~[en]"
// send a local file; the same for the ini and the named values.
TEST_F(Macros, InsertsFromOutsideNeverFormAnEscape) {
  test::TempDir dir;
  const std::string secret = dir.path().string() + "/secret";
  std::ofstream(secret) << "SECRET";
  host.fields[2] = "~[f" + secret + "]";
  host.fields[0] = "`[rx]";
  host.fields[1] = "~~`[m1]";
  host.fields[3] = "[f" + secret + "]";
  table.Macro[1] = "M1";
  lang.SetVal("v", "a~[m1]b~");
  const struct {
    const char* in;
    std::string out;
  } rows[] = {
      {"~[en]", "[f" + secret + "]"},
      {"~[ec]", "[rx]"},
      {"~[er]", "[m1]"},
      {"~[jv]", "a[m1]b~"},
      {"~[jv][m1]", "a[m1]b[m1]"},  // a tilde at the end of the insert before "["
      {"~~[eo]", "[f" + secret + "]"},  // the text's own tilde before the insert's "["
      {"`~[eo]", "[f" + secret + "]"},
  };
  for (const auto& r : rows) EXPECT_EQ(Expand(r.in), r.out) << r.in;
  table.Macro[2] = "Name: ~[en]";
  lang.RunMacro(2);
  ASSERT_EQ(host.inserted.size(), 1u);
  EXPECT_EQ(host.inserted[0], "Name: [f" + secret + "]");
}

// "~[f" read to the end of the file: a FIFO or /dev/zero never ended.
TEST_F(Macros, OnlyRegularFilesAreReadAndOnlyUpToTheBound) {
  test::TempDir dir;
  const std::string fifo = dir.path().string() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto done = std::async(std::launch::async, [&] { return Expand("<~[f" + fifo + "]~[f/dev/zero]~[f" + dir.path().string() + "]>"); });
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Let the blocked reader go before failing.
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    FAIL() << "reading a FIFO waits";
  }
  EXPECT_EQ(done.get(), "<*********>");
  const std::string big = dir.path().string() + "/big";
  std::ofstream(big, std::ios::binary) << std::string(kMacroFileLimit + 5000, 'z');
  EXPECT_EQ(Expand("~[f" + big + "]").size(), kMacroFileLimit);
}

// RunMacro waited while a pump pass ran; on one thread the pass is below it on the stack.
TEST_F(Macros, AMacroDuringAPumpPassIsDeferredNotAwaited) {
  table.Macro[3] = "text";
  host.pumpBusy = true;
  lang.RunMacro(3);
  EXPECT_EQ(host.log, std::vector<std::string>{"RunMacroLater 3"});
  EXPECT_TRUE(host.inserted.empty());
  EXPECT_TRUE(clock.sleeps.empty());
  host.pumpBusy = false;
  lang.RunMacro(3);
  EXPECT_EQ(host.inserted, std::vector<std::string>{"text"});
}

// "~[rx]" while paused: the paused pump never reached the end and the transmitter stayed keyed.
TEST_F(Macros, ReceiveWhilePausedReleasesThePause) {
  host.transmitting = true;
  host.paused = true;
  host.queue.PostTxSymbol('A');
  Expand("~[rx]");
  EXPECT_EQ(host.log, std::vector<std::string>{"SetPause 0"});
  EXPECT_EQ(host.Symbols(), (std::vector<TxSymbol>{'A', kTxLtrs, kTxEnd}));
}

}  // namespace
}  // namespace vestrel
