// The macro buttons and function keys through real mouse and key events: banks, rows, the
// fast macro editor, and captions that agree with what a press sends.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "app/fast_macros_form.h"
#include "app/rx_form.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

std::string Caption(const QPushButton* b) { return b->text().toStdString(); }

// "F" and 3 give "F3" (appended: GCC 12 warns falsely on const char* + std::string&&).
std::string Cat(std::string a, int n) { return a.append(std::to_string(n)); }

// A started window, shown and active, with captions "F1".."F12", "C1".."C12", "A1".."A12" and
// the fast macro editor.
struct Buttons : Form {
  // names: changes the captions before the start shows them.
  explicit Buttons(RecordingFormParts& p, const std::function<void(TMacroTable&)>& names = {})
      : Form(p, UniqueSemaphoreName("macrobuttons"), {}, nullptr, false, nullptr, {}), parts(p) {
    TRxForm& w = *form;
    w.SetForms(nullptr, nullptr, &fast);
    for (int n = 1; n <= 12; ++n) {
      w.macroTable().ButtonName[n] = Cat("F", n);
      w.macroTable().ButtonName[n + 12] = Cat("C", n);
      w.macroTable().ButtonName[n + 24] = Cat("A", n);
    }
    if (names) names(w.macroTable());
    Ticks(20);
    w.show();
    w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    parts.log.clear();
  }
  ~Buttons() { fast.hide(); }
  TRxForm& w() { return *form; }
  std::vector<std::string> FirstRow() {
    std::vector<std::string> c;
    for (int n = 1; n <= 12; ++n) c.push_back(Caption(w().ButMacro[n]));
    return c;
  }
  static std::vector<std::string> Row(const char* prefix) {
    std::vector<std::string> c;
    for (int n = 1; n <= 12; ++n) c.push_back(Cat(prefix, n));
    return c;
  }
  std::vector<std::string> Macros() {
    std::vector<std::string> m;
    for (const std::string& e : parts.log)
      if (e.rfind("RunMacro ", 0) == 0) m.push_back(e.substr(9));
    return m;
  }
  RecordingFormParts& parts;
  TFastMacrosForm fast;
};

