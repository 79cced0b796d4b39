#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vestrel {

// Command codes of the logger link (the low byte of wParam, and the automation events).
enum LinkCommandCode : uint32_t {
  kLinkMacroLast = 36,
  kLinkColourCall = 98,
  kLinkClosing = 99,
  kLinkPauseOff = 100,
  kLinkPauseOn = 101,
  kLinkPauseToggle = 102,
  kLinkReceive = 110,
  kLinkTransmit = 111,
  kLinkTransmitToggle = 112,
  kLinkBeaconOff = 124,
  kLinkBeaconOn = 125,
  kLinkNotSaved1 = 128,
  kLinkNotSaved2 = 130,
  kLinkFieldsChanged = 131,
};

// The QSO fields and their export keys (QsoFieldCode).
enum QsoFieldCode : uint32_t {
  kQsoCall = 4,
  kQsoMode = 8,
  kQsoRstSent = 32,
  kQsoRstRcvd = 64,
  kQsoName = 128,
  kQsoQth = 256,
  kQsoQslVia = 512,
  kQsoNote = 1024,
  kQsoGrid = 2048,
  kQsoState = 4096,
  kQsoIota = 8192,
  kQsoNumberSent = 0x80000,
  kQsoNumberRcvd = 0x100000,
  kQsoSubdiv = 0x200000,
  kQsoFoundCall = 0x400000,
};

// The export key of a field code that the fourth QSO field can stand for; null for any other.
const char* OtherFieldKey(uint32_t code);

// Where a logger ini file lies: a name with a directory stays where it points ("\" read as "/");
// a bare name lies in the per-user folder that stands for the Windows directory,
// $XDG_CONFIG_HOME/qentor/vestrel/ini (~/.config when unset), created when missing.
std::string LoggerIniPath(const std::string& name);
std::string LoggerIniFolder();

// A word picked from the receive window: line breaks and other control characters become blanks,
// then blanks at the ends go.
std::string CleanPickedWord(std::string_view text);
// The call-or-number rule for a picked word (in upper case): true for a call sign.
bool LooksLikeCall(std::string_view upper);
// Blanks and control characters at the ends removed.
std::string TrimmedWord(std::string_view s);
// Whether an inbound command (wParam) addresses the instance `channel` (1..9).
bool CommandAddresses(uint32_t wParam, int channel);

}  // namespace vestrel
