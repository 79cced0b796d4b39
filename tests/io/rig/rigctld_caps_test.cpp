#include "io/rig/rigctld_caps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/rig/rig_params.h"

namespace vestrel {
namespace {

// A made-up rig's capability dump, in the daemon's layout: "Key:<tab>value" lines at the
// top level, indented lines inside range blocks (whose lists must not count).
std::string FakeDump(const std::vector<std::string>& no, const std::string& modes, const std::string& vfos,
                     const std::string& ops, const std::string& funcs, const std::string& ptt = "RIG") {
  const char* cans[] = {"Can set Frequency", "Can get Frequency", "Can set Mode", "Can get Mode",
                        "Can set VFO",       "Can get VFO",       "Can set PTT",  "Can get PTT",
                        "Can set Split VFO", "Can get Split VFO", "Can set RIT",  "Can get RIT",
                        "Can ctl Mem/VFO",   "Has targetable VFO"};
  std::string d = "Caps dump for model: 9999\nModel name:\tFake\nPTT type:\t" + ptt + "\n";
  d += "Get functions: " + funcs + " \nSet functions: " + funcs + " \n";
  d += "Mode list: " + modes + " \nVFO list: " + vfos + " \nVFO Ops: " + ops + " \n";
  d += "TX ranges #1 for Fake:\n\t150000 Hz - 30000000 Hz\n\t\tVFO list: VFOA VFOB\n\t\tMode list: USB LSB "
       "FM\n";
  for (const char* can : cans) {
    bool off = false;
    for (const std::string& n : no) off |= n == can;
    d += std::string(can) + ":\t" + (off ? "N" : "Y") + "\n";
  }
  return d;
}

constexpr uint32_t kVfoPairs = kPmVfoAA | kPmVfoAB | kPmVfoBA | kPmVfoBB;
constexpr uint32_t kSplit = kPmSplitOn | kPmSplitOff;
constexpr uint32_t kRit = kPmRitOn | kPmRitOff;
constexpr uint32_t kPtt = kPmRx | kPmTx;

TEST(RigctldCapsTest, MasksOfFakeRigs) {
  struct Row {
    const char* rig;
    std::string dump;
    RigVfoAccess access;
    uint32_t readable, writeable;
  };
  const std::string all = "AM CW USB LSB RTTY FM WFM CWR RTTYR PKTUSB";
  const uint32_t allModes = kPmModes;
  const uint32_t common = kPmFreq | kPmRitOffset | kSplit | kRit | kPtt | allModes;
  const std::vector<Row> rows = {
      {"everything, VFO info",
       FakeDump({}, all, "VFOA VFOB MEM currVFO", "CPY XCHG", "RIT XIT"),
       {false, true},
       common | kPmFreqA | kPmFreqB | kVfoPairs,
       common | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB | kPmVfoSwap},
      {"everything, daemon with --vfo",
       FakeDump({}, all, "VFOA VFOB", "TOGGLE", "RIT"),
       {true, false},
       common | kPmFreqA | kPmFreqB | kVfoPairs,
       common | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB | kPmVfoSwap},
      {"VFOs not targetable: A and B writable only, whatever the access",
       FakeDump({"Has targetable VFO"}, all, "VFOA VFOB", "XCHG", "RIT"),
       {false, true},
       common | kVfoPairs,
       common | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB | kPmVfoSwap},
      {"VFOs not targetable, daemon with --vfo",
       FakeDump({"Has targetable VFO"}, all, "VFOA VFOB", "XCHG", "RIT"),
       {true, false},
       common | kVfoPairs,
       common | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB | kPmVfoSwap},
      {"no VFO info: A and B writable only",
       FakeDump({}, all, "VFOA VFOB", "XCHG", "RIT"),
       {false, false},
       common | kVfoPairs,
       common | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB | kPmVfoSwap},
      {"one VFO only: no A/B, no split writes, no swap",
       FakeDump({}, "USB LSB", "VFOA currVFO", "XCHG", "RIT"),
       {false, true},
       kPmFreq | kPmRitOffset | kSplit | kRit | kPtt | kPmSsbU | kPmSsbL,
       kPmFreq | kPmRitOffset | kRit | kPtt | kPmSsbU | kPmSsbL},
      {"cannot read split: Vfo reads A or B",
       FakeDump({"Can get Split VFO"}, all, "VFOA VFOB", "", "RIT"),
       {false, true},
       (common & ~kSplit) | kPmFreqA | kPmFreqB | kPmVfoA | kPmVfoB,
       common | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB},
      {"VFO ops listed but not callable",
       FakeDump({"Can ctl Mem/VFO"}, all, "VFOA VFOB", "XCHG TOGGLE", "RIT"),
       {false, true},
       common | kPmFreqA | kPmFreqB | kVfoPairs,
       common | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB},
      {"no RIT offset, no RIT function",
       FakeDump({"Can set RIT", "Can get RIT"}, all, "VFOA VFOB", "XCHG", "XIT NB"),
       {false, true},
       (common & ~(kPmRitOffset | kRit)) | kPmFreqA | kPmFreqB | kVfoPairs,
       (common & ~(kPmRitOffset | kRit)) | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB | kPmVfoSwap},
      {"PTT only through a line the daemon drives",
       FakeDump({"Can set PTT", "Can get PTT"}, "USB", "VFOA VFOB", "", "", "RTS"),
       {false, true},
       kPmFreq | kPmRitOffset | kSplit | kPmSsbU | kPmFreqA | kPmFreqB | kVfoPairs,
       kPmFreq | kPmRitOffset | kSplit | kPmSsbU | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB |
           kPmTx | kPmRx},
      {"no PTT at all",
       FakeDump({"Can set PTT", "Can get PTT"}, "USB", "VFOA VFOB", "", "", "None"),
       {false, true},
       kPmFreq | kPmRitOffset | kSplit | kPmSsbU | kPmFreqA | kPmFreqB | kVfoPairs,
       kPmFreq | kPmRitOffset | kSplit | kPmSsbU | kPmFreqA | kPmFreqB | kVfoPairs | kPmVfoA | kPmVfoB},
      {"read-only receiver",
       FakeDump({"Can set Frequency", "Can set Mode", "Can set VFO", "Can set PTT", "Can set Split VFO",
                 "Can set RIT", "Can ctl Mem/VFO"},
                "AM FM WFM", "VFOA VFOB", "", "", "None"),
       {false, true},
       kPmFreq | kPmFreqA | kPmFreqB | kPmRitOffset | kVfoPairs | kSplit | kPtt | kPmAm | kPmFm,
       0},
      {"empty dump", "", {false, false}, 0, 0},
  };
  for (const Row& row : rows) {
    const RigParamMasks m = BuildParamMasks(ParseDumpCaps(row.dump), row.access);
    EXPECT_EQ(m.readable, row.readable) << row.rig << std::hex << " missing " << (row.readable & ~m.readable)
                                        << " extra " << (m.readable & ~row.readable);
    EXPECT_EQ(m.writeable, row.writeable)
        << row.rig << std::hex << " missing " << (row.writeable & ~m.writeable) << " extra "
        << (m.writeable & ~row.writeable);
  }
}

TEST(RigctldCapsTest, ModeNamesAndBits) {
  struct Row {
    const char* name;
    uint32_t bit;
  };
  const Row rows[] = {{"USB", kPmSsbU},  {"LSB", kPmSsbL},   {"CW", kPmCwU},      {"CWR", kPmCwL},
                      {"RTTY", kPmDigL}, {"RTTYR", kPmDigU}, {"PKTUSB", kPmDigU}, {"PKTLSB", kPmDigL},
                      {"AM", kPmAm},     {"SAM", kPmAm},     {"FM", kPmFm},       {"PKTFM", kPmFm},
                      {"WFM", kPmFm}};
  for (const Row& r : rows) EXPECT_EQ(ModeBitFromName(r.name), r.bit) << r.name;
  EXPECT_EQ(ModeBitFromName("DSB"), std::nullopt);
  EXPECT_EQ(ModeBitFromName(""), std::nullopt);

  // A bit is written as the first of its names that the rig lists.
  const RigctldCaps withPkt = ParseDumpCaps("Mode list: USB RTTY RTTYR PKTUSB PKTLSB \n");
  EXPECT_STREQ(ModeNameForBit(kPmDigU, withPkt), "PKTUSB");
  EXPECT_STREQ(ModeNameForBit(kPmDigL, withPkt), "PKTLSB");
  const RigctldCaps rttyOnly = ParseDumpCaps("Mode list: USB RTTY RTTYR \n");
  EXPECT_STREQ(ModeNameForBit(kPmDigU, rttyOnly), "RTTYR");
  EXPECT_STREQ(ModeNameForBit(kPmDigL, rttyOnly), "RTTY");
  EXPECT_EQ(ModeNameForBit(kPmFm, rttyOnly), nullptr);

  // Only the lower-sideband bits count as lower sideband.
  for (const Row& r : rows) {
    const bool lower = std::string(r.name) == "LSB" || std::string(r.name) == "CWR" ||
                       std::string(r.name) == "RTTY" || std::string(r.name) == "PKTLSB";
    EXPECT_EQ((r.bit & kPmLowerSideband) != 0, lower) << r.name;
  }
}

TEST(RigctldCapsTest, VfoNamesAndStates) {
  for (const char* a : {"VFOA", "Main", "MainA"}) EXPECT_EQ(VfoLetterFromName(a), 'A') << a;
  for (const char* b : {"VFOB", "Sub", "MainB"}) EXPECT_EQ(VfoLetterFromName(b), 'B') << b;
  for (const char* x : {"VFOC", "MEM", "currVFO", "SubA", ""}) EXPECT_EQ(VfoLetterFromName(x), 0) << x;

  EXPECT_EQ(VfoStateBit('A', false, true), kPmVfoAA);
  EXPECT_EQ(VfoStateBit('A', true, true), kPmVfoAB);
  EXPECT_EQ(VfoStateBit('B', true, true), kPmVfoBA);
  EXPECT_EQ(VfoStateBit('B', false, true), kPmVfoBB);
  EXPECT_EQ(VfoStateBit('A', true, false), kPmVfoA);
  EXPECT_EQ(VfoStateBit('B', false, false), kPmVfoB);
  // Every state bit names one state, and that state gives the bit back.
  for (uint32_t bit : {kPmVfoAA, kPmVfoAB, kPmVfoBA, kPmVfoBB, kPmVfoA, kPmVfoB}) {
    const VfoState* s = FindVfoState(bit);
    ASSERT_NE(s, nullptr) << bit;
    EXPECT_EQ(VfoStateBit(s->rx, s->split.value_or(false), s->split.has_value()), bit);
  }
  EXPECT_EQ(FindVfoState(kPmVfoSwap), nullptr);
  EXPECT_EQ(FindVfoState(kPmVfoAA | kPmVfoAB), nullptr);
  // The states in which VFO B receives are exactly BA, BB and B.
  for (uint32_t s : {kPmVfoAA, kPmVfoAB, kPmVfoA}) EXPECT_EQ(s & (kPmVfoBA | kPmVfoBB | kPmVfoB), 0u);
}

}  // namespace
}  // namespace vestrel
