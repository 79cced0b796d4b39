// The port-I/O component over a register file and a /proc tree of the test's own.
#include "io/port_io.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/fake_keying.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

class PortIOTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::remove_all(root_); }
  void TearDown() override { fs::remove_all(root_); }
  // The ports the system has, as /proc lists them.
  void Ports(const std::vector<ParportEntry>& ports) { test::WriteParportTree(root_, ports); }

  const fs::path root_ = fs::temp_directory_path() / ("vestrel-portio-" + std::to_string(getpid()));
  test::KeyingLog log_;
  test::FakePortBackend backend_{log_, root_.string()};
  TPortIO io_{backend_};
};

TEST_F(PortIOTest, OpensTheFirstPortAndChoosesOthersByTheirPlaceInTheTable) {
  // parport0 at 0x378, parport1 at 0x278: with no gap, the n-th port is the n-th entry.
  Ports({{0, 0x378}, {1, 0x278}});
  ASSERT_TRUE(io_.OpenDriver());
  EXPECT_TRUE(io_.Active());
  EXPECT_EQ(io_.PortCount(), 2);
  EXPECT_EQ(io_.BaseAddress(), 0x378);
  EXPECT_EQ(io_.LPTNumber(), 1);
  EXPECT_EQ(backend_.openPort(), 0);
  EXPECT_TRUE(io_.SetLPTNumber(2));
  EXPECT_EQ(io_.BaseAddress(), 0x278);
  EXPECT_EQ(backend_.openPort(), 1);
  for (int n : {0, 3, -1}) {
    EXPECT_FALSE(io_.SetLPTNumber(n)) << n;
    EXPECT_EQ(io_.LPTNumber(), 2);
    EXPECT_EQ(io_.BaseAddress(), 0x278);
  }
  EXPECT_TRUE(io_.OpenDriver());  // already open: nothing changes
  EXPECT_EQ(io_.LPTNumber(), 2);
  io_.CloseDriver();
  EXPECT_FALSE(io_.Active());
  EXPECT_EQ(backend_.openPort(), -1);
}

TEST_F(PortIOTest, ASecondPortAfterAGapIsStillTheSecond) {
  // A machine with parport0 and parport2 only: LPT2 is parport2, not a hole at address 0.
  Ports({{0, 0x378}, {2, 0x278}});
  ASSERT_TRUE(io_.OpenDriver());
  EXPECT_EQ(io_.PortCount(), 2);
  ASSERT_TRUE(io_.SetLPTNumber(2));
  EXPECT_EQ(io_.BaseAddress(), 0x278);
  EXPECT_EQ(backend_.openPort(), 2);
  EXPECT_FALSE(io_.SetLPTNumber(3));
}

TEST_F(PortIOTest, NoPortIsAFailedOpen) {
  fs::create_directories(root_);  // /proc without a parport entry
  EXPECT_FALSE(io_.OpenDriver());
  EXPECT_FALSE(io_.Active());
  Ports({{0, 0x378}});
  backend_.claimable = false;  // held by another driver past the wait, or no permission
  EXPECT_FALSE(io_.OpenDriver());
  EXPECT_FALSE(io_.Active());
}

TEST_F(PortIOTest, AnInactiveComponentTouchesNothing) {
  EXPECT_EQ(io_.GetPortB(0x378), 0xFF);
  EXPECT_FALSE(io_.GetPin(11));
  io_.SetPortB(0x378, 1);
  io_.SetPin(2, true);
  io_.LPTStrobe();
  io_.LPTInit();
  EXPECT_FALSE(io_.SetLPTNumber(1));
  EXPECT_FALSE(io_.SelectBaseAddress(0x378));
  EXPECT_TRUE(log_.Entries().empty());
}

TEST_F(PortIOTest, PortsAreFoundByTheirBaseAddress) {
  Ports({{0, 0x378}, {1, 0x278}});
  ASSERT_TRUE(io_.OpenDriver());
  EXPECT_TRUE(io_.SelectBaseAddress(0x278));
  EXPECT_EQ(io_.LPTNumber(), 2);
  EXPECT_TRUE(io_.SelectBaseAddress(0x378));
  EXPECT_EQ(io_.LPTNumber(), 1);
  EXPECT_EQ(backend_.openPort(), 0);
  EXPECT_FALSE(io_.SelectBaseAddress(0x3BC));
  EXPECT_EQ(io_.BaseAddress(), 0x378);
}

