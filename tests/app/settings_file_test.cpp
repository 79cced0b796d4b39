// ctest-labels: unit
#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/spectrum_arrays.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/test_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

using test::ReadFile;

// Everything a load fills, from a first start's defaults, and the mode record made from it.
struct Loaded : SettingsValues {
  TModemParams p;
};

Loaded Load(const IniFile& ini) {
  Loaded l;
  ReadSettings(ini, l.Targets());
  ApplyToModemParams(l.settings, l.p);
  return l;
}
Loaded Load(const std::string& text) { return Load(IniFile::FromText(text)); }

// What the program writes: the mode record's values back into the settings, then every key.
std::string Save(Loaded& l, IniFile ini = {}) {
  TakeFromModemParams(l.p, l.settings);
  WriteSettings(l.Targets(), ini);
  WriteMacros(l.macros, ini);
  return ini.Text();
}

std::string AllKeysFile() {
  return ReadFile(fs::path(VESTREL_SOURCE_DIR) / "fuzz/app/settings_file_fuzz_corpus/all_keys.ini");
}

// Both tones of a pair lie in the tone band, and so their bins in the spectrum's kept range.
void ExpectPairInBand(const int32_t (&tone)[2], const int32_t (&bin)[2]) {
  for (int i = 0; i < 2; ++i) {
    EXPECT_GE(tone[i], kMinToneUnits);
    EXPECT_LE(tone[i], kMaxToneUnits);
    EXPECT_GE(bin[i], SpectrumArrays::kFirstBin);
    EXPECT_LE(bin[i], SpectrumArrays::kLastBin);
  }
}

struct Row {
  const char* what;
  std::string general;  // lines of section "RTTY", or a whole file when it starts with "["
  std::function<void(const Loaded&)> check;
};

