// The settings file through the main window: what a start applies, what a save takes back,
// the default directory and the platform flag of the store, the first start's macros.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <functional>

#include "app/fast_macros_form.h"
#include "app/macros_form.h"
#include "app/rx_form.h"
#include "app/settings_file.h"
#include "engine/frequency_unit.h"
#include "platform/fake_wave.h"
#include "support/recording_form.h"
#include "support/test_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

using test::ReadFile;
using test::WriteFile;
using WindowSettingsTest = test::WorkingDirTest;

// The window's settings part: the settings file given.
std::function<void(TRxFormDeps&)> UseFile(TSettingsFile& file) {
  return [&file](TRxFormDeps& d) { d.settings = &file; };
}

TEST_F(WindowSettingsTest, AFirstStartWithoutAFileHasTheDefaultCaptionsAndMacros) {
  RecordingFormParts parts;
  TSettingsFile file(Store(""));
  Form f(parts, UniqueSemaphoreName("first"), {}, nullptr, false, nullptr, UseFile(file));
  f.Ticks(19);
  for (int n = 1; n <= 12; ++n) EXPECT_EQ(f.form->ButMacro[n]->text(), QStringLiteral("F%1").arg(n));
  EXPECT_EQ(f.form->macroTable().Macro[14], "Macro for Ctrl-2");
  EXPECT_EQ(f.form->settings().MyCall, "XX0XXX");
  EXPECT_EQ(f.form->engine().params.Mode, 0);
  EXPECT_TRUE(f.form->AfcButton->isChecked());  // AFC is on by default
  EXPECT_TRUE(test::RxText(*f.form).empty());
  EXPECT_FALSE(fs::exists(work() / "VESTREL.INI"));  // a start writes nothing
}

TEST_F(WindowSettingsTest, AMissingFileFallsBackToTheStoresDefaultDirectory) {
  WriteFile(home() / "VESTREL.INI", "[RTTY]\r\nMyCall=\"DL1TST\"\r\n");
  TSettingsFile file(Store(std::string("DefaultDir=").append(home().string()).append("\r\n")));
  {
    RecordingFormParts parts;
    Form f(parts, UniqueSemaphoreName("home"), {}, nullptr, false, nullptr, UseFile(file));
    EXPECT_EQ(fs::current_path(), home());
    const std::string notice = std::string("VESTREL.INI file was not found in a working directory\r\n")
                                   .append(work().string())
                                   .append("\r\nWorking directory was changed to default directory\r\n")
                                   .append(home().string())
                                   .append("\r\n");
    EXPECT_EQ(test::RxText(*f.form), notice);
    f.Ticks(19);
    EXPECT_EQ(f.form->settings().MyCall, "DL1TST");
  }
  // With /F naming a missing file the store is not consulted: defaults, no move, no notice.
  fs::current_path(work());
  RecordingFormParts parts;
  Form f(parts, UniqueSemaphoreName("given"), {"/F", "missing.ini"}, nullptr, false, nullptr, UseFile(file));
  EXPECT_EQ(fs::current_path(), work());
  EXPECT_TRUE(test::RxText(*f.form).empty());
  f.Ticks(19);
  EXPECT_EQ(f.form->settings().MyCall, "XX0XXX");
}

TEST_F(WindowSettingsTest, Isx64SetsPortDriverMissing) {
  for (const auto& [lines, set] : {std::pair<std::string, bool>{"Isx64=1\r\n", true}, {"Isx64=0\r\n", false},
                                   {"", false}}) {
    SCOPED_TRACE(lines);
    RecordingFormParts parts;
    TSettingsFile file(Store(lines));
    Form f(parts, UniqueSemaphoreName("x64"), {}, nullptr, false, nullptr, UseFile(file));
    EXPECT_EQ(parts.Has("SetPortDriverMissing"), set);
  }
}

