#include "engine/modes/packet/packet_monitor_line.h"

#include <cstdio>

namespace vestrel {

namespace {

class FrameReader {
 public:
  explicit FrameReader(std::span<const uint8_t> frame)
      : data_(frame.data()), size_(static_cast<int>(frame.size()) - 2) {}

  int Size() const { return size_; }
  uint8_t At(int i) const { return i >= 0 && i < size_ ? data_[i] : 0; }
  int Ssid(int address) const { return (At(address + 6) >> 1) & 0x0F; }

  // The six call characters of the address at `address`.
  void Call(int address, std::string& out) const {
    for (int i = address; i < address + 6; ++i) {
      const uint8_t b = At(i);
      if (b == 0x40 || b == 0x41) continue;  // a filler space
      out.push_back(static_cast<char>(b >> 1));
    }
  }

  static void Append(std::string& out, const char* format, unsigned a) {
    char text[32];
    std::snprintf(text, sizeof text, format, a);
    out += text;
  }

 private:
  const uint8_t* data_;
  int size_;  // data bytes: the frame without its check bytes; signed, so short frames stay sane
};

// The command/response mark of the control field: equal C bits (an old-style frame) "!" with
// P/F and " " without; a command "+" and "^", a response "-" and "v".
char Mark(const FrameReader& f, uint8_t control) {
  const bool destC = (f.At(6) & 0x80) != 0;
  const bool srcC = (f.At(13) & 0x80) != 0;
  const bool pf = (control & 0x10) != 0;
  if (destC == srcC) return pf ? '!' : ' ';
  if (destC) return pf ? '+' : '^';
  return pf ? '-' : 'v';
}

void ControlText(const FrameReader& f, uint8_t c, std::string& out) {
  char text[48];
  const char mark = Mark(f, c);
  const unsigned nr = c >> 5;
  if ((c & 1) == 0) {
    std::snprintf(text, sizeof text, " I%u%u%c", nr, (c >> 1) & 7u, mark);
  } else if ((c & 3) == 1) {
    switch (c & 0x0F) {
      case 1:
        std::snprintf(text, sizeof text, " RR%u%c", nr, mark);
        break;
      case 5:
        std::snprintf(text, sizeof text, " RNR%u%c", nr, mark);
        break;
      case 9:
        std::snprintf(text, sizeof text, " REJ%u%c", nr, mark);
        break;
      default:
        std::snprintf(text, sizeof text, " unknown S (0x%x)%u%c", c & 0x0Fu, nr, mark);
        break;
    }
  } else {
    const char* name = nullptr;
    switch (c & 0xEF) {
      case 0x03:
        name = "UI";
        break;
      case 0x0F:
        name = "DM";
        break;
      case 0x2F:
        name = "SABM";
        break;
      case 0x43:
        name = "DISC";
        break;
      case 0x63:
        name = "UA";
        break;
      case 0x87:
        name = "FRMR";
        break;
      default:
        break;
    }
    if (name) {
      std::snprintf(text, sizeof text, " %s%c", name, mark);
    } else {
      std::snprintf(text, sizeof text, " unknown U (0x%x)%c", c & 0xEFu, mark);
    }
  }
  out += text;
}

}  // namespace

std::string FormatPacketMonitorLine(std::span<const uint8_t> frame) {
  std::string out;
  if (frame.size() < 15) return out;
  const FrameReader f(frame);
  out += "\r\n";
  f.Call(7, out);
  FrameReader::Append(out, "-%u -> ", f.Ssid(7));
  f.Call(0, out);
  FrameReader::Append(out, "-%u ", f.Ssid(0));

  // Digipeaters while the address before has its extension bit clear and a whole address is
  // left among the data bytes.
  int p = 14;
  for (bool first = true; (f.At(p - 1) & 1) == 0 && f.Size() - p > 6; first = false, p += 7) {
    out += first ? "via " : ", ";
    f.Call(p, out);
    FrameReader::Append(out, "-%u ", f.Ssid(p));
  }

  if (f.Size() - p <= 0) return out;
  const uint8_t control = f.At(p);
  ControlText(f, control, out);
  if (f.Size() - p <= 1) return out;
  FrameReader::Append(out, " Pid=%02X\r\n", f.At(p + 1));
  for (int i = p + 2; i < f.Size(); ++i) {
    const uint8_t b = f.At(i);
    out.push_back(b < 32 ? '.' : static_cast<char>(b));
  }
  out += "\r\n";
  return out;
}

}  // namespace vestrel
