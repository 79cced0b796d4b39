#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// One period of a sine in 32768 int16 entries of amplitude 32000. Oscillators keep a uint32
// phase accumulator, add their step in FrequencyUnit per sample and read entry phase & 0x7FFF;
// the cosine is the entry 8192 further on.
class SineTable {
 public:
  static constexpr uint32_t kSize = 32768;
  static constexpr uint32_t kMask = kSize - 1;
  static constexpr uint32_t kQuarter = kSize / 4;
  static constexpr int32_t kAmplitude = 32000;

  SineTable();

  int16_t Sin(uint32_t phase) const { return table_[phase & kMask]; }
  int16_t Cos(uint32_t phase) const { return table_[(phase + kQuarter) & kMask]; }
  const int16_t* data() const { return table_.data(); }

 private:
  std::array<int16_t, kSize> table_;
};

}  // namespace vestrel
