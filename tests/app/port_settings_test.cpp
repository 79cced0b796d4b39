// ctest-labels: unit
// The keying port keys read from the settings file at the engine start.
#include "app/port_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace vestrel {
namespace {

namespace fs = std::filesystem;

struct IniFileOnDisk {
  explicit IniFileOnDisk(const std::string& text)
      : path(fs::temp_directory_path() / ("vestrel-ports-" + std::to_string(getpid()) + ".ini")) {
    std::ofstream(path, std::ios::binary) << text;
  }
  ~IniFileOnDisk() { fs::remove(path); }
  fs::path path;
};

TEST(PortSettings, KeysOfTheGeneralSectionAndTheComPortMap) {
  IniFileOnDisk ini(
      "[Screen]\r\nPttPortType=5\r\n"  // another section's key is not ours
      "[rtty]\r\npttporttype = 1\r\nPttPortNumber=\"4\"\r\nPttPin=1\r\nPowerPin1=2\r\nPowerPin2=x\r\n"
      "XPortAddress=131960\r\nExchangeSpeed=5\r\nExchangePortNumber=4\r\nPttPortType=3\r\n"
      "[ComPorts]\r\nCOM4=/dev/ttyUSB0\r\ncom12 = \"/dev/serial/by-id/usb-FTDI\"\r\nCOM0=/dev/null\r\n"
      "COMx=/dev/null\r\nCOM3=\r\nCOM 7=/dev/null\r\nCOM4=/dev/second\r\n");
  KeyingPortSettings s;
  ReadPortSettings(ini.path.string(), s);
  EXPECT_EQ(s.PttPortType, 1);  // the first of two wins
  EXPECT_EQ(s.PttPortNumber, 4);
  EXPECT_EQ(s.PttPin, 1);
  EXPECT_EQ(s.PowerPin1, 2);
  EXPECT_EQ(s.PowerPin2, 0);         // no number: the default stays
  EXPECT_EQ(s.XPortAddress, 0x378);  // 131960 = 0x20378: the low 16 bits
  EXPECT_EQ(s.ExchangeSpeed, 9600);  // below 10
  EXPECT_EQ(s.ExchangePortNumber, 4);
  const std::map<int, std::string> ports = {{4, "/dev/ttyUSB0"}, {12, "/dev/serial/by-id/usb-FTDI"}};
  EXPECT_EQ(s.ComPorts, ports);
}

TEST(PortSettings, ExchangeSpeedRangeAndAMissingFile) {
  struct Row {
    const char* value;
    int32_t speed;
  };
  for (const Row r : {Row{"10", 10}, Row{"921600", 921600}, Row{"921601", 9600}, Row{"-300", 9600}}) {
    IniFileOnDisk ini(std::string("[RTTY]\nExchangeSpeed=") + r.value + "\n");
    KeyingPortSettings s;
    ReadPortSettings(ini.path.string(), s);
    EXPECT_EQ(s.ExchangeSpeed, r.speed) << r.value;
  }
  KeyingPortSettings s;
  s.PttPortType = 2;
  ReadPortSettings("/nonexistent/VESTREL.INI", s);
  EXPECT_EQ(s.PttPortType, 2);
  EXPECT_EQ(s.ExchangeSpeed, 9600);
}

}  // namespace
}  // namespace vestrel
