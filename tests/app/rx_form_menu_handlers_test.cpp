// The main window's own menu items chosen as the user does: "Save Buffer" (and Ctrl+S), "Clear
// Buffer", "Contents", "About" and "Contact us", the menus that pause the displays, and the
// focus helpers of the sent-text window and the tuning panel.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/about_form.h"
#include "app/displays.h"
#include "app/product_info.h"
#include "app/rx_form.h"
#include "memo/qt/styled_memo_widget.h"
#include "support/fake_sound_links.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"
#include "support/test_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

class RecordingOpener : public ShellOpener {
 public:
  bool OpenDocument(const std::string& path) override {
    opened.push_back(path);
    return succeed;
  }
  std::vector<std::string> opened;
  bool succeed = true;
};

// Answers the save dialog with `answer` (cancelled when empty); `whileOpen` runs while the
// dialog is up, as the user's keys would.
class ScriptedDialogs : public FileDialogs {
 public:
  bool OpenFileName(const FileDialogRequest& r, std::string& name) override { return Answer(r, name); }
  bool SaveFileName(const FileDialogRequest& r, std::string& name) override { return Answer(r, name); }
  std::string answer;
  std::function<void()> whileOpen;
  std::vector<FileDialogRequest> requests;

 private:
  bool Answer(const FileDialogRequest& r, std::string& name) {
    requests.push_back(r);
    if (whileOpen) whileOpen();
    if (answer.empty()) return false;
    name = answer;
    return true;
  }
};

// The fakes come first, so that the window made from them goes before them.
struct Fakes {
  RecordingFormParts parts;
  RecordingOpener opener;
  ScriptedDialogs dialogs;
};

struct Window : Fakes, Form {
  explicit Window(bool realDisplays = false)
      : Form(parts, UniqueSemaphoreName("menuhandlers"), {}, nullptr, false, nullptr,
             [this, realDisplays](TRxFormDeps& d) {
               d.opener = &opener;
               d.dialogs = &dialogs;
               if (realDisplays) d.display = nullptr;
             }) {
    Ticks(20);
    parts.log.clear();
  }
  TRxForm& w() { return *form; }
  void Choose(const std::string& caption) {
    QAction* a = w().MenuItem(caption);
    ASSERT_NE(a, nullptr) << caption;
    a->trigger();
  }
  std::vector<std::pair<std::string, std::string>>& boxes() { return parts.boxes; }
};

using Box = std::pair<std::string, std::string>;

TEST(SaveBuffer, TheDialogAsksAsDesignedAndAnEmptyWindowGivesAnEmptyFile) {
  Window t;
  ScriptedDialogs& dialogs = t.dialogs;
  test::TempDir dir;
  const fs::path cwd = fs::current_path();
  dialogs.answer = (dir / "empty.txt").string();
  t.Choose("Save Buffer (Ctrl-S)");
  ASSERT_EQ(dialogs.requests.size(), 1u);
  const FileDialogRequest& r = dialogs.requests[0];
  EXPECT_EQ(r.title, "Save buffer to file");
  EXPECT_EQ(r.filter, "Text files (*.txt);;All files (*)");
  EXPECT_TRUE(r.confirmOverwrite);
  EXPECT_TRUE(r.keepWorkingDirectory);
  EXPECT_TRUE(fs::exists(dir / "empty.txt"));
  EXPECT_EQ(fs::file_size(dir / "empty.txt"), 0u);
  EXPECT_EQ(fs::current_path(), cwd);
  EXPECT_TRUE(t.boxes().empty());
  // Cancelled: nothing is written, nothing is said.
  dialogs.answer.clear();
  t.Choose("Save Buffer (Ctrl-S)");
  EXPECT_EQ(dialogs.requests.size(), 2u);
  EXPECT_TRUE(t.boxes().empty());
}