TEST(MacroButtons, OneRowHoldingCtrlServesTheCtrlBankAndReleasingRestoresIt) {
  RecordingFormParts parts;
  Buttons b(parts);
  TRxForm& w = b.w();
  w.ShowMacroRows(1);
  EXPECT_EQ(b.FirstRow(), Buttons::Row("F"));
  QTest::keyPress(w.Input, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(b.FirstRow(), Buttons::Row("C"));
  for (int n = 1; n <= 12; ++n) QTest::mouseClick(w.ButMacro[n], Qt::LeftButton, Qt::ControlModifier);
  std::vector<std::string> expected;
  for (int n = 13; n <= 24; ++n) expected.push_back(std::to_string(n));
  EXPECT_EQ(b.Macros(), expected);
  QTest::keyRelease(w.Input, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(b.FirstRow(), Buttons::Row("F"));
  // Alt the same with the Alt captions, and the spectrum's cursor for its drag.
  QTest::keyPress(w.Input, Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(b.FirstRow(), Buttons::Row("A"));
  EXPECT_EQ(w.FFTBox->cursor().shape(), Qt::SizeHorCursor);
  parts.log.clear();
  QTest::mouseClick(w.ButMacro[3], Qt::LeftButton, Qt::AltModifier);
  EXPECT_EQ(b.Macros(), std::vector<std::string>{"27"});
  QTest::keyRelease(w.Input, Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(w.FFTBox->cursor().shape(), Qt::ArrowCursor);
}

TEST(MacroButtons, TheFirstRowActsOnThePressTheOthersOnTheRelease) {
  RecordingFormParts parts;
  Buttons b(parts);
  TRxForm& w = b.w();
  w.engine().display.DisplayPause = 5;
  QTest::mousePress(w.ButMacro[4], Qt::LeftButton);
  EXPECT_EQ(b.Macros(), std::vector<std::string>{"4"});
  EXPECT_EQ(w.engine().display.DisplayPause, 0);
  QTest::mouseRelease(w.ButMacro[4], Qt::LeftButton);
  EXPECT_EQ(b.Macros(), std::vector<std::string>{"4"});  // not once more on the click
  parts.log.clear();
  for (int n : {13, 30}) {
    const size_t before = b.Macros().size();
    QTest::mousePress(w.ButMacro[n], Qt::LeftButton);
    EXPECT_EQ(b.Macros().size(), before);
    QTest::mouseRelease(w.ButMacro[n], Qt::LeftButton);
  }
  EXPECT_EQ(b.Macros(), (std::vector<std::string>{"13", "30"}));
}

TEST(MacroButtons, ARightClickOpensTheFastEditorOfTheFunctionKey) {
  RecordingFormParts parts;
  Buttons b(parts);
  TRxForm& w = b.w();
  TMacroTable& t = w.macroTable();
  t.Macro[8] = "plain";
  t.Macro[20] = "ctrl line one\r\nline two";
  t.Macro[32] = "alt";
  const struct {
    int button, k;
    QPlainTextEdit* TFastMacrosForm::*focus;
  } rows[] = {
      {20, 8, &TFastMacrosForm::FastMacroEdit2},
      {8, 8, &TFastMacrosForm::FastMacroEdit1},
      {32, 8, &TFastMacrosForm::FastMacroEdit3},
      {1, 1, &TFastMacrosForm::FastMacroEdit1},
      {36, 12, &TFastMacrosForm::FastMacroEdit3},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.button);
    b.fast.hide();
    QTest::mouseClick(w.ButMacro[r.button], Qt::RightButton);
    EXPECT_TRUE(b.Macros().empty());
    ASSERT_TRUE(b.fast.isVisible());
    EXPECT_FALSE(b.fast.isModal());
    EXPECT_TRUE(b.fast.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(b.fast.FunctionKey, r.k);
    const QString title = QStringLiteral("Fast Macros Edit  (F%1, Ctrl-F%1, Alt-F%1)").arg(r.k);
    EXPECT_EQ(b.fast.windowTitle(), title);
    EXPECT_EQ(b.fast.FBNEdit1->text().toStdString(), Cat("F", r.k));
    EXPECT_EQ(b.fast.FBNEdit2->text().toStdString(), Cat("C", r.k));
    EXPECT_EQ(b.fast.FBNEdit3->text().toStdString(), Cat("A", r.k));
    QPlainTextEdit* focus = b.fast.*(r.focus);
    EXPECT_EQ(b.fast.focusWidget(), focus);
    EXPECT_FALSE(focus->textCursor().hasSelection());
  }
  // The last one opened was F12's; F8's texts as stored, a CR LF a line break.
  QTest::mouseClick(w.ButMacro[20], Qt::RightButton);
  EXPECT_EQ(b.fast.FastMacroEdit1->toPlainText().toStdString(), "plain");
  EXPECT_EQ(b.fast.FastMacroEdit2->toPlainText().toStdString(), "ctrl line one\nline two");
  EXPECT_EQ(b.fast.FastMacroEdit3->toPlainText().toStdString(), "alt");
}

TEST(MacroButtons, NoRowsLeaveAOnePixelPanelAndTheKeysStillRunMacros) {
  RecordingFormParts parts;
  Buttons b(parts);
  TRxForm& w = b.w();
  w.ShowMacroRows(0);
  QTest::qWait(0);
  EXPECT_EQ(w.Panel2->height(), 1);
  QTest::keyClick(w.Input, Qt::Key_F5);
  QTest::keyClick(w.Input, Qt::Key_F5, Qt::ControlModifier);
  QTest::keyClick(w.Input, Qt::Key_F5, Qt::AltModifier);
  EXPECT_EQ(b.Macros(), (std::vector<std::string>{"5", "17", "29"}));
  const struct {
    int rows, lastButton;
  } heights[] = {{1, 1}, {2, 13}, {3, 25}, {7, 1}};
  for (const auto& h : heights) {
    w.ShowMacroRows(h.rows);
    const QPushButton* last = w.ButMacro[h.lastButton];
    EXPECT_EQ(w.Panel2->height(), last->y() + last->height() + 1) << h.rows;
  }
}

// A modifier released while another window had the keyboard (Alt+Tab away and back): once the
// window is active again, the first row shows the F bank and sends its macros.
TEST(MacroButtons, AfterActivationTheFirstRowFollowsTheModifiersHeld) {
  RecordingFormParts parts;
  Buttons b(parts);
  TRxForm& w = b.w();
  QTest::keyPress(w.Input, Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(b.FirstRow(), Buttons::Row("A"));
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  QTest::keyRelease(&other, Qt::Key_Alt, Qt::NoModifier);
  EXPECT_EQ(b.FirstRow(), Buttons::Row("A"));  // the window did not see the release
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  EXPECT_EQ(b.FirstRow(), Buttons::Row("F"));
  EXPECT_EQ(w.FFTBox->cursor().shape(), Qt::ArrowCursor);
  QTest::mouseClick(w.ButMacro[3], Qt::LeftButton);
  EXPECT_EQ(b.Macros(), std::vector<std::string>{"3"});
}

// Even without a new activation, the press takes the bank of the modifiers held, and the
// captions follow before anything is sent.
TEST(MacroButtons, APressActsOnTheModifiersHeldAndTheCaptionsFollow) {
  RecordingFormParts parts;
  Buttons b(parts);
  TRxForm& w = b.w();
  QTest::keyPress(w.Input, Qt::Key_Alt, Qt::AltModifier);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  QTest::keyRelease(&other, Qt::Key_Alt, Qt::NoModifier);
  EXPECT_EQ(b.FirstRow(), Buttons::Row("A"));
  QTest::mousePress(w.ButMacro[3], Qt::LeftButton);
  EXPECT_EQ(b.Macros(), std::vector<std::string>{"3"});
  EXPECT_EQ(b.FirstRow(), Buttons::Row("F"));
  QTest::mouseRelease(w.ButMacro[3], Qt::LeftButton);
}

TEST(MacroButtons, AnAmpersandInACaptionIsShownAndTakesNoHotKey) {
  RecordingFormParts parts;
  Buttons b(parts, [](TMacroTable& t) {
    t.ButtonName[1] = "R&R";
    t.ButtonName[13] = "C&R";
  });
  TRxForm& w = b.w();
  EXPECT_EQ(Caption(w.ButMacro[1]), "R&&R");  // drawn as "R&R"
  QTest::keyPress(w.Input, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(Caption(w.ButMacro[1]), "C&&R");
  QTest::keyRelease(w.Input, Qt::Key_Control, Qt::ControlModifier);
  parts.log.clear();
  w.Input->setFocus();
  QTest::keyClick(w.Input, Qt::Key_R, Qt::AltModifier);
  EXPECT_EQ(QApplication::focusWidget(), w.RSTEdit);
  EXPECT_TRUE(b.Macros().empty());
}

TEST(MacroButtons, HintsShowTheMacrosAndTheFontOfTheFirstButtonGoesToAll) {
  RecordingFormParts parts;
  Buttons b(parts);
  TRxForm& w = b.w();
  w.macroTable().Macro[1] = "CQ CQ";
  w.macroTable().Macro[13] = "QRZ?";
  w.UpdateMacroButtonHints();
  EXPECT_EQ(w.ButMacro[1]->toolTip().toStdString(), "CQ CQ");
  EXPECT_EQ(w.ButMacro[13]->toolTip().toStdString(), "QRZ?");
  QTest::keyPress(w.Input, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(w.ButMacro[1]->toolTip().toStdString(), "CQ CQ");  // the first row's hints stay the F macros
  QTest::keyRelease(w.Input, Qt::Key_Control, Qt::ControlModifier);
  QFont f = w.ButMacro[1]->font();
  f.setPointSize(17);
  f.setItalic(true);
  w.ButMacro[1]->setFont(f);
  w.ApplyMacroButtonFont();
  for (int n = 2; n <= 36; ++n) EXPECT_EQ(w.ButMacro[n]->font(), f) << n;
}

// Moving over the panel shows the bank of the modifiers of that move.
TEST(MacroButtons, MovingOverThePanelShowsTheBankOfItsModifiers) {
  RecordingFormParts parts;
  Buttons b(parts);
  TRxForm& w = b.w();
  EXPECT_TRUE(w.Panel2->hasMouseTracking());
  QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), w.Panel2->mapToGlobal(QPointF(1, 1)), Qt::NoButton,
                   Qt::NoButton, Qt::ControlModifier);
  QApplication::sendEvent(w.Panel2, &move);
  EXPECT_EQ(b.FirstRow(), Buttons::Row("C"));
}

}  // namespace
}  // namespace vestrel
