#pragma once
#include <QLocale>
#include <memory>
#include <string>

#include "app/form_parts.h"
#include "platform/clock.h"

namespace vestrel {

class TRxForm;

// A date as the locale's short date format writes it, as 8-bit text.
std::string ShortDateText(const CivilTime& t, const QLocale& locale);

// The window's macro language: the escapes act on the main window's controls, its transmit
// control and the features behind its seams.
std::unique_ptr<MacroPart> MakeFormMacros(TRxForm& form);

}  // namespace vestrel
