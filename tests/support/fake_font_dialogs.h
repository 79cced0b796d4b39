#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "app/font_dialogs.h"

namespace vestrel::test {

// Answers the font and colour dialogs with the values given (nothing: Cancel) and keeps what
// each was started on.
class FakeFontDialogs : public FontDialogs {
 public:
  bool ChooseFont(TFontSetting& font, bool effects) override {
    fontsAsked.push_back(font);
    effectsAsked.push_back(effects);
    if (!fontAnswer) return false;
    font = *fontAnswer;
    return true;
  }
  bool ChooseColour(int32_t& colour) override {
    coloursAsked.push_back(colour);
    if (!colourAnswer) return false;
    colour = *colourAnswer;
    return true;
  }

  std::optional<TFontSetting> fontAnswer;
  std::optional<int32_t> colourAnswer;
  std::vector<TFontSetting> fontsAsked;
  std::vector<bool> effectsAsked;
  std::vector<int32_t> coloursAsked;
};

}  // namespace vestrel::test
