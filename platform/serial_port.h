#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/interrupt_wait.h"

struct termios2;  // <asm/termbits.h>

namespace vestrel {

enum class SerialParity : uint8_t { kNone, kOdd, kEven, kMark, kSpace };
enum class SerialStopBits : uint8_t { kOne, kOneAndHalf, kTwo };
enum class SerialLine : uint8_t { kDtr, kRts };

// Character format and speed of a serial line.
struct SerialFormat {
  double baud = 9600.0;  // Bd, 1 and up; the driver is given the nearest whole rate (45.45 gives 45)
  int dataBits = 8;      // 5..8
  // 1.5 and 2 both ask the driver for two stop bits; UARTs of the 16550 family send 1.5 of
  // them when a character has 5 data bits.
  SerialStopBits stopBits = SerialStopBits::kOne;
  SerialParity parity = SerialParity::kNone;
  bool operator==(const SerialFormat&) const = default;
};

// Time-outs of reads and writes, in ms.
struct SerialTimeouts {
  // A read returns at once with what has arrived, or waits this long for a first byte; 0 never waits.
  int readMs = 200;
  // A write of n bytes gives up after writePerByteMs * n + writeConstantMs.
  int writePerByteMs = 1000;
  int writeConstantMs = 2000;
};

// Why an open or a change of format failed.
enum class SerialError : uint8_t {
  kNone,
  kOpen,      // no such device, no permission, or held by another program or by another open of ours
  kGetState,  // the device does not answer as a serial line (not a tty)
  kSetState,  // the driver refused the format, or reports another one than was asked
};

// Raises and lowers the modem lines of an open port (TIOCMBIS/TIOCMBIC), and stores its line
// settings (TCSETS2). A pseudo-terminal has no modem lines and keeps only part of the settings
// (it always reports 8 bits without parity), so tests put a recording fake here; it is also
// told when a port opens and closes, so that line changes can be seen in order with those.
class ModemLineControl {
 public:
  virtual ~ModemLineControl() = default;
  // False when the device has no such line; that is not an error of the port.
  virtual bool SetLine(int fd, SerialLine line, bool on);
  // False when the driver refuses the settings.
  virtual bool SetTermios(int fd, const termios2& t);
  virtual void PortOpened(const std::string& /*path*/) {}
  virtual void PortClosed(const std::string& /*path*/) {}
};

// The system's line control, shared by every port that is given none.
ModemLineControl& SystemModemLines();

// The kernel line settings that `format` asks for, made from the current ones `t`: raw bytes,
// receiver on, modem status ignored (CLOCAL), no flow control of either kind, lines dropped
// on close (HUPCL), the rate through BOTHER. False (t untouched) for a format no line has.
bool FormatToTermios(const SerialFormat& format, termios2& t);
// The format kernel line settings describe (baud as a whole rate, 0 for B0).
SerialFormat FormatFromTermios(const termios2& t);

// The device of COM port n: the path the map names for n (a '\' read as '/'), else
// "/dev/ttyS<n-1>". Empty for n < 1.
std::string ComPortPath(int n, const std::map<int, std::string>& map);

// One open serial port. Held by shared_ptr: a port closes when its last user lets go, so no
// thread ever uses a descriptor after its close (or a number the system has handed to the next
// file opened).
//
// Read, Write and SetLine may run on different threads at once; Interrupt on any thread, at
// any time. SetFormat and SetTimeouts are for whoever opened the port, before it is shared or
// while its users are held off.
class SerialPort {
 public:
  // Opens `path` for reading and writing, exclusively: TIOCEXCL keeps other programs out, and
  // an flock keeps out every other open that asks for one, ours included (root passes
  // TIOCEXCL, not the flock). Non-blocking, no controlling terminal. lines: null for the
  // system's. Null on failure, with the errno in *sysError.
  static std::shared_ptr<SerialPort> Open(const std::string& path, ModemLineControl* lines = nullptr,
                                          int* sysError = nullptr);
  // Lets the output drain briefly and discards the rest (a tty closed with output pending
  // would wait up to 30 s in the kernel), stores speed 0 (B0) so that the next open does not
  // raise DTR and RTS, and closes; HUPCL drops the lines.
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Sets the line as FormatToTermios says (any rate through TCSETS2/BOTHER) and reads back
  // the driver's answer: a rate more than 1 % off, or another character format, is kSetState.
  // A pseudo-terminal carries bytes whatever their format and always reports 8 bits without
  // parity: there only the rate and stop bits are compared.
  SerialError SetFormat(const SerialFormat& format);
  // The format the driver reports (baud as a whole rate); false when it cannot be read.
  bool ReadFormat(SerialFormat& format) const;
  void SetTimeouts(const SerialTimeouts& timeouts);
  const SerialTimeouts& timeouts() const { return timeouts_; }

  // Reads up to `size` bytes into *got: 0 with *got = 0 after the read time-out, else an
  // errno: ECANCELED once interrupted, EIO when the device is gone.
  int Read(uint8_t* buffer, size_t size, size_t* got);
  // Writes all of `data`, or as much as the write time-out allows (then ETIMEDOUT); *written
  // counts what went. ECANCELED once interrupted.
  int Write(const uint8_t* data, size_t size, size_t* written);
  // Discards what has arrived and not been read.
  void DiscardInput();
  bool SetLine(SerialLine line, bool on);

  // Ends every read and write in progress and fails each later one with ECANCELED. For a
  // port about to be given up; it cannot be undone.
  void Interrupt() { wait_.Interrupt(); }
  bool interrupted() const { return wait_.interrupted(); }

  const std::string& path() const { return path_; }
  int fd() const { return fd_; }

 private:
  SerialPort(int fd, std::string path, ModemLineControl& lines, bool pty);

  int fd_;
  bool pty_;
  std::string path_;
  ModemLineControl& lines_;
  SerialTimeouts timeouts_;
  InterruptWait wait_;
};

}  // namespace vestrel
