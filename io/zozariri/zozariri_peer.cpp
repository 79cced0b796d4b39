// zozariri-peer: the other program's end of an exchange channel, for the shell and tests.
//   zozariri-peer put CH TEXT   queues TEXT for the terminal to send (\xHH and \\ escapes)
//   zozariri-peer get CH [MS]   writes what the terminal received to stdout, waiting up to
//                               MS milliseconds for more (default 0: only what waits now)
// Exit status: 0 done, 1 some bytes dropped by a full ring, 2 bad arguments or channel.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "io/zozariri/exchange_segment.h"

namespace {

int Usage() {
  std::fputs("usage: zozariri-peer put CH TEXT | get CH [MS]\n", stderr);
  return 2;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool ParseInt(const char* s, long lo, long hi, long& out) {
  char* end = nullptr;
  out = std::strtol(s, &end, 10);
  return end != s && *end == '\0' && out >= lo && out <= hi;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string_view verb = argv[1];
  long channel = 0;
  if (!ParseInt(argv[2], vestrel::ExchangeSegment::kFirstChannel, vestrel::ExchangeSegment::kLastChannel,
                channel)) {
    std::fprintf(stderr, "zozariri-peer: channel must be 1..9, not %s\n", argv[2]);
    return 2;
  }
  vestrel::ExchangeSegment segment;
  if (!segment.Open(static_cast<int>(channel), vestrel::ExchangeSegment::Side::kPeer)) {
    std::fprintf(stderr, "zozariri-peer: cannot open channel %ld (%s)\n", channel,
                 vestrel::ExchangeSegment::SegmentName(static_cast<int>(channel)).c_str());
    return 2;
  }

  if (verb == "put" && argc == 4) {
    const std::string bytes = Unescape(argv[3]);
    size_t dropped = 0;
    for (char c : bytes) dropped += segment.Put(static_cast<uint8_t>(c)) ? 0 : 1;
    if (dropped != 0) {
      std::fprintf(stderr, "zozariri-peer: ring full, %zu of %zu bytes dropped\n", dropped, bytes.size());
      return 1;
    }
    return 0;
  }
  if (verb == "get" && (argc == 3 || argc == 4)) {
    long waitMs = 0;
    if (argc == 4 && !ParseInt(argv[3], 0, 3600000, waitMs)) return Usage();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      const int b = segment.Get();
      if (b >= 0) {
        std::fputc(b, stdout);
        continue;
      }
      if (std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::fflush(stdout);
    return 0;
  }
  return Usage();
}
