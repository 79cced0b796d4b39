#include "support/ax25_frames.h"

#include <algorithm>
#include <cstddef>

namespace vestrel::test {

namespace {

void PutAddress(std::vector<uint8_t>& out, const Ax25Address& a, bool last) {
  std::string call = a.call.substr(0, 6);
  call.resize(6, ' ');
  for (char c : call) out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(c) << 1));
  out.push_back(static_cast<uint8_t>((a.cBit ? 0x80 : 0) | 0x60 | ((a.ssid & 0x0F) << 1) | (last ? 1 : 0)));
}

// The HDLC CRC bit by bit (polynomial 0x1021 reflected), a second implementation beside the
// table-driven one under test.
uint16_t BitwiseFcs(const std::vector<uint8_t>& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    for (int i = 0; i < 8; ++i) {
      const bool x = ((crc ^ (b >> i)) & 1) != 0;
      crc = static_cast<uint16_t>(crc >> 1);
      if (x) crc ^= 0x8408;
    }
  }
  return static_cast<uint16_t>(~crc);
}

Ax25Address Parse(std::string_view text) {
  Ax25Address a;
  const size_t dash = text.find('-');
  a.call = std::string(text.substr(0, dash));
  if (dash != std::string_view::npos) a.ssid = std::stoi(std::string(text.substr(dash + 1)));
  return a;
}

}  // namespace

bool ParseMonitorText(std::string_view text, MonitorText& out) {
  const size_t gt = text.find('>');
  const size_t colon = text.find(':');
  if (gt == std::string_view::npos || colon == std::string_view::npos || gt > colon) return false;
  out.src = Parse(text.substr(0, gt));
  std::string_view path = text.substr(gt + 1, colon - gt - 1);
  out.digis.clear();
  for (bool first = true;; first = false) {
    const size_t comma = path.find(',');
    const Ax25Address a = Parse(path.substr(0, comma));
    if (first) {
      out.dest = a;
    } else {
      out.digis.push_back(a);
    }
    if (comma == std::string_view::npos) break;
    path.remove_prefix(comma + 1);
  }
  out.info = std::string(text.substr(colon + 1));
  return true;
}

std::vector<uint8_t> BuildAx25Frame(const Ax25Address& dest, const Ax25Address& src,
                                    const std::vector<Ax25Address>& digis, uint8_t control, bool withPid,
                                    uint8_t pid, std::string_view info) {
  std::vector<uint8_t> f;
  PutAddress(f, dest, false);
  PutAddress(f, src, digis.empty());
  for (size_t i = 0; i < digis.size(); ++i) PutAddress(f, digis[i], i + 1 == digis.size());
  f.push_back(control);
  if (withPid) {
    f.push_back(pid);
    f.insert(f.end(), info.begin(), info.end());
  }
  return f;
}

std::vector<uint8_t> BuildUiFrame(std::string_view src, std::string_view dest, std::string_view info,
                                  const std::vector<std::string>& digis) {
  Ax25Address d = Parse(dest);
  d.cBit = true;
  const Ax25Address s = Parse(src);
  std::vector<Ax25Address> path;
  for (const std::string& t : digis) path.push_back(Parse(t));
  return BuildAx25Frame(d, s, path, 0x03, true, 0xF0, info);
}

std::vector<uint8_t> WithCheckBytes(std::vector<uint8_t> frame) {
  const uint16_t fcs = BitwiseFcs(frame);
  frame.push_back(static_cast<uint8_t>(fcs & 0xFF));
  frame.push_back(static_cast<uint8_t>(fcs >> 8));
  return frame;
}

std::vector<uint8_t> KissOf(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> out = {0xC0, 0x00};
  for (uint8_t b : frame) {
    if (b == 0xC0) {
      out.insert(out.end(), {0xDB, 0xDC});
    } else if (b == 0xDB) {
      out.insert(out.end(), {0xDB, 0xDD});
    } else {
      out.push_back(b);
    }
  }
  out.push_back(0xC0);
  return out;
}

std::vector<int16_t> ItemsOf(const std::vector<uint8_t>& frame) {
  const std::vector<uint8_t> checked = WithCheckBytes(frame);
  std::vector<int16_t> items = {-20};
  items.insert(items.end(), checked.begin(), checked.end());
  items.push_back(-20);
  return items;
}

std::vector<uint8_t> RandomAx25Frame(size_t n, std::mt19937& rng) {
  std::vector<uint8_t> f = BuildUiFrame("N0CALL-7", "APRS", "");
  f.resize(std::max<size_t>(n, 1));
  if (f.size() > 16) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (size_t i = 16; i < f.size(); ++i) f[i] = static_cast<uint8_t>(byte(rng));
    // The bytes a link must escape or stuff somewhere in the frame, and a run of 0xFF.
    std::uniform_int_distribution<size_t> at(16, f.size() - 1);
    for (uint8_t s : {0xC0, 0xDB, 0x7E}) f[at(rng)] = s;
    const size_t run = at(rng);
    std::fill(f.begin() + static_cast<std::ptrdiff_t>(run),
              f.begin() + static_cast<std::ptrdiff_t>(std::min(run + 4, f.size())), 0xFF);
  }
  return f;
}

}  // namespace vestrel::test