// A file of every key, saved by one window, loaded by a second and saved again: the same bytes,
// the same settings, and the lines of others kept.
TEST_F(WindowSettingsTest, SaveLoadSaveThroughTheWindowIsByteIdentical) {
  std::string start = ReadFile(fs::path(VESTREL_SOURCE_DIR) / "fuzz/app/settings_file_fuzz_corpus/all_keys.ini");
  ASSERT_FALSE(start.empty());
  // A mode whose receiver is built, and the one capture device of the fake card.
  start.replace(start.find("\r\nMode=12\r\n"), 11, "\r\nMode=4\r\n");
  start.replace(start.find("\r\nSoundCardNumber=3\r\n"), 22, "\r\nSoundCardNumber=0\r\n");
  const fs::path ini = work() / "my settings.ini";
  WriteFile(ini, start);
  TSettingsFile file(Store(""));
  auto startAndSave = [&](const char* name, TAppSettings* loaded) {
    FakeWaveBackend backend;
    RecordingFormParts parts;
    Form f(parts, UniqueSemaphoreName(name), {"/F", ini.string()}, nullptr, false, &backend, UseFile(file));
    f.Ticks(20);
    if (loaded != nullptr) *loaded = f.form->settings();
    EXPECT_TRUE(f.form->SaveSettings());
    EXPECT_TRUE(f.form->SaveMacros());
    for (const auto& [caption, text] : parts.boxes) ADD_FAILURE() << caption << ": " << text;
    return f.form->settings();
  };
  const TAppSettings savedFirst = startAndSave("save1", nullptr);
  const std::string first = ReadFile(ini);
  TAppSettings loadedSecond;
  startAndSave("save2", &loadedSecond);
  EXPECT_EQ(ReadFile(ini), first);
  EXPECT_TRUE(loadedSecond == savedFirst);  // every key loads back as it was saved
  EXPECT_NE(first.find("; Every key of the settings file"), std::string::npos);
  EXPECT_NE(first.find("[Other]\r\nKey = kept as it is\r\n"), std::string::npos);
  EXPECT_NE(first.find("FontName=\"DejaVu Sans Mono\""), std::string::npos);
  EXPECT_NE(first.find("Mode=4\r\n"), std::string::npos);
}

TEST_F(WindowSettingsTest, AHandWrittenFileElsewhereStartsInBpsk31At1500Hz) {
  fs::create_directories(dir_.path() / "elsewhere");
  const fs::path ini = dir_.path() / "elsewhere" / "station.ini";
  WriteFile(ini, "[RTTY]\nMode=1\nRxFrequency=1500\n");
  FakeWaveBackend backend;
  RecordingFormParts parts;
  TSettingsFile file(Store(""));
  Form f(parts, UniqueSemaphoreName("bpsk"), {"/F", ini.string()}, nullptr, false, &backend, UseFile(file));
  f.Ticks(20);
  const TModemParams& p = f.form->engine().params;
  EXPECT_EQ(p.Mode, kModeBpsk31);
  EXPECT_EQ(f.form->Panel(0)->text().toStdString(), "BPSK31");
  EXPECT_EQ(p.RxTone[0], HzToUnits(1500));
  EXPECT_EQ(p.RxTone[1], HzToUnits(1500));
  EXPECT_EQ(std::lround(UnitsToHz(p.RxTone[0])), 1500);
}

