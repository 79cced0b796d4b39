// ctest-labels: integration tsan
// FSK on the TxD line: the COM writer thread between the byte ring and the keying port. The
// ports are pseudo-terminals, whose master ends the tests read; the writer runs on a thread of
// its own as in the program, and the test thread plays the GUI thread.
#include "io/com_writer.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/codes/baudot.h"
#include "engine/engine.h"
#include "engine/mode_number.h"
#include "engine/modes/rtty/rtty_decoder.h"
#include "io/ptt_ports.h"
#include "io/win_key.h"
#include "support/fake_engine_window.h"
#include "support/fake_keying.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"
#include "support/fsk_signal.h"
#include "support/pty_pair.h"
#include "support/win_key_emulator.h"

namespace vestrel {
namespace {

using namespace std::chrono_literals;

constexpr int kCom = 4;  // the COM number the tests map to their pty

using test::Free;

// The window's message queue as the writer sees it: what was posted, and from which thread.
class RecordingPoster : public Poster {
 public:
  void Post(uint32_t message) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    threads_.push_back(std::this_thread::get_id());
  }
  std::vector<uint32_t> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<std::thread::id> threads() const {
    std::lock_guard lock(mutex_);
    return threads_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<uint32_t> messages_;
  std::vector<std::thread::id> threads_;
};

// Reads the master end until `n` bytes have come, or 10 s have passed.
std::vector<uint8_t> ReadBytes(test::PtyPair& pty, size_t n) {
  std::vector<uint8_t> got;
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (got.size() < n && std::chrono::steady_clock::now() < end) {
    const std::vector<uint8_t> more = pty.Read(100);
    got.insert(got.end(), more.begin(), more.end());
  }
  return got;
}

// Polls `done` (no side effects) for at most 10 s.
template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 2000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return done();
}

std::vector<uint8_t> Sequence(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 7 + seed) & 0xFF);
  return v;
}

// The keying ports with the serial workers of the program, on a pty mapped to COM kCom.
class ComWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_->ok());
    settings_.ComPorts[kCom] = pty_->slavePath();
    workers_.shared()->SetPoster(&poster_);
    ports_ = std::make_unique<TPttPorts>(settings_, io_, workers_.shared(),
                                         PttPortsLinks{&boxes_, &hooks_, &lines_, {}, &useTxD_, &modem_});
  }
  void TearDown() override {
    StopWorkers();
    ports_.reset();
  }
  void StartWorkers() {
    ASSERT_TRUE(workers_.CreateComEvent());
    ASSERT_TRUE(workers_.StartRsThread());
  }
  bool StopWorkers() {
    workers_.RequestStop();
    const bool stopped = WaitFor([&] { return !workers_.AnyRunning(); });
    workers_.ReleaseThreads();
    return stopped;
  }
  WorkerShared& shared() { return *workers_.shared(); }
  void Queue(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) ASSERT_EQ(QueueComByte(shared(), b), 1);
  }

  std::unique_ptr<test::PtyPair> pty_ = std::make_unique<test::PtyPair>();
  test::KeyingLog log_;
  test::RecordingLines lines_{log_};
  test::RecordingBoxes boxes_{log_};
  test::RecordingHooks hooks_{log_};
  test::FakePortBackend backend_{log_};
  TPortIO io_{backend_};
  KeyingPortSettings settings_;
  TModemParams modem_;  // RTTY at 45.45 Bd
  bool useTxD_ = true;
  RecordingPoster poster_;
  SerialWorkers workers_;
  std::unique_ptr<TPttPorts> ports_;
};

TEST_F(ComWriterTest, TheRingHolds1021BytesThatWaitForAPortAndLeaveInOrder) {
  StartWorkers();
  // No port yet: the writer wakes for every byte and leaves them where they are.
  const std::vector<uint8_t> first = Sequence(ComByteRing::kMaxPending, 3);
  Queue(first);
  EXPECT_EQ(QueueComByte(shared(), 0xAA), 0);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(shared().ComBytes.Pending(), ComByteRing::kMaxPending);
  EXPECT_EQ(QueueComByte(shared(), 0xAA), 0);
  EXPECT_FALSE(ports_->KeyingPortOpen());

  // The port opens: the writer takes them in order, and the ring takes bytes again.
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  ASSERT_TRUE(ports_->KeyingPortOpen());
  EXPECT_EQ(ReadBytes(*pty_, first.size()), first);
  // Three rings' worth more run through the masked indexes without a byte lost or moved.
  const std::vector<uint8_t> more = Sequence(3 * ComByteRing::kSize + 5, 11);
  std::vector<uint8_t> got;
  for (size_t i = 0; i < more.size(); ++i) {
    // A full ring refuses; the writer makes room.
    int tries = 0;
    while (QueueComByte(shared(), more[i]) == 0 && ++tries < 2000) std::this_thread::sleep_for(5ms);
    ASSERT_LT(tries, 2000);
    if (i % 256 == 255) {
      const std::vector<uint8_t> part = pty_->Read(0);
      got.insert(got.end(), part.begin(), part.end());
    }
  }
  const std::vector<uint8_t> rest = ReadBytes(*pty_, more.size() - got.size());
  got.insert(got.end(), rest.begin(), rest.end());
  EXPECT_EQ(got, more);
  EXPECT_TRUE(poster_.messages().empty());
}

