#include "app/rx_form.h"

#include <gtest/gtest.h>
#include <semaphore.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::FailingWorkers;
using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

std::vector<std::string> From(const std::vector<std::string>& log, const std::string& first) {
  auto it = std::find(log.begin(), log.end(), first);
  return {it, log.end()};
}

TEST(RxFormStart, EngineStartsOnTick19AndFirstLayoutOnTick20) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  EXPECT_EQ(w.StartupCountdown, 20);
  EXPECT_TRUE(w.Timer1Enabled);
  EXPECT_FALSE(parts.Has("LoadSettings"));  // creation loads no settings and opens nothing
  EXPECT_FALSE(parts.Has("OpenSoundInput"));

  f.Ticks(18);
  EXPECT_FALSE(parts.Has("LoadSettings"));
  w.resize(700, 500);  // before the 20th tick a resize leaves the designed layout
  w.FormResize();
  EXPECT_EQ(w.ResizeCount, 0);

  f.Ticks(1);  // 19th
  EXPECT_EQ(parts.Count("LoadSettings"), 1);
  EXPECT_TRUE(w.EngineStarted);
  EXPECT_EQ(w.ResizeCount, 0);

  f.Ticks(1);  // 20th
  EXPECT_EQ(w.StartupCountdown, 0);
  EXPECT_EQ(w.ResizeCount, 1);
  f.Ticks(30);
  EXPECT_EQ(parts.Count("LoadSettings"), 1);
}

// The squelch up-down and the level the engine tests against start at the same default
// position, before any setting or change of the up-down has reached the engine.
TEST(RxFormStart, SquelchUpDownAndEngineLevelStartAlike) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  EXPECT_EQ(w.SqlUpDown->value(), 50);
  EXPECT_DOUBLE_EQ(w.engine().rxBlocks.SquelchLevel, TRxBlockProcessor::SquelchLevelAt(w.SqlUpDown->value()));
}

// Until the first layout the designed positions are shown: no control may hide another.
TEST(RxFormStart, TheDesignedLayoutBeforeTheFirstResizeHasNoOverlappingButtons) {
  RecordingFormParts parts;
  Form f(parts);
  TRxForm& w = *f.form;
  auto expectApart = [](const std::vector<QWidget*>& ws) {
    for (size_t i = 0; i < ws.size(); ++i) {
      for (size_t j = i + 1; j < ws.size(); ++j) {
        EXPECT_FALSE(ws[i]->geometry().intersects(ws[j]->geometry()))
            << ws[i]->objectName().toStdString() << ws[i]->geometry().x() << " / " << ws[j]->geometry().x();
      }
    }
  };
  expectApart({w.TuneButtons.begin(), w.TuneButtons.end()});
  std::vector<QWidget*> macros(w.ButMacro.begin() + 1, w.ButMacro.end());
  expectApart(macros);
  w.show();
  f.Ticks(20);  // laid out: still apart, and inside their panels
  expectApart({w.TuneButtons.begin(), w.TuneButtons.end()});
  expectApart(macros);
  for (int width : {800, 436, 1200}) {
    SCOPED_TRACE(width);
    w.resize(width, 600);
    EXPECT_LE(w.ClearEditButton->geometry().right(), w.QsoPanel->width() - 1);
    EXPECT_LE(w.ButMacro[12]->geometry().right(), w.Panel2->width() - 1);
    // The tuning row needs 258 pixels; a narrower window clips it, as designed.
    if (w.TunePanel->width() >= 258) {
      EXPECT_LE(w.TuneButtons[5]->geometry().right(), w.TunePanel->width() - 1);
    }
    EXPECT_FALSE(w.OtherEdit->geometry().intersects(w.ClearEditButton->geometry()));
  }
}

