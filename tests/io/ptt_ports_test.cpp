// ctest-labels: integration tsan
// The keying ports: COM ports on pseudo-terminals (their modem lines recorded by a fake), the
// parallel port on a register file with a /proc tree of the test's own, the rig and WinKey
// paths as recorded hooks. Everything the ports touch lands in one log, in order.
#include "io/ptt_ports.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "engine/mode_number.h"
#include "support/child_process.h"
#include "support/fake_keying.h"
#include "support/pty_pair.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kCom = 3;  // the COM number the tests map to their pty

using test::Free;

std::string Box(const std::string& caption, const std::string& text) {
  return "box " + caption + "|" + text;
}

class PttPortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    fs::remove_all(root_);
    test::WriteParportTree(root_, {{0, 0x378}, {1, 0x278}});
    settings_.ComPorts[kCom] = pty_.slavePath();
    ports_ = Make(shared_);
  }
  void TearDown() override {
    ports_.reset();
    fs::remove_all(root_);
  }
  std::unique_ptr<TPttPorts> Make(std::shared_ptr<WorkerShared> shared) {
    return std::make_unique<TPttPorts>(
        settings_, io_, std::move(shared),
        PttPortsLinks{&boxes_, &hooks_, &lines_, [this] { return transmitting_.load(); }, &useTxD_});
  }
  // The log from `mark` on.
  std::vector<std::string> Since(size_t mark) const {
    const auto all = log_.Entries();
    return {all.begin() + static_cast<long>(std::min(mark, all.size())), all.end()};
  }
  size_t Mark() const { return log_.Entries().size(); }
  std::string Open() const { return "open " + pty_.slavePath(); }
  std::string Close() const { return "close " + pty_.slavePath(); }

  test::PtyPair pty_;
  const fs::path root_ = fs::temp_directory_path() / ("vestrel-ptt-" + std::to_string(getpid()));
  test::KeyingLog log_;
  test::RecordingLines lines_{log_};
  test::FakePortBackend backend_{log_, root_.string()};
  TPortIO io_{backend_};
  test::RecordingHooks hooks_{log_};
  test::RecordingBoxes boxes_{log_};
  KeyingPortSettings settings_;
  bool useTxD_ = true;
  std::atomic<bool> transmitting_{false};
  std::shared_ptr<WorkerShared> shared_ = std::make_shared<WorkerShared>();
  std::unique_ptr<TPttPorts> ports_;
};

TEST_F(PttPortsTest, SetPttPortClampsTheValuesAndDerivesTheMasks) {
  struct Row {
    int type, number, ptt, power1, power2;       // as given
    int sType, sNumber, sPtt, sPower1, sPower2;  // as stored
    uint8_t pttMask, powerMask;                  // 0x5A/0xA5: left as they were
  };
  const Row rows[] = {
      {2, 1, 3, 3, 0, 2, 1, 3, 0, 0, 0x04, 0x00},  // the power pin equal to the PTT pin is dropped
      {3, 1, 3, 3, 0, 3, 1, 3, 0, 0, 0x04, 0x00},
      {1, kCom, 2, 1, 2, 1, kCom, 2, 1, 0, 2, 1},        // COM: RTS keys, DTR powers
      {2, 5, 2, 7, 8, 2, 1, 2, 7, 8, 0x02, 0xC0},        // LPT number above 4 becomes 1
      {2, 4, 2, 0, 0, 2, 4, 2, 0, 0, 0x02, 0x00},        // 4: the port at XPortAddress
      {2, 1, 0, 7, 0, 2, 1, 0, 7, 0, 0x00, 0x40},        // pin 0 is no pin, not a shift by -1
      {2, 0, 2, 0, 0, 2, 1, 2, 0, 0, 0x02, 0x00},        // number 0 becomes 1
      {1, kCom, 9, -1, 2, 1, kCom, 0, 0, 2, 0, 2},       // pins outside 0..8 become 0
      {1, kCom, 3, 1, 0, 1, kCom, 0, 1, 0, 0, 1},        // a COM port has pins 1 and 2 only
      {7, kCom, 2, 0, 0, 0, kCom, 2, 0, 0, 0x5A, 0xA5},  // no type 7: none, masks kept
      {-1, -5, 2, 0, 0, 0, 1, 2, 0, 0, 0x5A, 0xA5},
      {5, 2, 1, 2, 0, 5, 2, 1, 2, 0, 0x5A, 0xA5},        // rig CAT keeps the masks
      {6, kCom, 1, 1, 2, 6, kCom, 1, 0, 2, 0x5A, 0xA5},  // WinKey too
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.type << " " << r.number << " " << r.ptt << " " << r.power1 << " "
                                    << r.power2);
    ports_->PttLineMask = 0x5A;
    ports_->PowerLineMask = 0xA5;
    ports_->SetPttPort(r.type, r.number, r.ptt, r.power1, r.power2);
    EXPECT_EQ(settings_.PttPortType, r.sType);
    EXPECT_EQ(settings_.PttPortNumber, r.sNumber);
    EXPECT_EQ(settings_.PttPin, r.sPtt);
    EXPECT_EQ(settings_.PowerPin1, r.sPower1);
    EXPECT_EQ(settings_.PowerPin2, r.sPower2);
    EXPECT_EQ(ports_->PttLineMask, r.pttMask);
    EXPECT_EQ(ports_->PowerLineMask, r.powerMask);
    ports_->SetPttPort(0, 1, 0, 0, 0);
  }
  EXPECT_FALSE(log_.Has("beep"));
}

