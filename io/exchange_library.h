#pragma once
#include <cstdint>

namespace vestrel {

// The terminal's link to the exchange library (libzozariri.so): one numbered channel to
// another program. Received symbols go out with Put; symbols to send come in through Get.
// Called on the GUI thread.
class ExchangeLibrary {
 public:
  // Opens channel 1..9 (ExCanal), switching from the one used before. False for another
  // number or when the library cannot open the channel; the link is then out of use.
  bool Init(int channel);
  // Takes the link out of use (before a channel change); the library has no closing call.
  void Deactivate() { active_ = false; }
  bool Active() const { return active_; }

  // A received symbol (signed 8-bit; the KISS markers as negative values). Ignored while
  // the link is out of use.
  void Put(int8_t symbol);
  // The next byte to send, 0..255, or negative when none waits or the link is out of use.
  int Get();

 private:
  bool active_ = false;
};

}  // namespace vestrel
