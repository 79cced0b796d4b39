// ctest-labels: unit
#include "io/exchange_input.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/modes/packet/packet_channel.h"

namespace vestrel {
namespace {

// Records what a parser hands on. The macro language is a stand-in: "~[name]" becomes "Bob",
// "~[self]" names itself (it expands to itself for ever), anything else is no escape.
class FakeTarget final : public ExchangeInputTarget {
 public:
  bool kiss = false;
  std::vector<std::vector<int16_t>> frames;
  std::vector<std::pair<int, int>> commands;
  std::vector<std::string> words;  // each word as it reached the expansion
  int expansions = 0;              // calls of the expansion
  std::string text;
  TPacketChannel channel;

  bool KissInput() const override { return kiss; }
  void QueueFrame(std::span<const int16_t> items) override { frames.emplace_back(items.begin(), items.end()); }
  void KissCommand(int command, uint8_t value) override {
    commands.emplace_back(command, value);
    channel.ApplyKissCommand(command, value);
  }
  bool ExpandMacroEscape(std::string& word) override {
    if (expandingWord_ != &word) {
      words.push_back(word);
      expandingWord_ = &word;
    }
    ++expansions;
    const size_t at = word.find("~[");
    if (at == std::string::npos) return false;
    const size_t end = word.find(']', at);
    const std::string name = word.substr(at + 2, end == std::string::npos ? std::string::npos : end - at - 2);
    const size_t len = end == std::string::npos ? word.size() - at : end - at + 1;
    if (name == "self") return true;
    word.replace(at, len, name == "name" ? "Bob" : "");
    return true;
  }
  void AppendText(const std::string& t) override { text += t; }
  // Every pass over a word happens within the call that ends it.
  void Put(TExtInputHandler& h, int byte) {
    h.PutByte(byte, *this);
    expandingWord_ = nullptr;
  }