TEST_F(PttPortsTest, AComPortMappedToAPtyOpensAt8N19600AndCarriesBytes) {
  ports_->SetPttPort(1, kCom, 2, 1, 0);
  const std::shared_ptr<SerialPort> port = shared_->PttComHandle.Get();
  ASSERT_NE(port, nullptr);
  const termios2 t = pty_.SlaveSettings();
  EXPECT_EQ(t.c_cflag & CBAUD, tcflag_t(BOTHER));
  EXPECT_EQ(t.c_ospeed, 9600u);
  EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB | CRTSCTS), tcflag_t(CS8));
  const std::vector<uint8_t> out = {'R', 'Y', 0xC0};
  size_t n = 0;
  ASSERT_EQ(port->Write(out.data(), out.size(), &n), 0);
  EXPECT_EQ(pty_.Read(), out);
  pty_.Write({'7', '3'});
  uint8_t in[8];
  ASSERT_EQ(port->Read(in, sizeof in, &n), 0);
  EXPECT_EQ(std::string(in, in + n), "73");
  EXPECT_EQ(port->timeouts().readMs, 200);
  EXPECT_EQ(port->timeouts().writePerByteMs, 1000);
  EXPECT_EQ(port->timeouts().writeConstantMs, 2000);
  EXPECT_TRUE(Free(shared_->PttPortSemaphore));
  EXPECT_TRUE(Free(shared_->ExchangePortSemaphore));
}

// FSK on TxD: the line takes the mode's character format at its speed to the nearest whole
// baud, set up again in place at every mode or speed change. A pty keeps the rate and the
// stop bits; the character size is what was asked of the driver.
TEST_F(PttPortsTest, TheTxdLineTakesTheCharacterFormatAndSpeedOfTheMode) {
  TModemParams modem;
  bool useTxD = true;
  auto shared = std::make_shared<WorkerShared>();
  TPttPorts ports(settings_, io_, shared, PttPortsLinks{&boxes_, &hooks_, &lines_, {}, &useTxD, &modem});
  struct Row {
    int32_t mode;
    double baud;
    bool txd;
    SerialFormat line;
  };
  const Row rows[] = {
      {kModeRtty, 45.0, true, {45, 5, SerialStopBits::kOneAndHalf}},  // 45.0 stands for 45.45 Bd
      {kModeRtty, 75.0, true, {75, 5, SerialStopBits::kOneAndHalf}},
      {kModeAscii7, 110.0, true, {110, 7, SerialStopBits::kOne}},
      {kModeAscii8, 300.0, true, {300, 8, SerialStopBits::kOne}},
      {kModeBpsk31, 31.25, true, {9600, 8, SerialStopBits::kOne}},  // no start-stop mode: 8N1
      {kModeRtty, 45.0, false, {9600, 8, SerialStopBits::kOne}},    // FSK on TxD off
  };
  ports.SetPttPort(1, kCom, 2, 1, 0);
  const SerialPort* opened = shared->PttComHandle.Get().get();
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.mode << " " << r.baud << " " << r.txd);
    modem.Mode = r.mode;
    modem.Baud = r.baud;
    useTxD = r.txd;
    const size_t mark = Mark();
    ports.ReopenPorts();
    EXPECT_EQ(Since(mark), std::vector<std::string>{});  // no line moved, no message
    EXPECT_EQ(shared->PttComHandle.Get().get(), opened);
    EXPECT_TRUE(ports.KeyingPortOpen());
    EXPECT_EQ(lines_.lastFormat(), r.line);
    const termios2 t = pty_.SlaveSettings();
    EXPECT_EQ(t.c_ospeed, static_cast<uint32_t>(r.line.baud));
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, r.line.stopBits != SerialStopBits::kOne);
  }
  // Opened afresh in a start-stop mode, the line has its format from the start.
  modem.Mode = kModeAscii7;
  modem.Baud = 110.0;
  useTxD = true;
  ports.SetPttPort(0, 1, 0, 0, 0);
  ports.SetPttPort(1, kCom, 2, 1, 0);
  EXPECT_EQ(lines_.lastFormat(), (SerialFormat{110, 7, SerialStopBits::kOne}));
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 110u);
}

