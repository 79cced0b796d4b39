#include "platform/serial_port.h"

// The kernel's termios2 (TCGETS2/TCSETS2 with BOTHER sets any rate); glibc's <termios.h>
// declares a struct of the same name and is not included.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

namespace vestrel {

namespace {

using Clock = std::chrono::steady_clock;

// How long a close lets pending output drain before it is discarded.
constexpr auto kCloseDrain = std::chrono::milliseconds(200);
constexpr auto kDrainStep = std::chrono::milliseconds(5);
// Device majors of the pseudo-terminal slaves (/dev/pts): 136 and the seven after it.
constexpr unsigned kPtySlaveMajor = 136;

struct SpeedCode {
  tcflag_t code;
  uint32_t baud;
};

constexpr SpeedCode kSpeeds[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},         {B150, 150},
    {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},       {B1800, 1800},
    {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
    {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
    {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
};

// The output rate a termios2 describes: c_ospeed with BOTHER, else the rate of the code.
uint32_t OutputBaud(const termios2& t) {
  const tcflag_t code = t.c_cflag & CBAUD;
  if (code == BOTHER) return t.c_ospeed;
  for (const SpeedCode& s : kSpeeds) {
    if (s.code == code) return s.baud;
  }
  return 0;  // B0 or unknown
}

tcflag_t SizeBits(int dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

}  // namespace

bool ModemLineControl::SetLine(int fd, SerialLine line, bool on) {
  const int bit = line == SerialLine::kRts ? TIOCM_RTS : TIOCM_DTR;
  return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool ModemLineControl::SetTermios(int fd, const termios2& t) {
  return ioctl(fd, TCSETS2, &t) == 0;
}

ModemLineControl& SystemModemLines() {
  static ModemLineControl lines;
  return lines;
}

std::string ComPortPath(int n, const std::map<int, std::string>& map) {
  if (n < 1) return {};
  const auto it = map.find(n);
  if (it != map.end() && !it->second.empty()) {
    std::string path = it->second;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  }
  return "/dev/ttyS" + std::to_string(n - 1);
}

SerialPort::SerialPort(int fd, std::string path, ModemLineControl& lines, bool pty)
    : fd_(fd), pty_(pty), path_(std::move(path)), lines_(lines) {}

std::shared_ptr<SerialPort> SerialPort::Open(const std::string& path, ModemLineControl* lines,
                                             int* sysError) {
  auto fail = [&](int e) {
    if (sysError != nullptr) *sysError = e;
    return std::shared_ptr<SerialPort>();
  };
  if (path.empty()) return fail(ENOENT);
  // Non-blocking: the open must not wait for a carrier, and every read and write is bounded by
  // a poll of its own.
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno == EWOULDBLOCK ? EBUSY : errno;
    close(fd);
    return fail(e);
  }
  // Refused by anything but a tty, which SetFormat then reports as such.
  ioctl(fd, TIOCEXCL);
  ModemLineControl& control = lines != nullptr ? *lines : SystemModemLines();
  control.PortOpened(path);
  if (sysError != nullptr) *sysError = 0;
  struct stat st {};
  const bool pty = fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= kPtySlaveMajor &&
                   major(st.st_rdev) < kPtySlaveMajor + 8;
  return std::shared_ptr<SerialPort>(new SerialPort(fd, path, control, pty));
}

SerialPort::~SerialPort() {
  // Pending output gets a moment to go; what is left would hold the close for up to 30 s.
  const auto drainEnd = Clock::now() + kCloseDrain;
  int pending = 0;
  while (ioctl(fd_, TIOCOUTQ, &pending) == 0 && pending > 0 && Clock::now() < drainEnd) {
    std::this_thread::sleep_for(kDrainStep);
  }
  ioctl(fd_, TCFLSH, TCIOFLUSH);
  termios2 t{};
  if (ioctl(fd_, TCGETS2, &t) == 0) {
    t.c_cflag &= ~(CBAUD | CIBAUD);
    t.c_cflag |= B0;
    t.c_ispeed = t.c_ospeed = 0;
    ioctl(fd_, TCSETS2, &t);
  }
  ioctl(fd_, TIOCNXCL);
  close(fd_);
  lines_.PortClosed(path_);
}

bool FormatToTermios(const SerialFormat& f, termios2& t) {
  const double rounded = std::floor(f.baud + 0.5);
  if (!(rounded >= 1.0 && rounded <= 100e6) || f.dataBits < 5 || f.dataBits > 8) return false;
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON | IXANY | IXOFF |
                 INPCK | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
  t.c_cflag |= BOTHER | SizeBits(f.dataBits) | CREAD | CLOCAL | HUPCL;
  if (f.stopBits != SerialStopBits::kOne) t.c_cflag |= CSTOPB;
  switch (f.parity) {
    case SerialParity::kNone:
      break;
    case SerialParity::kOdd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case SerialParity::kEven:
      t.c_cflag |= PARENB;
      break;
    case SerialParity::kMark:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case SerialParity::kSpace:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
  t.c_ispeed = t.c_ospeed = static_cast<uint32_t>(rounded);  // CIBAUD 0: input at the output rate
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return true;
}

SerialFormat FormatFromTermios(const termios2& t) {
  SerialFormat f;
  f.baud = OutputBaud(t);
  switch (t.c_cflag & CSIZE) {
    case CS5:
      f.dataBits = 5;
      break;
    case CS6:
      f.dataBits = 6;
      break;
    case CS7:
      f.dataBits = 7;
      break;
    default:
      f.dataBits = 8;
      break;
  }
  // Two stop bits with 5 data bits is what a 16550 sends as 1.5.
  f.stopBits = (t.c_cflag & CSTOPB) == 0 ? SerialStopBits::kOne
               : f.dataBits == 5         ? SerialStopBits::kOneAndHalf
                                         : SerialStopBits::kTwo;
  if ((t.c_cflag & PARENB) == 0) {
    f.parity = SerialParity::kNone;
  } else if (t.c_cflag & CMSPAR) {
    f.parity = (t.c_cflag & PARODD) ? SerialParity::kMark : SerialParity::kSpace;
  } else {
    f.parity = (t.c_cflag & PARODD) ? SerialParity::kOdd : SerialParity::kEven;
  }
  return f;
}

SerialError SerialPort::SetFormat(const SerialFormat& f) {
  termios2 t{};
  if (ioctl(fd_, TCGETS2, &t) != 0) return SerialError::kGetState;
  if (!FormatToTermios(f, t)) return SerialError::kSetState;
  if (!lines_.SetTermios(fd_, t)) return SerialError::kSetState;
  // A driver that cannot run the rate (many USB adapters stop near 183 Bd) or the character
  // size sets something else and says so only here.
  SerialFormat got;
  if (!ReadFormat(got)) return SerialError::kGetState;
  const double asked = t.c_ospeed;
  const bool one = f.stopBits == SerialStopBits::kOne;
  if (std::fabs(got.baud - asked) > 0.01 * asked || (got.stopBits == SerialStopBits::kOne) != one) {
    return SerialError::kSetState;
  }
  if (!pty_ && (got.dataBits != f.dataBits || got.parity != f.parity)) return SerialError::kSetState;
  return SerialError::kNone;
}

bool SerialPort::ReadFormat(SerialFormat& f) const {
  termios2 t{};
  if (ioctl(fd_, TCGETS2, &t) != 0) return false;
  f = FormatFromTermios(t);
  return true;
}

void SerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  timeouts_ = timeouts;
}

int SerialPort::Read(uint8_t* buffer, size_t size, size_t* got) {
  *got = 0;
  if (interrupted()) return ECANCELED;
  if (size == 0) return 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeouts_.readMs));
  bool waited = false;
  for (;;) {
    // With VMIN and VTIME 0 a read of nothing returns 0 at once.
    const ssize_t n = read(fd_, buffer, size);
    if (n > 0) {
      *got = static_cast<size_t>(n);
      return 0;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return errno;
    if (waited || timeouts_.readMs <= 0) return 0;
    short revents = 0;
    switch (wait_.Wait(fd_, POLLIN, deadline, &revents)) {
      case InterruptWait::kReady:
        break;
      case InterruptWait::kTimeout:
        return 0;
      case InterruptWait::kInterrupted:
        return ECANCELED;
      case InterruptWait::kError:
        return EIO;
    }
    // A hung-up tty (the device unplugged, a pty's other end closed) polls ready and reads 0.
    if (revents & (POLLHUP | POLLERR)) {
      const ssize_t last = read(fd_, buffer, size);
      if (last > 0) {
        *got = static_cast<size_t>(last);
        return 0;
      }
      return EIO;
    }
    waited = true;
  }
}

int SerialPort::Write(const uint8_t* data, size_t size, size_t* written) {
  *written = 0;
  if (interrupted()) return ECANCELED;
  const auto budget = std::chrono::milliseconds(static_cast<int64_t>(std::max(0, timeouts_.writePerByteMs)) *
                                                    static_cast<int64_t>(size) +
                                                std::max(0, timeouts_.writeConstantMs));
  const auto deadline = Clock::now() + budget;
  while (*written < size) {
    const ssize_t n = write(fd_, data + *written, size - *written);
    if (n > 0) {
      *written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return errno;
    switch (wait_.Wait(fd_, POLLOUT, deadline)) {
      case InterruptWait::kReady:
        break;
      case InterruptWait::kTimeout:
        return ETIMEDOUT;
      case InterruptWait::kInterrupted:
        return ECANCELED;
      case InterruptWait::kError:
        return EIO;
    }
  }
  return 0;
}

void SerialPort::DiscardInput() {
  ioctl(fd_, TCFLSH, TCIFLUSH);
}

bool SerialPort::SetLine(SerialLine line, bool on) {
  return lines_.SetLine(fd_, line, on);
}

}  // namespace vestrel
