#include "io/zozariri/zozariri.h"

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
  return gSegment.Open(channel, vestrel::ExchangeSegment::Side::kTerminal) ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) int _PelmarGetSymFromTxBuffer(void) {
  std::lock_guard lock(gMutex);
  return gSegment.Get();
}

extern "C" __attribute__((visibility("default"))) void _PelmarPutSymToRxBuffer(signed char symbol) {
  std::lock_guard lock(gMutex);
  gSegment.Put(static_cast<uint8_t>(symbol));
}
