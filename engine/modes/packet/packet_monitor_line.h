#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace vestrel {

// The readable line of a received AX.25 frame (its bytes with the two check bytes):
// "\r\nSRC-s -> DST-s via DIGI-s , ... " then the control field (" UI^", " I52+", " RR3v", ...),
// then, when the frame carries more, " Pid=F0\r\n", the information bytes (below 32 shown as
// ".") and "\r\n". Calls are the address bytes shifted right by one, spaces left out. Empty for
// frames of fewer than 15 bytes. Only the data bytes (all but the last two) are read, whatever
// the address-extension bits say: a missing byte reads as 0, and the digipeater list stops when
// fewer than seven bytes remain.
std::string FormatPacketMonitorLine(std::span<const uint8_t> frame);

}  // namespace vestrel
