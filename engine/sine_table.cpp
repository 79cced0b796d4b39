#include "engine/sine_table.h"

#include <cmath>
#include <numbers>

namespace vestrel {

SineTable::SineTable() {
  for (uint32_t j = 0; j < kSize; ++j) {
    table_[j] = static_cast<int16_t>(
        std::floor(kAmplitude * std::sin(2.0 * std::numbers::pi * j / kSize) + 0.5));
  }
}

}  // namespace vestrel
