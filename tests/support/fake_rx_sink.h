#pragma once
#include <string>
#include <string_view>

#include "engine/rx_text_sink.h"

namespace vestrel::test {

// Collects every received character as bytes.
class FakeRxSink : public RxTextSink {
 public:
  void PutRxChar(uint8_t c) override { text.push_back(static_cast<char>(c)); }
  void PutRxString(std::string_view s) override { text.append(s); }
  std::string text;
};

}  // namespace vestrel::test
