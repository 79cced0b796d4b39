// ctest-labels: integration tsan
// The serial port layer on pseudo-terminals: the master end reports what the slave was set to,
// reads what was written and writes what is to be read. A pty has no modem lines, so line
// changes go to a recording fake.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <vector>

#include "support/fake_keying.h"
#include "support/pty_pair.h"

namespace vestrel {
namespace {

using namespace std::chrono_literals;
using test::PtyPair;

uint32_t SpeedOf(const termios2& t) {
  return (t.c_cflag & CBAUD) == BOTHER ? t.c_ospeed : 0;
}

struct FormatRow {
  SerialFormat format;
  tcflag_t cflag;  // size, stop and parity bits asked of the driver
  uint32_t speed;
};
const FormatRow kFormats[] = {
    {{45.45, 5, SerialStopBits::kOneAndHalf, SerialParity::kNone}, CS5 | CSTOPB, 45},
    {{110, 7, SerialStopBits::kOne, SerialParity::kEven}, CS7 | PARENB, 110},
    {{300, 8, SerialStopBits::kTwo, SerialParity::kOdd}, CS8 | CSTOPB | PARENB | PARODD, 300},
    {{9600, 8, SerialStopBits::kOne, SerialParity::kMark}, CS8 | PARENB | PARODD | CMSPAR, 9600},
    {{1200, 6, SerialStopBits::kOne, SerialParity::kSpace}, CS6 | PARENB | CMSPAR, 1200},
    {{1.5625, 8, SerialStopBits::kOne, SerialParity::kNone}, CS8, 2},
    {{921600, 8, SerialStopBits::kOne, SerialParity::kNone}, CS8, 921600},
};

TEST(SerialPort, EachFormatAsksTheDriverForItsBitsAndRate) {
  for (const FormatRow& r : kFormats) {
    SCOPED_TRACE(r.format.baud);
    // Start from a cooked line with flow control, as a tty is found.
    termios2 t{};
    t.c_iflag = ICRNL | IXON | IXOFF | INPCK | ISTRIP;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = B38400 | CS8 | CRTSCTS | PARENB;
    ASSERT_TRUE(FormatToTermios(r.format, t));
    EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB | PARODD | CMSPAR), r.cflag);
    EXPECT_EQ(t.c_cflag & CBAUD, tcflag_t(BOTHER));
    EXPECT_EQ(t.c_ospeed, r.speed);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL | HUPCL | CRTSCTS), tcflag_t(CREAD | CLOCAL | HUPCL));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK | ISTRIP), 0u);
    SerialFormat expected = r.format;
    expected.baud = r.speed;
    EXPECT_EQ(FormatFromTermios(t), expected);
  }
}

TEST(SerialPort, SetsTheRateOnALineAndReadsItBack) {
  // A pty keeps the rate and the stop bits; it always says 8 bits and no parity.
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  auto port = SerialPort::Open(pty.slavePath());
  ASSERT_NE(port, nullptr);
  for (const FormatRow& r : kFormats) {
    SCOPED_TRACE(r.format.baud);
    ASSERT_EQ(port->SetFormat(r.format), SerialError::kNone);
    const termios2 t = pty.SlaveSettings();
    EXPECT_EQ(SpeedOf(t), r.speed);
    EXPECT_EQ(t.c_cflag & CSTOPB, r.cflag & CSTOPB);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL | HUPCL | CRTSCTS), tcflag_t(CREAD | CLOCAL | HUPCL));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    SerialFormat back;
    ASSERT_TRUE(port->ReadFormat(back));
    EXPECT_EQ(back.baud, r.speed);
  }
}

TEST(SerialPort, RefusesAFormatNoLineHas) {
  PtyPair pty;
  auto port = SerialPort::Open(pty.slavePath());
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(port->SetFormat({}), SerialError::kNone);
  for (const SerialFormat f : {SerialFormat{9600, 4}, SerialFormat{9600, 9}, SerialFormat{0.4, 8},
                               SerialFormat{-45, 8}, SerialFormat{std::nan(""), 8}, SerialFormat{1e12, 8}}) {
    EXPECT_EQ(port->SetFormat(f), SerialError::kSetState) << f.baud << " " << f.dataBits;
  }
  EXPECT_EQ(SpeedOf(pty.SlaveSettings()), 9600u);  // the refused ones changed nothing
}

TEST(SerialPort, OpensExclusivelyEvenForRoot) {
  PtyPair pty;
  auto first = SerialPort::Open(pty.slavePath());
  ASSERT_NE(first, nullptr);
  int err = 0;
  EXPECT_EQ(SerialPort::Open(pty.slavePath(), nullptr, &err), nullptr);
  EXPECT_EQ(err, EBUSY);
  first.reset();
  EXPECT_NE(SerialPort::Open(pty.slavePath()), nullptr);  // free again once closed
}