// A driver that cannot run the rate (many USB adapters stop near 183 Bd) reports another one:
// the port is given up with "SetCommState error!" instead of keying at a wrong speed.
TEST_F(PttPortsTest, ARateTheDriverDoesNotTakeIsAnErrorNotAWrongSpeed) {
  class SlowAdapter : public test::RecordingLines {
   public:
    using RecordingLines::RecordingLines;
    bool SetTermios(int fd, const termios2& t) override {
      termios2 capped = t;
      if (capped.c_ospeed < 183) capped.c_ospeed = capped.c_ispeed = 183;
      return RecordingLines::SetTermios(fd, capped);
    }
  } adapter(log_);
  TModemParams modem;
  bool useTxD = true;
  auto shared = std::make_shared<WorkerShared>();
  TPttPorts ports(settings_, io_, shared, PttPortsLinks{&boxes_, &hooks_, &adapter, {}, &useTxD, &modem});
  ports.SetPttPort(1, kCom, 2, 0, 0);
  EXPECT_TRUE(log_.Has(Box(TPttPorts::kComCaption, "SetCommState error!")));
  EXPECT_FALSE(shared->PttComHandle.IsOpen());
  EXPECT_FALSE(ports.KeyingPortOpen());
  // 300 Bd it takes.
  modem.Mode = kModeAscii8;
  modem.Baud = 300.0;
  log_.Clear();
  ports.ReopenPorts();
  EXPECT_FALSE(log_.Has(Box(TPttPorts::kComCaption, "SetCommState error!")));
  EXPECT_TRUE(ports.KeyingPortOpen());
}

// The pty pair a user makes to link two programs: socat's two ends, one mapped as the COM
// port, the other opened by the test as the peer.
TEST_F(PttPortsTest, AComPortMappedToASocatLinkReachesThePeer) {
  if (std::system("command -v socat > /dev/null 2>&1") != 0) GTEST_SKIP() << "socat is not installed";
  const fs::path dir = root_ / "socat";
  fs::create_directories(dir);
  const std::string a = (dir / "A").string(), b = (dir / "B").string();
  test::ChildProcess socat({"socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b});
  ASSERT_TRUE(socat.Started());
  for (int i = 0; i < 500 && !(fs::exists(a) && fs::exists(b)); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(fs::exists(a) && fs::exists(b));
  settings_.ComPorts[kCom] = a;
  ports_->SetPttPort(1, kCom, 2, 1, 0);
  const std::shared_ptr<SerialPort> port = shared_->PttComHandle.Get();
  ASSERT_NE(port, nullptr);
  const std::shared_ptr<SerialPort> peer = SerialPort::Open(b);
  ASSERT_NE(peer, nullptr);
  ASSERT_EQ(peer->SetFormat({}), SerialError::kNone);
  peer->SetTimeouts({2000, 1000, 2000});

  auto pass = [](SerialPort& from, SerialPort& to, const std::string& text) {
    size_t n = 0;
    EXPECT_EQ(from.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &n), 0);
    std::string got;
    uint8_t buf[64];
    while (got.size() < text.size() && to.Read(buf, sizeof buf, &n) == 0 && n > 0) got.append(buf, buf + n);
    return got;
  };
  EXPECT_EQ(pass(*port, *peer, "CQ DE XX0XXX\r\n"), "CQ DE XX0XXX\r\n");
  EXPECT_EQ(pass(*peer, *port, "~[ec] 73\r"), "~[ec] 73\r");
  // The link's own device is refused to a second opener.
  EXPECT_EQ(SerialPort::Open(a), nullptr);
}

TEST_F(PttPortsTest, ComLinesIdleAndKeyInTheirOrder) {
  // PTT on RTS with power pins DTR and RTS: the second power pin is the PTT pin and is
  // dropped. Idle RTS off and DTR on; keying raises RTS and keeps DTR on.
  size_t mark = Mark();
  ports_->SetPttPort(1, kCom, 2, 1, 2);
  // Closed before the change, and again as the open begins (nothing is open by then).
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"WinKeyClose", "WinKeyClose", Open(), "RTS 0", "DTR 1"}));
  mark = Mark();
  ports_->SetPtt(true);
  ports_->SetPtt(false);
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"RTS 1", "DTR 1", "RTS 0", "DTR 1"}));
  // PTT on DTR, RTS powering the interface.
  ports_->SetPttPort(1, kCom, 1, 2, 0);
  mark = Mark();
  ports_->SetPtt(true);
  ports_->SetPtt(false);
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"DTR 1", "DTR 0"}));
  EXPECT_TRUE(lines_.rts());
}

