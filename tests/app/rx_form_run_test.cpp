#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QSpinBox>
#include <algorithm>
#include <functional>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/rx_form.h"
#include "engine/messages.h"
#include "memo/dyn_info.h"
#include "memo/qt/styled_memo_widget.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

std::string PanelText(TRxForm& w, int i) { return w.Panel(i)->text().toStdString(); }

// A form whose engine has started and which has had its first layout.
struct Running : Form {
  explicit Running(RecordingFormParts& p, SerialWorkers* workers = nullptr)
      : Form(p, UniqueSemaphoreName("run"), {}, workers), parts(p) {
    Ticks(20);
    parts.log.clear();
  }
  RecordingFormParts& parts;
};

TEST(RxFormTimer, ABeaconOfThirtySecondsCountsDownAndSends) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  w.BeaconUpDown->setValue(30);  // BeaconEditChange
  EXPECT_EQ(w.settings().BeaconPeriod, 30);
  w.TickCounter = 0;
  w.BeaconButtonClick();
  std::vector<std::string> shown{PanelText(w, 10)};
  for (int i = 0; i < 300; ++i) {
    w.Timer1Timer();
    if (PanelText(w, 10) != shown.back()) shown.push_back(PanelText(w, 10));
  }
  std::vector<std::string> expected{"BEA:W", "BEA:30"};
  for (int left = 29; left >= 1; --left) expected.push_back("BEA:" + std::to_string(left));
  expected.push_back("BEA:W");
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(parts.Count("RunMacro 36"), 2);
}