TEST(SerialPort, AMissingDeviceOrAFileThatIsNoLine) {
  int err = 0;
  EXPECT_EQ(SerialPort::Open("/dev/vestrel-no-such-tty", nullptr, &err), nullptr);
  EXPECT_EQ(err, ENOENT);
  EXPECT_EQ(SerialPort::Open("", nullptr, &err), nullptr);

  const auto file =
      std::filesystem::temp_directory_path() / ("vestrel-not-a-tty-" + std::to_string(getpid()));
  std::ofstream(file) << "x";
  auto port = SerialPort::Open(file.string());
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->SetFormat({}), SerialError::kGetState);
  port.reset();
  std::filesystem::remove(file);
}

TEST(SerialPort, BytesPassBothWays) {
  PtyPair pty;
  auto port = SerialPort::Open(pty.slavePath());
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(port->SetFormat({}), SerialError::kNone);
  const std::vector<uint8_t> out = {'C', 'Q', 0x00, 0xC0, 0xFF, '\r', '\n'};
  size_t written = 0;
  ASSERT_EQ(port->Write(out.data(), out.size(), &written), 0);
  EXPECT_EQ(written, out.size());
  EXPECT_EQ(pty.Read(), out);  // raw: no CR/LF translation, 8-bit clean

  const std::vector<uint8_t> in = {0x11, 0x13, 'd', ' ', '3', '0', '\r', 0x03};
  pty.Write(in);
  std::vector<uint8_t> got(64);
  size_t n = 0;
  ASSERT_EQ(port->Read(got.data(), got.size(), &n), 0);
  got.resize(n);
  EXPECT_EQ(got, in);  // XON, XOFF and ^C are data
}

TEST(SerialPort, ReadsReturnWhatIsThereOrWaitForAFirstByte) {
  PtyPair pty;
  auto port = SerialPort::Open(pty.slavePath());
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(port->SetFormat({}), SerialError::kNone);
  uint8_t buf[16];
  size_t n = 99;
  port->SetTimeouts({0, 1000, 2000});
  EXPECT_EQ(port->Read(buf, sizeof buf, &n), 0);
  EXPECT_EQ(n, 0u);
  port->SetTimeouts({30, 1000, 2000});
  EXPECT_EQ(port->Read(buf, sizeof buf, &n), 0);
  EXPECT_EQ(n, 0u);
  // A byte that arrives during the wait ends it.
  port->SetTimeouts({60000, 1000, 2000});
  std::thread later([&] {
    std::this_thread::sleep_for(20ms);
    pty.Write({'S'});
  });
  EXPECT_EQ(port->Read(buf, sizeof buf, &n), 0);
  later.join();
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(buf[0], 'S');
  // What arrived and was not read can be discarded.
  pty.Write({'a', 'b'});
  std::this_thread::sleep_for(20ms);
  port->DiscardInput();
  port->SetTimeouts({0, 1000, 2000});
  EXPECT_EQ(port->Read(buf, sizeof buf, &n), 0);
  EXPECT_EQ(n, 0u);
}

TEST(SerialPort, AWriteNobodyTakesEndsAtItsTimeOut) {
  PtyPair pty;  // the master never reads
  auto port = SerialPort::Open(pty.slavePath());
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(port->SetFormat({}), SerialError::kNone);
  port->SetTimeouts({200, 0, 50});
  const std::vector<uint8_t> big(1 << 20, 'x');
  size_t written = 0;
  EXPECT_EQ(port->Write(big.data(), big.size(), &written), ETIMEDOUT);
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, big.size());
}

TEST(SerialPort, InterruptEndsABlockedReadAndWriteForGood) {
  PtyPair pty;
  auto port = SerialPort::Open(pty.slavePath());
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(port->SetFormat({}), SerialError::kNone);
  port->SetTimeouts({600000, 1000, 600000});
  auto reader = std::async(std::launch::async, [&] {
    uint8_t buf[8];
    size_t n = 0;
    return port->Read(buf, sizeof buf, &n);
  });
  auto writer = std::async(std::launch::async, [&] {
    const std::vector<uint8_t> big(1 << 20, 'x');
    size_t n = 0;
    return port->Write(big.data(), big.size(), &n);
  });
  // Both are blocked (neither could finish within the time-outs): nothing is read or taken.
  EXPECT_EQ(reader.wait_for(100ms), std::future_status::timeout);
  EXPECT_EQ(writer.wait_for(0ms), std::future_status::timeout);
  port->Interrupt();
  EXPECT_EQ(reader.get(), ECANCELED);
  EXPECT_EQ(writer.get(), ECANCELED);
  uint8_t b = 0;
  size_t n = 0;
  pty.Write({'z'});
  EXPECT_EQ(port->Read(&b, 1, &n), ECANCELED);
  EXPECT_EQ(port->Write(&b, 1, &n), ECANCELED);
}

