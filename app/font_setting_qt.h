#pragma once
#include <QColor>
#include <QFont>
#include <QPalette>
#include <cstdint>

#include "app/app_settings.h"

class QWidget;

namespace vestrel {

class StyledMemoWidget;

// Fonts and colours as the settings keep them, and as Qt shows them.

// A plain colour (0x00BBGGRR); a system colour (negative) is `system`, the desktop's own.
QColor ColourOf(int32_t colour, const QColor& system);
// A colour as the settings keep it.
int32_t ColourCode(const QColor& colour);

// Face, size (which decides over the height), pitch and style. A face this machine lacks is
// matched by Qt; the setting keeps the saved name.
QFont FontOf(const TFontSetting& f);
// A chosen font into the setting: face, size with its height at 96 pixels per inch, pitch and
// style. Character set, colour and background stay.
void TakeFont(const QFont& font, TFontSetting& f);

// A control takes the font, its colour in `text`, and (when `background`) the background.
void ApplyFontSetting(QWidget& w, const TFontSetting& f, QPalette::ColorRole text, bool background);
// A memo draws in a font of its own: face, character set, style, colour, and the size in points
// (which decides over the height) as glyph pixels at the screen's resolution. The text colour
// also serves the highlight, the background the highlight's background.
void ApplyMemoFontSetting(StyledMemoWidget& memo, const TFontSetting& f);

}  // namespace vestrel
