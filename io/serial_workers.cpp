#include "io/serial_workers.h"

#include <chrono>
#include <system_error>

#include "io/com_writer.h"
#include "io/exchange_port.h"

namespace vestrel {

void WorkerBodies::RsThreadProc(WorkerShared& shared) {
  vestrel::RsThreadProc(shared);
}

void WorkerBodies::ExchangeWriterProc(WorkerShared& shared) {
  RsExTxThreadProc(shared);
}

void WorkerBodies::ExchangeReaderProc(WorkerShared& shared) {
  RsExRxThreadProc(shared);
}

SerialWorkers::SerialWorkers(std::shared_ptr<WorkerBodies> bodies)
    : bodies_(std::move(bodies)), shared_(std::make_shared<WorkerShared>()) {}

SerialWorkers::~SerialWorkers() {
  RequestStop();
  // Threads still running are left to end on their own; they hold what they use.
  for (auto& t : threads_) {
    if (t.joinable()) t.detach();
  }
}

bool SerialWorkers::MakeEvent(std::shared_ptr<AutoResetEvent>& event) {
  event = std::make_shared<AutoResetEvent>();
  return true;
}

bool SerialWorkers::CreateComEvent() {
  return MakeEvent(shared_->comEvent) && shared_->comEvent;
}

bool SerialWorkers::CreateExTxEvent() {
  return MakeEvent(shared_->exTxEvent) && shared_->exTxEvent;
}

bool SerialWorkers::Launch(int index) {
  std::shared_ptr<WorkerShared> shared = shared_;
  std::shared_ptr<WorkerBodies> bodies = bodies_;
  try {
    threads_[index] = std::thread([shared, bodies, index] {
      switch (index) {
        case WorkerShared::kComWriter:
          bodies->RsThreadProc(*shared);
          break;
        case WorkerShared::kExchangeWriter:
          bodies->ExchangeWriterProc(*shared);
          break;
        default:
          bodies->ExchangeReaderProc(*shared);
          break;
      }
      shared->stop[index].store(0);
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool SerialWorkers::StartRsThread() {
  shared_->stop[WorkerShared::kComWriter].store(0);
  return Launch(WorkerShared::kComWriter);
}

void SerialWorkers::StartExchangeThreads() {
  shared_->stop[WorkerShared::kExchangeWriter].store(0);
  shared_->stop[WorkerShared::kExchangeReader].store(0);
  Launch(WorkerShared::kExchangeWriter);
  Launch(WorkerShared::kExchangeReader);
}

void SerialWorkers::RequestStop() {
  for (auto& s : shared_->stop) s.store(1);
  // Only a TxD line: a keyer's port still has to take the unkeying command.
  if (const auto txd = shared_->PttComHandle.GetTxdLine()) txd->Interrupt();
  // The exchange port's transfers end at once: a peer that does not read would hold the
  // writer for its whole write time-out (a second a byte). A keying port shared with it
  // keys by its lines, which an interrupted port still drives.
  if (const auto exchange = shared_->ExchangeComHandle.Get()) exchange->Interrupt();
  if (shared_->comEvent) shared_->comEvent->Set();
  if (shared_->exTxEvent) shared_->exTxEvent->Set();
}

bool SerialWorkers::AnyRunning() const {
  for (int i = 0; i < WorkerShared::kCount; ++i) {
    if (threads_[i].joinable() && shared_->stop[i].load() != 0) return true;
  }
  return false;
}

void SerialWorkers::ReleaseThreads() {
  for (int i = 0; i < WorkerShared::kCount; ++i) {
    std::thread& t = threads_[i];
    if (!t.joinable()) continue;
    if (shared_->stop[i].load() == 0) {
      t.join();
    } else {
      t.detach();
      abandoned_ = true;
    }
  }
}

void SerialWorkers::CloseEvents() {
  // An abandoned thread still reads these handles: they stay until the process ends.
  if (abandoned_) return;
  shared_->comEvent.reset();
  shared_->exTxEvent.reset();
}

}  // namespace vestrel
