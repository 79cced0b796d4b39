#pragma once
#include <cstdint>
#include <string>

#include "engine/messages.h"
#include "io/serial_workers.h"

namespace vestrel {

// The data-exchange port's two worker threads. The writer sends what the GUI thread queued
// (WorkerShared::ExchangeOut); the reader only moves the peer's bytes to the GUI thread
// (WorkerShared::ExchangeIn), where the port's inward parser runs with the other two.

// Posted by the exchange writer when a write failed (the errno waits in ExchangeWriteError).
inline constexpr uint32_t WM_EXCHANGE_WRITE_ERROR = kWmApp + 0x1B1;
// Posted by the exchange reader when bytes from the peer wait in ExchangeIn.
inline constexpr uint32_t WM_EXCHANGE_INPUT = kWmApp + 0x1B2;

// GUI thread: queues one byte for the peer and wakes the writer. 1 queued, 0 refused.
int QueueExchangeByte(WorkerShared& shared, uint8_t byte);

// The exchange writer, until its stop flag is set: woken by exTxEvent (or every 2 s), it
// sends the queued bytes 16 at a time under ExchangePortSemaphore while the port is open;
// while there is none they wait. A write that falls short gives the port up under both of
// its names (a shared PTT port too); then, with nothing held, the errno is stored and
// WM_EXCHANGE_WRITE_ERROR posted. An interrupted write (the port is being closed) keeps its
// bytes for the next port.
void RsExTxThreadProc(WorkerShared& shared);

// The exchange reader, until its stop flag is set: reads up to 64 bytes at a time under
// ExchangePortSemaphore (the port's read time-out returns it within about 200 ms), moves them
// into ExchangeIn, waiting while that is full, and posts WM_EXCHANGE_INPUT unless one is
// already on its way. Without a port it looks again every 200 ms.
void RsExRxThreadProc(WorkerShared& shared);

// The message box of a failed write: the system's text for the errno, and the caption
// "Write to exchange COM-port error! (%x)" with the errno in hexadecimal.
std::string ExchangeWriteErrorCaption(int error);

}  // namespace vestrel
