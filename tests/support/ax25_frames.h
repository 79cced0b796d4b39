#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vestrel::test {

// AX.25 frames built the way the standard lays them out, independently of the program: each
// address is six characters shifted left by one (padded with spaces), then the SSID byte
// 0b CRR SSID E (C the command/response bit, RR = 11, E the extension bit of the last address).
struct Ax25Address {
  std::string call;  // up to six characters
  int ssid = 0;
  bool cBit = false;
};

// Address field, control byte, and, when withPid, the PID and the information bytes.
std::vector<uint8_t> BuildAx25Frame(const Ax25Address& dest, const Ax25Address& src,
                                    const std::vector<Ax25Address>& digis, uint8_t control, bool withPid,
                                    uint8_t pid, std::string_view info);

// A packet in the usual monitor notation, "SRC-s>DEST,DIGI1,DIGI2:information" (an SSID of 0
// may be left out): the parts. False when the text is no such packet.
struct MonitorText {
  Ax25Address src, dest;
  std::vector<Ax25Address> digis;
  std::string info;
};
bool ParseMonitorText(std::string_view text, MonitorText& out);

// A UI command frame with PID F0 (what a beacon or an APRS packet is).
std::vector<uint8_t> BuildUiFrame(std::string_view src, std::string_view dest, std::string_view info,
                                  const std::vector<std::string>& digis = {});

// The frame followed by its two check bytes, low first (CRC-16/X.25 computed bit by bit here).
std::vector<uint8_t> WithCheckBytes(std::vector<uint8_t> frame);

// The KISS data frame of a frame without its check bytes: C0 00, escaped bytes, C0.
std::vector<uint8_t> KissOf(const std::vector<uint8_t>& frame);

// The packet items the exchange parser queues for a frame: flag, bytes, check bytes, flag.
std::vector<int16_t> ItemsOf(const std::vector<uint8_t>& frame);

// A frame of n bytes (without check bytes) with a valid address field and random contents that
// also hold 0xC0, 0xDB, 0x7E and runs of 0xFF.
std::vector<uint8_t> RandomAx25Frame(size_t n, std::mt19937& rng);

}  // namespace vestrel::test