TEST(RxFormStart, StepsRunInOrder) {
  RecordingFormParts parts;
  parts.exCanal = 2;
  parts.useDuplex = 1;
  Form f(parts, UniqueSemaphoreName("order"), {"/C", "rx.txt"});
  f.Ticks(19);
  const std::vector<std::string> expected = {
      "LoadSettings", "SetZoom 1", "SetOwnCall XX0XXX", "OpenTextCapture rx.txt", "Notify 100", "Notify 110", "ClearQsoPanel",
      "BuildWaterfallPalette", "StartObjects", "ApplySpeedShiftMode", "ExchangeInit 2", "RigOpen",
      "OpenSoundInput", "OpenSoundOutput"};
  EXPECT_EQ(From(parts.log, "LoadSettings"), expected);
  EXPECT_TRUE(f.form->ExchangeLibraryActive);
  EXPECT_TRUE(f.form->CommandLine.captureFile.empty());  // the /C name is used once
  EXPECT_EQ(f.form->presence().Value(), 3);
  for (int n = 1; n <= 36; ++n) ASSERT_NE(f.form->MacroButtons[n], nullptr);
  EXPECT_EQ(f.form->ButMacro[13]->text().toStdString(), "cF1");
}

TEST(RxFormStart, ExchangeChannelZeroNeverCallsTheLibraryAndAFailureIsReported) {
  {
    RecordingFormParts parts;
    parts.exCanal = 0;
    Form f(parts);
    f.Ticks(19);
    EXPECT_FALSE(parts.Has("ExchangeInit 0"));
    EXPECT_TRUE(parts.boxes.empty());
    EXPECT_FALSE(f.form->ExchangeLibraryActive);
  }
  RecordingFormParts parts;
  parts.exCanal = 5;
  parts.exchangeOk = false;
  Form f(parts);
  f.Ticks(19);
  ASSERT_EQ(parts.boxes.size(), 1u);
  EXPECT_EQ(parts.boxes[0], std::make_pair(std::string("Error"), std::string("ZOZARIRI.DLL initialization error!")));
  EXPECT_FALSE(f.form->ExchangeLibraryActive);
  EXPECT_FALSE(parts.Has("Terminate"));  // the program goes on without the library
  EXPECT_TRUE(parts.Has("OpenSoundInput"));
}

TEST(RxFormStart, EachEventOrThreadFailureIsReportedAndTheLaterStepsStillRun) {
  const std::pair<int, const char*> cases[] = {
      {13, "COM-event creation error!"}, {14, "RsThread start failed!"}, {15, "RsExTxEvent creation error!"}};
  for (const auto& [step, text] : cases) {
    SCOPED_TRACE(step);
    RecordingFormParts parts;
    FailingWorkers workers(step);
    Form f(parts, UniqueSemaphoreName("fail"), {}, &workers);
    f.Ticks(19);
    ASSERT_EQ(parts.boxes.size(), 1u);
    EXPECT_EQ(parts.boxes[0], std::make_pair(std::string("Error"), std::string(text)));
    const auto after = From(parts.log, "Box " + std::string(text));
    ASSERT_GE(after.size(), 4u);
    EXPECT_EQ(after[1], "Terminate");
    EXPECT_NE(std::find(after.begin(), after.end(), "RigOpen"), after.end());
    EXPECT_NE(std::find(after.begin(), after.end(), "OpenSoundInput"), after.end());
    EXPECT_EQ(f.form->presence().Value(), 3);
    EXPECT_EQ(workers.started(WorkerShared::kComWriter), step != 14);
    // Shutdown signals only events that exist and waits only for threads that started.
    f.form->ShutdownEngine();
    EXPECT_LT(parts.processRounds, 350);
    EXPECT_FALSE(workers.AnyRunning());
  }
}

