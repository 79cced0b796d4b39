#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vestrel::test {

// The bits of an HDLC line as a sending station makes them, written here apart from the
// program: flags 0 1 1 1 1 1 1 0, and bytes least significant bit first with a zero stuffed
// after every five ones in a row (the count runs across bytes; a flag clears it).
class HdlcBits {
 public:
  void Flag(int times = 1) {
    static constexpr int kFlag[8] = {0, 1, 1, 1, 1, 1, 1, 0};
    for (int t = 0; t < times; ++t) {
      for (int b : kFlag) bits.push_back(b);
    }
    ones_ = 0;
  }
  void Bytes(const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes) {
      for (int i = 0; i < 8; ++i) Stuffed((byte >> i) & 1);
    }
  }
  // A frame between two flags.
  void Frame(const std::vector<uint8_t>& bytes) {
    Flag();
    Bytes(bytes);
    Flag();
  }
  void Raw(std::initializer_list<int> b) {
    for (int x : b) bits.push_back(x);
  }

  std::vector<int> bits;

 private:
  void Stuffed(int b) {
    bits.push_back(b);
    ones_ = b ? ones_ + 1 : 0;
    if (ones_ == 5) {
      bits.push_back(0);
      ones_ = 0;
    }
  }
  int ones_ = 0;
};

}  // namespace vestrel::test
