// The QSO panel and the logger link without a bus: word rules, the export ini, the commands of
// the logger as a table, and the automation events the fields fire.
#include "app/logger_link.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/ini_file.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"

namespace vestrel {
namespace {

using test::Form;

class Parts : public test::RecordingFormParts {
 public:
  void Highlight(const std::string& call, int32_t colour) override {
    Log("Highlight " + call + " " + std::to_string(colour));
  }
  void RunMacro(int n) override { Log("RunMacro " + std::to_string(n)); }
};

// The automation events, recorded.
class Events : public AutomationPart {
 public:
  int ClientCount() const override { return 1; }
  void FireOnCommand(uint32_t code) override { log.push_back("OnCommand " + std::to_string(code)); }
  void FireOnCommandEx(uint32_t code, uint32_t fields, const std::string& text) override {
    log.push_back("OnCommandEx " + std::to_string(code) + " " + std::to_string(fields) + " " + text);
  }
  std::vector<std::string> log;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class LoggerLinkTest : public ::testing::Test {
 protected:
  LoggerLinkTest() {
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    form_ = std::make_unique<Form>(parts_, test::UniqueSemaphoreName("logger"), std::vector<std::string>{}, nullptr,
                                   false, nullptr, [this](TRxFormDeps& d) {
                                     d.logger = nullptr;
                                     d.automation = &events_;
                                   });
    w().settings().WithCall = 0;
  }
  ~LoggerLinkTest() override { unsetenv("XDG_CONFIG_HOME"); }
  TRxForm& w() { return *form_->form; }
  TLoggerLink& link() { return dynamic_cast<TLoggerLink&>(w().loggerLink()); }
  std::string ExportText() { return ReadFile(LoggerIniPath("loginput.ini")); }
  std::optional<std::string> Exported(const std::string& key) {
    IniFile ini;
    ini.Load(LoggerIniPath("loginput.ini"));
    return ini.Value("QSO", key);
  }

  test::TempDir dir_;
  Parts parts_;
  Events events_;
  std::unique_ptr<Form> form_;
};

TEST(LoggerWords, CallOrNumberFollowsTheRule) {
  struct Case {
    const char* word;
    bool call;
  };
  const Case cases[] = {
      {"DL1ABC", true},    // two letters, a digit, three letters
      {"599", false},      // three digits
      {"AB", false},       // any two characters
      {"1A", false},
      {"K1A", true},       // letter, digit, letter
      {"1AB", true},       // digit, letter, letter
      {"AB12", false},     // ends in a digit
      {"K1AB", true},      // letter, digit, two letters
      {"AB/1", false},     // four characters, the fourth a digit
      {"DL/K1ABC", true},  // a prefix and "/" before a call
      {"K1ABC/3", true},   // a call, "/" and one digit
      {"K1ABC/P", true},
      {"ABC", false},      // no digit
      {"DL1-AB", false},   // another character
      {"12AB", false},     // two digits first
      {"K1", false},
  };
  for (const Case& c : cases) EXPECT_EQ(LooksLikeCall(c.word), c.call) << c.word;
}

TEST(LoggerWords, LineBreaksAndControlsBecomeBlanks) {
  EXPECT_EQ(CleanPickedWord("  DL1ABC\r\nFoundCall=X\t "), "DL1ABC  FoundCall=X");
  EXPECT_EQ(CleanPickedWord("\r\n"), "");
}

TEST(LoggerWords, InstanceTargets) {
  struct Case {
    uint32_t wParam;
    int channel;
    bool reaches;
  };
  const Case cases[] = {
      {0x0500006E, 6, true}, {0x0400006E, 6, false}, {0x0A00006E, 6, true}, {0x0A00006E, 1, true},
      {0x0000006E, 1, true}, {0x0000006E, 2, false}, {0x0800006E, 9, true}, {0xFF00006E, 3, true},
  };
  for (const Case& c : cases) EXPECT_EQ(CommandAddresses(c.wParam, c.channel), c.reaches) << std::hex << c.wParam;
}

TEST(LoggerWords, BareIniNamesLieInOneFolder) {
  test::TempDir dir;
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(LoggerIniPath("brusk.ini"), dir.path().string() + "/qentor/vestrel/ini/brusk.ini");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "qentor/vestrel/ini"));
  EXPECT_EQ(LoggerIniPath("C:\\logs\\a.ini"), "C:/logs/a.ini");
  EXPECT_EQ(LoggerIniPath("/tmp/x.ini"), "/tmp/x.ini");
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(LoggerLinkTest, FieldExitsWriteTheKeyOfTheInstance) {
  w().CallEdit->setText("DL1ABC");
  link().CallEditExit();
  EXPECT_NE(ExportText().find("Call=DL1ABC\r\n"), std::string::npos) << ExportText();
  w().settings().MessageChannel = 3;
  w().CallEdit->setText("K1XYZ");
  link().CallEditExit();
  w().RSTEdit->setText("579");
  link().RSTEditExit();
  w().NameEdit->setText("Hans");
  link().NameEditExit();
  const std::string text = ExportText();
  EXPECT_NE(text.find("Call3=K1XYZ\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("RprtSent3=\"579\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Name3=\"Hans\"\r\n"), std::string::npos) << text;
  EXPECT_EQ(events_.log.back(), "OnCommandEx 131 128 Hans");
  // With the link off nothing is written, but the events still go out.
  w().settings().MessageChannel = 0;
  w().NameEdit->setText("Otto");
  link().NameEditExit();
  EXPECT_EQ(Exported("Name3"), "Hans");
  EXPECT_EQ(events_.log.back(), "OnCommandEx 131 128 Otto");
}

TEST_F(LoggerLinkTest, CallExportWithTheModeName) {
  w().settings().WithCall = 1;
  w().engine().modeSwitch.ModeReportNames[static_cast<size_t>(w().engine().params.Mode)] = "RTTY";
  w().CallEdit->setText("DL1ABC");
  events_.log.clear();
  link().CallEditExit();
  EXPECT_EQ(Exported("Mode"), "RTTY");
  ASSERT_EQ(events_.log.size(), 2u);
  EXPECT_EQ(events_.log[0], "OnCommandEx 131 8 RTTY");
  EXPECT_EQ(events_.log[1], "OnCommandEx 131 4 DL1ABC");
  // A mode change reported by the engine goes out the same way.
  w().ReportModeToLogger("BPSK31");
  EXPECT_EQ(Exported("Mode"), "BPSK31");
  EXPECT_EQ(events_.log.back(), "OnCommandEx 131 8 BPSK31");
}

TEST_F(LoggerLinkTest, ClearFillsTheFieldsAndExportsThem) {
  w().settings().UseOther = 256;
  w().settings().OtherOnClear = "Berlin";
  events_.log.clear();
  link().ClearQsoPanel();
  EXPECT_EQ(w().RSTEdit->text(), "599");
  EXPECT_EQ(w().NameEdit->text(), "om");
  EXPECT_EQ(Exported("RprtSent"), "599");
  EXPECT_EQ(Exported("QTH"), "Berlin");
  const std::vector<std::string> expected = {"OnCommandEx 131 4 ", "OnCommandEx 131 32 599",
                                             "OnCommandEx 131 128 om", "OnCommandEx 131 256 Berlin"};
  EXPECT_EQ(events_.log, expected);
}

TEST_F(LoggerLinkTest, PickedWordsGoToTheFields) {
  w().settings().ContestMode = 1;
  w().settings().UseOther = 0x100000;
  link().PickWord(" dl1abc ", {});
  EXPECT_EQ(w().CallEdit->text(), "DL1ABC");
  EXPECT_EQ(Exported("Call"), "DL1ABC");
  link().PickWord("005", {});
  EXPECT_EQ(w().OtherEdit->text(), "005");
  EXPECT_EQ(Exported("NumberRcvd"), "005");
  // A selection over a line break cannot add keys to the logger's file.
  link().PickWord("DL1ABC\r\nFoundCall=HACK", {});
  const std::string text = ExportText();
  EXPECT_EQ(text.find("\r\nFoundCall="), std::string::npos) << text;
  EXPECT_EQ(Exported("NumberRcvd"), "DL1ABC  FOUNDCALL=HACK");

  // Without ContestMode the popup offers the word; its items fill the fields.
  w().settings().ContestMode = 0;
  w().settings().UseOther = 2048;
  link().PickWord("Jo62", {});
  ASSERT_NE(link().popup(), nullptr);
  EXPECT_EQ(link().popup()->actions().first()->text(), "Jo62");
  link().ChoosePopupItem("Grid", "Jo62");
  EXPECT_EQ(w().OtherEdit->text(), "Jo62");
  EXPECT_EQ(Exported("Grid"), "Jo62");
  link().ChoosePopupItem("QTH", "Paris");
  EXPECT_EQ(w().OtherEdit->text(), "Jo62");  // the field stands for the grid
  EXPECT_EQ(Exported("QTH"), "Paris");
  link().ChoosePopupItem("Name", "Fritz");
  EXPECT_EQ(w().NameEdit->text(), "Fritz");
  link().ChoosePopupItem("Call", "K1XYZ");
  EXPECT_EQ(w().CallEdit->text(), "K1XYZ");
  EXPECT_EQ(Exported("Call"), "K1XYZ");
  link().popup()->close();
}

TEST_F(LoggerLinkTest, CommandsOfTheLogger) {
  form_->Ticks(20);
  // The logger's file with the calls it found.
  {
    IniFile ini;
    ini.WriteText("QSO", "FoundCall", " DL1ABC ");
    ini.WriteText("QSO", "FoundCall3", "K1XYZ");
    ASSERT_EQ(ini.Save(LoggerIniPath("brusk.ini")), "");
  }
  struct Case {
    int channel;
    uint32_t wParam;
    uint32_t lParam;
    const char* effect;  // null: ignored
  };
  const Case cases[] = {
      {6, 0x0500006E, 0, "SetTransmit 0"},
      {6, 0x0400006E, 0, nullptr},
      {6, 0x0A00006E, 0, "SetTransmit 0"},
      {1, 0x0A00006E, 0, "SetTransmit 0"},
      {0, 0x0A00006E, 0, nullptr},
      {1, 0x0000006F, 0, "SetTransmit 1"},
      {1, 0x00000065, 0, "SetPause 1"},
      {1, 0x00000064, 0, "SetPause 0"},
      {1, 20, 0, "RunMacro 20"},
      {1, 0x0A000000 | 36, 0, "RunMacro 36"},
      {1, 98, 255, "Highlight DL1ABC 255"},
      {3, 0x02000062, 7, "Highlight K1XYZ 7"},
      {1, 99, 0, nullptr},
      {1, 128, 0, "Box QSO not saved into the log!"},
      {1, 130, 1, nullptr},
  };
  for (const Case& c : cases) {
    w().settings().MessageChannel = c.channel;
    const size_t before = parts_.log.size();
    w().HandleBrkCw(c.wParam, c.lParam);
    std::vector<std::string> added(parts_.log.begin() + static_cast<std::ptrdiff_t>(before), parts_.log.end());
    if (c.effect == nullptr) {
      EXPECT_TRUE(added.empty()) << std::hex << c.wParam << ": " << (added.empty() ? "" : added[0]);
    } else {
      EXPECT_EQ(added, std::vector<std::string>{c.effect}) << std::hex << c.wParam;
    }
  }
  // Beacon on: its first call on the next second.
  w().settings().MessageChannel = 1;
  w().settings().BeaconPeriod = 30;
  events_.log.clear();
  w().HandleBrkCw(125, 0);
  EXPECT_TRUE(w().BeaconOn);
  EXPECT_EQ(w().BeaconSeconds, 29);
  EXPECT_EQ(w().Panel(10)->text(), "BEA:W");
  EXPECT_EQ(events_.log, std::vector<std::string>{"OnCommand 125"});
  w().HandleBrkCw(124, 0);
  EXPECT_FALSE(w().BeaconOn);
}

TEST_F(LoggerLinkTest, ARepeatingLoggerGetsOneBoxAtATime) {
  form_->Ticks(20);
  int nested = 0;
  parts_.onBox = [&] {
    // The box's own loop takes the next message of the logger.
    if (nested++ < 3) w().HandleBrkCw(130, 0);
  };
  w().HandleBrkCw(128, 0);
  EXPECT_EQ(parts_.boxes.size(), 1u);
  parts_.onBox = nullptr;
  w().HandleBrkCw(128, 0);
  EXPECT_EQ(parts_.boxes.size(), 2u);
}

TEST_F(LoggerLinkTest, AFailedExportIsReportedOnce) {
  // The export file's folder cannot be made: a file stands where it would be.
  std::ofstream(dir_.path() / "blocker") << "x";
  w().settings().ExportIniFile = (dir_.path() / "blocker" / "loginput.ini").string();
  w().NameEdit->setText("Hans");
  link().NameEditExit();
  link().NameEditExit();
  ASSERT_EQ(parts_.boxes.size(), 1u);
  EXPECT_NE(parts_.boxes[0].second.find("cannot be written"), std::string::npos);
}

TEST_F(LoggerLinkTest, LeavingAFieldExportsIt) {
  w().RSTEdit->setText("559");
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(w().RSTEdit, &away);
  EXPECT_EQ(Exported("RprtSent"), std::nullopt);  // another program took the focus
  QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(w().RSTEdit, &tab);
  EXPECT_EQ(Exported("RprtSent"), "559");
}

TEST_F(LoggerLinkTest, PanelCaptionsLeaveTheAltKeysToTheKeyTable) {
  EXPECT_EQ(w().ClearEditButton->text(), "Cle&ar");
  EXPECT_TRUE(w().ClearEditButton->shortcut().isEmpty());
  QStringList captions;
  for (QLabel* l : w().QsoPanel->findChildren<QLabel*>()) captions << l->text();
  EXPECT_EQ(captions, (QStringList{"<u>C</u>:", "<u>R</u>:", "<u>N</u>:", "<u>O</u>:"}));
}

}  // namespace
}  // namespace vestrel
