#include "io/zozariri/zozariri.h"

#include <cstdio>
#include <mutex>

#include "io/zozariri/exchange_segment.h"

namespace {

// The library's one channel. The terminal calls from its GUI thread only; the mutex keeps a
// channel switch safe should another thread of the host ever call too.
std::mutex gMutex;
vestrel::ExchangeSegment gSegment;

}  // namespace

extern "C" __attribute__((visibility("default"))) int _ZozariRichangeInit(int channel) {
  std::lock_guard lock(gMutex);
  // The channel this terminal holds already: its rings stay as they are, since the peer's
  // bytes came while a terminal was there to take them.
  if (gSegment.IsOpen() && gSegment.Channel() == channel) return 1;
  if (!gSegment.Open(channel, vestrel::ExchangeSegment::Side::kTerminal)) return 0;
  if (const uint32_t n = gSegment.DiscardedOnOpen(); n != 0)
    std::fprintf(stderr, "Exchange channel %d: %u byte%s queued before this program opened it discarded\n",
                 channel, n, n == 1 ? "" : "s");
  return 1;
}

extern "C" __attribute__((visibility("default"))) int _PelmarGetSymFromTxBuffer(void) {
  std::lock_guard lock(gMutex);
  return gSegment.Get();
}

extern "C" __attribute__((visibility("default"))) void _PelmarPutSymToRxBuffer(signed char symbol) {
  std::lock_guard lock(gMutex);
  gSegment.Put(static_cast<uint8_t>(symbol));
}
