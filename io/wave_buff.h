#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vestrel {

// The audio history: the last blocks of received audio (2048 samples each, as the capture side
// delivers them) in a ring of slots, from which the last seconds are saved as a WAV file.
// GUI thread only.
class TWaveBuff {
 public:
  static constexpr uint32_t kBlockSamples = 2048;

  // Room for `seconds` (<= 0 counts as 1) at `rate` samples per second: seconds x rate / 2048 + 3
  // slots, truncated, zero-filled. 0; 1 when the memory cannot be had, leaving the history
  // empty (no seconds).
  int SetLength(int seconds, double rate);
  // Copies one block into the next slot. 1 when the history is empty.
  int Push(const int16_t* block);
  // Writes the last `seconds` (at most the history's length) oldest first as a mono 16-bit
  // 11025 Hz WAV file. 0; 1 when the file cannot be opened or the history is empty; 2 when a
  // write, the last header rewrite or the close failed.
  int SaveLast(const std::string& fileName, int seconds) const;
  // The length in seconds; 0 before SetLength has succeeded.
  int GetSeconds() const { return seconds_; }
  uint32_t SlotCount() const { return static_cast<uint32_t>(slots_.size() / kBlockSamples); }

 private:
  int seconds_ = 0;
  double rate_ = 11025.0;
  uint32_t writeSlot_ = 0;
  std::vector<int16_t> slots_;  // SlotCount() x 2048 samples
};

}  // namespace vestrel
