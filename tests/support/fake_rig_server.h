#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "io/rig/rig_params.h"
#include "io/rig/rig_server.h"

namespace vestrel::test {

// A rig held in memory: reads answer the fields, writes set them (when the masks allow) and
// are logged in order as ("Freq", value), ("Tx", value), ... Set `fail` to make every call
// fail as a lost server does, `modeUnknownReads` to have Mode answer unknown that many times.
class FakeRig : public Rig, public PortBits {
 public:
  uint32_t readable = kPmFreq | kPmFreqA | kPmFreqB | kPmRitOffset | kPmVfoAA | kPmVfoAB | kPmVfoBA |
                      kPmVfoBB | kPmSplitOn | kPmSplitOff | kPmRitOn | kPmRitOff | kPmRx | kPmTx | kPmModes;
  uint32_t writeable = readable | kPmVfoA | kPmVfoB | kPmVfoSwap;
  int64_t mode = kPmSsbU, rit = kPmRitOff, ritOffset = 0, vfo = kPmVfoAA, freq = 14'070'000,
          freqA = 14'070'000, freqB = 14'070'000, split = kPmSplitOff, tx = kPmRx;
  bool rts = false, dtr = false;
  bool portBitsSupported = true;
  RigStatus fail = RigStatus::kOk;
  int modeUnknownReads = 0;
  std::vector<std::pair<std::string, int64_t>> writes;

  RigValue ReadableParams() override { return Read(readable); }
  RigValue WriteableParams() override { return Read(writeable); }
  RigValue Mode() override {
    if (fail == RigStatus::kOk && modeUnknownReads > 0) {
      --modeUnknownReads;
      return {kPmUnknown, RigStatus::kOk};
    }
    return Read(mode);
  }
  RigStatus SetMode(int64_t v) override { return Write("Mode", v, static_cast<uint32_t>(v), mode); }
  RigValue Rit() override { return Read(rit); }
  RigStatus SetRit(int64_t v) override { return Write("Rit", v, static_cast<uint32_t>(v), rit); }
  RigValue RitOffset() override { return Read(ritOffset); }
  RigStatus SetRitOffset(int64_t v) override { return Write("RitOffset", v, kPmRitOffset, ritOffset); }
  RigStatus ClearRit() override { return Write("ClearRit", 0, kPmRitOffset, ritOffset); }
  RigValue Vfo() override { return Read(vfo); }
  RigStatus SetVfo(int64_t v) override { return Write("Vfo", v, static_cast<uint32_t>(v), vfo); }
  RigValue Freq() override { return Read(freq); }
  RigStatus SetFreq(int64_t v) override { return Write("Freq", v, kPmFreq, freq); }
  RigValue FreqA() override { return Read(freqA); }
  RigStatus SetFreqA(int64_t v) override { return Write("FreqA", v, kPmFreqA, freqA); }
  RigValue FreqB() override { return Read(freqB); }
  RigStatus SetFreqB(int64_t v) override { return Write("FreqB", v, kPmFreqB, freqB); }
  RigValue Split() override { return Read(split); }
  RigStatus SetSplit(int64_t v) override { return Write("Split", v, static_cast<uint32_t>(v), split); }
  RigValue Tx() override { return Read(tx); }
  RigStatus SetTx(int64_t v) override { return Write("Tx", v, static_cast<uint32_t>(v), tx); }
  PortBits& GetPortBits() override { return *this; }

  RigStatus SetRts(bool on) override { return Line("Rts", on, rts); }
  RigStatus SetDtr(bool on) override { return Line("Dtr", on, dtr); }

 private:
  RigValue Read(int64_t v) const {
    return fail == RigStatus::kOk ? RigValue{v, RigStatus::kOk} : RigValue{0, fail};
  }
  RigStatus Write(const char* name, int64_t v, uint32_t need, int64_t& field) {
    if (fail != RigStatus::kOk) return fail;
    if ((writeable & need) != need || need == 0) return RigStatus::kNotSupported;
    field = v;
    writes.emplace_back(name, v);
    return RigStatus::kOk;
  }
  RigStatus Line(const char* name, bool on, bool& field) {
    if (fail != RigStatus::kOk) return fail;
    if (!portBitsSupported) return RigStatus::kNotSupported;
    field = on;
    writes.emplace_back(name, on ? 1 : 0);
    return RigStatus::kOk;
  }
};

// Two fake rigs behind a server; `dialogShown` records the setup-dialog call.
class FakeRigServer : public RigServer {
 public:
  FakeRig rig1, rig2;
  bool dialogShown = false;
  RigStatus dialogStatus = RigStatus::kOk;

  Rig& Rig1() override { return rig1; }
  Rig& Rig2() override { return rig2; }
  RigStatus SetDialogVisible(bool visible) override {
    if (dialogStatus == RigStatus::kOk) dialogShown = visible;
    return dialogStatus;
  }
};

}  // namespace vestrel::test