TEST(SettingsFile, EdgeCases) {
  const Row rows[] = {
      {"no file: a first start", "", [](const Loaded& l) {
         EXPECT_EQ(l.p.Mode, 0);
         EXPECT_EQ(l.p.RttySpeed, 45);
         EXPECT_EQ(l.p.ShiftHz, 170);
         EXPECT_EQ(l.p.RxShift, 505);
         EXPECT_EQ(l.p.RxShiftBin, 32);
         EXPECT_EQ(l.p.RxTone[0] + l.p.RxTone[1], 2 * 16 * 316);  // centre bin 316
         EXPECT_EQ(l.p.TxTone[0] + l.p.TxTone[1], 2 * 16 * 316);
         EXPECT_EQ(l.settings.SamplingFreq, 11025.0);
         EXPECT_EQ(l.settings.OutSamplingFreq, 11025.0);
         EXPECT_EQ(l.settings.IsKISS, 1);
         EXPECT_EQ(l.settings.MyCall, "XX0XXX");
         EXPECT_EQ(l.settings.MessageChannel, 1);
         EXPECT_TRUE(l.reportModeWhenChanged);
         EXPECT_EQ(l.modeReportNames[kModeBpsk31], "PSK31");
         EXPECT_EQ(l.macros.ButtonName[1], "F1");
         EXPECT_EQ(l.macros.ButtonName[36], "aF12");
       }},
      {"RxFrequency=1000 with the default shift", "RxFrequency=1000", [](const Loaded& l) {
         EXPECT_EQ(l.p.RxTone[0], 2972 - 252);
         EXPECT_EQ(l.p.RxTone[1], 2972 + 252);
         EXPECT_EQ(l.p.RxToneBin[0], 170);
         EXPECT_EQ(l.p.RxToneBin[1], 202);
         EXPECT_EQ(l.p.AfcRefBin[0], 170);
         EXPECT_EQ(l.p.AfcRefBin[1], 202);
       }},
      {"FFTCenterFreq=100 gives bin 19, refused", "FFTCenterFreq=100", [](const Loaded& l) {
         EXPECT_EQ(l.settings.FFTCenterFreq, 1700);
         EXPECT_EQ(l.p.FFTCenterFreq, 316);
       }},
      {"BeaconPeriod=1 loads as 3", "BeaconPeriod=1", [](const Loaded& l) { EXPECT_EQ(l.settings.BeaconPeriod, 3); }},
      {"BeaconPeriod=5000 loads as 999", "BeaconPeriod=5000", [](const Loaded& l) { EXPECT_EQ(l.settings.BeaconPeriod, 999); }},
      {"BeaconPeriod=-4 loads as 999", "BeaconPeriod=-4", [](const Loaded& l) { EXPECT_EQ(l.settings.BeaconPeriod, 999); }},
      {"ExchangeSpeed=5", "ExchangeSpeed=5", [](const Loaded& l) { EXPECT_EQ(l.settings.ExchangeSpeed, 9600); }},
      {"ExchangeSpeed=921600", "ExchangeSpeed=921600", [](const Loaded& l) { EXPECT_EQ(l.settings.ExchangeSpeed, 921600); }},
      {"ExchangeSpeed=921601", "ExchangeSpeed=921601", [](const Loaded& l) { EXPECT_EQ(l.settings.ExchangeSpeed, 9600); }},
      {"MessageChannel=10 is ignored", "MessageChannel=10", [](const Loaded& l) { EXPECT_EQ(l.settings.MessageChannel, 1); }},
      {"MyCall: trimmed, 15 characters", "MyCall=\"  ABCDEFGHIJKLMNOPQRST \"",
       [](const Loaded& l) { EXPECT_EQ(l.settings.MyCall, "ABCDEFGHIJKLMNO"); }},
      {"MyCall: blanks the cut brings to the end go too", "MyCall=\"ABCDEFGHIJKLM    XY\"",
       [](const Loaded& l) { EXPECT_EQ(l.settings.MyCall, "ABCDEFGHIJKLM"); }},
      {"KeyPortNumber=17 without PttPortType", "KeyPortNumber=17\r\nPttPin=5\r\nPowerPin1=1\r\nPttPortNumber=9",
       [](const Loaded& l) {
         EXPECT_EQ(l.settings.PttPortType, 2);
         EXPECT_EQ(l.settings.PttPortNumber, 2);
         EXPECT_EQ(l.settings.PttPin, 2);
         EXPECT_EQ(l.settings.PowerPin1, 7);
         EXPECT_EQ(l.settings.PowerPin2, 8);
       }},
      {"KeyPortNumber=3 with ComMask 1", "KeyPortNumber=3\r\nComMask=1", [](const Loaded& l) {
         EXPECT_EQ(l.settings.PttPortType, 1);
         EXPECT_EQ(l.settings.PttPortNumber, 3);
         EXPECT_EQ(l.settings.PttPin, 1);
       }},
      {"KeyPortNumber=20", "KeyPortNumber=20", [](const Loaded& l) {
         EXPECT_EQ(l.settings.PttPortType, 3);
         EXPECT_EQ(l.settings.PttPortNumber, 2);
         EXPECT_EQ(l.settings.PttPin, 6);
       }},
      {"KeyPortNumber=30: nothing converted, the port keys not read", "KeyPortNumber=30\r\nPttPin=5",
       [](const Loaded& l) {
         EXPECT_EQ(l.settings.PttPortType, 0);
         EXPECT_EQ(l.settings.PttPin, 2);
       }},
      {"KeyPortNumber with PttPortType set is no legacy file", "PttPortType=1\r\nKeyPortNumber=17\r\nPttPin=1",
       [](const Loaded& l) {
         EXPECT_EQ(l.settings.PttPortType, 1);
         EXPECT_EQ(l.settings.PttPin, 1);
       }},
      {"an empty macro key clears it, an absent one keeps its default", "[Macros]\r\nMacro3=\r\n",
       [](const Loaded& l) {
         EXPECT_EQ(l.macros.Macro[3], "");
         TMacroTable d;
         d.SetDefaultMacros();
         EXPECT_EQ(l.macros.Macro[4], d.Macro[4]);
       }},
      {"SamplingFreq=11025,5", "SamplingFreq=11025,5", [](const Loaded& l) { EXPECT_EQ(l.settings.SamplingFreq, 11025.5); }},
      {"SamplingFreq=11025.5", "SamplingFreq=11025.5", [](const Loaded& l) { EXPECT_EQ(l.settings.SamplingFreq, 11025.5); }},
      {"font style 5", "[RxFont]\r\nFontStyle=5\r\n", [](const Loaded& l) { EXPECT_EQ(l.settings.RxFont.FontStyle, 5); }},
      {"XPortAddress keeps its low 16 bits", "XPortAddress=65912",
       [](const Loaded& l) { EXPECT_EQ(l.settings.XPortAddress, 376); }},
      {"sound card numbers below their floor", "SoundCardNumber=-7\r\nOutSoundCardNumber=-9", [](const Loaded& l) {
         EXPECT_EQ(l.settings.SoundCardNumber, -1);
         EXPECT_EQ(l.settings.OutSoundCardNumber, -2);
       }},
      {"Zoom outside 2..5 means 1", "Zoom=7", [](const Loaded& l) { EXPECT_EQ(l.p.Zoom, 1); }},
      {"code set 0 keeps, 4 is refused", "CodeSet=4", [](const Loaded& l) { EXPECT_EQ(l.p.BaudotCodeSet, 0); }},
      {"logger names and their switch", "[SendMode]\r\nWhenChanged=0\r\nBpsk31As=BPSK\r\n", [](const Loaded& l) {
         EXPECT_FALSE(l.reportModeWhenChanged);
         EXPECT_EQ(l.modeReportNames[kModeBpsk31], "BPSK");
         EXPECT_EQ(l.modeReportNames[kModeQpsk31], "PSK31");
       }},

      // The faults of the text, mended.
      {"a mode number without a mode loads as 0", "Mode=13", [](const Loaded& l) { EXPECT_EQ(l.p.Mode, 0); }},
      {"mode 23 loads as 0", "Mode=23", [](const Loaded& l) { EXPECT_EQ(l.settings.Mode, 0); }},
      {"mode -1 loads as 0", "Mode=-1", [](const Loaded& l) { EXPECT_EQ(l.settings.Mode, 0); }},
      {"mode 22 stays", "Mode=22", [](const Loaded& l) { EXPECT_EQ(l.settings.Mode, 22); }},
      {"RxFrequency=20000 keeps the pair in the band", "RxFrequency=20000\r\nTxFrequency=20000", [](const Loaded& l) {
         ExpectPairInBand(l.p.RxTone, l.p.RxToneBin);
         ExpectPairInBand(l.p.TxTone, l.p.TxToneBin);
         EXPECT_EQ(l.p.RxTone[1], kMaxToneUnits);
         EXPECT_EQ(l.p.RxTone[1] - l.p.RxTone[0], 504);
       }},
      {"RxFrequency=-5 keeps the pair in the band", "RxFrequency=-5\r\nTxFrequency=-5", [](const Loaded& l) {
         ExpectPairInBand(l.p.RxTone, l.p.RxToneBin);
         ExpectPairInBand(l.p.TxTone, l.p.TxToneBin);
         EXPECT_EQ(l.p.RxTone[0], kMinToneUnits);
       }},
      {"a centre bin beyond the spectrum is kept inside it", "RxFreq=5000\r\nTxFreq=-3", [](const Loaded& l) {
         ExpectPairInBand(l.p.RxTone, l.p.RxToneBin);
         ExpectPairInBand(l.p.TxTone, l.p.TxToneBin);
       }},
      {"shift 100000 loads as 170", "Shift=100000\r\nRxFrequency=1000", [](const Loaded& l) {
         EXPECT_EQ(l.p.ShiftHz, 170);
         EXPECT_EQ(l.p.RxTone[1] - l.p.RxTone[0], 504);
         ExpectPairInBand(l.p.RxTone, l.p.RxToneBin);
       }},
      {"shift 22 loads as 23, the widest 1200 fits", "Shift=22", [](const Loaded& l) { EXPECT_EQ(l.p.ShiftHz, 23); }},
      {"shift 1200 at the band's edge", "Shift=1200\r\nRxFrequency=3900", [](const Loaded& l) {
         EXPECT_EQ(l.p.ShiftHz, 1200);
         ExpectPairInBand(l.p.RxTone, l.p.RxToneBin);
       }},
      {"sample rate 0", "SamplingFreq=0\r\nOutSamplingFreq=0",
       [](const Loaded& l) { EXPECT_EQ(l.settings.SamplingFreq, 11025.0); EXPECT_EQ(l.settings.OutSamplingFreq, 11025.0); }},
      {"sample rate NaN", "SamplingFreq=nan\r\nOutSamplingFreq=-nan",
       [](const Loaded& l) { EXPECT_EQ(l.settings.SamplingFreq, 11025.0); EXPECT_EQ(l.settings.OutSamplingFreq, 11025.0); }},
      {"sample rate infinite", "SamplingFreq=inf\r\nOutSamplingFreq=1e999",
       [](const Loaded& l) { EXPECT_EQ(l.settings.SamplingFreq, 11025.0); EXPECT_EQ(l.settings.OutSamplingFreq, 11025.0); }},
      {"sample rates 7999 and 384001 keep the default, 8000 and 384000 are taken",
       "SamplingFreq=7999\r\nOutSamplingFreq=384001", [](const Loaded& l) {
         EXPECT_EQ(l.settings.SamplingFreq, 11025.0);
         EXPECT_EQ(l.settings.OutSamplingFreq, 11025.0);
         const Loaded edge = Load("[RTTY]\r\nSamplingFreq=8000\r\nOutSamplingFreq=384000\r\n");
         EXPECT_EQ(edge.settings.SamplingFreq, 8000.0);
         EXPECT_EQ(edge.settings.OutSamplingFreq, 384000.0);
       }},
      {"a comma baud rate", "BaudRate=1,5625", [](const Loaded& l) { EXPECT_EQ(l.p.Baud, 1.5625); }},
      {"a baud rate that is no number keeps the default", "BaudRate=fast", [](const Loaded& l) { EXPECT_EQ(l.p.Baud, 45.0); }},
      {"a string longer than 2047 characters is read whole",
       "[Macros]\r\nMacro5=\"" + std::string(3000, 'm') + "\"\r\n[RTTY]\r\nRemark=" + std::string(2500, 'r'),
       [](const Loaded& l) {
         EXPECT_EQ(l.macros.Macro[5], std::string(3000, 'm'));
         EXPECT_EQ(l.settings.Remark, std::string(2500, 'r'));
       }},
      {"no number takes the default", "RttySpeed=fast\r\nZoom=x\r\nSquelchThreshold=", [](const Loaded& l) {
         EXPECT_EQ(l.settings.RttySpeed, 45);
         EXPECT_EQ(l.settings.Zoom, 1);
         EXPECT_EQ(l.settings.SquelchThreshold, 50);
       }},
      {"beyond int32 takes the default", "RttySpeed=99999999999\r\nVFOBoffset=-4294967296",
       [](const Loaded& l) {
         EXPECT_EQ(l.settings.RttySpeed, 45);
         EXPECT_EQ(l.settings.VFOBoffset, 0);
       }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string text = r.general.empty() || r.general[0] == '[' ? r.general : "[RTTY]\r\n" + r.general + "\r\n";
    r.check(Load(text));
  }
}

// The keying and exchange port keys and the device map of the serial ports.
TEST(SettingsFile, PortKeysAndTheComPortMap) {
  const Loaded l = Load(
      "[Screen]\r\nPttPortType=5\r\n"  // another section's key is not ours
      "[rtty]\r\npttporttype = 1\r\nPttPortNumber=\"4\"\r\nPttPin=1\r\nPowerPin1=2\r\nPowerPin2=x\r\n"
      "XPortAddress=131960\r\nExchangeSpeed=5\r\nExchangePortNumber=4\r\nPttPortType=3\r\n"
      "[ComPorts]\r\nCOM4=/dev/ttyUSB0\r\ncom12 = \"/dev/serial/by-id/usb-FTDI\"\r\nCOM0=/dev/null\r\n"
      "COMx=/dev/null\r\nCOM3=\r\nCOM 7=/dev/null\r\nCOM4=/dev/second\r\n");
  const TAppSettings& s = l.settings;
  EXPECT_EQ(s.PttPortType, 1);  // the first of two wins
  EXPECT_EQ(s.PttPortNumber, 4);
  EXPECT_EQ(s.PttPin, 1);
  EXPECT_EQ(s.PowerPin1, 2);
  EXPECT_EQ(s.PowerPin2, 0);         // no number: the default
  EXPECT_EQ(s.XPortAddress, 0x378);  // 131960 = 0x20378: the low 16 bits
  EXPECT_EQ(s.ExchangeSpeed, 9600);  // below 10
  EXPECT_EQ(s.ExchangePortNumber, 4);
  const std::map<int, std::string> ports = {{4, "/dev/ttyUSB0"}, {12, "/dev/serial/by-id/usb-FTDI"}};
  EXPECT_EQ(s.ComPorts, ports);

  for (const auto& [value, speed] : {std::pair<const char*, int32_t>{"10", 10}, {"921600", 921600},
                                     {"921601", 9600}, {"-300", 9600}}) {
    EXPECT_EQ(Load(std::string("[RTTY]\nExchangeSpeed=") + value + "\n").settings.ExchangeSpeed, speed) << value;
  }
  // A missing file gives every port key its default.
  Loaded missing;
  missing.settings.PttPortType = 2;
  TSettingsFile(RegistryStore({})).LoadSettings("/nonexistent/VESTREL.INI", missing.Targets());
  EXPECT_EQ(missing.settings.PttPortType, 0);
  EXPECT_EQ(missing.settings.ExchangeSpeed, 9600);
}

// Each key of a file that sets every key to another value than its default: dropping its line
// changes what is loaded (it is read), and a save into an empty file writes it.
TEST(SettingsFile, EveryKeyIsReadAndWritten) {
  const std::string text = AllKeysFile();
  ASSERT_FALSE(text.empty());
  const IniFile all = IniFile::FromText(text);
  Loaded full = Load(all);
  IniFile written;
  WriteSettings(full.Targets(), written);
  WriteMacros(full.macros, written);
  EXPECT_TRUE(Load(written) == full);

  std::istringstream lines(text);
  std::string line, section;
  int keys = 0;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const std::string key = line.substr(0, line.find('='));
    if (section == "Other" || key == "KeyPortNumber") continue;  // not ours; saved as 0 anyway
    SCOPED_TRACE(section + "/" + key);
    ++keys;
    std::string without = text;
    without.erase(without.find(line + "\r\n", without.find("[" + section + "]")), line.size() + 2);
    EXPECT_FALSE(Load(without) == full) << "not read";
    EXPECT_TRUE(written.Value(section, key).has_value()) << "not written";
  }
  EXPECT_GT(keys, 200);
}

