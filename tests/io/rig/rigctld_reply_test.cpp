#include "io/rig/rigctld_reply.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vestrel {
namespace {

struct Fed {
  ReplyStep step = ReplyStep::kMore;
  RigctldReply reply;
};

Fed Feed(const std::vector<std::string>& lines) {
  Fed f;
  for (const std::string& line : lines) {
    f.step = AddReplyLine(f.reply, line);
    if (f.step != ReplyStep::kMore) break;
  }
  return f;
}

TEST(RigctldReplyTest, RprtCodes) {
  struct Case {
    const char* rprt;
    int code;
  };
  const Case cases[] = {
      {"RPRT 0", 0},
      {"RPRT -1", -1},
      {"RPRT -11", -11},
      {"RPRT garbage", RigctldReply::kBadCode},
      {"RPRT ", RigctldReply::kBadCode},
      {"RPRT 4294967296", RigctldReply::kBadCode},
      {"RPRT 99999999999999999999999", RigctldReply::kBadCode},
      {"RPRT 0x0", RigctldReply::kBadCode},
      {"RPRT 0 ", RigctldReply::kBadCode},
      {"RPRT -", RigctldReply::kBadCode},
  };
  for (const Case& c : cases) {
    const Fed f = Feed({"get_freq:", "Frequency: 14070000", c.rprt});
    EXPECT_EQ(f.step, ReplyStep::kDone) << c.rprt;
    EXPECT_EQ(f.reply.code, c.code) << c.rprt;
  }
}

TEST(RigctldReplyTest, RecordsBareValuesAndStrayRecords) {
  // A stray RPRT record before the echo line belongs to an earlier command.
  const Fed f = Feed({"RPRT 0", "get_func: RIT", "1", "Mode: USB", "Passband:", "RPRT 0"});
  ASSERT_EQ(f.step, ReplyStep::kDone);
  EXPECT_EQ(f.reply.bare, (std::vector<std::string>{"1"}));
  EXPECT_EQ(f.reply.records.at("Mode"), "USB");
  EXPECT_EQ(f.reply.records.at("Passband"), "");
  EXPECT_EQ(f.reply.lines.size(), 4u);
}

TEST(RigctldReplyTest, BoundsMakeAFailedReply) {
  RigctldReply many;
  ReplyStep step = ReplyStep::kMore;
  for (size_t i = 0; i <= kMaxReplyLines && step == ReplyStep::kMore; ++i) step = AddReplyLine(many, "x");
  EXPECT_EQ(step, ReplyStep::kFailed);
  RigctldReply big;
  const std::string line(60000, 'x');
  step = ReplyStep::kMore;
  for (int i = 0; i < 100 && step == ReplyStep::kMore; ++i) step = AddReplyLine(big, line);
  EXPECT_EQ(step, ReplyStep::kFailed);
  EXPECT_LE(big.bytes, kMaxReplyBytes + line.size() + 1);
}

TEST(RigctldReplyTest, Numbers) {
  struct Case {
    const char* text;
    std::optional<int64_t> integer, frequency;
  };
  const Case cases[] = {
      {"14070000", 14'070'000, 14'070'000},
      {"145000000", 145'000'000, 145'000'000},
      {"100000000000", 100'000'000'000, 100'000'000'000},
      {"100000000001", 100'000'000'001, std::nullopt},
      {"-50", -50, std::nullopt},
      {"+7", 7, std::nullopt},
      {"0", 0, std::nullopt},
      {"14070000junk", std::nullopt, std::nullopt},
      {"0x1A", std::nullopt, std::nullopt},
      {"14070000.5", std::nullopt, std::nullopt},
      {"1e7", std::nullopt, std::nullopt},
      {" 7", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"-", std::nullopt, std::nullopt},
      {"nan", std::nullopt, std::nullopt},
      {"1000000000000000", 1'000'000'000'000'000, std::nullopt},
      {"1000000000000001", std::nullopt, std::nullopt},
      {"99999999999999999999999999", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseRigctldInteger(c.text), c.integer) << c.text;
    EXPECT_EQ(ParseRigctldFrequency(c.text), c.frequency) << c.text;
  }
}

}  // namespace
}  // namespace vestrel