// Every way the beacon stops: the same five steps each time.
TEST(RxFormBeacon, EachStopConditionEndsTheBeacon) {
  const struct {
    const char* name;
    std::function<void(TRxForm&)> act;
  } rows[] = {
      {"two identical calls",
       [](TRxForm& w) {
         w.settings().BeaconOffAtTwoCalls = 1;
         w.PutRxString("DE DK2XY DK2XY K ");
       }},
      {"the own call",
       [](TRxForm& w) {
         w.settings().BeaconOffAtMyCall = 1;
         w.PutRxString("XX0XXX DE YY1YYY K");
       }},
      {"a key in the typing window", [](TRxForm& w) { QTest::keyClick(w.Input, Qt::Key_A); }},
      {"a mouse press in the typing window",
       [](TRxForm& w) { QTest::mousePress(w.Input->viewport(), Qt::LeftButton); }},
      {"a mouse press in the receive window",
       [](TRxForm& w) { QTest::mousePress(w.RxMemo->viewport(), Qt::LeftButton); }},
      {"a click in the spectrum", [](TRxForm& w) { QTest::mouseClick(w.FFTBox, Qt::LeftButton); }},
      {"the message of another program", [](TRxForm& w) { w.Dispatch(WM_BEACON_OFF); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingFormParts parts;
    Form f(parts, UniqueSemaphoreName("beacon"), {}, nullptr, false, nullptr,
           [](TRxFormDeps& d) { d.callsigns = nullptr; });
    f.Ticks(20);
    TRxForm& w = *f.form;
    w.settings().BeaconOffAtClick = 1;
    w.BeaconButtonClick();
    ASSERT_TRUE(w.BeaconOn);
    parts.log.clear();
    row.act(w);
    EXPECT_FALSE(w.BeaconOn);
    EXPECT_FALSE(w.BeaconButton->isChecked());
    EXPECT_EQ(PanelText(w, 10), " ");
    EXPECT_EQ(parts.Count("Notify 124"), 1);
    EXPECT_EQ(w.BeaconSeconds, 0);
  }
}

TEST(RxFormBeacon, AStartedTransmissionForgetsWhatTheOwnCallWatchHeard) {
  RecordingFormParts parts;
  Form f(parts, UniqueSemaphoreName("beacon"), {}, nullptr, false, nullptr,
         [](TRxFormDeps& d) { d.callsigns = nullptr; });
  f.Ticks(20);
  TRxForm& w = *f.form;
  w.settings().BeaconOffAtMyCall = 1;
  w.BeaconButtonClick();
  w.PutRxString("XX0XX");
  w.SetTransmit(true);
  w.SetTransmit(false);  // back to receive with nothing heard in between
  w.PutRxString("X");
  EXPECT_TRUE(w.BeaconOn);
  w.PutRxString(" XX0XXX");
  EXPECT_FALSE(w.BeaconOn);
}

// A call caught in the received text takes the call colour over exactly its letters, keeps the
// window font's style bits and lays no background.
TEST(RxFormCalls, ACaughtCallIsColouredInTheReceiveWindow) {
  RecordingFormParts parts;
  Form f(parts, UniqueSemaphoreName("callcolour"), {}, nullptr, false, nullptr,
         [](TRxFormDeps& d) { d.callsigns = nullptr; });
  f.Ticks(20);
  TRxForm& w = *f.form;
  constexpr TColor kCallColour = 0x0000FF;
  w.settings().CallColor = kCallColour;
  TMemoFont font = w.RxMemo->Font();
  font.Style = 0x01;  // bold
  w.RxMemo->setFont(font);
  const std::string text = "CQ DE DK2XY K ";
  w.PutRxString(text);
  const auto start = static_cast<int32_t>(text.find("DK2XY"));
  const int32_t stop = start + 5;
  const auto attrAt = [&](int32_t offset) {
    TStyledNavigator n(&w.RxMemo->NavContext());
    n.SetPos(offset);
    n.RightOfDyn();
    return n.GetpDynInfo();
  };
  for (int32_t i = 0; i < static_cast<int32_t>(text.size()); ++i) {
    SCOPED_TRACE(i);
    const DynInfoRec rec = attrAt(i);
    const bool inCall = i >= start && i < stop;
    EXPECT_EQ((rec.Flags & kDynActive) != 0, inCall);
    if (!inCall) continue;
    EXPECT_EQ(rec.Flags & 0x3F, 0x11);
    EXPECT_EQ(rec.Foregnd, kCallColour);
    EXPECT_EQ(rec.Backgnd, clNone);
  }
}

TEST(RxFormBeacon, PressesLeaveItWithoutBeaconOffAtClickAndAStoppedBeaconStaysOff) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  w.settings().BeaconOffAtClick = 0;
  w.BeaconButtonClick();
  QTest::keyClick(w.Input, Qt::Key_A);
  QTest::mousePress(w.RxMemo->viewport(), Qt::LeftButton);
  QTest::mouseClick(w.FFTBox, Qt::LeftButton);
  EXPECT_TRUE(w.BeaconOn);
  w.settings().BeaconOffAtClick = 1;
  QTest::mouseClick(w.FFTBox, Qt::LeftButton);
  EXPECT_FALSE(w.BeaconOn);
  // A press does not start it again.
  QTest::mouseClick(w.FFTBox, Qt::LeftButton);
  EXPECT_FALSE(w.BeaconOn);
}

// A release in the receive window hands the selection (then cleared) to the QSO panel; with
// CatchWordByOneClick a click alone hands over the word under the caret.
TEST(RxFormQsoPanel, TheReceiveWindowHandsAPickedWordToTheLogger) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  w.PutRxString("CQ DE DK2XY K ");
  QWidget* view = w.RxMemo->viewport();
  const auto picks = [&] { return parts.Count("PickWord DK2XY"); };

  w.settings().CatchWordByOneClick = 0;
  w.RxMemo->setSelStart(6);
  w.RxMemo->setSelLength(5);
  QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(picks(), 1);
  EXPECT_EQ(w.RxMemo->SelLength(), 0);
  EXPECT_FALSE(w.receivedText().RxMouseDown);

  // Without a selection and without the setting nothing is picked.
  w.RxMemo->setSelStart(8);
  QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(picks(), 1);

  w.settings().CatchWordByOneClick = 1;
  w.RxMemo->setSelStart(8);
  QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_TRUE(w.receivedText().RxMouseDown);
  w.RxMemo->setSelStart(8);
  w.RxMemo->setSelLength(0);
  QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(picks(), 2);
}