TEST(SettingsFile, WriteLoadWriteIsByteIdenticalAndKeepsUnknownLines) {
  const std::string odd = "; a comment of the user\r\n[RTTY]\r\nFutureKey=1\r\nMode=1\r\n\r\n[Somebody]\r\nx = \"y\"\r\n";
  // A call that starts with a quote, then blanks, ten letters and lone CRs (no closing quote):
  // the CRs, written as blanks, are what the cut to 15 characters left at its end.
  const std::string crs =
      ReadFile(VESTREL_SOURCE_DIR "/fuzz/app/settings_file_fuzz_corpus/finding-mycall-line-blanks");
  ASSERT_FALSE(crs.empty());
  EXPECT_EQ(Load(crs).settings.MyCall, "\"  ABCDEFGHIJ");
  for (const std::string& start : {std::string(), AllKeysFile(), odd, crs}) {
    Loaded first = Load(start);
    const std::string once = Save(first, IniFile::FromText(start));
    Loaded second = Load(once);
    EXPECT_TRUE(second == first);
    EXPECT_EQ(Save(second, IniFile::FromText(once)), once);
    // Lines of others stay, byte for byte.
    std::istringstream lines(start);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.rfind(';', 0) == 0 || line.find("kept") != std::string::npos || line.rfind("Future", 0) == 0 ||
          line.rfind("x = ", 0) == 0) {
        EXPECT_NE(once.find(line), std::string::npos) << line;
      }
    }
  }
}