// Every message box runs its own loop, in which the user may close the window: the start
// must then open and start nothing more, since the shutdown that would stop it has run.
TEST(RxFormStart, AWindowClosedWhileAStartBoxIsShownOpensAndStartsNothingMore) {
  enum Where { kExchangeBox, kComEventBox, kSoundInputBox };
  for (Where where : {kExchangeBox, kComEventBox, kSoundInputBox}) {
    SCOPED_TRACE(int(where));
    RecordingFormParts parts;
    parts.useDuplex = 1;
    if (where == kExchangeBox) {
      parts.exCanal = 3;
      parts.exchangeOk = false;
    }
    FailingWorkers workers(where == kComEventBox ? 13 : 0);
    Form f(parts, UniqueSemaphoreName("closed"), {}, &workers);
    auto closeWindow = [&] { f.form->close(); };
    if (where == kSoundInputBox) {
      parts.onOpenSoundInput = closeWindow;
    } else {
      parts.onBox = closeWindow;
    }
    f.Ticks(19);
    EXPECT_EQ(f.form->ShutdownDone, 1);
    EXPECT_FALSE(parts.inputOpen);
    EXPECT_FALSE(parts.outputOpen);
    EXPECT_FALSE(parts.Has("OpenSoundOutput"));
    EXPECT_LE(f.form->presence().Value(), 0);  // not announced (or taken back)
    for (int i = 0; i < WorkerShared::kCount; ++i) EXPECT_FALSE(workers.started(i)) << i;
    if (where != kSoundInputBox) {
      EXPECT_FALSE(parts.Has("RigOpen"));
    }
  }
}

TEST(RxFormStart, SavedGeometryOfMinusOneKeepsTheDesignedValue) {
  const auto dir = std::filesystem::temp_directory_path() / ("vestrel_geom_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto ini = (dir / "VESTREL.INI").string();
  {
    std::ofstream out(ini, std::ios::binary);
    out << "[Screen]\r\nLeft=-1\r\nTop=\"123\"\r\nHeight=-1\r\nWidth=700\r\n[RTTY]\r\nUTCoffset=60\r\n";
  }
  RecordingFormParts parts;
  Form f(parts, UniqueSemaphoreName("geom"), {"/F" + ini});
  const QRect g = f.form->geometry();
  EXPECT_EQ(g.left(), TRxForm::kDesignLeft);
  EXPECT_EQ(g.top(), 123);
  EXPECT_EQ(g.height(), TRxForm::kDesignHeight);
  EXPECT_EQ(g.width(), 700);
  EXPECT_EQ(f.form->settings().UTCoffset, 60);
  EXPECT_EQ(f.form->settings().OnTop, 0);
  {
    // Saved on a monitor that is gone: the window comes back where it was designed.
    std::ofstream out(ini, std::ios::binary);
    out << "[Screen]\r\nLeft=40000\r\nTop=-30000\r\nHeight=200000\r\nWidth=500\r\n";
  }
  RecordingFormParts parts2;
  Form gone(parts2, UniqueSemaphoreName("geom2"), {"/F" + ini});
  const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(gone.form->geometry().topLeft(), QPoint(TRxForm::kDesignLeft, TRxForm::kDesignTop));
  EXPECT_EQ(gone.form->geometry().width(), 500);
  EXPECT_LE(gone.form->geometry().height(), desktop.height());
  std::filesystem::remove_all(dir);
}

TEST(RxFormStart, TwoInstancesLeaveThePresenceSemaphoreAtSix) {
  const std::string name = UniqueSemaphoreName("presence");
  RecordingFormParts a, b;
  auto first = std::make_unique<Form>(a, name);
  auto second = std::make_unique<Form>(b, name);
  first->Ticks(19);
  second->Ticks(19);
  EXPECT_EQ(first->form->presence().Value(), 6);
  second->form->ShutdownEngine();  // each instance takes back its own 3
  EXPECT_EQ(first->form->presence().Value(), 3);
  first->form->ShutdownEngine();
  sem_t* s = sem_open(name.c_str(), 0);
  ASSERT_NE(s, SEM_FAILED);
  int v = -1;
  sem_getvalue(s, &v);
  EXPECT_EQ(v, 0);
  sem_close(s);
}

}  // namespace
}  // namespace vestrel
