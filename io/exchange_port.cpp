#include "io/exchange_port.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

namespace vestrel {

namespace {

constexpr int kIdleWaitMs = 2000;
constexpr auto kNoEventPoll = std::chrono::milliseconds(50);
constexpr auto kSemaphoreWait = std::chrono::milliseconds(10000);
constexpr auto kNoPortPoll = std::chrono::milliseconds(200);
constexpr auto kNothingReadPause = std::chrono::milliseconds(50);
// How often a reader held by a full ring looks again.
constexpr auto kFullRingPoll = std::chrono::milliseconds(5);
constexpr size_t kWriteChunk = 16;
constexpr size_t kReadChunk = 64;

void PostInput(WorkerShared& s) {
  if (!s.ExchangeInPosted.exchange(true)) s.Post(WM_EXCHANGE_INPUT);
}

}  // namespace

int QueueExchangeByte(WorkerShared& shared, uint8_t byte) {
  if (shared.ExchangeOut.Put(byte) != 0) return 0;
  if (shared.exTxEvent) shared.exTxEvent->Set();
  return 1;
}

void RsExTxThreadProc(WorkerShared& s) {
  const std::atomic<int>& stop = s.stop[WorkerShared::kExchangeWriter];
  // Bytes taken from the queue and not yet written: they go first, to whichever port is next.
  std::array<uint8_t, kWriteChunk> bytes{};
  size_t pending = 0;
  while (stop.load() == 0) {
    if (s.exTxEvent) {
      s.exTxEvent->Wait(kIdleWaitMs);
    } else {
      std::this_thread::sleep_for(kNoEventPoll);
    }
    while (stop.load() == 0) {
      if (!s.ExchangeComHandle.IsOpen()) break;
      while (pending < kWriteChunk) {
        const int b = s.ExchangeOut.Get();
        if (b < 0) break;
        bytes[pending++] = static_cast<uint8_t>(b);
      }
      if (pending == 0) break;
      if (!s.ExchangePortSemaphore.try_acquire_for(kSemaphoreWait)) break;
      int error = 0;
      bool more = false;
      const std::shared_ptr<SerialPort> port = s.ExchangeComHandle.Get();
      if (port && !port->interrupted()) {
        size_t written = 0;
        const int r = port->Write(bytes.data(), pending, &written);
        if (r == ECANCELED) {
          // The port is being closed: what was not written waits for the next one.
          std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(written),
                    bytes.begin() + static_cast<std::ptrdiff_t>(pending), bytes.begin());
          pending -= written;
        } else if (written < pending) {
          // Short: the peer is gone or does not read. Given up under both names at once, so
          // that no handle names the port after its close; its other users end their transfers.
          port->Interrupt();
          s.PttComHandle.Forget(port);
          s.ExchangeComHandle.Forget(port);
          error = r != 0 ? r : EIO;
          pending = 0;
        } else {
          pending = 0;
          more = true;
        }
      }
      s.ExchangePortSemaphore.release();
      if (error != 0) {
        s.ExchangeWriteError.store(error);
        s.Post(WM_EXCHANGE_WRITE_ERROR);
      }
      if (!more) break;
    }
  }
}

void RsExRxThreadProc(WorkerShared& s) {
  const std::atomic<int>& stop = s.stop[WorkerShared::kExchangeReader];
  std::array<uint8_t, kReadChunk> bytes{};
  while (stop.load() == 0) {
    if (!s.ExchangeComHandle.IsOpen()) {
      std::this_thread::sleep_for(kNoPortPoll);
      continue;
    }
    size_t got = 0;
    if (s.ExchangePortSemaphore.try_acquire_for(kSemaphoreWait)) {
      const std::shared_ptr<SerialPort> port = s.ExchangeComHandle.Get();
      if (port && !port->interrupted()) port->Read(bytes.data(), bytes.size(), &got);
      s.ExchangePortSemaphore.release();
    }
    if (got == 0) {
      std::this_thread::sleep_for(kNothingReadPause);
      continue;
    }
    for (size_t i = 0; i < got; ++i) {
      // A full ring holds the reader (and so the peer, once the line's buffers fill) until
      // the GUI thread has taken some; the stop ends the wait.
      while (!s.ExchangeIn.Put(bytes[i])) {
        PostInput(s);
        if (stop.load() != 0) return;
        std::this_thread::sleep_for(kFullRingPoll);
      }
    }
    PostInput(s);
  }
}

std::string ExchangeWriteErrorCaption(int error) {
  char caption[64];
  std::snprintf(caption, sizeof caption, "Write to exchange COM-port error! (%x)", static_cast<unsigned>(error));
  return caption;
}

}  // namespace vestrel
