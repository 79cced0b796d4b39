#pragma once
#include <array>
#include <string>

namespace vestrel {

// 37 macro texts (0 Esc, 1-12 F1-F12, 13-24 Ctrl+F1-F12, 25-36 Alt+F1-F12; 36 is also the
// beacon text) and the captions of the 36 macro buttons (entry 0 has no button).
struct TMacroTable {
  static constexpr int kCount = 37;
  std::array<std::string, kCount> Macro;
  std::array<std::string, kCount> ButtonName;

  // The texts a first start has, before the settings file is read: a CQ call, answers and a
  // sign-off on the function keys, "Macro for Ctrl-n" and "Macro for Alt-n" on the others.
  void SetDefaultMacros();

  // "F%d", "cF%d" and "aF%d" for the function keys 1..12 of the three banks.
  void SetDefaultButtonNames() {
    for (int k = 1; k <= 12; ++k) {
      const std::string number = std::to_string(k);
      ButtonName[k] = std::string("F").append(number);
      ButtonName[k + 12] = std::string("cF").append(number);
      ButtonName[k + 24] = std::string("aF").append(number);
    }
  }

  bool operator==(const TMacroTable&) const = default;
};

}  // namespace vestrel
