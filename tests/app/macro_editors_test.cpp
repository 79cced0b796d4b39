// The two macro editors through the main window: "Edit Macros" with OK, Apply, Save and Cancel,
// the fast editor of one function key, their layouts when resized, 8-bit texts through the code
// page, and what a save leaves in the settings file for the next start.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/fast_macros_form.h"
#include "app/macros_form.h"
#include "app/rx_form.h"
#include "app/settings_file.h"
#include "platform/ini_file.h"
#include "support/recording_form.h"
#include "support/test_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;
using MacroEditors = test::WorkingDirTest;

// The recording seams; a macro that runs puts its expanded text at the input's caret.
struct Parts : test::RecordingFormParts {
  void InsertAtCaret(const std::string& text) override { Log("InsertAtCaret " + text); }
};

// A started window with both editors, its settings in the real file "other.ini" named by /F and
// its macros the program's own.
struct Editors : test::Form {
  Editors(Parts& p, TSettingsFile& file, const char* tag)
      : Form(p, test::UniqueSemaphoreName(tag), {"/F", "other.ini"}, nullptr, false, nullptr,
             [&file](TRxFormDeps& d) {
               d.settings = &file;
               d.macros = nullptr;
             }),
        parts(p) {
    form->SetForms(&full, nullptr, &fast);
    Ticks(20);
    parts.log.clear();
  }
  ~Editors() {
    full.hide();
    fast.hide();
  }
  TRxForm& w() { return *form; }
  void OpenFull() { w().MenuItem("Edit Macros")->trigger(); }
  Parts& parts;
  TMacrosForm full;
  TFastMacrosForm fast;
};

std::string Str(const QString& s) { return s.toStdString(); }

// The section's keys and values as the file holds them.
std::vector<std::pair<std::string, std::string>> Section(const fs::path& file, const char* section) {
  return IniFile::FromText(ReadFile(file)).ReadSection(section);
}

const char* const kStartFile =
    "; kept\r\n[RTTY]\r\nMyCall=\"DL1ABC\"\r\n[Macros]\r\nMacro40=\"not ours\"\r\n[Other]\r\nKey = kept as it is\r\n";