TEST_F(PttPortsTest, ParallelKeyingWritesTheDataAndControlRegisters) {
  size_t mark = Mark();
  ports_->SetPttPort(2, 1, 2, 7, 8);  // PTT D1, power D6 and D7
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"WinKeyClose", "WinKeyClose", "claim 0", "D=192"}));
  EXPECT_EQ(ports_->LptBaseAddress, 0x378);
  mark = Mark();
  ports_->SetPtt(true);
  ports_->SetPtt(false);
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"D=194", "D=192"}));

  // Type 3 also drives pins 16 and 1 through the control register.
  ports_->SetPttPort(3, 2, 6, 7, 8);
  EXPECT_EQ(ports_->LptBaseAddress, 0x278);
  mark = Mark();
  ports_->SetPtt(true);
  ports_->SetPtt(false);
  ports_->SetPttPort(0, 1, 0, 0, 0);
  EXPECT_EQ(Since(mark),
            (std::vector<std::string>{"C=13", "D=224", "C=9", "D=192",
                                      // the change: unkeyed, control 12, released
                                      "C=9", "D=192", "WinKeyClose", "C=12", "release", "WinKeyClose"}));
}

TEST_F(PttPortsTest, APortChangeWhileKeyedUnkeysTheOldPathBeforeItIsReleased) {
  ports_->SetPttPort(2, 1, 2, 7, 0);
  ports_->SetPtt(true);
  EXPECT_EQ(backend_.regs[0][0], 0x42);
  const size_t mark = Mark();
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  const auto after = Since(mark);
  ASSERT_GE(after.size(), 3u);
  EXPECT_EQ(after[0], "D=64");  // back to PowerLineMask with the LPT masks
  const auto release = std::find(after.begin(), after.end(), "release");
  const auto open = std::find(after.begin(), after.end(), Open());
  EXPECT_LT(release, open);
  EXPECT_EQ(backend_.regs[0][0], 0x40);
  EXPECT_EQ(ports_->PttLineMask, TPttPorts::kRts);
}

TEST_F(PttPortsTest, TheRigAndWinKeyPathsAreUnkeyedThroughTheOldType) {
  ports_->SetPttPort(4, 1, 2, 0, 0);
  EXPECT_TRUE(log_.Has("OpenPttRig"));
  ports_->SetPtt(true);
  size_t mark = Mark();
  ports_->SetPttPort(6, kCom, 2, 0, 0);
  auto after = Since(mark);
  ASSERT_GE(after.size(), 3u);
  EXPECT_EQ(after[0], "RigSetPtt 0");
  EXPECT_EQ(after[1], "WinKeyClose");
  EXPECT_EQ(after.back(), "WinKeyOpen");
  ports_->SetPtt(true);
  mark = Mark();
  ports_->SetPttPort(0, 1, 0, 0, 0);
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"WinKeySetPtt 0", "WinKeyClose", "WinKeyClose"}));
  mark = Mark();
  ports_->SetPtt(true);  // type 0 keys nothing
  EXPECT_EQ(Since(mark), std::vector<std::string>{});
}

