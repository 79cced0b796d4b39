#pragma once
#include <cstdint>
#include <string_view>

namespace vestrel {

// Where every decoder hands its characters: 8-bit bytes, unchanged. The main window's
// received-text sink implements it; tests and the headless decoder implement it too.
class RxTextSink {
 public:
  virtual void PutRxChar(uint8_t c) = 0;
  virtual void PutRxString(std::string_view text) = 0;

 protected:
  ~RxTextSink() = default;
};

}  // namespace vestrel