TEST(RxFormTimer, AReenteredTickOnlyAdvancesTheTickCounter) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  int inner = 0;
  parts.onPumpTxText = [&] {
    // A duty that processes messages lets the next tick in.
    if (inner++ == 0) w.Timer1Timer();
  };
  const int before = w.TickCounter;
  w.Timer1Timer();
  EXPECT_EQ(parts.Count("PumpTxText"), 1);  // the inner tick ran no duty
  EXPECT_EQ(w.TickCounter, before + 2);     // one for the skipped tick, one for the real one
  parts.onPumpTxText = nullptr;
  w.Timer1Timer();
  EXPECT_EQ(parts.Count("PumpTxText"), 2);  // the flag was cleared again
}

TEST(RxFormTimer, FreeBufferPanelShowsFallsAndRisesOfTwo) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  struct Step {
    uint32_t queued;
    const char* shown;
  };
  // Free buffers = 8 - queued.
  const Step steps[] = {{2, "FrB: 6"}, {3, "FrB: 5"}, {2, "FrB: 5"}, {1, "FrB: 7"}, {0, "FrB: 7"}, {7, "FrB: 1"}};
  for (const Step& s : steps) {
    parts.queued = s.queued;
    w.Timer1Timer();
    EXPECT_EQ(PanelText(w, 11), s.shown) << s.queued;
  }
}

TEST(RxFormTimer, DisplayPauseFallsToZeroWhenTheWindowIsNotActive) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  ASSERT_FALSE(w.isActiveWindow());
  w.engine().display.DisplayPause = 50;
  w.Timer1Timer();
  EXPECT_EQ(w.engine().display.DisplayPause, 0);
}

TEST(RxFormTimer, BeaconCountsSecondsWhileReceivingAndStandsStillWhileTransmitting) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  w.settings().BeaconPeriod = 3;
  w.TickCounter = 0;
  w.BeaconButtonClick();  // on: the beacon text goes at once
  EXPECT_EQ(parts.Count("RunMacro 36"), 1);
  EXPECT_EQ(PanelText(w, 10), "BEA:W");
  EXPECT_TRUE(parts.Has("Notify 125"));
  w.Timer1Timer();
  EXPECT_EQ(PanelText(w, 10), "BEA:3");  // the full period on the first tick of a second
  r.Ticks(9);
  EXPECT_EQ(PanelText(w, 10), "BEA:2");
  r.Ticks(10);
  EXPECT_EQ(PanelText(w, 10), "BEA:1");
  parts.transmitting = true;
  r.Ticks(25);
  EXPECT_EQ(PanelText(w, 10), "BEA:1");  // held while transmitting
  EXPECT_EQ(w.BeaconSeconds, 0);
  parts.transmitting = false;
  r.Ticks(29);
  EXPECT_EQ(parts.Count("RunMacro 36"), 1);
  r.Ticks(1);  // three whole seconds after the transmission
  EXPECT_EQ(parts.Count("RunMacro 36"), 2);
  EXPECT_EQ(PanelText(w, 10), "BEA:W");
  w.Dispatch(WM_BEACON_OFF);
  EXPECT_FALSE(w.BeaconOn);
  EXPECT_EQ(PanelText(w, 10), " ");
  EXPECT_EQ(parts.Count("Notify 124"), 1);
}

TEST(RxFormMessages, OutsideMessagesWaitForTheEngineStart) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  for (uint32_t m : {WM_TX_ON, WM_TX_OFF, WM_PAUSE_ON, WM_BEACON_OFF}) w.Dispatch(m);
  w.HandleBrkCw(111, 0);
  EXPECT_FALSE(parts.Has("SetTransmit 1"));
  EXPECT_FALSE(parts.Has("SetPause 1"));
  EXPECT_FALSE(parts.Has("LoggerCommand 111 0"));
  f.Ticks(20);
  w.Post(WM_TX_ON);  // posted as other programs post it
  QCoreApplication::sendPostedEvents(&w);
  w.Dispatch(WM_PAUSE_ON);
  w.HandleBrkCw(111, 0);
  EXPECT_TRUE(parts.Has("SetTransmit 1"));
  EXPECT_TRUE(parts.Has("SetPause 1"));
  EXPECT_TRUE(parts.Has("LoggerCommand 111 0"));
  w.Dispatch(0x8196);  // not a message of the window
}

