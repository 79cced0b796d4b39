// ctest-labels: integration tsan
// The WinKey keyer against a keyer of the test's own: a thread on the master end of a pty that
// answers as the keyer does. Its port's modem lines and asked formats go to a recording fake.
#include "io/win_key.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/fake_keying.h"
#include "support/win_key_emulator.h"

namespace vestrel {
namespace {

using Behaviour = test::WinKeyEmulator::Behaviour;
constexpr int kCom = 6;

std::vector<uint8_t> HandshakeWith(uint8_t pins) {
  return {0x13, 0x13, 0x13, 0x13, 0x13, 0x00, 0x0A, 0x00, 0x04, 'S',
          0x00, 0x02, 0x09, pins, 0x0E, 0x46, 0x05, 0x05, 0x5E, 0x7F};
}

class WinKeyTest : public ::testing::Test {
 protected:
  void Use(const std::string& device) {
    settings_.PttPortType = 6;
    settings_.PttPortNumber = kCom;
    settings_.ComPorts[kCom] = device;
  }

  test::KeyingLog log_;
  test::RecordingLines lines_{log_};
  test::RecordingBoxes boxes_{log_};
  KeyingPortSettings settings_;
  ComHandle handle_;
  TWinKey key_{settings_, handle_, TWinKey::Links{&boxes_, &lines_}};
};

TEST_F(WinKeyTest, OpenBringsTheKeyerIntoHostModeAt1200Baud8N1AndSetsItsPttPin) {
  struct Row {
    int32_t pttPin;
    uint8_t pins;
  };
  for (const Row r : {Row{1, 0x48}, Row{2, 0x44}, Row{0, 0x44}}) {
    SCOPED_TRACE(r.pttPin);
    test::WinKeyEmulator keyer;
    ASSERT_TRUE(keyer.ok());
    Use(keyer.path());
    settings_.PttPin = r.pttPin;
    const size_t mark = log_.Entries().size();
    ASSERT_EQ(key_.Open(), TWinKey::kOpened);
    EXPECT_TRUE(key_.IsOpen());
    const std::vector<uint8_t> expected = HandshakeWith(r.pins);
    EXPECT_EQ(keyer.WaitForBytes(expected.size()), expected);
    EXPECT_TRUE(keyer.AllAt1200With1Stop());
    EXPECT_EQ(lines_.lastFormat(), (SerialFormat{1200, 8, SerialStopBits::kOne, SerialParity::kNone}));
    // DTR powers the keyer; RTS stays off. A pty has neither line: that is no failure.
    const std::vector<std::string> entries = log_.Entries();
    EXPECT_EQ(std::vector<std::string>(entries.begin() + static_cast<long>(mark), entries.end()),
              (std::vector<std::string>{"open " + keyer.path(), "DTR 1", "RTS 0"}));
    // The keying port's handle, but no TxD line: the COM writer never writes to a keyer.
    EXPECT_TRUE(handle_.IsOpen());
    EXPECT_EQ(handle_.GetTxdLine(), nullptr);

    keyer.Clear();
    EXPECT_EQ(key_.SetPtt(true), TWinKey::kWritten);
    EXPECT_EQ(key_.SetPtt(false), TWinKey::kWritten);
    key_.Close();
    ASSERT_TRUE(keyer.WaitForClose());
    EXPECT_EQ(keyer.Bytes(), (std::vector<uint8_t>{0x18, 0x01, 0x18, 0x00, 0x00, 0x03}));
    EXPECT_FALSE(handle_.IsOpen());
    EXPECT_FALSE(key_.IsOpen());
    key_.Close();  // closed: nothing more
    EXPECT_FALSE(log_.Has("box " + std::string(TPttPorts::kComCaption) + "|WinKey doesn't answer!"));
  }
}

TEST_F(WinKeyTest, BeforeAnOpenNothingIsSentAndAnotherTypeOpensNothing) {
  test::WinKeyEmulator keyer;
  Use(keyer.path());
  EXPECT_EQ(key_.SetPtt(true), 0);
  EXPECT_EQ(key_.WriteByte(0x18), TWinKey::kNoPort);
  key_.Close();
  settings_.PttPortType = 1;
  EXPECT_EQ(key_.Open(), TWinKey::kNotWinKey);
  EXPECT_FALSE(handle_.IsOpen());
  EXPECT_EQ(settings_.PttPortType, 1);
  EXPECT_TRUE(log_.Entries().empty());
  EXPECT_TRUE(keyer.Bytes().empty());
}

// Every failure shows its message, closes the port and leaves no keying (type 0).
TEST_F(WinKeyTest, KeyerFaultsGiveTheirCodeAndMessageAndNoKeying) {
  const std::string noAnswer = "WinKey doesn't answer!";
  const std::string writing = "Writing to WinKey port error!";
  struct Row {
    const char* what;
    bool device;  // false: the port does not exist
    Behaviour behaviour;
    std::vector<int> codes;  // any of these
    std::string text;
  };
  const Row rows[] = {
      {"silent", true, Behaviour::kSilent, {8}, noAnswer},
      {"answers X", true, Behaviour::kWrongEcho, {8}, noAnswer},
      {"never answers host open", true, Behaviour::kNoHostAnswer, {10}, noAnswer},
      {"no such port", false, Behaviour::kKeyer, {2}, "COM-port open error!"},
      {"gone during the handshake", true, Behaviour::kGoneAtOpen, {7, 9}, writing},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    test::WinKeyEmulator keyer(r.behaviour);
    Use(r.device ? keyer.path() : "/dev/vestrel-no-such-keyer");
    log_.Clear();
    const int code = key_.Open();
    EXPECT_NE(std::find(r.codes.begin(), r.codes.end(), code), r.codes.end()) << code;
    EXPECT_EQ(TWinKey::Text(code), r.text);
    EXPECT_TRUE(log_.Has("box " + std::string(TPttPorts::kComCaption) + "|" + r.text));
    EXPECT_EQ(settings_.PttPortType, 0);
    EXPECT_FALSE(key_.IsOpen());
    EXPECT_FALSE(handle_.IsOpen());
    if (r.device) {
      EXPECT_TRUE(keyer.WaitForClose());
    }
    // Nothing is sent once the open has failed.
    const size_t got = keyer.Bytes().size();
    EXPECT_EQ(key_.SetPtt(true), 0);
    key_.Close();
    EXPECT_EQ(keyer.Bytes().size(), got);
  }
  // The two that cannot arise here keep their texts; the time-outs' has a caption of its own.
  EXPECT_STREQ(TWinKey::Text(TWinKey::kSetupError), "SetupComm error!");
  EXPECT_STREQ(TWinKey::Caption(TWinKey::kTimeoutsError), "Tandel - COM-port error");
  EXPECT_STREQ(TWinKey::Caption(TWinKey::kSetupError), TPttPorts::kComCaption);
}

// Through the port code, as the program keys it: a port change unkeys, ends host mode, and
// only then closes the port.
TEST_F(WinKeyTest, APortChangeEndsHostModeBeforeTheClose) {
  test::WinKeyEmulator keyer;
  settings_.ComPorts[kCom] = keyer.path();
  test::FakePortBackend backend(log_);
  TPortIO io(backend);
  auto shared = std::make_shared<WorkerShared>();
  TWinKey key(settings_, shared->PttComHandle, TWinKey::Links{&boxes_, &lines_});
  WinKeyHooks hooks(key, nullptr);
  bool useTxD = true;
  TPttPorts ports(settings_, io, shared, PttPortsLinks{&boxes_, &hooks, &lines_, {}, &useTxD, nullptr});
  ports.SetPttPort(6, kCom, 2, 0, 0);
  ASSERT_TRUE(key.IsOpen());
  EXPECT_FALSE(ports.KeyingPortOpen());
  keyer.WaitForBytes(HandshakeWith(0x44).size());
  keyer.Clear();
  ports.SetPtt(true);
  ports.SetPttPort(0, 1, 0, 0, 0);
  ASSERT_TRUE(keyer.WaitForClose());
  EXPECT_EQ(keyer.Bytes(), (std::vector<uint8_t>{0x18, 0x01, 0x18, 0x00, 0x00, 0x03}));
  EXPECT_FALSE(shared->PttComHandle.IsOpen());
  EXPECT_FALSE(key.IsOpen());
}

}  // namespace
}  // namespace vestrel
