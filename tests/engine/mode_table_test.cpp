#include "engine/mode_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/engine.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"

namespace vestrel {
namespace {

// Every number 0..22 has its row, at its own index; 13, 15, 17, 19 and 21 (and anything
// outside 0..22) name no mode and give row 0.
TEST(ModeTable, EveryNumberHasARowAndUnknownNumbersAreRtty) {
  const std::set<int> assigned = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22};
  ASSERT_EQ(ModeTable().size(), 23u);
  for (int m = 0; m < kModeCount; ++m) {
    SCOPED_TRACE(m);
    EXPECT_EQ(ModeTable()[m].number, m);
    EXPECT_EQ(ModeTable()[m].assigned, assigned.count(m) == 1);
    EXPECT_EQ(ModeRowOf(m).number, assigned.count(m) ? m : 0);
    EXPECT_EQ(NormaliseMode(m), assigned.count(m) ? m : 0);
  }
  for (int m : {23, 24, 99, -1, -22, INT32_MIN, INT32_MAX}) EXPECT_EQ(&ModeRowOf(m), &ModeRowOf(0)) << m;
}

// What each mode transmits with, and the details a receiver or transmitter takes from its row.
TEST(ModeTable, TransmittersAndModeDetails) {
  struct Case {
    int mode;
    TxFamily tx;
    int dataBits;
    double rate;
    bool qpsk;
    int tones;
  } cases[] = {
      {0, TxFamily::kStartStop, 5, 0, false, 0},   {1, TxFamily::kPsk, 0, 31.25, false, 0},
      {2, TxFamily::kStartStop, 7, 0, false, 0},   {3, TxFamily::kPsk, 0, 31.25, true, 0},
      {4, TxFamily::kStartStop, 8, 0, false, 0},   {5, TxFamily::kPsk, 0, 62.5, false, 0},
      {6, TxFamily::kAmtorFec, 0, 0, false, 0},    {7, TxFamily::kPsk, 0, 125, false, 0},
      {8, TxFamily::kPacket, 0, 300, false, 0},    {9, TxFamily::kPsk, 0, 62.5, true, 0},
      {10, TxFamily::kPacket, 0, 1200, false, 0},  {11, TxFamily::kNone, 0, 0, false, 0},
      {12, TxFamily::kMfsk, 0, 15.625, false, 16}, {14, TxFamily::kNone, 0, 0, false, 0},
      {16, TxFamily::kMfsk, 0, 7.8125, false, 32}, {18, TxFamily::kNone, 0, 100, false, 0},
      {20, TxFamily::kPs2x5, 0, 0, false, 0},      {22, TxFamily::kPs33x5, 0, 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const ModeRow& row = ModeRowOf(c.mode);
    EXPECT_EQ(row.transmitter, c.tx);
    EXPECT_EQ(row.Transmits(), c.mode != 11 && c.mode != 14 && c.mode != 18);  // receive-only
    EXPECT_EQ(row.dataBits, c.dataBits);
    EXPECT_EQ(row.symbolRate, c.rate);
    EXPECT_EQ(row.quadrature, c.qpsk);
    EXPECT_EQ(row.mfskTones, c.tones);
  }
}

// The logger's default names ([SendMode] of the settings file) and the status-panel names.
TEST(ModeTable, NamesOfEveryMode) {
  struct Case {
    int mode;
    const char* panel;
    const char* report;
  } cases[] = {{0, "RTTY", "RTTY"},      {1, "BPSK31", "PSK31"},   {2, "ASCII-7", "ASCI"},
               {3, "QPSK31", "PSK31"},   {4, "ASCII-8", "ASCI"},   {5, "BPSK63", "PSK63"},
               {6, "AMT-FEC", "TOR"},    {7, "BPSK125", "PSK125"}, {8, "AX25-H", "PKT"},
               {9, "QPSK63", "PSK63"},   {10, "AX25-U", "PKT"},    {11, "DTMF", ""},
               {12, "MFSK16", "MFSK16"}, {14, "AMT-ARQ", ""},      {16, "MFSK8", "MFSK8"},
               {18, "PACTOR", "PACTOR"}, {20, "PS2x5", "PS2X5"},   {22, "PS33x5", "PS33X5"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ModeRowOf(c.mode).panelName, c.panel) << c.mode;
    EXPECT_EQ(ModeRowOf(c.mode).reportName, c.report) << c.mode;
  }
}

// The start-stop modes and PS2X5 pick their FSK pass by the signal; the others keep theirs.
TEST(ModeTable, ResolveAfcPass) {
  TModemParams p;
  p.Baud = 45.0;
  p.ShiftHz = 170;
  EXPECT_EQ(ResolveAfcPass(ModeRowOf(0), p), AfcPass::kFskSeparate);
  EXPECT_EQ(ResolveAfcPass(ModeRowOf(20), p), AfcPass::kFskSeparate);
  EXPECT_EQ(ResolveAfcPass(ModeRowOf(6), p), AfcPass::kFsk);
  EXPECT_EQ(ResolveAfcPass(ModeRowOf(11), p), AfcPass::kNone);
  p.Baud = 100.0;
  EXPECT_EQ(ResolveAfcPass(ModeRowOf(2), p), AfcPass::kFsk);
  p.Baud = 45.0;
  p.ShiftHz = 23;
  EXPECT_EQ(ResolveAfcPass(ModeRowOf(4), p), AfcPass::kFsk);
}

// A row that says its receiver or transmitter is built has that object registered in the
// engine; the headless tools refuse the others from the same rows.
TEST(ModeTable, BuiltRowsHaveTheirObjectsInTheEngine) {
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TEngine engine(window, sink);
  int built = 0;
  for (const ModeRow& row : ModeTable()) {
    if (!row.assigned) continue;
    SCOPED_TRACE(row.number);
    if (row.receiverBuilt) {
      ++built;
      EXPECT_NE(engine.modes.Receiver(row.receiver), nullptr);
    }
    if (row.transmitterBuilt) {
      EXPECT_NE(engine.modes.Transmitter(row.transmitter), nullptr);
    }
  }
  EXPECT_GT(built, 0);
  EXPECT_EQ(engine.modes.Receiver(RxFamily::kStartStop), &engine.rtty);
  EXPECT_EQ(engine.modes.Receiver(RxFamily::kPsk), &engine.psk);
  EXPECT_EQ(engine.modes.Transmitter(TxFamily::kPsk), &engine.pskTx);
  EXPECT_EQ(engine.synth.Shaper(), &engine.pskShaper);
}

}  // namespace
}  // namespace vestrel
