#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// Demodulator levels for the tuning displays. The write index is TModemParams::LevelRingIndex
// (slot 3), kept & 0x7FF; the oscillogram reads the ring and clears LevelRingFresh.
struct LevelRing {
  static constexpr uint32_t kSize = 2048;
  static constexpr uint32_t kMask = kSize - 1;

  std::array<double, kSize> Levels{};
  int LevelRingFresh = 0;

  // Advances the index first, then stores: the index names the newest level.
  void Write(int32_t& index, double level) {
    const uint32_t i = (static_cast<uint32_t>(index) + 1u) & kMask;
    index = static_cast<int32_t>(i);
    Levels[i] = level;
    LevelRingFresh = 1;
  }
};

}  // namespace vestrel
