#pragma once
#include <string>
#include <vector>

namespace vestrel {

// The automation switches of the command line: an element "-" or "/" followed by the name, in
// any case.
struct AutomationSwitches {
  bool regServer = false;    // "RegServer": write the bus's service file and end
  bool unregServer = false;  // "UnregServer": remove it and end
  bool activated = false;    // "Automation" or "Embedding": started by the bus for a client
};
AutomationSwitches ReadAutomationSwitches(const std::vector<std::string>& args);

// $XDG_DATA_HOME/dbus-1/services/vestrel.VestrelX.service ($HOME/.local/share when unset): what
// lets the session bus start the program when a client calls vestrel.VestrelX.
std::string AutomationServiceFile();
// The file's text for the program at `exe` (an absolute path).
std::string AutomationServiceText(const std::string& exe);
// Writes (or refreshes) the file, or removes it. Empty when done, else what went wrong.
std::string WriteAutomationServiceFile(const std::string& exe);
std::string RemoveAutomationServiceFile();

}  // namespace vestrel
