#pragma once
#include <cstdint>

#include "app/app_settings.h"

namespace vestrel {

// The font and colour dialogs. The setup dialog asks them; tests answer them (a modal dialog
// would block an offscreen test). GUI thread only.
class FontDialogs {
 public:
  // Starts on `font`; with `effects` the text colour is offered beside underline and
  // strike-out. True, with the choice in `font`, on OK; false and `font` as it was on Cancel.
  virtual bool ChooseFont(TFontSetting& font, bool effects) = 0;
  // Starts on `colour` (0x00BBGGRR; a system colour starts on the desktop's). True on OK.
  virtual bool ChooseColour(int32_t& colour) = 0;

 protected:
  ~FontDialogs() = default;
};

// The dialogs on the screen: QFontDialog, with a colour button among its effects, and
// QColorDialog.
class QtFontDialogs final : public FontDialogs {
 public:
  bool ChooseFont(TFontSetting& font, bool effects) override;
  bool ChooseColour(int32_t& colour) override;
};

}  // namespace vestrel
