// ctest-labels: integration
// The window on a real X server (Xvfb) with one row of macro buttons and Ctrl held: the row
// shows the Ctrl captions. Screenshots go to build/<name>/tests/screenshots/macro_buttons_ctrl*.png.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/rx_form.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

TEST(MacroButtonsScreen, OneRowWithCtrlHeldShowsTheCtrlCaptions) {
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd = "VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb timeout -k 10 120 xvfb-run -a -s "
                            "'-screen 0 1024x768x24' '" +
                            self + "' --gtest_filter=MacroButtonsScreen.OneRowWithCtrlHeldShowsTheCtrlCaptions";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  test::RecordingFormParts parts;
  test::Form f(parts, test::UniqueSemaphoreName("macroscreen"));
  TRxForm& w = *f.form;
  for (int n = 1; n <= 12; ++n) {
    w.macroTable().ButtonName[n] = std::string("F").append(std::to_string(n));
    w.macroTable().ButtonName[n + 12] = std::string("Ctrl ").append(std::to_string(n));
  }
  f.Ticks(20);
  w.ShowMacroRows(1);
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::qWait(200);
  QTest::keyPress(w.Input, Qt::Key_Control, Qt::ControlModifier);
  QTest::qWait(200);
  for (int n = 1; n <= 12; ++n)
    EXPECT_EQ(w.ButMacro[n]->text().toStdString(), std::string("Ctrl ").append(std::to_string(n)));
  EXPECT_LT(w.Panel2->height(), 2 * TRxForm::kMacroButtonHeight);
  const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  fs::create_directories(dir);
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
  EXPECT_TRUE(shot.save(QString::fromStdString((dir / "macro_buttons_ctrl.png").string())));
  EXPECT_TRUE(w.grab().save(QString::fromStdString((dir / "macro_buttons_ctrl_window.png").string())));
  QTest::keyRelease(w.Input, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(w.ButMacro[1]->text().toStdString(), "F1");
}

}  // namespace
}  // namespace vestrel
