// ctest-labels: integration
// The memo's widget on a real X server (Xvfb): wrapped text, a bold run, a word in an
// attribute's colour, a selection in the system's colours and a Cyrillic line in a font of
// character set 204 reach the screen. The screenshot is saved to
// build/<name>/tests/screenshots/styled_memo.png and its pixels are checked.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "memo/qt/styled_memo_widget.h"
#include "support/memo_text.h"
#include "support/qt_test_app.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// "Привет, мир! Съешь же ещё этих мягких булок" in code page 1251.
const char kCyrillic[] =
    "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xD1\xFA\xE5\xF8\xFC \xE6\xE5 \xE5\xF9\xB8 \xFD\xF2\xE8\xF5 "
    "\xEC\xFF\xE3\xEA\xE8\xF5 \xE1\xF3\xEB\xEE\xEA";

int32_t Find(StyledMemoWidget& w, const std::string& s) {
  const std::string text = ToChars(w.GetTextContent());
  const size_t at = text.find(s);
  EXPECT_NE(at, std::string::npos) << s;
  return static_cast<int32_t>(at);
}

int32_t XAt(StyledMemoWidget& w, int32_t offset) {
  TStyledNavigator n(&w.NavContext());
  n.SetPos(offset);
  return n.GetDisplayX();
}

int32_t LineAt(StyledMemoWidget& w, int32_t offset) {
  TStyledNavigator n(&w.NavContext());
  n.SetPos(offset);
  return n.getVisibleLineNumber();
}

TEST(StyledMemoScreen, StyledTextSelectionAndCyrillicReachTheScreen) {
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd =
        "VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb timeout -k 10 120 xvfb-run -a -s "
        "'-screen 0 800x600x24' '" +
        self + "' --gtest_filter=StyledMemoScreen.StyledTextSelectionAndCyrillicReachTheScreen";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  test::TestApp();
  StyledMemoWidget w;
  w.setWindowTitle(QStringLiteral("StyledMemo"));
  TMemoFont font = w.Font();
  font.Name = "DejaVu Sans";
  font.Height = -15;
  font.Charset = 0;
  w.setFont(font);
  TMemoFont alt = font;
  alt.Charset = 204;  // the alternate font draws the Cyrillic line
  w.setAltFont(alt);
  w.setStaticFormat(true);
  w.setPairCancelling(false);
  w.setOptions(w.Options() | smoWindowsSelColors);
  w.setHideSelection(false);
  w.setDisplayOnly(true);  // no blinking caret in the picture
  w.setScrollTime(0);
  const std::string text =
      "A long first paragraph that wraps over several lines of the window, as received text does when a "
      "station keeps sending without a line break.\r\n"
      "Plain, then \x02"
      "bold text\x02, then a coloured word here.\r\n"
      "\x04" +
      std::string(kCyrillic) +
      "\x04\r\n"
      "Select this phrase please.";
  w.SetTextBuf(ToBytes(text));
  w.resize(480, 320);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

  const int32_t red = Find(w, "coloured");
  testing::LayAttr(w, red, red + 8, testing::Attr(0, 0x0000FF));
  const int32_t sel = Find(w, "this phrase");
  w.setSelStart(sel);
  w.setSelLength(11);
  w.viewport()->update();
  QTest::qWait(200);

  const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  fs::create_directories(dir);
  QScreen* screen = QGuiApplication::primaryScreen();
  EXPECT_TRUE(screen->grabWindow(0).save(QString::fromStdString((dir / "styled_memo.png").string())));
  const QPoint vp = w.viewport()->mapTo(&w, QPoint(0, 0));
  const int vw = w.viewport()->width(), vh = w.viewport()->height();
  const QImage shot =
      screen->grabWindow(w.winId(), vp.x(), vp.y(), vw, vh).toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.width(), vw);
  ASSERT_EQ(shot.height(), vh);

  const QColor base = w.palette().color(QPalette::Base);
  const int32_t h = w.getLineHeight();
  const int32_t lines = w.getTotalLineCount();
  EXPECT_GE(lines, 6);  // the first paragraph wraps
  auto count = [&](int x0, int y0, int x1, int y1, auto&& pred) {
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, vh); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, vw); ++x) n += pred(shot.pixelColor(x, y));
    return n;
  };
  // Glyphs on every text line.
  for (int32_t line = 0; line < lines; ++line)
    EXPECT_GT(count(0, line * h, vw, (line + 1) * h, [&](QColor c) { return c != base; }), 20)
        << "line " << line;
  // The attribute's red.
  {
    const int32_t line = LineAt(w, red);
    const int n = count(XAt(w, red), line * h, XAt(w, red + 8), (line + 1) * h,
                        [](QColor c) { return c.red() > 180 && c.green() < 90 && c.blue() < 90; });
    EXPECT_GT(n, 10);
  }
  // The selection in the system's highlight colour.
  {
    const QColor hl = w.palette().color(QPalette::Highlight);
    const int32_t line = LineAt(w, sel), x0 = XAt(w, sel), x1 = XAt(w, sel + 11);
    const int n = count(x0, line * h, x1, (line + 1) * h, [&](QColor c) { return c == hl; });
    EXPECT_GT(n, (x1 - x0) * h / 2);
  }
  // The end-of-text mark, and only the window's colour below it.
  {
    const int32_t markY = lines * h;
    EXPECT_GT(count(0, markY, vw, markY + 1, [](QColor c) { return c == QColor(255, 0, 0); }), vw / 2);
    EXPECT_EQ(count(0, markY + 1, vw, vh, [&](QColor c) { return c != base; }), 0);
  }
  // The Cyrillic line as QPainter draws the text decoded through code page 1251, and not as
  // the same bytes in the Western code page would look.
  {
    const int32_t at = Find(w, std::string(kCyrillic, 6));
    const int32_t line = LineAt(w, at), x0 = XAt(w, at);
    const TByteString bytes = ToBytes(kCyrillic);
    const QString decoded = w.DecodeText(bytes, 0x20);
    EXPECT_EQ(decoded.left(6), QString::fromUtf8("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"));
    auto reference = [&](const QString& s) {
      QImage ref(vw, h, QImage::Format_RGB32);
      ref.fill(base);
      QPainter p(&ref);
      p.setRenderHint(QPainter::TextAntialiasing, true);
      p.setFont(w.QtFont(0x20));
      p.setPen(ToQColor(clWindowText, w.palette()));
      p.drawText(QPoint(x0, w.BaselineOffset()), s);
      return ref;
    };
    auto differing = [&](const QImage& ref) {
      int n = 0;
      for (int y = 0; y < h; ++y)
        for (int x = x0; x < vw; ++x) n += ref.pixelColor(x, y) != shot.pixelColor(x, line * h + y);
      return n;
    };
    EXPECT_EQ(differing(reference(decoded)), 0);
    EXPECT_GT(differing(reference(QString::fromLatin1(reinterpret_cast<const char*>(bytes.data())))), 100);
  }
  EXPECT_TRUE(w.grab().save(QString::fromStdString((dir / "styled_memo_widget.png").string())));
}

}  // namespace
}  // namespace vestrel