TEST_F(PortIOTest, OnlyTheChosenPortsRegistersAreReached) {
  Ports({{0, 0x378}});
  ASSERT_TRUE(io_.OpenDriver());
  backend_.regs[0] = {0x00, 0x78, 0x0C};
  EXPECT_EQ(io_.GetPortB(0x379), 0x78);
  EXPECT_EQ(io_.Shadow(1), 0x78);
  io_.SetPortB(0x37A, 0x0D);
  EXPECT_EQ(backend_.regs[0][2], 0x0D);
  EXPECT_EQ(io_.Shadow(2), 0x0D);
  EXPECT_EQ(io_.GetPortB(0x377), 0xFF);
  EXPECT_EQ(io_.GetPortB(0x37B), 0xFF);
  io_.SetPortB(0x3BC, 0x55);
  EXPECT_EQ(log_.Entries(), (std::vector<std::string>{"claim 0", "C=13"}));
}

TEST_F(PortIOTest, PinsFollowTheConnectorWithItsInvertedLines) {
  Ports({{0, 0x378}});
  ASSERT_TRUE(io_.OpenDriver());
  io_.SetPin(1, true);  // strobe is inverted: level 1 clears control bit 0
  EXPECT_EQ(backend_.regs[0][2] & 0x01, 0);
  io_.SetPin(1, false);
  EXPECT_EQ(backend_.regs[0][2] & 0x01, 0x01);
  io_.SetPin(2, true);  // D0
  EXPECT_EQ(backend_.regs[0][0], 0x01);
  io_.SetPin(9, true);  // D7
  EXPECT_EQ(backend_.regs[0][0], 0x81);
  io_.SetPin(2, false);
  EXPECT_EQ(backend_.regs[0][0], 0x80);
  io_.SetPin(16, true);  // init is not inverted
  EXPECT_EQ(backend_.regs[0][2] & 0x04, 0x04);
  io_.SetPin(17, true);  // select-in is
  EXPECT_EQ(backend_.regs[0][2] & 0x08, 0);
  io_.SetPin(0, true);
  io_.SetPin(18, true);
  EXPECT_EQ(backend_.regs[0][2], 0x05);

  // Status pins read back as electrical levels: 11 (busy) is inverted in the register.
  struct Row {
    uint8_t status;
    int pin;
    bool level;
  };
  const Row rows[] = {{0x40, 10, true}, {0x00, 10, false}, {0x80, 11, false}, {0x00, 11, true},
                      {0x20, 12, true}, {0x10, 13, true},  {0x08, 15, true},  {0x00, 15, false}};
  for (const Row& r : rows) {
    backend_.regs[0][1] = r.status;
    EXPECT_EQ(io_.GetPin(r.pin), r.level) << r.pin << " " << int(r.status);
  }
  backend_.regs[0][1] = 0x00;
  EXPECT_TRUE(io_.GetLPTAckwl());  // pin 10 low
  EXPECT_TRUE(io_.GetLPTBusy());   // pin 11 high
  EXPECT_FALSE(io_.GetLPTPaperEnd());
  EXPECT_TRUE(io_.GetLPTSlct());
  EXPECT_TRUE(io_.GetLPTError());
  EXPECT_FALSE(io_.GetPin(0));
  EXPECT_FALSE(io_.GetPin(18));
}

TEST_F(PortIOTest, StrobeInitAndSelectPulseTheControlRegister) {
  Ports({{0, 0x378}});
  ASSERT_TRUE(io_.OpenDriver());
  io_.LPTStrobe();
  io_.LPTInit();
  io_.LPTAutofd(true);  // pin 14 low: control bit 1 set (inverted line)
  io_.LPTSlctIn();
  EXPECT_EQ(log_.Entries(),
            (std::vector<std::string>{"claim 0", "C=1", "C=0", "C=0", "C=4", "C=6", "C=2", "C=2"}));
}

}  // namespace
}  // namespace vestrel
