#pragma once
#include "app/form_parts.h"
#include "engine/modes/packet/kiss_output.h"
#include "io/exchange_library.h"

namespace vestrel {

// The exchange library of the program (libzozariri.so). It is also one of the packet
// receiver's KISS outputs: each byte of a KISS frame goes over as a signed 8-bit symbol (FEND
// as -64, FESC -37, TFEND -36, TFESC -35), while the link is in use.
class LinkedExchangeLibrary final : public ExchangeLibraryPart, public KissOutput {
 public:
  bool Init(int channel) override { return library.Init(channel); }
  void Deactivate() override { library.Deactivate(); }
  void Put(uint8_t symbol) override { library.Put(static_cast<int8_t>(symbol)); }
  int Get() override { return library.Get(); }
  KissOutput* Kiss() override { return this; }
  void WriteKiss(std::span<const uint8_t> kissFrame) override {
    for (uint8_t b : kissFrame) library.Put(static_cast<int8_t>(b));
  }
  ExchangeLibrary library;
};

}  // namespace vestrel
