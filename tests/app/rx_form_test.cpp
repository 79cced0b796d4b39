#include "app/rx_form.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;

// The widest texts each status panel shows, from the mode switch, the frequency display,
// the capture and beacon states and the block-mode decoder.
const std::pair<int, const char*> kWidestPanelTexts[] = {
    {0, "AMT-FEC"},   {0, "BPSK125"},  {0, "PACTOR"},  {1, "100/200 Bd"}, {1, "1200.00 Bd"},
    {1, "7.8125 Bd"}, {1, "45.45 Bd"}, {2, "5512 Hz"}, {3, "1200 Hz"},    {3, "170 Hz"},
    {4, "T+K+W"},     {5, "5512 Hz"},  {6, "1200 Hz"}, {7, "UoS"},        {8, "VFO"},
    {9, "n:15 e:8"},  {10, "BEA:999"}, {10, "BEA:W"},  {11, "FrB: 8"},
};

// Made as narrow as it goes, the window still shows every panel's text whole.
TEST(RxForm, StatusPanelTextsFitAtTheMinimumWidth) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  w.show();
  f.Ticks(20);
  w.resize(1, w.height());
  QCoreApplication::processEvents();
  ASSERT_LE(w.width(), w.minimumSizeHint().width() + 1);
  QStatusBar* bar = w.statusBar();
  for (const auto& [panel, text] : kWidestPanelTexts) {
    SCOPED_TRACE(text);
    QLabel* label = w.Panel(panel);
    w.SetPanelText(panel, text);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    // A framed label indents its text by half an "x" unless told otherwise.
    const int indent = label->indent() >= 0 ? label->indent()
                       : label->frameWidth() > 0
                           ? label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2
                           : 0;
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    EXPECT_LE(textWidth, label->contentsRect().width() - indent - 2 * label->margin());
    EXPECT_GE(label->width(), label->sizeHint().width());
    // And the panel lies inside the status bar, which lies inside the window.
    const QRect inBar(label->mapTo(bar, QPoint(0, 0)), label->size());
    EXPECT_LE(inBar.right(), bar->width() - 1);
    EXPECT_LE(bar->width(), w.width());
  }
}

// Received text is no edit: undo in the receive window takes none of it back.
TEST(RxForm, ReceivedTextSurvivesUndo) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  EXPECT_EQ(w.RxMemo->UndoMaxLevel(), 0);
  const std::string before = ToChars(w.RxMemo->GetTextContent());
  w.PutRxString("cq cq de dl1abc");
  w.RxMemo->Undo();
  w.RxMemo->PopupClickHandler(TStyledMemo::kPopupUndo);
  EXPECT_EQ(ToChars(w.RxMemo->GetTextContent()), before + "cq cq de dl1abc");
  EXPECT_FALSE(w.RxMemo->CanUndo());
}

// The typing window lays out what it is given at once and has no formatting thread; the
// receive window, which may grow long, formats in the background.
TEST(RxForm, TheTypingWindowFormatsAtOnce) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  w.show();
  f.Ticks(20);
  EXPECT_FALSE(w.Input->FormatThreadRunning());
  EXPECT_TRUE(w.RxMemo->FormatThreadRunning());
  std::string text;
  for (int i = 0; i < 400; ++i) text += "CQ CQ CQ de DL1ABC DL1ABC DL1ABC pse k\r\n";
  w.Input->SetTextBuf(ToBytes(text));
  EXPECT_EQ(w.Input->getFormatCompleted(), 100);
}

}  // namespace
}  // namespace vestrel
