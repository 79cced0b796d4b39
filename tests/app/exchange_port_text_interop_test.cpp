// ctest-labels: gui interop
// End to end through the window: minimodem's RTTY through ALSA's file plug-in is decoded, and
// the peer at the other end of a socat pty pair, whose first end is the window's data-exchange
// port, reads the characters decoded. The peer's own text reaches the window's text pump.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/rx_form.h"
#include "support/child_process.h"
#include "support/fake_sound_links.h"
#include "support/minimodem_capture.h"
#include "support/pty_pair.h"
#include "support/recording_form.h"
#include "support/recording_form_parts.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kSent = "CQ CQ DE XX0XXX XX0XXX PSE K\n";

// Counts the window's calls of the text pump, and pulls the exchange text as the pump does.
class PumpRecorder final : public TransmitPart {
 public:
  void PumpTxText() override {
    if (port != nullptr) port->PullExchangeText([this](const std::string& t) { text += t; });
  }
  ExchangePortPart* port = nullptr;
  std::string text;
};

// The macro language's stand-in: "~[mycall]" is the own call.
class CallMacro final : public MacroPart {
 public:
  bool ExpandMacroEscape(std::string& text) override {
    const size_t at = text.find("~[mycall]");
    if (at == std::string::npos) return false;
    text.replace(at, 9, "XX0XXX");
    return true;
  }
};

TEST(ExchangePortTextInterop, DecodedTextReachesThePeerAndThePeersTextThePump) {
  for (const char* tool : {"minimodem", "sox", "socat"}) {
    if (!test::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  test::TempDir dir;
  ASSERT_EQ(test::UseMinimodemRttyCapture(dir.path(), kSent), "");

  const std::string a = (dir / "A").string(), b = (dir / "B").string();
  test::ChildProcess socat({"socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b});
  ASSERT_TRUE(socat.Started());
  for (int i = 0; i < 200 && !(fs::exists(a) && fs::exists(b)); ++i) QTest::qWait(10);
  ASSERT_TRUE(fs::exists(b));
  // The peer's end, read and written by the test.
  const int peer = ::open(b.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(peer, 0);

  const fs::path ini = dir / "VESTREL.INI";
  std::ofstream(ini, std::ios::binary) << "[RTTY]\r\nExCanal=0\r\nExchangePortNumber=5\r\nExchangeSpeed=19200\r\n"
                                       << "[ComPorts]\r\nCOM5=" << a << "\r\n";

  test::ScopedWorkingDir cwd;
  test::TestApp();
  test::RecordingMessageBox boxes;
  PumpRecorder pump;
  CallMacro macros;
  TRxFormDeps deps;
  deps.macros = &macros;
  deps.boxes = &boxes;
  deps.transmit = &pump;
  deps.useDBus = false;
  deps.args = {"/F", ini.string()};
  deps.presenceName = test::UniqueSemaphoreName("exchange");
  {
    TRxForm form(std::move(deps));
    pump.port = &form.exchangePort();
    for (int i = 0; i < 200 && !form.EngineStarted; ++i) QTest::qWait(50);
    ASSERT_TRUE(form.EngineStarted);
    ASSERT_TRUE(form.exchangePort().IsOpen());
    std::string got;
    for (int i = 0; i < 600 && got.find("PSE K") == std::string::npos; ++i) {
      QTest::qWait(50);
      char buf[256];
      for (ssize_t n; (n = ::read(peer, buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
    }
    QTest::qWait(500);
    char buf[256];
    for (ssize_t n; (n = ::read(peer, buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
    EXPECT_EQ(got, kSent);

    // The peer's text, line ends normalised and its macro word expanded, reaches the pump.
    const std::string text = "73 de ~[mycall]\r\nsk\n";
    ASSERT_EQ(::write(peer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    for (int i = 0; i < 100 && pump.text.size() < 18; ++i) QTest::qWait(50);
    EXPECT_EQ(pump.text, "73 de XX0XXX\r\nsk\r\n");
    EXPECT_TRUE(boxes.shown.empty());
    form.close();
    sem_unlink(form.presence().name().c_str());
  }
  ::close(peer);
}

}  // namespace
}  // namespace vestrel
