// ctest-labels: integration
// "Edit Macros" and the fast macro editor on a real X server (Xvfb) at their designed sizes,
// with Cyrillic and Latin captions and texts. Screenshots go to
// build/<name>/tests/screenshots/edit_macros*.png and fast_macros*.png.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/fast_macros_form.h"
#include "app/macros_form.h"
#include "app/rx_form.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// Every widget lies inside the window and no two of them overlap.
void ExpectNoOverlap(const QWidget& window) {
  std::vector<QWidget*> parts;
  for (QWidget* w : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (w->isVisible()) parts.push_back(w);
  for (size_t i = 0; i < parts.size(); ++i) {
    EXPECT_TRUE(window.rect().contains(parts[i]->geometry())) << parts[i]->objectName().toStdString();
    for (size_t j = i + 1; j < parts.size(); ++j)
      EXPECT_FALSE(parts[i]->geometry().intersects(parts[j]->geometry()))
          << parts[i]->objectName().toStdString() << " / " << parts[j]->objectName().toStdString();
  }
}

// A caption edit shows its whole text.
void ExpectWholeText(const QLineEdit* e) {
  const int room = e->contentsRect().width() - e->textMargins().left() - e->textMargins().right();
  EXPECT_LE(e->fontMetrics().horizontalAdvance(e->text()), room) << e->text().toStdString();
}

TEST(MacroEditorsScreen, BothEditorsAtTheirDesignedSize) {
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd = "VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb timeout -k 10 120 xvfb-run -a -s "
                            "'-screen 0 1024x768x24' '" +
                            self + "' --gtest_filter=MacroEditorsScreen.BothEditorsAtTheirDesignedSize";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  test::RecordingFormParts parts;
  test::Form f(parts, test::UniqueSemaphoreName("macroedscreen"));
  TRxForm& w = *f.form;
  TMacrosForm full;
  TFastMacrosForm fast;
  w.SetForms(&full, nullptr, &fast);
  f.Ticks(20);
  TMacroTable& t = w.macroTable();
  t.SetDefaultButtonNames();
  t.Macro[0] = "~[clr]";
  t.Macro[1] = "CQ CQ CQ de ~[mc] ~[mc] ~[mc] pse k";
  t.Macro[2] = "\xCF\xF0\xE8\xE2\xE5\xF2, ~[en]!";  // "Привет" in 1251
  t.ButtonName[2] = "\xCF\xF0\xE8\xE2";
  t.Macro[14] = "Line one\r\nline two";
  t.ButtonName[36] = "aF12";
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  fs::create_directories(dir);

  w.EditMacroses1Click();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&full));
  QTest::qWait(300);
  EXPECT_EQ(full.size(), QSize(TMacrosForm::kDesignWidth, TMacrosForm::kDesignHeight));
  EXPECT_EQ(full.MacroEdit[1]->width(), 200);
  ExpectNoOverlap(full);
  for (int n = 1; n <= 36; ++n) ExpectWholeText(full.NameEdit[size_t(n)]);
  EXPECT_EQ(full.NameEdit[2]->text(), QStringLiteral(u"Прив"));
  EXPECT_TRUE(full.grab().save(QString::fromStdString((dir / "edit_macros.png").string())));
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString::fromStdString((dir / "edit_macros_screen.png").string())));
  full.CancelButtonClick();

  QTest::mouseClick(w.ButMacro[14], Qt::RightButton);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fast));
  QTest::qWait(300);
  EXPECT_EQ(fast.size(), QSize(TFastMacrosForm::kDesignWidth, TFastMacrosForm::kDesignHeight));
  ExpectNoOverlap(fast);
  for (QLineEdit* e : {fast.FBNEdit1, fast.FBNEdit2, fast.FBNEdit3}) ExpectWholeText(e);
  EXPECT_TRUE(fast.grab().save(QString::fromStdString((dir / "fast_macros.png").string())));
  fast.CancelButtonClick();
}

}  // namespace
}  // namespace vestrel
