#pragma once
#include <span>
#include <string>
#include <string_view>

#include "app/app_settings.h"
#include "app/form_parts.h"
#include "app/macro_table.h"
#include "engine/modem_params.h"
#include "platform/ini_file.h"
#include "platform/registry_store.h"

namespace vestrel {

// The settings file VESTREL.INI: every key with its section, default and accepted values, in
// one set of tables that both the reader and the writer use. No Qt: the window applies the
// values to its controls and takes them back before a save.

// The values of a settings file held on their own, outside the window: the settings, the
// macros (starting from the defaults of a first start) and the logger's mode names.
struct SettingsValues {
  SettingsValues() {
    macros.SetDefaultMacros();
    macros.SetDefaultButtonNames();
  }
  SettingsTargets Targets() { return {settings, macros, modeReportNames, reportModeWhenChanged}; }
  bool operator==(const SettingsValues&) const = default;

  TAppSettings settings;
  TMacroTable macros;
  std::array<std::string, kModeCount> modeReportNames;
  bool reportModeWhenChanged = true;
};

// Decimal text with "," or "." as decimal mark (the setup dialog's fields, the sample rates);
// text that is no number, empty text included, gives `fallback`.
double ParseDecimalText(std::string_view text, double fallback = 0.0);

// The ranges that the loader and the setup dialog share: a sample rate is finite and lies in
// 8000..384000; an exchange speed outside 10..921600 Bd becomes 9600.
bool UsableSampleRate(double rate);
int32_t AcceptedExchangeSpeed(int32_t speed);

// Every key the settings file holds, into the targets. An absent key, or a number that is no
// number or lies beyond int32, gives the key's default; a value outside the accepted range
// leaves the target as it was, or is clamped where the key says so. Macros absent from the
// file keep their text.
void ReadSettings(const IniFile& ini, const SettingsTargets& t);
// Every key SaveSettings writes (all that ReadSettings reads but the macro texts and button
// names, the two fallback bins and the legacy port mask), updated in place or added.
void WriteSettings(const SettingsTargets& t, IniFile& ini);
// "Macro0".."Macro36" and "Name1".."Name36". A line break in a macro is kept as "~[lf]",
// which makes the same break when the macro runs.
void WriteMacros(const TMacroTable& macros, IniFile& ini);
// Only "Macro<n>" and "Name<n>" of the numbers given (1..36), the same way.
void WriteMacroKeys(const TMacroTable& macros, std::span<const int> numbers, IniFile& ini);

// The mode record from the settings: mode, speeds, shifts, filter, baud rate, the shift in
// units and bins, the spectrum centre, zoom, reverse, code set, and the receive and transmit
// tone pairs, each centre kept where the tone band holds the whole pair.
void ApplyToModemParams(const TAppSettings& s, TModemParams& p);
// The settings from the mode record, before a save: the same values, with the tone pairs as
// their centres in Hz (the receive centre from the AFC reference while AFC is on).
void TakeFromModemParams(const TModemParams& p, TAppSettings& s);

// The settings file of the program, with the machine's store for the default directory and
// the platform flag.
class TSettingsFile final : public SettingsPart {
 public:
  explicit TSettingsFile(RegistryStore store = RegistryStore::Default()) : store_(std::move(store)) {}

  void LoadSettings(const std::string& path, const SettingsTargets& t) override;
  std::string SaveSettings(const std::string& path, const SettingsTargets& t) override;
  std::string SaveMacros(const std::string& path, const TMacroTable& macros) override;
  std::string SaveMacroKeys(const std::string& path, const TMacroTable& macros,
                            std::span<const int> numbers) override;
  std::string CheckDefaultDirectory(const std::string& path, bool pathGiven) override;
  bool ReadIsx64Flag() override;

 private:
  RegistryStore store_;
};

}  // namespace vestrel