TEST_F(MacroEditors, EditMacrosShowsTheTableApplyTakesItBackAndCancelKeepsWhatApplyCopied) {
  Parts parts;
  TSettingsFile file(Store(""));
  Editors e(parts, file, "full");
  TRxForm& w = e.w();
  w.macroTable().Macro[0] = "esc text";
  w.macroTable().Macro[7] = "line one\r\nline two";
  w.macroTable().ButtonName[7] = "CQ";
  w.macroTable().ButtonName[20] = "c8";
  e.OpenFull();
  ASSERT_TRUE(e.full.isVisible());
  EXPECT_EQ(e.full.windowTitle(), QStringLiteral("Edit Macros"));
  EXPECT_TRUE(e.full.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(e.full.isModal());
  EXPECT_EQ(Str(e.full.MacroEdit[0]->toPlainText()), "esc text");
  EXPECT_EQ(Str(e.full.MacroEdit[7]->toPlainText()), "line one\nline two");
  EXPECT_EQ(Str(e.full.MacroEdit[14]->toPlainText()), "Macro for Ctrl-2");
  EXPECT_EQ(Str(e.full.NameEdit[7]->text()), "CQ");
  EXPECT_EQ(Str(e.full.NameEdit[20]->text()), "c8");
  EXPECT_EQ(Str(e.full.NameEdit[36]->text()), "aF12");
  EXPECT_EQ(Str(e.full.KeyLabel[0]->text()), "Esc");
  EXPECT_EQ(Str(e.full.KeyLabel[20]->text()), "F8");

  // Apply: macros, captions and hints; the window stays open.
  e.full.MacroEdit[3]->setPlainText(QStringLiteral("new three\nsecond line"));
  e.full.NameEdit[3]->setText(QStringLiteral("Three"));
  e.full.NameEdit[27]->setText(QStringLiteral("A&3"));
  e.full.MacroEdit[27]->setPlainText(QStringLiteral("alt three"));
  QTest::mouseClick(e.full.ApplyButton, Qt::LeftButton);
  EXPECT_TRUE(e.full.isVisible());
  const TMacroTable applied = w.macroTable();
  EXPECT_EQ(applied.Macro[3], "new three\r\nsecond line");
  EXPECT_EQ(applied.ButtonName[3], "Three");
  EXPECT_EQ(applied.ButtonName[27], "A&3");
  EXPECT_EQ(applied.Macro[27], "alt three");
  EXPECT_EQ(applied.Macro[7], "line one\r\nline two");
  EXPECT_EQ(Str(w.ButMacro[3]->text()), "Three");
  EXPECT_EQ(Str(w.ButMacro[27]->text()), "A&&3");
  EXPECT_EQ(Str(w.ButMacro[3]->toolTip()), "new three\r\nsecond line");
  EXPECT_EQ(Str(w.ButMacro[27]->toolTip()), "alt three");
  EXPECT_TRUE(parts.boxes.empty());

  // Cancel after Apply: what Apply copied stays, the later edit is dropped.
  e.full.MacroEdit[3]->setPlainText(QStringLiteral("dropped"));
  QTest::mouseClick(e.full.CancelButton, Qt::LeftButton);
  EXPECT_FALSE(e.full.isVisible());
  EXPECT_FALSE(e.full.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w.macroTable() == applied);
  EXPECT_EQ(Str(w.ButMacro[3]->text()), "Three");

  // Reopened, the editor shows the table again; OK applies and hides in normal style.
  e.OpenFull();
  EXPECT_EQ(Str(e.full.MacroEdit[3]->toPlainText()), "new three\nsecond line");
  e.full.MacroEdit[12]->setPlainText(QStringLiteral("by ok"));
  QTest::mouseClick(e.full.OkButton, Qt::LeftButton);
  EXPECT_FALSE(e.full.isVisible());
  EXPECT_FALSE(e.full.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(w.macroTable().Macro[12], "by ok");
  // Esc is Cancel.
  e.OpenFull();
  e.full.MacroEdit[12]->setPlainText(QStringLiteral("not kept"));
  QTest::keyClick(e.full.MacroEdit[12], Qt::Key_Escape);
  EXPECT_FALSE(e.full.isVisible());
  EXPECT_EQ(w.macroTable().Macro[12], "by ok");
  // Nothing was written by Apply, OK or Cancel.
  EXPECT_FALSE(fs::exists(work() / "other.ini"));
  EXPECT_FALSE(fs::exists(work() / "VESTREL.INI"));
}

TEST_F(MacroEditors, SaveWritesEveryMacroAndNameIntoTheFileGivenAndNoOtherKey) {
  WriteFile(work() / "other.ini", kStartFile);
  Parts parts;
  TSettingsFile file(Store(""));
  Editors e(parts, file, "save");
  e.OpenFull();
  e.full.MacroEdit[1]->setPlainText(QStringLiteral("saved one\nline"));
  e.full.NameEdit[1]->setText(QStringLiteral("One"));
  QTest::mouseClick(e.full.SaveButton, Qt::LeftButton);
  EXPECT_TRUE(parts.boxes.empty());
  EXPECT_TRUE(e.full.isVisible());  // Save applies and writes; the editor stays
  const fs::path ini = work() / "other.ini";
  const auto macros = Section(ini, "Macros");
  const auto names = Section(ini, "Buttons");
  EXPECT_EQ(macros.size(), 38u);  // Macro0..Macro36 and the key that was there
  EXPECT_EQ(names.size(), 36u);
  const IniFile saved = IniFile::FromText(ReadFile(ini));
  EXPECT_EQ(saved.Value("Macros", "Macro1"), "saved one~[lf]line");
  EXPECT_EQ(saved.Value("Buttons", "Name1"), "One");
  EXPECT_EQ(saved.Value("Buttons", "Name36"), "aF12");
  EXPECT_EQ(saved.Value("Macros", "Macro40"), "not ours");
  EXPECT_EQ(Section(ini, "RTTY"), (std::vector<std::pair<std::string, std::string>>{{"MyCall", "DL1ABC"}}));
  EXPECT_EQ(Section(ini, "Other"), (std::vector<std::pair<std::string, std::string>>{{"Key", "kept as it is"}}));
  EXPECT_EQ(ReadFile(ini).rfind("; kept\r\n[RTTY]\r\nMyCall=\"DL1ABC\"\r\n", 0), 0u);
  EXPECT_FALSE(fs::exists(work() / "VESTREL.INI"));
}

TEST_F(MacroEditors, TheFastEditorChangesOneKeysThreeMacrosAndSavesThemIntoTheFileGiven) {
  WriteFile(work() / "other.ini", kStartFile);
  Parts parts;
  TSettingsFile file(Store(""));
  Editors e(parts, file, "fast");
  TRxForm& w = e.w();
  const TMacroTable before = w.macroTable();
  QTest::mouseClick(w.ButMacro[17], Qt::RightButton);
  ASSERT_TRUE(e.fast.isVisible());
  EXPECT_EQ(e.fast.FunctionKey, 5);
  EXPECT_EQ(Str(e.fast.KeyLabel[1]->text()), "Ctrl-F5");
  e.fast.FBNEdit1->setText(QStringLiteral("Five"));
  e.fast.FBNEdit2->setText(QStringLiteral("cFive"));
  e.fast.FBNEdit3->setText(QStringLiteral("aFive"));
  e.fast.FastMacroEdit1->setPlainText(QStringLiteral("m5"));
  e.fast.FastMacroEdit2->setPlainText(QStringLiteral("m17"));
  e.fast.FastMacroEdit3->setPlainText(QStringLiteral("m29\nend"));
  QTest::mouseClick(e.fast.OkButton, Qt::LeftButton);
  EXPECT_FALSE(e.fast.isVisible());
  EXPECT_FALSE(e.fast.windowFlags() & Qt::WindowStaysOnTopHint);
  TMacroTable expected = before;
  expected.Macro[5] = "m5";
  expected.Macro[17] = "m17";
  expected.Macro[29] = "m29\r\nend";
  expected.ButtonName[5] = "Five";
  expected.ButtonName[17] = "cFive";
  expected.ButtonName[29] = "aFive";
  EXPECT_TRUE(w.macroTable() == expected);
  for (int n = 1; n <= 36; ++n) {
    const std::string caption = n == 5 ? "Five" : n == 17 ? "cFive" : n == 29 ? "aFive" : before.ButtonName[size_t(n)];
    EXPECT_EQ(Str(w.ButMacro[size_t(n)]->text()), caption) << n;
    EXPECT_EQ(Str(w.ButMacro[size_t(n)]->toolTip()), expected.Macro[size_t(n)]) << n;
  }
  EXPECT_EQ(ReadFile(work() / "other.ini"), kStartFile);  // OK writes nothing

  // Save: the same three pairs into the /F file, and only those.
  QTest::mouseClick(w.ButMacro[5], Qt::RightButton);
  e.fast.FastMacroEdit1->setPlainText(QStringLiteral("saved five"));
  QTest::mouseClick(e.fast.SaveButton, Qt::LeftButton);
  EXPECT_FALSE(e.fast.isVisible());
  EXPECT_TRUE(parts.boxes.empty());
  const fs::path ini = work() / "other.ini";
  using Keys = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(Section(ini, "Macros"),
            (Keys{{"Macro40", "not ours"}, {"Macro5", "saved five"}, {"Macro17", "m17"}, {"Macro29", "m29~[lf]end"}}));
  EXPECT_EQ(Section(ini, "Buttons"), (Keys{{"Name5", "Five"}, {"Name17", "cFive"}, {"Name29", "aFive"}}));
  EXPECT_NE(ReadFile(ini).find("\r\nMacro5=\"saved five\"\r\n"), std::string::npos);  // in double quotes
  EXPECT_NE(ReadFile(ini).find("\r\nName29=\"aFive\"\r\n"), std::string::npos);
  EXPECT_EQ(Section(ini, "Other"), (Keys{{"Key", "kept as it is"}}));
  EXPECT_FALSE(fs::exists(work() / "VESTREL.INI"));
  // Cancel keeps nothing.
  QTest::mouseClick(w.ButMacro[29], Qt::RightButton);
  e.fast.FastMacroEdit3->setPlainText(QStringLiteral("dropped"));
  QTest::mouseClick(e.fast.CancelButton, Qt::LeftButton);
  EXPECT_FALSE(e.fast.isVisible());
  EXPECT_EQ(w.macroTable().Macro[29], "m29\r\nend");
}

TEST_F(MacroEditors, AFastSaveThatCannotWriteIsReportedOnce) {
  Parts parts;
  TSettingsFile file(Store(""));
  fs::create_directory(work() / "other.ini");  // a folder where the file should be
  Editors e(parts, file, "fastfail");
  QTest::mouseClick(e.w().ButMacro[2], Qt::RightButton);
  QTest::mouseClick(e.fast.SaveButton, Qt::LeftButton);
  ASSERT_EQ(parts.boxes.size(), 1u);
  EXPECT_EQ(parts.boxes[0].first, "Vestrel - Settings File Error");
  EXPECT_FALSE(fs::exists(work() / "VESTREL.INI"));
}

TEST(MacroEditorsLayout, TheFullEditorsColumnsFollowItsWidth) {
  test::TestApp();
  TMacrosForm f;
  const struct {
    int width, edit, label2, edit2, label3, edit3;
  } rows[] = {
      {165, 10, 55, 92, 106, 143},
      {166, 10, 55, 92, 106, 143},
      {168, 11, 56, 93, 108, 145},
      {435, 100, 145, 182, 286, 323},
      {TMacrosForm::kDesignWidth, 200, 245, 282, 486, 523},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.width);
    f.resize(r.width, TMacrosForm::kDesignHeight);
    f.FormResize();  // a hidden window gets its resize event only when shown
    EXPECT_EQ(TMacrosForm::EditWidth(r.width), r.edit);
    for (int n = 0; n <= 36; ++n) EXPECT_EQ(f.MacroEdit[size_t(n)]->width(), r.edit) << n;
    for (int row = 1; row <= 12; ++row) {
      EXPECT_EQ(f.MacroEdit[size_t(row)]->x(), 41);
      EXPECT_EQ(f.KeyLabel[size_t(row)]->x(), 4);
      EXPECT_EQ(f.KeyLabel[size_t(row + 12)]->x(), r.label2);
      EXPECT_EQ(f.NameEdit[size_t(row + 12)]->x(), r.label2);
      EXPECT_EQ(f.MacroEdit[size_t(row + 12)]->x(), r.edit2);
      EXPECT_EQ(f.KeyLabel[size_t(row + 24)]->x(), r.label3);
      EXPECT_EQ(f.NameEdit[size_t(row + 24)]->x(), r.label3);
      EXPECT_EQ(f.MacroEdit[size_t(row + 24)]->x(), r.edit3);
    }
  }
}

TEST(MacroEditorsLayout, TheFastEditorsMacroEditsFollowItsWidth) {
  test::TestApp();
  TFastMacrosForm f;
  EXPECT_EQ(TFastMacrosForm::kNameEditWidth, f.FBNEdit1->width());
  for (const auto& [width, edit] : std::vector<std::pair<int, int>>{{40, 10}, {75, 10}, {76, 10}, {77, 11},
                                                                      {200, 134}, {560, 494}}) {
    SCOPED_TRACE(width);
    f.resize(width, TFastMacrosForm::kDesignHeight);
    f.FormResize();
    for (QPlainTextEdit* e : {f.FastMacroEdit1, f.FastMacroEdit2, f.FastMacroEdit3}) EXPECT_EQ(e->width(), edit);
    if (width >= 76) {
      EXPECT_EQ(f.FastMacroEdit1->geometry().right() + 1, width - 8);
    }
  }
  EXPECT_EQ(Str(f.FBNEdit1->text()), "F1");
  EXPECT_EQ(Str(f.FBNEdit2->text()), "c-F1");
  EXPECT_EQ(Str(f.FBNEdit3->text()), "a-F1");
}

// Every byte 0x80..0xFF (and a no-break space, a tab and a lone LF) in macros and captions:
// OK with nothing edited gives back every byte, in both code pages; what is typed is stored in
// the code page of the receive font.
TEST_F(MacroEditors, EightBitTextsSurviveOkByteForByteAndTypedTextTakesTheCodePage) {
  Parts parts;
  TSettingsFile file(Store(""));
  Editors e(parts, file, "bytes");
  TRxForm& w = e.w();
  std::string high;
  for (int b = 0x80; b <= 0xFF; ++b) high.push_back(char(b));
  const std::string cyrillic = "\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0";  // "Привет мир" in 1251
  for (int charset : {204, 0}) {
    SCOPED_TRACE(charset);
    w.settings().RxFont.FontCharset = charset;
    TMacroTable& t = w.macroTable();
    for (int n = 0; n <= 36; ++n) t.Macro[size_t(n)] = n % 2 ? high : cyrillic + "\xA0\t\n" + std::to_string(n);
    for (int n = 1; n <= 36; ++n) t.ButtonName[size_t(n)] = n % 2 ? cyrillic : high.substr(size_t(n), 5);
    const TMacroTable before = t;
    e.OpenFull();
    QTest::mouseClick(e.full.OkButton, Qt::LeftButton);
    EXPECT_TRUE(t == before);
    QTest::mouseClick(w.ButMacro[6], Qt::RightButton);
    QTest::mouseClick(e.fast.OkButton, Qt::LeftButton);
    EXPECT_TRUE(t == before);
  }
  // Shown and typed through code page 1251.
  w.settings().RxFont.FontCharset = 204;
  e.OpenFull();
  EXPECT_EQ(e.full.NameEdit[1]->text(), QStringLiteral(u"Привет мир"));
  e.full.NameEdit[2]->setText(QStringLiteral(u"Ответ"));
  e.full.MacroEdit[2]->setPlainText(QStringLiteral(u"Ёж\u00A0№"));
  QTest::mouseClick(e.full.OkButton, Qt::LeftButton);
  EXPECT_EQ(w.macroTable().ButtonName[2], "\xCE\xF2\xE2\xE5\xF2");
  EXPECT_EQ(w.macroTable().Macro[2], "\xA8\xE6\xA0\xB9");
  EXPECT_EQ(w.ButMacro[1]->text(), QStringLiteral(u"Привет мир"));
  EXPECT_EQ(w.ButMacro[2]->text(), QStringLiteral(u"Ответ"));
  EXPECT_EQ(w.ButMacro[2]->toolTip(), QStringLiteral(u"Ёж\u00A0№"));
  // Code page 1252 for any other character set.
  w.settings().RxFont.FontCharset = 0;
  QTest::mouseClick(w.ButMacro[3], Qt::RightButton);
  e.fast.FBNEdit1->setText(QStringLiteral(u"Grüße €"));
  QTest::mouseClick(e.fast.OkButton, Qt::LeftButton);
  EXPECT_EQ(w.macroTable().ButtonName[3], "Gr\xFC\xDF\x65 \x80");
  EXPECT_EQ(w.ButMacro[3]->text(), QStringLiteral(u"Grüße €"));
}

// As a new operator would: F1's text and caption changed in "Edit Macros", "Save", the program
// started again with the same settings file: the button shows the new caption and F1 sends the
// new text.
TEST_F(MacroEditors, F1EditedAndSavedIsTheF1OfTheNextStart) {
  WriteFile(work() / "other.ini", kStartFile);
  TSettingsFile file(Store(""));
  {
    Parts parts;
    Editors e(parts, file, "restart1");
    e.OpenFull();
    e.full.NameEdit[1]->setText(QStringLiteral(u"CQ Привет"));
    e.full.MacroEdit[1]->setPlainText(QStringLiteral(u"CQ CQ de Ёлка\nk"));
    QTest::mouseClick(e.full.SaveButton, Qt::LeftButton);
    QTest::mouseClick(e.full.CancelButton, Qt::LeftButton);
    EXPECT_TRUE(parts.boxes.empty());
  }
  Parts parts;
  Editors e(parts, file, "restart2");
  TRxForm& w = e.w();
  EXPECT_EQ(w.ButMacro[1]->text(), QStringLiteral(u"CQ Привет"));
  EXPECT_EQ(w.ButMacro[1]->toolTip(), QStringLiteral(u"CQ CQ de Ёлка~[lf]k"));
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(w.Input, Qt::Key_F1);
  EXPECT_TRUE(parts.Has("InsertAtCaret CQ CQ de \xA8\xEB\xEA\xE0\r\nk")) << ::testing::PrintToString(parts.log);
  w.hide();
}

}  // namespace
}  // namespace vestrel
