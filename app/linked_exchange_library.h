#pragma once
#include "app/form_parts.h"
#include "io/exchange_library.h"

namespace vestrel {

// The exchange library of the program (libzozariri.so).
class LinkedExchangeLibrary final : public ExchangeLibraryPart {
 public:
  bool Init(int channel) override { return library.Init(channel); }
  void Deactivate() override { library.Deactivate(); }
  ExchangeLibrary library;
};

}  // namespace vestrel
