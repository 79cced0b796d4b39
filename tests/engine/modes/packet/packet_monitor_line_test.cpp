#include "engine/modes/packet/packet_monitor_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ax25_frames.h"

namespace vestrel {
namespace {

using test::Ax25Address;

std::string Line(const std::vector<uint8_t>& frameWithoutCheck) {
  return FormatPacketMonitorLine(test::WithCheckBytes(frameWithoutCheck));
}

TEST(PacketMonitorLineTest, UiCommandFrameWithPidF0) {
  EXPECT_EQ(Line(test::BuildUiFrame("N0CALL-7", "APRS", "Hello\x01world")),
            "\r\nN0CALL-7 -> APRS-0  UI^ Pid=F0\r\nHello.world\r\n");
}

TEST(PacketMonitorLineTest, Digipeaters) {
  EXPECT_EQ(Line(test::BuildUiFrame("N0CALL", "BEACON-3", "x", {"WIDE1-1", "WIDE2-2"})),
            "\r\nN0CALL-0 -> BEACON-3 via WIDE1-1 , WIDE2-2  UI^ Pid=F0\r\nx\r\n");
}

struct ControlCase {
  uint8_t control;
  bool destC, srcC;
  bool withPid;
  const char* text;  // what follows the addresses
};

// I, S and U frames with every mark: a command (destination C bit set) "^", "+" with P/F; a
// response "v", "-" with P/F; equal C bits " ", "!" with P/F.
const ControlCase kControls[] = {
    {0xA4, true, false, true, " I52^ Pid=F0\r\ninfo\r\n"},
    {0xF4, true, false, true, " I72+ Pid=F0\r\ninfo\r\n"},
    {0x41, false, true, false, " RR2v"},
    {0x51, false, true, false, " RR2-"},
    {0x25, true, false, false, " RNR1^"},
    {0xE9, false, true, false, " REJ7v"},
    {0x0D, true, true, false, " unknown S (0xd)0 "},
    {0x1D, false, false, false, " unknown S (0xd)0!"},
    {0x0F, false, true, false, " DMv"},
    {0x1F, false, true, false, " DM-"},
    {0x3F, true, false, false, " SABM+"},
    {0x53, true, false, false, " DISC+"},
    {0x73, false, true, false, " UA-"},
    {0x87, false, true, true, " FRMRv Pid=F0\r\ninfo\r\n"},
    {0xAF, true, false, false, " unknown U (0xaf)^"},
    {0x13, true, true, true, " UI! Pid=F0\r\ninfo\r\n"},
};

TEST(PacketMonitorLineTest, ControlFields) {
  for (const ControlCase& c : kControls) {
    SCOPED_TRACE(testing::Message() << "control 0x" << std::hex << int{c.control});
    const std::vector<uint8_t> f =
        test::BuildAx25Frame(Ax25Address{"DEST", 1, c.destC}, Ax25Address{"SRC", 2, c.srcC}, {}, c.control,
                             c.withPid, 0xF0, "info");
    EXPECT_EQ(Line(f), std::string("\r\nSRC-2 -> DEST-1 ") + c.text);
  }
}

// Short frames as the receiver delivers them (15 and 16 bytes with the check bytes): only the
// data bytes are read; the 15-byte frame has no source SSID byte, which then reads as 0.
TEST(PacketMonitorLineTest, ShortFrames) {
  const std::vector<uint8_t> full = test::BuildUiFrame("N0CALL-7", "APRS", "");
  ASSERT_EQ(full.size(), 16u);  // addresses, control, PID
  const auto prefix = [&](size_t n) { return std::vector<uint8_t>(full.begin(), full.begin() + n); };
  EXPECT_EQ(Line(prefix(12)), "");  // 14 with check bytes
  EXPECT_EQ(Line(prefix(13)), "\r\nN0CALL-0 -> APRS-0 ");
  EXPECT_EQ(Line(prefix(14)), "\r\nN0CALL-7 -> APRS-0 ");
  EXPECT_EQ(Line(prefix(15)), "\r\nN0CALL-7 -> APRS-0  UI^");
  EXPECT_EQ(Line(prefix(16)), "\r\nN0CALL-7 -> APRS-0  UI^ Pid=F0\r\n\r\n");
  EXPECT_EQ(FormatPacketMonitorLine({}), "");
}

// Address bytes whose extension bit never comes: the digipeater list stops while a whole address
// still fits among the data bytes, and what is left is read as control, PID and text.
TEST(PacketMonitorLineTest, AnAddressFieldWithoutEnd) {
  std::vector<uint8_t> f;
  for (int i = 0; i < 5; ++i) {
    for (char c : std::string("ABCDEF")) f.push_back(static_cast<uint8_t>(c << 1));
    f.push_back(static_cast<uint8_t>(0x60 | (i << 1)));  // extension bit clear
  }
  f.push_back(0x03);
  f.push_back(0xF0);
  f.push_back('z');
  // 38 data bytes: destination, source, three digipeaters, and three bytes left.
  EXPECT_EQ(Line(f), "\r\nABCDEF-1 -> ABCDEF-0 via ABCDEF-2 , ABCDEF-3 , ABCDEF-4  UI  Pid=F0\r\nz\r\n");
  f.resize(37);
  EXPECT_EQ(Line(f), "\r\nABCDEF-1 -> ABCDEF-0 via ABCDEF-2 , ABCDEF-3 , ABCDEF-4  UI  Pid=F0\r\n\r\n");
  f.resize(36);
  EXPECT_EQ(Line(f), "\r\nABCDEF-1 -> ABCDEF-0 via ABCDEF-2 , ABCDEF-3 , ABCDEF-4  UI ");
  f.resize(35);
  EXPECT_EQ(Line(f), "\r\nABCDEF-1 -> ABCDEF-0 via ABCDEF-2 , ABCDEF-3 , ABCDEF-4 ");
  f.resize(34);  // six bytes of the fifth address left: no digipeater; they read as an I
  EXPECT_EQ(Line(f), "\r\nABCDEF-1 -> ABCDEF-0 via ABCDEF-2 , ABCDEF-3  I41  Pid=84\r\n\x86\x88\x8A\x8C\r\n");
}

TEST(PacketMonitorLineTest, FillerSpacesAreLeftOutOtherBytesShown) {
  const std::vector<uint8_t> f = test::BuildUiFrame("AB", "C", "\x7F\x80\xFF ok");
  EXPECT_EQ(Line(f), "\r\nAB-0 -> C-0  UI^ Pid=F0\r\n\x7F\x80\xFF ok\r\n");
}

}  // namespace
}  // namespace vestrel