TEST(SettingsFile, MacrosComeBackUnchanged) {
  Loaded l;
  l.macros.Macro[1] = "  leading and trailing blanks  ";
  l.macros.Macro[2] = "\"quoted\"";
  l.macros.Macro[3] = "\xE4\xF6\xFC \x80\xFF \xC0";
  l.macros.Macro[4] = "";
  l.macros.Macro[5] = "a \"b\" c";
  l.macros.ButtonName[7] = " CQ ";
  l.macros.Macro[6] = "line one\r\nline two\nthree\rfour";  // a break from an automation client
  IniFile ini;
  WriteMacros(l.macros, ini);
  const Loaded back = Load(ini);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(back.macros.Macro[i], l.macros.Macro[i]) << i;
  EXPECT_EQ(back.macros.ButtonName[7], " CQ ");
  EXPECT_EQ(back.macros.Macro[6], "line one~[lf]line two~[lf]three~[lf]four");
  // No value starts a line of its own: nothing else was set by the break.
  EXPECT_EQ(ini.ReadSection("Macros").size(), 37u);
  // Other strings get a blank.
  l.settings.CallOnClear = "DL1\r\nMode=7";
  IniFile settings;
  WriteSettings(l.Targets(), settings);
  EXPECT_EQ(Load(settings).settings.CallOnClear, "DL1  Mode=7");
  EXPECT_EQ(Load(settings).settings.Mode, 0);
}