TEST(RxFormMessages, MenusPauseTheDisplaysOnlyAfterTheStart) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  w.MenuOpened();
  EXPECT_EQ(w.engine().display.DisplayPause, 0);
  f.Ticks(20);
  w.MenuOpened();
  EXPECT_EQ(w.engine().display.DisplayPause, 400);
  w.MenuClosed();
  EXPECT_EQ(w.engine().display.DisplayPause, 0);
}

TEST(RxFormKeys, HotKeysAreConsumedAndOthersReachTheTextWindow) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  w.show();
  StyledMemoWidget* input = w.Input;
  auto typed = [&] { return ToChars(input->GetTextContent()); };

  QTest::keyClick(input, Qt::Key_F4, Qt::AltModifier);
  EXPECT_TRUE(parts.Has("RunMacro 28"));
  EXPECT_EQ(w.ShutdownDone, 0);
  EXPECT_TRUE(w.isVisible());
  QTest::keyClick(input, Qt::Key_F4, Qt::ControlModifier);
  EXPECT_TRUE(parts.Has("RunMacro 16"));
  QTest::keyClick(input, Qt::Key_F10);
  EXPECT_TRUE(parts.Has("RunMacro 10"));
  QTest::keyClick(input, Qt::Key_Asterisk, Qt::KeypadModifier);
  EXPECT_TRUE(parts.Has("ForceFigures"));
  QTest::keyClick(input, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_TRUE(parts.Has("ForceLetters"));
  QTest::keyClick(input, Qt::Key_3, Qt::AltModifier);
  EXPECT_TRUE(parts.Has("SetZoom 3"));
  QTest::keyClick(input, Qt::Key_Escape);  // reaches the window too, and types nothing
  EXPECT_TRUE(parts.Has("RunMacro 0"));
  EXPECT_TRUE(typed().empty());  // none of them reached the typing window

  QTest::keyClick(input, Qt::Key_BracketRight, Qt::ControlModifier);
  EXPECT_EQ(typed(), "`[rx]");
  QTest::keyClicks(input, "ab*-");  // plain keys and the main keyboard's * and - are text
  EXPECT_EQ(typed(), "`[rx]ab*-");
  EXPECT_EQ(parts.Count("ForceFigures"), 1);

  QTest::keyClick(input, Qt::Key_D, Qt::AltModifier);  // clears the receive window
  w.RxMemo->SetTextBuf(ToBytes("x"));
  QTest::keyClick(input, Qt::Key_D, Qt::AltModifier);
  EXPECT_TRUE(test::RxText(w).empty());
}

// Keys the window acts on without consuming them go on to the typing window: Ctrl+Z toggles the
// logarithmic oscillogram and undoes, Ctrl+Shift+Z redoes, Ctrl+T keys and types a tab, Ctrl+P
// pauses and starts a page.
TEST(RxFormKeys, UnconsumedHotKeysAlsoEditTheTypingWindow) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  w.show();
  StyledMemoWidget* input = w.Input;
  input->setFocus();
  auto typed = [&] { return ToChars(input->GetTextContent()); };
  const int32_t logOsc = w.settings().LogarithmicOscillogram;

  QTest::keyClicks(input, "cq");
  ASSERT_EQ(typed(), "cq");
  QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(typed(), "");
  EXPECT_NE(w.settings().LogarithmicOscillogram, logOsc);
  QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(typed(), "cq");
  EXPECT_EQ(w.settings().LogarithmicOscillogram, logOsc);
  QTest::keyClick(input, Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(parts.Has("SetTransmit 1"));
  EXPECT_EQ(typed(), "cq\t");
  QTest::keyClick(input, Qt::Key_P, Qt::ControlModifier);
  EXPECT_TRUE(parts.Has("SetPause 1"));
  EXPECT_EQ(typed(), "cq\t\r\n\f");
}

