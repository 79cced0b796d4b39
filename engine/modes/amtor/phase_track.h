#pragma once
#include <cstdint>

namespace vestrel {

// The timing step of the AMTOR receivers once locked: of the positions around k that read the
// same value as k (each side searched outward, up to `reach` sub-samples or the first position
// that reads otherwise), the offset of the one with the highest confidence, 0 when none beats
// k. read(p, value, confidence) reads the position p of the ring.
template <class Read>
int MostConfidentOffset(uint32_t k, int reach, Read&& read) {
  uint32_t value = 0;
  double best = 0.0;
  read(k, value, best);
  int offset = 0;
  for (int side : {-1, 1}) {
    for (int j = 1; j <= reach; ++j) {
      uint32_t v = 0;
      double c = 0.0;
      read(k + static_cast<uint32_t>(side * j), v, c);
      if (v != value) break;
      if (c > best) {
        best = c;
        offset = side * j;
      }
    }
  }
  return offset;
}

}  // namespace vestrel