TEST(SaveBuffer, ParagraphsAreJoinedByCrLfWhateverTheirDisplayLines) {
  Window t;
  ScriptedDialogs& dialogs = t.dialogs;
  t.w().resize(640, 480);
  t.w().show();
  std::string wrapped;
  for (int i = 0; i < 60; ++i) wrapped += "word" + std::to_string(i) + " ";
  const std::string text = "CQ CQ DE XX0XXX\r\n" + wrapped + "\r\n\xC0\xE1\xE2 73";
  t.w().RxMemo->SetTextBuf(ToBytes(text));
  QTRY_VERIFY(t.w().RxMemo->getTotalLineCount() > 3);  // the middle paragraph wraps
  test::TempDir dir;
  // An existing file is replaced whole.
  std::ofstream(dir / "rx.txt", std::ios::binary) << std::string(5000, 'o');
  dialogs.answer = (dir / "rx.txt").string();
  t.Choose("Save Buffer (Ctrl-S)");
  const std::string saved = test::ReadFile(dir / "rx.txt");
  EXPECT_EQ(saved, text);
  EXPECT_EQ(saved.size(), size_t(t.w().RxMemo->getCharCount()));
  EXPECT_TRUE(t.boxes().empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SaveBuffer, AFolderThatTakesNoFileSaysFileOpenError) {
  Window t;
  ScriptedDialogs& dialogs = t.dialogs;
  t.w().RxMemo->SetTextBuf(ToBytes("some text"));
  test::TempDir dir;
  std::ofstream(dir / "plain") << "x";  // a file where the folder should be
  dialogs.answer = (dir / "plain" / "rx.txt").string();
  t.Choose("Save Buffer (Ctrl-S)");
  EXPECT_EQ(t.boxes(), (std::vector<Box>{{"File Error", "File Open Error!"}}));
  // The buffer stays and the command can be repeated.
  EXPECT_EQ(test::RxText(t.w()), "some text");
  dialogs.answer = (dir / "rx.txt").string();
  t.Choose("Save Buffer (Ctrl-S)");
  EXPECT_EQ(test::ReadFile(dir / "rx.txt"), "some text");
  EXPECT_EQ(t.boxes().size(), 1u);
}

TEST(SaveBuffer, AWriteFailingHalfWayKeepsTheOldFile) {
  Window t;
  ScriptedDialogs& dialogs = t.dialogs;
  t.w().RxMemo->SetTextBuf(ToBytes(std::string(3000, 'r')));
  test::TempDir dir;
  std::ofstream(dir / "rx.txt", std::ios::binary) << "the old file";
  dialogs.answer = (dir / "rx.txt").string();
  // The file size limit lets the first write through in part and fails the next one, as a
  // full disk would (root is bound by it too).
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  t.Choose("Save Buffer (Ctrl-S)");
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(t.boxes(), (std::vector<Box>{{"File Error", "File Write Error!"}}));
  EXPECT_EQ(test::ReadFile(dir / "rx.txt"), "the old file");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SaveBuffer, CtrlSWhileTheDialogIsOpenDoesNothing) {
  Window t;
  ScriptedDialogs& dialogs = t.dialogs;
  t.w().show();
  dialogs.whileOpen = [&] {
    dialogs.whileOpen = nullptr;
    QTest::keyClick(t.w().Input, Qt::Key_S, Qt::ControlModifier);
    t.Choose("Save Buffer (Ctrl-S)");
  };
  QTest::keyClick(t.w().Input, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dialogs.requests.size(), 1u);
  // Every way out clears the guard.
  QTest::keyClick(t.w().Input, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dialogs.requests.size(), 2u);
  EXPECT_TRUE(test::RxText(t.w()).empty());  // Ctrl+S typed nothing
}

TEST(ClearBuffer, EmptiesTheReceiveWindowAndClearsThePausePoint) {
  Window t;
  for (const bool byKey : {false, true}) {
    t.w().RxMemo->SetTextBuf(ToBytes("line 1\r\nline 2"));
    t.w().engine().display.DisplayPause = 50;
    t.parts.log.clear();
    if (byKey)
      QTest::keyClick(t.w().Input, Qt::Key_D, Qt::AltModifier);
    else
      t.Choose("Clear Buffer (Alt-D)");
    EXPECT_EQ(t.w().RxMemo->getCharCount(), 0);
    EXPECT_EQ(t.w().engine().display.DisplayPause, 0);
    EXPECT_TRUE(t.parts.Has("ClearPausePoint"));
  }
}

TEST(HelpMenu, ContactUsAndContentsOpenTheirAddressOrNameWhatFailed) {
  Window t;
  RecordingOpener& opener = t.opener;
  t.Choose("Contact us");
  EXPECT_EQ(opener.opened, std::vector<std::string>{kChatAddress});
  opener.succeed = false;
  t.Choose("Contact us");
  EXPECT_EQ(t.boxes(), (std::vector<Box>{{"Vestrel", std::string("Cannot open ") + kChatAddress}}));
  opener.succeed = true;
  opener.opened.clear();
  t.boxes().clear();

  // The help file is looked for beside the program, not in the working directory.
  const fs::path help = fs::path(QCoreApplication::applicationDirPath().toStdString()) / "VESTREL.CHM";
  test::ScopedWorkingDir elsewhere;
  std::ofstream("VESTREL.CHM") << "not this one";
  fs::remove(help);
  t.Choose("Contents");
  EXPECT_TRUE(opener.opened.empty());
  EXPECT_EQ(t.boxes(), (std::vector<Box>{{"Vestrel", "Cannot open " + help.string()}}));
  std::ofstream(help) << "help";
  t.Choose("Contents");
  fs::remove(help);
  EXPECT_EQ(opener.opened, std::vector<std::string>{help.string()});
  EXPECT_EQ(t.boxes().size(), 1u);
}

std::vector<QDialog*> AboutBoxes(TRxForm& w) {
  std::vector<QDialog*> out;
  for (QDialog* d : w.findChildren<QDialog*>(QStringLiteral("About")))
    if (d->isVisible()) out.push_back(d);
  return out;
}

TEST(AboutBox, OneBoxWhateverIsChosenInsideItAndItsLinksReachTheOpener) {
  Window t;
  RecordingOpener& opener = t.opener;
  t.w().show();
  int shownInside = -1;
  QString title, heading;
  std::vector<std::string> addresses;
  QTimer::singleShot(0, &t.w(), [&] {
    // A second "About" from inside the modal loop.
    t.Choose("About");
    std::vector<QDialog*> boxes = AboutBoxes(t.w());
    shownInside = int(boxes.size());
    if (boxes.empty()) return;
    auto* about = dynamic_cast<TAbout*>(boxes[0]);
    ASSERT_NE(about, nullptr);
    title = about->windowTitle();
    heading = about->TitleLabel->text();
    for (TLinkLabel* link : about->Links) {
      addresses.push_back(link->address());
      QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    }
    QTest::mouseClick(about->OKButton, Qt::LeftButton);
  });
  t.Choose("About");
  EXPECT_EQ(shownInside, 1);
  EXPECT_EQ(title.toStdString(), "About Vestrel");
  EXPECT_EQ(heading.toStdString(), std::string("Vestrel ") + kProductVersion);
  const std::vector<std::string> ours = {kMailAddress, kWebAddress, kChatAddress};
  EXPECT_EQ(addresses, ours);
  EXPECT_EQ(opener.opened, ours);
  // The box exists only while shown; another "About" shows a new one.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(t.w().findChildren<QDialog*>(QStringLiteral("About")).empty());
  QTimer::singleShot(0, &t.w(), [&] {
    shownInside = int(AboutBoxes(t.w()).size());
    for (QDialog* d : AboutBoxes(t.w())) d->reject();
  });
  t.Choose("About");
  EXPECT_EQ(shownInside, 1);
}

TEST(AboutBox, ALinkThatCannotBeOpenedIsNamed) {
  RecordingOpener opener;
  opener.succeed = false;
  test::RecordingMessageBox boxes;
  test::TestApp();
  TAbout about(opener, boxes);
  about.show();
  QTest::mouseClick(about.Links[1], Qt::LeftButton, {}, about.Links[1]->rect().center());
  EXPECT_EQ(boxes.shown, (std::vector<Box>{{"Vestrel", std::string("Cannot open ") + kWebAddress}}));
}

TEST(MenuPause, FileModeSpeedShiftAndHelpPauseTheDisplaysOthersLeaveIt) {
  Window t(true);
  t.w().resize(640, 480);
  t.w().show();
  int& pause = t.w().engine().display.DisplayPause;
  const struct {
    const char* menu;
    bool pauses;
  } rows[] = {{"File", true},     {"Mode", true},  {"Speed", true}, {"Shift", true},
              {"Filters", false}, {"Zoom", false}, {"Help", true}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.menu);
    QMenu* menu = t.w().MenuItem(r.menu)->menu();
    ASSERT_NE(menu, nullptr);
    pause = 7;
    menu->popup(QPoint(10, 10));
    EXPECT_EQ(pause, r.pauses ? 400 : 7);
    menu->hide();
    // The end of the menu loop lets the displays run again.
    EXPECT_EQ(pause, 0);
  }

  // With "Mode" open the waterfall stops; it runs again once the menu has closed.
  auto* displays = dynamic_cast<TDisplays*>(&t.w().display());
  ASSERT_NE(displays, nullptr);
  t.w().settings().WaterFall = 1;
  displays->PaintWaterfall();
  QMenu* mode = t.w().MenuItem("Mode")->menu();
  mode->popup(QPoint(10, 10));
  const int row = displays->WaterfallRow();
  displays->PaintWaterfall();
  displays->PaintWaterfall();
  EXPECT_EQ(displays->WaterfallRow(), row);
  mode->hide();
  displays->PaintWaterfall();
  EXPECT_NE(displays->WaterfallRow(), row);
}

TEST(FocusHelpers, AKeyInSentFocusesInputAndTheTuningPanelFocusesSent) {
  Window t;
  TRxForm& w = t.w();
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  w.Sent->setFocus();
  QTest::keyClick(w.Sent, Qt::Key_A);
  EXPECT_TRUE(w.Input->hasFocus());
  QTest::mouseClick(w.TunePanel, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_TRUE(w.Sent->hasFocus());

  auto enter = [&](QWidget* area) {
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(area->mapToGlobal(QPoint(1, 1))));
    QApplication::sendEvent(area, &e);
  };
  w.Input->setFocus();
  enter(w.RxMemo);
  EXPECT_TRUE(w.Input->hasFocus());
  enter(w.TunePanel);
  EXPECT_TRUE(w.Sent->hasFocus());
  // Back on the panel from one of its own buttons: still the same area, the focus stays.
  w.Input->setFocus();
  enter(w.TunePanel);
  EXPECT_TRUE(w.Input->hasFocus());
  enter(w.FFTBox);
  enter(w.TunePanel);
  EXPECT_TRUE(w.Sent->hasFocus());
}

}  // namespace
}  // namespace vestrel
