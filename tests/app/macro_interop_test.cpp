// ctest-labels: gui interop
// Macros end to end through the real playback path (the ALSA file plug-in as the card): a macro
// run by number, a macro button clicked with the mouse, and the beacon started by its button and
// repeated by the main timer each key the transmitter, send their text as RTTY that minimodem
// decodes from the recording, and leave the program back in receive.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <string>

#include "support/playback_interop.h"

namespace vestrel {
namespace {

using test::WaitUntil;

#define SKIP_WITHOUT_TOOLS()                                                          \
  if (const std::string tool = test::PlaybackInterop::MissingTool(); !tool.empty()) { \
    GTEST_SKIP() << tool << " is not installed";                                      \
  }

// Started in RTTY, receiving, with the input open.
void ExpectReceiving(TRxForm& form) {
  EXPECT_FALSE(form.Transmitting());
  EXPECT_TRUE(form.sound().InputOpen());
  EXPECT_FALSE(form.TxButton->isChecked());
  EXPECT_EQ(form.engine().params.Mode, kModeRtty);
}

// The transmitter keyed for the n-th time and back in receive. The file device is not paced, so
// a transmission may be over within one look: the keying line counts them.
void WaitForTransmission(test::PlaybackInterop& io, TRxForm& form, size_t n, int ms) {
  EXPECT_TRUE(WaitUntil([&] { return io.ptt.Keyings() >= n && !form.Transmitting(); }, ms));
  EXPECT_EQ(io.ptt.Keyings(), n);
}

TEST(MacroInterop, RunMacroSendsTheCallFromTheEditAndReturnsToReceive) {
  SKIP_WITHOUT_TOOLS();
  test::PlaybackInterop io;
  {
    TRxForm form(io.Deps("macrointerop"));
    io.Start(form);
    ASSERT_TRUE(form.EngineStarted);
    ExpectReceiving(form);
    form.macroTable().Macro[5] = "~[tx]CQ DE ~[ec] `[rx]";
    form.CallEdit->setText(QStringLiteral("XX0XXX"));

    form.RunMacro(5);
    WaitForTransmission(io, form, 1, 20000);
    ExpectReceiving(form);
    ASSERT_GE(io.ptt.switches.size(), 2u);
    EXPECT_FALSE(io.ptt.switches.back().on);
    EXPECT_TRUE(io.boxes.shown.empty());
    test::PlaybackInterop::Finish(form);
  }
  const std::string decoded = io.Decode();
  EXPECT_NE(decoded.find("CQ DE XX0XXX"), std::string::npos) << decoded;
}

TEST(MacroInterop, MouseClickOnASecondRowButtonSendsItsMacro) {
  SKIP_WITHOUT_TOOLS();
  test::PlaybackInterop io;
  {
    TRxForm form(io.Deps("macrobutton"));
    io.Start(form);
    ASSERT_TRUE(form.EngineStarted);
    form.ShowMacroRows(2);
    form.macroTable().Macro[13] = "~[tx]CQ CQ DE XX0XXX `[rx]";
    QPushButton* button = form.ButMacro[13];
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible());

    QTest::mouseClick(button, Qt::LeftButton);
    WaitForTransmission(io, form, 1, 20000);
    ExpectReceiving(form);
    ASSERT_GE(io.ptt.switches.size(), 2u);
    EXPECT_FALSE(io.ptt.switches.back().on);
    test::PlaybackInterop::Finish(form);
  }
  const std::string decoded = io.Decode();
  EXPECT_NE(decoded.find("CQ CQ DE XX0XXX"), std::string::npos) << decoded;
}

TEST(MacroInterop, BeaconSendsMacro36AndTheTimerRepeatsItAfterThePeriod) {
  SKIP_WITHOUT_TOOLS();
  test::PlaybackInterop io;
  TRxForm form(io.Deps("beaconinterop"));
  io.Start(form);
  ASSERT_TRUE(form.EngineStarted);
  form.macroTable().Macro[36] = "~[tx]BEACON DE XX0XXX `[rx]";
  form.BeaconUpDown->setValue(3);  // the shortest period
  ASSERT_EQ(form.settings().BeaconPeriod, 3);

  form.BeaconButtonClick();  // on: the first call goes out at once
  ASSERT_TRUE(form.BeaconOn);
  WaitForTransmission(io, form, 1, 20000);
  ExpectReceiving(form);
  // The playback file is written anew by each transmission.
  std::string decoded = io.Decode();
  EXPECT_NE(decoded.find("BEACON DE XX0XXX"), std::string::npos) << decoded;
  // Still on, counting the period from the end of the transmission.
  EXPECT_TRUE(form.BeaconOn);
  EXPECT_TRUE(form.BeaconButton->isChecked());
  EXPECT_TRUE(WaitUntil([&] { return form.BeaconSeconds >= 1; }, 3000));
  EXPECT_EQ(io.ptt.Keyings(), 1u);

  // The main timer sends the next call once the period is over.
  WaitForTransmission(io, form, 2, 10000);
  ExpectReceiving(form);
  EXPECT_TRUE(form.BeaconOn);
  decoded = io.Decode();
  EXPECT_NE(decoded.find("BEACON DE XX0XXX"), std::string::npos) << decoded;
  form.BeaconButtonClick();  // off
  EXPECT_FALSE(form.BeaconOn);
  EXPECT_FALSE(io.ptt.switches.back().on);
  EXPECT_TRUE(io.boxes.shown.empty());
  test::PlaybackInterop::Finish(form);
}

}  // namespace
}  // namespace vestrel