TEST(SettingsFile, DefaultMacros) {
  TMacroTable t;
  t.SetDefaultMacros();
  EXPECT_EQ(t.Macro[14], "Macro for Ctrl-2");
  EXPECT_EQ(t.Macro[24], "Macro for Ctrl-12");
  EXPECT_EQ(t.Macro[25], "Macro for Alt-1");
  EXPECT_EQ(t.Macro[36], "Macro for Alt-12");
  EXPECT_EQ(t.Macro[30].rfind("Macro for Alt-6", 0), 0u);
  EXPECT_GT(t.Macro[30].size(), std::string("Macro for Alt-6").size());
  EXPECT_NE(t.Macro[16], "Macro for Ctrl-4");
  EXPECT_EQ(t.Macro[6].rfind("~[boff]", 0), 0u);
  EXPECT_EQ(t.Macro[7].rfind("~[boff]", 0), 0u);
  const size_t at = t.Macro[9].find("3.30");
  ASSERT_NE(at, std::string::npos);
  EXPECT_GT(at, 0u);
  EXPECT_LT(at + 4, t.Macro[9].size());
  for (int i = 0; i <= 13; ++i) EXPECT_FALSE(t.Macro[i].empty()) << i;
  EXPECT_NE(t.Macro[1].find("CQ"), std::string::npos);
  EXPECT_NE(t.Macro[2].find("~[ec]"), std::string::npos);
  // Its end acts once the text before it has gone out.
  EXPECT_EQ(t.Macro[8].substr(t.Macro[8].size() - 5), "`[rx]");

  // A "Macros" section with macro 14 alone changes macro 14 alone.
  const Loaded l = Load("[Macros]\r\nMacro14=\"QRZ?\"\r\n");
  for (int i = 0; i < TMacroTable::kCount; ++i) EXPECT_EQ(l.macros.Macro[i], i == 14 ? "QRZ?" : t.Macro[i]) << i;
}