TEST(SerialPort, TheOtherEndGoingAwayIsAnError) {
  auto pty = std::make_unique<PtyPair>();
  auto port = SerialPort::Open(pty->slavePath());
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(port->SetFormat({}), SerialError::kNone);
  port->SetTimeouts({60000, 1000, 2000});
  pty.reset();
  uint8_t b = 0;
  size_t n = 0;
  EXPECT_EQ(port->Read(&b, 1, &n), EIO);
  EXPECT_EQ(port->Write(&b, 1, &n), EIO);
  port->SetTimeouts({0, 1000, 2000});
  EXPECT_EQ(port->Read(&b, 1, &n), 0);  // a read that does not wait cannot tell
}

TEST(SerialPort, CloseStoresSpeedZeroSoTheNextOpenRaisesNoLine) {
  PtyPair pty;
  test::KeyingLog log;
  test::RecordingLines lines(log);
  auto port = SerialPort::Open(pty.slavePath(), &lines);
  ASSERT_NE(port, nullptr);
  ASSERT_EQ(port->SetFormat({}), SerialError::kNone);
  EXPECT_TRUE(port->SetLine(SerialLine::kRts, true));
  EXPECT_FALSE(pty.SlaveClosed());
  port.reset();
  EXPECT_TRUE(pty.SlaveClosed());
  const termios2 t = pty.SlaveSettings();
  EXPECT_EQ(t.c_cflag & CBAUD, tcflag_t(B0));
  EXPECT_NE(t.c_cflag & HUPCL, 0u);
  EXPECT_EQ(log.Entries(),
            (std::vector<std::string>{"open " + pty.slavePath(), "RTS 1", "close " + pty.slavePath()}));
}

TEST(SerialPort, APtyHasNoModemLinesAndSaysSo) {
  PtyPair pty;
  auto port = SerialPort::Open(pty.slavePath());
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->SetLine(SerialLine::kRts, true));
  EXPECT_FALSE(port->SetLine(SerialLine::kDtr, false));
  EXPECT_EQ(port->SetFormat({}), SerialError::kNone);  // and the port works on
}

TEST(SerialPort, ComPortNumbersNameDevices) {
  const std::map<int, std::string> map = {{3, "/dev/pts/7"}, {4, "\\dev\\ttyUSB0"}, {5, ""}};
  EXPECT_EQ(ComPortPath(1, map), "/dev/ttyS0");
  EXPECT_EQ(ComPortPath(2, map), "/dev/ttyS1");
  EXPECT_EQ(ComPortPath(3, map), "/dev/pts/7");
  EXPECT_EQ(ComPortPath(4, map), "/dev/ttyUSB0");
  EXPECT_EQ(ComPortPath(5, map), "/dev/ttyS4");  // an empty entry maps nothing
  EXPECT_EQ(ComPortPath(0, map), "");
  EXPECT_EQ(ComPortPath(-2, map), "");
}

// A real UART, named by VESTREL_TEST_SERIAL (for example /dev/ttyUSB0): the line levels the
// driver reports after each step. Skipped without one.
TEST(SerialPort, RealPortLinesAndSpeeds) {
  const char* path = std::getenv("VESTREL_TEST_SERIAL");
  if (path == nullptr) GTEST_SKIP() << "VESTREL_TEST_SERIAL names no serial port";
  auto levels = [](const SerialPort& p) {
    int bits = 0;
    ioctl(p.fd(), TIOCMGET, &bits);
    return bits & (TIOCM_RTS | TIOCM_DTR);
  };
  {
    auto port = SerialPort::Open(path);
    ASSERT_NE(port, nullptr) << path;
    ASSERT_EQ(port->SetFormat({45.45, 5, SerialStopBits::kOneAndHalf}), SerialError::kNone);
    SerialFormat f;
    ASSERT_TRUE(port->ReadFormat(f));
    EXPECT_EQ(f.baud, 45);
    EXPECT_EQ(f.stopBits, SerialStopBits::kOneAndHalf);
    ASSERT_TRUE(port->SetLine(SerialLine::kRts, false));
    ASSERT_TRUE(port->SetLine(SerialLine::kDtr, true));
    EXPECT_EQ(levels(*port), TIOCM_DTR);
    // Setting the format again on the open port leaves the lines alone.
    ASSERT_EQ(port->SetFormat({}), SerialError::kNone);
    EXPECT_EQ(levels(*port), TIOCM_DTR);
  }
  // Closed at speed 0: the next open raises no line.
  auto port = SerialPort::Open(path);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(levels(*port), 0);
}

}  // namespace
}  // namespace vestrel