TEST_F(PttPortsTest, AReopenWhileTransmittingKeysTheReopenedPathAgain) {
  ports_->SetPttPort(2, 1, 2, 7, 0);
  transmitting_ = true;
  ports_->SetPtt(true);
  size_t mark = Mark();
  ports_->ReopenPorts();
  EXPECT_EQ(Since(mark),
            (std::vector<std::string>{"D=64", "WinKeyClose", "C=12", "release", "claim 0", "D=64", "D=66"}));
  // A port set chosen while transmitting keys at once, here through the rig.
  mark = Mark();
  ports_->SetPttPort(5, 1, 2, 0, 0);
  EXPECT_EQ(Since(mark).back(), "RigSetPtt 1");
  transmitting_ = false;
  mark = Mark();
  ports_->ReopenPorts();
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"RigSetPtt 0", "WinKeyClose", "OpenPttRig"}));
}

TEST_F(PttPortsTest, AModeChangeSetsTheComPortUpAgainWithoutClosingIt) {
  // Closing and opening a serial port raises its RTS and DTR for a moment; after a mode or
  // speed change the port stays open and its lines untouched.
  ports_->SetPttPort(1, kCom, 2, 1, 0);
  const SerialPort* before = shared_->PttComHandle.Get().get();
  size_t mark = Mark();
  ports_->ReopenPorts();
  EXPECT_EQ(Since(mark), std::vector<std::string>{});
  EXPECT_EQ(shared_->PttComHandle.Get().get(), before);
  EXPECT_FALSE(pty_.SlaveClosed());
  // Keyed, it stays keyed: RTS is never dropped.
  transmitting_ = true;
  ports_->SetPtt(true);
  mark = Mark();
  ports_->ReopenPorts();
  for (const std::string& e : Since(mark)) EXPECT_NE(e, "RTS 0");
  EXPECT_TRUE(lines_.rts());
  EXPECT_TRUE(Free(shared_->PttPortSemaphore));
  EXPECT_TRUE(Free(shared_->ExchangePortSemaphore));
  transmitting_ = false;
  // Another device is a real close and open.
  test::PtyPair other;
  settings_.ComPorts[kCom] = other.slavePath();
  mark = Mark();
  ports_->ReopenPorts();
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"RTS 0", "DTR 1", "WinKeyClose", Close(),
                                                   "open " + other.slavePath(), "RTS 0", "DTR 1"}));
  EXPECT_TRUE(pty_.SlaveClosed());
}

TEST_F(PttPortsTest, TheExchangePortSharingThePttPortOpensItOnceAtTheExchangeSpeed) {
  hooks_.onOpenExchange = [this] {
    if (ports_->SharedComPort) shared_->ExchangeComHandle.Set(shared_->PttComHandle.Get());
  };
  settings_.ExchangeSpeed = 19200;
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 9600u);
  for (int n : {100, 0, -1}) {
    ports_->SetDataExchangePort(n);
    EXPECT_EQ(settings_.ExchangePortNumber, 0) << n;
    EXPECT_FALSE(ports_->SharedComPort);
  }
  EXPECT_TRUE(useTxD_);
  const size_t mark = Mark();
  ports_->SetDataExchangePort(kCom);
  EXPECT_TRUE(ports_->SharedComPort);
  EXPECT_FALSE(useTxD_);
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 19200u);
  const auto after = Since(mark);
  EXPECT_EQ(std::count(after.begin(), after.end(), Open()), 1);
  EXPECT_EQ(shared_->ExchangeComHandle.Get(), shared_->PttComHandle.Get());
  // Closing forgets both names of the one port; it closes once.
  const size_t closing = Mark();
  ports_->ClosePorts();
  EXPECT_FALSE(shared_->PttComHandle.IsOpen());
  EXPECT_FALSE(shared_->ExchangeComHandle.IsOpen());
  const auto closed = Since(closing);
  EXPECT_EQ(std::count(closed.begin(), closed.end(), Close()), 1);
  EXPECT_TRUE(pty_.SlaveClosed());
}

