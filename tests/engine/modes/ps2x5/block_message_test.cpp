#include "engine/modes/ps2x5/block_message.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/fake_clock.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

BlockContent Data(int counter, const std::string& text) {
  BlockContent b;
  b.kind = BlockContent::kData;
  b.counter = counter;
  for (size_t i = 0; i < text.size() && i < 7; ++i) b.bytes[i] = static_cast<uint8_t>(text[i]);
  b.length = 7;
  return b;
}

BlockContent End(int counter, const std::string& text) {
  BlockContent b = Data(counter, text);
  b.kind = BlockContent::kEnd;
  b.length = static_cast<int>(text.size());
  return b;
}

std::set<std::string> Files(const fs::path& dir) {
  std::set<std::string> names;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

class BlockMessageTest : public ::testing::Test {
 protected:
  BlockMessageTest() {
    capture.directory = dir.path() / "PS2X5_REC";
    capture.save = true;
    capture.clock = &clock;
    clock.utcSeconds = 1234567890;
  }
  std::string FileText(const std::string& name) { return test::ReadWholeFile((capture.directory / name).string()); }

  test::TempDir dir;
  test::FakeClock clock;
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  BlockCaptureSettings capture;
  TBlockMessage message{sink, window, capture};
};

TEST_F(BlockMessageTest, CleanTransmissionPrintsTextReportAndLeavesAnOFile) {
  message.Output(Data(8, "The qui"), 0);
  message.Output(Data(9, "ck brow"), 0);
  message.Output(Data(10, "n fox j"), 0);
  EXPECT_TRUE(message.Open());
  message.Output(End(11, "umps"), 0);
  EXPECT_FALSE(message.Open());
  EXPECT_EQ(message.LastCounter(), TBlockMessage::kNoCounter);
  EXPECT_EQ(sink.text, "\r\nThe quick brown fox jumps{ER=0.0%}");
  EXPECT_EQ(Files(capture.directory), std::set<std::string>{"01234567890-RO-0000.TXT"});
  EXPECT_EQ(FileText("01234567890-RO-0000.TXT"), "The quick brown fox jumps");
  EXPECT_TRUE(window.fileErrors.empty());
}

// The corrected symbols count as errors: 3 of 4 x 31 symbols is 2.4 %, 24 tenths.
TEST_F(BlockMessageTest, CorrectedSymbolsGiveTheRate) {
  message.Output(Data(8, "ABCDEFG"), 2);
  message.Output(Data(9, "HIJKLMN"), 0);
  message.Output(Data(10, "OPQRSTU"), 1);
  message.Output(End(11, ""), 0);
  EXPECT_EQ(sink.text, "\r\nABCDEFGHIJKLMNOPQRSTU{ER=2.4%}");
  EXPECT_EQ(Files(capture.directory), std::set<std::string>{"01234567890-RO-0024.TXT"});
}

TEST_F(BlockMessageTest, ALostBlockInTheMiddleIsMarkedAndNamesTheFileE) {
  message.Output(Data(8, "ABCDEFG"), 0);
  message.Output(Data(10, "OPQRSTU"), 0);
  message.Output(End(11, "XY"), 0);
  const std::string lost(TBlockMessage::kLostMark);
  EXPECT_EQ(sink.text, "\r\nABCDEFG" + lost + "OPQRSTUXY{ER=25.0%}");
  EXPECT_EQ(Files(capture.directory), std::set<std::string>{"01234567890-RE-0250.TXT"});
  EXPECT_EQ(FileText("01234567890-RE-0250.TXT"), "ABCDEFG" + lost + "OPQRSTUXY");
}

// Counter 3 first: blocks 8..15 and 0..2 went by, 11 marks.
TEST_F(BlockMessageTest, JoiningAtCounterThreePrintsElevenMarksFirst) {
  message.Output(Data(3, "ABCDEFG"), 0);
  std::string marks;
  for (int i = 0; i < 11; ++i) marks += TBlockMessage::kLostMark;
  EXPECT_EQ(sink.text, "\r\n" + marks + "ABCDEFG");
  EXPECT_EQ(message.Symbols(), 12 * 31);
  EXPECT_EQ(message.ErrorSymbols(), 11 * 31);
}

// The sequencing of every kind of counter step: the text printed for each block ('|' where a
// message starts, '_' for each lost block, '}' for a summary) and what stays open.
TEST_F(BlockMessageTest, CountersOrderTheBlocks) {
  struct Case {
    const char* name;
    std::vector<int> counters;
    std::string expected;
  };
  const Case cases[] = {
      {"a transmission", {8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 7, 0}, "|89ABCDEF01_____70"},
      {"15 to 0 loses nothing", {14, 15, 0}, "|______EF0"},
      {"after 7 comes 0", {8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7, 0}, "|89ABCDEF012345670"},
      {"the same counter 0..7 again is a whole round lost", {8, 2, 2}, "|8_2_______2"},
      {"9..15 repeated: a new transmission", {8, 9, 9}, "|89_}|_9"},
      {"9..15 after 8..15 with a gap", {8, 12}, "|8___C"},
      {"9..15 below the last counts on modulo 8", {8, 14, 9}, "|8_____E__9"},
      {"9..15 after 0..7: a new transmission", {8, 9, 10, 11, 12, 13, 14, 15, 0, 10},
       "|89ABCDEF0_}|__A"},
      {"8 closes an open message", {8, 9, 8}, "|89_}|8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::FakeRxSink s;
    BlockCaptureSettings none;
    none.save = false;
    TBlockMessage m(s, window, none);
    for (int counter : c.counters) {
      BlockContent b = Data(counter, "");
      b.length = 1;
      b.bytes[0] = static_cast<uint8_t>("0123456789ABCDEF"[counter]);
      m.Output(b, 0);
    }
    std::string got;
    for (size_t i = 0; i < s.text.size();) {
      if (s.text.compare(i, 2, "\r\n") == 0) {
        got += '|';
        i += 2;
      } else if (s.text.compare(i, 7, TBlockMessage::kLostMark) == 0) {
        got += '_';
        i += 7;
      } else if (s.text.compare(i, 4, "{ER=") == 0) {
        got += '}';
        i = s.text.find('}', i) + 1;
      } else {
        got += s.text[i++];
      }
    }
    EXPECT_EQ(got, c.expected);
  }
}

TEST_F(BlockMessageTest, EndMessageCountsALostBlockWhenAsked) {
  message.Output(Data(8, "ABCDEFG"), 0);
  message.EndMessage(true);
  EXPECT_EQ(sink.text, "\r\nABCDEFG_______{ER=50.0%}");
  EXPECT_EQ(Files(capture.directory), std::set<std::string>{"01234567890-RE-0500.TXT"});
  // Nothing open: nothing more.
  message.EndMessage(true);
  EXPECT_EQ(sink.text, "\r\nABCDEFG_______{ER=50.0%}");
}

TEST_F(BlockMessageTest, SavingOffPrintsButWritesNothing) {
  capture.save = false;
  message.Output(Data(8, "ABCDEFG"), 0);
  message.Output(End(9, "H"), 0);
  EXPECT_EQ(sink.text, "\r\nABCDEFGH{ER=0.0%}");
  EXPECT_FALSE(fs::exists(capture.directory));
}

TEST_F(BlockMessageTest, BitsSinceGoodCountOnlyWhileOpen) {
  message.CountBit();
  EXPECT_EQ(message.BitsSinceGood(), 0);
  message.Output(Data(8, "ABCDEFG"), 0);
  message.CountBit();
  message.CountBit();
  EXPECT_EQ(message.BitsSinceGood(), 2);
  message.ClearBitsSinceGood();
  EXPECT_EQ(message.BitsSinceGood(), 0);
}

// Two messages in the same second with the same letter and rate: the second file gets the
// next free name instead of replacing the first.
TEST_F(BlockMessageTest, TwoMessagesInOneSecondKeepBothFiles) {
  message.Output(Data(8, "FIRST.."), 0);
  message.Output(End(9, ""), 0);
  message.Output(Data(8, "SECOND."), 0);
  message.Output(End(9, ""), 0);
  EXPECT_EQ(Files(capture.directory),
            (std::set<std::string>{"01234567890-RO-0000.TXT", "01234567890-RO-0000-2.TXT"}));
  EXPECT_EQ(FileText("01234567890-RO-0000.TXT"), "FIRST..");
  EXPECT_EQ(FileText("01234567890-RO-0000-2.TXT"), "SECOND.");
}

}  // namespace
}  // namespace vestrel
