#pragma once
#include <string>
#include <vector>

#include "platform/registry_store.h"

namespace vestrel {

// The switches of the command line: "/F" or "-F" (either case) followed by the settings path,
// "/C" or "-C" by a text capture file, each in the same element or the next one.
struct CommandLineSwitches {
  std::string settingsPath = "./VESTREL.INI";
  bool settingsPathGiven = false;  // a later /F replaces an earlier one
  std::string captureFile;         // the first /C wins; empty when none
};

// args: the elements after the program name. Blanks around a value and every double quote in
// it are dropped; a switch left empty is ignored; unknown elements are ignored. The element
// after a bare switch is its value, unless it is a bare switch itself.
CommandLineSwitches ParseCommandLine(const std::vector<std::string>& args);

// When no settings path was given and the settings file is missing: changes the working
// directory to the store's "DefaultDir" and returns the notice for the receive window (CR LF
// line ends). Empty when the directory stayed (path given, file there, no such value, or the
// change failed).
std::string CheckDefaultDirectory(const std::string& settingsPath, bool settingsPathGiven,
                                  const RegistryStore& store);

// True when the store's "Isx64" reads as a non-zero integer: the port-I/O driver is not to be
// used on this machine.
bool ReadIsx64Flag(const RegistryStore& store);

}  // namespace vestrel
