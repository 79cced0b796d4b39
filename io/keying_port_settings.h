#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace vestrel {

// The persisted settings of the keying and data-exchange ports, each named by its key in the
// settings file (general section; "ComPorts" for the device map). Part of TAppSettings.
struct KeyingPortSettings {
  int32_t PttPortType = 0;    // 0 none, 1 COM, 2 LPT, 3 LPT / Wexlin, 4 rig COM pins, 5 rig CAT, 6 WinKey
  int32_t PttPortNumber = 1;  // COM number; LPT 1..3, or 4 = XPortAddress; rig 1 or 2
  int32_t PttPin = 2;         // COM: 1 DTR, 2 RTS; LPT: data bit n-1; 0 none
  int32_t PowerPin1 = 0;      // lines held on while the port is open; 0 none
  int32_t PowerPin2 = 0;
  int32_t XPortAddress = 888;      // LPT base address for port number 4 (0x378)
  int32_t ExchangeSpeed = 9600;    // Bd
  int32_t ExchangePortNumber = 0;  // data-exchange COM port, 0 none
  // Section "ComPorts", key "COM<n>": the device of COM port n (else /dev/ttyS<n-1>).
  std::map<int, std::string> ComPorts;

  bool operator==(const KeyingPortSettings&) const = default;
};

}  // namespace vestrel
