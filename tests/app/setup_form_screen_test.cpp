// ctest-labels: integration
// The setup dialog on a real X server (Xvfb), filled from the default settings: a screenshot of
// each of its ten pages in build/<name>/tests/screenshots/setup_page_<n>.png, and every control
// of each page shown whole at the dialog's size.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/rx_form.h"
#include "app/setup_form.h"
#include "platform/fake_wave.h"
#include "support/fake_font_dialogs.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// The rectangle a control needs to show its text whole.
QSize Needed(const QWidget* w) {
  if (qobject_cast<const QLabel*>(w) != nullptr || qobject_cast<const QAbstractButton*>(w) != nullptr) {
    return w->sizeHint();
  }
  return w->minimumSizeHint();
}

TEST(SetupFormScreen, EachPageShowsEveryControlWhole) {
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd =
        "VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb timeout -k 10 120 xvfb-run -a -s '-screen 0 1024x768x24' "
        "'" +
        self + "' --gtest_filter=SetupFormScreen.EachPageShowsEveryControlWhole";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  test::RecordingFormParts parts;
  test::Form form(parts, test::UniqueSemaphoreName("setup_screen"));
  form.Ticks(19);
  FakeWaveBackend backend;
  backend.inputs = {{"sysdefault:CARD=PCH", "HDA Intel PCH, ALC892 Analog"},
                    {"pulse", "PulseAudio Sound Server"}};
  backend.outputs = backend.inputs;
  test::FakeFontDialogs fonts;
  TSetupForm dialog(*form.form, {&fonts, &backend});
  form.form->SetForms(nullptr, &dialog, nullptr);
  form.form->ShowSetup(0);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

  const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  fs::create_directories(dir);
  const QRect screen = dialog.screen()->availableGeometry();
  EXPECT_LE(dialog.frameGeometry().width(), screen.width());
  EXPECT_LE(dialog.frameGeometry().height(), screen.height());
  ASSERT_EQ(dialog.PageControl->count(), 10);
  for (int page = 0; page < 10; ++page) {
    SCOPED_TRACE(dialog.PageControl->tabText(page).toStdString());
    dialog.PageControl->setCurrentIndex(page);
    QTest::qWait(50);
    QWidget* shown = dialog.PageControl->currentWidget();
    const QRect inside = shown->rect();
    for (QWidget* w : shown->findChildren<QWidget*>()) {
      if (!w->isVisible()) continue;
      // Parts of composite controls are laid out by their owners.
      const QWidget* owner = w->parentWidget();
      if (qobject_cast<const QComboBox*>(owner) != nullptr ||
          qobject_cast<const QSpinBox*>(owner) != nullptr ||
          qobject_cast<const QAbstractScrollArea*>(owner) != nullptr) {
        continue;
      }
      const std::string name =
          w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName().toStdString();
      const QRect r(w->mapTo(shown, QPoint(0, 0)), w->size());
      EXPECT_TRUE(inside.contains(r)) << name;
      const QSize need = Needed(w);
      EXPECT_GE(w->width(), need.width()) << name;
      EXPECT_GE(w->height(), need.height()) << name;
    }
    const QString file =
        QString::fromStdString((dir / ("setup_page_" + std::to_string(page) + ".png")).string());
    EXPECT_TRUE(dialog.grab().save(file));
  }
  dialog.SetupCancelClick();
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace vestrel