TEST_F(ComWriterTest, TheStopEndsTheWriterInItsWaitAndInABlockedWrite) {
  StartWorkers();
  EXPECT_TRUE(StopWorkers());  // idle, waiting on its event

  // A line that takes nothing more, and a write that would wait ten minutes.
  SerialWorkers blocked;
  blocked.shared()->SetPoster(&poster_);
  TPttPorts ports(settings_, io_, blocked.shared(),
                  PttPortsLinks{&boxes_, &hooks_, &lines_, {}, &useTxD_, &modem_});
  ports.SetPttPort(1, kCom, 2, 0, 0);
  const std::shared_ptr<SerialPort> port = blocked.shared()->PttComHandle.Get();
  ASSERT_NE(port, nullptr);
  port->SetTimeouts({200, 0, 50});
  const std::vector<uint8_t> fill(1 << 20, 'x');
  size_t n = 0;
  ASSERT_EQ(port->Write(fill.data(), fill.size(), &n), ETIMEDOUT);  // the pty's buffer is full
  port->SetTimeouts({200, 600000, 600000});
  ASSERT_TRUE(blocked.CreateComEvent());
  ASSERT_TRUE(blocked.StartRsThread());
  ASSERT_EQ(QueueComByte(*blocked.shared(), 0x1F), 1);
  std::this_thread::sleep_for(100ms);  // into the write
  blocked.RequestStop();
  EXPECT_TRUE(WaitFor([&] { return !blocked.AnyRunning(); }));
  blocked.ReleaseThreads();
  EXPECT_FALSE(blocked.anyAbandoned());
  // Interrupted, not failed: nothing to report, and the byte was not lost.
  EXPECT_EQ(blocked.shared()->ComBytes.Pending(), 1u);
  EXPECT_EQ(blocked.shared()->ComWriteError.load(), 0);
  EXPECT_TRUE(poster_.messages().empty());
  EXPECT_TRUE(Free(blocked.shared()->PttPortSemaphore));
}

// A line held up (flow control, a peer that reads nothing) is no failure: a byte it does not
// take within the write time-out is lost, the port stays, and nothing is reported.
TEST_F(ComWriterTest, AByteTheLineDoesNotTakeInTimeIsLostButThePortStays) {
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  const std::shared_ptr<SerialPort> port = shared().PttComHandle.Get();
  ASSERT_NE(port, nullptr);
  port->SetTimeouts({200, 0, 50});
  const std::vector<uint8_t> fill(1 << 20, 'x');
  size_t n = 0;
  ASSERT_EQ(port->Write(fill.data(), fill.size(), &n), ETIMEDOUT);
  StartWorkers();
  Queue({31, 31, 14});
  EXPECT_TRUE(WaitFor([&] { return shared().ComBytes.Pending() == 0; }));
  EXPECT_EQ(shared().PttComHandle.Get(), port);
  EXPECT_EQ(shared().ComWriteError.load(), 0);
  EXPECT_TRUE(poster_.messages().empty());
}

