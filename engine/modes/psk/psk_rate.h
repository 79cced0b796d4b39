#pragma once

namespace vestrel {

// The rate code of a PSK symbol rate (a mode row's symbolRate): 31 for 31.25 Bd, 63 for 62.5,
// 125 for 125; 0 for any other rate.
constexpr int PskRateCode(double baud) {
  return baud == 31.25 ? 31 : baud == 62.5 ? 63 : baud == 125.0 ? 125 : 0;
}

}  // namespace vestrel