// Under a locale whose decimal mark is a comma (as QApplication installs the user's), the file
// still says "45.4500", and both marks load alike.
TEST(SettingsFile, NumbersIgnoreACommaLocale) {
  test::TestDir dir;
  const std::string cmd = "localedef -i de_DE -f UTF-8 '" + (dir.path() / "de_DE.UTF-8").string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << "localedef (package locales) made no de_DE locale";
  setenv("LOCPATH", dir.path().c_str(), 1);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  char printed[32];
  std::snprintf(printed, sizeof printed, "%.4f", 45.45);
  EXPECT_STREQ(printed, "45,4500");  // the locale is in force

  Loaded l = Load("[RTTY]\r\nBaudRate=45,45\r\nSamplingFreq=11025,5\r\nOutSamplingFreq=44100.25\r\n");
  const std::string text = Save(l);
  Loaded dotted = Load("[RTTY]\r\nBaudRate=45.45\r\nSamplingFreq=11025.5\r\nOutSamplingFreq=44100,25\r\n");
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  EXPECT_NE(text.find("BaudRate=45.4500\r\n"), std::string::npos);
  EXPECT_NE(text.find("SamplingFreq=11025.5\r\n"), std::string::npos);
  EXPECT_NE(text.find("OutSamplingFreq=44100.25\r\n"), std::string::npos);
  EXPECT_EQ(l.p.Baud, 45.45);
  EXPECT_EQ(dotted.p.Baud, 45.45);
  EXPECT_EQ(dotted.settings.SamplingFreq, l.settings.SamplingFreq);
  EXPECT_EQ(dotted.settings.OutSamplingFreq, l.settings.OutSamplingFreq);
}