// The other end goes away during a transmission (a USB adapter pulled, a link program ended).
TEST_F(ComWriterTest, AFailedWriteGivesTheSharedPortUpUnderBothNamesAndIsShownOnceOnTheGuiThread) {
  hooks_.onOpenExchange = [this] {
    if (ports_->SharedComPort) shared().ExchangeComHandle.Set(shared().PttComHandle.Get());
  };
  settings_.ExchangePortNumber = kCom;
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  ASSERT_TRUE(ports_->SharedComPort);
  useTxD_ = true;  // switched on again after the port was shared
  ports_->ReopenPorts();
  const std::weak_ptr<SerialPort> port = shared().PttComHandle.Get();
  ASSERT_EQ(shared().ExchangeComHandle.Get(), port.lock());
  StartWorkers();
  const std::vector<uint8_t> before = {31, 31, 3, 25};
  Queue(before);
  EXPECT_EQ(ReadBytes(*pty_, before.size()), before);

  pty_.reset();
  const std::vector<uint8_t> after = {27, 23, 19, 4};
  Queue(after);
  ASSERT_TRUE(WaitFor([&] { return !poster_.messages().empty(); }));
  // Given up under both names: no handle names it, and it closed (nobody holds it).
  EXPECT_FALSE(shared().PttComHandle.IsOpen());
  EXPECT_FALSE(shared().ExchangeComHandle.IsOpen());
  EXPECT_TRUE(WaitFor([&] { return port.expired(); }));
  EXPECT_EQ(log_.Count("close " + settings_.ComPorts[kCom]), 1);
  EXPECT_TRUE(Free(shared().PttPortSemaphore));
  EXPECT_TRUE(Free(shared().ExchangePortSemaphore));
  // Later bytes wait; the one that failed waits with them.
  const std::vector<uint8_t> later = {1, 14, 31};
  Queue(later);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(shared().ComBytes.Pending(), after.size() + later.size());
  // Posted once by the writer, shown once by the GUI thread.
  EXPECT_EQ(poster_.messages(), std::vector<uint32_t>{WM_COM_WRITE_ERROR});
  EXPECT_NE(poster_.threads().front(), std::this_thread::get_id());
  EXPECT_FALSE(log_.Has("box Write to COM-port error! (5)|" + ComWriteErrorText(EIO)));
  std::thread::id shownOn;
  boxes_.onBox = [&] { shownOn = std::this_thread::get_id(); };
  ports_->ShowComWriteError();
  ports_->ShowComWriteError();
  EXPECT_EQ(log_.Count("box Write to COM-port error! (5)|" + ComWriteErrorText(EIO)), 1);
  EXPECT_EQ(ComWriteErrorText(EIO), "Input/output error");
  EXPECT_EQ(shownOn, std::this_thread::get_id());

  // The cable is back (here: a new pty for the COM port) and the mode changes: the port opens
  // again and the waiting bytes go out in order.
  test::PtyPair again;
  settings_.ComPorts[kCom] = again.slavePath();
  ports_->ReopenPorts();
  std::vector<uint8_t> waiting = after;
  waiting.insert(waiting.end(), later.begin(), later.end());
  EXPECT_EQ(ReadBytes(again, waiting.size()), waiting);
  EXPECT_EQ(poster_.messages().size(), 1u);
}

// Codes 0..31 are a keyer's commands (0x18 its PTT): bytes left in the ring from a COM port
// must never reach a keyer chosen afterwards.
TEST_F(ComWriterTest, NoRingByteReachesAWinKeyKeyer) {
  test::WinKeyEmulator keyer;
  ASSERT_TRUE(keyer.ok());
  settings_.ComPorts[7] = keyer.path();
  TWinKey winKey(settings_, shared().PttComHandle, TWinKey::Links{&boxes_, &lines_});
  WinKeyHooks hooks(winKey, nullptr);
  TPttPorts ports(settings_, io_, workers_.shared(),
                  PttPortsLinks{&boxes_, &hooks, &lines_, {}, &useTxD_, &modem_});
  StartWorkers();
  const std::vector<uint8_t> pending = {0x18, 0x01, 0x00, 0x03, 0x18, 0x00};
  Queue(pending);
  ports.SetPttPort(6, 7, 1, 0, 0);
  ASSERT_TRUE(winKey.IsOpen());
  EXPECT_FALSE(ports.KeyingPortOpen());
  ports.SetPtt(true);
  ports.SetPtt(false);
  ports.ClosePorts();
  ASSERT_TRUE(keyer.WaitForClose());
  const std::vector<uint8_t> expected = {0x13, 0x13, 0x13, 0x13, 0x13, 0x00, 0x0A, 0x00, 0x04, 'S', 0x00,
                                         0x02, 0x09, 0x48, 0x0E, 0x46, 0x05, 0x05, 0x5E, 0x7F,
                                         // keyed, unkeyed, unkeyed again by the close
                                         0x18, 0x01, 0x18, 0x00, 0x18, 0x00, 0x00, 0x03};
  EXPECT_EQ(keyer.Bytes(), expected);
  EXPECT_EQ(shared().ComBytes.Pending(), pending.size());
  // A COM port chosen later gets them.
  ports.SetPttPort(1, kCom, 2, 0, 0);
  EXPECT_EQ(ReadBytes(*pty_, pending.size()), pending);
}

// The keying port as the transmit pump sees it.
class PortsKeying : public TxKeyingPort {
 public:
  explicit PortsKeying(TPttPorts& ports) : ports_(ports) {}
  bool KeyingPortOpen() const override { return ports_.KeyingPortOpen(); }
  void WriteTxdByte(uint8_t code) override { ports_.WriteTxdByte(code); }

 private:
  TPttPorts& ports_;
};

