// ctest-labels: unit
// The setup dialog's text forms and value tables, without a window.
#include "app/setup_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace vestrel {
namespace {

TEST(SetupTables, VfoOffsetShowsTheSignAndFourDigitsOfTheMagnitude) {
  const std::pair<int32_t, const char*> shown[] = {{-50, "-0050"},  {0, "+0000"},     {120, "+0120"},
                                                   {9999, "+9999"}, {-9999, "-9999"}, {-7, "-0007"}};
  for (const auto& [hz, text] : shown) EXPECT_EQ(FormatVfoOffset(hz), text) << hz;
  const std::pair<const char*, std::optional<int32_t>> read[] = {
      {"-0050", -50},           {"+0120", 120},          {" 77 ", 77},
      {"9999", 9999},           {"-9999", -9999},        {"10000", std::nullopt},
      {"-10000", std::nullopt}, {"12abc", std::nullopt}, {"", std::nullopt},
      {"+-5", std::nullopt},    {"1e3", std::nullopt},   {"99999999999999999999", std::nullopt},
      {"--050", std::nullopt}};
  for (const auto& [text, value] : read) EXPECT_EQ(ParseVfoOffset(text), value) << text;
}

TEST(SetupTables, CoefficientsShowTwoDecimalsWithTheirSignWithinTheirRange) {
  const std::pair<double, const char*> cases[] = {{0.7, "+0.70"},
                                                  {-0.9, "-0.90"},
                                                  {0.0, "+0.00"},
                                                  {-0.001, "+0.00"},
                                                  {0.005, "+0.01"},
                                                  {9.99, "+9.99"},
                                                  {12.0, "+9.99"},
                                                  {-12.0, "-9.99"},
                                                  {0.69, "+0.69"},
                                                  {std::numeric_limits<double>::quiet_NaN(), "+0.00"},
                                                  {std::numeric_limits<double>::infinity(), "+0.00"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatCoefficient(value), text) << value;
}

TEST(SetupTables, SampleRatesShowFiveDigitsAndReadOnlyUsableRates) {
  EXPECT_EQ(FormatSampleRate(11025.0), "11025.00");
  EXPECT_EQ(FormatSampleRate(8000.0), "08000.00");
  EXPECT_EQ(FormatSampleRate(384000.0), "384000.00");
  EXPECT_EQ(FormatSampleRate(11025.006), "11025.01");
  const std::pair<const char*, std::optional<double>> read[] = {
      {"11025.00", 11025.0}, {"11025,5", 11025.5},   {" 48000", 48000.0},        {"8000", 8000.0},
      {"384000", 384000.0},  {"7999", std::nullopt}, {"384000.5", std::nullopt}, {"inf", std::nullopt},
      {"nan", std::nullopt}, {"1e12", std::nullopt}, {"", std::nullopt},         {"-48000", std::nullopt}};
  for (const auto& [text, rate] : read) EXPECT_EQ(ParseSampleRate(text), rate) << text;
}

TEST(SetupTables, ExchangeSpeedTakesTheLoadersRange) {
  const std::pair<const char*, int32_t> cases[] = {
      {"9600", 9600}, {"110", 110}, {" 115200 ", 115200}, {"921600", 921600},   {"921601", 9600},
      {"10", 10},     {"9", 9600},  {"0", 9600},          {"-300", 9600},       {"5000000", 9600},
      {"fast", 9600}, {"", 9600},   {"1200x", 9600},      {"99999999999", 9600}};
  for (const auto& [text, speed] : cases) EXPECT_EQ(ParseExchangeSpeed(text), speed) << text;
}

TEST(SetupTables, PortAddressIsFourHexDigits) {
  EXPECT_EQ(FormatPortAddress(888), "0378");
  EXPECT_EQ(FormatPortAddress(0x12345), "2345");
  EXPECT_EQ(ParsePortAddress("03BC"), 0x3BC);
  EXPECT_EQ(ParsePortAddress("03bc"), 0x3BC);
  EXPECT_EQ(ParsePortAddress("378"), 0x378);
  for (const char* bad : {"", "xyz", "12345", "0x37", "-378"})
    EXPECT_EQ(ParsePortAddress(bad), std::nullopt) << bad;
}

TEST(SetupTables, CodesOfItemsAndTheFirstItemForAnyOther) {
  EXPECT_EQ(UseOtherItems().size(), 11u);
  EXPECT_EQ(TimeZoneItems().size(), 36u);
  EXPECT_EQ(ModeAsItems().size(), 18u);
  EXPECT_EQ(IndexOfCode(TimeZoneItems(), -345), 24);
  EXPECT_EQ(std::string(TimeZoneItems()[24].caption), "UTC +05:45");
  EXPECT_EQ(IndexOfCode(TimeZoneItems(), 7), 0);  // "By OS"
  EXPECT_EQ(IndexOfCode(UseOtherItems(), 0x200000), 8);
  EXPECT_EQ(IndexOfCode(UseOtherItems(), 3), 0);  // "NONE"
  // Each mode's name is edited through one item.
  std::set<int32_t> modes;
  for (const CodeItem& item : ModeAsItems()) modes.insert(item.value);
  EXPECT_EQ(modes.size(), 18u);
  EXPECT_EQ(PortTypeCaptions().size(), 7u);
}

}  // namespace
}  // namespace vestrel