TEST(SettingsFile, SavesUpdateTheFileAndRefuseOneThatCannotBeRead) {
  test::TestDir dir;
  const fs::path path = dir.path() / "VESTREL.INI";
  TSettingsFile file(RegistryStore({}));
  Loaded l;
  l.settings.MyCall = "DL1ABC";
  EXPECT_EQ(file.SaveSettings(path.string(), l.Targets()), "");
  EXPECT_EQ(file.SaveMacros(path.string(), l.macros), "");
  Loaded back;
  file.LoadSettings(path.string(), back.Targets());
  EXPECT_EQ(back.settings.MyCall, "DL1ABC");
  EXPECT_EQ(back.macros, l.macros);
  // The macro save writes nothing but macros and names.
  l.settings.MyCall = "NOT SAVED";
  l.macros.Macro[2] = "saved";
  EXPECT_EQ(file.SaveMacros(path.string(), l.macros), "");
  Loaded again;
  file.LoadSettings(path.string(), again.Targets());
  EXPECT_EQ(again.settings.MyCall, "DL1ABC");
  EXPECT_EQ(again.macros.Macro[2], "saved");
  // A file that is there but unreadable (here a directory) is left alone.
  const fs::path folder = dir.path() / "folder.ini";
  fs::create_directory(folder);
  EXPECT_NE(file.SaveSettings(folder.string(), l.Targets()), "");
  EXPECT_TRUE(fs::is_directory(folder));
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

// MFSK keeps its band in place across saves and starts: the file holds the band's centre (with
// AFC on, that of its reference, which is the band itself until the AFC moves it), a start lays
// the band out around the loaded centre again, and a save writes back the hertz it loaded.
// The engine start's second speed and shift (which the Shift menu's rules would apply to a
// tone pair) leave the band as planned; receiver and transmitter stay tuned to the tones the
// mode record shows.
TEST(SettingsFile, MfskBandKeepsItsPlaceAcrossSavesAndStarts) {
  struct Case {
    const char* mode;
    const char* afc;
    int32_t rxHz;
    int32_t txHz;
    const char* outRate;
  };
  const Case cases[] = {
      {"12", "0", 1000, 1200, "11025"}, {"12", "1", 1000, 1200, "11025"}, {"16", "0", 1000, 1200, "11025"},
      {"16", "1", 1000, 1200, "11025"}, {"12", "1", 1503, 1497, "48000"}, {"16", "1", 1501, 2222, "44100"},
      {"12", "0", 2351, 777, "8000"},   {"16", "0", 641, 2999, "48000"},
  };
  for (const Case& c : cases) {
    for (const char* reverse : {"0", "1"}) {
      SCOPED_TRACE(testing::Message() << "Mode " << c.mode << " AFC " << c.afc << " Reverse " << reverse
                                      << " " << c.rxHz << "/" << c.txHz << " Hz at " << c.outRate);
      std::string file = std::string("[RTTY]\r\nMode=") + c.mode + "\r\nAFC=" + c.afc +
                         "\r\nReverse=" + reverse + "\r\nRxFrequency=" + std::to_string(c.rxHz) +
                         "\r\nTxFrequency=" + std::to_string(c.txHz) +
                         "\r\nShift=170\r\nOutSamplingFreq=" + c.outRate + "\r\n";
      std::vector<TModemParams> started;
      for (int round = 0; round < 3; ++round) {
        Loaded l = Load(file);
        test::FakeEngineWindow window;
        test::FakeRxSink sink;
        auto engine = std::make_unique<TEngine>(window, sink);
        engine->params = l.p;
        engine->rates.OutSamplingFreq = l.settings.OutSamplingFreq;
        engine->Start();
        // The engine start's order: speed, shift, mode, then speed and shift once more.
        ModeSwitch& sw = engine->modeSwitch;
        const TModemParams p = engine->params;
        sw.SetBaudRate(p.Baud);
        sw.SetShift(p.ShiftHz);
        sw.SetMode(p.Mode);
        sw.SetBaudRate(p.Baud);
        sw.SetShift(p.ShiftHz);
        EXPECT_EQ(engine->mfsk.FirstStep(), engine->params.RxTone[0]);
        EXPECT_EQ(engine->mfsk.LastStep(), engine->params.RxTone[1]);
        EXPECT_EQ(engine->mfskTx.FirstStep(), engine->params.TxTone[0]);
        EXPECT_EQ(engine->mfskTx.LastStep(), engine->params.TxTone[1]);
        EXPECT_EQ(window.panels[3], engine->params.Mode == 12 ? "235 Hz" : "242 Hz");
        started.push_back(engine->params);
        l.p = engine->params;
        file = Save(l, IniFile::FromText(file));
        EXPECT_EQ(l.settings.RxFrequency, c.rxHz) << "save " << round;
        EXPECT_EQ(l.settings.TxFrequency, c.txHz) << "save " << round;
      }
      for (size_t i = 1; i < started.size(); ++i) {
        EXPECT_EQ(started[i].RxTone[0], started[0].RxTone[0]) << "start " << i;
        EXPECT_EQ(started[i].TxTone[0], started[0].TxTone[0]) << "start " << i;
        EXPECT_EQ(started[i].AfcRefBin[0], started[0].AfcRefBin[0]) << "start " << i;
      }
    }
  }
}

// With AFC on, the file keeps the AFC's reference: a pair still in the reference's bins is
// saved to the hertz, one the AFC has moved out of them is saved at the reference.
TEST(SettingsFile, RxFrequencyWithAfcIsTheReference) {
  for (const char* afc : {"0", "1"}) {
    SCOPED_TRACE(std::string("AFC ") + afc);
    Loaded l = Load(std::string("[RTTY]\r\nMode=0\r\nAFC=") + afc + "\r\nRxFrequency=1001\r\n");
    Save(l);
    EXPECT_EQ(l.settings.RxFrequency, 1001);
    for (int i = 0; i < 2; ++i) {
      l.p.RxTone[i] += 3 * 16;  // the AFC moved the pair by three bins
      l.p.RxToneBin[i] += 3;
    }
    Save(l);
    if (afc[0] == '1') {
      EXPECT_EQ(l.settings.RxFrequency,
                RoundToInt32((l.p.AfcRefBin[0] + l.p.AfcRefBin[1]) * 0.5 * kRxRate / 2048.0));
      EXPECT_NEAR(l.settings.RxFrequency, 1001, 3);
    } else {
      EXPECT_EQ(l.settings.RxFrequency, 1001 + RoundToInt32(48 * kRxRate / kUnitsPerCycle));
    }
  }
}

}  // namespace
}  // namespace vestrel