// An RTTY transmission keys the TxD line with the codes its audio carries: the program's own
// receiver reads them back from the audio, our Baudot decoder reads the line's bytes back
// into the text.
TEST_F(ComWriterTest, AnRttyTransmissionKeysTheTxdLineWithTheCodesOfItsAudio) {
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  auto engine = std::make_unique<TEngine>(window, sink);
  // These ports follow the engine's own mode record and UseTxD.
  ports_.reset();
  TPttPorts ports(settings_, io_, workers_.shared(),
                  PttPortsLinks{&boxes_, &hooks_, &lines_, {}, &engine->tx.UseTxD, &engine->params});
  PortsKeying keying(ports);
  test::FakeTxLinks links(engine->txBuffers);
  TxPumpLinks pumpLinks = links.Links();
  pumpLinks.keying = &keying;
  engine->txPump.Connect(pumpLinks);
  engine->tx.UseTxD = true;
  ports.SetPttPort(1, kCom, 2, 0, 0);
  StartWorkers();
  // The line: 45 Bd, five data bits, 1.5 stop bits (a pty keeps the rate and the stop bits;
  // the size was asked of the driver).
  const termios2 t = pty_->SlaveSettings();
  EXPECT_EQ(t.c_ospeed, 45u);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(lines_.lastFormat(), (SerialFormat{45, 5, SerialStopBits::kOneAndHalf, SerialParity::kNone}));

  const std::string text = "CQ DE XX0XXX 599 73 AB1 2-?";
  links.sound.OpenSoundOutput();
  test::StartTransmission(*engine, text);
  engine->txPump.PumpTxAudio();
  while (engine->tx.TxState != 0 && links.sound.Complete()) engine->txPump.PumpTxAudio();
  ASSERT_EQ(engine->tx.TxState, 0);

  // What the line carried: LTRS LTRS, the text with its shifts, LTRS.
  // (The helper's codes begin with the LTRS of a receiver in no known register.)
  std::vector<int> expected = {kBaudotLtrs};
  for (int c : test::BaudotCodesOf(text, 0)) expected.push_back(c);
  expected.push_back(kBaudotLtrs);
  const std::vector<uint8_t> line = ReadBytes(*pty_, expected.size());
  EXPECT_EQ(std::vector<int>(line.begin(), line.end()), expected);
  EXPECT_TRUE(std::find(line.begin(), line.end(), kBaudotFigs) != line.end());

  // The audio's codes, as the receiver of the program finds them (a decoder in a byte mode
  // hands the 5-bit codes on as they are).
  SineTable sine;
  TModemParams rxParams;
  rxParams.Mode = kModeAscii8;
  test::FakeRxSink rx;
  TBaudotDecoder raw(rxParams, rx);
  TRttyDecoder decoder(sine, rxParams, window, raw);
  decoder.Start();
  ASSERT_TRUE(decoder.SetBaud(45.45, 0));
  ASSERT_TRUE(decoder.SetDataBits(5));
  decoder.SetTones(engine->params.TxTone[0], engine->params.TxTone[1]);
  std::vector<float> audio(2048, 0.0f);
  for (int16_t s : links.sound.Stream()) audio.push_back(s);
  decoder.ProcessBlock(audio, true);
  EXPECT_EQ(std::vector<uint8_t>(rx.text.begin(), rx.text.end()), line);

  test::FakeRxSink read;
  TModemParams rtty;
  TBaudotDecoder baudot(rtty, read);
  for (uint8_t code : line) baudot.PutBaudotChar(code);
  EXPECT_EQ(read.text, text);
}

// A real UART, named by VESTREL_TEST_SERIAL (for example /dev/ttyUSB0, or /dev/ttyS0 with an
// FSK interface on it): RTTY on its TxD line is 45 Bd with five data bits and 1.5 stop bits as
// the driver reports it, and queued codes leave through the UART. Skipped without one.
TEST_F(ComWriterTest, RealPortTxdLineAt45BaudFiveBitsOneAndAHalfStop) {
  const char* path = std::getenv("VESTREL_TEST_SERIAL");
  if (path == nullptr) GTEST_SKIP() << "VESTREL_TEST_SERIAL names no serial port";
  settings_.ComPorts[kCom] = path;
  ports_->SetPttPort(1, kCom, 2, 0, 0);
  const std::shared_ptr<SerialPort> port = shared().PttComHandle.Get();
  ASSERT_NE(port, nullptr) << path << ": " << log_.Entries().back();
  SerialFormat f;
  ASSERT_TRUE(port->ReadFormat(f));
  EXPECT_EQ(f, (SerialFormat{45, 5, SerialStopBits::kOneAndHalf, SerialParity::kNone}));
  StartWorkers();
  Queue({31, 31, 14, 15, 1});  // LTRS LTRS C Q E... as an FSK interface would see them
  ASSERT_TRUE(WaitFor([&] { return shared().ComBytes.Pending() == 0; }));
  int pending = -1;
  ASSERT_TRUE(WaitFor([&] { return ioctl(port->fd(), TIOCOUTQ, &pending) == 0 && pending == 0; }));
  EXPECT_TRUE(poster_.messages().empty());
}

}  // namespace
}  // namespace vestrel
