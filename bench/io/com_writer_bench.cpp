// What FSK keying on the TxD line costs: the GUI thread's part of each transmitted code
// (queueing it and waking the writer), and how many codes per second the writer thread gets
// onto a line (a pty whose master a reader drains), far above the 6 to 30 codes per second
// that 45 to 300 Bd carry.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "bench/io/pty_master.h"
#include "io/com_writer.h"
#include "io/ptt_ports.h"

namespace vestrel {
namespace {

// The producer's side only: QueueComByte with its event, the byte taken back at once.
void BM_QueueComByte(benchmark::State& state) {
  WorkerShared shared;
  shared.comEvent = std::make_shared<AutoResetEvent>();
  uint8_t b = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(QueueComByte(shared, b++));
    benchmark::DoNotOptimize(shared.ComBytes.Take());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QueueComByte);

// Codes through the writer thread onto the line: a burst of 512 per iteration, until the ring
// is empty again.
void BM_TxdLine(benchmark::State& state) {
  bench::PtyMaster pty;
  KeyingPortSettings settings;
  settings.ComPorts[3] = pty.slave;
  PpdevPortBackend parallel;  // not touched by a COM port
  TPortIO io(parallel);
  SerialWorkers workers;
  TPttPorts ports(settings, io, workers.shared(), {});
  ports.SetPttPort(1, 3, 2, 0, 0);
  workers.CreateComEvent();
  workers.StartRsThread();
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    uint8_t buf[4096];
    while (!stop) {
      pollfd p{pty.master, POLLIN, 0};
      if (poll(&p, 1, 10) > 0 && read(pty.master, buf, sizeof buf) <= 0) break;
    }
  });
  WorkerShared& shared = *workers.shared();
  constexpr int kBurst = 512;
  for (auto _ : state) {
    for (int i = 0; i < kBurst; ++i) QueueComByte(shared, static_cast<uint8_t>(i & 31));
    while (shared.ComBytes.Pending() != 0) std::this_thread::yield();
  }
  state.SetItemsProcessed(state.iterations() * kBurst);
  workers.RequestStop();
  while (workers.AnyRunning()) std::this_thread::yield();
  workers.ReleaseThreads();
  stop = true;
  reader.join();
}
BENCHMARK(BM_TxdLine)->UseRealTime();

}  // namespace
}  // namespace vestrel