TEST_F(PttPortsTest, ComPortFailuresAreReportedAndLeaveNothingHeld) {
  const std::string caption = TPttPorts::kComCaption;
  // Held by another open: refused, as root too.
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  KeyingPortSettings second = settings_;
  auto otherShared = std::make_shared<WorkerShared>();
  auto other = std::make_unique<TPttPorts>(second, io_, otherShared,
                                           PttPortsLinks{&boxes_, nullptr, &lines_, {}, nullptr});
  other->SetPttPort(1, kCom, 2, 0, 0);
  EXPECT_TRUE(log_.Has(Box(caption, "COM-port open error!")));
  EXPECT_FALSE(otherShared->PttComHandle.IsOpen());
  EXPECT_TRUE(Free(otherShared->PttPortSemaphore));
  EXPECT_TRUE(Free(otherShared->ExchangePortSemaphore));
  EXPECT_TRUE(shared_->PttComHandle.IsOpen());  // the first one keeps it

  struct Row {
    std::string device;
    int32_t exchangeSpeed;
    const char* text;
  };
  const fs::path file = root_ / "not-a-tty";
  std::ofstream(file) << "x";
  const Row rows[] = {
      {"/dev/vestrel-no-such-port", 9600, "COM-port open error!"},
      {file.string(), 9600, "GetCommState error!"},
      {pty_.slavePath(), 0, "SetCommState error!"},  // a shared port at an impossible speed
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    ports_->SetPttPort(0, 1, 0, 0, 0);
    settings_.ComPorts[7] = r.device;
    settings_.ExchangeSpeed = r.exchangeSpeed;
    settings_.ExchangePortNumber = r.exchangeSpeed == 0 ? 7 : 0;
    const size_t mark = Mark();
    ports_->SetPttPort(1, 7, 2, 0, 0);
    const auto after = Since(mark);
    EXPECT_NE(std::find(after.begin(), after.end(), Box(caption, r.text)), after.end());
    EXPECT_FALSE(shared_->PttComHandle.IsOpen());
    EXPECT_EQ(settings_.PttPortType, 1);  // keying silently does nothing
    EXPECT_TRUE(Free(shared_->PttPortSemaphore));
    EXPECT_TRUE(Free(shared_->ExchangePortSemaphore));
    ports_->SetPtt(true);
    EXPECT_EQ(Since(mark).size(), after.size());
  }
}

TEST_F(PttPortsTest, WithoutAParallelPortTheDriverMessageComesOnceThenTypeZeroSilently) {
  fs::remove_all(root_);
  fs::create_directories(root_);
  ports_->SetPttPort(2, 1, 2, 0, 0);
  EXPECT_EQ(log_.Entries(), (std::vector<std::string>{"WinKeyClose", "WinKeyClose", "beep",
                                                      Box(" Error!", "PELMARIO driver not found!")}));
  EXPECT_EQ(settings_.PttPortType, 0);
  EXPECT_TRUE(ports_->PortDriverMissing);
  test::WriteParportTree(root_, {{0, 0x378}});  // even once a port appears
  const size_t mark = Mark();
  ports_->SetPttPort(3, 1, 2, 0, 0);
  EXPECT_EQ(settings_.PttPortType, 0);
  EXPECT_EQ(Since(mark), (std::vector<std::string>{"WinKeyClose", "WinKeyClose"}));
  EXPECT_EQ(ports_->OpenPortDriver(), -2);
}

TEST_F(PttPortsTest, PortFourIsTheBaseAddressOfAPortThatExists) {
  settings_.XPortAddress = 0x278;
  ports_->SetPttPort(2, 4, 2, 0, 0);
  EXPECT_EQ(ports_->LptBaseAddress, 0x278);
  EXPECT_EQ(backend_.openPort(), 1);
  settings_.XPortAddress = 888;
  ports_->SetPttPort(2, 4, 2, 0, 0);
  EXPECT_EQ(ports_->LptBaseAddress, 0x378);
  EXPECT_EQ(backend_.openPort(), 0);

  struct Row {
    int number;
    int32_t xport;
    const char* text;
  };
  const Row rows[] = {{4, 0x3BC, "No parallel port at address 0x03BC (956)!"},
                      {3, 888, "No parallel port LPT3!"}};
  for (const Row& r : rows) {
    settings_.XPortAddress = r.xport;
    const size_t mark = Mark();
    ports_->SetPttPort(2, r.number, 2, 0, 0);
    EXPECT_EQ(settings_.PttPortType, 0);
    EXPECT_FALSE(io_.Active());
    EXPECT_EQ(Since(mark).back(), Box(" Error!", r.text));
    EXPECT_FALSE(ports_->PortDriverMissing);  // the driver is there; the port is not
  }
}

