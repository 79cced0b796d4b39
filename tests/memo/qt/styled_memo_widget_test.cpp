// The memo's Qt widget on the offscreen platform: scroll bars that follow the view, the wheel,
// the caret with focus, the view kept on appended text, and fonts whose advances add up.
#include "memo/qt/styled_memo_widget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <random>
#include <string>

#include "memo/byte_stream.h"
#include "support/qt_test_app.h"

namespace vestrel {
namespace {

struct AppFirst {
  AppFirst() { test::TestApp(); }
};

// A shown widget of 100 one-line paragraphs, scrolling at once.
struct Shown : AppFirst {
  explicit Shown(int32_t lines = 100) {
    w.resize(320, 240);
    w.setScrollTime(0);
    std::string t;
    for (int32_t i = 0; i < lines; ++i)
      t += (i ? "\r\n" : "") + std::string("line number ") + std::to_string(i);
    w.SetTextBuf(ToBytes(t));
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
  int32_t LinesShown() const { return w.viewport()->height() / w.getLineHeight(); }
  StyledMemoWidget w;
};

TEST(StyledMemoWidget, TheVerticalBarFollowsTheTopLine) {
  Shown s;
  QScrollBar* bar = s.w.verticalScrollBar();
  EXPECT_TRUE(bar->isVisible());
  const int32_t h = s.w.getLineHeight();
  EXPECT_GT(h, 1);
  // The bar's range is the memo's: its positions run to max - page + 1.
  EXPECT_EQ(bar->maximum(), 100 * h - (s.w.viewport()->height() - 3) + 1);
  EXPECT_EQ(bar->pageStep(), s.w.viewport()->height() - 3);
  s.w.setTopLine(30);
  EXPECT_EQ(s.w.getTopLine(), 30);
  EXPECT_EQ(bar->value(), 30 * h);
  // The bar's own moves go through the memo: a page down, a line up, a drag.
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(s.w.getTopLine(), 30 + s.w.VisibleLines() - 1);
  EXPECT_EQ(bar->value(), s.w.getTopOrigin());
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(s.w.getTopLine(), 30 + s.w.VisibleLines() - 2);
  bar->setSliderPosition(10 * h + 3);
  EXPECT_EQ(s.w.getTopOrigin(), 10 * h + 3);
  EXPECT_EQ(bar->value(), 10 * h + 3);
  s.w.setScrollBars(ssNone);
  QApplication::processEvents();
  EXPECT_FALSE(bar->isVisible());
}

// An as-needed bar comes when text outgrows a shown window and goes when it fits again: the
// bar hears of its new range (a window filled before it is shown hides this).
TEST(StyledMemoWidget, AnAsNeededBarAppearsWhenTextArrivesAfterShowing) {
  Shown s(1);
  ASSERT_TRUE(s.w.Options() & smoAutoScrollBars);
  QScrollBar* bar = s.w.verticalScrollBar();
  QApplication::processEvents();
  EXPECT_FALSE(bar->isVisible());
  for (int i = 0; i < 60; ++i) {
    s.w.setSelStart(s.w.getCharCount());
    s.w.setSelText(ToBytes("\r\narrived " + std::to_string(i)));
  }
  QApplication::processEvents();
  EXPECT_TRUE(bar->isVisible());
  EXPECT_GT(bar->maximum(), 0);
  s.w.ScrollInView();
  EXPECT_EQ(bar->value(), s.w.getTopOrigin());
  EXPECT_GT(bar->value(), 0);
  s.w.SetTextBuf(ToBytes("short"));
  QApplication::processEvents();
  EXPECT_FALSE(bar->isVisible());
}

TEST(StyledMemoWidget, AWheelNotchScrollsThreeLines) {
  Shown s;
  QApplication::setWheelScrollLines(3);
  const QPointF at(20, 20);
  QWheelEvent down(at, s.w.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(s.w.viewport(), &down);
  EXPECT_EQ(s.w.getTopLine(), 3);
  EXPECT_EQ(s.w.verticalScrollBar()->value(), 3 * s.w.getLineHeight());
  QWheelEvent up(at, s.w.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                 Qt::NoScrollPhase, false);
  QApplication::sendEvent(s.w.viewport(), &up);
  EXPECT_EQ(s.w.getTopLine(), 0);
}

TEST(StyledMemoWidget, FocusShowsAndHidesTheCaret) {
  Shown s(5);
  QWidget other;
  other.setFocusPolicy(Qt::StrongFocus);
  other.show();
  s.w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&s.w));
  s.w.setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(s.w.hasFocus());
  EXPECT_TRUE(s.w.CaretCreated());
  s.w.setSelStart(4);  // after "line"
  EXPECT_EQ(s.w.CaretRect().topLeft(), QPoint(s.w.CaretPixel().x, 0));
  EXPECT_EQ(s.w.CaretRect().height(), s.w.getLineHeight());
  s.w.setDisplayOnly(true);
  EXPECT_FALSE(s.w.CaretCreated());
  s.w.setDisplayOnly(false);
  EXPECT_TRUE(s.w.CaretCreated());
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  QApplication::processEvents();
  EXPECT_FALSE(s.w.hasFocus());
  EXPECT_FALSE(s.w.CaretCreated());
}

TEST(StyledMemoWidget, ScrollInViewAfterAnAppendKeepsTheLastLineInView) {
  Shown s;
  for (int i = 0; i < 30; ++i) {
    s.w.BeginUpdate();
    s.w.setSelStart(s.w.getCharCount());
    s.w.setSelText(ToBytes("\r\nappended " + std::to_string(i)));
    s.w.EndUpdate();
    s.w.ScrollInView();
    const int64_t bottom = int64_t{s.w.getTotalLineCount()} * s.w.getLineHeight() - s.w.getTopOrigin();
    EXPECT_LE(bottom, s.w.viewport()->height()) << i;
    EXPECT_GE(bottom, s.w.viewport()->height() - s.w.getLineHeight()) << i;
  }
  EXPECT_EQ(s.w.verticalScrollBar()->value(), s.w.getTopOrigin());
  // Animated, the window catches up from the memo's timer while the origin is already there.
  s.w.setScrollTime(150);
  s.w.setSelStart(0);
  s.w.ScrollInView();
  EXPECT_EQ(s.w.getTopOrigin(), 0);
  EXPECT_TRUE(s.w.ScrollAnimating());
  QTRY_VERIFY_WITH_TIMEOUT(!s.w.ScrollAnimating(), 5000);
  EXPECT_EQ(s.w.ShownTop(), 0);
}

// The width of a+b is the width of a plus that of b, and a run drawn in one piece lands where
// its bytes' advances put it.
TEST(StyledMemoWidget, AdvancesAddUpInEveryFontAndCodePage) {
  test::TestApp();
  StyledMemoWidget w;
  TMemoFont f = w.Font();
  f.Charset = 204;
  f.Height = -15;
  w.setFont(f);
  TMemoFont alt = f;
  alt.Name = "DejaVu Sans Mono";
  alt.Charset = 0;
  w.setAltFont(alt);
  std::mt19937 rng(5);
  for (const uint8_t style : {uint8_t{0}, uint8_t{1}, uint8_t{2}, uint8_t{0x20}, uint8_t{0x21}}) {
    QtMemoFonts fonts(w);
    QtDrawSurface dc(fonts, w.palette());
    dc.SelectFont(style);
    const QFontMetrics fm(dc.CurrentFont());
    for (int k = 0; k < 20; ++k) {
      TByteString s;
      for (int i = 0; i < 40; ++i) s.push_back(static_cast<unsigned char>(32 + rng() % 224));
      int32_t sum = 0, part = 0;
      for (unsigned char c : s) {
        dc.TextExtent(&c, 1, part);
        sum += part;
      }
      int32_t whole = 0;
      dc.TextExtent(s.data(), static_cast<int32_t>(s.size()), whole);
      EXPECT_EQ(whole, sum);
      // Qt lays printable text out the same way.
      TByteString printable;
      for (unsigned char c : s)
        if (fonts.Get(style).plain[c]) printable.push_back(c);
      dc.TextExtent(printable.data(), static_cast<int32_t>(printable.size()), whole);
      EXPECT_EQ(fm.horizontalAdvance(w.DecodeText(printable, style)), whole) << int(style);
    }
  }
  EXPECT_EQ(w.DecodeText(ToBytes("\xCF\xF0\xE8"), 0), QString::fromUtf8("\xD0\x9F\xD1\x80\xD0\xB8"));  // 1251
  EXPECT_EQ(w.DecodeText(ToBytes("\xCF\xF0\xE8"), 0x20),
            QString::fromUtf8("\xC3\x8F\xC3\xB0\xC3\xA8"));  // 1252
}

TEST(StyledMemoWidget, ColoursComeFromTheirBytesOrThePalette) {
  test::TestApp();
  QPalette p;
  p.setColor(QPalette::Base, QColor(1, 2, 3));
  p.setColor(QPalette::Highlight, QColor(4, 5, 6));
  EXPECT_EQ(ToQColor(0x0000FF, p), QColor(255, 0, 0));
  EXPECT_EQ(ToQColor(0x123456, p), QColor(0x56, 0x34, 0x12));
  EXPECT_EQ(ToQColor(clWindow, p), QColor(1, 2, 3));
  EXPECT_EQ(ToQColor(clHighlight, p), QColor(4, 5, 6));
  EXPECT_EQ(ToQColor(clNone, p).alpha(), 0);
}

TEST(StyledMemoWidget, APaintedWidgetShowsItsText) {
  Shown s(3);
  const QImage img = s.w.viewport()->grab().toImage();
  const QColor base = s.w.palette().color(QPalette::Base);
  const int32_t h = s.w.getLineHeight();
  for (int32_t line = 0; line < 3; ++line) {
    int ink = 0;
    for (int y = line * h; y < (line + 1) * h; ++y)
      for (int x = 0; x < img.width(); ++x) ink += img.pixelColor(x, y) != base;
    EXPECT_GT(ink, 20) << line;
  }
}

// A focused, shown memo that takes keys.
struct Typing : AppFirst {
  Typing() {
    w.resize(320, 120);
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    w.setFocus();
    QApplication::processEvents();
  }
  std::string Text() { return ToChars(w.GetTextContent()); }
  StyledMemoWidget w;
};

TEST(StyledMemoWidget, KeysTypeAndEdit) {
  Typing t;
  QTest::keyClicks(&t.w, "hello world");
  EXPECT_EQ(t.Text(), "hello world");
  QTest::keyClick(&t.w, Qt::Key_Backspace);
  QTest::keyClick(&t.w, Qt::Key_Return);
  QTest::keyClick(&t.w, Qt::Key_Tab);  // the memo takes tabs: one goes into the text
  QTest::keyClicks(&t.w, "x");
  EXPECT_EQ(t.Text(), "hello worl\r\n\tx");
  QTest::keyClick(&t.w, Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(&t.w, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&t.w, Qt::Key_Delete);
  EXPECT_EQ(t.Text(), "ello worl\r\n\tx");
  // Ctrl with a letter is a command, not text.
  QTest::keyClick(&t.w, Qt::Key_E, Qt::ControlModifier);
  QTest::keyClick(&t.w, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(t.Text(), "ello worl\r\n\tx");
  // Characters typed with AltGr are text, whether it reports as a group switch or as Ctrl+Alt;
  // with Alt alone they are a command's.
  QTest::sendKeyEvent(QTest::Click, &t.w, Qt::Key_Q, QStringLiteral("@"),
                      Qt::ControlModifier | Qt::AltModifier);
  QTest::sendKeyEvent(QTest::Click, &t.w, Qt::Key_E, QStringLiteral("\u20ac"), Qt::GroupSwitchModifier);
  QTest::sendKeyEvent(QTest::Click, &t.w, Qt::Key_F, QStringLiteral("f"), Qt::AltModifier);
  EXPECT_EQ(t.Text(),
            "@\x80"
            "ello worl\r\n\tx");  // the euro sign of code page 1252
}

// Each character as a keyboard of its script sends it: the key is the upper-case character.
void Type(QWidget& w, const QString& text) {
  for (const QChar c : text)
    QTest::sendKeyEvent(QTest::Click, &w, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c),
                        Qt::NoModifier);
}

TEST(StyledMemoWidget, TypedTextBecomesTheFontsCodePage) {
  Typing t;
  TMemoFont f = t.w.Font();
  f.Charset = 204;
  t.w.setFont(f);
  Type(t.w, QString::fromUtf8("\u041f\u0440\u0438\u0432\u0435\u0442"));  // "Privet"
  EXPECT_EQ(t.w.GetTextContent(), (TByteString{0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
  // A character the code page lacks is left out.
  Type(t.w, QString::fromUtf8("a\u4e2db"));
  EXPECT_EQ(ToChars(t.w.GetTextContent()).substr(6), "ab");
  // Text that an input method composes (dead keys, compose) arrives committed.
  QInputMethodEvent composed;
  composed.setCommitString(QString::fromUtf8("\u0451"));
  QApplication::sendEvent(&t.w, &composed);
  EXPECT_EQ(t.w.GetTextContent().back(), 0xB8);
}

TEST(StyledMemoWidget, FormatRequestsArriveAsEvents) {
  Typing t;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + " with some words\r\n";
  TMemoryStream stream(std::vector<unsigned char>(text.begin(), text.end()));
  t.w.LoadFromStream(stream);
  ASSERT_TRUE(t.w.FormatThreadRunning());
  EXPECT_LT(t.w.getFormatCompleted(), 100);  // the load leaves it to the slices
  for (int i = 0; i < 500 && t.w.getFormatCompleted() < 100; ++i) QTest::qWait(10);
  EXPECT_EQ(t.w.getFormatCompleted(), 100);
}

// The right button's release opens the memo's menu where it came up; the context-menu key opens
// it at the caret. A chosen item's command runs.
TEST(StyledMemoWidget, TheRightButtonAndTheMenuKeyOpenThePopup) {
  Shown s(3);
  s.w.setFocus();
  s.w.ClearUndo();
  s.w.setSelStart(0);
  s.w.setSelLength(4);
  QPoint shownAt;
  QStringList chosen;
  auto pick = [&](const QString& caption) {
    QTimer::singleShot(0, [&, caption] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      shownAt = menu->pos();
      for (QAction* a : menu->actions())
        if (a->text() == caption) menu->setActiveAction(a);
      chosen << caption;
      QTest::keyClick(menu, Qt::Key_Return);
    });
  };
  pick(QStringLiteral("Cu&t"));
  QTest::mouseRelease(s.w.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(30, 20));
  ASSERT_EQ(chosen.size(), 1);
  EXPECT_EQ(shownAt, s.w.viewport()->mapToGlobal(QPoint(30, 20)));
  EXPECT_EQ(s.w.getCharCount(), 39);  // "line" went
  pick(QStringLiteral("&Undo"));
  QTest::keyClick(&s.w, Qt::Key_Menu);
  ASSERT_EQ(chosen.size(), 2);
  EXPECT_EQ(s.w.getCharCount(), 43);
  // The left button opens nothing.
  QTest::mouseRelease(s.w.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
  EXPECT_EQ(chosen.size(), 2);
}

std::string ToString(const TByteString& b) {
  return std::string(b.begin(), b.end());
}

// Where offset's character starts in the viewport, in the middle of its line's height.
QPoint PointOf(StyledMemoWidget& w, int32_t offset, int dx = 1) {
  TStyledNavigator n(&w.NavContext());
  n.SetPos(offset);
  const TPoint p = n.GetDisplayPos();
  return {p.x + dx, p.y + w.getLineHeight() / 2};
}

// The mouse through Qt's events: dragging across lines selects, a double click selects a
// word, a selected word dragged elsewhere moves there, and the pointer's shape follows what
// lies under it.
TEST(StyledMemoWidget, TheMouseSelectsAndDragsText) {
  Shown s(5);
  QWidget* v = s.w.viewport();
  // "line number 0|line number 1|...": each line 13 characters and a break.
  QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, PointOf(s.w, 5));
  QTest::mouseMove(v, PointOf(s.w, 15 + 4));
  QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, PointOf(s.w, 15 + 4));
  EXPECT_EQ(ToString(s.w.getSelText()), "number 0\r\nline");
  // A double click on "number" of line 2.
  // (QTest sends the double click's second press as the double click alone.)
  QTest::mouseClick(v, Qt::LeftButton, Qt::NoModifier, PointOf(s.w, 30 + 7));
  QTest::mouseDClick(v, Qt::LeftButton, Qt::NoModifier, PointOf(s.w, 30 + 7));
  QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, PointOf(s.w, 30 + 7));
  EXPECT_EQ(ToString(s.w.getSelText()), "number");
  // The pointer over the selection is an arrow; beside the lines a right-pointing arrow.
  QTest::mouseMove(v, PointOf(s.w, 30 + 8));
  EXPECT_EQ(v->cursor().shape(), Qt::ArrowCursor);
  QTest::mouseMove(v, QPoint(1, PointOf(s.w, 0).y()));
  EXPECT_EQ(v->cursor().shape(), Qt::BitmapCursor);
  QTest::mouseMove(v, PointOf(s.w, 2));
  EXPECT_EQ(v->cursor().shape(), Qt::IBeamCursor);
  // The word dragged to the start of the last line.
  QTest::mouseMove(v, PointOf(s.w, 30 + 8));
  QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, PointOf(s.w, 30 + 8));
  QTest::mouseMove(v, PointOf(s.w, 60, 0));
  EXPECT_EQ(v->cursor().shape(), Qt::DragMoveCursor);
  QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, PointOf(s.w, 60, 0));
  EXPECT_EQ(ToString(s.w.getSelText()), "number");
  EXPECT_EQ(ToString(s.w.GetTextContent()).substr(30, 43), "line  2\r\nline number 3\r\nnumberline number 4");
}

// The window goes while the button is held beyond its edge: the scrolling timer goes with it.
TEST(StyledMemoWidget, ClosingWhileItScrollsLeavesNothingBehind) {
  auto* s = new Shown(100);
  QWidget* v = s->w.viewport();
  QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, PointOf(s->w, 0));
  QTest::mouseMove(v, QPoint(20, v->height() + 30));
  EXPECT_EQ(s->w.AutoScrollDirection(), msDown);
  QTest::qWait(50);  // the fastest level ticks on every turn of the loop
  EXPECT_GT(s->w.getTopLine(), 0);
  delete s;
  QTest::qWait(20);
}

}  // namespace
}  // namespace vestrel
