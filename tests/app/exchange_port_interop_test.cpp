// ctest-labels: interop
// The data-exchange port against direwolf's kissutil over a pty pair made by socat, the way a
// user links two programs: A is the exchange port, kissutil holds B.
//   outbound: gen_packets audio through the packet receiver leaves as KISS, and kissutil
//             shows each frame's monitor line;
//   inbound:  a line dropped into kissutil's transmit directory arrives as a KISS frame, is
//             queued and transmitted, and atest decodes the audio to the same line; "d 30" sets
//             TXDELAY to 300 ms.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/exchange_port.h"
#include "engine/engine.h"
#include "engine/mode_number.h"
#include "io/exchange_port.h"
#include "support/child_process.h"
#include "support/fake_engine_window.h"
#include "support/fake_keying.h"
#include "support/fake_rx_sink.h"
#include "support/packet_engine.h"
#include "support/packet_transmission.h"
#include "support/queue_poster.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ShellQuote;
constexpr int kCom = 11;

class ExchangeKissInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* p : {"socat", "kissutil", "gen_packets", "atest", "sox"})
      if (!test::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
    // kissutil keeps only 29 characters of its -p path.
    dir_ = "/tmp/vx" + std::to_string(getpid());
    fs::remove_all(dir_);
    fs::create_directories(dir_ + "/tx");
    fs::create_directories(dir_ + "/rx");
    socat_ = std::make_unique<test::ChildProcess>(std::vector<std::string>{
        "socat", "pty,raw,echo=0,link=" + dir_ + "/A", "pty,raw,echo=0,link=" + dir_ + "/B"});
    ASSERT_TRUE(socat_->Started());
    for (int i = 0; i < 200 && !(fs::exists(dir_ + "/A") && fs::exists(dir_ + "/B")); ++i)
      std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(dir_ + "/B"));
    ASSERT_TRUE(workers_.CreateExTxEvent());
    shared_ = workers_.shared();
    shared_->SetPoster(&poster_);
    settings_.ComPorts[kCom] = dir_ + "/A";
    settings_.ExchangeSpeed = 9600;
    kissMode_.Mode = kModeAx25Uhf;
    port_.Connect({shared_, &boxes_, &poster_, nullptr, nullptr, &kissMode_, &isKiss_, &sender_.fifo,
                   &sender_.channel, nullptr});
    PttPortsLinks links;
    links.boxes = &boxes_;
    links.hooks = &port_;
    ports_ = std::make_unique<TPttPorts>(settings_, io_, shared_, links);
    port_.AttachPorts(ports_.get());
    workers_.StartExchangeThreads();
    ports_->SetDataExchangePort(kCom);
    ASSERT_TRUE(port_.IsOpen());
    kissutil_ = std::make_unique<test::ChildProcess>(std::vector<std::string>{
        "kissutil", "-p", dir_ + "/B", "-s", "9600", "-f", dir_ + "/tx", "-o", dir_ + "/rx"});
    ASSERT_TRUE(kissutil_->Started());
    // Bytes that reach B before kissutil has opened it are lost to it.
    const fs::path device = fs::canonical(dir_ + "/B");
    const fs::path fds = "/proc/" + std::to_string(kissutil_->Pid()) + "/fd";
    auto opened = [&] {
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(fds, ec))
        if (fs::read_symlink(e.path(), ec) == device) return true;
      return false;
    };
    for (int i = 0; i < 500 && !opened(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(opened()) << "kissutil did not open " << device;
    // It sets the line up after the open.
    std::this_thread::sleep_for(200ms);
  }
  void TearDown() override {
    kissutil_.reset();
    test::StopWorkers(workers_);
    if (ports_) ports_->Shutdown(1000ms);
    if (shared_) shared_->SetPoster(nullptr);
    socat_.reset();
    fs::remove_all(dir_);
  }
  void Pump(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
      if (poster_.Next(100ms) == WM_EXCHANGE_INPUT) port_.TakePortInput();
    }
  }
  // The contents of every file kissutil wrote into its receive directory.
  std::vector<std::string> Received() const {
    std::vector<std::string> lines;
    for (const auto& e : fs::directory_iterator(dir_ + "/rx")) lines.push_back(test::ReadWholeFile(e.path()));
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  std::string dir_;
  std::unique_ptr<test::ChildProcess> socat_;
  std::unique_ptr<test::ChildProcess> kissutil_;
  test::KeyingLog log_;
  test::FakePortBackend backend_{log_};
  TPortIO io_{backend_};
  test::RecordingBoxes boxes_{log_};
  KeyingPortSettings settings_;
  SerialWorkers workers_;
  std::shared_ptr<WorkerShared> shared_;
  test::QueuePoster poster_;
  TModemParams kissMode_;
  int32_t isKiss_ = 1;
  test::PacketTransmission sender_{test::PacketTxOptions{}};
  TExchangePort port_;
  std::unique_ptr<TPttPorts> ports_;
};

