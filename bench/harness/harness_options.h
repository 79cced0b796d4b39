#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vestrel::harness {

// Command-line options of the headless tools: "--name value", "--flag", positional arguments.
struct OptionSpec {
  std::string_view name;  // without the dashes
  bool takesValue;
};

struct ParsedArgs {
  std::map<std::string, std::string, std::less<>> values;  // flags hold ""
  std::vector<std::string> positional;
  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
};

// Fills args; returns an error text, empty when every argument was understood.
std::string ParseArgs(int argc, const char* const* argv, std::span<const OptionSpec> specs, ParsedArgs& args);

// The mode's status-panel name ("RTTY", "ASCII-7", "BPSK31", ...) or its ModeNumber.
std::optional<int32_t> ParseMode(std::string_view text);
std::string_view ModePanelName(int32_t mode);
std::string ModeNameList();  // for usage texts
// Whether this build has the mode's receiver (transmitter) by its row of the mode table, and
// the panel names of the modes it has, for the tools' refusals.
bool ModeBuilt(int32_t mode, bool transmitter);
std::string BuiltModeList(bool transmitters);

// The speed and shift settings the program accepts (its Speed and Shift menus).
bool IsAcceptedBaud(double baud);
bool IsAcceptedShift(int hz);

// The modem settings both tools share, with the program's defaults.
struct ModemOptions {
  int32_t mode = 0;
  double centreHz = 1700.0;  // centre of the tone pair
  int shiftHz = 170;
  double baud = 45.0;   // 45 stands for 45.45 Bd
  int filterWidth = 0;  // 0 Optimal, 1 Wide, 2 Narrow
  bool reverse = false;
};

// Options "mode", "shift", "baud", "filter", "reverse" and the centre under centreOption
// ("rx-hz" or "tx-hz"). A mode of its own speed (AX.25) takes it, and the shift and centre of
// its Mode menu item unless the options give others. Returns an error text or "".
std::string ReadModemOptions(const ParsedArgs& args, std::string_view centreOption, ModemOptions& out);

// Strict number parsing: the whole text must be the number.
std::optional<double> ParseDouble(std::string_view text);
std::optional<int> ParseInt(std::string_view text);

}  // namespace vestrel::harness
