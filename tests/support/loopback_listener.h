#pragma once
#include <cstdint>

namespace vestrel::test {

// A listening TCP socket on a free loopback port chosen by the system, so parallel test runs
// never collide; port is 0 when none could be had. The caller closes the descriptor.
int LoopbackListener(uint16_t& port);

}  // namespace vestrel::test
