// What keying costs: one PTT change on a COM port (the line ioctls) and on a parallel port
// (register writes through the component), and what a mode change costs the keying port: set
// up again in place, against a full close and open of the device. COM ports are
// pseudo-terminals, whose line calls fail at the same system-call cost as real ones.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/io/pty_master.h"
#include "io/ptt_ports.h"

namespace vestrel {
namespace {

// A parallel port whose registers are bytes in memory.
class MemoryPort final : public PortBackend {
 public:
  std::vector<ParportEntry> Ports() override { return {{0, 0x378}}; }
  bool Open(int) override { return true; }
  void Close() override {}
  uint8_t Read(Register reg) override { return regs[reg]; }
  void Write(Register reg, uint8_t value) override { regs[reg] = value; }
  uint8_t regs[3] = {};
};

struct Keying {
  explicit Keying(int type) {
    settings.ComPorts[3] = pty.slave;
    ports.SetPttPort(type, type == 1 ? 3 : 1, 2, 1, 0);
  }
  bench::PtyMaster pty;
  bench::PtyMaster other;
  KeyingPortSettings settings;
  MemoryPort registers;
  TPortIO io{registers};
  TPttPorts ports{settings, io, std::make_shared<WorkerShared>(), {}};
};

// One key-down and one key-up per iteration.
void BM_SetPtt(benchmark::State& state) {
  Keying k(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    k.ports.SetPtt(true);
    k.ports.SetPtt(false);
  }
  state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(BM_SetPtt)->Arg(1)->Arg(2)->Arg(3)->ArgName("type");

// A mode change on a COM keying port: set up again without closing it.
void BM_ReopenInPlace(benchmark::State& state) {
  Keying k(1);
  for (auto _ : state) k.ports.ReopenPorts();
}
BENCHMARK(BM_ReopenInPlace);

// The same with a device that changes each time, which is a full close and open.
void BM_ReopenClosingThePort(benchmark::State& state) {
  Keying k(1);
  bool flip = false;
  for (auto _ : state) {
    k.settings.ComPorts[3] = flip ? k.pty.slave : k.other.slave;
    flip = !flip;
    k.ports.ReopenPorts();
  }
}
BENCHMARK(BM_ReopenClosingThePort);

}  // namespace
}  // namespace vestrel