TEST(RxFormKeys, NothingKeysTheTransmitterOrRunsAMacroBeforeTheEngineStart) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  w.show();
  f.Ticks(10);  // the window answers, the settings are not loaded yet
  QTest::keyClick(w.Input, Qt::Key_ScrollLock);
  QTest::keyClick(w.Input, Qt::Key_T, Qt::ControlModifier);
  QTest::keyClick(w.Input, Qt::Key_F1);
  w.TxButton->click();
  w.ButMacro[14]->click();  // the first row acts on the press, the others on the click
  EXPECT_FALSE(parts.Has("SetTransmit 1"));
  EXPECT_TRUE(std::none_of(parts.log.begin(), parts.log.end(),
                           [](const std::string& e) { return e.rfind("RunMacro", 0) == 0; }));
  EXPECT_FALSE(w.TxButton->isChecked());
  f.Ticks(10);
  QTest::keyClick(w.Input, Qt::Key_F1);
  w.TxButton->click();
  EXPECT_TRUE(parts.Has("RunMacro 1"));
  EXPECT_TRUE(parts.Has("SetTransmit 1"));
}

TEST(RxFormKeys, ModifiersRelabelTheFirstRow) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  QTest::keyPress(w.Input, Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(w.ButMacro[1]->text().toStdString(), "cF1");
  QTest::keyRelease(w.Input, Qt::Key_Control, Qt::NoModifier);
  EXPECT_EQ(w.ButMacro[1]->text().toStdString(), "F1");
  QTest::keyPress(w.Input, Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(w.ButMacro[12]->text().toStdString(), "aF12");
  QTest::keyRelease(w.Input, Qt::Key_Alt, Qt::NoModifier);
}

const std::vector<std::string> kShutdownOrder = {
    "SetClientCount 0", "SetEngineClosing", "StopSlotTimer", "CloseSoundInput", "CloseSoundOutput", "SetPtt 0",
    "CloseCaptureFiles", "Notify 99", "SetPtt 0", "ClosePorts 0"};

std::vector<std::string> ShutdownCalls(const RecordingFormParts& p) {
  std::vector<std::string> out;
  for (const auto& e : p.log) {
    if (std::find(kShutdownOrder.begin(), kShutdownOrder.end(), e) != kShutdownOrder.end()) out.push_back(e);
  }
  return out;
}

TEST(RxFormShutdown, ClosingTwiceStopsTheEngineOnceInOrder) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  w.show();
  EXPECT_TRUE(w.close());
  EXPECT_EQ(w.ShutdownDone, 1);
  EXPECT_FALSE(w.Timer1Enabled);
  EXPECT_EQ(w.presence().Value(), -1);
  w.show();
  EXPECT_TRUE(w.close());
  std::vector<std::string> expected = kShutdownOrder;
  expected.push_back("SetClientCount 0");  // a second shutdown only zeroes the client count
  EXPECT_EQ(ShutdownCalls(parts), expected);
  EXPECT_EQ(parts.Count("Notify 99"), 1);
  const int layouts = w.ResizeCount;
  w.resize(500, 400);
  w.FormResize();
  EXPECT_EQ(w.ResizeCount, layouts);  // no layout after the shutdown
}

// A block-mode message still open at shutdown ends there: its report shown, its file moved
// to the final name. A file the engine cannot write is reported in a message box.
TEST(RxFormShutdown, OpenBlockMessagesEndAndFileErrorsAreShown) {
  RecordingFormParts parts;
  Running r(parts);
  TRxForm& w = *r.form;
  test::TempDir dir;
  w.engine().blockCapture.directory = dir.path();
  BlockContent block;
  block.kind = BlockContent::kData;
  block.counter = 8;
  block.bytes = {'L', 'A', 'S', 'T', ' ', 'O', 'N'};
  block.length = 7;
  w.engine().ps2x5.Message().Output(block, 0);
  w.show();
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.engine().ps2x5.Message().Open());
  EXPECT_NE(test::RxText(w).find("LAST ON{ER=0.0%}"), std::string::npos);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().filename().string().substr(11), "-RO-0000.TXT");
    ++files;
  }
  EXPECT_EQ(files, 1);

  std::ofstream(dir.path() / "file") << "not a directory";
  w.engine().blockCapture.directory = dir.path() / "file";
  w.engine().ps2x5.Message().Output(block, 0);
  ASSERT_FALSE(parts.boxes.empty());
  EXPECT_EQ(parts.boxes.back().first, "Vestrel - Block File Error");
}