TEST_F(ExchangeKissInterop, ReceivedFramesLeaveAsKiss) {
  const std::vector<std::string> lines = {"N0CALL>APRS:Hello from the air", "WB2OSZ-1>APDW12,WIDE2-2:!4237.14NS07120.83W#"};
  const std::string msgs = dir_ + "/msgs.txt", wav = dir_ + "/gen.wav", raw = dir_ + "/gen.raw";
  {
    std::ofstream f(msgs);
    for (const auto& l : lines) f << l << "\n";
  }
  ASSERT_EQ(test::RunTool("gen_packets -r 11025 -o " + ShellQuote(wav) + " " + ShellQuote(msgs)).exitCode, 0);
  ASSERT_EQ(test::RunTool("sox " + ShellQuote(wav) + " -t raw -e signed -b 16 -c 1 -L " + ShellQuote(raw)).exitCode,
            0);
  const std::string bytes = test::ReadWholeFile(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  samples.resize(samples.size() + 11025, 0);

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  auto engine = std::make_unique<TEngine>(window, sink);
  engine->rxBlocks.InputResampler.Setup(11025.0, 11025.0);
  engine->Start();
  test::SetPacketMode(*engine, kModeAx25Uhf);
  // kissutil names each file by the second it arrived in, so a second frame within the same
  // second would replace the first: each frame is let through a second after the one before.
  struct Spaced final : KissOutput {
    KissOutput* port = nullptr;
    int frames = 0;
    void WriteKiss(std::span<const uint8_t> kiss) override {
      if (frames++ > 0) std::this_thread::sleep_for(1100ms);
      port->WriteKiss(kiss);
    }
  } spaced;
  spaced.port = port_.Kiss();
  engine->packetOutput.SetExchangeOutputs(nullptr, &spaced);
  // As the sound card hands it over: a buffer at a time.
  for (size_t at = 0; at < samples.size(); at += 4096)
    engine->rxBlocks.PushCaptured(std::span<const int16_t>(samples).subspan(at, std::min<size_t>(4096, samples.size() - at)));
  auto all = [&] {
    std::string text;
    for (const auto& f : Received()) text += f;
    return text;
  };
  auto complete = [&] {
    const std::string text = all();
    for (const auto& l : lines)
      if (text.find("[0] " + l) == std::string::npos) return false;
    return true;
  };
  const auto end = std::chrono::steady_clock::now() + 15s;
  while (!complete() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(complete()) << "kissutil: " << all() << "\nreceive window: " << sink.text;
  EXPECT_EQ(spaced.frames, 2);
}

TEST_F(ExchangeKissInterop, KissutilFramesAreQueuedAndTransmitted) {
  const std::string line = "N0CALL>APRS,WIDE1-1:Sent through the exchange port";
  // kissutil takes files from its directory before its port is open (and then only says it
  // could not write): the file is dropped again until a frame arrives.
  for (int round = 0; round < 8 && sender_.fifo.FrameCount() == 0; ++round) {
    {
      std::ofstream f(dir_ + "/tx/a.tmp");
      f << "d 30\n" << line << "\n";
    }
    fs::rename(dir_ + "/tx/a.tmp", dir_ + "/tx/a" + std::to_string(round) + ".txt");
    Pump([&] { return sender_.fifo.FrameCount() == 1 && sender_.channel.PacketTxDelay.load() == 300; }, 3s);
  }
  ASSERT_EQ(sender_.fifo.FrameCount(), 1u);
  EXPECT_EQ(sender_.channel.PacketTxDelay.load(), 300);
  sender_.channel.UpdatePacketTiming(1200);
  std::vector<int16_t> audio = sender_.Transmit();
  audio.resize(audio.size() + 5512, 0);
  const std::string raw = dir_ + "/tx.raw", wav = dir_ + "/tx.wav";
  ASSERT_TRUE(test::WriteRawSamples(raw, audio));
  ASSERT_EQ(test::RunTool("sox -t raw -r 11025 -e signed -b 16 -c 1 -L " + ShellQuote(raw) + " " + ShellQuote(wav)).exitCode,
            0);
  const test::ToolResult r = test::RunTool("atest " + ShellQuote(wav));
  EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 packets decoded"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vestrel
