#pragma once
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>

#include "engine/messages.h"
#include "io/com_byte_ring.h"
#include "io/com_handle.h"
#include "io/long_fifo.h"
#include "platform/auto_reset_event.h"

namespace vestrel {

// What the three serial worker threads share with the GUI thread. Held by shared_ptr: a
// worker that does not stop in time is abandoned, and everything it touches stays alive
// until it ends.
struct WorkerShared {
  enum Index { kComWriter = 0, kExchangeWriter = 1, kExchangeReader = 2, kCount = 3 };
  // 1 asks the thread to end; the thread clears it when it has ended.
  std::array<std::atomic<int>, kCount> stop{};
  // Null when absent.
  std::shared_ptr<AutoResetEvent> comEvent;   // bytes wait in the COM byte ring
  std::shared_ptr<AutoResetEvent> exTxEvent;  // "RsExTxEvent": bytes wait for the exchange port

  // The keying port and the data-exchange port, and a semaphore for each (1 = free). The port
  // code takes both (PTT first) to open or close them; a worker takes the one of its port
  // around each transfer. Waits are timed; only a semaphore that was taken is released.
  ComHandle PttComHandle;
  ComHandle ExchangeComHandle;
  std::counting_semaphore<1> PttPortSemaphore{1};
  std::counting_semaphore<1> ExchangePortSemaphore{1};

  // The start-stop codes for the keying port's TxD line, and the errno of the COM writer's
  // last failed write (0: none), which waits here until the GUI thread shows it.
  ComByteRing ComBytes;
  std::atomic<int> ComWriteError{0};

  // The data-exchange port: the bytes for the peer (GUI thread in, exchange writer out), the
  // bytes from the peer (exchange reader in, GUI thread out; a full ring holds the reader),
  // whether the GUI thread has been told of them and not yet looked, and the errno of the
  // exchange writer's failed write (0: none), shown by the GUI thread.
  LongFifo ExchangeOut;
  ComByteRing ExchangeIn;
  std::atomic<bool> ExchangeInPosted{false};
  std::atomic<int> ExchangeWriteError{0};

  // Where the workers post their messages to the main window. Null (the default, and again
  // once the window has gone): nothing is posted.
  void SetPoster(Poster* poster) {
    std::lock_guard lock(posterMutex_);
    poster_ = poster;
  }
  void Post(uint32_t message) {
    std::lock_guard lock(posterMutex_);
    if (poster_ != nullptr) poster_->Post(message);
  }

 private:
  std::mutex posterMutex_;
  Poster* poster_ = nullptr;
};

// The thread bodies: the COM writer (RsThreadProc, io/com_writer.h) and the exchange-port
// writer and reader (RsExTxThreadProc and RsExRxThreadProc, io/exchange_port.h). Each returns
// once its stop flag is set.
class WorkerBodies {
 public:
  virtual ~WorkerBodies() = default;
  virtual void RsThreadProc(WorkerShared& shared);
  virtual void ExchangeWriterProc(WorkerShared& shared);
  virtual void ExchangeReaderProc(WorkerShared& shared);
};

// The events and threads of the serial links, from the engine start to the shutdown.
class SerialWorkers {
 public:
  explicit SerialWorkers(std::shared_ptr<WorkerBodies> bodies = std::make_shared<WorkerBodies>());
  SerialWorkers(const SerialWorkers&) = delete;
  SerialWorkers& operator=(const SerialWorkers&) = delete;
  virtual ~SerialWorkers();

  bool CreateComEvent();
  bool StartRsThread();
  bool CreateExTxEvent();
  // A failed start of these two is not reported.
  void StartExchangeThreads();

  // Sets every stop flag and wakes the waiting threads (only through events that exist); a
  // write to the TxD line and a transfer on the data-exchange port in progress end at once.
  void RequestStop();
  // True while a thread that was started has not acknowledged its stop flag. A thread that
  // never started is never waited for.
  bool AnyRunning() const;
  // Joins the threads that ended and abandons the others.
  void ReleaseThreads();
  bool anyAbandoned() const { return abandoned_; }
  // Closes the events, unless a thread was abandoned (it still waits on them).
  void CloseEvents();

  bool started(int index) const { return threads_[index].joinable(); }
  const std::shared_ptr<WorkerShared>& shared() const { return shared_; }

 protected:
  // Seams for tests: an event or a thread that cannot be made.
  virtual bool MakeEvent(std::shared_ptr<AutoResetEvent>& event);
  virtual bool Launch(int index);

 private:
  std::shared_ptr<WorkerBodies> bodies_;
  std::shared_ptr<WorkerShared> shared_;
  std::array<std::thread, WorkerShared::kCount> threads_;
  bool abandoned_ = false;
};

}  // namespace vestrel