TEST(RxFormShutdown, ExitThenDestroyStopsOnce) {
  RecordingFormParts parts;
  {
    Running r(parts);
    r.form->ExitClick();
    EXPECT_TRUE(parts.Has("Terminate"));
  }
  std::vector<std::string> expected = kShutdownOrder;
  expected.insert(expected.end(), {"SetClientCount 0", "SetClientCount 0"});
  EXPECT_EQ(ShutdownCalls(parts), expected);
  EXPECT_EQ(parts.Count("ClosePortDriver"), 1);
}

TEST(RxFormShutdown, NothingKeysTheTransmitterWhileTheShutdownWaits) {
  // A worker that takes a few rounds to stop keeps the shutdown's message loop running.
  class SlowBodies : public WorkerBodies {
   public:
    void RsThreadProc(WorkerShared& shared) override {
      while (shared.stop[WorkerShared::kComWriter] == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool> release{false};
  };
  auto bodies = std::make_shared<SlowBodies>();
  SerialWorkers workers(bodies);
  RecordingFormParts parts;
  Running r(parts, &workers);
  TRxForm& w = *r.form;
  parts.onProcessMessages = [&] {
    // What may arrive meanwhile: a logger command, a D-Bus "transmit on", a macro key.
    w.Dispatch(WM_TX_ON);
    w.SetTransmit(true);
    QTest::keyClick(w.Input, Qt::Key_F1);
    // Files, rig control and file decoding would stay open after the shutdown.
    QTest::keyClick(w.Input, Qt::Key_L, Qt::AltModifier);
    QTest::keyClick(w.Input, Qt::Key_Q, Qt::AltModifier);
    QTest::keyClick(w.Input, Qt::Key_G, Qt::AltModifier | Qt::ControlModifier);
    QTest::keyClick(w.Input, Qt::Key_U, Qt::ControlModifier);
    w.Dispatch(WM_TX_OFF);
    if (parts.processRounds == 3) bodies->release = true;
  };
  w.ShutdownEngine();
  EXPECT_GE(parts.processRounds, 3);
  EXPECT_FALSE(parts.Has("SetTransmit 1"));
  EXPECT_FALSE(parts.Has("RunMacro 1"));
  for (const char* e : {"ToggleTextCapture", "ToggleWaveCapture", "DecodeFromFile", "RigRestart"}) {
    EXPECT_FALSE(parts.Has(e)) << e;
  }
  EXPECT_TRUE(w.Input->GetTextContent().empty());  // and none of the keys became text
  EXPECT_TRUE(parts.Has("SetTransmit 0"));  // switching off is still allowed
  EXPECT_FALSE(workers.anyAbandoned());
  EXPECT_TRUE(parts.Has("ClosePorts 0"));
}

TEST(RxFormShutdown, AWorkerThatDoesNotStopIsAbandonedAndItsPortsStayOpen) {
  class StuckBodies : public WorkerBodies {
   public:
    void RsThreadProc(WorkerShared&) override {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool> release{false};
  };
  auto bodies = std::make_shared<StuckBodies>();
  {
    SerialWorkers workers(bodies);
    RecordingFormParts parts;
    parts.realSleep = false;
    {
      Running r(parts, &workers);
      bool keyedWhileWaiting = false;
      parts.onProcessMessages = [&] { keyedWhileWaiting |= !parts.Has("SetPtt 0"); };
      r.form->ShutdownEngine();
      EXPECT_FALSE(keyedWhileWaiting);  // the transmitter is off before the wait begins
      EXPECT_EQ(parts.processRounds, 350);
      EXPECT_TRUE(workers.anyAbandoned());
      EXPECT_TRUE(parts.Has("ClosePorts 1"));
      EXPECT_NE(workers.shared()->comEvent, nullptr);  // the abandoned thread may still wait on it
    }
  }
  bodies->release = true;  // the thread ends on its own, holding what it uses until then
}

}  // namespace
}  // namespace vestrel
