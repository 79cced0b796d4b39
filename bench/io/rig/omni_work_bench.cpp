// What rig tuning costs on the GUI thread: one click-to-tune against a rig whose state is held
// in memory (the server's cache), the peak-spectrum shift that goes with it, and reading one
// rigctld reply (the capability dump, the longest) line by line.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"
#include "io/rig/omni_work.h"
#include "io/rig/rigctld_reply.h"

namespace vestrel {
namespace {

// A rig that answers from fields and takes every write.
class MemoryRig final : public Rig, private PortBits {
 public:
  RigValue ReadableParams() override { return {0x7FFFFFFE}; }
  RigValue WriteableParams() override { return {0x7FFFFFFE}; }
  RigValue Mode() override { return {0x02000000}; }
  RigStatus SetMode(int64_t) override { return RigStatus::kOk; }
  RigValue Rit() override { return {0x00020000}; }
  RigStatus SetRit(int64_t) override { return RigStatus::kOk; }
  RigValue RitOffset() override { return {rit}; }
  RigStatus SetRitOffset(int64_t v) override { return rit = v, RigStatus::kOk; }
  RigStatus ClearRit() override { return rit = 0, RigStatus::kOk; }
  RigValue Vfo() override { return {0x00000080}; }
  RigStatus SetVfo(int64_t) override { return RigStatus::kOk; }
  RigValue Freq() override { return {freqA}; }
  RigStatus SetFreq(int64_t v) override { return freqA = v, RigStatus::kOk; }
  RigValue FreqA() override { return {freqA}; }
  RigStatus SetFreqA(int64_t v) override { return freqA = v, RigStatus::kOk; }
  RigValue FreqB() override { return {freqB}; }
  RigStatus SetFreqB(int64_t v) override { return freqB = v, RigStatus::kOk; }
  RigValue Split() override { return {0x00008000}; }
  RigStatus SetSplit(int64_t) override { return RigStatus::kOk; }
  RigValue Tx() override { return {0x00200000}; }
  RigStatus SetTx(int64_t) override { return RigStatus::kOk; }
  PortBits& GetPortBits() override { return *this; }
  RigStatus SetRts(bool) override { return RigStatus::kOk; }
  RigStatus SetDtr(bool) override { return RigStatus::kOk; }
  int64_t rit = 0, freqA = 14'070'000, freqB = 14'071'000;
};

class MemoryServer final : public RigServer {
 public:
  Rig& Rig1() override { return rig; }
  Rig& Rig2() override { return rig; }
  RigStatus SetDialogVisible(bool) override { return RigStatus::kNotSupported; }
  MemoryRig rig;
};

class NoRigWindow final : public RigWindow, public MessageBoxSink {
 public:
  void SetTuneByPanel(std::string_view) override {}
  void SetTxAfcButtonEnabled(bool) override {}
  void Wait(std::chrono::milliseconds) override {}
  void ShiftRxFrequency(int) override {}
  void SetNotKeyedMark(bool) override {}
  void ShowMessage(std::string_view, std::string_view) override {}
};

// One wheel notch by VFO with the split transmit VFO following: reads, two writes, the shift.
void BM_ShiftFrequencyVfo(benchmark::State& state) {
  harness::NullEngineWindow engineWindow;
  harness::NullRxSink text;
  TEngine engine(engineWindow, text);
  NoRigWindow window;
  MemoryServer server;
  RigControlSettings settings;
  settings.TuneVFOBtoA = 1;
  KeyingPortSettings ports;
  TOmniWork work(settings, ports, engine.params, engine.rates, engine.rxBlocks,
                 {&window, &window, [&server]() -> RigServer& { return server; }});
  work.OpenTuneRig();
  int sign = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(work.ShiftFrequency(2, 60 * sign));
    sign = -sign;
  }
}
BENCHMARK(BM_ShiftFrequencyVfo);

void BM_ShiftSpectrumPeaks(benchmark::State& state) {
  std::array<float, SpectrumArrays::kSize> peaks{};
  for (size_t i = 0; i < peaks.size(); ++i) peaks[i] = static_cast<float>(i);
  int n = 19;
  for (auto _ : state) {
    ShiftSpectrumPeaks(peaks, n);
    n = -n;
    benchmark::DoNotOptimize(peaks.data());
  }
}
BENCHMARK(BM_ShiftSpectrumPeaks);

// A reply of 300 records of the dump's shape, then its RPRT record.
void BM_ReadDumpReply(benchmark::State& state) {
  std::vector<std::string> lines{"dump_caps:"};
  for (int i = 0; i < 300; ++i) lines.push_back("Caps line " + std::to_string(i) + ": 14070000 Y N");
  lines.push_back("RPRT 0");
  size_t bytes = 0;
  for (const auto& l : lines) bytes += l.size() + 1;
  for (auto _ : state) {
    RigctldReply reply;
    for (const auto& l : lines) AddReplyLine(reply, l);
    benchmark::DoNotOptimize(reply.code);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ReadDumpReply);

}  // namespace
}  // namespace vestrel