TEST_F(WindowSettingsTest, ControlsAndFontsFollowTheFileAndAFaceThisMachineLacksIsSavedAsRead) {
  const fs::path ini = work() / "VESTREL.INI";
  WriteFile(ini,
           "[RTTY]\r\nAFC=0\r\nIsSquelch=1\r\nSquelchThreshold=80\r\nReverse=1\r\nBeaconPeriod=45\r\n"
           "UnshiftOnSpace=1\r\nTxAfc=1\r\nDoFastSync=1\r\n"
           "[RxFont]\r\nFontName=\"No Such Face 123\"\r\nFontStyle=5\r\nFontSize=14\r\nFontColor=255\r\n"
           "[Buttons]\r\nName1=\"CQ\"\r\n");
  RecordingFormParts parts;
  TSettingsFile file(Store(""));
  Form f(parts, UniqueSemaphoreName("controls"), {}, nullptr, false, nullptr, UseFile(file));
  f.Ticks(19);
  TRxForm& w = *f.form;
  EXPECT_FALSE(w.AfcButton->isChecked());
  EXPECT_TRUE(w.TxAfcButton->isChecked());
  EXPECT_TRUE(w.SqlButton->isChecked());
  EXPECT_EQ(w.SqlUpDown->value(), 80);
  EXPECT_TRUE(w.ReverseButton->isChecked());
  EXPECT_EQ(w.BeaconUpDown->value(), 45);
  EXPECT_EQ(w.Panel(7)->text().toStdString(), "UoS");
  EXPECT_EQ(w.engine().amtorFec.AmtorFastSync, 1);
  EXPECT_EQ(w.ButMacro[1]->text().toStdString(), "CQ");
  // The receive window draws in the memo's font: 14 points at the screen's resolution.
  const TMemoFont& memoFont = w.RxMemo->Font();
  EXPECT_EQ(memoFont.Name, "No Such Face 123");
  EXPECT_EQ(memoFont.Style, 5);
  EXPECT_EQ(memoFont.Color, 255);
  EXPECT_EQ(w.RxMemo->HighlightColor(), 255);
  const QFont font = w.RxMemo->QtFont(memoFont.Style);
  EXPECT_TRUE(font.bold());
  EXPECT_TRUE(font.underline());
  EXPECT_FALSE(font.italic());
  EXPECT_EQ(font.pixelSize(), std::lround(14 * w.RxMemo->logicalDpiY() / 72.0));
  // A system colour stays the desktop's.
  EXPECT_EQ(w.Input->palette().color(QPalette::Text), QApplication::palette(w.Input).color(QPalette::Text));

  w.SqlUpDown->setValue(60);
  ASSERT_TRUE(w.SaveSettings());
  const std::string saved = ReadFile(ini);
  EXPECT_NE(saved.find("FontName=\"No Such Face 123\""), std::string::npos);
  EXPECT_NE(saved.find("SquelchThreshold=60\r\n"), std::string::npos);
  EXPECT_NE(saved.find("AFC=0\r\n"), std::string::npos);
  EXPECT_NE(saved.find("DoFastSync=1\r\n"), std::string::npos);
}

// A key's value in a saved file ("" when it is missing).
std::string KeyValue(const std::string& text, const std::string& key) {
  const size_t at = text.find("\r\n" + key + "=");
  if (at == std::string::npos) return "";
  const size_t from = at + key.size() + 3;
  return text.substr(from, text.find('\r', from) - from);
}