 private:
  const std::string* expandingWord_ = nullptr;
};

std::vector<int> Bytes(const std::string& s) {
  std::vector<int> v;
  for (char c : s) v.push_back(static_cast<uint8_t>(c));
  return v;
}

std::vector<int> Cat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A KISS data frame's bytes as the peer sends them (none of them FEND or FESC).
std::vector<int> KissData(int n) {
  std::vector<int> v{0xC0, 0x00};
  for (int i = 0; i < n; ++i) v.push_back('a' + i % 26);
  v.push_back(0xC0);
  return v;
}

// The data bytes of a queued frame: it runs flag, data, two check bytes, flag.
std::vector<int> DataOf(const std::vector<int16_t>& items) {
  std::vector<int> v;
  if (items.size() < 3) return {-1};
  EXPECT_EQ(items.front(), HdlcFlagItem);
  EXPECT_EQ(items.back(), HdlcFlagItem);
  for (size_t i = 1; i + 3 < items.size(); ++i) v.push_back(items[i]);
  return v;
}

TEST(ExchangeInputTest, PutByteCases) {
  struct Case {
    const char* name;
    bool kiss;
    std::vector<int> bytes;
    std::string text;                      // appended for the transmitter
    std::vector<std::string> words;        // reached the expansion
    std::vector<std::vector<int>> frames;  // data bytes of each queued frame
    std::vector<std::pair<int, int>> commands;
  };
  const std::string word91 = "~" + std::string(90, 'w');
  const Case cases[] = {
      {"two letters and CR LF", false, Bytes("AB\r\n"), "AB\r\n", {}, {}, {}},
      {"LF LF is two line ends", false, Bytes("A\n\nB"), "A\r\n\r\nB", {}, {}, {}},
      {"CR CR is one", false, Bytes("A\r\rB"), "A\r\nB", {}, {}, {}},
      {"LF CR is one", false, Bytes("A\n\rB"), "A\r\nB", {}, {}, {}},
      {"escape byte by byte is one word", false, Bytes("x~[name]y"), "xBoby", {"~[name]"}, {}, {}},
      {"word without escape keeps its space", false, Bytes("~abc d"), "~abc d", {"~abc "}, {}, {}},
      {"grave accent starts a word", false, Bytes("`q]z"), "`q]z", {"`q]"}, {}, {}},
      {"91 characters end a word", false, Bytes(word91 + "x"), word91 + "x", {word91}, {}, {}},
      {"word ended by CR LF gives one line end", false, Bytes("~73\r\n"), "~73\r\n", {"~73"}, {}, {}},
      {"line end after a word after a line end", false, Bytes("A\r\n~73\r\nB"), "A\r\n~73\r\nB", {"~73"}, {}, {}},
      {"word ended by LF", false, Bytes("~[nam\nB"), "\r\nB", {"~[nam"}, {}, {}},
      {"a macro that names itself ends", false, Bytes("~[self]."), "~[self].", {"~[self]"}, {}, {}},
      {"0x80..0xFF are text", false, {0x80, 0xE9, 0xFF, 'A'}, "\x80\xE9\xFF" "A", {}, {}, {}},
      {"0 and negatives ignored", false, {'A', 0, -1, -64, 'B'}, "AB", {}, {}, {}},
      {"KISS bytes in text form are text", false, {0xC0, 0x00, 'A', 0xC0}, "\xC0" "A\xC0", {}, {}, {}},
      {"two-byte data frame", true, {0xC0, 0x00, 'A', 'B', 0xC0}, "", {}, {{'A', 'B'}}, {}},
      {"TXDELAY", true, {0xC0, 0x01, 0x05, 0xC0}, "", {}, {}, {{1, 5}}},
      {"full duplex", true, {0xC0, 0x05, 0x01, 0xC0}, "", {}, {}, {{5, 1}}},
      {"escaped FEND", true, {0xC0, 0x00, 0xDB, 0xDC, 0xC0}, "", {}, {{0xC0}}, {}},
      {"FESC then another byte drops", true, {0xC0, 0x00, 'A', 0xDB, 0x41, 'B', 0xC0}, "", {}, {}, {}},
      {"empty data frame dropped", true, {0xC0, 0x00, 0xC0}, "", {}, {}, {}},
      {"text outside a frame ignored", true, Cat(Bytes("hi ~[name]\r"), {0xC0, 0x00, 'A', 0xC0}), "", {}, {{'A'}}, {}},
      {"negatives ignored in KISS", true, {0xC0, 0x00, -1, 'A', -64, 0xC0}, "", {}, {{'A'}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTarget t;
    t.kiss = c.kiss;
    TExtInputHandler h;
    for (int b : c.bytes) t.Put(h, b);
    EXPECT_EQ(t.text, c.text);
    EXPECT_EQ(t.words, c.words);
    std::vector<std::vector<int>> frames;
    for (const auto& f : t.frames) frames.push_back(DataOf(f));
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(t.commands, c.commands);
  }
}

// A frame of 2044 items (type byte and 2043 data bytes) is the longest kept.
TEST(ExchangeInputTest, LongestFrame) {
  FakeTarget t;
  t.kiss = true;
  TExtInputHandler h;
  for (int b : KissData(2043)) t.Put(h, b);
  ASSERT_EQ(t.frames.size(), 1u);
  EXPECT_EQ(DataOf(t.frames[0]).size(), 2043u);
  for (int b : KissData(2044)) t.Put(h, b);
  EXPECT_EQ(t.frames.size(), 1u);
  // The parser goes on after the dropped frame.
  for (int b : KissData(3)) t.Put(h, b);
  EXPECT_EQ(t.frames.size(), 2u);
}

TEST(ExchangeInputTest, SelfNamingMacroEndsAfterTheBound) {
  FakeTarget t;
  TExtInputHandler h;
  for (int b : Bytes("~[self]")) t.Put(h, b);
  EXPECT_EQ(t.expansions, TExtInputHandler::kMaxExpansionPasses);
  EXPECT_EQ(t.text, "~[self]");
}

TEST(ExchangeInputTest, KissParameters) {
  FakeTarget t;
  t.kiss = true;
  TExtInputHandler h;
  const int32_t slot = t.channel.PacketSlotTime.load();
  for (int b : std::vector<int>{0xC0, 0x02, 0x07, 0xC0, 0x03, 0x04, 0xC0, 0x04, 0x09, 0xC0, 0x01, 30, 0xC0})
    t.Put(h, b);
  EXPECT_EQ(t.channel.PacketPersistence.load(), 7);
  EXPECT_EQ(t.channel.PacketSlotTime.load(), 40);
  EXPECT_EQ(t.channel.PacketTxTail.load(), 90);
  EXPECT_EQ(t.channel.PacketTxDelay.load(), 300);
  EXPECT_NE(slot, 40);
  // Command 6 (the hardware command) changes nothing.
  const int32_t p = t.channel.PacketPersistence.load(), d = t.channel.PacketTxDelay.load();
  for (int b : std::vector<int>{0xC0, 0x06, 0x01, 0xC0}) t.Put(h, b);
  EXPECT_EQ(t.channel.PacketPersistence.load(), p);
  EXPECT_EQ(t.channel.PacketTxDelay.load(), d);
  EXPECT_EQ(t.channel.PacketFullDuplex.load(), 0);
}

// A word or frame in progress survives a switch of form.
TEST(ExchangeInputTest, PartialWordSurvivesAModeChange) {
  FakeTarget t;
  TExtInputHandler h;
  for (int b : Bytes("~[na")) t.Put(h, b);
  t.kiss = true;
  t.Put(h, 0xC0);
  t.kiss = false;
  for (int b : Bytes("me]")) t.Put(h, b);
  EXPECT_EQ(t.text, "Bob");
}

TEST(ExchangeInputTest, PreBuffTakesWholeTextOnce) {
  TPreBuff b;
  int calls = 0;
  std::string got;
  auto take = [&](const std::string& s) {
    ++calls;
    got += s;
  };
  EXPECT_EQ(b.Take(take), 0);
  EXPECT_EQ(calls, 0);
  b.Append("ab");
  b.Append("\r\n");
  EXPECT_EQ(b.Take(take), 0);
  EXPECT_EQ(got, "ab\r\n");
  b.Take(take);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace vestrel
