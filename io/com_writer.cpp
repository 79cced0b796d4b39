#include "io/com_writer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>

namespace vestrel {

namespace {

// The writer looks at its stop flag at least this often (ms) while nothing wakes it.
constexpr int kIdleWaitMs = 2000;
// Without its event (never made) it polls.
constexpr auto kNoEventPoll = std::chrono::milliseconds(50);
constexpr auto kSemaphoreWait = std::chrono::milliseconds(10000);

// One byte from the ring to the TxD line; the caller holds PttPortSemaphore. False when the
// writer should wait for a port (or for the next byte) instead of going on; a failed write
// gives its errno in *error.
bool WriteOneByte(WorkerShared& s, int* error) {
  const std::shared_ptr<SerialPort> port = s.PttComHandle.GetTxdLine();
  // An interrupted port is on its way out: the port code forgets it as soon as it has the
  // semaphore, and opening the next one wakes the writer.
  if (!port || port->interrupted()) return false;
  const int next = s.ComBytes.Peek();
  if (next < 0) return false;
  const auto byte = static_cast<uint8_t>(next);
  size_t written = 0;
  switch (const int r = port->Write(&byte, 1, &written)) {
    case 0:
      s.ComBytes.Drop();
      return true;
    case ETIMEDOUT:
      // The line did not take it in time (held by flow control, or a peer that reads nothing):
      // the byte is lost, as its moment has passed, and the port stays.
      s.ComBytes.Drop();
      return true;
    case ECANCELED:
      return false;
    default:
      // The device failed (gone, unplugged): given up under both names at once, so that no
      // handle names a descriptor after its close. Its other users end their transfers.
      port->Interrupt();
      s.PttComHandle.Forget(port);
      s.ExchangeComHandle.Forget(port);
      *error = r;
      return false;
  }
}

}  // namespace

int QueueComByte(WorkerShared& shared, uint8_t byte) {
  if (!shared.ComBytes.Put(byte)) return 0;
  if (shared.comEvent) shared.comEvent->Set();
  return 1;
}

void RsThreadProc(WorkerShared& s) {
  const std::atomic<int>& stop = s.stop[WorkerShared::kComWriter];
  while (stop.load() == 0) {
    if (s.comEvent) {
      s.comEvent->Wait(kIdleWaitMs);
    } else {
      std::this_thread::sleep_for(kNoEventPoll);
    }
    while (stop.load() == 0 && s.ComBytes.Pending() != 0) {
      // Without a TxD line the bytes wait; the port code wakes the writer when it opens one.
      if (!s.PttComHandle.GetTxdLine()) break;
      // A wait that times out took nothing: the bytes wait for the next round.
      if (!s.PttPortSemaphore.try_acquire_for(kSemaphoreWait)) break;
      int error = 0;
      const bool more = WriteOneByte(s, &error);
      s.PttPortSemaphore.release();
      if (error != 0) {
        // Reported by the GUI thread, with nothing held here any more.
        s.ComWriteError.store(error);
        s.Post(WM_COM_WRITE_ERROR);
      }
      if (!more) break;
    }
  }
}

std::string ComWriteErrorCaption(int error) {
  char caption[64];
  std::snprintf(caption, sizeof caption, "Write to COM-port error! (%x)", static_cast<unsigned>(error));
  return caption;
}

std::string ComWriteErrorText(int error) {
  return std::system_category().message(error);
}

}  // namespace vestrel
