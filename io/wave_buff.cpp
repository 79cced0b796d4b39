#include "io/wave_buff.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "io/wave_write.h"

namespace vestrel {

namespace {
// Far beyond any history the program asks for (an hour at 48 kHz needs some 84000 slots).
constexpr double kMaxSlots = 1 << 22;
}  // namespace

int TWaveBuff::SetLength(int seconds, double rate) {
  slots_.clear();
  slots_.shrink_to_fit();
  seconds_ = 0;
  writeSlot_ = 0;
  if (seconds <= 0) seconds = 1;
  const double count = std::trunc(double(seconds) * rate / kBlockSamples + 3);
  if (!(count >= 1 && count <= kMaxSlots)) return 1;  // also a rate that is not a number
  try {
    slots_.assign(static_cast<size_t>(count) * kBlockSamples, 0);
  } catch (const std::bad_alloc&) {
    return 1;
  }
  seconds_ = seconds;
  rate_ = rate;
  return 0;
}

int TWaveBuff::Push(const int16_t* block) {
  if (slots_.empty()) return 1;
  std::memcpy(slots_.data() + size_t{writeSlot_} * kBlockSamples, block, kBlockSamples * sizeof(int16_t));
  if (++writeSlot_ == SlotCount()) writeSlot_ = 0;
  return 0;
}

int TWaveBuff::SaveLast(const std::string& fileName, int seconds) const {
  const uint32_t slots = SlotCount();
  if (slots == 0) return 1;
  seconds = std::min(seconds, seconds_);
  const double wanted = std::trunc(double(seconds) * rate_ / kBlockSamples + 1);
  const uint32_t blocks = static_cast<uint32_t>(std::clamp(wanted, 1.0, double(slots)));
  TWaveWrite out;
  if (out.Open(fileName, 1, 16, 11025) != 0) return 1;
  uint32_t slot = (writeSlot_ + slots - blocks) % slots;  // the oldest block wanted
  for (uint32_t i = 0; i < blocks; ++i) {
    if (out.Write(slots_.data() + size_t{slot} * kBlockSamples, kBlockSamples) != 0) return 2;
    if (++slot == slots) slot = 0;
  }
  // A file whose last header rewrite or close failed is no saved file.
  return out.Close() != 0 ? 2 : 0;
}

}  // namespace vestrel
