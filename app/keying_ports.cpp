#include "app/keying_ports.h"

#include <utility>

namespace vestrel {

namespace {

PortBackend& BackendOf(PortBackend* given, std::unique_ptr<PortBackend>& own) {
  if (given != nullptr) return *given;
  own = std::make_unique<PpdevPortBackend>();
  return *own;
}

}  // namespace

TKeyingPorts::TKeyingPorts(TAppSettings& settings, std::shared_ptr<WorkerShared> shared, const Links& links)
    : settings_(settings),
      shared_(std::move(shared)),
      portIO_(BackendOf(links.backend, ownBackend_)),
      winKey_(settings, shared_->PttComHandle, TWinKey::Links{links.boxes, links.lines}),
      hooks_(winKey_, links.hooks),
      ports_(
          settings, portIO_, shared_,
          PttPortsLinks{links.boxes, &hooks_, links.lines, links.transmitting, links.useTxD, links.modem}) {}

void TKeyingPorts::ApplyPortSettings() {
  // SetPttPort opens the data-exchange port as well, so the exchange number is clamped first
  // (as setting it would) instead of closing and opening everything a second time.
  int& n = settings_.ExchangePortNumber;
  if (n < 1 || n > 99) n = 0;
  ports_.SetPttPort(settings_.PttPortType, settings_.PttPortNumber, settings_.PttPin, settings_.PowerPin1,
                    settings_.PowerPin2);
}

void TKeyingPorts::SetPttPort(int type, int number, int pttPin, int powerPin1, int powerPin2) {
  ports_.SetPttPort(type, number, pttPin, powerPin1, powerPin2);
}

void TKeyingPorts::ClosePorts(bool workersAbandoned) {
  ports_.Shutdown(workersAbandoned ? std::chrono::milliseconds(0) : ports_.semaphoreWait);
}

}  // namespace vestrel