TEST_F(PttPortsTest, AWindowClosedWhileAPortMessageIsShownLeavesNothingOpenOrKeyed) {
  hooks_.onOpenExchange = [this] { log_.Add("OpenExchangePort"); };
  transmitting_ = true;
  boxes_.onBox = [this] { ports_->Shutdown(10ms); };
  settings_.ComPorts[7] = "/dev/vestrel-no-such-port";
  ports_->SetPttPort(1, 7, 2, 0, 0);
  EXPECT_FALSE(log_.Has("OpenExchangePort"));
  boxes_.onBox = nullptr;
  const size_t mark = Mark();
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  ports_->ReopenPorts();
  ports_->SetPtt(true);
  for (const std::string& e : Since(mark)) {
    EXPECT_NE(e, Open());
    EXPECT_NE(e, "OpenExchangePort");
    EXPECT_NE(e, "RTS 1");
  }
  EXPECT_FALSE(shared_->PttComHandle.IsOpen());
}

// Two workers in their transfers on one shared port: the writer into a pty whose other end
// never reads, the reader waiting for bytes that never come.
TEST_F(PttPortsTest, ClosePortsEndsTransfersInProgressAndTheDescriptorClosesOnceAfterBoth) {
  hooks_.onOpenExchange = [this] {
    if (ports_->SharedComPort) shared_->ExchangeComHandle.Set(shared_->PttComHandle.Get());
  };
  settings_.ExchangePortNumber = kCom;
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  ASSERT_TRUE(ports_->SharedComPort);
  std::atomic<int> inTransfer{0};
  auto writer = std::async(std::launch::async, [&] {
    WorkerShared& s = *shared_;
    s.PttPortSemaphore.acquire();
    std::shared_ptr<SerialPort> port = s.PttComHandle.Get();
    const std::vector<uint8_t> big(1 << 20, 'x');
    size_t n = 0;
    ++inTransfer;
    const int r = port->Write(big.data(), big.size(), &n);
    port.reset();
    log_.Add("writer let go");
    s.PttPortSemaphore.release();
    return r;
  });
  auto reader = std::async(std::launch::async, [&] {
    WorkerShared& s = *shared_;
    s.ExchangePortSemaphore.acquire();
    std::shared_ptr<SerialPort> port = s.ExchangeComHandle.Get();
    uint8_t buf[64];
    size_t n = 0;
    ++inTransfer;
    int r = 0;
    while ((r = port->Read(buf, sizeof buf, &n)) == 0) {
    }
    port.reset();
    log_.Add("reader let go");
    s.ExchangePortSemaphore.release();
    return r;
  });
  while (inTransfer < 2) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);  // into their waits
  ports_->ClosePorts();
  EXPECT_EQ(writer.get(), ECANCELED);
  EXPECT_EQ(reader.get(), ECANCELED);
  EXPECT_EQ(log_.Count(Close()), 1);
  const int closed = log_.IndexOf(Close());
  EXPECT_GT(closed, log_.IndexOf("writer let go"));
  EXPECT_GT(closed, log_.IndexOf("reader let go"));
  EXPECT_TRUE(pty_.SlaveClosed());
  EXPECT_TRUE(Free(shared_->PttPortSemaphore));
  EXPECT_TRUE(Free(shared_->ExchangePortSemaphore));
}

TEST_F(PttPortsTest, AWaitThatTimesOutReleasesAndClosesNothing) {
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  ports_->semaphoreWait = 50ms;
  std::promise<void> holding;
  std::promise<void> letGo;
  std::thread holder([&, letGoFuture = letGo.get_future()]() mutable {
    shared_->PttPortSemaphore.acquire();
    std::shared_ptr<SerialPort> port = shared_->PttComHandle.Get();
    holding.set_value();
    letGoFuture.wait();
    port.reset();
    shared_->PttPortSemaphore.release();
  });
  holding.get_future().wait();
  ports_->ClosePorts();
  EXPECT_FALSE(shared_->PttComHandle.IsOpen());  // forgotten by the port code
  EXPECT_FALSE(log_.Has(Close()));               // but open while the holder has it
  EXPECT_FALSE(pty_.SlaveClosed());
  EXPECT_FALSE(shared_->PttPortSemaphore.try_acquire());  // not released for the holder
  EXPECT_TRUE(Free(shared_->ExchangePortSemaphore));      // taken and given back
  letGo.set_value();
  holder.join();
  EXPECT_EQ(log_.Count(Close()), 1);
  EXPECT_TRUE(pty_.SlaveClosed());
  EXPECT_TRUE(Free(shared_->PttPortSemaphore));
}

}  // namespace
}  // namespace vestrel
