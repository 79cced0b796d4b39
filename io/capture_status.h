#pragma once
#include <string_view>

namespace vestrel {

// Status panel 4: which capture files are open (text, KISS, wave).
constexpr std::string_view CaptureStatusText(bool text, bool kiss, bool wave) {
  constexpr std::string_view kTexts[8] = {"", "CapT", "CapK", "T+K", "CapW", "T+W", "K+W", "T+K+W"};
  return kTexts[(text ? 1 : 0) | (kiss ? 2 : 0) | (wave ? 4 : 0)];
}

}  // namespace vestrel
