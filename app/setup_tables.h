#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vestrel {

// The setup dialog's lists that map an item to a stored value, and the text forms of its
// edits. No Qt: the dialog fills its controls from these.

struct CodeItem {
  const char* caption;
  int32_t value;
};

// "Use "Other" field as:": the QSO field codes of the logger link.
std::span<const CodeItem> UseOtherItems();
// "Time zone: ": minutes added to local time to give UTC; -1 "By OS".
std::span<const CodeItem> TimeZoneItems();
// "Send mode ... as": the modes whose logger names can be edited, by ModeNumber.
std::span<const CodeItem> ModeAsItems();
// The index of the item holding `value`, or 0 (the first item) when none holds it.
int IndexOfCode(std::span<const CodeItem> items, int32_t value);

// PTT port types 0..6 as the port list shows them.
std::span<const char* const> PortTypeCaptions();

// A whole integer: blanks around it, an optional sign and decimal digits, nothing else.
std::optional<int64_t> ParseWholeNumber(std::string_view text);

// VFOBoffset as its edit shows it: the sign and four digits of the magnitude ("-0050").
std::string FormatVfoOffset(int32_t hz);
// The edit back: an integer in -9999..9999, else nothing.
std::optional<int32_t> ParseVfoOffset(std::string_view text);

// A waterfall coefficient, limited to -9.99..9.99, with its sign and two decimals ("+0.70").
std::string FormatCoefficient(double value);

// A sample rate as its edit shows it ("11025.00", at least five digits before the point).
std::string FormatSampleRate(double rate);
// The edit back, "," or "." as decimal mark; nothing unless it is a usable sample rate.
std::optional<double> ParseSampleRate(std::string_view text);

// The exchange speed's text: an integer in 10..921600 Bd, anything else 9600.
int32_t ParseExchangeSpeed(std::string_view text);

// XPortEdit: four hex digits of the low 16 bits, and back (nothing unless the text is hex).
std::string FormatPortAddress(int32_t address);
std::optional<int32_t> ParsePortAddress(std::string_view text);

}  // namespace vestrel
