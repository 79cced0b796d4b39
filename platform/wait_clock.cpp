#include "platform/wait_clock.h"

#include <chrono>
#include <thread>

namespace vestrel {

uint64_t SteadyWaitClock::NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyWaitClock::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vestrel
