// ctest-labels: interop
// The memo's widget and the desktop's clipboard on a real X server (Xvfb), with xclip on the
// other side: text copied in the memo is what xclip prints, text xclip holds pastes into the
// memo, Cyrillic of a charset-204 memo crosses both ways, a column block carries its marker;
// and the memo's own popup menu shows the items of its table.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "memo/qt/styled_memo_widget.h"
#include "support/memo_text.h"
#include "support/qt_test_app.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// Runs the whole suite again on an Xvfb display of its own; true when this process is that run.
bool UnderXvfb() {
  if (std::getenv("VESTREL_UNDER_XVFB")) return true;
  if (std::system("command -v xvfb-run > /dev/null 2>&1 && command -v xclip > /dev/null 2>&1") != 0) {
    ADD_FAILURE() << "xvfb-run and xclip are needed";
    return false;
  }
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string cmd =
      "VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb timeout -k 10 120 xvfb-run -a -s "
      "'-screen 0 640x480x24' '" +
      self + "' --gtest_filter=StyledMemoClipboardX." + test;
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  return false;
}

// Lets the event loop turn until done() or the time is up: this process may own the clipboard
// that the other program is reading.
template <class F>
bool TurnUntil(F done, int ms = 10000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QTest::qWait(10);
  }
  return true;
}

// What `xclip -o` prints for the clipboard (target: UTF-8 text unless given).
QByteArray XclipOut(const QString& target = QString()) {
  QProcess p;
  QStringList args{"-o", "-selection", "clipboard"};
  if (!target.isEmpty()) args << "-t" << target;
  p.start("xclip", args);
  EXPECT_TRUE(p.waitForStarted());
  EXPECT_TRUE(TurnUntil([&] { return p.state() == QProcess::NotRunning; }));
  return p.readAllStandardOutput();
}

// xclip holding text on the clipboard, in the foreground, until it is stopped.
struct XclipIn {
  explicit XclipIn(const QByteArray& utf8) {
    p.start("xclip", {"-quiet", "-i", "-selection", "clipboard"});
    EXPECT_TRUE(p.waitForStarted());
    p.write(utf8);
    p.closeWriteChannel();
    const QString want = QString::fromUtf8(utf8);
    EXPECT_TRUE(TurnUntil([&] { return QGuiApplication::clipboard()->text() == want; }));
  }
  ~XclipIn() {
    if (p.state() != QProcess::NotRunning) {
      p.kill();
      p.waitForFinished(5000);
    }
  }
  QProcess p;
};

struct AppFirst {
  AppFirst() { test::TestApp(); }
};

struct Shown : AppFirst {
  Shown() {
    w.resize(320, 200);
    w.setScrollTime(0);
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
  StyledMemoWidget w;
};

TEST(StyledMemoClipboardX, TextCopiedInTheMemoIsWhatXclipPrints) {
  if (!UnderXvfb()) return;
  Shown s;
  s.w.SetTextBuf(ToBytes("CQ CQ de DL1ABC\r\npse k"));
  s.w.SelectAll();
  s.w.CopyToClipboard();
  EXPECT_EQ(XclipOut(), QByteArray("CQ CQ de DL1ABC\npse k"));
}

TEST(StyledMemoClipboardX, TextXclipHoldsPastesIntoTheMemo) {
  if (!UnderXvfb()) return;
  Shown s;
  s.w.SetTextBuf(ToBytes("<>"));
  XclipIn in("one\ntwo\r\nthree");
  s.w.setSelStart(1);
  s.w.PasteFromClipboard();
  EXPECT_EQ(testing::Text(s.w), "<one\r\ntwo\r\nthree>");
}

TEST(StyledMemoClipboardX, CyrillicOfACharset204MemoCrossesBothWays) {
  if (!UnderXvfb()) return;
  Shown s;
  TMemoFont f = s.w.Font();
  f.Charset = 204;
  s.w.setFont(f);
  s.w.SetTextBuf(ToBytes("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"));  // "Привет, мир" in 1251
  s.w.SelectAll();
  s.w.CopyToClipboard();
  EXPECT_EQ(QString::fromUtf8(XclipOut()), QStringLiteral(u"Привет, мир"));
  {
    XclipIn in(QStringLiteral(u"Съешь ещё").toUtf8());
    s.w.SelectAll();
    s.w.PasteFromClipboard();
  }
  EXPECT_EQ(testing::Text(s.w), "\xD1\xFA\xE5\xF8\xFC \xE5\xF9\xB8");
}

TEST(StyledMemoClipboardX, AColumnBlockCarriesItsMarker) {
  if (!UnderXvfb()) return;
  Shown s;
  TMemoFont f = s.w.Font();
  f.Name = "DejaVu Sans Mono";  // the block goes in at the caret's x over a blank's width
  s.w.setFont(f);
  s.w.setWordWrap(false);
  s.w.setOptions(s.w.Options() | smoBlockSelection);
  s.w.SetTextBuf(ToBytes("abcdef\r\nghijkl\r\nmnop"));
  s.w.SelectBlock(2, 0, 1, 4);
  s.w.CopyToClipboard();
  EXPECT_EQ(XclipOut(), QByteArray("cd\nij\n"));
  EXPECT_EQ(XclipOut(QtMemoClipboard::kBlockMimeType), QByteArray(1, '\x02'));
  s.w.setSelStart(s.w.getCharCount());  // "mnop|": the block goes in at column 4
  s.w.PasteFromClipboard();
  EXPECT_EQ(testing::Text(s.w), "abcdef\r\nghijkl\r\nmnopcd\r\n    ij");
  // Plain text from elsewhere is no block.
  XclipIn in("x\ny");
  s.w.setSelStart(0);
  s.w.PasteFromClipboard();
  EXPECT_EQ(testing::Text(s.w).substr(0, 9), "x\r\nyabcde");
}

TEST(StyledMemoClipboardX, ThePopupShowsTheTableAndRunsTheChosenItem) {
  if (!UnderXvfb()) return;
  Shown s;
  s.w.SetTextBuf(ToBytes("some text"));
  s.w.ClearUndo();
  s.w.setSelStart(0);
  s.w.setSelLength(4);
  QStringList seen;
  QTimer::singleShot(200, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions())
      seen << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? "+" : "/"));
    for (QAction* a : menu->actions())
      if (a->text() == "&Copy") menu->setActiveAction(a);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  s.w.ShowInternalPopup({10, 10});
  // A fresh display's clipboard holds nothing to paste.
  EXPECT_EQ(seen.join(' ').toStdString(), "&Undo/ &Redo/ - Cu&t+ &Copy+ &Paste/ - &Select all+");
  EXPECT_EQ(XclipOut(), QByteArray("some"));
}

}  // namespace
}  // namespace vestrel
