// ctest-labels: integration
// The About box on a real X server (Xvfb), opened from the Help menu of the window: its
// texts fit and a screenshot goes to build/<name>/tests/screenshots/about_box.png.
#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/about_form.h"
#include "app/rx_form.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

TEST(AboutScreen, TheBoxShowsItsTextsWhole) {
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd =
        "VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb timeout -k 10 120 xvfb-run -a -s "
        "'-screen 0 1024x768x24' '" +
        self + "' --gtest_filter=AboutScreen.TheBoxShowsItsTextsWhole";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  test::RecordingFormParts parts;
  test::Form f(parts, test::UniqueSemaphoreName("aboutscreen"));
  TRxForm& w = *f.form;
  f.Ticks(20);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  bool seen = false;
  QTimer::singleShot(0, &w, [&] {
    auto* about = w.findChild<TAbout*>(QStringLiteral("About"));
    if (about == nullptr) return;
    seen = true;
    EXPECT_TRUE(QTest::qWaitForWindowExposed(about));
    QTest::qWait(300);
    // Every line is shown at its full width.
    for (QLabel* l : {about->TitleLabel, about->RightsLabel, static_cast<QLabel*>(about->Links[0]),
                      static_cast<QLabel*>(about->Links[1]), static_cast<QLabel*>(about->Links[2])}) {
      EXPECT_GE(l->width(), l->sizeHint().width()) << l->text().toStdString();
      EXPECT_GE(l->height(), l->sizeHint().height()) << l->text().toStdString();
    }
    const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
    fs::create_directories(dir);
    EXPECT_TRUE(about->grab().save(QString::fromStdString((dir / "about_box.png").string())));
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    EXPECT_TRUE(shot.save(QString::fromStdString((dir / "about_box_screen.png").string())));
    QTest::mouseClick(about->OKButton, Qt::LeftButton);
  });
  w.MenuItem("About")->trigger();
  EXPECT_TRUE(seen);
  EXPECT_EQ(w.findChild<TAbout*>(QStringLiteral("About")), nullptr);
}

}  // namespace
}  // namespace vestrel
