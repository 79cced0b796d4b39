#include "app/callsigns.h"

#include "app/received_text_sink.h"

namespace vestrel {

void TCallsigns::SetOwnCall(const std::string& call) {
  myCallFind_.SetPattern(call);
  if (call.empty()) settings_.BeaconOffAtMyCall = 0;
}

bool TCallsigns::FeedMyCallChar(uint8_t ch, bool transmitted) {
  const bool armed = host_.BeaconRunning() && settings_.BeaconOffAtMyCall != 0;
  return myCallFind_.FeedChar(ch, transmitted, armed);
}

}  // namespace vestrel
