#pragma once
#include <cstdint>
#include <string>

#include "engine/messages.h"
#include "io/serial_workers.h"

namespace vestrel {

// FSK keying on the TxD line: in RTTY, ASCII-7 and ASCII-8 every transmitted code is also
// written as one byte to the keying COM port, whose UART sends it with the mode's character
// format and speed. A write to a slow line may block, so a worker thread does it, fed through
// WorkerShared::ComBytes.

// Posted by the COM writer when a write failed (the errno waits in ComWriteError).
inline constexpr uint32_t WM_COM_WRITE_ERROR = kWmApp + 0x1B0;

// GUI thread: queues one code for the TxD line and wakes the writer. 0 (refused) once
// ComByteRing::kMaxPending bytes wait, else 1.
int QueueComByte(WorkerShared& shared, uint8_t byte);

// The COM writer thread, until its stop flag is set. It writes the queued bytes in order, one
// at a time under PttPortSemaphore, to the keying port when that is a TxD line (a COM port
// opened as PTT type 1); while there is none the bytes wait. A byte leaves the ring once
// written, or once the line has not taken it within the write time-out. A write that fails
// gives the port up: it is interrupted for every user and forgotten under both of its names,
// so it closes once its last user lets go; then, with the semaphore released, the errno is
// stored and WM_COM_WRITE_ERROR posted. A write that was interrupted (ECANCELED: the port is
// being closed) is no failure, and its byte stays for the next port.
void RsThreadProc(WorkerShared& shared);

// The message box of a failed write: the system's text for the errno, and the caption
// "Write to COM-port error! (%x)" with the errno in hexadecimal.
std::string ComWriteErrorCaption(int error);
std::string ComWriteErrorText(int error);

}  // namespace vestrel
