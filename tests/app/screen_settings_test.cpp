#include "app/screen_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace vestrel {
namespace {

class ScreenSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("vestrel_screen_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& text) {
    const auto p = (dir_ / "VESTREL.INI").string();
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  std::filesystem::path dir_;
};

TEST_F(ScreenSettingsTest, MissingFileGivesDefaults) {
  const ScreenSettings s = ReadScreenSettings((dir_ / "none.ini").string());
  EXPECT_EQ(s.Left, -1);
  EXPECT_EQ(s.Width, -1);
  EXPECT_EQ(s.OnTop, 0);
  EXPECT_EQ(s.UTCoffset, -1);
}

TEST_F(ScreenSettingsTest, CaseInsensitiveFirstMatchQuotesAndBadNumbers) {
  const std::string path = Write(
      "[Other]\r\nLeft=5\r\n[screen]\r\nleft=\"10\"\r\nLeft=20\r\nTOP= -7 \r\nHeight=abc\r\nWidth=640px\r\n"
      "[RTTY]\r\nOnTop=1\r\nUTCoffset=-120\r\n[Screen]\r\nHeight=300\r\n");
  const ScreenSettings s = ReadScreenSettings(path);
  EXPECT_EQ(s.Left, 10);     // the first key of the first section wins, quotes dropped
  EXPECT_EQ(s.Top, -7);
  EXPECT_EQ(s.Height, -1);   // not a number: the default (the repeated section is not read)
  EXPECT_EQ(s.Width, 640);   // "%d" reads the leading digits
  EXPECT_EQ(s.OnTop, 1);
  EXPECT_EQ(s.UTCoffset, -120);
  // Numbers beyond an int keep the default rather than a truncated value.
  const ScreenSettings big = ReadScreenSettings(Write("[Screen]\r\nWidth=99999999999\r\nLeft=-4294967296\r\n"));
  EXPECT_EQ(big.Width, -1);
  EXPECT_EQ(big.Left, -1);
}

}  // namespace
}  // namespace vestrel