// Rows the operator dragged, the editors' windows and a running beacon: saved from the controls,
// and back on them at the next start, whose save writes the same.
TEST_F(WindowSettingsTest, PaneHeightsEditorWindowsAndTheBeaconComeBack) {
  const fs::path ini = work() / "panes.ini";
  WriteFile(ini, "[Screen]\r\nLeft=40\r\nTop=30\r\nHeight=640\r\nWidth=820\r\n");
  TSettingsFile file(Store(""));
  struct Rows {
    int rx, fft, osc, sent, input, macros, fields;
    bool operator==(const Rows&) const = default;
  };
  auto rows = [](TRxForm& w) {
    return Rows{w.RxMemo->height(), w.FFTBox->height(), w.PaintBox1->height(), w.Sent->height(),
                w.Input->height(),  w.Panel2->height(), w.QsoPanel->height()};
  };
  auto start = [&](const char* name,
                   const std::function<void(TRxForm&, TMacrosForm&, TFastMacrosForm&)>& act) {
    FakeWaveBackend backend;
    RecordingFormParts parts;
    Form f(parts, UniqueSemaphoreName(name), {"/F", ini.string()}, nullptr, false, &backend, UseFile(file));
    TMacrosForm macros;
    TFastMacrosForm fast;
    f.form->SetForms(&macros, nullptr, &fast);
    f.form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
    f.Ticks(20);
    QApplication::processEvents();
    act(*f.form, macros, fast);
    QApplication::processEvents();
    const Rows r = rows(*f.form);
    EXPECT_TRUE(f.form->SaveSettings());
    for (const auto& [caption, text] : parts.boxes) ADD_FAILURE() << caption << ": " << text;
    return r;
  };
  // The operator drags the bar under the receive window down and the one above the typing
  // window up, moves the macro editor and turns the beacon on.
  const Rows dragged = start("panes1", [](TRxForm& w, TMacrosForm& macros, TFastMacrosForm&) {
    auto drag = [&](int handle, int dy) {
      QWidget* bar = w.Panes->handle(handle);
      const QPoint at(bar->width() / 2, 1);
      QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, at);
      QTest::mouseMove(bar, at + QPoint(0, dy / 2));
      QTest::mouseMove(bar, at + QPoint(0, dy));
      QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, at + QPoint(0, dy));
    };
    const int rx = w.RxMemo->height(), input = w.Input->height();
    drag(w.Panes->indexOf(w.Panel2), 40);
    drag(w.Panes->indexOf(w.Input), -20);
    EXPECT_GT(w.RxMemo->height(), rx);
    EXPECT_GT(w.Input->height(), input);
    macros.show();
    macros.move(123, 87);
    macros.resize(500, 300);
    QApplication::processEvents();
    macros.hide();
    w.BeaconButton->click();
  });
  const std::string first = ReadFile(ini);
  EXPECT_EQ(KeyValue(first, "RHeight"), std::to_string(dragged.rx));
  EXPECT_EQ(KeyValue(first, "FHeight"), std::to_string(dragged.fft));
  EXPECT_EQ(KeyValue(first, "SHeight"), std::to_string(dragged.sent));
  EXPECT_EQ(KeyValue(first, "IHeight"), std::to_string(dragged.input));
  EXPECT_EQ(KeyValue(first, "DHeight"), std::to_string(dragged.osc));
  EXPECT_EQ(KeyValue(first, "EditFieldsHeight"), std::to_string(dragged.fields));
  EXPECT_EQ(KeyValue(first, "MacroLeft"), "123");
  EXPECT_EQ(KeyValue(first, "MacroWidth"), "500");
  EXPECT_EQ(KeyValue(first, "FastMacroLeft"), "-1");  // never shown nor placed
  EXPECT_EQ(KeyValue(first, "IsBeacon"), "1");
  const Rows again = start("panes2", [](TRxForm& w, TMacrosForm& macros, TFastMacrosForm&) {
    EXPECT_TRUE(w.BeaconButton->isChecked());
    EXPECT_TRUE(w.BeaconOn);
    EXPECT_EQ(macros.pos(), QPoint(123, 87));
    EXPECT_EQ(macros.size(), QSize(500, 300));
  });
  EXPECT_TRUE(again == dragged);
  EXPECT_EQ(ReadFile(ini), first);
}

TEST_F(WindowSettingsTest, AFailedSaveIsReportedOnceAndLeavesTheFile) {
  const fs::path folder = work() / "settings.ini";
  fs::create_directory(folder);  // there, but no file that can be read or replaced
  RecordingFormParts parts;
  TSettingsFile file(Store(""));
  Form f(parts, UniqueSemaphoreName("fail"), {"/F", folder.string()}, nullptr, false, nullptr, UseFile(file));
  f.Ticks(19);
  EXPECT_FALSE(f.form->SaveSettings());
  ASSERT_EQ(parts.boxes.size(), 1u);
  EXPECT_EQ(parts.boxes[0].first, "Vestrel - Settings File Error");
  EXPECT_NE(parts.boxes[0].second.find(folder.string()), std::string::npos);
  EXPECT_FALSE(f.form->SaveMacros());
  EXPECT_EQ(parts.boxes.size(), 2u);
  EXPECT_TRUE(fs::is_directory(folder));
}

}  // namespace
}  // namespace vestrel
